#include <gtest/gtest.h>

#include <vector>

#include "engine/ManualMotion.h"

namespace vorlant {
namespace {

TEST(ManualMotion, DocumentedExampleTable) {
    const std::pair<int, int32_t> table[] = {{0, 32},  {1, 65},  {2, 100},  {3, 132},  {4, 165},  {5, 200},
                                             {6, 400}, {7, 404}, {10, 435}, {16, 539}, {20, 630}, {31, 950}};
    for (auto [pos, speed] : table)
        EXPECT_EQ(manualSpeedMagnitude(100, 950, static_cast<uint8_t>(pos)), speed) << "position " << pos;
}

TEST(ManualMotion, PositionThirtyOneIsExactlyTheTopRate) {
    const uint32_t tops[] = {1, 950, 123457, 0x7FFFFFFFu};
    const uint32_t bases[] = {0, 1, 100, 99999};
    for (uint32_t t : tops)
        for (uint32_t b : bases) EXPECT_EQ(manualSpeedMagnitude(b, t, 31), static_cast<int32_t>(t));
}

TEST(ManualMotion, ZeroTopRateKeepsFourTimesBaseAboveSix) {
    for (int pos = 6; pos <= 31; ++pos)
        EXPECT_EQ(manualSpeedMagnitude(100, 0, static_cast<uint8_t>(pos)), 400);
}

TEST(ManualMotion, ZeroRatesGiveZeroEverywhere) {
    ControllerSettings s{};
    for (uint8_t dir = 0; dir <= 3; ++dir)
        for (int pos = 0; pos < 32; ++pos) EXPECT_EQ(manualSpeed(s, 7, dir, static_cast<uint8_t>(pos)), 0);
}

TEST(ManualMotion, ExtremeRatesAndPositionsAreDefined) {
    // Runs under UBSan: every product, conversion and negation must be
    // defined; the curve saturates.
    const uint32_t values[] = {0, 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 123456789u};
    for (uint32_t b : values)
        for (uint32_t t : values)
            for (int pos = 0; pos < 256; ++pos) {
                ControllerSettings s{};
                s.raSiderealRate = b;
                s.raMaxRate = t;
                s.deSiderealRate = b;
                s.deMaxRate = t;
                for (uint8_t dir = 0; dir <= 5; ++dir)
                    (void)manualSpeed(s, 7, dir, static_cast<uint8_t>(pos));
            }
    EXPECT_EQ(manualSpeedMagnitude(1000, 0xFFFFFFFFu, 31), INT32_MAX);
    EXPECT_EQ(manualSpeedMagnitude(1000, 0xFFFFFFFFu, 255), INT32_MAX);
}

TEST(ManualMotion, DirectionsPickAxisAndSign) {
    ControllerSettings s{};
    s.raSiderealRate = 100;
    s.raMaxRate = 950;
    s.deSiderealRate = 200;
    s.deMaxRate = 1900;
    using Bytes = std::vector<uint8_t>;
    auto frame = [&](uint8_t dir, uint8_t pos) {
        Frame f = manualMoveFrame(s, 7, dir, pos);
        return Bytes(f.bytes, f.bytes + f.size);
    };
    EXPECT_EQ(frame(3, 0), (Bytes{0xAA, 0x07, 0x23, 0x00, 0x80, 0xE0, 0xFF, 0xFF, 0xFF}));  // -32
    EXPECT_EQ(frame(2, 2), (Bytes{0xAA, 0x07, 0x23, 0x00, 0x80, 100, 0, 0, 0}));
    EXPECT_EQ(manualSpeed(s, 7, 0, 2), -200);  // up runs negative
    EXPECT_EQ(manualSpeed(s, 7, 1, 2), 200);   // down positive
    EXPECT_EQ(manualSpeed(s, 0, 0, 2), 200);   // the axis mode flips the second axis only
    EXPECT_EQ(manualSpeed(s, 0, 3, 2), -100);
    // Code 4 moves nothing in particular: axis 0x00, base 200, top 200000.
    EXPECT_EQ(frame(4, 2), (Bytes{0xAA, 0x07, 0x23, 0x00, 0x00, 200, 0, 0, 0}));
    EXPECT_EQ(manualSpeed(s, 7, 4, 31), 200000);
}

TEST(ManualMotion, StopAxisBytes) {
    const std::pair<uint8_t, uint8_t> table[] = {{0, 0x40}, {1, 0x40}, {2, 0x80},  {3, 0x80},
                                                 {4, 0xC0}, {5, 0x00}, {255, 0x00}};
    for (auto [dir, axis] : table) {
        Frame f = stopFrame(dir);
        ASSERT_EQ(f.size, 5);
        EXPECT_EQ(f.bytes[4], axis) << "code " << int(dir);
        EXPECT_EQ(f.bytes[2], 0x21);
    }
}

}  // namespace
}  // namespace vorlant
