// The settings a simulated controller holds, with the field names of the
// engine's settings record where the two carry the same value, so a test
// can compare a read-out field by field.
//
// The value sets are deliberately distinctive: no field is zero and, where
// the value ranges allow it, no two fields hold the same value, so a decoder
// that reads a wrong position or swaps two fields shows a wrong value.
#pragma once

#include <cstdint>

#include "tools/simulator/SimProfile.h"

namespace vorlant::sim {

struct SimState {
    // Identification (not changed by any request).
    uint32_t hardwareVersion;
    uint32_t firmwareVersion;
    uint8_t portType;
    uint16_t supplyVoltage;  // 1/100 V

    // Gear block.
    uint8_t raGearByte;
    uint32_t raGearRatio;
    uint32_t raGearAux;
    uint32_t raSiderealRate;
    uint8_t deGearByte;
    uint32_t deGearRatio;
    uint32_t deGearAux;
    uint32_t deSiderealRate;
    uint8_t mountType;

    // Parameter block. Flags: bit 0 RA, bit 1 DE.
    uint8_t reverseRotation;
    uint8_t reverseGuiding;
    uint8_t reverseLimits;
    uint16_t raMaxSpeed;
    uint16_t deMaxSpeed;
    uint8_t raGuideRate;
    uint8_t deGuideRate;
    uint16_t raMaxCurrent;
    uint16_t deMaxCurrent;
    uint16_t raIdleCurrent;
    uint16_t raTrackCurrent;
    uint16_t raRunCurrent;
    uint16_t deIdleCurrent;
    uint16_t deTrackCurrent;
    uint16_t deRunCurrent;
    uint8_t raIdleDecay;
    uint8_t raTrackDecay;
    uint8_t raRunDecay;
    uint8_t deIdleDecay;
    uint8_t deTrackDecay;
    uint8_t deRunDecay;
    int8_t raOvertone;
    uint8_t raOvertoneAux;
    int8_t deOvertone;
    uint8_t deOvertoneAux;
    uint8_t raAcceleration;
    uint8_t raDeceleration;
    uint8_t deAcceleration;
    uint8_t deDeceleration;
    uint16_t raIncCurrentAt;
    uint16_t raIncCurrentAux;
    uint16_t deIncCurrentAt;
    uint16_t deIncCurrentAux;
    uint8_t raAuxByte;
    uint8_t deAuxByte;
    uint32_t raAuxLong;
    uint32_t deAuxLong;

    // Meridian-flip block and site.
    uint8_t flipParamA;
    uint8_t flipParamB;
    uint8_t flipHysteresis;
    int32_t latitude;   // 1/86400 degree, north positive
    int32_t longitude;  // 1/86400 degree, east positive
};

bool operator==(const SimState& a, const SimState& b);
inline bool operator!=(const SimState& a, const SimState& b) {
    return !(a == b);
}

// The set a freshly powered simulated controller holds.
SimState initialState(SimProfile profile);
// The set request 12 (reload defaults) restores. Differs from the initial
// set in every settings field; identification and voltage stay the same.
SimState factoryDefaults(SimProfile profile);

}  // namespace vorlant::sim
