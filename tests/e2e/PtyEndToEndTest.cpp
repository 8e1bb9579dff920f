// The engine against the simulator over a real serial line (a pty, or a
// Wine COM port mapped to one), with the OS serial port backend. Ticks are
// driven by the test; the line's own latency is waited for briefly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/TelescopeControl.h"
#include "tests/e2e/SimLink.h"
#include "tests/support/EngineHarness.h"
#include "tests/support/ParameterFields.h"
#include "tools/simulator/SimProfile.h"
#include "tools/simulator/SimState.h"

namespace vorlant {
namespace {

using test::Recorder;
using test::Report;

class Line {
public:
    Line() {
        TelescopeControl::Options options;
        options.connectSettleMs = 50;
        options.readerStopWaitMs = 3000;
        engine = std::make_unique<TelescopeControl>(&recorder, options);
    }
    // Lets the line and the engine catch up: replies take well under a
    // millisecond on a pty, a little longer through Wine.
    void pause() {
        ASSERT_TRUE(engine->drain(5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        ASSERT_TRUE(engine->drain(5000));
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            engine->tick();
            pause();
        }
    }
    bool has(int status) const {
        const auto s = recorder.statuses();
        return std::find(s.begin(), s.end(), status) != s.end();
    }
    // Ticks until a settings report or an ending status arrives.
    void readOut(int port, int maxTicks = 60) {
        engine->connect(port, 9600);
        pause();
        for (int i = 0; i < maxTicks && !ended(); ++i) ticks(1);
    }
    bool ended() const {
        return !recorder.settingsReports().empty() || has(StatusCode::ConnectTimeout) ||
               has(StatusCode::IncompatibleDevice) || has(StatusCode::ConnectionClosed) ||
               has(StatusCode::CannotOpenPort);
    }
    Recorder recorder;
    std::unique_ptr<TelescopeControl> engine;
};

// The record the engine should hold after reading out a fresh simulator.
void expectRecord(const ControllerSettings& r, sim::SimProfile profile) {
    const sim::ProfileTraits& t = sim::profileTraits(profile);
    const sim::SimState s = sim::initialState(profile);
    const int cls = r.versionClass;
    EXPECT_EQ(r.modeByte, 7);
    EXPECT_EQ(r.firmwareVersion, s.firmwareVersion);
    if (!t.shortIdentify) {
        EXPECT_EQ(r.hardwareVersion, s.hardwareVersion);
        EXPECT_EQ(r.deviceFamily, s.hardwareVersion >> 16);
    }
    EXPECT_EQ(r.portType, s.portType);
#define SAME(f) EXPECT_EQ(r.f, s.f) << #f;
#define ZERO(f) EXPECT_EQ(r.f, 0) << #f;
    SAME(raGearByte);
    SAME(raGearRatio);
    SAME(raGearAux);
    SAME(raSiderealRate);
    SAME(deGearByte);
    SAME(deGearRatio);
    SAME(deGearAux);
    SAME(deSiderealRate);
    SAME(mountType);
    if (cls >= 2) {
        VORLANT_SHORT_PARAMETER_FIELDS(SAME)
        EXPECT_EQ(r.raMaxRate, uint32_t{s.raMaxSpeed} * s.raSiderealRate);
        EXPECT_EQ(r.deMaxRate, uint32_t{s.deMaxSpeed} * s.deSiderealRate);
    } else {
        ZERO(raMaxSpeed);
        ZERO(raAcceleration);
        ZERO(raIdleCurrent);
        ZERO(raMaxRate);
    }
    if (cls >= 3) {
        VORLANT_FULL_PARAMETER_FIELDS(SAME)
    } else {
        ZERO(reverseLimits);
        ZERO(raOvertone);
        ZERO(raGuideRate);
        ZERO(deIncCurrentAt);
    }
    if (cls == 5) {
        SAME(flipParamA);
        SAME(flipParamB);
        SAME(flipHysteresis);
        SAME(latitude);
        SAME(longitude);
    } else {
        ZERO(flipHysteresis);
        ZERO(latitude);
        ZERO(longitude);
    }
#undef SAME
#undef ZERO
}

class ReadOut : public ::testing::TestWithParam<const char*> {};

TEST_P(ReadOut, EveryFieldMatchesTheSimulator) {
    sim::SimProfile profile;
    ASSERT_TRUE(sim::parseProfile(GetParam(), profile));
    e2e::SimLink link(GetParam());
    VORLANT_NEED_SIM(link);
    Line line;
    line.readOut(link.port());
    const auto reports = line.recorder.settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value, SettingsReportKind::ReadoutComplete);
    expectRecord(reports[0].settings, profile);
    // The link is up: a voltage measurement comes back.
    line.engine->measureSupplyVoltage();
    line.pause();
    line.pause();
    bool voltage = false;
    for (const Report& r : line.recorder.reports())
        if (r.kind == Report::Voltage) voltage = r.value == sim::initialState(profile).supplyVoltage;
    EXPECT_TRUE(voltage);
    line.engine->disconnect();
    line.pause();
    EXPECT_EQ(line.recorder.statuses().back(), StatusCode::ConnectionClosed);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ReadOut,
                         ::testing::Values("class1", "class2", "class3", "class4", "class5", "class4-family3",
                                           "class5-family5", "old-accepted"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string n = param.param;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

TEST(LineFailures, TooOldControllerAndTheOutdatedPhase) {
    e2e::SimLink link("too-old");
    VORLANT_NEED_SIM(link);
    Line line;
    line.readOut(link.port(), 10);
    const auto reports = line.recorder.settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value, SettingsReportKind::DeviceTooOld);
    EXPECT_EQ(reports[0].settings.hardwareVersion, 0x00010101u);
    line.recorder.clear();
    line.engine->setTracking(1);
    line.engine->connect(link.port(), 9600);
    line.engine->disconnect();
    line.pause();
    EXPECT_EQ(line.recorder.statuses(),
              (std::vector<int>{StatusCode::NotConnectedYet, StatusCode::AlreadyConnected,
                                StatusCode::ConnectionClosed}));
}

TEST(LineFailures, ForeignFamilyIsRejected) {
    e2e::SimLink link("foreign");
    VORLANT_NEED_SIM(link);
    Line line;
    line.readOut(link.port(), 10);
    EXPECT_TRUE(line.has(StatusCode::IncompatibleDevice));
    EXPECT_TRUE(line.recorder.settingsReports().empty());
    line.engine->disconnect();
    line.pause();
    EXPECT_EQ(line.recorder.statuses().back(), StatusCode::NotConnectedYet);  // the port was closed
}

void expectTimeoutAtTick32(const char* profile) {
    e2e::SimLink link(profile);
    VORLANT_NEED_SIM(link);
    Line line;
    line.engine->connect(link.port(), 9600);
    line.pause();
    line.ticks(31);
    EXPECT_FALSE(line.has(StatusCode::ConnectTimeout));
    line.ticks(1);
    EXPECT_TRUE(line.has(StatusCode::ConnectTimeout));
    line.engine->disconnect();
    line.pause();
    EXPECT_EQ(line.recorder.statuses().back(), StatusCode::NotConnectedYet);
}

TEST(LineFailures, SilentControllerTimesOut) {
    expectTimeoutAtTick32("silent");
}
TEST(LineFailures, GarbageNeverPassesAsAReply) {
    expectTimeoutAtTick32("garbage");
}

TEST(LineFailures, ControllerVanishingDuringTheReadOut) {
    e2e::SimLink link("vanish");
    VORLANT_NEED_SIM(link);
    Line line;
    line.readOut(link.port());
    EXPECT_TRUE(line.has(StatusCode::ConnectionClosed));
    EXPECT_TRUE(line.recorder.settingsReports().empty());
    EXPECT_EQ(line.engine->lastPortError(), platform::PortError::Gone);
    line.ticks(40);
    EXPECT_FALSE(line.has(StatusCode::ConnectTimeout));
}

TEST(LineFailures, ControllerVanishingDuringASession) {
    e2e::SimLink link("vanish", {"--vanish-after", "7"});  // after the whole class-5 read-out
    VORLANT_NEED_SIM(link);
    Line line;
    line.readOut(link.port());
    ASSERT_EQ(line.recorder.settingsReports().size(), 1u);
    line.recorder.clear();
    line.engine->measureSupplyVoltage();
    for (int i = 0; i < 40 && !line.has(StatusCode::ConnectionClosed); ++i) line.pause();
    EXPECT_EQ(line.recorder.statuses(), std::vector<int>{StatusCode::ConnectionClosed});
    line.engine->setTracking(1);
    line.pause();
    EXPECT_EQ(line.recorder.statuses().back(), StatusCode::NotConnectedYet);
}

TEST(LineSessions, DisconnectDuringTheReadOutThenReconnect) {
    e2e::SimLink link("class5");
    VORLANT_NEED_SIM(link);
    Line line;
    line.engine->connect(link.port(), 9600);
    line.pause();
    line.ticks(3);
    line.engine->disconnect();
    line.pause();
    EXPECT_EQ(line.recorder.statuses().back(), StatusCode::ConnectionClosed);
    line.recorder.clear();
    line.readOut(link.port());
    const auto reports = line.recorder.settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    expectRecord(reports[0].settings, sim::SimProfile::Class5);
}

}  // namespace
}  // namespace vorlant
