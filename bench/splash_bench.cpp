// The splash image: the cost of a steady-state draw (image held) and of a path change.
#include "pitwall/engine.h"
#include "pitwall/null_context.h"

#include <benchmark/benchmark.h>

namespace {

void splash_steady_draw(benchmark::State &state) {
    pitwall::engine eng{"/app"};
    pitwall::null_context null{eng};
    pitwall::plugin *p = eng.load_plugin(std::string(PITWALL_PLUGIN_DIR) + "/libgre-plugin-SplashImage.so", nullptr);
    if (p == nullptr) {
        state.SkipWithError("SplashImage did not load");
        return;
    }
    gr_canvas_t canvas = pitwall::engine::canvas(800, 480);
    gr_control_t ctl = pitwall::make_control(0, 0, 800, 480, &canvas);
    {
        auto logo = p->create();
        (void)logo->set("logo_path", std::string("images/splash/logo.png"));
        logo->draw(null.context(), ctl);
        for (auto _ : state) benchmark::DoNotOptimize(logo->draw(null.context(), ctl));
    }
}
BENCHMARK(splash_steady_draw);

} // namespace
