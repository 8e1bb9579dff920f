#include "backup/SettingsFields.h"

#include <cstdio>
#include <limits>
#include <type_traits>

#include "engine/iTelescopeControl.h"
#include "text/TextBuild.h"

namespace vorlant::backup {

namespace {

template <auto Member>
int64_t getMember(const ControllerSettings& s) {
    return static_cast<int64_t>(s.*Member);
}

template <auto Member>
void setMember(ControllerSettings& s, int64_t value) {
    using T = std::remove_reference_t<decltype(s.*Member)>;
    s.*Member = static_cast<T>(value);
}

template <class T>
constexpr int64_t minOf() {
    return static_cast<int64_t>(std::numeric_limits<T>::min());
}
template <class T>
constexpr int64_t maxOf() {
    return static_cast<int64_t>(std::numeric_limits<T>::max());
}

constexpr int64_t kU16Max = 0xFFFF;
constexpr int64_t kU8Max = 0xFF;
constexpr int64_t kU32Max = 0xFFFFFFFF;
// Latitude within +-90 degrees, longitude within +-180 degrees.
constexpr int64_t kLatitudeMax = 90 * int64_t{kAngleUnitsPerDegree};
constexpr int64_t kLongitudeMax = 180 * int64_t{kAngleUnitsPerDegree};

constexpr uint32_t kReverseRotation = 0;
constexpr uint32_t kReverseGuiding = 1;
constexpr uint32_t kReverseLimits = 2;

// clang-format off
// The member's name, accessors and type range.
#define VORLANT_MEMBER(m)                                                                   \
    #m, &getMember<&ControllerSettings::m>, &setMember<&ControllerSettings::m>,             \
    minOf<decltype(ControllerSettings::m)>(), maxOf<decltype(ControllerSettings::m)>(),     \
    std::is_signed<decltype(ControllerSettings::m)>::value
// A field no command writes.
#define VORLANT_READ_ONLY(m, readClass, style) \
    {VORLANT_MEMBER(m), readClass, FieldWriter::None, 0, 0, 0, 0, style}
// A field with its writer, the class it needs, its value range and selector.
#define VORLANT_WRITABLE(m, readClass, writer, writeClass, lo, hi, selector, style) \
    {VORLANT_MEMBER(m), readClass, FieldWriter::writer, writeClass, lo, hi, selector, style}
// clang-format on

const FieldStyle P = FieldStyle::Plain;
const FieldStyle MA = FieldStyle::Milliamps;

const SettingsField kFields[] = {
    VORLANT_WRITABLE(mountType, 1, Advanced, 5, 0, 2, kChangeMountType, P),
    VORLANT_READ_ONLY(modeByte, 0, P),
    VORLANT_READ_ONLY(versionClass, 0, P),
    VORLANT_READ_ONLY(hardwareVersion, 0, FieldStyle::Version),
    VORLANT_READ_ONLY(deviceFamily, 0, P),
    VORLANT_READ_ONLY(firmwareVersion, 0, FieldStyle::Version),
    VORLANT_READ_ONLY(portType, 0, P),
    VORLANT_READ_ONLY(portTypeZero, 0, P),
    // Gear block: read from every accepted controller.
    VORLANT_READ_ONLY(raGearByte, 1, P),
    VORLANT_READ_ONLY(deGearByte, 1, P),
    VORLANT_WRITABLE(raGearRatio, 1, GearRatios, 1, 0, kU32Max, kAxisRa, P),
    VORLANT_READ_ONLY(raGearAux, 1, P),
    VORLANT_READ_ONLY(raSiderealRate, 1, P),
    VORLANT_WRITABLE(deGearRatio, 1, GearRatios, 1, 0, kU32Max, kAxisDe, P),
    VORLANT_READ_ONLY(deGearAux, 1, P),
    VORLANT_READ_ONLY(deSiderealRate, 1, P),
    // Parameter block: decoded from class 2 on (short layout), the rest
    // from class 3 on (full layout). A class-1 read-out leaves it at zero,
    // so nothing in it can be written there: the tool could neither show
    // the old value nor confirm the new one.
    VORLANT_WRITABLE(raMaxSpeed, 2, MaxSpeeds, 2, 0, kU16Max, kAxisRa, P),
    VORLANT_WRITABLE(deMaxSpeed, 2, MaxSpeeds, 2, 0, kU16Max, kAxisDe, P),
    VORLANT_WRITABLE(reverseRotation, 2, ReverseFlags, 2, 0, 3, kReverseRotation, P),
    VORLANT_WRITABLE(reverseGuiding, 2, ReverseFlags, 2, 0, 3, kReverseGuiding, P),
    VORLANT_WRITABLE(reverseLimits, 3, ReverseFlags, 3, 0, 3, kReverseLimits, P),
    VORLANT_READ_ONLY(raMaxCurrent, 2, MA),
    VORLANT_READ_ONLY(deMaxCurrent, 2, MA),
    VORLANT_WRITABLE(raIdleCurrent, 2, Current, 2, 0, kU16Max, kAxisRa + kChannelIdle, MA),
    VORLANT_WRITABLE(raTrackCurrent, 2, Current, 2, 0, kU16Max, kAxisRa + kChannelTrack, MA),
    VORLANT_WRITABLE(raRunCurrent, 2, Current, 2, 0, kU16Max, kAxisRa + kChannelRun, MA),
    VORLANT_WRITABLE(deIdleCurrent, 2, Current, 2, 0, kU16Max, kAxisDe + kChannelIdle, MA),
    VORLANT_WRITABLE(deTrackCurrent, 2, Current, 2, 0, kU16Max, kAxisDe + kChannelTrack, MA),
    VORLANT_WRITABLE(deRunCurrent, 2, Current, 2, 0, kU16Max, kAxisDe + kChannelRun, MA),
    VORLANT_WRITABLE(raIdleDecay, 2, Decay, 2, 0, kU8Max, kAxisRa + kChannelIdle, P),
    VORLANT_WRITABLE(raTrackDecay, 2, Decay, 2, 0, kU8Max, kAxisRa + kChannelTrack, P),
    VORLANT_WRITABLE(raRunDecay, 2, Decay, 2, 0, kU8Max, kAxisRa + kChannelRun, P),
    VORLANT_WRITABLE(deIdleDecay, 2, Decay, 2, 0, kU8Max, kAxisDe + kChannelIdle, P),
    VORLANT_WRITABLE(deTrackDecay, 2, Decay, 2, 0, kU8Max, kAxisDe + kChannelTrack, P),
    VORLANT_WRITABLE(deRunDecay, 2, Decay, 2, 0, kU8Max, kAxisDe + kChannelRun, P),
    VORLANT_WRITABLE(raAcceleration, 2, Accelerations, 2, 0, kU8Max, kAxisRa, P),
    VORLANT_WRITABLE(raDeceleration, 2, Decelerations, 2, 0, kU8Max, kAxisRa, P),
    VORLANT_WRITABLE(deAcceleration, 2, Accelerations, 2, 0, kU8Max, kAxisDe, P),
    VORLANT_WRITABLE(deDeceleration, 2, Decelerations, 2, 0, kU8Max, kAxisDe, P),
    VORLANT_WRITABLE(raOvertone, 3, Overtone, 3, -128, 127, kAxisRa, P),
    VORLANT_READ_ONLY(raOvertoneAux, 3, P),
    VORLANT_WRITABLE(deOvertone, 3, Overtone, 3, -128, 127, kAxisDe, P),
    VORLANT_READ_ONLY(deOvertoneAux, 3, P),
    VORLANT_WRITABLE(raIncCurrentAt, 3, IncCurrentAt, 3, 0, kU16Max, kAxisRa, P),
    VORLANT_READ_ONLY(raIncCurrentAux, 3, P),
    VORLANT_WRITABLE(deIncCurrentAt, 3, IncCurrentAt, 3, 0, kU16Max, kAxisDe, P),
    VORLANT_READ_ONLY(deIncCurrentAux, 3, P),
    // Guiding corrections in 1/16 of the sidereal rate: 1/16 up to 1x.
    VORLANT_WRITABLE(raGuideRate, 3, GuideRates, 3, 1, 16, kAxisRa, FieldStyle::GuideRate),
    VORLANT_WRITABLE(deGuideRate, 3, GuideRates, 3, 1, 16, kAxisDe, FieldStyle::GuideRate),
    VORLANT_READ_ONLY(raAuxByte, 2, P),
    VORLANT_READ_ONLY(deAuxByte, 2, P),
    VORLANT_READ_ONLY(raAuxLong, 2, P),
    VORLANT_READ_ONLY(deAuxLong, 2, P),
    // Meridian-flip block and site: class 5 only.
    VORLANT_READ_ONLY(flipParamA, 5, P),
    VORLANT_READ_ONLY(flipParamB, 5, P),
    VORLANT_WRITABLE(flipHysteresis, 5, Advanced, 5, 0, kU8Max, kChangeHysteresis, P),
    VORLANT_WRITABLE(latitude, 5, Advanced, 5, -kLatitudeMax, kLatitudeMax, kChangeLatitude,
                     FieldStyle::Angle),
    VORLANT_WRITABLE(longitude, 5, Advanced, 5, -kLongitudeMax, kLongitudeMax, kChangeLongitude,
                     FieldStyle::Angle),
    // Computed by the engine from the max speeds and sidereal rates.
    VORLANT_READ_ONLY(raMaxRate, 1, P),
    VORLANT_READ_ONLY(deMaxRate, 1, P),
};

#undef VORLANT_WRITABLE
#undef VORLANT_READ_ONLY
#undef VORLANT_MEMBER

}  // namespace

const SettingsField* settingsFields(size_t& count) {
    count = sizeof kFields / sizeof kFields[0];
    return kFields;
}

const SettingsField* findField(const std::string& name) {
    for (const SettingsField& f : kFields)
        if (name == f.name) return &f;
    return nullptr;
}

std::string dottedVersion(uint32_t value) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24) out += '.';
        out += std::to_string((value >> shift) & 0xFFu);
    }
    return out;
}

std::string describeValue(const SettingsField& field, int64_t value) {
    std::string out = std::to_string(static_cast<long long>(value));
    if (field.style == FieldStyle::Version) {
        out += "  (" + dottedVersion(static_cast<uint32_t>(value)) + ")";
    } else if (field.style == FieldStyle::Angle) {
        char angle[32];
        appendAngle(angle, sizeof angle, 0, static_cast<int32_t>(value));
        out += "  (";
        out += angle;
        out += ")";
    } else if (field.style == FieldStyle::Milliamps) {
        out += " mA";
    } else if (field.style == FieldStyle::GuideRate) {
        char multiple[32];
        std::snprintf(multiple, sizeof multiple, "  (%.4gx sidereal)", static_cast<double>(value) / 16.0);
        out += multiple;
    }
    return out;
}

}  // namespace vorlant::backup
