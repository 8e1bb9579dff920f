#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/EngineCore.h"
#include "engine/LinkTrace.h"
#include "tests/support/EngineHarness.h"
#include "tests/support/TestController.h"

namespace vorlant {

namespace {

// White-box view of the engine's state; call only on the engine thread.
int32_t replyTimeoutTicks(TelescopeControl& e) {
    return EngineAccess::core(e).replyTimeoutTicks_;
}

using test::Bytes;

class Connection : public ::testing::Test {
protected:
    Connection() : h(std::make_shared<test::ScriptedPort>()) {
        h.port().setResponder([this](const Bytes& f) { return controller.reply(f); });
    }
    std::vector<int> requestIds() const {
        std::vector<int> ids;
        for (const Bytes& f : h.port().frames()) ids.push_back(f.size() > 2 ? f[2] : -1);
        return ids;
    }
    // True when a command reaches the wire, i.e. the link is up.
    bool linkIsUp() {
        const size_t before = h.port().frames().size();
        h.engine().setTracking(1);
        h.settle();
        return h.port().frames().size() == before + 1;
    }
    test::TestController controller;
    test::EngineHarness<test::ScriptedPort> h;
};

struct ClassCase {
    uint32_t hardware, firmware;
    int versionClass;
    bool shortLayout;
    std::vector<int> requests;
};

TEST_F(Connection, FullReadOutForEveryClass) {
    const ClassCase cases[] = {
        {0x00010004, 0x01000000, 1, true, {1, 3, 2, 20, 21}},
        {0x00010004, 0x01000001, 2, true, {1, 3, 2, 20, 21}},
        {0x00010004, 0x01000003, 3, false, {1, 3, 2, 20, 21}},
        {0x00050000, 0x01000004, 4, false, {1, 3, 2, 20, 21}},
        {0x00030000, 0x01000009, 4, false, {1, 3, 2, 20, 21}},
        {0x00010004, 0x01000009, 5, false, {1, 3, 2, 20, 21, 61, 100}},
        {0x00050000, 0x01000005, 5, false, {1, 3, 2, 20, 21, 61, 100}},
    };
    for (const ClassCase& c : cases) {
        test::EngineHarness<test::ScriptedPort> run(std::make_shared<test::ScriptedPort>());
        test::TestController ctl;
        ctl.hardware = c.hardware;
        ctl.firmware = c.firmware;
        ctl.shortParamLayout = c.shortLayout;
        run.port().setResponder([&](const Bytes& f) { return ctl.reply(f); });
        run.connectAndRun(3, 115200);
        SCOPED_TRACE(testing::Message() << "class " << c.versionClass);
        EXPECT_EQ(run.port().openedPort(), 3);
        EXPECT_EQ(run.port().openedBaud(), 115200u);
        std::vector<int> ids;
        for (const Bytes& f : run.port().frames()) ids.push_back(f[2]);
        EXPECT_EQ(ids, c.requests);
        EXPECT_EQ(run.recorder().statuses(),
                  (std::vector<int>{StatusCode::OpeningPort, StatusCode::Connecting}));
        const auto reports = run.recorder().settingsReports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].value, SettingsReportKind::ReadoutComplete);
        const ControllerSettings& s = reports[0].settings;
        EXPECT_EQ(s.versionClass, c.versionClass);
        EXPECT_EQ(s.hardwareVersion, c.hardware);
        EXPECT_EQ(s.firmwareVersion, c.firmware);
        EXPECT_EQ(s.modeByte, 7);
        EXPECT_EQ(s.portType, 2);
        EXPECT_EQ(s.portTypeZero, 0);
        EXPECT_EQ(s.raGearRatio, ctl.s.raGearRatio);
        EXPECT_EQ(s.mountType, ctl.s.mountType);
        EXPECT_EQ(s.raAcceleration, c.versionClass >= 2 ? ctl.s.raAcceleration : 0);
        EXPECT_EQ(s.raOvertone, c.versionClass >= 3 ? ctl.s.raOvertone : 0);
        EXPECT_EQ(s.reverseLimits, c.versionClass >= 3 ? ctl.s.reverseLimits : 0);
        EXPECT_EQ(s.raMaxRate, c.versionClass >= 2 ? ctl.s.raMaxSpeed * ctl.s.raSiderealRate : 0u);
        EXPECT_EQ(s.latitude, c.versionClass == 5 ? ctl.s.latitude : 0);
        EXPECT_EQ(s.flipHysteresis, c.versionClass == 5 ? ctl.s.flipHysteresis : 0);
        const size_t before = run.port().frames().size();
        run.engine().setTracking(1);
        run.settle();
        EXPECT_EQ(run.port().frames().size(), before + 1) << "link not up";
    }
}

TEST_F(Connection, PausesPaceTheReadOut) {
    controller.firmware = 0x01000005;
    h.engine().connect(3, 9600);
    h.settle();
    EXPECT_EQ(requestIds(), std::vector<int>{1});
    h.ticks(1);
    EXPECT_EQ(requestIds(), std::vector<int>{1});  // still pausing
    h.ticks(1);
    EXPECT_EQ(requestIds(), (std::vector<int>{1, 3}));
}

TEST_F(Connection, SilentControllerTimesOutAtTheThirtySecondTick) {
    controller.overrides[1] = {};
    h.engine().connect(3, 9600);
    h.settle();
    h.ticks(31);
    EXPECT_EQ(h.recorder().statuses().size(), 2u);
    EXPECT_TRUE(h.port().isOpen());
    h.ticks(1);
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::ConnectTimeout);
    EXPECT_FALSE(h.port().isOpen());
    h.engine().disconnect();
    h.settle();
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::NotConnectedYet);
}

TEST_F(Connection, ControllerThatAnswersOnlyTheIdentification) {
    controller.overrides[3] = {};
    h.engine().connect(3, 9600);
    h.settle();
    h.ticks(2);  // pause, then request 3 goes out
    h.ticks(31);
    EXPECT_TRUE(h.port().isOpen());
    h.ticks(1);
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::ConnectTimeout);
    EXPECT_FALSE(h.port().isOpen());
}

TEST_F(Connection, ForeignFamilyIsRejected) {
    controller.hardware = 0x00020000;
    h.connectAndRun();
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::IncompatibleDevice);
    EXPECT_TRUE(h.recorder().settingsReports().empty());
    EXPECT_FALSE(h.port().isOpen());
    EXPECT_EQ(requestIds(), std::vector<int>{1});
}

TEST_F(Connection, TooOldControllerAndTheOutdatedPhase) {
    controller.overrides[1] = {0x55, 0x03, 0x00, 0x01, 0x01};
    h.connectAndRun();
    const auto reports = h.recorder().settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value, SettingsReportKind::DeviceTooOld);
    // Only the short identification's hardware value and the connect marks.
    ControllerSettings expected;
    std::memset(&expected, 0, sizeof expected);
    expected.modeByte = 7;
    expected.portTypeZero = 1;
    expected.hardwareVersion = 0x00010101;
    ControllerSettings got;
    std::memset(&got, 0, sizeof got);
    got = reports[0].settings;
#define FIELD_EQ(f) EXPECT_EQ(got.f, expected.f) << #f
    FIELD_EQ(hardwareVersion);
    FIELD_EQ(modeByte);
    FIELD_EQ(portTypeZero);
    FIELD_EQ(versionClass);
    FIELD_EQ(deviceFamily);
    FIELD_EQ(firmwareVersion);
    FIELD_EQ(raGearRatio);
    FIELD_EQ(raMaxSpeed);
    FIELD_EQ(latitude);
    FIELD_EQ(raMaxRate);
    FIELD_EQ(mountType);
    FIELD_EQ(portType);
#undef FIELD_EQ
    h.recorder().clear();
    h.ticks(40);  // nothing more is sent, no time-out
    EXPECT_EQ(requestIds(), std::vector<int>{1});
    h.engine().storeParameters();
    h.engine().connect(3, 9600);
    h.engine().disconnect();
    h.settle();
    EXPECT_EQ(h.recorder().statuses(),
              (std::vector<int>{StatusCode::NotConnectedYet, StatusCode::AlreadyConnected,
                                StatusCode::ConnectionClosed}));
}

// Connecting with the identification alone: an accepted controller is
// ready at once (nothing more is read, however many ticks pass), the others
// are refused as by the full read-out.
TEST(ConnectionIdentifyOnly, EndsAtTheIdentification) {
    struct Case {
        uint32_t hardware;
        Bytes identification;  // empty: the controller's long form for `hardware`
        int settingsKind;      // 0: none
        int lastStatus;
        bool linkUp;
    };
    const Case cases[] = {
        {0x00010004, {}, SettingsReportKind::Identified, StatusCode::Connecting, true},
        {0x00050000, {}, SettingsReportKind::Identified, StatusCode::Connecting, true},
        {0x00010004,
         {0x55, 0x03, 0x00, 0x01, 0x01},
         SettingsReportKind::DeviceTooOld,
         StatusCode::Connecting,
         false},
        {0x00020000, {}, 0, StatusCode::IncompatibleDevice, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.hardware << " " << c.identification.size());
        test::TestController ctl;
        ctl.hardware = c.hardware;
        if (!c.identification.empty()) ctl.overrides[1] = c.identification;
        test::EngineHarness<test::ScriptedPort> run(
            std::make_shared<test::ScriptedPort>(), 2000, nullptr,
            [](TelescopeControl::Options& o) { o.identifyOnly = true; });
        run.port().setResponder([&](const Bytes& f) { return ctl.reply(f); });
        run.connectAndRun();
        run.ticks(40);
        const auto reports = run.recorder().settingsReports();
        ASSERT_EQ(reports.size(), c.settingsKind ? 1u : 0u);
        if (c.settingsKind) {
            EXPECT_EQ(reports[0].value, c.settingsKind);
            if (c.linkUp) {
                EXPECT_EQ(reports[0].settings.hardwareVersion, c.hardware);
            }
        }
        EXPECT_EQ(run.recorder().statuses().back(), c.lastStatus);
        std::vector<int> ids;
        for (const Bytes& f : run.port().frames()) ids.push_back(f[2]);
        EXPECT_EQ(ids, std::vector<int>{1}) << "only the identification is asked for";
        run.engine().stopMotion(4);
        run.settle();
        EXPECT_EQ(run.port().frames().size(), c.linkUp ? 2u : 1u) << "a stop goes out only when ready";
    }
}

TEST_F(Connection, StrayFrameBehindTheLastReplyStillMarksTheLinkUp) {
    controller.firmware = 0x01000005;  // class 4: read-out ends with request 21
    Bytes block = test::paramBlockFull(controller.s);
    block.insert(block.end(), {0x55, 0x00, 0x55, 0x01, 0x15});
    controller.overrides[21] = block;
    h.connectAndRun();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    EXPECT_TRUE(linkIsUp());
}

TEST_F(Connection, ShortReplyNeverReadsAnEarlierFrame) {
    controller.firmware = 0x01000005;
    controller.overrides[2] = {0x55, 0x05, 0x02, 0x05, 0x00, 0x00, 0x01};
    controller.overrides[20] = {0x55, 0x01, 0x14};        // gear block cut short
    controller.overrides[21] = {0x55, 0x02, 0x15, 0x01};  // parameter block cut short
    h.connectAndRun();
    const auto reports = h.recorder().settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    const ControllerSettings& s = reports[0].settings;
    EXPECT_EQ(s.raGearByte, 0);
    EXPECT_EQ(s.raGearRatio, 0u);  // positions 5..8 were firmware bytes before
    EXPECT_EQ(s.reverseGuiding, 0);
    EXPECT_EQ(s.raMaxSpeed, 0u);
    EXPECT_EQ(s.versionClass, 4);
}

TEST_F(Connection, DisconnectDuringReadOutAndReconnect) {
    h.engine().connect(3, 9600);
    h.settle();
    h.ticks(2);
    h.engine().disconnect();
    h.settle();
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::ConnectionClosed);
    EXPECT_FALSE(h.port().isOpen());
    h.recorder().clear();
    h.port().clearFrames();
    h.connectAndRun();
    EXPECT_EQ(requestIds(), (std::vector<int>{1, 3, 2, 20, 21, 61, 100}));
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    EXPECT_TRUE(linkIsUp());
    h.engine().connect(3, 9600);
    h.settle();
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::AlreadyConnected);
    EXPECT_EQ(h.port().opens(), 2);
}

TEST_F(Connection, PortNumbersAndOpenFailure) {
    h.engine().connect(256, 9600);  // travels as 0
    h.settle();
    EXPECT_EQ(h.port().openedPort(), 256);
    h.engine().disconnect();
    h.engine().connect(12, 9600);
    h.settle();
    EXPECT_EQ(h.port().openedPort(), 12);
    h.engine().disconnect();
    h.settle();
    h.recorder().clear();
    h.port().failOpenWith(platform::PortError::Busy);
    h.engine().connect(4, 9600);
    h.settle();
    EXPECT_EQ(h.recorder().statuses(),
              (std::vector<int>{StatusCode::OpeningPort, StatusCode::CannotOpenPort}));
    EXPECT_EQ(h.engine().lastPortError(), platform::PortError::Busy);
}

TEST_F(Connection, LeftOverTimeoutNeverFiresInReady) {
    controller.firmware = 0x01000005;
    h.connectAndRun();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    controller.overrides[43] = {};
    h.engine().measureSupplyVoltage();  // an exchange that is never answered
    h.ticks(40);
    for (int code : h.recorder().statuses()) EXPECT_NE(code, StatusCode::ConnectTimeout);
    EXPECT_TRUE(h.port().isOpen());
}

TEST_F(Connection, ReadOutsLeaveNoTimeoutCountBehind) {
    // A count left running after a read-out could end a later exchange
    // that it does not belong to; no exchange started today reuses it
    // unarmed, so it is checked where each read-out ends.
    for (uint32_t firmware : {0x01000005u, 0x01000009u}) {
        test::EngineHarness<test::ScriptedPort> run(std::make_shared<test::ScriptedPort>());
        test::TestController ctl;
        ctl.firmware = firmware;
        run.port().setResponder([&](const Bytes& f) { return ctl.reply(f); });
        std::vector<int32_t> left;  // written on the engine thread, read after settle()
        run.recorder().setHook([&](const test::Report& r) {
            if (r.kind == test::Report::Settings) left.push_back(replyTimeoutTicks(run.engine()));
        });
        run.connectAndRun();
        run.engine().reloadDefaults();  // the re-read is a read-out too
        run.settle();
        for (int i = 0; i < 10 && left.size() < 2; ++i) run.ticks(1);
        EXPECT_EQ(left, (std::vector<int32_t>{0, 0})) << "firmware " << firmware;
    }
}

TEST_F(Connection, UnpluggedDuringSessionClosesTheLink) {
    controller.firmware = 0x01000005;
    h.connectAndRun();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    h.recorder().clear();
    h.port().unplug();
    h.settle();
    h.engine().setTracking(1);  // the write finds the device gone as well
    h.settle();
    EXPECT_EQ(h.recorder().statuses(),
              (std::vector<int>{StatusCode::ConnectionClosed, StatusCode::NotConnectedYet}));
    EXPECT_EQ(h.engine().lastPortError(), platform::PortError::Gone);
    // Plugged back in: a new connect works.
    h.recorder().clear();
    h.port().clearFrames();
    h.connectAndRun();
    EXPECT_EQ(h.recorder().settingsReports().size(), 1u);
}

TEST_F(Connection, UnpluggedDuringReadOut) {
    controller.overrides[20] = {};
    h.engine().connect(3, 9600);
    h.settle();
    h.ticks(6);
    h.port().unplug();
    h.settle();
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::ConnectionClosed);
    h.ticks(40);
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::ConnectionClosed);  // no time-out afterwards
}

TEST_F(Connection, WriteThatFindsTheDeviceGone) {
    // A port whose reads never notice: only the write tells.
    controller.firmware = 0x01000005;
    h.connectAndRun();
    h.recorder().clear();
    h.port().setResponder(nullptr);
    h.port().unplug();
    h.engine().setTracking(0);
    h.settle();
    const std::vector<int> st = h.recorder().statuses();
    ASSERT_FALSE(st.empty());
    EXPECT_EQ(st.front(), StatusCode::ConnectionClosed);
    EXPECT_EQ(std::count(st.begin(), st.end(), StatusCode::ConnectionClosed), 1);
}

TEST(LinkTraceOfTheEngine, NoiseAndALostDeviceShowAndTheReadOutIsUnchanged) {
    // Noise before every reply and after it, in the same chunk: the traced
    // feed skips it exactly as the untraced one does.
    test::TestController ctl;
    ctl.firmware = 0x01000009;  // class 5: the longest read-out
    const auto noisy = [&](const Bytes& f) {
        Bytes out = {0x13, 0x37};
        const Bytes reply = ctl.reply(f);
        out.insert(out.end(), reply.begin(), reply.end());
        out.push_back(0x00);
        return out;
    };
    const std::string path = ::testing::TempDir() + "vorlant_engine_trace.txt";
    std::string error;
    std::shared_ptr<LinkTrace> trace = LinkTrace::open(path, error);
    ASSERT_TRUE(trace) << error;
    test::EngineHarness<test::ScriptedPort> traced(std::make_shared<test::ScriptedPort>(), 2000, trace);
    test::EngineHarness<test::ScriptedPort> plain(std::make_shared<test::ScriptedPort>());
    for (auto* h : {&traced, &plain}) {
        h->port().setResponder(noisy);
        h->connectAndRun();
    }
    ASSERT_EQ(traced.recorder().settingsReports().size(), 1u);
    ASSERT_EQ(plain.recorder().settingsReports().size(), 1u);
    // A field from every reply of the read-out.
    const ControllerSettings t = traced.recorder().settingsReports()[0].settings;
    const ControllerSettings p = plain.recorder().settingsReports()[0].settings;
    EXPECT_EQ(t.versionClass, 5u);
    EXPECT_EQ(std::vector<uint32_t>({t.hardwareVersion, t.portType, t.firmwareVersion, t.raGearRatio,
                                     t.deRunCurrent, t.flipHysteresis, static_cast<uint32_t>(t.longitude)}),
              std::vector<uint32_t>({p.hardwareVersion, p.portType, p.firmwareVersion, p.raGearRatio,
                                     p.deRunCurrent, p.flipHysteresis, static_cast<uint32_t>(p.longitude)}));
    EXPECT_EQ(traced.port().frames(), plain.port().frames());

    traced.port().setResponder(nullptr);
    traced.port().unplug();
    traced.settle();
    traced.destroyEngine();
    trace.reset();  // closes the file

    std::ifstream in(path);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line)) lines.push_back(line.size() > 32 ? line.substr(32) : line);
    // Every noise byte in order, however the reader's chunks cut them.
    const std::string skippedMark = "  (skipped: not in a frame)";
    std::string skipped;
    for (const std::string& l : lines) {
        const size_t at = l.find(skippedMark);
        if (l.rfind("<-", 0) == 0 && at != std::string::npos) skipped += l.substr(2, at - 2);
    }
    std::string noise = " 13 37";
    for (int i = 0; i < 6; ++i) noise += " 00 13 37";
    EXPECT_EQ(skipped, noise + " 00");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.rfind("<- 55 09 64 ", 0) == 0 &&
                                       l.find("  => settings ReadoutComplete") == l.size() - 29;
                            }),
              1);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "=> status 4 Connection closed");
    std::remove(path.c_str());
}

}  // namespace
}  // namespace vorlant
