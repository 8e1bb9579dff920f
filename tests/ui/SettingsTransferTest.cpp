// The settings transfer's steps over scripted reports: how each way a
// read-out or a send can end shows, and that an import's commands wait
// for each exchange the engine must finish first.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "backup/SettingsFile.h"
#include "tests/support/FakeTransferHost.h"
#include "tests/ui/FakeControls.h"
#include "ui/AppModel.h"
#include "ui/DlgConfig.h"
#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"
#include "ui/SettingsTransfer.h"

namespace vorlant {
namespace {

ControllerSettings class5() {
    ControllerSettings s{};
    s.versionClass = 5;
    s.deviceFamily = 1;
    s.raGearRatio = 1000;
    s.deGearRatio = 1000;
    s.raAcceleration = 10;
    return s;
}

constexpr int kSettingsReport = -1;  // in a script: a settings report of kind `second`

struct Report {
    int code;  // a status, or kSettingsReport
    int kind;
};

void play(SettingsTransfer& t, const std::vector<Report>& script, const ControllerSettings& s) {
    for (const Report& r : script) {
        if (r.code == kSettingsReport)
            t.onSettings(s, r.kind);
        else
            t.onStatus(r.code);
    }
}

TEST(SettingsTransfer, ExportEndsWithItsReadOut) {
    const int done = SettingsReportKind::ReadoutComplete;
    struct Case {
        const char* name;
        std::vector<Report> script;
        const char* message;
        std::vector<std::string> calls;
    };
    const std::vector<std::string> once = {"connect(3,9600)"};
    const Case cases[] = {
        {"written", {{1, 0}, {2, 0}, {kSettingsReport, done}}, "info: Exported the settings to ", once},
        {"no such port",
         {{1, 0}, {6, 0}},
         "error: Export failed: the read-out ended with \"Error: Cannot open port.\"",
         once},
        {"engine without its queue", {{6, 0}}, "error: Export failed: the read-out ended with", once},
        {"silent",
         {{1, 0}, {2, 0}, {7, 0}},
         "error: Export failed: the read-out ended with \"Error: Cannot connect",
         once},
        {"too old",
         {{1, 0}, {2, 0}, {kSettingsReport, SettingsReportKind::DeviceTooOld}},
         "error: Export failed: Error: The connected Brask is too old",
         once},
        // The user's own connect got there first: closed and opened again.
        {"already connected",
         {{11, 0}, {4, 0}, {1, 0}, {2, 0}, {kSettingsReport, done}},
         "info: Exported",
         {"connect(3,9600)", "disconnect()", "connect(3,9600)"}},
        // A Connect clicked during the read-out is refused; the read-out goes on.
        {"connect refused meanwhile",
         {{1, 0}, {2, 0}, {11, 0}, {kSettingsReport, done}},
         "info: Exported",
         once},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeEngine engine;
        test::FakeTransferHost host;
        host.path = ::testing::TempDir() + "vorlant_transfer_export.json";
        std::remove(host.path.c_str());
        SettingsTransfer t(engine);
        t.startExport(host, 3, 9600);
        EXPECT_TRUE(t.busy());
        play(t, c.script, class5());
        EXPECT_FALSE(t.busy());
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].find(c.message), 0u) << host.messages[0];
        EXPECT_EQ(engine.calls, c.calls);
        std::string text, error;
        EXPECT_EQ(backup::readSettingsText(host.path, text, error), host.messages[0][0] == 'i');
        std::remove(host.path.c_str());
    }
}

TEST(SettingsTransfer, ImportWaitsForEachExchangeThenReadsBack) {
    const ControllerSettings before = class5();
    ControllerSettings wanted = before;
    wanted.raGearRatio = 2000;
    wanted.raAcceleration = 20;
    test::FakeEngine engine;
    test::FakeTransferHost host;
    host.path = ::testing::TempDir() + "vorlant_transfer_import.json";
    std::string error;
    ASSERT_TRUE(backup::writeSettingsText(host.path, backup::settingsToJson(wanted, true), error));
    SettingsTransfer t(engine);

    // A connection is open: it is closed first.
    t.onStatus(StatusCode::Connecting);
    t.startImport(host, 3, 9600);
    play(t, {{1, 0}, {2, 0}, {kSettingsReport, SettingsReportKind::ReadoutComplete}}, before);
    // The gear write is answered by its re-read before anything else goes.
    EXPECT_EQ(engine.calls,
              (std::vector<std::string>{"disconnect()", "connect(3,9600)", "setGearRatios(2000,1000)"}));
    t.onSettings(wanted, SettingsReportKind::GearRatiosChanged);
    EXPECT_EQ(engine.calls.back(), "measureSupplyVoltage()");
    EXPECT_EQ(engine.calls[engine.calls.size() - 2], "setAccelerations(20,0)");
    t.onSupplyVoltage();
    EXPECT_EQ(engine.calls.back(), "connect(3,9600)");
    play(t, {{1, 0}, {2, 0}, {kSettingsReport, SettingsReportKind::ReadoutComplete}}, wanted);
    EXPECT_FALSE(t.busy());
    EXPECT_EQ(host.messages, (std::vector<std::string>{"info: Imported " + host.path +
                                                       ": 2 settings changed, read back and confirmed."}));

    // Refused or left unanswered on the way: the message names the step
    // (and no longer says "nothing was sent").
    struct Case {
        const char* name;
        bool gearAnswered;
        int status;
        const char* message;  // null: the import goes on
    };
    const Case cases[] = {
        {"the gear write", false, StatusCode::CommunicationError,
         "error: Import failed: sending raGearRatio ended with \"Error: Communication error\"."},
        {"the delivery check", true, StatusCode::CommunicationError,
         "error: Import failed: confirming delivery ended with \"Error: Communication error\"."},
        // No plan parks: a refused park is the window's own (last: it leaves the import running).
        {"the window's park refused", false, StatusCode::ParkingUnsupported, nullptr},
    };
    for (const Case& c : cases) {
        host.messages.clear();
        t.startImport(host, 3, 9600);
        play(t, {{1, 0}, {2, 0}, {kSettingsReport, SettingsReportKind::ReadoutComplete}}, before);
        if (c.gearAnswered) t.onSettings(wanted, SettingsReportKind::GearRatiosChanged);
        t.onStatus(c.status);
        EXPECT_EQ(t.busy(), c.message == nullptr) << c.name;
        ASSERT_EQ(host.messages.size(), c.message == nullptr ? 0u : 1u) << c.name;
        if (c.message) {
            EXPECT_EQ(host.messages[0], c.message) << c.name;
        }
    }
    std::remove(host.path.c_str());
}

// Closing the window asks only while an import's commands are going out;
// No keeps the window and the import, Yes closes and sends nothing more.
TEST(SettingsTransfer, ClosingTheWindowAsksOnlyWhileAnImportSends) {
    const ControllerSettings before = class5();
    ControllerSettings wanted = before;
    wanted.raGearRatio = 2000;   // an exchange: its re-read is awaited
    wanted.raAcceleration = 20;  // a plain write: the delivery check follows
    const std::string path = ::testing::TempDir() + "vorlant_transfer_close.json";
    std::string error;
    ASSERT_TRUE(backup::writeSettingsText(path, backup::settingsToJson(wanted, true), error));

    struct Window {
        test::FakeEngine engine;
        test::FakeTransferHost transferHost;
        test::FakeControls controls{kDialogMain};
        test::FakeHost host;
        AppModel bridge;
        DlgConfig dlg{engine, bridge};
    };
    // The import's steps, in order: each case goes this far.
    auto readOut = [](DlgConfig& d, const ControllerSettings& s) {
        d.showStatus(StatusCode::OpeningPort);
        d.showStatus(StatusCode::Connecting);
        d.showSettings(&s, SettingsReportKind::ReadoutComplete);
    };
    const std::function<void(DlgConfig&)> steps[] = {
        [](DlgConfig& d) { d.menuCommand(MenuCommandId::ImportSettings); },
        [&](DlgConfig& d) { readOut(d, before); },  // the gear write goes out
        [&](DlgConfig& d) { d.showSettings(&wanted, SettingsReportKind::GearRatiosChanged); },
        [](DlgConfig& d) { d.showSupplyVoltage(1200); },  // delivered: the read-back starts
        [&](DlgConfig& d) { readOut(d, wanted); },
    };
    struct Case {
        const char* what;
        std::size_t stepsTaken;
        bool yes;  // the answer, if asked
        bool asks;
        bool closes;
    };
    const Case cases[] = {
        {"no transfer", 0, false, false, true},
        {"reading out", 1, false, false, true},
        {"gear write awaits its re-read, No", 2, false, true, false},
        {"gear write awaits its re-read, Yes", 2, true, true, true},
        {"delivery check, No", 3, false, true, false},
        {"reading back", 4, false, false, true},
        {"done", 5, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Window w;
        w.transferHost.path = path;
        w.transferHost.yes = c.yes;
        w.dlg.initDialog(w.controls, w.host);
        w.dlg.setTransferHost(&w.transferHost);
        for (std::size_t i = 0; i < c.stepsTaken; ++i) steps[i](w.dlg);
        const bool busy = w.dlg.transfer().busy();
        const std::size_t sent = w.engine.calls.size();
        EXPECT_EQ(w.dlg.closeRequested(), c.closes);
        EXPECT_EQ(w.transferHost.questions,
                  c.asks ? std::vector<std::string>{"Stop the import and close? The controller may hold part "
                                                    "of the file."}
                         : std::vector<std::string>{});
        EXPECT_EQ(w.engine.calls.size(), sent);
        // No keeps the import going; Yes abandons it: the next report sends
        // nothing and shows no message.
        EXPECT_EQ(w.dlg.transfer().busy(), busy && !(c.asks && c.yes));
        if (c.asks && c.stepsTaken < std::size(steps)) {
            steps[c.stepsTaken](w.dlg);
            EXPECT_EQ(w.engine.calls.size() > sent, !c.yes);
        }
        EXPECT_TRUE(w.transferHost.messages.empty() || !c.asks);
    }
    std::remove(path.c_str());
}

}  // namespace
}  // namespace vorlant
