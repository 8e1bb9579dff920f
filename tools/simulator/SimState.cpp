#include "tools/simulator/SimState.h"

namespace vorlant::sim {

bool operator==(const SimState& a, const SimState& b) {
    return a.hardwareVersion == b.hardwareVersion && a.firmwareVersion == b.firmwareVersion &&
           a.portType == b.portType && a.supplyVoltage == b.supplyVoltage && a.raGearByte == b.raGearByte &&
           a.raGearRatio == b.raGearRatio && a.raGearAux == b.raGearAux &&
           a.raSiderealRate == b.raSiderealRate && a.deGearByte == b.deGearByte &&
           a.deGearRatio == b.deGearRatio && a.deGearAux == b.deGearAux &&
           a.deSiderealRate == b.deSiderealRate && a.mountType == b.mountType &&
           a.reverseRotation == b.reverseRotation && a.reverseGuiding == b.reverseGuiding &&
           a.reverseLimits == b.reverseLimits && a.raMaxSpeed == b.raMaxSpeed &&
           a.deMaxSpeed == b.deMaxSpeed && a.raGuideRate == b.raGuideRate && a.deGuideRate == b.deGuideRate &&
           a.raMaxCurrent == b.raMaxCurrent && a.deMaxCurrent == b.deMaxCurrent &&
           a.raIdleCurrent == b.raIdleCurrent && a.raTrackCurrent == b.raTrackCurrent &&
           a.raRunCurrent == b.raRunCurrent && a.deIdleCurrent == b.deIdleCurrent &&
           a.deTrackCurrent == b.deTrackCurrent && a.deRunCurrent == b.deRunCurrent &&
           a.raIdleDecay == b.raIdleDecay && a.raTrackDecay == b.raTrackDecay &&
           a.raRunDecay == b.raRunDecay && a.deIdleDecay == b.deIdleDecay &&
           a.deTrackDecay == b.deTrackDecay && a.deRunDecay == b.deRunDecay && a.raOvertone == b.raOvertone &&
           a.raOvertoneAux == b.raOvertoneAux && a.deOvertone == b.deOvertone &&
           a.deOvertoneAux == b.deOvertoneAux && a.raAcceleration == b.raAcceleration &&
           a.raDeceleration == b.raDeceleration && a.deAcceleration == b.deAcceleration &&
           a.deDeceleration == b.deDeceleration && a.raIncCurrentAt == b.raIncCurrentAt &&
           a.raIncCurrentAux == b.raIncCurrentAux && a.deIncCurrentAt == b.deIncCurrentAt &&
           a.deIncCurrentAux == b.deIncCurrentAux && a.raAuxByte == b.raAuxByte &&
           a.deAuxByte == b.deAuxByte && a.raAuxLong == b.raAuxLong && a.deAuxLong == b.deAuxLong &&
           a.flipParamA == b.flipParamA && a.flipParamB == b.flipParamB &&
           a.flipHysteresis == b.flipHysteresis && a.latitude == b.latitude && a.longitude == b.longitude;
}

namespace {

void setIdentification(SimState& s, SimProfile profile) {
    const ProfileTraits& traits = profileTraits(profile);
    s.hardwareVersion = traits.hardwareVersion;
    s.firmwareVersion = traits.firmwareVersion;
    s.portType = 4;
    s.supplyVoltage = 1234;  // 12.34 V
}

}  // namespace

SimState initialState(SimProfile profile) {
    SimState s{};
    setIdentification(s, profile);

    s.raGearByte = 0x11;
    s.raGearRatio = 1728000;
    s.raGearAux = 0x0A0B0C0Du;
    s.raSiderealRate = 12345;
    s.deGearByte = 0x22;
    s.deGearRatio = 1640000;
    s.deGearAux = 0x1A1B1C1Du;
    s.deSiderealRate = 11717;
    s.mountType = 1;  // equatorial fork

    s.reverseRotation = 1;  // RA
    s.reverseGuiding = 2;   // DE
    s.reverseLimits = 3;    // both
    s.raMaxSpeed = 800;
    s.deMaxSpeed = 650;
    s.raGuideRate = 11;
    s.deGuideRate = 13;
    s.raMaxCurrent = 2500;
    s.deMaxCurrent = 2400;
    s.raIdleCurrent = 300;
    s.raTrackCurrent = 600;
    s.raRunCurrent = 1200;
    s.deIdleCurrent = 350;
    s.deTrackCurrent = 700;
    s.deRunCurrent = 1250;
    s.raIdleDecay = 49;
    s.raTrackDecay = 50;
    s.raRunDecay = 51;
    s.deIdleDecay = 52;
    s.deTrackDecay = 53;
    s.deRunDecay = 54;
    s.raOvertone = -7;
    s.raOvertoneAux = 0x41;
    s.deOvertone = 23;
    s.deOvertoneAux = 0x42;
    s.raAcceleration = 70;
    s.raDeceleration = 80;
    s.deAcceleration = 90;
    s.deDeceleration = 100;
    s.raIncCurrentAt = 1500;
    s.raIncCurrentAux = 0x1357;
    s.deIncCurrentAt = 1600;
    s.deIncCurrentAux = 0x2468;
    s.raAuxByte = 0x5C;
    s.deAuxByte = 0xA5;
    s.raAuxLong = 0x12345678u;
    s.deAuxLong = 0x87654321u;

    s.flipParamA = 0x21;
    s.flipParamB = 0x43;
    s.flipHysteresis = 5;
    s.latitude = -2926264;   // about 33.87 degrees south
    s.longitude = 13064484;  // about 151.21 degrees east
    return s;
}

SimState factoryDefaults(SimProfile profile) {
    SimState s{};
    setIdentification(s, profile);

    s.raGearByte = 0x13;
    s.raGearRatio = 2880000;
    s.raGearAux = 0x0C0D0E0Fu;
    s.raSiderealRate = 20010;
    s.deGearByte = 0x24;
    s.deGearRatio = 2560000;
    s.deGearAux = 0x1C1D1E1Fu;
    s.deSiderealRate = 17780;
    s.mountType = 2;  // alt-azimuth

    s.reverseRotation = 2;
    s.reverseGuiding = 3;
    s.reverseLimits = 1;
    s.raMaxSpeed = 1000;
    s.deMaxSpeed = 900;
    s.raGuideRate = 8;
    s.deGuideRate = 10;
    s.raMaxCurrent = 2000;
    s.deMaxCurrent = 1900;
    s.raIdleCurrent = 250;
    s.raTrackCurrent = 500;
    s.raRunCurrent = 1100;
    s.deIdleCurrent = 260;
    s.deTrackCurrent = 520;
    s.deRunCurrent = 1040;
    s.raIdleDecay = 57;
    s.raTrackDecay = 58;
    s.raRunDecay = 59;
    s.deIdleDecay = 60;
    s.deTrackDecay = 61;
    s.deRunDecay = 62;
    s.raOvertone = 21;
    s.raOvertoneAux = 0x45;
    s.deOvertone = -12;
    s.deOvertoneAux = 0x46;
    s.raAcceleration = 40;
    s.raDeceleration = 44;
    s.deAcceleration = 48;
    s.deDeceleration = 52;
    s.raIncCurrentAt = 1800;
    s.raIncCurrentAux = 0x0246;
    s.deIncCurrentAt = 1700;
    s.deIncCurrentAux = 0x1359;
    s.raAuxByte = 0x5E;
    s.deAuxByte = 0xA7;
    s.raAuxLong = 0x23456789u;
    s.deAuxLong = 0x98765432u;

    s.flipParamA = 0x31;
    s.flipParamB = 0x53;
    s.flipHysteresis = 7;
    s.latitude = 4320000;  // 50 degrees north
    s.longitude = 720000;  // 8.33 degrees east
    return s;
}

}  // namespace vorlant::sim
