// alloc_counter.h - heap allocations made while a benchmark's draw runs.
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
//     alloc_counter::report(state); // "allocs/draw"
#ifndef PITWALL_BENCH_ALLOC_COUNTER_H
#define PITWALL_BENCH_ALLOC_COUNTER_H

#include <benchmark/benchmark.h>

namespace alloc_counter {

extern bool counting;    // allocations are counted while true
extern long allocations; // counted since the last reset

inline void reset() { allocations = 0; }
inline void start() { counting = true; }
inline void stop() { counting = false; }

// The "allocs/draw" counter: the allocations counted, per iteration of the benchmark loop.
inline void report(benchmark::State &state) {
    state.counters["allocs/draw"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

} // namespace alloc_counter

#endif // PITWALL_BENCH_ALLOC_COUNTER_H
