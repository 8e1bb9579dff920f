// Shared pieces of the benchmarks: the benchmark interface (the library
// natively, a small stand-in under Wine) and latency statistics.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#if VORLANT_HAVE_GBENCH
#include <benchmark/benchmark.h>
#else
#include "bench/MiniBenchmark.h"
#endif

#include "platform/Platform.h"

namespace vorlant::bench {

inline uint64_t nowNs() {
    return platform::monotonicNs();
}

// Percentile of a sample in microseconds (nearest rank).
inline double percentileUs(std::vector<uint64_t> ns, double p) {
    if (ns.empty()) return 0;
    std::sort(ns.begin(), ns.end());
    size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(ns.size()));
    if (rank >= ns.size()) rank = ns.size() - 1;
    return static_cast<double>(ns[rank]) / 1000.0;
}

inline void reportLatency(benchmark::State& state, const std::vector<uint64_t>& ns) {
    state.counters["p50_us"] = percentileUs(ns, 50);
    state.counters["p99_us"] = percentileUs(ns, 99);
    state.counters["max_us"] = percentileUs(ns, 100);
    state.counters["samples"] = static_cast<double>(ns.size());
}

}  // namespace vorlant::bench
