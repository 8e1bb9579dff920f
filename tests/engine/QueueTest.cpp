#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/EngineCore.h"
#include "engine/QueueMessage.h"
#include "tests/support/EngineHarness.h"
#include "tests/support/TestController.h"

namespace vorlant {
namespace {

using test::Bytes;

std::vector<Bytes> assemble(const Bytes& stream) {
    MessageAssembler a;
    std::vector<Bytes> out;
    for (uint8_t b : stream)
        if (a.assembleByte(b)) out.emplace_back(a.message(), a.message() + 1 + messageLength(a.message()[0]));
    return out;
}

TEST(MessageAssembler, FormatEdgeCases) {
    // Stray bytes with bit 7 clear are dropped between messages; a length-0
    // message swallows its filler (even one with bit 7 set); inside a
    // message a header-looking byte is payload.
    const Bytes stream = {0x01, 0x7F, 0xA0, 0x00, 0x80, 0xA0, 0x82, 0x06, 0xC1, 0xE0, 0x55, 0x81, 0x04};
    const std::vector<Bytes> msgs = assemble(stream);
    ASSERT_EQ(msgs.size(), 5u);
    EXPECT_EQ(msgs[0], (Bytes{0xA0}));
    EXPECT_EQ(msgs[1], (Bytes{0x80}));
    EXPECT_EQ(msgs[2], (Bytes{0x82, 0x06, 0xC1}));
    EXPECT_EQ(msgs[3], (Bytes{0xE0}));
    EXPECT_EQ(msgs[4], (Bytes{0x81, 0x04}));
}

TEST(MessageAssembler, LongestMessageFitsAndTheNextStartsClean) {
    Bytes stream = {0xDF};
    for (int i = 0; i < 31; ++i) stream.push_back(static_cast<uint8_t>(0x80 + i));
    stream.insert(stream.end(), {0xC1, 0x55});
    const std::vector<Bytes> msgs = assemble(stream);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].size(), 32u);
    EXPECT_EQ(msgs[0][31], 0x80 + 30);
    EXPECT_EQ(msgs[1], (Bytes{0xC1, 0x55}));
}

TEST(MessageAssembler, EverySplitOfAMixedStreamGivesTheSameMessages) {
    Bytes payload31 = {0xDF};
    for (int i = 0; i < 31; ++i) payload31.push_back(static_cast<uint8_t>(i * 9));
    Bytes stream = {0x86, 0x03, 0x05, 0x80, 0x25, 0x00, 0x00,  // connect
                    0xA0, 0x00,                                // tick
                    0x80, 0xFF,                                // empty command, filler
                    0xC3, 0x55, 0x02, 0x03,                    // serial data
                    0x12,                                      // a stray
                    0xE2, 0x01, 0x02,                          // type 3
                    0x81, 0x04};                               // disconnect
    stream.insert(stream.end(), payload31.begin(), payload31.end());
    const std::vector<Bytes> whole = assemble(stream);
    ASSERT_EQ(whole.size(), 7u);
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        MessageAssembler a;
        std::vector<Bytes> out;
        auto feed = [&](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i)
                if (a.assembleByte(stream[i]))
                    out.emplace_back(a.message(), a.message() + 1 + messageLength(a.message()[0]));
        };
        feed(0, cut);
        feed(cut, stream.size());
        EXPECT_EQ(out, whole) << "cut at " << cut;
    }
}

TEST(SerialChunks, LongReadsBecomeSeveralMessagesInOrder) {
    struct Case {
        int count;
        std::vector<uint8_t> headers;
    };
    const Case cases[] = {
        {0, {}},
        {-3, {}},
        {1, {0xC1}},
        {31, {0xDF}},
        {32, {0xDF, 0xC1}},
        {100, {0xDF, 0xDF, 0xDF, 0xC7}},
        {128, {0xDF, 0xDF, 0xDF, 0xDF, 0xC4}},
    };
    for (const Case& c : cases) {
        Bytes data(128);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
        std::vector<uint8_t> headers;
        Bytes joined;
        chunkSerialBytes(data.data(), c.count, [&](const uint8_t* m, size_t n) {
            headers.push_back(m[0]);
            EXPECT_EQ(n, static_cast<size_t>(messageLength(m[0])) + 1);
            joined.insert(joined.end(), m + 1, m + n);
        });
        EXPECT_EQ(headers, c.headers) << c.count;
        EXPECT_EQ(joined, Bytes(data.begin(), data.begin() + (c.count > 0 ? c.count : 0)));
    }
}

class QueueEngine : public ::testing::Test {
protected:
    QueueEngine() : h(std::make_shared<test::ScriptedPort>()) {}
    test::EngineHarness<test::ScriptedPort> h;
};

TEST_F(QueueEngine, CommandsWithoutConnectionAnswerNotConnectedYet) {
    TelescopeControl& e = h.engine();
    e.disconnect();
    e.storeParameters();
    e.noOpCommand();
    e.setGearRatios(1, 2);
    e.moveManual(1, 2);
    AdvancedSettings adv{};
    e.applyAdvancedSettings(adv);
    h.settle();
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>(6, StatusCode::NotConnectedYet));
    EXPECT_EQ(h.port().opens(), 0);
}

TEST_F(QueueEngine, MalformedAndIgnoredMessages) {
    TelescopeControl& e = h.engine();
    const Bytes raw = {
        0x85, 0x03, 1,    0x80, 0x25, 0,  // a connect message of the wrong length: not a connect
        0x80, 0x00,                       // empty command with filler
        0xE3, 1,    2,    3,              // type 3
        0xA0, 0x00, 0xC2, 0x55, 0x00,     // tick and serial data while closed
        0x05, 0x06,                       // strays
    };
    EngineAccess::core(e).writeQueue(raw.data(), raw.size());
    h.settle();
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>{StatusCode::NotConnectedYet});
    EXPECT_EQ(h.port().opens(), 0);
}

TEST_F(QueueEngine, SerialDataIsForwardedInChunksInOrder) {
    test::TestController c;
    c.firmware = 0x01000005;  // class 4
    h.port().setResponder([&](const Bytes& f) { return c.reply(f); });
    h.connectAndRun();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    // One read of 28 stray bytes and a reply that straddles the first
    // 31-byte chunk boundary: the reply must come through whole.
    c.overrides[43] = {};
    h.engine().measureSupplyVoltage();
    h.settle();
    Bytes stream(28, 0x11);
    stream.insert(stream.end(), {0x55, 0x05, 0x2B, 0x00, 0x00, 0x10, 0x27});
    h.port().inject(stream);
    h.settle();
    std::vector<int> volts;
    for (const test::Report& r : h.recorder().reports())
        if (r.kind == test::Report::Voltage) volts.push_back(r.value);
    EXPECT_EQ(volts, std::vector<int>{10000});
}

TEST_F(QueueEngine, ManyWritersKeepMessagesWholeAndInOrder) {
    test::TestController c;
    c.firmware = 0x01000005;
    h.port().setResponder([&](const Bytes& f) { return c.reply(f); });
    h.connectAndRun();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    h.port().clearFrames();
    TelescopeControl& e = h.engine();
    std::atomic<bool> go{false};
    std::vector<std::thread> writers;
    constexpr int kWriters = 4, kEach = 32;
    for (int t = 0; t < kWriters; ++t)
        writers.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < kEach; ++i) e.setTracking(static_cast<uint8_t>(t * kEach + i));
        });
    writers.emplace_back([&] {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < 200; ++i) e.tick();
    });
    writers.emplace_back([&] {
        while (!go) std::this_thread::yield();
        const uint8_t noise[40] = {0x11};
        for (int i = 0; i < 50; ++i) EngineAccess::core(e).forwardSerialBytes(noise, 40);
    });
    go = true;
    for (std::thread& w : writers) w.join();
    h.settle();
    std::vector<int> next(kWriters, 0);
    int count = 0;
    for (const Bytes& f : h.port().frames()) {
        ASSERT_EQ(f.size(), 5u);
        ASSERT_EQ(f[2], 36);
        const int t = f[4] / kEach, i = f[4] % kEach;
        EXPECT_EQ(i, next[static_cast<size_t>(t)]) << "writer " << t;
        next[static_cast<size_t>(t)] = i + 1;
        ++count;
    }
    EXPECT_EQ(count, kWriters * kEach);
}

}  // namespace
}  // namespace vorlant
