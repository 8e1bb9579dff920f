#include "engine/SettingsDecode.h"

#include <cstring>

#include "engine/ClassRules.h"
#include "engine/SettingsFields.h"
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

namespace {

// One field's bytes as the record holds them: zero-extended, or for a
// signed field the wire bits unchanged.
int64_t readSpot(const ReplyView& r, const WireSpot& spot, bool isSigned) {
    switch (spot.width) {
        case 1: {
            uint8_t v = r.u8(spot.position);
            if (spot.nibble == Nibble::Low) v &= 0x0F;
            if (spot.nibble == Nibble::High) v = static_cast<uint8_t>(v >> 4);
            return isSigned ? int64_t{toSigned8(v)} : int64_t{v};
        }
        case 2:
            return r.u16(spot.position);
        default: {
            const uint32_t v = r.u32(spot.position);
            return isSigned ? int64_t{toSigned32(v)} : int64_t{v};
        }
    }
}

// Every field the reply of `block` carries, at its place in that reply
// (the short layout's places when `shortLayout`); fields a layout lacks
// keep their values.
void decodeFields(const ReplyView& r, ControllerSettings& s, ReplyBlock block, bool shortLayout = false) {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (f.block != block) continue;
        const WireSpot& spot = shortLayout ? f.shortSpot : f.spot;
        if (spot.width != 0) f.set(s, readSpot(r, spot, f.isSigned));
    }
}

}  // namespace

void decodeGearBlock(const ReplyView& r, ControllerSettings& s, bool withMountType) {
    decodeFields(r, s, ReplyBlock::Gear);
    if (withMountType) decodeFields(r, s, ReplyBlock::GearReadOut);
}

void decodeParameterBlock(const ReplyView& r, ControllerSettings& s) {
    if (readsFullLayout(s.versionClass)) {
        decodeFields(r, s, ReplyBlock::Parameters);
    } else if (readsShortLayout(s.versionClass)) {
        decodeFields(r, s, ReplyBlock::Parameters, true);
    }
    recomputeMaxRates(s);
}

void decodeFlipBlock(const ReplyView& r, ControllerSettings& s) {
    decodeFields(r, s, ReplyBlock::Flip);
}

void decodeLocation(const ReplyView& r, ControllerSettings& s) {
    decodeFields(r, s, ReplyBlock::Location);
}

uint16_t decodeSupplyVoltage(const ReplyView& r) {
    return r.u16(5);
}

void recomputeMaxRates(ControllerSettings& s) {
    // Unsigned multiplication: defined 32-bit wrap-around.
    s.raMaxRate = s.raMaxSpeed * s.raSiderealRate;
    s.deMaxRate = s.deMaxSpeed * s.deSiderealRate;
}

void storeMaxSpeeds(ControllerSettings& s, uint16_t ra, uint16_t de) {
    s.raMaxSpeed = ra;
    s.deMaxSpeed = de;
    recomputeMaxRates(s);
}

void resetSettings(ControllerSettings& s) {
    std::memset(&s, 0, sizeof s);
    s.modeByte = 7;
    s.portTypeZero = 1;
}

}  // namespace vorlant
