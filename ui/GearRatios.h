// The record the gear ratio dialog edits.
#pragma once

#include <cstdint>

namespace vorlant {

struct GearRatios {
    uint32_t raRatio;  // motor steps per revolution of the RA axis, microsteps included
    uint32_t deRatio;  // the same for the DE axis
};

}  // namespace vorlant
