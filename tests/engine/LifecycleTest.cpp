#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

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
    // An idle engine's threads end at once when asked: a destructor that
    // runs into one of its bounded waits (seconds each) instead fails here.
    // The bound is far above a slow sanitizer build's few milliseconds.
    test::Recorder recorder;
    for (int i = 0; i < 20; ++i) {
        auto engine = std::make_unique<TelescopeControl>(&recorder);
        const auto start = std::chrono::steady_clock::now();
        engine.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500)) << "cycle " << i;
    }
    EXPECT_TRUE(recorder.reports().empty());
}

template <typename Cond>
bool eventually(Cond cond, int timeoutMs = 5000) {
    for (int waited = 0; !cond(); waited += 2) {
        if (waited > timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A controller whose driver read ignores the stop until the test lets it go.
class StuckReader : public ::testing::Test {
protected:
    StuckReader() : h(std::make_shared<test::ScriptedPort>(), 200) {
        controller.firmware = 0x01000005;
        h.port().setResponder([this](const Bytes& f) { return controller.reply(f); });
    }
    // The test's last word: a held read never outlives the test.
    ~StuckReader() override { h.port().holdReads(false); }
    void connectAndHold() {
        h.connectAndRun();
        ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
        h.port().holdReads(true);
        ASSERT_TRUE(eventually([&] { return h.port().readIsHeld(); }));
        h.recorder().clear();
    }
    test::TestController controller;
    test::EngineHarness<test::ScriptedPort> h;
};

TEST_F(StuckReader, DisconnectIsBoundedAndThePortIsFreedWhenTheReaderEnds) {
    connectAndHold();
    // No queue byte arrives while the close waits: its bound still ends it.
    h.engine().disconnect();
    ASSERT_TRUE(h.engine().drain(5000)) << "the close waited for the reader without a bound";
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>{StatusCode::ConnectionClosed});
    EXPECT_EQ(h.engine().lastPortError(), platform::PortError::Busy);
    EXPECT_TRUE(h.port().isOpen());
    // Still held: a connect is refused as busy at once, without an open.
    const int opens = h.port().opens();
    h.engine().connect(3, 9600);
    ASSERT_TRUE(h.engine().drain(5000));
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::CannotOpenPort);
    EXPECT_EQ(h.port().opens(), opens);
    // The reader ends: it closes the port itself, and the next connect works.
    h.port().holdReads(false);
    EXPECT_TRUE(eventually([&] { return !h.port().isOpen(); }));
    EXPECT_TRUE(eventually([&] { return h.engine().lastPortError() == platform::PortError::None; }));
    h.recorder().clear();
    h.connectAndRun();
    EXPECT_EQ(h.recorder().settingsReports().size(), 1u);
}

TEST_F(StuckReader, DestroyingTheEngineReturnsAndTheReaderEndsLaterWithoutHarm) {
    connectAndHold();
    std::shared_ptr<test::ScriptedPort> port = h.portRef();
    auto destroyed = std::async(std::launch::async, [&] { h.destroyEngine(); });
    const bool returned = destroyed.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    port->holdReads(false);  // let a hanging destructor finish either way
    destroyed.wait();
    EXPECT_TRUE(returned) << "the destructor waited for the stuck reader without a bound";
    // The reader outlived the engine object: it ends now on what it kept
    // alive (ASan watches), closing the port and dropping its references.
    EXPECT_TRUE(eventually([&] { return port.use_count() == 2; })) << "the reader never ended";
    EXPECT_FALSE(port->isOpen());
}

// Holds every queue the process can create, so the next engine has none.
class QueueExhaustion {
public:
    QueueExhaustion() {
#ifdef _WIN32
        // The queue names an engine may take are all in use.
        for (int i = 0; i < 64; ++i) holders_.push_back(std::make_unique<TelescopeControl>(&recorder_));
#else
        // No descriptor left for the queue's socket pair.
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit none = saved_;
        none.rlim_cur = 3;
        setrlimit(RLIMIT_NOFILE, &none);
#endif
    }
    ~QueueExhaustion() {
#ifndef _WIN32
        setrlimit(RLIMIT_NOFILE, &saved_);
#endif
    }

private:
    test::Recorder recorder_;
    std::vector<std::unique_ptr<TelescopeControl>> holders_;
#ifndef _WIN32
    rlimit saved_{};
#endif
};

// gcc says so with __SANITIZE_ADDRESS__, clang with __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define VORLANT_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLANT_TEST_ASAN 1
#endif
#endif
#if defined(VORLANT_TEST_ASAN)
constexpr bool kSanitizerNeedsDescriptors = true;  // its memory checks open pipes of their own
#else
constexpr bool kSanitizerNeedsDescriptors = false;
#endif

TEST(EngineLifecycle, EngineWithoutAQueueSaysSoAtConnect) {
#ifndef _WIN32
    if (kSanitizerNeedsDescriptors)
        GTEST_SKIP() << "no descriptors can be withheld from this build's runtime";
#endif
    test::Recorder recorder;
    std::unique_ptr<TelescopeControl> engine;
    {
        QueueExhaustion exhausted;
        engine = std::make_unique<TelescopeControl>(&recorder);
    }
    engine->connect(3, 9600);  // reported at once, on this thread
    EXPECT_EQ(recorder.statuses(), std::vector<int>{StatusCode::CannotOpenPort});
    EXPECT_EQ(engine->lastPortError(), platform::PortError::Other);
    engine->setTracking(1);
    EXPECT_FALSE(engine->drain(100));
    EXPECT_EQ(recorder.statuses().size(), 1u);
    engine.reset();
}

// A listener whose n-th status report waits until the test releases it.
class GatedListener : public TelescopeListener {
public:
    void onStatus(int) override {
        std::unique_lock<std::mutex> g(m_);
        const int n = ++calls_;
        cv_.wait(g, [&] { return released_ >= n; });
        ++recorded_;
    }
    void onSettings(const ControllerSettings*, int) override {}
    void onSupplyVoltage(int) override {}
    void release(int upTo) {
        std::lock_guard<std::mutex> g(m_);
        released_ = upTo;
        cv_.notify_all();
    }
    int recorded() {
        std::lock_guard<std::mutex> g(m_);
        return recorded_;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int calls_ = 0, released_ = 0, recorded_ = 0;
};

TEST(EngineLifecycle, ADrainThatTimedOutNeverEndsTheNextOneEarly) {
    GatedListener listener;
    TelescopeControl engine(&listener);
    engine.disconnect();  // status 12, held in the listener
    EXPECT_FALSE(engine.drain(50));
    engine.noOpCommand();  // a second status 12, held longer
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        listener.release(1);  // the first drain's marker is reached now
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        listener.release(2);
    });
    EXPECT_TRUE(engine.drain(5000));
    EXPECT_EQ(listener.recorded(), 2) << "drain returned before everything posted before it was handled";
    releaser.join();
}

// Calls back into the engine from its listener, once.
class ReentrantListener : public TelescopeListener {
public:
    void onStatus(int) override {
        if (engine && !called.exchange(true)) engine->noOpCommand();
    }
    void onSettings(const ControllerSettings*, int) override {}
    void onSupplyVoltage(int) override {}
    TelescopeControl* engine = nullptr;
    std::atomic<bool> called{false};
};

TEST(EngineLifecycleDeathTest, CommandFromAListenerCallbackAssertsInDebugBuilds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEBUG_DEATH(
        {
            ReentrantListener listener;
            TelescopeControl engine(&listener);
            listener.engine = &engine;
            engine.disconnect();
            engine.drain(5000);
        },
        "listener callback");
}

}  // namespace
}  // namespace vorlant
