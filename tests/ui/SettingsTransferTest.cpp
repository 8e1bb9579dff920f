// The settings transfer's steps over scripted reports: how each way a
// read-out or a send can end shows, and that an import's commands wait
// for each exchange the engine must finish first.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "backup/SettingsFile.h"
#include "tests/support/FakeTransferHost.h"
#include "tests/ui/FakeControls.h"
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
        const char* message;
    };
    const Case cases[] = {
        {"the gear write", false,
         "error: Import failed: sending raGearRatio ended with \"Error: Communication error\"."},
        {"the delivery check", true,
         "error: Import failed: confirming delivery ended with \"Error: Communication error\"."},
    };
    for (const Case& c : cases) {
        host.messages.clear();
        t.startImport(host, 3, 9600);
        play(t, {{1, 0}, {2, 0}, {kSettingsReport, SettingsReportKind::ReadoutComplete}}, before);
        if (c.gearAnswered) t.onSettings(wanted, SettingsReportKind::GearRatiosChanged);
        t.onStatus(StatusCode::CommunicationError);
        EXPECT_FALSE(t.busy()) << c.name;
        ASSERT_EQ(host.messages.size(), 1u) << c.name;
        EXPECT_EQ(host.messages[0], c.message) << c.name;
    }
    std::remove(host.path.c_str());
}

}  // namespace
}  // namespace vorlant
