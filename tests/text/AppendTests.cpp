// The append routines: their output, truncation, chaining and the promise
// that nothing outside [0, size) is ever touched.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "text/TextBuild.h"

namespace vorlant {
namespace {

using Append = std::function<std::size_t(char*, std::size_t, std::size_t)>;

constexpr std::int32_t kDeg = kAngleUnitsPerDegree;
constexpr std::int32_t kMin = kAngleUnitsPerMinute;
constexpr std::int32_t kSec = kAngleUnitsPerSecond;
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Each routine with a representative value, so the tests below can treat
// them alike.
struct NamedAppend {
    const char* name;
    Append call;
};

std::vector<NamedAppend> allRoutines() {
    return {
        {"text", [](char* b, std::size_t s, std::size_t p) { return appendText(b, s, p, "HW:12.3"); }},
        {"decimal", [](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, kInt32Min); }},
        {"twoDigits", [](char* b, std::size_t s, std::size_t p) { return appendTwoDigits(b, s, p, 47); }},
        {"hex",
         [](char* b, std::size_t s, std::size_t p) { return appendHexLowFirst(b, s, p, 0xABCDEF01u); }},
        {"angle",
         [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, -(8 * kDeg + 5 * kMin)); }},
        {"version",
         [](char* b, std::size_t s, std::size_t p) { return appendDottedVersion(b, s, p, 0xFF0A0100u); }},
    };
}

// The routines that write nothing at all, not even a NUL, at size - 1.
bool silentAtLastByte(const std::string& name) {
    return name == "twoDigits" || name == "angle";
}

// Runs `call` into a roomy buffer from position 0 and returns the text.
std::string fullText(const Append& call) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    const std::size_t end = call(buffer, sizeof buffer, 0);
    EXPECT_LT(end, sizeof buffer);
    EXPECT_EQ(buffer[end], '\0');
    return std::string(buffer, end);
}

TEST(TextAppend, WritesTheDocumentedTexts) {
    struct Case {
        const char* label;
        Append call;
        std::size_t size;
        std::size_t position;
        const char* text;  // the bytes from position up to the returned position
        std::size_t result;
    };
    const Case cases[] = {
        {"text cut at 4 bytes",
         [](char* b, std::size_t s, std::size_t p) { return appendText(b, s, p, "HW:12"); }, 4, 0, "HW:", 3},
        {"text whole", [](char* b, std::size_t s, std::size_t p) { return appendText(b, s, p, "HW:12"); }, 32,
         5, "HW:12", 10},
        {"empty text", [](char* b, std::size_t s, std::size_t p) { return appendText(b, s, p, ""); }, 8, 2,
         "", 2},
        {"decimal 0", [](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, 0); }, 16, 0,
         "0", 1},
        {"decimal 1000", [](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, 1000); },
         16, 0, "1000", 4},
        {"decimal -1", [](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, -1); }, 16,
         0, "-1", 2},
        {"decimal max",
         [](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, kInt32Max); }, 16, 0,
         "2147483647", 10},
        {"decimal min",
         [](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, kInt32Min); }, 16, 0,
         "-2147483648", 11},
        {"decimal cut", [](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, -12345); },
         5, 1, "-12", 4},
        {"two digits 7", [](char* b, std::size_t s, std::size_t p) { return appendTwoDigits(b, s, p, 7); }, 8,
         0, "07", 2},
        {"two digits 0", [](char* b, std::size_t s, std::size_t p) { return appendTwoDigits(b, s, p, 0); }, 8,
         0, "00", 2},
        {"two digits 123",
         [](char* b, std::size_t s, std::size_t p) { return appendTwoDigits(b, s, p, 123); }, 8, 0, "99", 2},
        {"two digits of a negative",
         [](char* b, std::size_t s, std::size_t p) {
             return appendTwoDigits(b, s, p, static_cast<std::uint32_t>(-5));
         },
         8, 0, "99", 2},
        {"two digits at size - 2",
         [](char* b, std::size_t s, std::size_t p) { return appendTwoDigits(b, s, p, 47); }, 8, 6, "4", 7},
        {"version 0.1.0.4",
         [](char* b, std::size_t s, std::size_t p) { return appendDottedVersion(b, s, p, 0x00010004u); }, 16,
         0, "0.1.0.4", 7},
        {"version widest",
         [](char* b, std::size_t s, std::size_t p) { return appendDottedVersion(b, s, p, 0xFFFFFFFFu); }, 32,
         2, "255.255.255.255", 17},
        {"version cut",
         [](char* b, std::size_t s, std::size_t p) { return appendDottedVersion(b, s, p, 0x01020304u); }, 5,
         0, "1.2.", 4},
        {"hex 0", [](char* b, std::size_t s, std::size_t p) { return appendHexLowFirst(b, s, p, 0); }, 16, 0,
         "00000000", 8},
        {"hex 0x2C", [](char* b, std::size_t s, std::size_t p) { return appendHexLowFirst(b, s, p, 0x2Cu); },
         16, 0, "C2000000", 8},
        {"hex upper case",
         [](char* b, std::size_t s, std::size_t p) { return appendHexLowFirst(b, s, p, 0xABCDEF01u); }, 16, 0,
         "10FEDCBA", 8},
        {"hex cut",
         [](char* b, std::size_t s, std::size_t p) { return appendHexLowFirst(b, s, p, 0x12345678u); }, 5, 1,
         "876", 4},
        {"angle west",
         [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, -(8 * kDeg + 5 * kMin)); },
         32, 0, "-8:05:00", 8},
        {"angle 0", [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, 0); }, 32, 0,
         "0:00:00", 7},
        {"angle north",
         [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, 47 * kDeg + 30 * kMin); },
         32, 2, "47:30:00", 10},
        {"angle one unit less",
         [](char* b, std::size_t s, std::size_t p) {
             return appendAngle(b, s, p, 47 * kDeg + 30 * kMin - 1);
         },
         32, 0, "47:29:59", 8},
        {"angle seconds",
         [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, 3 * kSec + 23); }, 32, 0,
         "0:00:03", 7},
        {"angle below a second negative",
         [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, -23); }, 32, 0, "-0:00:00",
         8},
        {"angle min", [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, kInt32Min); },
         32, 0, "-24855:08:05", 12},
        {"angle max", [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, kInt32Max); },
         32, 0, "24855:08:05", 11},
        {"angle cut in minutes",
         [](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, -(8 * kDeg + 5 * kMin)); },
         5, 0, "-8:0", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<char> buffer(c.size, '#');
        const std::size_t result = c.call(buffer.data(), c.size, c.position);
        ASSERT_EQ(result, c.result);
        EXPECT_EQ(std::string(buffer.data() + c.position, result - c.position), c.text);
        EXPECT_EQ(buffer[result], '\0');
    }
}

// For every size 0..N and every position (past the end too), each routine
// must change only bytes in [position, result] inside the buffer, and what
// it writes must be its full text cut to the room left.
TEST(TextAppend, StaysInsideTheBufferForEverySizeAndPosition) {
    constexpr std::size_t kMaxSize = 24;
    constexpr std::size_t kGuard = 16;
    constexpr char kFill = '#';
    for (const NamedAppend& routine : allRoutines()) {
        SCOPED_TRACE(routine.name);
        const std::string full = fullText(routine.call);
        for (std::size_t size = 0; size <= kMaxSize; ++size) {
            for (std::size_t position = 0; position <= kMaxSize + 2; ++position) {
                SCOPED_TRACE("size " + std::to_string(size) + " position " + std::to_string(position));
                std::vector<char> memory(kGuard + size + kGuard, kFill);
                char* buffer = memory.data() + kGuard;
                const std::size_t result = routine.call(buffer, size, position);

                std::string expected;  // the bytes expected in [position, result]
                std::size_t expectedResult = position;
                if (size == 0) {
                    expectedResult = 0;
                } else if (position < size - 1 || (position == size - 1 && !silentAtLastByte(routine.name))) {
                    expected = full.substr(0, size - 1 - position);
                    expectedResult = position + expected.size();
                    expected.push_back('\0');
                }
                ASSERT_EQ(result, expectedResult);
                for (std::size_t i = 0; i < memory.size(); ++i) {
                    const bool inWritten = i >= kGuard + position && i < kGuard + position + expected.size();
                    const char want = inWritten ? expected[i - kGuard - position] : kFill;
                    ASSERT_EQ(memory[i], want) << "byte " << static_cast<long>(i) - static_cast<long>(kGuard);
                }
            }
        }
    }
}

TEST(TextAppend, NoBufferWritesNothingAndReturnsZero) {
    for (const NamedAppend& routine : allRoutines()) {
        SCOPED_TRACE(routine.name);
        EXPECT_EQ(routine.call(nullptr, 16, 3), 0u);
    }
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(appendText(buffer, sizeof buffer, 1, nullptr), 1u);
    EXPECT_EQ(buffer[1], '\0');
    EXPECT_EQ(buffer[2], '#');
}

TEST(TextAppend, ChainedCallsBuildTheDeviceLine) {
    char line[255];
    std::size_t pos = appendText(line, sizeof line, 0, "HW:");
    const std::uint8_t hardware[] = {1, 3, 0, 2};
    const std::uint8_t firmware[] = {2, 4, 0, 10};
    for (std::size_t i = 0; i < 4; ++i) {
        if (i != 0) pos = appendText(line, sizeof line, pos, ".");
        pos = appendDecimal(line, sizeof line, pos, hardware[i]);
    }
    pos = appendText(line, sizeof line, pos, " | FW:");
    for (std::size_t i = 0; i < 4; ++i) {
        if (i != 0) pos = appendText(line, sizeof line, pos, ".");
        pos = appendDecimal(line, sizeof line, pos, firmware[i]);
    }
    pos = appendText(line, sizeof line, pos, " | Port type:");
    pos = appendDecimal(line, sizeof line, pos, 1);
    EXPECT_STREQ(line, "HW:1.3.0.2 | FW:2.4.0.10 | Port type:1");
    EXPECT_EQ(pos, std::strlen(line));
}

// Once a chain has filled the buffer every further call returns size - 1
// and leaves the text alone.
TEST(TextAppend, ChainStopsAtTheLastByte) {
    char buffer[10];
    std::size_t pos = appendText(buffer, sizeof buffer, 0, "abc");
    pos = appendDecimal(buffer, sizeof buffer, pos, -2147483647);
    EXPECT_EQ(pos, 9u);
    EXPECT_STREQ(buffer, "abc-21474");
    pos = appendHexLowFirst(buffer, sizeof buffer, pos, 0x2Cu);
    pos = appendText(buffer, sizeof buffer, pos, "more");
    pos = appendTwoDigits(buffer, sizeof buffer, pos, 12);
    pos = appendAngle(buffer, sizeof buffer, pos, 5 * kDeg);
    EXPECT_EQ(pos, 9u);
    EXPECT_STREQ(buffer, "abc-21474");
}

TEST(TextAppend, PipeNameEndsInTheProcessIdLowDigitFirst) {
    char name[256];
    const std::size_t pos = appendText(name, sizeof name, 0, "\\\\.\\Pipe\\kelvane_vorlant24_");
    const std::size_t end = appendHexLowFirst(name, sizeof name, pos, 0x2Cu);
    EXPECT_STREQ(name, "\\\\.\\Pipe\\kelvane_vorlant24_C2000000");
    EXPECT_EQ(end, pos + 8);
}

}  // namespace
}  // namespace vorlant
