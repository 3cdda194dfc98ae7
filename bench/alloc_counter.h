// alloc_counter.h - heap allocations, and the bytes they asked for, made while a benchmark's draw runs.
//
// alloc_counter.cpp replaces malloc, calloc and realloc of the whole benchmark program with
// counting wrappers around the C library's own allocator, so that every allocation made while a
// draw runs (in a plug-in, its kit or the engine's callbacks) is seen. operator new allocates
// through malloc, so it is counted too.
//
//     alloc_counter::reset();
//     for (auto _ : state) {
//         alloc_counter::start();
//         draw();
//         alloc_counter::stop();
//     }
//     alloc_counter::report(state); // "allocs/draw" and "bytes/draw"
#ifndef PITWALL_BENCH_ALLOC_COUNTER_H
#define PITWALL_BENCH_ALLOC_COUNTER_H

#include <benchmark/benchmark.h>

#include <string>

namespace alloc_counter {

extern bool counting;    // allocations are counted while true
extern long allocations; // counted since the last reset
extern long bytes;       // asked for by those allocations (a realloc counts its new size)

inline void reset() {
    allocations = 0;
    bytes = 0;
}
inline void start() { counting = true; }
inline void stop() { counting = false; }

// The counters "allocs/<per>" and "bytes/<per>": what was counted, per iteration of the benchmark
// loop (one draw of a widget, one frame of a scene).
inline void report(benchmark::State &state, const std::string &per = "draw") {
    state.counters["allocs/" + per] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.counters["bytes/" + per] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}

} // namespace alloc_counter

#endif // PITWALL_BENCH_ALLOC_COUNTER_H
