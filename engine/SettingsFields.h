// The one table of the settings record's fields: the record member, its
// value range, the first controller class whose read-out carries it, which
// engine command (if any) writes it, what a front or a tool calls it, and
// the controls that show it in the windows. The decoder, the read-out
// listing, export, import, `set` and the dialogs all work from this table,
// so a field is described once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ControllerSettings.h"

namespace vorlant {

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

// Which of the main dialog's value <-> track-bar position conversions a
// field's track bar uses (the conversions themselves belong to the dialog).
enum class TrackScale : uint8_t { None, MaxSpeed, Ramp, Current, Decay, Overtone, IncCurrent, GuideRate };

// Which reply of the read-out carries a field.
enum class ReplyBlock : uint8_t {
    None,         // read elsewhere (identification, port type, firmware) or computed
    Gear,         // the gear block (request 20): at connect and after a gear write
    GearReadOut,  // the gear block at connect only: the re-read after a gear write leaves it
    Parameters,   // the parameter block (request 21), in the full or the short layout
    Flip,         // the meridian-flip block (request 61)
    Location,     // the site (request 100)
};

// A field's bytes in a reply frame: the position counted from the start
// byte, the width (1, 2 or 4 bytes, little-endian; 0: not in this layout),
// and for a field that shares its byte, which four bits it takes.
enum class Nibble : uint8_t { Whole, Low, High };
struct WireSpot {
    uint8_t position;
    uint8_t width;
    Nibble nibble;
};

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
    // Values the writer's wire field (and meaning) allow. A number typed
    // into the field's edit is held within this range too, so only values
    // the controller can take are ever sent.
    int64_t writeMin;
    int64_t writeMax;
    // Current/Decay: axis bit + channel; Overtone/IncCurrentAt and the
    // paired writers: the axis bit; ReverseFlags: 0 rotation, 1 guiding,
    // 2 limits; Advanced: the changeMask bit.
    uint32_t selector;
    FieldStyle style;

    // What a front or a tool shows: the windows' own wording where they
    // show the field ("RA idle current"), and its unit ("mA"; "" for none).
    const char* label;
    const char* unit;
    // Main dialog control ids (0 = none): the edit and the track bar that
    // show the field, and for a reverse flag the RA check box (the Dec one
    // is check + 100; they show bits 0 and 1 of the one field). The engine
    // knows no front, so they are numbers here; a test of the windows
    // checks them against the dialog's ids and templates.
    uint16_t edit;
    uint16_t track;
    uint16_t check;
    // The control of a secondary dialog (gear ratio, advanced settings)
    // that shows the field; for the mount type, its first radio button.
    uint16_t dialogControl;
    TrackScale scale;

    // Where the read-out finds the field: its reply and its bytes there
    // (for the parameter block, in the full layout), and its bytes in the
    // short parameter layout (width 0 where that layout lacks the field).
    // A shorter frame reads 0 for the bytes it lacks.
    ReplyBlock block;
    WireSpot spot;
    WireSpot shortSpot;
};

// Every field of ControllerSettings, in record order.
const SettingsField* settingsFields(size_t& count);
const SettingsField* findField(const std::string& name);

inline bool isWritable(const SettingsField& f) {
    return f.writer != FieldWriter::None;
}

// The field a writer sends under this selector (for a paired writer the
// axis bit, or 0..2 for the reverse flags); nullptr when there is none.
const SettingsField* fieldWrittenBy(FieldWriter writer, uint32_t selector);

// The read-only field whose value a field's writer sends along (the
// current-increase command's second value); nullptr for all other fields.
const SettingsField* sentAlong(const SettingsField& field);

// A value for a person: the number, with the angle in D:MM:SS after it
// for latitude and longitude, the dotted form for versions, "mA" after a
// current and the multiple of the sidereal rate after a guiding rate.
std::string describeValue(const SettingsField& field, int64_t value);

}  // namespace vorlant
