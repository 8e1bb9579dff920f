// The bridge from the engine thread to the driver's loop: reports pushed
// from other threads while the loop takes them arrive once each, in order,
// and the wake-up descriptor is quiet once everything is taken.
#include <gtest/gtest.h>
#include <poll.h>

#include <thread>
#include <vector>

#include "tools/indi_brask/ReportQueue.h"

namespace vorlant::indi {
namespace {

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

TEST(ReportQueue, EveryReportArrivesOnceAndInOrder) {
    ReportQueue queue;
    ASSERT_TRUE(queue.open());
    constexpr int kReports = 20000;
    std::thread engine([&] {
        ControllerSettings s{};
        for (int i = 0; i < kReports; ++i) {
            switch (i % 3) {
                case 0:
                    queue.onStatus(i);
                    break;
                case 1:
                    s.raGearRatio = static_cast<uint32_t>(i);
                    queue.onSettings(&s, SettingsReportKind::GearRatiosChanged);
                    break;
                default:
                    queue.onSupplyVoltage(i);
                    break;
            }
        }
    });
    int next = 0;
    // The loop: sleep on the descriptor, take what is there.
    while (next < kReports && readable(queue.descriptor(), 5000)) {
        for (const EngineReport& r : queue.take()) {
            const int got =
                r.what == EngineReport::What::Settings ? static_cast<int>(r.settings.raGearRatio) : r.value;
            ASSERT_EQ(got, next);
            ASSERT_EQ(static_cast<int>(r.what), next % 3);
            ++next;
        }
    }
    engine.join();
    EXPECT_EQ(next, kReports);
    EXPECT_TRUE(queue.take().empty());
    EXPECT_FALSE(readable(queue.descriptor(), 0)) << "nothing left to wake the loop for";
}

}  // namespace
}  // namespace vorlant::indi
