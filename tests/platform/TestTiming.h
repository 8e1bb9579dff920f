// Small timing helpers for the platform tests. Time limits in the tests are
// upper bounds that only a broken wake-up would exceed, never speed targets.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace vorlant::platform::test {

inline uint64_t elapsedMs(uint64_t startNs) {
    return (monotonicNs() - startNs) / 1000000u;
}

// Polls cond every millisecond until it holds or timeoutMs passed.
template <typename Cond>
bool eventually(Cond cond, uint32_t timeoutMs = 5000) {
    const uint64_t start = monotonicNs();
    while (!cond()) {
        if (elapsedMs(start) > timeoutMs) return false;
        sleepMs(1);
    }
    return true;
}

}  // namespace vorlant::platform::test
