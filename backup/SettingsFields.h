// The one table of the settings record's fields as the tool sees them: the
// record member, its value range, the first controller class whose read-out
// carries it, and which engine command (if any) writes it. Read-out, export,
// import and `set` all work from this table, so a field is described once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ControllerSettings.h"

namespace vorlant::backup {

// The engine operation that changes a field. Paired writers carry both
// axes (or all three reverse flags) in one command.
enum class FieldWriter : uint8_t {
    None,           // read-only: identification, sidereal rates, aux fields, max current...
    GearRatios,     // setGearRatios (RA, DE), answered by a gear re-read
    MaxSpeeds,      // setMaxSpeeds (RA, DE)
    ReverseFlags,   // setReverseFlags (rotation, guiding, limits)
    Current,        // setCurrent (selector, mA)
    Decay,          // setDecay (selector, value)
    Accelerations,  // setAccelerations (RA, DE)
    Decelerations,  // setDecelerations (RA, DE)
    Overtone,       // setOvertone (axis, value)
    IncCurrentAt,   // setIncCurrentAt (axis, threshold, aux value)
    GuideRates,     // setGuideRates (RA, DE)
    Advanced,       // applyAdvancedSettings (changeMask bit), answered by "Settings done."
};

// How a value is best shown to a person: as it is, as a dotted version, as
// an angle, a current in mA, or a guiding rate in 1/16 of the sidereal rate
// (also shown as a multiple of that rate).
enum class FieldStyle : uint8_t { Plain, Version, Angle, Milliamps, GuideRate };

struct SettingsField {
    const char* name;
    int64_t (*get)(const ControllerSettings&);
    void (*set)(ControllerSettings&, int64_t);
    int64_t typeMin;  // the record member's own range
    int64_t typeMax;
    bool isSigned;
    // First version class whose read-out fills the field; 0 for the
    // identification, known from any accepted controller.
    uint8_t readClass;
    FieldWriter writer;
    uint8_t writeClass;  // first class on which the writer may be used
    int64_t writeMin;    // values the writer's wire field (and meaning) allow
    int64_t writeMax;
    // Current/Decay: axis bit + channel; Overtone/IncCurrentAt and the
    // paired writers: the axis bit; ReverseFlags: 0 rotation, 1 guiding,
    // 2 limits; Advanced: the changeMask bit.
    uint32_t selector;
    FieldStyle style;
};

// Every field of ControllerSettings, in record order.
const SettingsField* settingsFields(size_t& count);
const SettingsField* findField(const std::string& name);

inline bool isWritable(const SettingsField& f) {
    return f.writer != FieldWriter::None;
}

// "0.1.0.4": four bytes, most significant first.
std::string dottedVersion(uint32_t value);

// A value for a person: the number, with the angle in D:MM:SS after it
// for latitude and longitude, the dotted form for versions, "mA" after a
// current and the multiple of the sidereal rate after a guiding rate.
std::string describeValue(const SettingsField& field, int64_t value);

}  // namespace vorlant::backup
