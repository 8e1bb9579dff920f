// The engine's record of everything read from the controller, and the
// codes that go with its reports. Plain data: copied whole by value.
#pragma once

#include <cstdint>

namespace vorlant {

// Status line codes reported through TelescopeListener::onStatus. Scoped in
// a struct so the names match the table while staying plain ints on the
// listener interface (several names recur among the report kinds and states).
struct StatusCode {
    enum : int {
        NotConnected = 0,
        OpeningPort = 1,
        Connecting = 2,
        ConnectionEstablished = 3,
        ConnectionClosed = 4,
        DefaultsReloaded = 5,
        CannotOpenPort = 6,
        ConnectTimeout = 7,
        UnknownDevice = 8,
        IncompatibleDevice = 9,
        CommunicationError = 10,
        AlreadyConnected = 11,
        NotConnectedYet = 12,
        DeviceTooOld = 13,
        ParkingUnsupported = 14,
        Ready = 15,
        FastMovement = 16,
        SlowMovement = 17,
        ManualMovement = 18,
        Positioning = 19,
        ParkPositionSet = 20,
        ParametersStored = 21,
        DefaultsReloadedAck = 22,
        SettingsDone = 23,
    };
    static constexpr int Count = 24;
};

// The user-visible text of a status code; an empty string for codes
// outside 0..23.
const wchar_t* statusText(int code);
// The same text in 8-bit form, for command-line tools.
const char* statusTextAscii(int code);

// Second argument of onSettings: why a settings report was sent.
struct SettingsReportKind {
    enum : int {
        ReadoutComplete = 1,
        DefaultsReloaded = 2,
        DeviceTooOld = 3,
        GearRatiosChanged = 4,
        // A connect under TelescopeControl::Options::identifyOnly ended
        // after the identification: the rest of the record is not read.
        Identified = 5,
    };
};

struct ControllerSettings {
    uint8_t mountType;
    uint8_t modeByte;
    uint8_t versionClass;
    uint32_t hardwareVersion;
    uint32_t deviceFamily;
    uint32_t firmwareVersion;
    uint8_t portType;
    uint8_t portTypeZero;
    uint8_t raGearByte;
    uint8_t deGearByte;
    uint32_t raGearRatio;
    uint32_t raGearAux;
    uint32_t raSiderealRate;
    uint32_t deGearRatio;
    uint32_t deGearAux;
    uint32_t deSiderealRate;
    uint32_t raMaxSpeed;
    uint32_t deMaxSpeed;
    uint8_t reverseRotation;
    uint8_t reverseGuiding;
    uint8_t reverseLimits;
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
    uint8_t raAcceleration;
    uint8_t raDeceleration;
    uint8_t deAcceleration;
    uint8_t deDeceleration;
    int8_t raOvertone;
    uint8_t raOvertoneAux;
    int8_t deOvertone;
    uint8_t deOvertoneAux;
    uint16_t raIncCurrentAt;
    uint16_t raIncCurrentAux;
    uint16_t deIncCurrentAt;
    uint16_t deIncCurrentAux;
    uint16_t raGuideRate;
    uint16_t deGuideRate;
    uint8_t raAuxByte;
    uint8_t deAuxByte;
    uint32_t raAuxLong;
    uint32_t deAuxLong;
    uint8_t flipParamA;
    uint8_t flipParamB;
    uint8_t flipHysteresis;
    int32_t latitude;
    int32_t longitude;
    uint32_t raMaxRate;
    uint32_t deMaxRate;
};

// Device families the engine accepts in the long identification form.
inline bool isAcceptedFamily(uint32_t family) {
    return family == 1 || family == 3 || family == 4 || family == 5;
}

}  // namespace vorlant
