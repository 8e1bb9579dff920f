// Lock and Event semantics, identical on every backend.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/Platform.h"
#include "platform/TestTiming.h"

namespace vorlant::platform {
namespace {

using test::elapsedMs;

TEST(EventTest, ManualAndAutoResetSemantics) {
    struct Case {
        Event::Reset mode;
        bool setAfterWait;  // is the event still set after one successful wait?
    };
    const Case cases[] = {{Event::Reset::Manual, true}, {Event::Reset::Auto, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode == Event::Reset::Manual ? "manual" : "auto");
        Event e(c.mode);
        EXPECT_FALSE(e.isSet()) << "created clear";
        EXPECT_FALSE(e.wait(0));

        e.set();
        e.set();  // setting twice is one signal, not two
        EXPECT_TRUE(e.isSet());
        EXPECT_TRUE(e.isSet()) << "isSet must not consume the signal";
        EXPECT_TRUE(e.wait(0));
        EXPECT_EQ(e.isSet(), c.setAfterWait);
        EXPECT_EQ(e.wait(0), c.setAfterWait);

        e.set();
        e.reset();
        EXPECT_FALSE(e.isSet());
        EXPECT_FALSE(e.wait(0));
        e.reset();  // resetting a clear event is harmless
        EXPECT_FALSE(e.isSet());
    }
}

TEST(EventTest, WaitTimesOutNotEarly) {
    Event e(Event::Reset::Manual);
    const uint64_t start = monotonicNs();
    EXPECT_FALSE(e.wait(60));
    // Windows wait times are quantised to the system tick (up to ~16 ms).
    EXPECT_GE(elapsedMs(start), 40u);
}

TEST(EventTest, SetFromAnotherThreadWakesWaiterPromptly) {
    for (Event::Reset mode : {Event::Reset::Manual, Event::Reset::Auto}) {
        Event e(mode);
        Thread t;
        ASSERT_TRUE(t.start(
            [](void* p) {
                sleepMs(30);
                static_cast<Event*>(p)->set();
            },
            &e));
        const uint64_t start = monotonicNs();
        EXPECT_TRUE(e.wait(10000));
        EXPECT_LT(elapsedMs(start), 2000u);
        EXPECT_TRUE(t.join(5000));
    }
}

// An auto-reset event releases one waiter per set(), no matter how many wait.
TEST(EventTest, AutoResetReleasesOneWaiterPerSet) {
    struct Shared {
        Event gate{Event::Reset::Auto};
        std::atomic<int> released{0};
    } shared;
    auto waiter = [](void* p) {
        auto* s = static_cast<Shared*>(p);
        if (s->gate.wait(10000)) s->released.fetch_add(1);
    };
    Thread a, b;
    ASSERT_TRUE(a.start(waiter, &shared));
    ASSERT_TRUE(b.start(waiter, &shared));
    sleepMs(50);  // let both block
    shared.gate.set();
    ASSERT_TRUE(test::eventually([&] { return shared.released.load() == 1; }));
    sleepMs(50);
    EXPECT_EQ(shared.released.load(), 1) << "one set released two waiters";
    shared.gate.set();
    EXPECT_TRUE(a.join(5000));
    EXPECT_TRUE(b.join(5000));
    EXPECT_EQ(shared.released.load(), 2);
    EXPECT_FALSE(shared.gate.isSet());
}

TEST(LockTest, ExcludesConcurrentUpdates) {
    struct Shared {
        Lock lock;
        long counter = 0;  // deliberately not atomic: the lock must protect it
    } shared;
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    auto worker = [](void* p) {
        auto* s = static_cast<Shared*>(p);
        for (int i = 0; i < kRounds; ++i) {
            LockGuard guard(s->lock);
            s->counter = s->counter + 1;
        }
    };
    Thread threads[kThreads];
    for (Thread& t : threads) ASSERT_TRUE(t.start(worker, &shared));
    for (Thread& t : threads) EXPECT_TRUE(t.join(30000));
    EXPECT_EQ(shared.counter, static_cast<long>(kThreads) * kRounds);
}

TEST(ClockTest, SleepAndMonotonicClockAgree) {
    const uint64_t start = monotonicNs();
    sleepMs(30);
    const uint64_t ms = elapsedMs(start);
    EXPECT_GE(ms, 25u);
    EXPECT_LT(ms, 5000u);
    EXPECT_NE(currentProcessId(), 0u);
    EXPECT_EQ(currentProcessId(), currentProcessId());
}

}  // namespace
}  // namespace vorlant::platform
