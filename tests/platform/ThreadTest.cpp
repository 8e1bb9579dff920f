// Thread start/join, restart, and detaching a thread that still runs.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/Platform.h"
#include "platform/TestTiming.h"

namespace vorlant::platform {
namespace {

struct Gate {
    Event release{Event::Reset::Manual};
    Event ended{Event::Reset::Manual};
    std::atomic<int> runs{0};
};

void gatedEntry(void* p) {
    auto* g = static_cast<Gate*>(p);
    g->runs.fetch_add(1);
    g->release.wait(30000);
    g->ended.set();
}

TEST(ThreadTest, JoinReportsWhetherTheThreadEnded) {
    Gate gate;
    Thread t;
    EXPECT_FALSE(t.started());
    EXPECT_TRUE(t.join(0)) << "a thread never started counts as ended";

    ASSERT_TRUE(t.start(&gatedEntry, &gate));
    EXPECT_TRUE(t.started());
    EXPECT_FALSE(t.start(&gatedEntry, &gate)) << "a running Thread cannot start a second function";
    EXPECT_FALSE(t.join(0));
    const uint64_t start = monotonicNs();
    EXPECT_FALSE(t.join(50));
    EXPECT_GE(test::elapsedMs(start), 40u);

    gate.release.set();
    EXPECT_TRUE(t.join(10000));
    EXPECT_FALSE(t.started());
    EXPECT_TRUE(gate.ended.isSet());
    EXPECT_TRUE(t.join(0)) << "joining again is harmless";

    // After a join the same Thread object runs a new function.
    gate.ended.reset();
    ASSERT_TRUE(t.start(&gatedEntry, &gate));
    EXPECT_TRUE(t.join(10000));
    EXPECT_EQ(gate.runs.load(), 2);
}

TEST(ThreadTest, DestroyingARunningThreadDetachesIt) {
    Gate gate;
    {
        Thread t;
        ASSERT_TRUE(t.start(&gatedEntry, &gate));
        ASSERT_TRUE(test::eventually([&] { return gate.runs.load() == 1; }));
    }  // destroyed while its function waits
    EXPECT_FALSE(gate.ended.isSet());
    gate.release.set();
    EXPECT_TRUE(gate.ended.wait(10000)) << "the detached thread must run to its end";
}

TEST(ThreadTest, DestroyingAnEndedUnjoinedThreadIsClean) {
    Gate gate;
    gate.release.set();
    {
        Thread t;
        ASSERT_TRUE(t.start(&gatedEntry, &gate));
        ASSERT_TRUE(gate.ended.wait(10000));
    }
    EXPECT_EQ(gate.runs.load(), 1);
}

}  // namespace
}  // namespace vorlant::platform
