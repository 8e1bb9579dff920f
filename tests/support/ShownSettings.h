// What the main dialog shows after a read-out of the simulator's settings:
// every edit, track bar and reverse check box, through any DialogControls
// (the headless test controls, or a running window read from outside).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "tools/simulator/SimState.h"
#include "ui/DialogControls.h"

namespace vorlant::test {

inline int clampTo(int64_t value, int minimum, int maximum) {
    return static_cast<int>(std::min<int64_t>(std::max<int64_t>(value, minimum), maximum));
}

// Every value control of the main dialog after a read-out of `s`.
inline void expectShown(const DialogControls& c, const sim::SimState& s) {
    struct Text {
        int id;
        int64_t value;
    };
    const Text texts[] = {
        {171, s.raGearRatio},    {172, s.deGearRatio},    {211, s.raMaxSpeed},     {311, s.deMaxSpeed},
        {213, s.raAcceleration}, {215, s.raDeceleration}, {313, s.deAcceleration}, {315, s.deDeceleration},
        {220, s.raMaxCurrent},   {320, s.deMaxCurrent},   {230, s.raIdleCurrent},  {231, s.raTrackCurrent},
        {232, s.raRunCurrent},   {330, s.deIdleCurrent},  {331, s.deTrackCurrent}, {332, s.deRunCurrent},
        {251, s.raOvertone},     {351, s.deOvertone},     {253, s.raIncCurrentAt}, {353, s.deIncCurrentAt},
    };
    for (const Text& t : texts) EXPECT_EQ(c.text(t.id), std::to_string(t.value)) << "edit " << t.id;

    // Track bars: speed 30 per step, ramps 16 per step rounded, currents in
    // sixteenths of the maximum, the threshold 20 per step above 10, the
    // guide rate one below; each bar keeps to its range.
    auto ramp = [](int v) { return clampTo((v + 8) / 16, 0, 15); };
    auto current = [](int v, int max) { return clampTo(16 * v / max, 0, 15); };
    struct Position {
        int id;
        int position;
    };
    const Position positions[] = {
        {210, clampTo(s.raMaxSpeed / 30, 0, 39)},
        {310, clampTo(s.deMaxSpeed / 30, 0, 39)},
        {212, ramp(s.raAcceleration)},
        {214, ramp(s.raDeceleration)},
        {312, ramp(s.deAcceleration)},
        {314, ramp(s.deDeceleration)},
        {233, current(s.raIdleCurrent, s.raMaxCurrent)},
        {234, current(s.raTrackCurrent, s.raMaxCurrent)},
        {235, current(s.raRunCurrent, s.raMaxCurrent)},
        {333, current(s.deIdleCurrent, s.deMaxCurrent)},
        {334, current(s.deTrackCurrent, s.deMaxCurrent)},
        {335, current(s.deRunCurrent, s.deMaxCurrent)},
        {240, clampTo(s.raIdleDecay, 0, 3)},
        {241, clampTo(s.raTrackDecay, 0, 3)},
        {242, clampTo(s.raRunDecay, 0, 3)},
        {340, clampTo(s.deIdleDecay, 0, 3)},
        {341, clampTo(s.deTrackDecay, 0, 3)},
        {342, clampTo(s.deRunDecay, 0, 3)},
        {250, clampTo(s.raOvertone, -20, 20)},
        {350, clampTo(s.deOvertone, -20, 20)},
        {252, clampTo((s.raIncCurrentAt - 10) / 20, 0, 31)},
        {352, clampTo((s.deIncCurrentAt - 10) / 20, 0, 31)},
        {260, clampTo(s.raGuideRate - 1, 0, 15)},
        {360, clampTo(s.deGuideRate - 1, 0, 15)},
    };
    for (const Position& p : positions) EXPECT_EQ(c.trackPos(p.id), p.position) << "track bar " << p.id;

    // Reverse flags: bit 0 RA, bit 1 Dec.
    const uint8_t flags[] = {s.reverseRotation, s.reverseGuiding, s.reverseLimits};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c.isChecked(201 + i), (flags[i] & 1) != 0) << "check box " << 201 + i;
        EXPECT_EQ(c.isChecked(301 + i), (flags[i] & 2) != 0) << "check box " << 301 + i;
    }
}

}  // namespace vorlant::test
