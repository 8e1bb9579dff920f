// Reply frames built from a settings record, and a scripted controller that
// answers the read-out with them. The encoders are written from the wire
// layouts directly (not from the engine's decoder), so a decoding slip in
// the engine cannot hide behind the same slip here.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "engine/ControllerSettings.h"
#include "tests/support/ScriptedPort.h"

namespace vorlant::test {

inline void put(Bytes& f, size_t pos, uint32_t v, int width) {
    if (f.size() < pos + static_cast<size_t>(width)) f.resize(pos + static_cast<size_t>(width), 0);
    for (int i = 0; i < width; ++i) f[pos + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// A frame 55 L id ... of total size `size` (positions 0..size-1).
inline Bytes replyFrame(uint8_t id, size_t size) {
    Bytes f(size, 0);
    f[0] = 0x55;
    f[1] = static_cast<uint8_t>(size - 2);
    f[2] = id;
    return f;
}

inline Bytes gearBlock(const ControllerSettings& s) {
    Bytes f = replyFrame(20, 31);
    put(f, 4, s.raGearByte, 1);
    put(f, 5, s.raGearRatio, 4);
    put(f, 9, s.raGearAux, 4);
    put(f, 13, s.raSiderealRate, 4);
    put(f, 17, s.deGearByte, 1);
    put(f, 18, s.deGearRatio, 4);
    put(f, 22, s.deGearAux, 4);
    put(f, 26, s.deSiderealRate, 4);
    put(f, 30, s.mountType, 1);
    return f;
}

inline Bytes paramBlockFull(const ControllerSettings& s) {
    Bytes f = replyFrame(21, 60);
    put(f, 4, s.reverseRotation, 1);
    put(f, 5, static_cast<uint32_t>((s.reverseGuiding & 0x0F) | (s.reverseLimits << 4)), 1);
    struct Ax {
        uint32_t maxSpeed, guide, maxCur, idle, track, run, idleD, trackD, runD, ot, otAux, acc, dec, inc,
            incAux, auxB, auxL;
    };
    const Ax ax[2] = {
        {s.raMaxSpeed, s.raGuideRate, s.raMaxCurrent, s.raIdleCurrent, s.raTrackCurrent, s.raRunCurrent,
         s.raIdleDecay, s.raTrackDecay, s.raRunDecay, static_cast<uint8_t>(s.raOvertone), s.raOvertoneAux,
         s.raAcceleration, s.raDeceleration, s.raIncCurrentAt, s.raIncCurrentAux, s.raAuxByte, s.raAuxLong},
        {s.deMaxSpeed, s.deGuideRate, s.deMaxCurrent, s.deIdleCurrent, s.deTrackCurrent, s.deRunCurrent,
         s.deIdleDecay, s.deTrackDecay, s.deRunDecay, static_cast<uint8_t>(s.deOvertone), s.deOvertoneAux,
         s.deAcceleration, s.deDeceleration, s.deIncCurrentAt, s.deIncCurrentAux, s.deAuxByte, s.deAuxLong},
    };
    for (size_t i = 0; i < 2; ++i) {
        const size_t b = i == 0 ? 6 : 33;
        const Ax& a = ax[i];
        put(f, b + 0, a.maxSpeed, 2);
        put(f, b + 2, a.guide, 1);
        put(f, b + 3, a.maxCur, 2);
        put(f, b + 5, a.idle, 2);
        put(f, b + 7, a.track, 2);
        put(f, b + 9, a.run, 2);
        put(f, b + 11, a.idleD, 1);
        put(f, b + 12, a.trackD, 1);
        put(f, b + 13, a.runD, 1);
        put(f, b + 14, a.ot, 1);
        put(f, b + 15, a.otAux, 1);
        put(f, b + 16, a.acc, 1);
        put(f, b + 17, a.dec, 1);
        put(f, b + 18, a.inc, 2);
        put(f, b + 20, a.incAux, 2);
        put(f, b + 22, a.auxB, 1);
        put(f, b + 23, a.auxL, 4);
    }
    return f;
}

inline Bytes paramBlockShort(const ControllerSettings& s) {
    Bytes f = replyFrame(21, 46);
    put(f, 4, s.reverseRotation, 1);
    put(f, 5, s.reverseGuiding, 1);
    struct Ax {
        uint32_t maxSpeed, acc, dec, maxCur, idle, track, run, idleD, trackD, runD, auxB, auxL;
    };
    const Ax ax[2] = {
        {s.raMaxSpeed, s.raAcceleration, s.raDeceleration, s.raMaxCurrent, s.raIdleCurrent, s.raTrackCurrent,
         s.raRunCurrent, s.raIdleDecay, s.raTrackDecay, s.raRunDecay, s.raAuxByte, s.raAuxLong},
        {s.deMaxSpeed, s.deAcceleration, s.deDeceleration, s.deMaxCurrent, s.deIdleCurrent, s.deTrackCurrent,
         s.deRunCurrent, s.deIdleDecay, s.deTrackDecay, s.deRunDecay, s.deAuxByte, s.deAuxLong},
    };
    for (size_t i = 0; i < 2; ++i) {
        const size_t b = i == 0 ? 6 : 26;
        const Ax& a = ax[i];
        put(f, b + 0, a.maxSpeed, 2);
        put(f, b + 2, a.acc, 1);
        put(f, b + 3, a.dec, 1);
        put(f, b + 4, a.maxCur, 2);
        put(f, b + 6, a.idle, 2);
        put(f, b + 8, a.track, 2);
        put(f, b + 10, a.run, 2);
        put(f, b + 12, a.idleD, 1);
        put(f, b + 13, a.trackD, 1);
        put(f, b + 14, a.runD, 1);
        put(f, b + 15, a.auxB, 1);
        put(f, b + 16, a.auxL, 4);
    }
    return f;
}

// Distinctive values: no field zero, few alike.
inline ControllerSettings sampleSettings() {
    ControllerSettings s{};
    s.mountType = 2;
    s.raGearByte = 0x11;
    s.deGearByte = 0x12;
    s.raGearRatio = 172800;
    s.raGearAux = 0x01020304;
    s.raSiderealRate = 1234;
    s.deGearRatio = 164000;
    s.deGearAux = 0x0A0B0C0D;
    s.deSiderealRate = 1170;
    s.raMaxSpeed = 800;
    s.deMaxSpeed = 650;
    s.reverseRotation = 1;
    s.reverseGuiding = 2;
    s.reverseLimits = 3;
    s.raMaxCurrent = 2500;
    s.deMaxCurrent = 2400;
    s.raIdleCurrent = 300;
    s.raTrackCurrent = 500;
    s.raRunCurrent = 1500;
    s.deIdleCurrent = 310;
    s.deTrackCurrent = 510;
    s.deRunCurrent = 1510;
    s.raIdleDecay = 4;
    s.raTrackDecay = 5;
    s.raRunDecay = 6;
    s.deIdleDecay = 7;
    s.deTrackDecay = 8;
    s.deRunDecay = 9;
    s.raAcceleration = 48;
    s.raDeceleration = 49;
    s.deAcceleration = 50;
    s.deDeceleration = 51;
    s.raOvertone = -12;
    s.raOvertoneAux = 0x21;
    s.deOvertone = 13;
    s.deOvertoneAux = 0x22;
    s.raIncCurrentAt = 4000;
    s.raIncCurrentAux = 4100;
    s.deIncCurrentAt = 4200;
    s.deIncCurrentAux = 4300;
    s.raGuideRate = 8;
    s.deGuideRate = 12;
    s.raAuxByte = 0x31;
    s.deAuxByte = 0x32;
    s.raAuxLong = 0x41424344;
    s.deAuxLong = 0x51525354;
    s.flipParamA = 0x61;
    s.flipParamB = 0x62;
    s.flipHysteresis = 7;
    s.latitude = -(34 * 86400 + 43 * 1440 + 20 * 24);
    s.longitude = 150 * 86400 + 30 * 1440;
    return s;
}

// A controller that answers every read-out request and the exchanges that
// await a reply. Tests edit `replies` to change or silence an answer.
struct TestController {
    uint32_t hardware = 0x00010004;  // family 1
    uint32_t firmware = 0x01000009;  // class 5 with family 1
    uint8_t portType = 2;
    ControllerSettings s = sampleSettings();
    std::map<uint8_t, Bytes> overrides;  // request id -> exact reply (empty: silent)
    bool shortParamLayout = false;

    Bytes reply(const Bytes& frame) const {
        if (frame.size() < 3 || frame[0] != 0xAA) return {};
        const uint8_t id = frame[2];
        auto it = overrides.find(id);
        if (it != overrides.end()) return it->second;
        Bytes f;
        switch (id) {
            case 1:
                f = replyFrame(1, 7);
                f[2] = 1;
                put(f, 3, hardware, 4);
                return f;
            case 2:
                f = replyFrame(2, 7);
                put(f, 3, firmware, 4);
                return f;
            case 3:
                f = replyFrame(3, 4);
                f[3] = portType;
                return f;
            case 20:
                return gearBlock(s);
            case 21:
                return shortParamLayout ? paramBlockShort(s) : paramBlockFull(s);
            case 61:
                f = replyFrame(61, 7);
                f[4] = s.flipParamA;
                f[5] = s.flipParamB;
                f[6] = s.flipHysteresis;
                return f;
            case 100:
                f = replyFrame(100, 11);
                put(f, 3, static_cast<uint32_t>(s.latitude), 4);
                put(f, 7, static_cast<uint32_t>(s.longitude), 4);
                return f;
            case 43:
                f = replyFrame(43, 7);
                put(f, 5, 1234, 2);
                return f;
            case 12:
            case 13:
            case 26:
            case 27:
            case 29:
            case 62:
            case 101:
                return replyFrame(id, 3);
            default:
                return {};
        }
    }
};

}  // namespace vorlant::test
