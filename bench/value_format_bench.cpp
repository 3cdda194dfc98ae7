// Number formats on the per-frame path: a formatted track is written as text at every frame that
// changes it. The cost of one write into a kept string (clock pattern and printf), and of a frame's
// step of the example lap's formatted lap clock through the track player.
#include "pitwall/scene_tracks.h"
#include "pitwall/value_format.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void write_format(benchmark::State &state, const char *text) {
    pitwall::error why;
    const std::optional<pitwall::value_format> f = pitwall::value_format::parse(text, &why);
    if (!f) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::string out;
    double seconds = 83.456;
    for (auto _ : state) {
        f->write(seconds, out);
        benchmark::DoNotOptimize(out.data());
        seconds += 0.04;
    }
}
BENCHMARK_CAPTURE(write_format, clock_m_ss_SSS, "m:ss.SSS");
BENCHMARK_CAPTURE(write_format, clock_h_mm_ss, "h:mm:ss");
BENCHMARK_CAPTURE(write_format, printf_km_h, "%.0f km/h");
BENCHMARK_CAPTURE(write_format, printf_signed, "%+.3f");

// A 60 s track of a lap clock keyed every 0.1 s, asked for at 25 frames a second.
void formatted_track_value(benchmark::State &state) {
    pitwall::track t{"lap time", "render_text", pitwall::track_interpolation::linear, {}, {}};
    t.format = pitwall::value_format::parse("m:ss.SSS", nullptr);
    t.keys.resize(601);
    for (size_t i = 0; i < t.keys.size(); ++i) {
        t.keys[i].time = double(i) / 10;
        t.keys[i].value = double(i) / 10;
    }
    double seconds = 0;
    for (auto _ : state) {
        pitwall::attr_value v = pitwall::track_value(t, seconds);
        benchmark::DoNotOptimize(v);
        seconds = seconds >= 60 ? 0 : seconds + 0.04;
    }
}
BENCHMARK(formatted_track_value);

} // namespace
