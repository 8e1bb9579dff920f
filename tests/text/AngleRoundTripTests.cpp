// Every angle text appendAngle writes must read back through parseAngle to
// the same value (to the whole arc-second), with or without a hemisphere
// letter in front, the way the advanced settings dialog shows and reads
// latitude and longitude.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "text/TextBuild.h"

namespace vorlant {
namespace {

constexpr std::int32_t kDeg = kAngleUnitsPerDegree;
constexpr std::int32_t kSec = kAngleUnitsPerSecond;
constexpr std::size_t kDialogBuffer = 32;

struct Hemisphere {
    int kind;
    std::int32_t range;  // the valid angles are -range..range
    char positive;
    char negative;
};

constexpr Hemisphere kLatitude = {kAngleKindLatitude, 90 * kDeg, 'N', 'S'};
constexpr Hemisphere kLongitude = {kAngleKindLongitude, 180 * kDeg, 'E', 'W'};

char lower(char c) {
    return static_cast<char>(c - 'A' + 'a');
}

// Collects mismatches without the cost of a gtest assertion per value and
// stops the test after a handful.
class Checker {
public:
    bool check(const char* text, std::int32_t written, int kind, std::int32_t expected) {
        std::int32_t angle = 0;
        if (!parseAngle(text, kDialogBuffer, 0, &angle, kind)) {
            ADD_FAILURE() << "'" << text << "' failed to parse";
        } else if (angle == expected) {
            return true;
        } else {
            ADD_FAILURE() << "'" << text << "' (written from " << written << ", kind " << kind << ") read "
                          << angle << ", expected " << expected;
        }
        return ++failures_ < 10;
    }

private:
    int failures_ = 0;
};

// Sweeps every whole second of the hemisphere's range with each way the
// text may reach parseAngle.
void sweepWholeSeconds(const Hemisphere& h) {
    Checker checker;
    char plain[kDialogBuffer];
    char lettered[kDialogBuffer];
    for (std::int32_t angle = -h.range; angle <= h.range; angle += kSec) {
        // The bare text, read with and without letters enabled.
        appendAngle(plain, sizeof plain, 0, angle);
        if (!checker.check(plain, angle, kAngleKindNone, angle)) return;
        if (!checker.check(plain, angle, h.kind, angle)) return;

        // The dialog's form: the letter gives the sign, the text the
        // magnitude ("S 34:43:20"); upper and lower case alike.
        const bool south = angle < 0;
        char letter = south ? h.negative : h.positive;
        if ((angle / kSec) % 2 != 0) letter = lower(letter);
        lettered[0] = letter;
        lettered[1] = ' ';
        appendAngle(lettered, sizeof lettered, 2, south ? -angle : angle);
        if (!checker.check(lettered, angle, h.kind, angle)) return;

        // A positive letter before a signed text keeps its sign ("N -0:30:00");
        // a negative letter before a signed text stays negative ("S -5:00:00").
        lettered[0] = h.positive;
        appendAngle(lettered, sizeof lettered, 2, angle);
        if (!checker.check(lettered, angle, h.kind, angle)) return;
        lettered[0] = h.negative;
        if (!checker.check(lettered, angle, h.kind, south ? angle : -angle)) return;
    }
}

TEST(TextAngleRoundTrip, EveryWholeSecondOfTheLatitudeRange) {
    sweepWholeSeconds(kLatitude);
}

TEST(TextAngleRoundTrip, EveryWholeSecondOfTheLongitudeRange) {
    sweepWholeSeconds(kLongitude);
}

// Outside the whole seconds the text drops the remainder, so the value read
// back is the angle cut toward zero to a whole arc-second.
std::int32_t wholeSeconds(std::int32_t angle) {
    return angle / kSec * kSec;
}

TEST(TextAngleRoundTrip, EveryUnitNearZeroAndNearTheRangeEnds) {
    Checker checker;
    char text[kDialogBuffer];
    const std::int32_t centres[] = {0, 90 * kDeg, -90 * kDeg, 180 * kDeg, -180 * kDeg, 47 * kDeg + 30 * 1440};
    for (std::int32_t centre : centres) {
        for (std::int32_t angle = centre - 3 * kDeg / 60; angle <= centre + 3 * kDeg / 60; ++angle) {
            appendAngle(text, sizeof text, 0, angle);
            if (!checker.check(text, angle, kAngleKindLatitude, wholeSeconds(angle))) return;
        }
    }
}

TEST(TextAngleRoundTrip, SamplesOverTheWholeInt32Range) {
    Checker checker;
    char text[kDialogBuffer];
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kStride = 9973;  // prime, so every remainder mod 24 occurs
    for (std::int64_t wide = kMin; wide <= kMax; wide += kStride) {
        const auto angle = static_cast<std::int32_t>(wide);
        appendAngle(text, sizeof text, 0, angle);
        if (!checker.check(text, angle, kAngleKindNone, wholeSeconds(angle))) return;
    }
    const std::int32_t extremes[] = {
        std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min() + 1,
        std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max() / kSec * kSec,
        -(std::numeric_limits<std::int32_t>::max() / kSec * kSec)};
    for (std::int32_t angle : extremes) {
        appendAngle(text, sizeof text, 0, angle);
        if (!checker.check(text, angle, kAngleKindNone, wholeSeconds(angle))) return;
    }
}

}  // namespace
}  // namespace vorlant
