// Resource and control ids of the main dialog (template 100), its bitmaps
// and the secondary dialog templates. The resource script uses the same
// numbers; the RA controls carry ids 2xx and their Dec twins the same id
// plus 100.
#pragma once

namespace vorlant {

// Dialog templates.
constexpr int kDialogMain = 100;
constexpr int kDialogGearRatio = 101;
constexpr int kDialogAdvancedSettings = 102;
constexpr int kDialogAbout = 103;

// Arrow bitmaps (16 x 16, one bit per pixel).
constexpr int kBitmapArrowLeft = 100;
constexpr int kBitmapArrowRight = 101;
constexpr int kBitmapArrowUp = 102;
constexpr int kBitmapArrowDown = 103;

// Dec control id = RA control id + kDecIdOffset.
constexpr int kDecIdOffset = 100;

namespace MainId {
enum : int {
    // General controls.
    PortCombo = 100,
    Baud115200 = 101,
    Connect = 102,
    Disconnect = 103,
    StatusLine = 104,
    DeviceInfo = 105,
    MeasureVoltage = 106,
    VoltageDisplay = 107,
    Stop = 110,
    MoveNorth = 111,
    MoveSouth = 112,
    MoveEast = 113,
    MoveWest = 114,
    ManualSpeed = 115,
    Sidereal = 116,
    Sidereal2x = 117,
    TrackOn = 118,
    TrackOff = 119,
    ExpOn = 120,
    ExpOff = 121,
    AdvancedSettings = 123,
    InitScope = 124,
    DefineParkPos = 125,
    ReloadDefaults = 151,
    SaveSettings = 152,
    About = 153,
    RaGearRatio = 171,
    DeGearRatio = 172,
    ChangeGearRatio = 180,

    // RA axis controls.
    RaReverseRotation = 201,
    RaReverseGuiding = 202,
    RaReverseLimits = 203,
    RaMaxSpeedTrack = 210,
    RaMaxSpeedEdit = 211,
    RaAccelerationTrack = 212,
    RaAccelerationEdit = 213,
    RaDecelerationTrack = 214,
    RaDecelerationEdit = 215,
    RaMaxCurrent = 220,
    RaIdleCurrentEdit = 230,
    RaTrackCurrentEdit = 231,
    RaRunCurrentEdit = 232,
    RaIdleCurrentTrack = 233,
    RaTrackCurrentTrack = 234,
    RaRunCurrentTrack = 235,
    RaIdleDecayTrack = 240,
    RaTrackDecayTrack = 241,
    RaRunDecayTrack = 242,
    RaOvertoneTrack = 250,
    RaOvertoneEdit = 251,
    RaIncCurrentTrack = 252,
    RaIncCurrentEdit = 253,
    RaGuideRateTrack = 260,

    // Dec axis controls.
    DeReverseRotation = 301,
    DeReverseGuiding = 302,
    DeReverseLimits = 303,
    DeMaxSpeedTrack = 310,
    DeMaxSpeedEdit = 311,
    DeAccelerationTrack = 312,
    DeAccelerationEdit = 313,
    DeDecelerationTrack = 314,
    DeDecelerationEdit = 315,
    DeMaxCurrent = 320,
    DeIdleCurrentEdit = 330,
    DeTrackCurrentEdit = 331,
    DeRunCurrentEdit = 332,
    DeIdleCurrentTrack = 333,
    DeTrackCurrentTrack = 334,
    DeRunCurrentTrack = 335,
    DeIdleDecayTrack = 340,
    DeTrackDecayTrack = 341,
    DeRunDecayTrack = 342,
    DeOvertoneTrack = 350,
    DeOvertoneEdit = 351,
    DeIncCurrentTrack = 352,
    DeIncCurrentEdit = 353,
    DeGuideRateTrack = 360,

    // Static texts, group boxes and separators (no behaviour).
    PortLabel = 1000,
    CompassN = 1001,
    CompassS = 1002,
    CompassW = 1003,
    CompassE = 1004,
    GearGroup = 1050,
    GearRaLabel = 1051,
    GearDeLabel = 1052,

    RaGroup = 1100,
    RaSeparator1 = 1102,
    RaMaxSpeedLabel = 1103,
    RaAccelerationLabel = 1104,
    RaDecelerationLabel = 1105,
    RaSeparator2 = 1106,
    RaMaxCurrentLabel = 1107,
    RaMaxCurrentUnit = 1108,
    RaIdleLabel = 1109,
    RaTrackLabel = 1110,
    RaRunLabel = 1111,
    RaDecayLabel = 1112,
    RaSeparator3 = 1114,
    RaOvertoneLabel = 1115,
    RaIncCurrentLabel = 1116,
    RaSeparator4 = 1117,
    RaGuideLabel = 1118,
    RaGuideScale1 = 1120,
    RaGuideScale2 = 1121,
    RaGuideScale3 = 1122,
    RaGuideScale4 = 1123,
    RaGuideScale5 = 1124,

    DeGroup = 1200,
    DeSeparator1 = 1202,
    DeMaxSpeedLabel = 1203,
    DeAccelerationLabel = 1204,
    DeDecelerationLabel = 1205,
    DeSeparator2 = 1206,
    DeMaxCurrentLabel = 1207,
    DeMaxCurrentUnit = 1208,
    DeIdleLabel = 1209,
    DeTrackLabel = 1210,
    DeRunLabel = 1211,
    DeDecayLabel = 1212,
    DeSeparator3 = 1213,
    DeOvertoneLabel = 1215,
    DeIncCurrentLabel = 1216,
    DeSeparator4 = 1217,
    DeGuideLabel = 1218,
    DeGuideScale1 = 1220,
    DeGuideScale2 = 1221,
    DeGuideScale3 = 1222,
    DeGuideScale4 = 1223,
    DeGuideScale5 = 1224,
};
}  // namespace MainId

}  // namespace vorlant
