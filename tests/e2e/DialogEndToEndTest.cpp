// The main dialog's logic wired to the real engine and the simulator program
// the way the programs wire them (app/AppShell.h), with test controls in
// place of the window: what the user does in the dialog against what the
// controller receives (the simulator's request log) and what the dialog
// then shows. Ticks are driven by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/AppShell.h"
#include "backup/SettingsFile.h"
#include "engine/TelescopeControl.h"
#include "tests/e2e/SimLink.h"
#include "tests/support/FakeTransferHost.h"
#include "tests/support/ShownSettings.h"
#include "tests/support/SimExpect.h"
#include "tests/ui/FakeControls.h"
#include "tools/simulator/SimState.h"
#include "ui/AppModel.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"
#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"
#include "ui/SettingsTransfer.h"

namespace vorlant {
namespace {

using Frames = std::vector<std::string>;

// The main dialog's controls, as its template lays them out.
test::FakeControls mainDialogControls() {
    return test::FakeControls(kDialogMain);
}

// Stands in for the window: counts the announcements the bridge posts.
class CountingWindow : public DialogWindow {
public:
    void postToWindow(uint32_t wParam, int32_t) override {
        if (wParam == kReportReady) ++posted;
    }
    std::atomic<int> posted{0};
};

// A frame as the simulator logs it: "AA 01 01".
std::string hex(std::initializer_list<uint32_t> bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint32_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[(b >> 4) & 0x0F];
        text += kDigits[b & 0x0F];
    }
    return text;
}

// The controls that hold a value of the parameter block.
const std::vector<int> kParameterControls = {
    201, 202, 203, 210, 211, 212, 213, 214, 215, 220, 230, 231, 232, 233, 234, 235,
    240, 241, 242, 250, 251, 252, 253, 260, 301, 302, 303, 310, 311, 312, 313, 314,
    315, 320, 330, 331, 332, 333, 334, 335, 340, 341, 342, 350, 351, 352, 353, 360,
};

const Frames kClass1ReadOut = {"AA 01 01", "AA 01 03", "AA 01 02", "AA 01 14", "AA 01 15"};
const Frames kClass5ReadOut = {"AA 01 01", "AA 01 03", "AA 01 02", "AA 01 14",
                               "AA 01 15", "AA 01 3D", "AA 01 64"};

// The simulator's arguments: its log on its standard output.
const std::vector<std::string> kLogToOutput = {"--log", "-"};

// The objects of the program, wired to a simulator started with kLogToOutput.
class Session {
public:
    explicit Session(e2e::SimLink& simulator) : link(simulator) {
        TelescopeControl::Options options;
        options.connectSettleMs = 50;
        options.readerStopWaitMs = 3000;
        engine = std::make_unique<TelescopeControl>(&bridge, options);
        dlg = std::make_unique<DlgConfig>(*engine, bridge);
        bridge.setDialogCallback(dlg.get());
        setActiveDialog(&window);
        dlg->initDialog(controls, host);
    }
    ~Session() {
        setActiveDialog(nullptr);
        bridge.setDialogCallback(nullptr);
        dlg.reset();
        engine.reset();
    }

    // Lets the line and the engine catch up, then does what the window does
    // on an announcement.
    void pause() {
        ASSERT_TRUE(engine->drain(5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        ASSERT_TRUE(engine->drain(5000));
        bridge.deliverPendingReport(kReportReady, 0);
    }
    // Ticks until `done` holds; false if it never did.
    bool tickUntil(const std::function<bool()>& done, int maxTicks = 60) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done()) return true;
            engine->tick();
            pause();
        }
        return done();
    }
    bool shows(int id, const std::string& text) const { return controls.text(id) == text; }

    // Clicks Connect with the simulator's port selected; true once the
    // read-out is shown.
    bool connect() {
        controls.select(MainId::PortCombo, link.port() - 1);  // item i is port i + 1
        dlg->command(MainId::Connect);
        pause();
        return tickUntil(
            [&] { return shows(MainId::StatusLine, statusTextAscii(StatusCode::ConnectionEstablished)); });
    }

    // Clicks Disconnect; then the request frames the simulator logged in the
    // whole session, up to its "peer closed" line.
    Frames disconnect() {
        dlg->command(MainId::Disconnect);
        pause();
        EXPECT_TRUE(shows(MainId::StatusLine, statusTextAscii(StatusCode::ConnectionClosed)));
        Frames frames;
        for (;;) {
            const std::string line = link.readLine(5000);
            if (line.empty()) {
                frames.push_back("(no end of session in the log)");
                return frames;
            }
            if (line.find("peer closed") != std::string::npos) return frames;
            const size_t at = line.find("] AA ");
            if (at != std::string::npos) frames.push_back(line.substr(at + 2, line.find("  ", at) - at - 2));
        }
    }

    e2e::SimLink& link;
    CountingWindow window;
    AppModel bridge;
    test::FakeControls controls = mainDialogControls();
    test::FakeHost host;
    std::unique_ptr<TelescopeControl> engine;
    std::unique_ptr<DlgConfig> dlg;
};

std::vector<int> enabledOf(const test::FakeControls& c, const std::vector<int>& ids) {
    std::vector<int> enabled;
    for (int id : ids) {
        if (c.isEnabled(id)) enabled.push_back(id);
    }
    return enabled;
}

TEST(DialogEndToEnd, Class5ReadOutThenRampsAndGearRatiosReachTheController) {
    e2e::SimLink link("class5", kLogToOutput);
    VORLANT_NEED_SIM(link);
    Session session(link);
    test::FakeControls& c = session.controls;
    DlgConfig& dlg = *session.dlg;
    const sim::SimState s = sim::initialState(sim::SimProfile::Class5);

    ASSERT_TRUE(session.connect());
    EXPECT_GT(session.window.posted.load(), 0);
    EXPECT_EQ(c.text(MainId::DeviceInfo), "HW:0.1.1.5 | FW:1.0.0.9 | Port type:4");
    test::expectShown(c, s);
    EXPECT_EQ(enabledOf(c, kParameterControls), kParameterControls);
    EXPECT_TRUE(c.isEnabled(MainId::AdvancedSettings));

    // RA acceleration bar released at 5 (80). Dec keeps its value, though
    // its bar (at 6 for 90) would read back as 96.
    c.drag(MainId::RaAccelerationTrack, 5);
    dlg.trackBarReleased(MainId::RaAccelerationTrack);
    EXPECT_EQ(c.text(MainId::RaAccelerationEdit), "80");
    EXPECT_EQ(c.text(MainId::DeAccelerationEdit), std::to_string(s.deAcceleration));
    // A typed value above the 8-bit setting is sent as its largest value.
    c.type(MainId::RaAccelerationEdit, "300");
    dlg.editLostFocus(MainId::RaAccelerationEdit);
    EXPECT_EQ(c.text(MainId::RaAccelerationEdit), "255");

    session.host.editGearRatios = [](GearRatios& r) {
        r.raRatio = 2000000;
        r.deRatio = 1500000;
    };
    session.host.gearRatioResult = 1;
    dlg.command(MainId::ChangeGearRatio);
    EXPECT_EQ(session.host.calls, (std::vector<std::string>{"gearRatio(" + std::to_string(s.raGearRatio) +
                                                            "," + std::to_string(s.deGearRatio) + ")"}));
    // The engine writes them, reads the gear block back and reports it.
    EXPECT_TRUE(session.tickUntil([&] { return session.shows(MainId::RaGearRatio, "2000000"); }, 40));
    EXPECT_EQ(c.text(MainId::DeGearRatio), "1500000");

    Frames expected = kClass5ReadOut;
    expected.push_back(hex({0xAA, 0x05, 55, 0x00, 0xC0, 80, s.deAcceleration}));
    expected.push_back(hex({0xAA, 0x05, 55, 0x00, 0xC0, 255, s.deAcceleration}));
    // 2000000 = 0x1E8480, 1500000 = 0x16E360, little-endian.
    expected.push_back(hex({0xAA, 0x0B, 26, 0x01, 0xC0, 0x80, 0x84, 0x1E, 0x00, 0x60, 0xE3, 0x16, 0x00}));
    expected.push_back(hex({0xAA, 0x01, 20}));
    EXPECT_EQ(session.disconnect(), expected);
}

TEST(DialogEndToEnd, Class1ShowsIdentityAndGearRatiosAndNoParameterControls) {
    e2e::SimLink link("class1", kLogToOutput);
    VORLANT_NEED_SIM(link);
    Session session(link);
    const test::FakeControls& c = session.controls;
    const sim::SimState s = sim::initialState(sim::SimProfile::Class1);

    ASSERT_TRUE(session.connect());
    EXPECT_EQ(c.text(MainId::DeviceInfo), "HW:0.1.1.1 | FW:1.0.0.0 | Port type:4");
    EXPECT_EQ(c.text(MainId::RaGearRatio), std::to_string(s.raGearRatio));
    EXPECT_EQ(c.text(MainId::DeGearRatio), std::to_string(s.deGearRatio));
    // A class-1 read-out decodes no parameter block: nothing to show or send.
    EXPECT_EQ(enabledOf(c, kParameterControls), std::vector<int>{});
    EXPECT_FALSE(c.isEnabled(MainId::AdvancedSettings));
    EXPECT_TRUE(c.isEnabled(MainId::ChangeGearRatio));
    EXPECT_TRUE(c.isEnabled(MainId::MeasureVoltage));

    EXPECT_EQ(session.disconnect(), kClass1ReadOut);
}

// The programs' shell: VORLANT_TRACE asks for a trace; without it, or with
// a file that cannot be opened, the program runs on untraced, and in the
// second case the window is told why.
TEST(ProgramShell, TraceOnlyWhenAskedForAndOpenable) {
#ifdef _WIN32
    GTEST_SKIP() << "the environment is set the POSIX way";
#else
    const std::string good = ::testing::TempDir() + "vorlant_shell_trace.txt";
    const struct {
        const char* value;  // null: unset
        const char* limit;  // VORLANT_TRACE_LIMIT_MB; null: unset
        bool traced;
        const char* note;  // how the window is told there is no trace; null: not at all
    } cases[] = {{nullptr, nullptr, false, nullptr},
                 {"", "lots", false, nullptr},
                 {"/nonexistent-dir/trace.txt", nullptr, false, "No trace: cannot open the trace file"},
                 {good.c_str(), nullptr, true, nullptr},
                 {good.c_str(), "2", true, nullptr},
                 {good.c_str(), "0", false, "No trace: VORLANT_TRACE_LIMIT_MB is '0'"}};
    for (const auto& c : cases) {
        const auto put = [](const char* name, const char* value) {
            if (value)
                ::setenv(name, value, 1);
            else
                ::unsetenv(name);
        };
        put("VORLANT_TRACE", c.value);
        put("VORLANT_TRACE_LIMIT_MB", c.limit);
        std::string note;
        EXPECT_EQ(engineOptionsFromEnvironment(&note).trace != nullptr, c.traced)
            << (c.value ? c.value : "unset");
        if (c.note)
            EXPECT_EQ(note.rfind(c.note, 0), 0u) << note;
        else
            EXPECT_EQ(note, "");
    }
    ::unsetenv("VORLANT_TRACE");
    ::unsetenv("VORLANT_TRACE_LIMIT_MB");
    std::remove(good.c_str());
#endif
}

using test::FakeTransferHost;

// The text with one member of the settings file set to `value`.
std::string withMember(std::string text, const std::string& name, const std::string& value) {
    const std::string key = "\"" + name + "\": ";
    const size_t at = text.find(key) + key.size();
    return text.replace(at, text.find_first_of(",\n", at) - at, value);
}

void writeText(const std::string& path, const std::string& text) {
    std::string error;
    ASSERT_TRUE(backup::writeSettingsText(path, text, error)) << error;
}

// Export from the window, then imports through its logic of a changed, a
// foreign and a corrupt file: what the user is shown, and what the
// controller receives (the simulator's log).
TEST(DialogEndToEnd, ExportAndImportThroughTheWindowsLogic) {
    e2e::SimLink link("class5", kLogToOutput);
    VORLANT_NEED_SIM(link);
    Session session(link);
    FakeTransferHost host;
    session.dlg->setTransferHost(&host);
    const sim::SimState s = sim::initialState(sim::SimProfile::Class5);
    const std::string file = ::testing::TempDir() + "vorlant_transfer_" + std::to_string(link.port());

    // The frames the simulator logged since the last call.
    const auto logged = [&] {
        Frames frames;
        for (std::string line = link.readLine(500); !line.empty(); line = link.readLine(300)) {
            const size_t at = line.find("] AA ");
            if (at != std::string::npos) frames.push_back(line.substr(at + 2, line.find("  ", at) - at - 2));
        }
        return frames;
    };
    // Runs one menu command to its end; the frames the simulator got.
    const auto transfer = [&](int id) {
        session.dlg->menuCommand(id);
        session.pause();
        EXPECT_TRUE(session.tickUntil([&] { return !session.dlg->transfer().busy(); }, 300))
            << id << ": " << session.controls.text(MainId::StatusLine);
        return logged();
    };
    const auto writes = [](const Frames& frames) {
        std::vector<int> ids;
        for (const std::string& f : frames) {
            const int id = std::stoi(f.substr(6, 2), nullptr, 16);
            if (test::isWriteRequest(static_cast<uint8_t>(id))) ids.push_back(id);
        }
        return ids;
    };

    // Export while connected: a fresh read-out, written as the tool writes it.
    ASSERT_TRUE(session.connect());
    logged();
    host.path = file;
    EXPECT_EQ(transfer(MenuCommandId::ExportSettings), kClass5ReadOut);
    ASSERT_EQ(host.messages.back(), "info: Exported the settings to " + file + ".");
    std::string exported, error;
    ASSERT_TRUE(backup::readSettingsText(file, exported, error)) << error;
    EXPECT_EQ(exported, backup::settingsToJson(test::expectedReadout(sim::SimProfile::Class5), true));

    // A changed file: listed field by field; nothing sent until agreed.
    const int acceleration = s.raAcceleration + 16;
    std::string changed = withMember(exported, "raAcceleration", std::to_string(acceleration));
    changed = withMember(changed, "deOvertone", "-7");
    changed = withMember(changed, "latitude", "864000");
    writeText(file, changed);
    host.agree = false;
    EXPECT_EQ(writes(transfer(MenuCommandId::ImportSettings)), std::vector<int>{});
    EXPECT_EQ(host.asked, 1);
    EXPECT_EQ(host.messages.size(), 1u);
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].field, "raAcceleration");
    EXPECT_EQ(host.rows[0].controllerValue, std::to_string(s.raAcceleration));
    EXPECT_EQ(host.rows[0].fileValue, std::to_string(acceleration));
    EXPECT_EQ(host.rows[1].field, "deOvertone");
    EXPECT_EQ(host.rows[1].fileValue, "-7");
    EXPECT_EQ(host.rows[2].field, "latitude");
    EXPECT_EQ(host.rows[2].fileValue, "864000  (10:00:00)");

    host.agree = true;
    const std::vector<int> sent = writes(transfer(MenuCommandId::ImportSettings));
    EXPECT_EQ(host.messages.back(),
              "info: Imported " + file + ": 3 settings changed, read back and confirmed.");
    EXPECT_EQ(sent.size(), 3u);
    EXPECT_EQ(session.controls.text(MainId::RaAccelerationEdit), std::to_string(acceleration));
    EXPECT_EQ(session.controls.text(MainId::DeOvertoneEdit), "-7");

    // Another family: refused with the field named after the read-out.
    writeText(file, withMember(exported, "deviceFamily", "3"));
    Frames frames = transfer(MenuCommandId::ImportSettings);
    EXPECT_EQ(frames, kClass5ReadOut);
    EXPECT_EQ(writes(frames), std::vector<int>{});
    EXPECT_NE(host.messages.back().find("error: Import failed: " + file + ": field deviceFamily"),
              std::string::npos)
        << host.messages.back();
    EXPECT_NE(host.messages.back().find("nothing was sent"), std::string::npos);

    // A value out of range, and a corrupt file: refused before anything is
    // sent, the read-out requests included.
    writeText(file, withMember(exported, "raAcceleration", "256"));
    EXPECT_EQ(transfer(MenuCommandId::ImportSettings), Frames{});
    EXPECT_NE(host.messages.back().find("raAcceleration"), std::string::npos) << host.messages.back();
    writeText(file, exported.substr(0, exported.size() / 2));
    EXPECT_EQ(transfer(MenuCommandId::ImportSettings), Frames{});
    EXPECT_NE(host.messages.back().find("error: Import failed: " + file + ": not valid JSON"),
              std::string::npos)
        << host.messages.back();
    EXPECT_NE(host.messages.back().find("nothing was sent"), std::string::npos);
    EXPECT_EQ(host.asked, 2);
    std::remove(file.c_str());
}

}  // namespace
}  // namespace vorlant
