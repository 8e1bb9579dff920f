// What a read-out of a freshly started simulated controller must show: the
// simulator's own values, limited to the fields the profile's class reports.
#pragma once

#include <cstdint>

#include "engine/ControllerSettings.h"
#include "tools/simulator/SimProfile.h"
#include "tools/simulator/SimState.h"

namespace vorlant::test {

// The version class the engine gives each accepting profile.
inline uint8_t expectedClass(sim::SimProfile profile) {
    switch (profile) {
        case sim::SimProfile::Class1:
            return 1;
        case sim::SimProfile::Class2:
            return 2;
        case sim::SimProfile::Class3:
            return 3;
        case sim::SimProfile::Class4:
            return 4;
        case sim::SimProfile::Class5:
            return 5;
        case sim::SimProfile::Class4Family3:
            return 4;
        case sim::SimProfile::Class5Family5:
            return 5;
        case sim::SimProfile::OldAccepted:
            return 1;  // family 0: class 1 whatever the firmware
        case sim::SimProfile::Slow:
            return 5;
        case sim::SimProfile::Vanish:
            return 5;
        default:
            return 0;
    }
}

inline ControllerSettings expectedReadout(sim::SimProfile profile, const sim::SimState& s) {
    const sim::ProfileTraits& t = sim::profileTraits(profile);
    const uint8_t c = expectedClass(profile);
    ControllerSettings r{};
    r.modeByte = 7;
    r.versionClass = c;
    if (t.shortIdentify) {
        r.hardwareVersion = t.shortFirst + 256u * t.shortSecond + 65536u;
        r.deviceFamily = 0;
    } else {
        r.hardwareVersion = s.hardwareVersion;
        r.deviceFamily = s.hardwareVersion >> 16;
    }
    r.firmwareVersion = s.firmwareVersion;
    r.portType = s.portType;
    r.portTypeZero = s.portType == 0 ? 1 : 0;
    r.raGearByte = s.raGearByte;
    r.raGearRatio = s.raGearRatio;
    r.raGearAux = s.raGearAux;
    r.raSiderealRate = s.raSiderealRate;
    r.deGearByte = s.deGearByte;
    r.deGearRatio = s.deGearRatio;
    r.deGearAux = s.deGearAux;
    r.deSiderealRate = s.deSiderealRate;
    r.mountType = s.mountType;
    if (c >= 2) {
        r.raMaxSpeed = s.raMaxSpeed;
        r.deMaxSpeed = s.deMaxSpeed;
        r.reverseRotation = s.reverseRotation;
        r.reverseGuiding = s.reverseGuiding;
        r.raMaxCurrent = s.raMaxCurrent;
        r.deMaxCurrent = s.deMaxCurrent;
        r.raIdleCurrent = s.raIdleCurrent;
        r.raTrackCurrent = s.raTrackCurrent;
        r.raRunCurrent = s.raRunCurrent;
        r.deIdleCurrent = s.deIdleCurrent;
        r.deTrackCurrent = s.deTrackCurrent;
        r.deRunCurrent = s.deRunCurrent;
        r.raIdleDecay = s.raIdleDecay;
        r.raTrackDecay = s.raTrackDecay;
        r.raRunDecay = s.raRunDecay;
        r.deIdleDecay = s.deIdleDecay;
        r.deTrackDecay = s.deTrackDecay;
        r.deRunDecay = s.deRunDecay;
        r.raAcceleration = s.raAcceleration;
        r.raDeceleration = s.raDeceleration;
        r.deAcceleration = s.deAcceleration;
        r.deDeceleration = s.deDeceleration;
        r.raAuxByte = s.raAuxByte;
        r.deAuxByte = s.deAuxByte;
        r.raAuxLong = s.raAuxLong;
        r.deAuxLong = s.deAuxLong;
    }
    if (c >= 3) {
        r.reverseLimits = s.reverseLimits;
        r.raOvertone = s.raOvertone;
        r.raOvertoneAux = s.raOvertoneAux;
        r.deOvertone = s.deOvertone;
        r.deOvertoneAux = s.deOvertoneAux;
        r.raIncCurrentAt = s.raIncCurrentAt;
        r.raIncCurrentAux = s.raIncCurrentAux;
        r.deIncCurrentAt = s.deIncCurrentAt;
        r.deIncCurrentAux = s.deIncCurrentAux;
        r.raGuideRate = s.raGuideRate;
        r.deGuideRate = s.deGuideRate;
    }
    if (c >= 5) {
        r.flipParamA = s.flipParamA;
        r.flipParamB = s.flipParamB;
        r.flipHysteresis = s.flipHysteresis;
        r.latitude = s.latitude;
        r.longitude = s.longitude;
    }
    r.raMaxRate = r.raMaxSpeed * r.raSiderealRate;
    r.deMaxRate = r.deMaxSpeed * r.deSiderealRate;
    return r;
}

inline ControllerSettings expectedReadout(sim::SimProfile profile) {
    return expectedReadout(profile, sim::initialState(profile));
}

// Request ids that change something in the controller (everything but the
// read-out requests and the supply-voltage measurement).
inline bool isWriteRequest(uint8_t id) {
    switch (id) {
        case 1:
        case 2:
        case 3:
        case 20:
        case 21:
        case 43:
        case 61:
        case 100:
            return false;
        default:
            return true;
    }
}

}  // namespace vorlant::test
