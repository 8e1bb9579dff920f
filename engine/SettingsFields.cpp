#include "engine/SettingsFields.h"

#include <cstdio>
#include <limits>
#include <type_traits>

#include "engine/ClassRules.h"
#include "engine/iTelescopeControl.h"
#include "text/TextBuild.h"
#include "text/VersionText.h"

namespace vorlant {

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
    VORLANT_MEMBER(m), readClass, FieldWriter::None, 0, 0, 0, 0, style
// A field with its writer, the class it needs, its value range and selector.
#define VORLANT_WRITABLE(m, readClass, writer, writeClass, lo, hi, selector, style) \
    VORLANT_MEMBER(m), readClass, FieldWriter::writer, writeClass, lo, hi, selector, style
// The controls that show a field: main dialog edit, track bar and RA check
// box, the secondary dialog's control, and the track bar's scale.
#define VORLANT_SHOWN(edit, track, check, dialog, scale) edit, track, check, dialog, TrackScale::scale
#define VORLANT_NOT_SHOWN 0, 0, 0, 0, TrackScale::None
// Where the read-out finds a field: a block's bytes, or the parameter
// block's bytes in the full and the short layout (0: not in the short one).
#define VORLANT_ABSENT {0, 0, Nibble::Whole}
#define VORLANT_NOWHERE ReplyBlock::None, VORLANT_ABSENT, VORLANT_ABSENT
#define VORLANT_IN(block, position, width) ReplyBlock::block, {position, width, Nibble::Whole}, VORLANT_ABSENT
#define VORLANT_PARAM(full, shortPos, width) \
    ReplyBlock::Parameters, {full, width, Nibble::Whole}, {shortPos, (shortPos) == 0 ? 0 : width, Nibble::Whole}
// clang-format on

const FieldStyle P = FieldStyle::Plain;
const FieldStyle MA = FieldStyle::Milliamps;

constexpr uint8_t kAny = ControllerClass::Unread;
constexpr uint8_t kGear = ControllerClass::Basic;
constexpr uint8_t kShort = ControllerClass::ShortLayout;
constexpr uint8_t kFull = ControllerClass::FullLayout;
constexpr uint8_t kFlip = ControllerClass::FlipAndSite;

// clang-format off
const SettingsField kFields[] = {
    {VORLANT_WRITABLE(mountType, kGear, Advanced, kFlip, 0, 2, kChangeMountType, P),
     "Mount type", "", VORLANT_SHOWN(0, 0, 0, 110, None),
     VORLANT_IN(GearReadOut, 30, 1)},
    {VORLANT_READ_ONLY(modeByte, kAny, P), "Mode byte", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    {VORLANT_READ_ONLY(versionClass, kAny, P), "Capability class", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    {VORLANT_READ_ONLY(hardwareVersion, kAny, FieldStyle::Version), "Hardware version", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    {VORLANT_READ_ONLY(deviceFamily, kAny, P), "Device family", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    {VORLANT_READ_ONLY(firmwareVersion, kAny, FieldStyle::Version), "Firmware version", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    {VORLANT_READ_ONLY(portType, kAny, P), "Port type", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    {VORLANT_READ_ONLY(portTypeZero, kAny, P), "Port type 0", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    // Gear block: read from every accepted controller.
    {VORLANT_READ_ONLY(raGearByte, kGear, P), "RA gear byte", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Gear, 4, 1)},
    {VORLANT_READ_ONLY(deGearByte, kGear, P), "DE gear byte", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Gear, 17, 1)},
    {VORLANT_WRITABLE(raGearRatio, kGear, GearRatios, kGear, 0, kU32Max, kAxisRa, P),
     "RA gear ratio", "steps per revolution", VORLANT_SHOWN(171, 0, 0, 100, None),
     VORLANT_IN(Gear, 5, 4)},
    {VORLANT_READ_ONLY(raGearAux, kGear, P), "RA gear aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Gear, 9, 4)},
    {VORLANT_READ_ONLY(raSiderealRate, kGear, P), "RA sidereal rate", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Gear, 13, 4)},
    {VORLANT_WRITABLE(deGearRatio, kGear, GearRatios, kGear, 0, kU32Max, kAxisDe, P),
     "DE gear ratio", "steps per revolution", VORLANT_SHOWN(172, 0, 0, 101, None),
     VORLANT_IN(Gear, 18, 4)},
    {VORLANT_READ_ONLY(deGearAux, kGear, P), "DE gear aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Gear, 22, 4)},
    {VORLANT_READ_ONLY(deSiderealRate, kGear, P), "DE sidereal rate", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Gear, 26, 4)},
    // Parameter block: decoded from class 2 on (short layout), the rest
    // from class 3 on (full layout). A class-1 read-out leaves it at zero,
    // so nothing in it can be written there: the tool could neither show
    // the old value nor confirm the new one.
    {VORLANT_WRITABLE(raMaxSpeed, kShort, MaxSpeeds, kShort, 0, kU16Max, kAxisRa, P),
     "RA max speed", "", VORLANT_SHOWN(211, 210, 0, 0, MaxSpeed),
     VORLANT_PARAM(6, 6, 2)},
    {VORLANT_WRITABLE(deMaxSpeed, kShort, MaxSpeeds, kShort, 0, kU16Max, kAxisDe, P),
     "Dec max speed", "", VORLANT_SHOWN(311, 310, 0, 0, MaxSpeed),
     VORLANT_PARAM(33, 26, 2)},
    {VORLANT_WRITABLE(reverseRotation, kShort, ReverseFlags, kShort, 0, 3, kReverseRotation, P),
     "Reverse rotation", "", VORLANT_SHOWN(0, 0, 201, 0, None),
     VORLANT_PARAM(4, 4, 1)},
    {VORLANT_WRITABLE(reverseGuiding, kShort, ReverseFlags, kShort, 0, 3, kReverseGuiding, P),
     "Reverse autoguiding", "", VORLANT_SHOWN(0, 0, 202, 0, None),
     ReplyBlock::Parameters, {5, 1, Nibble::Low}, {5, 1, Nibble::Whole}},
    {VORLANT_WRITABLE(reverseLimits, kFull, ReverseFlags, kFull, 0, 3, kReverseLimits, P),
     "Reverse limit switches", "", VORLANT_SHOWN(0, 0, 203, 0, None),
     ReplyBlock::Parameters, {5, 1, Nibble::High}, VORLANT_ABSENT},
    {VORLANT_READ_ONLY(raMaxCurrent, kShort, MA), "RA max current", "mA", VORLANT_SHOWN(220, 0, 0, 0, None),
     VORLANT_PARAM(9, 10, 2)},
    {VORLANT_READ_ONLY(deMaxCurrent, kShort, MA), "Dec max current", "mA", VORLANT_SHOWN(320, 0, 0, 0, None),
     VORLANT_PARAM(36, 30, 2)},
    {VORLANT_WRITABLE(raIdleCurrent, kShort, Current, kShort, 0, kU16Max, kAxisRa + kChannelIdle, MA),
     "RA idle current", "mA", VORLANT_SHOWN(230, 233, 0, 0, Current),
     VORLANT_PARAM(11, 12, 2)},
    {VORLANT_WRITABLE(raTrackCurrent, kShort, Current, kShort, 0, kU16Max, kAxisRa + kChannelTrack, MA),
     "RA track current", "mA", VORLANT_SHOWN(231, 234, 0, 0, Current),
     VORLANT_PARAM(13, 14, 2)},
    {VORLANT_WRITABLE(raRunCurrent, kShort, Current, kShort, 0, kU16Max, kAxisRa + kChannelRun, MA),
     "RA run current", "mA", VORLANT_SHOWN(232, 235, 0, 0, Current),
     VORLANT_PARAM(15, 16, 2)},
    {VORLANT_WRITABLE(deIdleCurrent, kShort, Current, kShort, 0, kU16Max, kAxisDe + kChannelIdle, MA),
     "Dec idle current", "mA", VORLANT_SHOWN(330, 333, 0, 0, Current),
     VORLANT_PARAM(38, 32, 2)},
    {VORLANT_WRITABLE(deTrackCurrent, kShort, Current, kShort, 0, kU16Max, kAxisDe + kChannelTrack, MA),
     "Dec track current", "mA", VORLANT_SHOWN(331, 334, 0, 0, Current),
     VORLANT_PARAM(40, 34, 2)},
    {VORLANT_WRITABLE(deRunCurrent, kShort, Current, kShort, 0, kU16Max, kAxisDe + kChannelRun, MA),
     "Dec run current", "mA", VORLANT_SHOWN(332, 335, 0, 0, Current),
     VORLANT_PARAM(42, 36, 2)},
    {VORLANT_WRITABLE(raIdleDecay, kShort, Decay, kShort, 0, kU8Max, kAxisRa + kChannelIdle, P),
     "RA idle decay", "", VORLANT_SHOWN(0, 240, 0, 0, Decay),
     VORLANT_PARAM(17, 18, 1)},
    {VORLANT_WRITABLE(raTrackDecay, kShort, Decay, kShort, 0, kU8Max, kAxisRa + kChannelTrack, P),
     "RA track decay", "", VORLANT_SHOWN(0, 241, 0, 0, Decay),
     VORLANT_PARAM(18, 19, 1)},
    {VORLANT_WRITABLE(raRunDecay, kShort, Decay, kShort, 0, kU8Max, kAxisRa + kChannelRun, P),
     "RA run decay", "", VORLANT_SHOWN(0, 242, 0, 0, Decay),
     VORLANT_PARAM(19, 20, 1)},
    {VORLANT_WRITABLE(deIdleDecay, kShort, Decay, kShort, 0, kU8Max, kAxisDe + kChannelIdle, P),
     "Dec idle decay", "", VORLANT_SHOWN(0, 340, 0, 0, Decay),
     VORLANT_PARAM(44, 38, 1)},
    {VORLANT_WRITABLE(deTrackDecay, kShort, Decay, kShort, 0, kU8Max, kAxisDe + kChannelTrack, P),
     "Dec track decay", "", VORLANT_SHOWN(0, 341, 0, 0, Decay),
     VORLANT_PARAM(45, 39, 1)},
    {VORLANT_WRITABLE(deRunDecay, kShort, Decay, kShort, 0, kU8Max, kAxisDe + kChannelRun, P),
     "Dec run decay", "", VORLANT_SHOWN(0, 342, 0, 0, Decay),
     VORLANT_PARAM(46, 40, 1)},
    {VORLANT_WRITABLE(raAcceleration, kShort, Accelerations, kShort, 0, kU8Max, kAxisRa, P),
     "RA acceleration", "", VORLANT_SHOWN(213, 212, 0, 0, Ramp),
     VORLANT_PARAM(22, 8, 1)},
    {VORLANT_WRITABLE(raDeceleration, kShort, Decelerations, kShort, 0, kU8Max, kAxisRa, P),
     "RA deceleration", "", VORLANT_SHOWN(215, 214, 0, 0, Ramp),
     VORLANT_PARAM(23, 9, 1)},
    {VORLANT_WRITABLE(deAcceleration, kShort, Accelerations, kShort, 0, kU8Max, kAxisDe, P),
     "Dec acceleration", "", VORLANT_SHOWN(313, 312, 0, 0, Ramp),
     VORLANT_PARAM(49, 28, 1)},
    {VORLANT_WRITABLE(deDeceleration, kShort, Decelerations, kShort, 0, kU8Max, kAxisDe, P),
     "Dec deceleration", "", VORLANT_SHOWN(315, 314, 0, 0, Ramp),
     VORLANT_PARAM(50, 29, 1)},
    // One signed byte on the wire.
    {VORLANT_WRITABLE(raOvertone, kFull, Overtone, kFull, -128, 127, kAxisRa, P),
     "RA 3rd. overtone", "", VORLANT_SHOWN(251, 250, 0, 0, Overtone),
     VORLANT_PARAM(20, 0, 1)},
    {VORLANT_READ_ONLY(raOvertoneAux, kFull, P), "RA overtone aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(21, 0, 1)},
    {VORLANT_WRITABLE(deOvertone, kFull, Overtone, kFull, -128, 127, kAxisDe, P),
     "Dec 3rd. overtone", "", VORLANT_SHOWN(351, 350, 0, 0, Overtone),
     VORLANT_PARAM(47, 0, 1)},
    {VORLANT_READ_ONLY(deOvertoneAux, kFull, P), "Dec overtone aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(48, 0, 1)},
    {VORLANT_WRITABLE(raIncCurrentAt, kFull, IncCurrentAt, kFull, 0, kU16Max, kAxisRa, P),
     "RA inc. current at", "", VORLANT_SHOWN(253, 252, 0, 0, IncCurrent),
     VORLANT_PARAM(24, 0, 2)},
    {VORLANT_READ_ONLY(raIncCurrentAux, kFull, P), "RA inc. current aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(26, 0, 2)},
    {VORLANT_WRITABLE(deIncCurrentAt, kFull, IncCurrentAt, kFull, 0, kU16Max, kAxisDe, P),
     "Dec inc. current at", "", VORLANT_SHOWN(353, 352, 0, 0, IncCurrent),
     VORLANT_PARAM(51, 0, 2)},
    {VORLANT_READ_ONLY(deIncCurrentAux, kFull, P), "Dec inc. current aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(53, 0, 2)},
    // Guiding corrections in 1/16 of the sidereal rate: 1/16 up to 1x.
    {VORLANT_WRITABLE(raGuideRate, kFull, GuideRates, kFull, 1, 16, kAxisRa, FieldStyle::GuideRate),
     "RA guiding corrections", "1/16 of the sidereal speed", VORLANT_SHOWN(0, 260, 0, 0, GuideRate),
     VORLANT_PARAM(8, 0, 1)},
    {VORLANT_WRITABLE(deGuideRate, kFull, GuideRates, kFull, 1, 16, kAxisDe, FieldStyle::GuideRate),
     "Dec guiding corrections", "1/16 of the sidereal speed", VORLANT_SHOWN(0, 360, 0, 0, GuideRate),
     VORLANT_PARAM(35, 0, 1)},
    {VORLANT_READ_ONLY(raAuxByte, kShort, P), "RA aux byte", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(28, 21, 1)},
    {VORLANT_READ_ONLY(deAuxByte, kShort, P), "Dec aux byte", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(55, 41, 1)},
    {VORLANT_READ_ONLY(raAuxLong, kShort, P), "RA aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(29, 22, 4)},
    {VORLANT_READ_ONLY(deAuxLong, kShort, P), "Dec aux value", "", VORLANT_NOT_SHOWN,
     VORLANT_PARAM(56, 42, 4)},
    // Meridian-flip block and site: class 5 only.
    {VORLANT_READ_ONLY(flipParamA, kFlip, P), "Meridian flip value A", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Flip, 4, 1)},
    {VORLANT_READ_ONLY(flipParamB, kFlip, P), "Meridian flip value B", "", VORLANT_NOT_SHOWN,
     VORLANT_IN(Flip, 5, 1)},
    {VORLANT_WRITABLE(flipHysteresis, kFlip, Advanced, kFlip, 0, kU8Max, kChangeHysteresis, P),
     "Meridian flip hysteresis", "degrees", VORLANT_SHOWN(0, 0, 0, 120, None),
     VORLANT_IN(Flip, 6, 1)},
    {VORLANT_WRITABLE(latitude, kFlip, Advanced, kFlip, -kLatitudeMax, kLatitudeMax, kChangeLatitude,
                      FieldStyle::Angle),
     "Latitude", "1/86400 degree", VORLANT_SHOWN(0, 0, 0, 100, None),
     VORLANT_IN(Location, 3, 4)},
    {VORLANT_WRITABLE(longitude, kFlip, Advanced, kFlip, -kLongitudeMax, kLongitudeMax, kChangeLongitude,
                      FieldStyle::Angle),
     "Longitude", "1/86400 degree", VORLANT_SHOWN(0, 0, 0, 101, None),
     VORLANT_IN(Location, 7, 4)},
    // Computed by the engine from the max speeds and sidereal rates.
    {VORLANT_READ_ONLY(raMaxRate, kGear, P), "RA max rate", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
    {VORLANT_READ_ONLY(deMaxRate, kGear, P), "Dec max rate", "", VORLANT_NOT_SHOWN,
     VORLANT_NOWHERE},
};
// clang-format on

#undef VORLANT_PARAM
#undef VORLANT_IN
#undef VORLANT_NOWHERE
#undef VORLANT_ABSENT
#undef VORLANT_NOT_SHOWN
#undef VORLANT_SHOWN
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

const SettingsField* fieldWrittenBy(FieldWriter writer, uint32_t selector) {
    for (const SettingsField& f : kFields)
        if (f.writer == writer && f.selector == selector) return &f;
    return nullptr;
}

const SettingsField* sentAlong(const SettingsField& field) {
    if (field.writer != FieldWriter::IncCurrentAt) return nullptr;
    return findField(field.selector == kAxisRa ? "raIncCurrentAux" : "deIncCurrentAux");
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

}  // namespace vorlant
