// draw_loop.h - the measured loop every widget benchmark runs: an optional change (not counted)
// then one draw (timed and its heap allocations counted), per iteration.
#ifndef PITWALL_BENCH_DRAW_LOOP_H
#define PITWALL_BENCH_DRAW_LOOP_H

#include "alloc_counter.h"
#include "pitwall/engine.h"

#include <benchmark/benchmark.h>

namespace bench {

template <typename Change>
void measure_draws(benchmark::State &state, pitwall::instance *widget, gr_context_t *ctx,
                   const gr_control_t &control, Change change) {
    if (widget == nullptr) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    alloc_counter::reset();
    for (auto _ : state) {
        change();
        alloc_counter::start();
        benchmark::DoNotOptimize(widget->draw(ctx, control));
        alloc_counter::stop();
    }
    alloc_counter::report(state);
}

} // namespace bench

#endif // PITWALL_BENCH_DRAW_LOOP_H
