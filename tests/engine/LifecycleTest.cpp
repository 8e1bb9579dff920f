#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/HeartBeat.h"
#include "tests/support/EngineHarness.h"
#include "tests/support/TestController.h"

namespace vorlant {
namespace {

using test::Bytes;

struct CountingListener : iHeartBeatListener {
    std::atomic<int> ticks{0};
    void tick() override { ++ticks; }
};

TEST(HeartBeatTest, TicksRoughlyEveryQuarterSecondAndStopsAtClear) {
    CountingListener listener;
    HeartBeat beat;
    beat.setListener(&listener);
    ASSERT_TRUE(beat.start());
    const auto start = std::chrono::steady_clock::now();
    while (listener.ticks < 4) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Four ticks need at least 1 s; the upper bound only guards against a
    // stuck thread on a loaded machine.
    EXPECT_GE(elapsed, std::chrono::milliseconds(950));
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    beat.clearListener();
    const int after = listener.ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(listener.ticks, after);
    EXPECT_TRUE(beat.stop());
}

TEST(EngineLifecycle, DestroyWhileConnectedAndUnderLoad) {
    // Construct/destroy cycles with every thread busy: writers posting,
    // the port streaming bytes, a connection open. Nothing may outlive the
    // engine (ASan/LSan and TSan watch this test).
    for (int cycle = 0; cycle < 8; ++cycle) {
        auto port = std::make_shared<test::ScriptedPort>();
        test::TestController ctl;
        port->setResponder([&](const Bytes& f) { return ctl.reply(f); });
        test::Recorder recorder;
        TelescopeControl::Options options;
        options.connectSettleMs = 0;
        options.portFactory = [port]() -> std::shared_ptr<platform::SerialPort> { return port; };
        auto engine = std::make_unique<TelescopeControl>(&recorder, options);
        engine->connect(3, 9600);
        std::atomic<bool> stop{false};
        std::thread ticker([&] {
            while (!stop) {
                engine->tick();
                engine->setTracking(1);
            }
        });
        std::thread streamer([&] {
            while (!stop) port->inject(Bytes(40, 0x11));
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 10 * cycle));
        stop = true;
        ticker.join();
        streamer.join();
        engine.reset();
        options.portFactory = nullptr;
        EXPECT_FALSE(port->isOpen());
        EXPECT_EQ(port.use_count(), 1) << "a reader still holds the port";
    }
}

TEST(EngineLifecycle, DestroyIdleEngineIsQuick) {
    test::Recorder recorder;
    for (int i = 0; i < 20; ++i) {
        TelescopeControl engine(&recorder);
    }
    EXPECT_TRUE(recorder.reports().empty());
}

}  // namespace
}  // namespace vorlant
