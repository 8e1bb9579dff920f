#include "ui/TrackScales.h"

namespace vorlant {

TrackRange trackRange(TrackScale scale) {
    switch (scale) {
        case TrackScale::MaxSpeed:
            return {0, 39};
        case TrackScale::Ramp:
        case TrackScale::Current:
        case TrackScale::GuideRate:
            return {0, 15};
        case TrackScale::Decay:
            return {0, 3};
        case TrackScale::Overtone:
            return {-20, 20};
        case TrackScale::IncCurrent:
            return {0, 31};
        case TrackScale::None:
            break;
    }
    return {0, 0};
}

int64_t trackPosition(TrackScale scale, int64_t value, uint32_t maxCurrent) {
    switch (scale) {
        case TrackScale::MaxSpeed:
            return value / 30;
        case TrackScale::Ramp:
            return (value + 8) / 16;
        case TrackScale::Current:
            return maxCurrent == 0 ? 0 : 16 * value / static_cast<int64_t>(maxCurrent);
        case TrackScale::IncCurrent:
            return value < 10 ? 0 : (value - 10) / 20;
        case TrackScale::GuideRate:
            return value == 0 ? 0 : value - 1;
        case TrackScale::Decay:
        case TrackScale::Overtone:
        case TrackScale::None:
            break;
    }
    return value;
}

int64_t trackValue(TrackScale scale, int position, uint32_t maxCurrent) {
    switch (scale) {
        case TrackScale::MaxSpeed:
            return 1200 * (int64_t{position} + 1) / 40;
        case TrackScale::Ramp:
            return 16 * int64_t{position};
        case TrackScale::Current:
            return static_cast<int64_t>(uint64_t{maxCurrent} * static_cast<uint64_t>(position + 1) / 16);
        case TrackScale::IncCurrent:
            return 20 * int64_t{position} + 20;
        case TrackScale::GuideRate:
            return int64_t{position} + 1;
        case TrackScale::Decay:
        case TrackScale::Overtone:
        case TrackScale::None:
            break;
    }
    return position;
}

}  // namespace vorlant
