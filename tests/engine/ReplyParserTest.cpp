#include <gtest/gtest.h>

#include <vector>

#include "engine/ReplyParser.h"

namespace vorlant {
namespace {

using Bytes = std::vector<uint8_t>;

// Feeds `stream` cut at the given boundaries and collects the frames.
std::vector<Bytes> framesOf(const Bytes& stream, const std::vector<size_t>& cuts) {
    ReplyParser parser;
    std::vector<Bytes> frames;
    size_t start = 0;
    std::vector<size_t> ends = cuts;
    ends.push_back(stream.size());
    for (size_t end : ends) {
        parser.feed(stream.data() + start, end - start, [&](const ReplyView& v) {
            frames.emplace_back(v.bytes, v.bytes + v.size);
            return StepResult::None;
        });
        start = end;
    }
    return frames;
}

const Bytes kTwoReplies = {0x13, 0xAA, 0x55, 0x05, 0x2B, 0x00, 0x00, 0xD2, 0x04,
                           0x00, 0x7F, 0x55, 0x00, 0x55, 0x02, 0x03, 0x02};

TEST(ReplyParser, SameFramesWhereverTheStreamIsCut) {
    const std::vector<Bytes> whole = framesOf(kTwoReplies, {});
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(whole[0], (Bytes{0x55, 0x05, 0x2B, 0x00, 0x00, 0xD2, 0x04}));
    EXPECT_EQ(whole[1], (Bytes{0x55, 0x00}));
    EXPECT_EQ(whole[2], (Bytes{0x55, 0x02, 0x03, 0x02}));
    for (size_t a = 0; a <= kTwoReplies.size(); ++a) {
        EXPECT_EQ(framesOf(kTwoReplies, {a}), whole) << "cut at " << a;
        for (size_t b = a; b <= kTwoReplies.size(); ++b) EXPECT_EQ(framesOf(kTwoReplies, {a, b}), whole);
    }
    // Byte by byte.
    std::vector<size_t> every;
    for (size_t i = 1; i < kTwoReplies.size(); ++i) every.push_back(i);
    EXPECT_EQ(framesOf(kTwoReplies, every), whole);
}

TEST(ReplyParser, OverlongReplyIsConsumedWholeAndTruncated) {
    Bytes stream = {0x55, 120};
    for (int i = 0; i < 120; ++i) stream.push_back(static_cast<uint8_t>(i));
    stream.insert(stream.end(), {0x55, 0x01, 0x0D});
    const std::vector<Bytes> frames = framesOf(stream, {50, 101});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].size(), kReplyBufferSize);
    EXPECT_EQ(frames[0][99], 97);  // payload byte 97 sits at position 99
    EXPECT_EQ(frames[1], (Bytes{0x55, 0x01, 0x0D}));
}

TEST(ReplyParser, PositionsBeyondTheFrameReadZeroNotOldBytes) {
    ReplyParser parser;
    const Bytes longFrame = {0x55, 0x05, 0x02, 0x11, 0x22, 0x33, 0x44};
    const Bytes shortFrame = {0x55, 0x01, 0x03};
    parser.feed(longFrame.data(), longFrame.size(), [](const ReplyView&) { return StepResult::None; });
    uint32_t seen = 1;
    parser.feed(shortFrame.data(), shortFrame.size(), [&](const ReplyView& v) {
        seen = v.u32(3);
        EXPECT_EQ(v.u8(6), 0);
        EXPECT_EQ(v.u8(99), 0);
        return StepResult::None;
    });
    EXPECT_EQ(seen, 0u);
}

TEST(ReplyParser, ResultCombinesEveryFrameOfARun) {
    const Bytes three = {0x55, 0x00, 0x55, 0x00, 0x55, 0x00};
    struct Case {
        std::vector<StepResult> results;  // handler result per frame
        StepResult expected;
        size_t handled;
    };
    constexpr StepResult none = StepResult::None;
    constexpr StepResult complete = StepResult::ReadoutComplete;
    constexpr StepResult giveUp = StepResult::GiveUp;
    const Case cases[] = {
        {{none, none, none}, none, 3},
        {{complete, none, none}, complete, 3},  // a stray frame after completion must not hide it
        {{none, complete, none}, complete, 3},
        {{complete, giveUp, none}, giveUp, 2},  // give-up wins and nothing after it is handled
        {{giveUp, complete, complete}, giveUp, 1},
    };
    for (const Case& c : cases) {
        ReplyParser parser;
        size_t n = 0;
        const StepResult r =
            parser.feed(three.data(), three.size(), [&](const ReplyView&) { return c.results[n++]; });
        EXPECT_EQ(r, c.expected);
        EXPECT_EQ(n, c.handled);
    }
}

TEST(ReplyParser, ResetDropsAHalfFrame) {
    ReplyParser parser;
    const Bytes half = {0x55, 0x05, 0x01};
    int frames = 0;
    parser.feed(half.data(), half.size(), [&](const ReplyView&) { return ++frames, StepResult::None; });
    parser.reset();
    const Bytes next = {0x55, 0x01, 0x09};
    parser.feed(next.data(), next.size(), [&](const ReplyView& v) {
        EXPECT_EQ(v.u8(2), 0x09);
        return ++frames, StepResult::None;
    });
    EXPECT_EQ(frames, 1);
}

}  // namespace
}  // namespace vorlant
