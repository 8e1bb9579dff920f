#include "engine/SettingsDecode.h"

#include <cstring>

#include "engine/WireProtocol.h"

namespace vorlant {

IdentOutcome decodeIdentification(const ReplyView& r, ControllerSettings& s) {
    const uint8_t length = r.lengthByte();
    if (length == 5) {
        if (r.u8(2) != 1) return IdentOutcome::Ignored;
        s.hardwareVersion = r.u32(3);
        s.deviceFamily = s.hardwareVersion >> 16;
        return isAcceptedFamily(s.deviceFamily) ? IdentOutcome::Accepted : IdentOutcome::Rejected;
    }
    if (length == 3) {
        const uint8_t first = r.u8(3);
        const uint8_t second = r.u8(4);
        s.hardwareVersion = static_cast<uint32_t>(first) + 256u * second + 65536u;
        if (first == 0 || (first == 1 && second <= 1)) return IdentOutcome::TooOld;
        return IdentOutcome::Accepted;
    }
    return IdentOutcome::Ignored;
}

void decodePortType(const ReplyView& r, ControllerSettings& s) {
    if (r.size >= 4) {
        s.portType = r.u8(3);
        s.portTypeZero = s.portType == 0 ? 1 : 0;
    } else {
        s.portType = 0;
        s.portTypeZero = 1;
    }
}

uint8_t versionClassFor(uint32_t family, uint32_t f) {
    switch (family) {
        case 1:
            if (f <= 0x01000000u) return 1;
            if (f == 0x01000001u) return 2;
            if (f < 0x01000004u) return 3;
            if (f <= 0x01000008u) return 4;
            return 5;
        case 3:
        case 4:
            return 4;
        case 5:
            return f <= 0x01000004u ? 4 : 5;
        default:
            return 1;
    }
}

void decodeGearBlock(const ReplyView& r, ControllerSettings& s, bool withMountType) {
    s.raGearByte = r.u8(4);
    s.raGearRatio = r.u32(5);
    s.raGearAux = r.u32(9);
    s.raSiderealRate = r.u32(13);
    s.deGearByte = r.u8(17);
    s.deGearRatio = r.u32(18);
    s.deGearAux = r.u32(22);
    s.deSiderealRate = r.u32(26);
    if (withMountType) s.mountType = r.u8(30);
}

namespace {

void decodeFull(const ReplyView& r, ControllerSettings& s) {
    s.reverseRotation = r.u8(4);
    s.reverseGuiding = r.u8(5) & 0x0F;
    s.reverseLimits = static_cast<uint8_t>(r.u8(5) >> 4);
    // Both axes share one layout, 27 bytes apart.
    struct Axis {
        uint32_t& maxSpeed;
        uint16_t& guideRate;
        uint16_t& maxCurrent;
        uint16_t& idle;
        uint16_t& track;
        uint16_t& run;
        uint8_t& idleDecay;
        uint8_t& trackDecay;
        uint8_t& runDecay;
        int8_t& overtone;
        uint8_t& overtoneAux;
        uint8_t& accel;
        uint8_t& decel;
        uint16_t& incAt;
        uint16_t& incAux;
        uint8_t& auxByte;
        uint32_t& auxLong;
    };
    Axis axes[2] = {
        {s.raMaxSpeed, s.raGuideRate, s.raMaxCurrent, s.raIdleCurrent, s.raTrackCurrent, s.raRunCurrent,
         s.raIdleDecay, s.raTrackDecay, s.raRunDecay, s.raOvertone, s.raOvertoneAux, s.raAcceleration,
         s.raDeceleration, s.raIncCurrentAt, s.raIncCurrentAux, s.raAuxByte, s.raAuxLong},
        {s.deMaxSpeed, s.deGuideRate, s.deMaxCurrent, s.deIdleCurrent, s.deTrackCurrent, s.deRunCurrent,
         s.deIdleDecay, s.deTrackDecay, s.deRunDecay, s.deOvertone, s.deOvertoneAux, s.deAcceleration,
         s.deDeceleration, s.deIncCurrentAt, s.deIncCurrentAux, s.deAuxByte, s.deAuxLong},
    };
    for (size_t i = 0; i < 2; ++i) {
        const size_t b = 6 + 27 * i;
        Axis& a = axes[i];
        a.maxSpeed = r.u16(b + 0);
        a.guideRate = r.u8(b + 2);
        a.maxCurrent = r.u16(b + 3);
        a.idle = r.u16(b + 5);
        a.track = r.u16(b + 7);
        a.run = r.u16(b + 9);
        a.idleDecay = r.u8(b + 11);
        a.trackDecay = r.u8(b + 12);
        a.runDecay = r.u8(b + 13);
        a.overtone = toSigned8(r.u8(b + 14));
        a.overtoneAux = r.u8(b + 15);
        a.accel = r.u8(b + 16);
        a.decel = r.u8(b + 17);
        a.incAt = r.u16(b + 18);
        a.incAux = r.u16(b + 20);
        a.auxByte = r.u8(b + 22);
        a.auxLong = r.u32(b + 23);
    }
}

void decodeShort(const ReplyView& r, ControllerSettings& s) {
    s.reverseRotation = r.u8(4);
    s.reverseGuiding = r.u8(5);
    struct Axis {
        uint32_t& maxSpeed;
        uint8_t& accel;
        uint8_t& decel;
        uint16_t& maxCurrent;
        uint16_t& idle;
        uint16_t& track;
        uint16_t& run;
        uint8_t& idleDecay;
        uint8_t& trackDecay;
        uint8_t& runDecay;
        uint8_t& auxByte;
        uint32_t& auxLong;
    };
    Axis axes[2] = {
        {s.raMaxSpeed, s.raAcceleration, s.raDeceleration, s.raMaxCurrent, s.raIdleCurrent, s.raTrackCurrent,
         s.raRunCurrent, s.raIdleDecay, s.raTrackDecay, s.raRunDecay, s.raAuxByte, s.raAuxLong},
        {s.deMaxSpeed, s.deAcceleration, s.deDeceleration, s.deMaxCurrent, s.deIdleCurrent, s.deTrackCurrent,
         s.deRunCurrent, s.deIdleDecay, s.deTrackDecay, s.deRunDecay, s.deAuxByte, s.deAuxLong},
    };
    for (size_t i = 0; i < 2; ++i) {
        const size_t b = 6 + 20 * i;
        Axis& a = axes[i];
        a.maxSpeed = r.u16(b + 0);
        a.accel = r.u8(b + 2);
        a.decel = r.u8(b + 3);
        a.maxCurrent = r.u16(b + 4);
        a.idle = r.u16(b + 6);
        a.track = r.u16(b + 8);
        a.run = r.u16(b + 10);
        a.idleDecay = r.u8(b + 12);
        a.trackDecay = r.u8(b + 13);
        a.runDecay = r.u8(b + 14);
        a.auxByte = r.u8(b + 15);
        a.auxLong = r.u32(b + 16);
    }
}

}  // namespace

void decodeParameterBlock(const ReplyView& r, ControllerSettings& s) {
    if (s.versionClass >= 3) {
        decodeFull(r, s);
    } else if (s.versionClass == 2) {
        decodeShort(r, s);
    }
    recomputeMaxRates(s);
}

void decodeFlipBlock(const ReplyView& r, ControllerSettings& s) {
    s.flipParamA = r.u8(4);
    s.flipParamB = r.u8(5);
    s.flipHysteresis = r.u8(6);
}

void decodeLocation(const ReplyView& r, ControllerSettings& s) {
    s.latitude = toSigned32(r.u32(3));
    s.longitude = toSigned32(r.u32(7));
}

uint16_t decodeSupplyVoltage(const ReplyView& r) {
    return r.u16(5);
}

void recomputeMaxRates(ControllerSettings& s) {
    // Unsigned multiplication: defined 32-bit wrap-around.
    s.raMaxRate = s.raMaxSpeed * s.raSiderealRate;
    s.deMaxRate = s.deMaxSpeed * s.deSiderealRate;
}

void resetSettings(ControllerSettings& s) {
    std::memset(&s, 0, sizeof s);
    s.modeByte = 7;
    s.portTypeZero = 1;
}

}  // namespace vorlant
