// How the main dialog's settings bars show a value: the range of the bars
// of each scale, and the conversions between a field's value and a bar
// position. Integer arithmetic throughout; a position outside the bar's
// range is the caller's to hold at the nearest end.
#pragma once

#include <cstdint>

#include "engine/SettingsFields.h"

namespace vorlant {

struct TrackRange {
    int minimum;
    int maximum;
};

// The positions a bar of that scale offers.
TrackRange trackRange(TrackScale scale);
// Where a bar shows `value`. Currents are sixteenths of the axis's
// `maxCurrent`, which the caller makes sure is not 0.
int64_t trackPosition(TrackScale scale, int64_t value, uint32_t maxCurrent);
// The value a bar the user left at `position` stands for. Maximum speed
// and current use position + 1 here and not above: a shown speed of 600
// puts its bar at 20, and releasing the bar there gives 630.
int64_t trackValue(TrackScale scale, int position, uint32_t maxCurrent);

}  // namespace vorlant
