// Control ids of the three secondary dialogs: the gear ratio dialog
// (template 101), the advanced settings dialog (template 102) and the About
// box (template 103). The resource script uses the same numbers; the
// template ids themselves are in ui/MainDialogIds.h.
#pragma once

namespace vorlant {

// Every template's Ok and Cancel/Exit ids; the dialog manager also sends
// them for Enter (1) and for Escape or the caption's close button (2).
namespace DialogButtonId {
enum : int {
    Ok = 1,
    Cancel = 2,
};
}  // namespace DialogButtonId

// Template 101, "Set gear ratio".
namespace GearRatioId {
enum : int {
    Ok = 1,
    Cancel = 2,
    RaEdit = 100,
    DeEdit = 101,
    RaLabel = 1000,       // "Gear ratio for RA axis:"
    DeLabel = 1001,       // "Gear ratio for DE axis:"
    HintText = 1002,      // "The entered value should include the motor's resolution."
    ExamplesText = 1003,  // "Examples:"
    Example1 = 1004,
    Example2 = 1005,
    Example3 = 1006,
    Example4 = 1007,
    Example5 = 1008,
};
}  // namespace GearRatioId

// Template 102, "Advanced settings".
namespace AdvancedSettingsId {
enum : int {
    Ok = 1,
    Cancel = 2,
    LatitudeEdit = 100,
    LongitudeEdit = 101,
    MountGerman = 110,  // "Equatorial german", mount type 0
    MountFork = 111,    // "Equatorial fork", mount type 1
    MountAltAz = 112,   // "Alt - Azimut", mount type 2
    HysteresisEdit = 120,
    PositionGroup = 1000,    // "Geographic position"
    MountGroup = 1001,       // "Mount type"
    FlipGroup = 1002,        // "Meridian flip"
    LatitudeLabel = 1011,    // "Latitude:"
    LongitudeLabel = 1012,   // "Longitude:"
    HysteresisLabel = 1030,  // "Meridian flip hysteresis (degrees):"
    HysteresisHint = 1031,   // "Recommended value in 5...15 degrees range."
};
}  // namespace AdvancedSettingsId

// Template 103, the About box.
namespace AboutId {
enum : int {
    Ok = 1,  // not in the template; sent for Enter
    Exit = 2,
    Title = 101,
    Description = 102,
    Credit = 104,
    Link = 105,  // static with click notification: the web address
};
}  // namespace AboutId

}  // namespace vorlant
