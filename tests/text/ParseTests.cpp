// The parse routines: values, positions, wrap-around and their bounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "text/TextBuild.h"

namespace vorlant {
namespace {

constexpr std::int32_t kDeg = kAngleUnitsPerDegree;
constexpr std::int32_t kMin = kAngleUnitsPerMinute;
constexpr std::int32_t kSec = kAngleUnitsPerSecond;
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// A heap copy of exactly `size` bytes with no terminator behind it, so that
// any read past the end is a heap overflow under AddressSanitizer.
std::unique_ptr<char[]> exactCopy(const std::string& text) {
    std::unique_ptr<char[]> copy(new char[text.size() == 0 ? 1 : text.size()]);
    std::memcpy(copy.get(), text.data(), text.size());
    return copy;
}

TEST(TextParseInteger, ReadsValuesAndReturnsTheEnd) {
    struct Case {
        std::string text;
        std::size_t position;
        std::int32_t value;
        std::size_t end;
    };
    const Case cases[] = {
        {"123", 0, 123, 3},
        {"007", 0, 7, 3},
        {"-45x", 0, -45, 3},
        {"", 0, 0, 0},
        {"abc", 0, 0, 0},
        {"-", 0, 0, 1},  // the sign is read even without digits
        {"--5", 0, 0, 1},
        {"12 34", 0, 12, 2},
        {"12 34", 3, 34, 5},
        {"+5", 0, 0, 0},
        {"-0", 0, 0, 2},
        // 32-bit wrap-around, never undefined behaviour.
        {"2147483647", 0, kInt32Max, 10},
        {"-2147483647", 0, -kInt32Max, 11},
        {"-2147483648", 0, kInt32Min, 11},
        {"2147483648", 0, kInt32Min, 10},
        {"4294967295", 0, -1, 10},
        {"4294967296", 0, 0, 10},
        {"4294967297", 0, 1, 10},
        {"99999999999", 0, 1215752191, 11},
        {"-99999999999", 0, -1215752191, 12},
        {"-4294967295", 0, 1, 11},
        {"000000000000000000000042", 0, 42, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text '" + c.text + "' from " + std::to_string(c.position));
        const auto text = exactCopy(c.text);
        std::int32_t value = 12345;
        EXPECT_EQ(parseInteger(text.get(), c.text.size(), c.position, &value), c.end);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(parseInteger(text.get(), c.text.size(), c.position), c.end);  // no out value
    }
}

TEST(TextParseInteger, StopsAtSizeAndAtNul) {
    const char text[] =
        "-12\0"
        "345";  // one array: the bytes after the NUL are readable
    std::int32_t value = 0;
    EXPECT_EQ(parseInteger(text, 2, 0, &value), 2u);  // "-1" of "-12"
    EXPECT_EQ(value, -1);
    EXPECT_EQ(parseInteger(text, sizeof text, 0, &value), 3u);
    EXPECT_EQ(value, -12);
    EXPECT_EQ(parseInteger(text, 1, 0, &value), 1u);  // only the sign fits
    EXPECT_EQ(value, 0);
    EXPECT_EQ(parseInteger(text, 0, 0, &value), 0u);  // nothing may be read
    EXPECT_EQ(value, 0);
    value = 7;
    EXPECT_EQ(parseInteger(text, 3, 3, &value), 3u);  // position at size
    EXPECT_EQ(value, 0);
    EXPECT_EQ(parseInteger(text, 3, 9, &value), 9u);  // position past size
    EXPECT_EQ(value, 0);
    EXPECT_EQ(parseInteger(nullptr, 8, 0, &value), 0u);
    EXPECT_EQ(value, 0);
}

TEST(TextParseAngle, ReadsTheDocumentedTexts) {
    struct Case {
        std::string text;
        int kind;
        std::int32_t angle;
    };
    const Case cases[] = {
        {"s 34:43:20", kAngleKindLatitude, -(34 * kDeg + 43 * kMin + 20 * kSec)},
        {"N 47:30:00", kAngleKindLatitude, 47 * kDeg + 30 * kMin},
        {"n47:30", kAngleKindLatitude, 47 * kDeg + 30 * kMin},
        {"W 8:05:00", kAngleKindLongitude, -(8 * kDeg + 5 * kMin)},
        {"e 8:05", kAngleKindLongitude, 8 * kDeg + 5 * kMin},
        {"w5", kAngleKindLongitude, -5 * kDeg},
        // A "-" before the degrees negates the whole angle.
        {"-5:30:00", kAngleKindNone, -(5 * kDeg + 30 * kMin)},
        {"N -5:30", kAngleKindLatitude, -(5 * kDeg + 30 * kMin)},
        {"N -0:30:00", kAngleKindLatitude, -30 * kMin},
        {"E -0:00:01", kAngleKindLongitude, -kSec},
        // South and "-" together are still south, not north.
        {"S -5", kAngleKindLatitude, -5 * kDeg},
        {"w -0:10", kAngleKindLongitude, -10 * kMin},
        // Blanks of any number around the letter.
        {"   W   8:05:00", kAngleKindLongitude, -(8 * kDeg + 5 * kMin)},
        {"\t N\t12", kAngleKindLatitude, 12 * kDeg},
        {"  12:01", kAngleKindNone, 12 * kDeg + 1 * kMin},
        // Letters of the other kind, or with no kind, are not letters.
        {"N 47:30:00", kAngleKindLongitude, 0},
        {"W 5", kAngleKindLatitude, 0},
        {"S 5", kAngleKindNone, 0},
        // Separators: any run of ":" and "."; "." is no decimal point.
        {"47.5", kAngleKindNone, 47 * kDeg + 5 * kMin},
        {"47::30..15 and more", kAngleKindNone, 47 * kDeg + 30 * kMin + 15 * kSec},
        {"1:2:3:4", kAngleKindNone, 1 * kDeg + 2 * kMin + 3 * kSec},
        {"10 20", kAngleKindNone, 10 * kDeg},  // a blank is no separator
        // Missing numbers count as 0.
        {"", kAngleKindLatitude, 0},
        {"S", kAngleKindLatitude, 0},
        {"abc", kAngleKindLatitude, 0},
        {":30", kAngleKindNone, 30 * kMin},
        {"5::", kAngleKindNone, 5 * kDeg},
        // Minutes and seconds keep their own sign.
        {"5:-30", kAngleKindNone, 5 * kDeg - 30 * kMin},
        // 32-bit wrap-around, never undefined behaviour.
        {"24855:08:05", kAngleKindNone, kInt32Max - 7},
        {"-24855:08:05", kAngleKindNone, -(kInt32Max - 7)},
        {"99999:99:99", kAngleKindNone, 50123944},
        {"S 99999:99:99", kAngleKindLatitude, -50123944},
        {"99999999999:99999999999:99999999999", kAngleKindNone, 718891208},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text '" + c.text + "' kind " + std::to_string(c.kind));
        const auto text = exactCopy(c.text);
        std::int32_t angle = 12345;
        EXPECT_TRUE(parseAngle(text.get(), c.text.size(), 0, &angle, c.kind));
        EXPECT_EQ(angle, c.angle);
    }
}

TEST(TextParseAngle, StopsAtSizeAndAtNul) {
    struct Case {
        const char* label;
        std::size_t size;
        std::size_t position;
        std::int32_t angle;
    };
    // One array, so reading past `size` would find more digits and change
    // the result even without a sanitizer.
    const char text[] =
        "S 12:30:45\0"
        "99";
    const Case cases[] = {
        {"whole", sizeof text, 0, -(12 * kDeg + 30 * kMin + 45 * kSec)},
        {"degrees only", 4, 0, -12 * kDeg},
        {"minutes cut", 6, 0, -(12 * kDeg + 3 * kMin)},
        {"letter only", 1, 0, 0},
        {"nothing", 0, 0, 0},
        {"from the degrees", sizeof text, 2, 12 * kDeg + 30 * kMin + 45 * kSec},
        {"position at size", 5, 5, 0},
        {"position past size", 5, 40, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::int32_t angle = 12345;
        EXPECT_TRUE(parseAngle(text, c.size, c.position, &angle, kAngleKindLatitude));
        EXPECT_EQ(angle, c.angle);
    }
}

TEST(TextParseAngle, BlanksToTheEndOfAnUnterminatedText) {
    const std::string blanks(16, ' ');
    const auto text = exactCopy(blanks);
    std::int32_t angle = 12345;
    EXPECT_TRUE(parseAngle(text.get(), blanks.size(), 0, &angle, kAngleKindLatitude));
    EXPECT_EQ(angle, 0);
    const std::string separators = "5::::";
    const auto text2 = exactCopy(separators);
    EXPECT_TRUE(parseAngle(text2.get(), separators.size(), 0, &angle, kAngleKindNone));
    EXPECT_EQ(angle, 5 * kDeg);
}

TEST(TextParseAngle, NoTextOrNoOutValueStillSucceeds) {
    std::int32_t angle = 12345;
    EXPECT_TRUE(parseAngle(nullptr, 32, 0, &angle, kAngleKindLatitude));
    EXPECT_EQ(angle, 0);
    EXPECT_TRUE(parseAngle("N 5", 4, 0, nullptr, kAngleKindLatitude));
}

}  // namespace
}  // namespace vorlant
