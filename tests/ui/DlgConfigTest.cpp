#include <gtest/gtest.h>
#ifndef _WIN32
#include <grp.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FakeTransferHost.h"
#include "tests/support/NumberedPorts.h"
#include "tests/ui/FakeControls.h"
#include "ui/AppModel.h"
#include "ui/DlgConfig.h"
#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"

namespace vorlant {
namespace {

using test::FakeControls;
using test::FakeEngine;
using test::FakeHost;
using Calls = std::vector<std::string>;

// The controls that need a connected controller, "Advanced settings" aside.
const std::vector<int> kConnectionSet = {106, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 124,
                                         125, 151, 152, 180, 201, 202, 203, 210, 211, 212, 213, 214, 215, 220,
                                         230, 231, 232, 233, 234, 235, 240, 241, 242, 250, 251, 252, 253, 260,
                                         301, 302, 303, 310, 311, 312, 313, 314, 315, 320, 330, 331, 332, 333,
                                         334, 335, 340, 341, 342, 350, 351, 352, 353, 360};
const std::vector<int> kAlwaysEnabled = {100, 101, 102, 103, 153, 104, 105, 107, 171, 172};

// A plausible class-4 controller.
ControllerSettings sampleSettings() {
    ControllerSettings s{};
    s.versionClass = 4;
    s.hardwareVersion = 0x01030002;
    s.firmwareVersion = 0x0204000A;
    s.portType = 1;
    s.raGearRatio = 2880000;
    s.deGearRatio = 1440000;
    s.raMaxSpeed = 600;
    s.deMaxSpeed = 900;
    s.raMaxCurrent = 800;
    s.deMaxCurrent = 1600;
    s.raIdleCurrent = 200;
    s.raTrackCurrent = 400;
    s.raRunCurrent = 800;
    s.deIdleCurrent = 100;
    s.deTrackCurrent = 300;
    s.deRunCurrent = 1500;
    s.raAcceleration = 32;
    s.raDeceleration = 48;
    s.deAcceleration = 64;
    s.deDeceleration = 80;
    s.raGuideRate = 8;
    s.deGuideRate = 12;
    s.raIncCurrentAt = 110;
    s.deIncCurrentAt = 210;
    s.raOvertone = 3;
    s.deOvertone = -4;
    return s;
}

class DlgConfigTest : public ::testing::Test {
protected:
    void SetUp() override { dlg.initDialog(controls, host); }

    // Shows a full read-out and forgets what showing it wrote.
    void connectWith(const ControllerSettings& s) {
        dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
        controls.writes.clear();
        engine.clear();
    }
    void leaveEdit(int id, const std::string& text) {
        controls.type(id, text);
        dlg.editLostFocus(id);
    }
    void release(int track, int position) {
        controls.drag(track, position);
        dlg.trackBarReleased(track);
    }

    FakeControls controls{kDialogMain};
    FakeHost host;
    FakeEngine engine;
    AppModel bridge;
    DlgConfig dlg{engine, bridge};
};

// ---- Opening -----------------------------------------------------------

TEST_F(DlgConfigTest, OpensDisconnectedWithDefaults) {
    EXPECT_EQ(controls.bitmap(111), 102);
    EXPECT_EQ(controls.bitmap(112), 103);
    EXPECT_EQ(controls.bitmap(113), 100);
    EXPECT_EQ(controls.bitmap(114), 101);

    for (int id : kConnectionSet) EXPECT_FALSE(controls.isEnabled(id)) << id;
    EXPECT_FALSE(controls.isEnabled(MainId::AdvancedSettings));
    for (int id : kAlwaysEnabled) EXPECT_TRUE(controls.isEnabled(id)) << id;

    EXPECT_FALSE(controls.isChecked(MainId::TrackOn));
    EXPECT_TRUE(controls.isChecked(MainId::TrackOff));
    EXPECT_FALSE(controls.isChecked(MainId::Baud115200));
    for (int id : {104, 105, 107, 171, 172, 211, 230, 251}) EXPECT_EQ(controls.text(id), "") << id;
    EXPECT_TRUE(engine.calls.empty());
}

// What the shell found at start-up stands in the status line until the
// first report; a trace that stops being written later is said once, by
// the report timer that finds it.
TEST(DlgConfigStartNote, ShownAtInitialisationUntilTheFirstReportAndAStoppedTraceOnce) {
    FakeControls controls{kDialogMain};
    FakeHost host;
    FakeEngine engine;
    AppModel bridge;
    DlgConfig dlg{engine, bridge};
    std::string traceError;
    dlg.setStartNote("No trace: cannot open the trace file 'x'");
    dlg.setTraceErrorSource([&traceError] { return traceError; });
    dlg.initDialog(controls, host);
    EXPECT_EQ(controls.text(MainId::StatusLine), "No trace: cannot open the trace file 'x'");
    dlg.pollReports();
    EXPECT_EQ(controls.text(MainId::StatusLine), "No trace: cannot open the trace file 'x'");
    dlg.showStatus(StatusCode::Connecting);
    EXPECT_EQ(controls.text(MainId::StatusLine), "Connecting...");
    traceError = "writing the trace file 't' failed (No space left on device); the trace ends there";
    dlg.pollReports();
    EXPECT_EQ(controls.text(MainId::StatusLine), "Trace stopped: " + traceError);
    dlg.showStatus(StatusCode::Ready);
    dlg.pollReports();
    EXPECT_EQ(controls.text(MainId::StatusLine), "Ready");
}

TEST_F(DlgConfigTest, TrackBarRangesAndStartPositions) {
    struct Row {
        int id, minimum, maximum, position;
    };
    const Row rows[] = {
        {115, 0, 31, 10},  {210, 0, 39, 0}, {310, 0, 39, 0}, {212, 0, 15, 0}, {214, 0, 15, 0},
        {312, 0, 15, 0},   {314, 0, 15, 0}, {233, 0, 15, 0}, {234, 0, 15, 0}, {235, 0, 15, 0},
        {333, 0, 15, 0},   {334, 0, 15, 0}, {335, 0, 15, 0}, {240, 0, 3, 0},  {241, 0, 3, 0},
        {242, 0, 3, 0},    {340, 0, 3, 0},  {341, 0, 3, 0},  {342, 0, 3, 0},  {250, -20, 20, 0},
        {350, -20, 20, 0}, {252, 0, 31, 0}, {352, 0, 31, 0}, {260, 0, 15, 0}, {360, 0, 15, 0},
    };
    for (const Row& r : rows) {
        const auto& t = controls.track(r.id);
        EXPECT_EQ(t.minimum, r.minimum) << r.id;
        EXPECT_EQ(t.maximum, r.maximum) << r.id;
        EXPECT_EQ(t.position, r.position) << r.id;
    }
    // The signed bars are moved to 1 and back to their centre.
    for (int id : {250, 350}) {
        const std::string p = "setTrackPos " + std::to_string(id) + " ";
        std::vector<std::string> moves;
        for (const auto& w : controls.writes)
            if (w.compare(0, p.size(), p) == 0) moves.push_back(w.substr(p.size()));
        EXPECT_EQ(moves, (std::vector<std::string>{"1", "0"})) << id;
    }
}

TEST_F(DlgConfigTest, PortListHoldsCom1ToCom256WithCom1Selected) {
    const auto& items = controls.comboItems[MainId::PortCombo];
    ASSERT_EQ(items.size(), 256u);
    EXPECT_EQ(items.front(), "COM1");
    EXPECT_EQ(items[9], "COM10");
    EXPECT_EQ(items.back(), "COM256");
    EXPECT_EQ(controls.comboSelection(MainId::PortCombo), 0);
}

TEST(DlgConfigBeforeInit, IgnoresReportsAndActions) {
    FakeEngine engine;
    AppModel bridge;
    DlgConfig dlg{engine, bridge};
    const ControllerSettings s = sampleSettings();
    dlg.showStatus(3);
    dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
    dlg.showSupplyVoltage(1234);
    dlg.setControlsEnabled(true, 5);
    dlg.command(MainId::Connect);
    dlg.trackBarReleased(MainId::RaGuideRateTrack);
    EXPECT_TRUE(engine.calls.empty());
}

// ---- Enabled states ------------------------------------------------------

// The parameter controls that the short layout (class 2) does not report.
bool inShortLayout(int id) {
    const int offset = id % 100;
    return offset != 3 && offset != 60 && (offset < 50 || offset > 53);
}

TEST_F(DlgConfigTest, ControlsFollowTheClassOfTheLastFullReport) {
    struct Step {
        const char* what;
        std::function<void(DlgConfig&)> act;
        bool connected;
        int cls;  // what the parameter controls and "Advanced settings" follow
    };
    ControllerSettings byClass[6];
    for (int c = 0; c < 6; ++c) {
        byClass[c] = sampleSettings();
        byClass[c].versionClass = static_cast<uint8_t>(c);
    }
    const Step steps[] = {
        {"class 1 read-out", [&](DlgConfig& d) { d.showSettings(&byClass[1], 1); }, true, 1},
        {"class 2 read-out", [&](DlgConfig& d) { d.showSettings(&byClass[2], 1); }, true, 2},
        {"class 3 read-out", [&](DlgConfig& d) { d.showSettings(&byClass[3], 1); }, true, 3},
        {"class 5 read-out", [&](DlgConfig& d) { d.showSettings(&byClass[5], 1); }, true, 5},
        // The engine never reports 3 by itself; shown, it keeps the class.
        {"status 3 keeps class 5", [](DlgConfig& d) { d.showStatus(3); }, true, 5},
        {"class 4 defaults", [&](DlgConfig& d) { d.showSettings(&byClass[4], 2); }, true, 4},
        {"connection closed", [](DlgConfig& d) { d.showStatus(4); }, false, 0},
        {"too old changes nothing", [&](DlgConfig& d) { d.showSettings(&byClass[5], 3); }, false, 0},
        {"gear re-read changes nothing", [&](DlgConfig& d) { d.showSettings(&byClass[5], 4); }, false, 0},
        {"other status codes change nothing", [](DlgConfig& d) { d.showStatus(15); }, false, 0},
        {"class 5 again", [&](DlgConfig& d) { d.showSettings(&byClass[5], 1); }, true, 5},
        {"time-out closes the port", [](DlgConfig& d) { d.showStatus(7); }, false, 0},
    };
    for (const Step& step : steps) {
        step.act(dlg);
        for (int id : kConnectionSet) {
            const bool parameter = id >= 200;
            const bool read = step.cls >= 3 || (step.cls == 2 && inShortLayout(id));
            EXPECT_EQ(controls.isEnabled(id), step.connected && (!parameter || read))
                << step.what << " " << id;
        }
        EXPECT_EQ(controls.isEnabled(MainId::AdvancedSettings), step.connected && step.cls == 5) << step.what;
        for (int id : kAlwaysEnabled) EXPECT_TRUE(controls.isEnabled(id)) << step.what << " " << id;
    }
}

TEST_F(DlgConfigTest, FieldsAClassDoesNotReportShowEmpty) {
    struct Row {
        int cls;
        std::vector<std::pair<int, const char*>> texts;
    };
    const Row rows[] = {
        {1, {{211, ""}, {313, ""}, {220, ""}, {332, ""}, {251, ""}, {353, ""}, {171, "2880000"}}},
        {2, {{211, "600"}, {313, "64"}, {220, "800"}, {332, "1500"}, {251, ""}, {353, ""}}},
        {3, {{211, "600"}, {251, "3"}, {353, "210"}}},
    };
    for (const Row& r : rows) {
        ControllerSettings s = sampleSettings();
        s.versionClass = static_cast<uint8_t>(r.cls);
        dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
        for (const auto& t : r.texts) EXPECT_EQ(controls.text(t.first), t.second) << r.cls << " " << t.first;
    }
}

// ---- Status and voltage ----------------------------------------------------

TEST_F(DlgConfigTest, StatusLineShowsTheCodesText) {
    struct Row {
        int32_t code;
        const char* text;
    };
    const Row rows[] = {
        {0, "Not connected"},
        {1, "Opening port, please wait..."},
        {7, "Error: Cannot connect: Timeout error"},
        {13, "Error: The connected Brask is too old. Use Vorlant 1.0."},
        {23, "Settings done."},
        {0x10015, "Parameters stored..."},  // only the low 16 bits count
    };
    for (const Row& r : rows) {
        dlg.showStatus(r.code);
        EXPECT_EQ(controls.text(MainId::StatusLine), r.text) << r.code;
    }
}

TEST_F(DlgConfigTest, StatusLineAddsWhyThePortFailed) {
    using platform::PortError;
    struct Row {
        int32_t code;
        PortError error;
        std::string text;
    };
    const std::string cannotOpen = "Error: Cannot open port. ";
    const Row rows[] = {
        {6, PortError::NotFound, cannotOpen + "The port does not exist."},
        {6, PortError::Busy, cannotOpen + "The port is in use by another program."},
        {6, PortError::PermissionDenied,
         cannotOpen + DlgConfig::portErrorReason(PortError::PermissionDenied)},
        {6, PortError::NotSerialPort, cannotOpen + "The device is not a serial port."},
        {6, PortError::Other, "Error: Cannot open port."},
        {4, PortError::Gone, "Connection closed. The device was disconnected."},
        {4, PortError::None, "Connection closed"},  // the user's Disconnect
        {7, PortError::Gone, "Error: Cannot connect: Timeout error"},
    };
    PortError error = PortError::None;
    dlg.setPortErrorSource([&error] { return error; });
    for (const Row& r : rows) {
        error = r.error;
        dlg.showStatus(r.code);
        EXPECT_EQ(controls.text(MainId::StatusLine), r.text) << r.code;
    }
#ifndef _WIN32
    // The way in only where the group would grant it: a device of the
    // dialout group, not a root-only one.
    const std::string device = ::testing::TempDir() + "vorlant_dialout_device";
    std::fclose(std::fopen(device.c_str(), "w"));
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    if (chown(device.c_str(), static_cast<uid_t>(-1), dialout->gr_gid) != 0) {
        std::remove(device.c_str());
        GTEST_SKIP() << "giving a file to the dialout group needs root or membership";
    }
    EXPECT_EQ(DlgConfig::portErrorReason(PortError::PermissionDenied, device),
              "Permission denied for " + device +
                  ". Join the group dialout: sudo usermod -aG dialout $USER, then log in again.");
    ASSERT_EQ(chown(device.c_str(), static_cast<uid_t>(-1), 0), 0);
    EXPECT_EQ(DlgConfig::portErrorReason(PortError::PermissionDenied, device),
              "Permission denied for " + device + ".");
    std::remove(device.c_str());
#endif
}

TEST_F(DlgConfigTest, UnknownStatusCodesChangeNothing) {
    dlg.showStatus(15);
    controls.writes.clear();
    for (int32_t code : {24, 100, 0xFFFF, -1, 0x10004 + 0x14}) dlg.showStatus(code);
    EXPECT_EQ(controls.text(MainId::StatusLine), "Ready");
    EXPECT_TRUE(controls.writes.empty());
}

TEST_F(DlgConfigTest, SupplyVoltageHasTwoDecimalsAndPaddedVolts) {
    const std::pair<int32_t, const char*> rows[] = {
        {1234, "12.34V"}, {905, " 9.05V"},  {0, " 0.00V"},      {1299, "12.99V"},
        {5, " 0.05V"},    {1000, "10.00V"}, {65535, "655.35V"},
    };
    for (const auto& r : rows) {
        dlg.showSupplyVoltage(r.first);
        EXPECT_EQ(controls.text(MainId::VoltageDisplay), r.second) << r.first;
    }
}

// ---- Settings reports --------------------------------------------------------

TEST_F(DlgConfigTest, DeviceLineShowsDottedVersionsAndPortType) {
    ControllerSettings s = sampleSettings();
    dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
    EXPECT_EQ(controls.text(MainId::DeviceInfo), "HW:1.3.0.2 | FW:2.4.0.10 | Port type:1");

    s.hardwareVersion = 0xFFFFFFFF;  // every byte unsigned
    s.firmwareVersion = 0;
    s.portType = 255;
    dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
    EXPECT_EQ(controls.text(MainId::DeviceInfo), "HW:255.255.255.255 | FW:0.0.0.0 | Port type:255");
}

TEST_F(DlgConfigTest, ReadoutCompleteFillsEveryControl) {
    ControllerSettings s = sampleSettings();
    s.reverseRotation = 1;
    s.reverseGuiding = 2;
    s.reverseLimits = 3;
    s.raIdleDecay = 1;
    s.raTrackDecay = 2;
    s.raRunDecay = 3;
    s.deIdleDecay = 3;
    s.deTrackDecay = 0;
    s.deRunDecay = 1;
    dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);

    EXPECT_EQ(controls.text(MainId::StatusLine), "Connection established.");
    const std::pair<int, const char*> texts[] = {
        {171, "2880000"}, {172, "1440000"}, {211, "600"},  {311, "900"}, {213, "32"},
        {215, "48"},      {313, "64"},      {315, "80"},   {220, "800"}, {230, "200"},
        {231, "400"},     {232, "800"},     {320, "1600"}, {330, "100"}, {331, "300"},
        {332, "1500"},    {251, "3"},       {351, "-4"},   {253, "110"}, {353, "210"},
    };
    for (const auto& t : texts) EXPECT_EQ(controls.text(t.first), t.second) << t.first;
    const std::pair<int, int> positions[] = {
        {210, 20}, {310, 30}, {212, 2}, {214, 3},  {312, 4}, {314, 5},  {233, 4}, {234, 8},
        {235, 15}, {333, 1},  {334, 3}, {335, 15}, {240, 1}, {241, 2},  {242, 3}, {340, 3},
        {341, 0},  {342, 1},  {250, 3}, {350, -4}, {252, 5}, {352, 10}, {260, 7}, {360, 11},
    };
    for (const auto& p : positions) EXPECT_EQ(controls.trackPos(p.first), p.second) << p.first;
    const std::pair<int, bool> boxes[] = {{201, true}, {301, false}, {202, false},
                                          {302, true}, {203, true},  {303, true}};
    for (const auto& b : boxes) EXPECT_EQ(controls.isChecked(b.first), b.second) << b.first;
    EXPECT_EQ(dlg.gearRatios().raRatio, 2880000u);
    EXPECT_EQ(dlg.gearRatios().deRatio, 1440000u);
    EXPECT_TRUE(controls.isEnabled(MainId::ChangeGearRatio));
}

// Each row changes one field of the sample and checks one edit and one bar.
TEST_F(DlgConfigTest, ReportValuesConvertToTrackPositions) {
    struct Row {
        const char* what;
        std::function<void(ControllerSettings&)> set;
        int edit;
        const char* text;
        int track;
        int position;
    };
    const Row rows[] = {
        {"max speed 1200", [](ControllerSettings& s) { s.raMaxSpeed = 1200; }, 211, "1200", 210, 39},
        {"max speed 29", [](ControllerSettings& s) { s.raMaxSpeed = 29; }, 211, "29", 210, 0},
        {"max speed 65535", [](ControllerSettings& s) { s.deMaxSpeed = 65535; }, 311, "65535", 310, 39},
        {"acceleration 7", [](ControllerSettings& s) { s.raAcceleration = 7; }, 213, "7", 212, 0},
        {"acceleration 8", [](ControllerSettings& s) { s.raAcceleration = 8; }, 213, "8", 212, 1},
        {"acceleration 255", [](ControllerSettings& s) { s.raAcceleration = 255; }, 213, "255", 212, 15},
        {"deceleration 255", [](ControllerSettings& s) { s.deDeceleration = 255; }, 315, "255", 314, 15},
        {"current 200 of 800", [](ControllerSettings& s) { s.raIdleCurrent = 200; }, 230, "200", 233, 4},
        {"current above maximum",
         [](ControllerSettings& s) {
             s.raMaxCurrent = 100;
             s.raRunCurrent = 65535;
         },
         232, "65535", 235, 15},
        {"inc current 5", [](ControllerSettings& s) { s.raIncCurrentAt = 5; }, 253, "5", 252, 0},
        {"inc current 29", [](ControllerSettings& s) { s.raIncCurrentAt = 29; }, 253, "29", 252, 0},
        {"inc current 30", [](ControllerSettings& s) { s.raIncCurrentAt = 30; }, 253, "30", 252, 1},
        {"inc current 640", [](ControllerSettings& s) { s.deIncCurrentAt = 640; }, 353, "640", 352, 31},
        {"inc current 65535", [](ControllerSettings& s) { s.deIncCurrentAt = 65535; }, 353, "65535", 352, 31},
        {"overtone -20", [](ControllerSettings& s) { s.raOvertone = -20; }, 251, "-20", 250, -20},
        {"overtone -128", [](ControllerSettings& s) { s.deOvertone = -128; }, 351, "-128", 350, -20},
        {"overtone 127", [](ControllerSettings& s) { s.deOvertone = 127; }, 351, "127", 350, 20},
    };
    for (const Row& r : rows) {
        ControllerSettings s = sampleSettings();
        r.set(s);
        dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
        EXPECT_EQ(controls.text(r.edit), r.text) << r.what;
        EXPECT_EQ(controls.trackPos(r.track), r.position) << r.what;
    }
}

TEST_F(DlgConfigTest, GuideRateShowsRateMinusOne) {
    const std::pair<uint16_t, int> rows[] = {{16, 15}, {0, 0}, {1, 0}, {2, 1}, {255, 15}};
    for (const auto& r : rows) {
        ControllerSettings s = sampleSettings();
        s.raGuideRate = r.first;
        s.deGuideRate = r.first;
        dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
        EXPECT_EQ(controls.trackPos(260), r.second) << r.first;
        EXPECT_EQ(controls.trackPos(360), r.second) << r.first;
    }
}

TEST_F(DlgConfigTest, ZeroMaximumCurrentShowsTheCurrentsButLeavesTheirBars) {
    connectWith(sampleSettings());
    ControllerSettings s = sampleSettings();
    s.raMaxCurrent = 0;
    s.raIdleCurrent = 999;
    s.deIdleCurrent = 400;
    dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
    EXPECT_EQ(controls.text(220), "0");
    EXPECT_EQ(controls.text(230), "999");
    EXPECT_EQ(controls.trackPos(233), 4);
    EXPECT_EQ(controls.writeCount("setTrackPos 233 "), 0u);
    EXPECT_EQ(controls.text(330), "400");  // the other axis is shown as usual
    EXPECT_EQ(controls.trackPos(333), 4);
    // The record's current is remembered: retyping it sends nothing.
    leaveEdit(230, "999");
    EXPECT_TRUE(engine.calls.empty());
}

TEST_F(DlgConfigTest, DefaultsReloadedAndOtherKindsShowEverything) {
    connectWith(sampleSettings());
    ControllerSettings s = sampleSettings();
    s.raMaxSpeed = 1200;
    dlg.showSettings(&s, SettingsReportKind::DefaultsReloaded);
    EXPECT_EQ(controls.text(MainId::StatusLine), "Default settings reloaded");
    EXPECT_EQ(controls.text(211), "1200");

    dlg.showStatus(15);
    s.raMaxSpeed = 30;
    dlg.showSettings(&s, 9);
    EXPECT_EQ(controls.text(MainId::StatusLine), "Ready");
    EXPECT_EQ(controls.text(211), "30");
}

TEST_F(DlgConfigTest, DeviceTooOldShowsOnlyErrorAndDeviceLine) {
    connectWith(sampleSettings());
    ControllerSettings s{};
    s.hardwareVersion = 0x00010203;
    s.modeByte = 7;
    s.portTypeZero = 1;
    dlg.showSettings(&s, SettingsReportKind::DeviceTooOld);
    std::vector<std::string> expected = {
        "setText 104 Error: The connected Brask is too old. Use Vorlant 1.0.",
        "setText 105 HW:0.1.2.3 | FW:0.0.0.0 | Port type:0",
    };
    EXPECT_EQ(controls.writes, expected);
}

TEST_F(DlgConfigTest, GearRatiosChangedUpdatesOnlyTheGearDisplays) {
    connectWith(sampleSettings());
    ControllerSettings s{};
    s.raGearRatio = 4294967295u;
    s.deGearRatio = 12;
    dlg.showSettings(&s, SettingsReportKind::GearRatiosChanged);
    std::vector<std::string> expected = {"setText 171 4294967295", "setText 172 12"};
    EXPECT_EQ(controls.writes, expected);
    EXPECT_EQ(dlg.gearRatios().raRatio, 4294967295u);
    EXPECT_EQ(dlg.gearRatios().deRatio, 12u);
    // The remembered values are untouched: the old max speed still counts.
    leaveEdit(211, "600");
    EXPECT_TRUE(engine.calls.empty());
}

TEST_F(DlgConfigTest, FullReportFillsAdvancedSettings) {
    ControllerSettings s = sampleSettings();
    s.versionClass = 5;
    s.mountType = 2;
    s.latitude = -86400 * 33;
    s.longitude = 86400 * 151;
    s.flipHysteresis = 7;
    dlg.showSettings(&s, SettingsReportKind::ReadoutComplete);
    const AdvancedSettings& a = dlg.advancedSettings();
    EXPECT_EQ(a.changeMask, 0u);
    EXPECT_EQ(a.mountType, 2);
    EXPECT_EQ(a.latitude, -86400 * 33);
    EXPECT_EQ(a.longitude, 86400 * 151);
    EXPECT_EQ(a.flipHysteresis, 7);
}

// ---- Buttons -------------------------------------------------------------

TEST_F(DlgConfigTest, ButtonsSendTheirCommands) {
    struct Row {
        int id;
        Calls calls;
    };
    const Row rows[] = {
        {103, {"disconnect()"}},
        {106, {"measureSupplyVoltage()"}},
        {110, {"stopMotion(4)"}},
        {111, {"moveManual(0,10)"}},
        {112, {"moveManual(1,10)"}},
        {113, {"moveManual(3,10)"}},
        {114, {"moveManual(2,10)"}},
        {120, {"setExp(1)"}},
        {121, {"setExp(0)"}},
        {151, {"reloadDefaults()"}},
        {152, {"storeParameters()"}},
        {116, {}},
        {117, {}},
        {124, {}},
        {125, {"setParkPosition()"}},
        {101, {}},
        {100, {}},
    };
    for (const Row& r : rows) {
        engine.clear();
        controls.drag(MainId::ManualSpeed, 10);
        dlg.command(r.id);
        EXPECT_EQ(engine.calls, r.calls) << r.id;
    }
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(DlgConfigTest, ConnectUsesTheSelectedPortAndBaud) {
    controls.select(MainId::PortCombo, 4);
    dlg.command(MainId::Connect);
    controls.click(MainId::Baud115200);
    controls.select(MainId::PortCombo, 255);
    dlg.command(MainId::Connect);
    controls.select(MainId::PortCombo, -1);  // no port chosen: nothing to connect to
    dlg.command(MainId::Connect);
    EXPECT_EQ(engine.calls, (Calls{"connect(5,9600)", "connect(256,115200)"}));
}

TEST_F(DlgConfigTest, SpeedPresetsSetTheManualSpeedBar) {
    dlg.command(MainId::Sidereal2x);
    EXPECT_EQ(controls.trackPos(MainId::ManualSpeed), 5);
    dlg.command(MainId::MoveEast);
    dlg.command(MainId::Sidereal);
    EXPECT_EQ(controls.trackPos(MainId::ManualSpeed), 2);
    dlg.command(MainId::MoveNorth);
    dlg.trackBarReleased(MainId::ManualSpeed);  // moving it sends nothing
    dlg.command(MainId::Stop);
    EXPECT_EQ(engine.calls, (Calls{"moveManual(3,5)", "moveManual(0,2)", "stopMotion(4)"}));
}

TEST_F(DlgConfigTest, TrackButtonsShowTheLastClick) {
    dlg.command(MainId::TrackOn);
    EXPECT_TRUE(controls.isChecked(MainId::TrackOn));
    EXPECT_FALSE(controls.isChecked(MainId::TrackOff));
    dlg.command(MainId::TrackOff);
    EXPECT_FALSE(controls.isChecked(MainId::TrackOn));
    EXPECT_TRUE(controls.isChecked(MainId::TrackOff));
    EXPECT_EQ(engine.calls, (Calls{"setTracking(1)", "setTracking(0)"}));
    connectWith(sampleSettings());  // reports do not change the pressed look
    EXPECT_TRUE(controls.isChecked(MainId::TrackOff));
}

TEST_F(DlgConfigTest, ReverseBoxesSendAllThreeFlagBytes) {
    struct Row {
        std::vector<int> checked;
        int clicked;
        const char* call;
    };
    const Row rows[] = {
        {{302}, 302, "setReverseFlags(0,2,0)"},
        {{201}, 201, "setReverseFlags(1,0,0)"},
        {{201, 301, 203}, 203, "setReverseFlags(3,0,1)"},
        {{201, 202, 203, 301, 302, 303}, 303, "setReverseFlags(3,3,3)"},
        {{}, 202, "setReverseFlags(0,0,0)"},  // the box just unchecked itself
    };
    for (const Row& r : rows) {
        for (int id : {201, 202, 203, 301, 302, 303}) controls.checked[id] = false;
        for (int id : r.checked) controls.checked[id] = true;
        engine.clear();
        dlg.command(r.clicked);
        EXPECT_EQ(engine.calls, Calls{r.call});
    }
}

TEST_F(DlgConfigTest, GearRatioDialogOkSendsAndTheReReadShowsTheResult) {
    connectWith(sampleSettings());
    host.editGearRatios = [](GearRatios& g) { g.raRatio = 777; };
    for (int result : {0, 2, -1}) {  // Cancel, Escape's id, a failed dialog call
        host.gearRatioResult = result;
        dlg.command(MainId::ChangeGearRatio);
    }
    EXPECT_TRUE(engine.calls.empty());
    host.gearRatioResult = 1;
    dlg.command(MainId::ChangeGearRatio);
    // Not shown until the controller's re-read confirms it.
    EXPECT_EQ(dlg.gearRatios().raRatio, 2880000u);
    host.editGearRatios = nullptr;
    dlg.command(MainId::ChangeGearRatio);  // Ok without a change still sends
    EXPECT_EQ(host.calls.back(), "gearRatio(2880000,1440000)");
    EXPECT_EQ(engine.calls, (Calls{"setGearRatios(777,1440000)", "setGearRatios(2880000,1440000)"}));
    ControllerSettings reRead{};
    reRead.raGearRatio = 777;
    reRead.deGearRatio = 1440000;
    dlg.showSettings(&reRead, SettingsReportKind::GearRatiosChanged);
    EXPECT_EQ(dlg.gearRatios().raRatio, 777u);
}

TEST_F(DlgConfigTest, AdvancedDialogSendsOnlyAChangedRecordOnOk) {
    ControllerSettings s = sampleSettings();
    s.versionClass = 5;
    s.latitude = 4320000;
    connectWith(s);

    host.editAdvancedSettings = [](AdvancedSettings& a) {
        a.changeMask = kChangeMountType;
        a.mountType = 1;
    };
    for (int result : {0, 2, -1}) {
        host.advancedResult = result;
        dlg.command(MainId::AdvancedSettings);
    }
    host.advancedResult = 1;
    host.editAdvancedSettings = [](AdvancedSettings& a) { a.changeMask = 0; };
    dlg.command(MainId::AdvancedSettings);
    EXPECT_TRUE(engine.calls.empty());

    host.editAdvancedSettings = [](AdvancedSettings& a) {
        a.changeMask = kChangeMountType;
        a.mountType = 1;
    };
    dlg.command(MainId::AdvancedSettings);
    EXPECT_EQ(host.calls.front(), "advanced(0,0,4320000,0,0)");
    EXPECT_EQ(engine.calls, Calls{"applyAdvancedSettings(4,1,4320000,0,0)"});
}

TEST_F(DlgConfigTest, AdvancedFieldsChangeWhenTheControllerConfirms) {
    ControllerSettings s = sampleSettings();
    s.versionClass = 5;
    s.mountType = 0;
    s.latitude = 100;
    s.longitude = 200;
    connectWith(s);
    auto edit = [&](uint32_t mask, int32_t latitude, int32_t longitude) {
        host.editAdvancedSettings = [=](AdvancedSettings& a) {
            a.changeMask = mask;
            a.latitude = latitude;
            a.longitude = longitude;
        };
        dlg.command(MainId::AdvancedSettings);
    };
    edit(kChangeLatitude, 111, 200);
    EXPECT_EQ(dlg.advancedSettings().latitude, 100);  // sent, not yet confirmed
    dlg.showStatus(StatusCode::SettingsDone);
    EXPECT_EQ(dlg.advancedSettings().latitude, 111);

    // A change the controller did not confirm (here the link closed first)
    // leaves its values: reopening shows them and the same change is sent
    // again.
    edit(kChangeLongitude, 111, 222);
    dlg.showStatus(StatusCode::ConnectionClosed);
    dlg.showStatus(StatusCode::SettingsDone);  // a late one changes nothing
    EXPECT_EQ(dlg.advancedSettings().longitude, 200);
    edit(kChangeLongitude, 111, 222);
    EXPECT_EQ(host.calls.back(), "advanced(0,0,111,200,0)");
    EXPECT_EQ(engine.calls,
              (Calls{"applyAdvancedSettings(1,0,111,200,0)", "applyAdvancedSettings(2,0,111,222,0)",
                     "applyAdvancedSettings(2,0,111,222,0)"}));
    // Only the fields a job sent change on its confirmation.
    s.mountType = 2;
    dlg.showSettings(&s, SettingsReportKind::DefaultsReloaded);
    dlg.showStatus(StatusCode::SettingsDone);
    EXPECT_EQ(dlg.advancedSettings().longitude, 222);
    EXPECT_EQ(dlg.advancedSettings().latitude, 100);
    EXPECT_EQ(dlg.advancedSettings().mountType, 2);
}

TEST_F(DlgConfigTest, AboutOpensTheAboutBox) {
    dlg.command(MainId::About);
    EXPECT_EQ(host.calls, Calls{"about()"});
    EXPECT_TRUE(engine.calls.empty());
}

// ---- Edits ---------------------------------------------------------------

TEST_F(DlgConfigTest, EditsActOnlyWhenTheyLoseTheFocus) {
    connectWith(sampleSettings());
    controls.type(211, "1200");
    dlg.command(211);  // a click into it, or typing: nothing yet
    EXPECT_TRUE(engine.calls.empty());
    dlg.editLostFocus(211);
    EXPECT_EQ(engine.calls, Calls{"setMaxSpeeds(1200,900)"});
}

TEST_F(DlgConfigTest, MaxSpeedEditSendsOnlyChanges) {
    ControllerSettings s = sampleSettings();
    s.raMaxSpeed = 0;
    connectWith(s);
    leaveEdit(211, "600");
    EXPECT_EQ(controls.trackPos(210), 20);
    leaveEdit(211, "600");
    leaveEdit(311, " 1500");
    EXPECT_EQ(controls.trackPos(310), 39);  // 50 is beyond the last position
    EXPECT_EQ(engine.calls, (Calls{"setMaxSpeeds(600,900)", "setMaxSpeeds(600,1500)"}));
}

// Each row: the sample's values remembered, one edit left with a text. A
// number outside its field is held at the nearest end; text that holds no
// number sends nothing and the edit shows the remembered value again.
TEST_F(DlgConfigTest, TypedTextIsClampedToItsFieldOrKeptWhenNoNumber) {
    struct Row {
        int edit;
        const char* text;
        Calls calls;
        int track;
        int position;
        const char* shown;  // the edit afterwards
    };
    const Row rows[] = {
        {211, "65636", {"setMaxSpeeds(65535,900)"}, 210, 39, "65535"},
        {211, "99999999999", {"setMaxSpeeds(65535,900)"}, 210, 39, "65535"},
        {211, "1200 ", {"setMaxSpeeds(1200,900)"}, 210, 39, "1200 "},  // blanks around are ignored
        {311, " 1500\t", {"setMaxSpeeds(600,1500)"}, 310, 39, " 1500\t"},
        {211, "12a", {}, 210, 20, "600"},
        {211, "abc", {}, 210, 20, "600"},
        {211, "1,200", {}, 210, 20, "600"},
        {211, "-600", {}, 210, 20, "600"},
        {211, " ", {}, 210, 20, "600"},
        {313, "x", {}, 312, 4, "64"},
        {231, "4OO", {}, 234, 8, "400"},
        {351, "- 5", {}, 350, -4, "-4"},
        {253, "1.5", {}, 252, 5, "110"},
        {213, "300", {"setAccelerations(255,64)"}, 212, 15, "255"},
        {313, "7", {"setAccelerations(32,7)"}, 312, 0, "7"},
        {215, "255", {"setDecelerations(255,80)"}, 214, 15, "255"},
        {315, "16", {"setDecelerations(48,16)"}, 314, 1, "16"},
        {213, "32", {}, 212, 2, "32"},
        {251, "-5", {"setOvertone(128,-5)"}, 250, -5, "-5"},
        {251, "-25", {"setOvertone(128,-25)"}, 250, -20, "-25"},
        {251, "200", {"setOvertone(128,127)"}, 250, 20, "127"},
        {351, "-65531", {"setOvertone(64,-128)"}, 350, -20, "-128"},
        {251, "3", {}, 250, 3, "3"},
        {253, "5", {"setIncCurrentAt(128,5,5)"}, 252, 0, "5"},
        {353, "640", {"setIncCurrentAt(64,640,640)"}, 352, 31, "640"},
        {353, "65546", {"setIncCurrentAt(64,65535,65535)"}, 352, 31, "65535"},
        {253, "110", {}, 252, 5, "110"},
        {231, "600", {"setCurrent(129,600)"}, 234, 12, "600"},
        {332, "1600", {"setCurrent(66,1600)"}, 335, 15, "1600"},
        {332, "4294967296", {"setCurrent(66,65535)"}, 335, 15, "65535"},
    };
    for (const Row& r : rows) {
        connectWith(sampleSettings());
        leaveEdit(r.edit, r.text);
        EXPECT_EQ(engine.calls, r.calls) << r.edit << " " << r.text;
        EXPECT_EQ(controls.trackPos(r.track), r.position) << r.edit << " " << r.text;
        EXPECT_EQ(controls.text(r.edit), r.shown) << r.edit << " " << r.text;
    }
    // The clamped value is the one remembered: typing it again sends nothing.
    connectWith(sampleSettings());
    leaveEdit(213, "300");
    leaveEdit(213, "255");
    EXPECT_EQ(engine.calls, Calls{"setAccelerations(255,64)"});
}

TEST_F(DlgConfigTest, CurrentEditMovesItsBarEvenWhenUnchanged) {
    connectWith(sampleSettings());
    controls.drag(233, 9);
    leaveEdit(230, "200");  // the remembered value
    EXPECT_EQ(controls.trackPos(233), 4);
    EXPECT_TRUE(engine.calls.empty());
}

TEST_F(DlgConfigTest, CurrentEditWithZeroMaximumSendsButLeavesTheBar) {
    ControllerSettings s = sampleSettings();
    s.raMaxCurrent = 0;
    connectWith(s);
    controls.drag(233, 6);
    leaveEdit(230, "300");
    EXPECT_EQ(controls.trackPos(233), 6);
    EXPECT_EQ(controls.writeCount("setTrackPos 233 "), 0u);
    EXPECT_EQ(engine.calls, Calls{"setCurrent(128,300)"});
}

// ---- Track bars --------------------------------------------------------------

TEST_F(DlgConfigTest, OnlyTheEndOfAMoveCounts) {
    connectWith(sampleSettings());
    controls.drag(260, 3);  // moving, not yet released
    dlg.command(260);
    EXPECT_TRUE(engine.calls.empty());
    dlg.trackBarReleased(260);
    EXPECT_EQ(engine.calls, Calls{"setGuideRates(4,12)"});
}

TEST_F(DlgConfigTest, MaxSpeedBarWritesItsValueAndSendsChanges) {
    connectWith(sampleSettings());  // 600 remembered, shown at 20
    release(210, 20);               // a click on the thumb
    EXPECT_EQ(controls.text(211), "600");
    release(210, 21);
    EXPECT_EQ(controls.text(211), "660");
    release(210, 20);
    EXPECT_EQ(controls.text(211), "630");
    release(310, 39);
    EXPECT_EQ(controls.text(311), "1200");
    release(210, 0);
    EXPECT_EQ(controls.text(211), "30");
    EXPECT_EQ(engine.calls, (Calls{"setMaxSpeeds(660,900)", "setMaxSpeeds(630,900)", "setMaxSpeeds(630,1200)",
                                   "setMaxSpeeds(30,1200)"}));
}

// A release where the program put the bar sends nothing, for every settings
// bar, with values the bars cannot show.
TEST_F(DlgConfigTest, AClickOnTheThumbChangesNoSetting) {
    ControllerSettings s = sampleSettings();
    s.raAcceleration = 7;    // shown at 0, 0 there
    s.deDeceleration = 90;   // shown at 6, 96 there
    s.raIncCurrentAt = 410;  // shown at 20, 420 there
    s.raIdleCurrent = 250;   // 250 of 800 shown at 5, 300 there
    s.deRunCurrent = 1500;   // of 1600 shown at 15, 1600 there
    s.raGuideRate = 0;       // shown at 0, 1 there
    s.deGuideRate = 255;     // shown at 15, 16 there
    s.raIdleDecay = 5;       // shown at 3, 3 there
    s.deTrackDecay = 2;
    const int bars[] = {210, 310, 212, 214, 312, 314, 233, 234, 235, 333, 334, 335,
                        250, 350, 252, 352, 240, 241, 242, 340, 341, 342, 260, 360};
    connectWith(s);
    for (int bar : bars) release(bar, controls.trackPos(bar));
    EXPECT_TRUE(engine.calls.empty());
    EXPECT_TRUE(controls.writes.empty());
    // A typed value puts the bar too: an overtone of 50 stands at 20.
    leaveEdit(251, "50");
    release(250, 20);
    leaveEdit(313, "100");
    release(312, controls.trackPos(312));
    EXPECT_EQ(engine.calls, (Calls{"setOvertone(128,50)", "setAccelerations(7,100)"}));
}

TEST_F(DlgConfigTest, OneAxissReleaseSendsTheOtherAxissOwnValue) {
    connectWith(sampleSettings());
    leaveEdit(313, "100");  // shown at 6, where the bar would read 96
    leaveEdit(315, "90");
    release(212, 5);
    release(214, 0);
    EXPECT_EQ(engine.calls, (Calls{"setAccelerations(32,100)", "setDecelerations(48,90)",
                                   "setAccelerations(80,100)", "setDecelerations(0,90)"}));
}

TEST_F(DlgConfigTest, AccelerationBarsSendThePairWhenOneChanged) {
    ControllerSettings s = sampleSettings();
    s.raAcceleration = 7;  // shown at 0
    connectWith(s);
    dlg.trackBarReleased(212);
    EXPECT_EQ(controls.text(213), "7");
    release(312, 15);
    EXPECT_EQ(controls.text(313), "240");
    release(214, 1);
    EXPECT_EQ(controls.text(215), "16");
    release(212, 1);
    release(212, 0);
    EXPECT_EQ(engine.calls, (Calls{"setAccelerations(7,240)", "setDecelerations(16,80)",
                                   "setAccelerations(16,240)", "setAccelerations(0,240)"}));
}

TEST_F(DlgConfigTest, CurrentBarsScaleByTheMaximum) {
    connectWith(sampleSettings());  // RA maximum 800, Dec 1600
    release(234, 3);
    EXPECT_EQ(controls.text(231), "200");
    release(233, 3);  // 200 is already the idle current
    release(335, 10);
    EXPECT_EQ(controls.text(332), "1100");
    EXPECT_EQ(engine.calls, (Calls{"setCurrent(129,200)", "setCurrent(66,1100)"}));
}

TEST_F(DlgConfigTest, CurrentBarsWithoutMaximumSendNothing) {
    ControllerSettings s = sampleSettings();
    s.deMaxCurrent = 0;
    connectWith(s);
    release(333, 7);
    EXPECT_EQ(controls.text(330), "100");
    EXPECT_TRUE(engine.calls.empty());
}

TEST_F(DlgConfigTest, DecayBarsSendTheirPositionWhenMoved) {
    ControllerSettings s = sampleSettings();
    s.raIdleDecay = 1;
    connectWith(s);
    release(240, 0);
    release(240, 0);
    release(240, 1);  // back where the report put it: a move all the same
    release(242, 3);
    release(341, 2);
    EXPECT_EQ(engine.calls,
              (Calls{"setDecay(128,0)", "setDecay(128,1)", "setDecay(130,3)", "setDecay(65,2)"}));
}

TEST_F(DlgConfigTest, OvertoneAndThresholdBarsSendChanges) {
    connectWith(sampleSettings());  // overtones 3 and -4; thresholds 110, 210
    release(250, 3);
    release(250, -7);
    EXPECT_EQ(controls.text(251), "-7");
    release(350, 20);
    EXPECT_EQ(controls.text(351), "20");
    release(252, 0);
    EXPECT_EQ(controls.text(253), "20");
    release(252, 0);
    release(352, 31);
    EXPECT_EQ(controls.text(353), "640");
    EXPECT_EQ(engine.calls, (Calls{"setOvertone(128,-7)", "setOvertone(64,20)", "setIncCurrentAt(128,20,20)",
                                   "setIncCurrentAt(64,640,640)"}));
}

TEST_F(DlgConfigTest, GuideBarsSendBothRatesWhenOneMoved) {
    connectWith(sampleSettings());  // rates 8 and 12
    controls.drag(360, 15);         // moved, not released: Dec keeps 12
    release(260, 3);
    release(260, 3);
    release(360, 15);
    release(360, 0);
    EXPECT_EQ(engine.calls, (Calls{"setGuideRates(4,12)", "setGuideRates(4,16)", "setGuideRates(4,1)"}));
}

TEST_F(DlgConfigTest, HandlersBeforeAFullReportCompareWithZero) {
    leaveEdit(211, "0");
    release(212, 0);
    release(233, 5);  // no maximum current known yet
    leaveEdit(253, "0");
    EXPECT_TRUE(engine.calls.empty());
    leaveEdit(213, "16");
    EXPECT_EQ(engine.calls, Calls{"setAccelerations(16,0)"});
}

// "Find controller..." over simulated ports: the scan runs on its own
// thread and the report timer (pollReports) finishes it.
class ScriptedScanHost : public ScanHost {
public:
    std::vector<ProbeTarget> targets;
    test::NumberedPort::Ports ports;
    std::vector<std::string> shown;
    std::vector<ProbeTarget> probeTargets() override { return targets; }
    void showScanResults(const std::string& text) override { shown.push_back(text); }
    ProbePortFactory probePortFactory() override {
        return [this] { return std::make_unique<test::NumberedPort>(ports); };
    }
};

TEST_F(DlgConfigTest, FindControllerSelectsTheFirstPortWithAController) {
    struct Case {
        const char* what;
        std::map<int, sim::SimProfile> controllers;  // port number -> what is there
        bool busyCom2;
        int connected;    // the port this window is connected to; 0: none
        int selection;    // in the port list afterwards
        bool baud115200;  // the check box afterwards
        const char* status;
        const char* shown;
    };
    const Case cases[] = {
        {"too old on COM1, a controller on COM3",
         {{1, sim::SimProfile::TooOld}, {3, sim::SimProfile::Class4}},
         true,
         0,
         2,
         false,
         "Controller found on COM3.",
         "COM1: controller too old for this program at 9600 baud (HW:0.1.1.1)\n"
         "COM2: port is in use by another program, skipped\n"
         "COM3: controller, class 4, at 9600 baud (HW:0.5.1.4 | FW:1.0.0.4 | Port type:4)\n"
         "COM4: cannot open: no such port"},
        {"none", {{4, sim::SimProfile::Foreign}}, false, 0, 5, true, "No controller found.", nullptr},
        // The probe cannot open the window's own port (the engine holds it).
        {"connected on COM2, nothing elsewhere",
         {},
         true,
         2,
         5,
         true,
         "No other controller found; this window is connected to COM2.",
         "COM1: cannot open: no such port\n"
         "COM2: connected in this window (HW:1.3.0.2 | FW:2.4.0.10 | Port type:1)\n"
         "COM3: cannot open: no such port\n"
         "COM4: cannot open: no such port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedScanHost scan;
        for (int n = 1; n <= 4; ++n) scan.targets.push_back(ProbeTarget{n, "COM" + std::to_string(n), true});
        for (const auto& [number, profile] : c.controllers)
            scan.ports[number] = std::make_shared<sim::LoopbackPort>(profile);
        if (c.busyCom2) {
            scan.ports[2] = std::make_shared<sim::LoopbackPort>(sim::SimProfile::Class5);
            scan.ports[2]->failOpenWith(platform::PortError::Busy);
        }
        if (c.connected != 0) {
            controls.setComboSelection(MainId::PortCombo, c.connected - 1);
            dlg.command(MainId::Connect);
            for (int status : {StatusCode::OpeningPort, StatusCode::Connecting}) dlg.showStatus(status);
            connectWith(sampleSettings());
        }
        controls.setComboSelection(MainId::PortCombo, 5);
        controls.setChecked(MainId::Baud115200, true);
        dlg.setScanHost(&scan);
        dlg.menuCommand(MenuCommandId::FindController);
        EXPECT_EQ(controls.text(MainId::StatusLine), "Searching for the controller on 4 ports...");
        ASSERT_TRUE(dlg.scanRunning());
        // A connect or disconnect would race the probes for the ports.
        EXPECT_FALSE(controls.isEnabled(MainId::Connect));
        EXPECT_FALSE(controls.isEnabled(MainId::Disconnect));
        dlg.menuCommand(MenuCommandId::FindController);  // a second one while it runs
        // Nor may an export connect while the probes hold the ports.
        test::FakeTransferHost files;
        files.path = "unused.json";
        dlg.setTransferHost(&files);
        dlg.menuCommand(MenuCommandId::ExportSettings);
        EXPECT_EQ(controls.text(MainId::StatusLine), "Still searching for the controller...");
        dlg.setTransferHost(nullptr);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (dlg.scanRunning() && std::chrono::steady_clock::now() < end) {
            dlg.pollReports();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_FALSE(dlg.scanRunning());
        EXPECT_TRUE(controls.isEnabled(MainId::Connect));
        EXPECT_TRUE(controls.isEnabled(MainId::Disconnect));
        EXPECT_EQ(controls.comboSelection(MainId::PortCombo), c.selection);
        EXPECT_EQ(controls.isChecked(MainId::Baud115200), c.baud115200);
        EXPECT_EQ(controls.text(MainId::StatusLine), c.status);
        ASSERT_EQ(scan.shown.size(), 1u);
        if (c.shown) {
            EXPECT_EQ(scan.shown[0], c.shown);
        }
        EXPECT_TRUE(engine.calls.empty());
        dlg.setScanHost(nullptr);
        dlg.showStatus(StatusCode::ConnectionClosed);
    }
}

}  // namespace
}  // namespace vorlant
