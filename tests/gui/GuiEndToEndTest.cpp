// The Windows program on its real windows against the simulator on a Wine
// COM port, driven from outside as a user would: mouse clicks and keys
// through SendInput, the displays read back from the controls, and every
// request the controller received read from the simulator's log.
//
// The test runner (cmake/wine-with-sim.sh) starts one simulator per run;
// VORLANT_E2E_PROFILE names its profile, and each suite below needs one
// profile (it skips in the runs for the others).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/gui/GuiDriver.h"
#include "tests/support/ShownSettings.h"
#include "tools/simulator/SimProfile.h"
#include "tools/simulator/SimState.h"
#include "ui/MainDialogIds.h"
#include "ui/SecondaryDialogIds.h"

namespace vorlant {
namespace {

using gui::RemoteControls;
using Frames = std::vector<std::string>;

const wchar_t kMainCaption[] = L"Vorlant 2.4. beta 2.";
// A modal dialog under Wine on Xvfb takes about 2 s to go after its Ok.
constexpr int kDialogGoneMs = 20000;
constexpr int kReadOutMs = 15000;
// How long a test waits for requests that must not come.
constexpr int kQuietMs = 400;

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

const Frames kClass5ReadOut = {"AA 01 01", "AA 01 03", "AA 01 02", "AA 01 14",
                               "AA 01 15", "AA 01 3D", "AA 01 64"};

// One run of the program against the simulator of this ctest run.
class Gui : public ::testing::Test {
protected:
    // Skips unless this run's simulator runs `profile`.
    void startFor(const char* profile) {
        if (env("VORLANT_E2E_PROFILE") != profile || env("VORLANT_GUI_EXE").empty()) {
            GTEST_SKIP() << "this run has no simulator with profile " << profile;
        }
        port_ = std::atoi(env("VORLANT_E2E_PORT").c_str());
        log_ = std::make_unique<gui::SimLog>(env("VORLANT_GUI_SIM_LOG"));
        log_->newRequests();  // what earlier tests left
        launch();
    }
    void launch() {
        program_ = std::make_unique<gui::Program>();
        ASSERT_TRUE(program_->start(env("VORLANT_GUI_EXE")));
        main_ = gui::waitForDialog(program_->id(), kMainCaption, 20000);
        ASSERT_NE(main_, nullptr) << "the main window did not appear";
        controls_ = std::make_unique<RemoteControls>(main_);
    }
    // The close box's keyboard twin; the program's exit code.
    int closeProgram() {
        gui::pressKey(main_, VK_F4, false, true);
        const int code = program_->waitExit(15000);
        main_ = nullptr;
        return code;
    }
    void TearDown() override {
        if (main_ == nullptr || program_ == nullptr || !program_->running()) return;
        EXPECT_EQ(closeProgram(), 0);
    }

    const RemoteControls& c() const { return *controls_; }
    std::string status() const { return c().text(MainId::StatusLine); }
    bool waitStatus(const char* text, int ms = kReadOutMs) {
        return gui::waitFor([&] { return status() == text; }, ms);
    }

    // The port list is a drop-down list: open it, walk to the port, Enter.
    void choosePort(int port) {
        gui::clickControl(main_, MainId::PortCombo);
        gui::pressKey(main_, VK_HOME);
        for (int i = 1; i < port; ++i) gui::pressKey(main_, VK_DOWN);
        gui::pressKey(main_, VK_RETURN);
    }
    void connect(bool fast = false) {
        choosePort(port_);
        ASSERT_EQ(c().comboSelection(MainId::PortCombo), port_ - 1);
        if (fast != c().isChecked(MainId::Baud115200)) gui::clickControl(main_, MainId::Baud115200);
        ASSERT_EQ(c().isChecked(MainId::Baud115200), fast);
        gui::clickControl(main_, MainId::Connect);
    }
    // The requests the controller receives from here until `expected` many
    // have come and no more follow for a while.
    Frames requests(std::size_t expected, int ms = 5000) {
        Frames got;
        gui::waitFor(
            [&] {
                for (const std::string& f : log_->newRequests()) got.push_back(f);
                return got.size() >= expected;
            },
            ms);
        Sleep(kQuietMs);
        for (const std::string& f : log_->newRequests()) got.push_back(f);
        return got;
    }
    // Opens a secondary dialog with its button; null if it did not open.
    HWND open(int button, const wchar_t* caption) {
        gui::clickControl(main_, button);
        return gui::waitForDialog(program_->id(), caption, 10000);
    }
    void closeWith(HWND dialog, int button) {
        gui::clickControl(dialog, button);
        EXPECT_TRUE(gui::waitGone(dialog, kDialogGoneMs));
    }

    std::unique_ptr<gui::Program> program_;
    HWND main_ = nullptr;
    int port_ = 0;
    std::unique_ptr<RemoteControls> controls_;
    std::unique_ptr<gui::SimLog> log_;
};

// Starts the program for this run's simulator, or leaves the test.
#define START_FOR(profile) \
    startFor(profile);     \
    if (IsSkipped() || HasFatalFailure()) return

// ---- A class-5 controller --------------------------------------------------

TEST_F(Gui, Class5EveryInputSendsExactlyItsRequest) {
    START_FOR("class5");
    const sim::SimState s = sim::initialState(sim::SimProfile::Class5);
    EXPECT_EQ(status(), "");
    EXPECT_FALSE(c().isEnabled(MainId::MeasureVoltage));

    connect();
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    EXPECT_EQ(requests(kClass5ReadOut.size()), kClass5ReadOut);
    EXPECT_EQ(c().text(MainId::DeviceInfo), "HW:0.1.1.5 | FW:1.0.0.9 | Port type:4");
    test::expectShown(c(), s);
    EXPECT_TRUE(c().isEnabled(MainId::AdvancedSettings));

    // A click on a thumb that does not move it changes nothing; an arrow key
    // then moves the bar one step and its release sends.
    for (int bar : {MainId::RaAccelerationTrack, MainId::DeMaxSpeedTrack, MainId::RaIncCurrentTrack})
        gui::clickThumb(main_, program_->process(), bar);
    EXPECT_EQ(requests(0), Frames{});
    gui::clickThumb(main_, program_->process(), MainId::RaMaxSpeedTrack);  // 800 shown at 26
    ASSERT_TRUE(gui::waitFocus(main_, MainId::RaMaxSpeedTrack, 5000));
    gui::pressKey(main_, VK_RIGHT);
    EXPECT_EQ(requests(1), Frames{"AA 07 35 00 C0 48 03 8A 02"});  // 840, 650
    EXPECT_EQ(c().text(MainId::RaMaxSpeedEdit), "840");

    // An edit sends when it loses the focus (here to Tab), once; 300 is
    // held at the 8-bit 255. Whether typing alone sends nothing is left to
    // the logic's tests: under Wine a loaded machine can re-activate the
    // window while the keys go in, which moves the focus on its own.
    gui::replaceEditText(main_, MainId::RaAccelerationEdit, "300");
    gui::pressKey(main_, VK_TAB);
    EXPECT_EQ(requests(1), Frames{"AA 05 37 00 C0 FF 5A"});
    EXPECT_EQ(c().text(MainId::RaAccelerationEdit), "255");

    // A check box: all three flag bytes (RA rotation now off).
    gui::clickControl(main_, MainId::RaReverseRotation);
    EXPECT_EQ(requests(1), Frames{"AA 06 32 00 C0 00 02 03"});

    // Motion at "Sidereal" speed (position 2: the sidereal rate itself,
    // negated for north on this mount), then Stop.
    gui::clickControl(main_, MainId::Sidereal);
    ASSERT_TRUE(gui::waitFor([&] { return c().trackPos(MainId::ManualSpeed) == 2; }, 3000));
    gui::clickControl(main_, MainId::MoveNorth);
    EXPECT_EQ(requests(1), Frames{"AA 07 23 00 40 3B D2 FF FF"});
    gui::clickControl(main_, MainId::Stop);
    EXPECT_EQ(requests(1), Frames{"AA 03 21 00 C0"});

    gui::clickControl(main_, MainId::MeasureVoltage);
    EXPECT_EQ(requests(1), Frames{"AA 03 2B 00 00"});
    char volts[16];
    std::snprintf(volts, sizeof volts, "%2u.%02uV", s.supplyVoltage / 100u, s.supplyVoltage % 100u);
    EXPECT_TRUE(gui::waitFor([&] { return c().text(MainId::VoltageDisplay) == volts; }, 3000))
        << c().text(MainId::VoltageDisplay) << " for " << s.supplyVoltage;

    gui::clickControl(main_, MainId::SaveSettings);
    EXPECT_EQ(requests(1), Frames{"AA 02 0D 01"});

    gui::clickControl(main_, MainId::Disconnect);
    EXPECT_TRUE(waitStatus("Connection closed", 10000)) << status();
    EXPECT_FALSE(c().isEnabled(MainId::MeasureVoltage));
    EXPECT_EQ(requests(0), Frames{});
}

TEST_F(Gui, Class5SecondaryDialogsAndReloadAt115200) {
    START_FOR("class5");
    connect(true);
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    requests(kClass5ReadOut.size());

    // Gear ratios: Ok sends both and the program reads them back; Cancel and
    // Escape send nothing.
    HWND gear = open(MainId::ChangeGearRatio, L"Set gear ratio");
    ASSERT_NE(gear, nullptr);
    const RemoteControls g(gear);
    const std::string de = g.text(GearRatioId::DeEdit);
    gui::replaceEditText(gear, GearRatioId::RaEdit, "2000000");
    closeWith(gear, GearRatioId::Ok);
    const Frames gearFrames = requests(2);
    ASSERT_EQ(gearFrames.size(), 2u);
    EXPECT_EQ(gearFrames[0].substr(0, 26), "AA 0B 1A 01 C0 80 84 1E 00");
    EXPECT_EQ(gearFrames[1], "AA 01 14");
    EXPECT_TRUE(gui::waitFor([&] { return c().text(MainId::RaGearRatio) == "2000000"; }, 5000));
    EXPECT_EQ(c().text(MainId::DeGearRatio), de);

    gear = open(MainId::ChangeGearRatio, L"Set gear ratio");
    ASSERT_NE(gear, nullptr);
    gui::replaceEditText(gear, GearRatioId::RaEdit, "1");
    closeWith(gear, GearRatioId::Cancel);
    gear = open(MainId::ChangeGearRatio, L"Set gear ratio");
    ASSERT_NE(gear, nullptr);
    gui::pressKey(gear, VK_ESCAPE);
    EXPECT_TRUE(gui::waitGone(gear, kDialogGoneMs));
    EXPECT_EQ(requests(0), Frames{});

    // Advanced settings: an untouched Ok sends nothing; a changed hysteresis
    // sends only the flip block.
    HWND advanced = open(MainId::AdvancedSettings, L"Advanced settings");
    ASSERT_NE(advanced, nullptr);
    closeWith(advanced, AdvancedSettingsId::Ok);
    EXPECT_EQ(requests(0), Frames{});
    advanced = open(MainId::AdvancedSettings, L"Advanced settings");
    ASSERT_NE(advanced, nullptr);
    gui::replaceEditText(advanced, AdvancedSettingsId::HysteresisEdit, "12");
    closeWith(advanced, AdvancedSettingsId::Ok);
    EXPECT_EQ(requests(1), Frames{"AA 06 3E 01 01 21 43 0C"});
    EXPECT_TRUE(waitStatus("Settings done.", 5000)) << status();

    // Factory defaults: the request, then the read-out again.
    gui::clickControl(main_, MainId::ReloadDefaults);
    EXPECT_EQ(requests(5), (Frames{"AA 02 0C 01", "AA 01 14", "AA 01 15", "AA 01 3D", "AA 01 64"}));
    EXPECT_TRUE(waitStatus("Default settings reloaded", 10000)) << status();
    gui::clickControl(main_, MainId::Disconnect);
    EXPECT_TRUE(waitStatus("Connection closed", 10000)) << status();
}

// Closing the window while connected and while the read-out runs, again and
// again: the program ends with 0 each time and leaves nothing running.
TEST_F(Gui, Class5ClosingConnectedOrDuringTheReadOutEndsCleanly) {
    START_FOR("class5");
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) launch();
        if (HasFatalFailure()) return;
        connect();
        const bool duringReadOut = round % 2 == 1;
        if (duringReadOut) {
            ASSERT_TRUE(waitStatus("Connecting...", 5000)) << status();
        } else {
            ASSERT_TRUE(waitStatus("Connection established.")) << status();
        }
        EXPECT_EQ(closeProgram(), 0);
        EXPECT_FALSE(program_->running());
    }
}

// The pictures of docs/screenshots/, made only when the screenshot script
// asks (VORLANT_SCREENSHOT_DIR): the main window before and after the
// read-out, and the three dialogs.
TEST_F(Gui, Class5Screenshots) {
    const std::string dir = env("VORLANT_SCREENSHOT_DIR");
    if (dir.empty()) GTEST_SKIP() << "screenshots are made by scripts/screenshots.sh";
    START_FOR("class5");
    Sleep(500);  // the first paint
    EXPECT_TRUE(gui::saveWindowImage(main_, dir + "/main-disconnected.bmp"));
    connect();
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    gui::clickControl(main_, MainId::MeasureVoltage);
    ASSERT_TRUE(gui::waitFor([&] { return !c().text(MainId::VoltageDisplay).empty(); }, 3000));
    gui::clickControl(main_, MainId::StatusLine);  // the focus away from the button
    Sleep(300);
    EXPECT_TRUE(gui::saveWindowImage(main_, dir + "/main-connected.bmp"));
    const struct {
        int button;
        const wchar_t* caption;
        int close;
        const char* file;
    } dialogs[] = {
        {MainId::ChangeGearRatio, L"Set gear ratio", GearRatioId::Cancel, "gear-ratio"},
        {MainId::AdvancedSettings, L"Advanced settings", AdvancedSettingsId::Cancel, "advanced-settings"},
        {MainId::About, L"Vorlant 2.4", AboutId::Exit, "about"},
    };
    for (const auto& d : dialogs) {
        HWND w = open(d.button, d.caption);
        ASSERT_NE(w, nullptr) << d.file;
        Sleep(300);
        EXPECT_TRUE(gui::saveWindowImage(w, dir + "/" + d.file + ".bmp"));
        closeWith(w, d.close);
    }
}

// ---- Other controllers -------------------------------------------------------

TEST_F(Gui, Class1ShowsItsIdentityAndNoParameterControls) {
    START_FOR("class1");
    connect();
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    const sim::SimState s = sim::initialState(sim::SimProfile::Class1);
    EXPECT_EQ(c().text(MainId::RaGearRatio), std::to_string(s.raGearRatio));
    for (int id : {201, 203, 210, 211, 213, 220, 230, 235, 242, 250, 253, 260, 301, 311, 333, 360})
        EXPECT_FALSE(c().isEnabled(id)) << id;
    EXPECT_TRUE(c().isEnabled(MainId::ChangeGearRatio));
    EXPECT_FALSE(c().isEnabled(MainId::AdvancedSettings));
}

TEST_F(Gui, SilentControllerTimesOut) {
    START_FOR("silent");
    connect();
    EXPECT_TRUE(waitStatus("Error: Cannot connect: Timeout error", 20000)) << status();
    EXPECT_FALSE(c().isEnabled(MainId::MeasureVoltage));
    EXPECT_TRUE(c().isEnabled(MainId::Connect));
}

TEST_F(Gui, TooOldControllerIsNamed) {
    START_FOR("too-old");
    connect();
    EXPECT_TRUE(waitStatus("Error: The connected Brask is too old. Use Vorlant 1.0.")) << status();
}

// The controller stops answering during the read-out after a defaults reload
// (the simulator answers 8 requests): the port is closed by the time-out, and
// the dialog shows its disconnected controls.
TEST_F(Gui, TimeOutDuringTheReReadLeavesNoControlLive) {
    START_FOR("class5-mute");
    connect();
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    gui::clickControl(main_, MainId::ReloadDefaults);
    EXPECT_TRUE(waitStatus("Error: Cannot connect: Timeout error", 20000)) << status();
    EXPECT_FALSE(c().isEnabled(MainId::ReloadDefaults));
    EXPECT_FALSE(c().isEnabled(MainId::RaMaxSpeedTrack));
    EXPECT_TRUE(c().isEnabled(MainId::Connect));
}

// The controller stops answering after the read-out (a power dip with the
// adapter still plugged in): the voltage request runs into its time-out,
// the window says so, and the next command still goes out.
TEST_F(Gui, AnUnansweredRequestEndsAndTheNextCommandGoesOut) {
    START_FOR("class5-mute7");
    connect();
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    requests(kClass5ReadOut.size());
    const std::string volts = c().text(MainId::VoltageDisplay);
    gui::clickControl(main_, MainId::MeasureVoltage);
    EXPECT_EQ(requests(1), Frames{"AA 03 2B 00 00"});
    const DWORD asked = GetTickCount();
    ASSERT_TRUE(waitStatus("Error: Communication error", 15000)) << status();
    const DWORD waited = GetTickCount() - asked;
    EXPECT_GE(waited, 7000u);  // 32 heartbeat ticks of 250 ms, less the log's delay
    EXPECT_LE(waited, 11000u);
    EXPECT_EQ(c().text(MainId::VoltageDisplay), volts);
    EXPECT_TRUE(c().isEnabled(MainId::Disconnect));
    gui::clickControl(main_, MainId::SaveSettings);
    EXPECT_EQ(requests(1), Frames{"AA 02 0D 01"});
}

// A voltage click while the gear write awaits its (slow) acknowledgement is
// refused and changes nothing: the re-read follows and shows the new ratio.
TEST_F(Gui, AVoltageClickDuringAGearWriteIsRefused) {
    START_FOR("class5-slow");
    connect();
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    requests(kClass5ReadOut.size());
    const std::string volts = c().text(MainId::VoltageDisplay);
    HWND gear = open(MainId::ChangeGearRatio, L"Set gear ratio");
    ASSERT_NE(gear, nullptr);
    gui::replaceEditText(gear, GearRatioId::RaEdit, "2000000");
    closeWith(gear, GearRatioId::Ok);
    // Each reply comes 4 s after its request: the write and its re-read are
    // outstanding for about 8 s after Ok.
    gui::clickControl(main_, MainId::MeasureVoltage);
    EXPECT_TRUE(waitStatus("Error: Communication error", 3000)) << status();
    const Frames sent = requests(2, 15000);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].substr(0, 8), "AA 0B 1A");
    EXPECT_EQ(sent[1], "AA 01 14");
    EXPECT_TRUE(gui::waitFor([&] { return c().text(MainId::RaGearRatio) == "2000000"; }, 10000))
        << c().text(MainId::RaGearRatio);
    EXPECT_EQ(c().text(MainId::VoltageDisplay), volts);
}

// The simulator closes the line mid-session (after 8 requests): the window
// answers and says so.
TEST_F(Gui, ControllerVanishingMidSession) {
    START_FOR("class5-vanish");
    connect();
    ASSERT_TRUE(waitStatus("Connection established.")) << status();
    gui::clickControl(main_, MainId::MeasureVoltage);
    gui::clickControl(main_, MainId::SaveSettings);
    EXPECT_TRUE(waitStatus("Connection closed. The device was disconnected.", 10000)) << status();
    EXPECT_TRUE(c().isEnabled(MainId::Connect));
    EXPECT_FALSE(c().isEnabled(MainId::MeasureVoltage));
}

}  // namespace
}  // namespace vorlant
