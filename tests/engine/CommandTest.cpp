#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/support/EngineHarness.h"
#include "tests/support/TestController.h"

namespace vorlant {
namespace {

using test::Bytes;

class Commands : public ::testing::Test {
protected:
    Commands() : h(std::make_shared<test::ScriptedPort>()) {
        h.port().setResponder([this](const Bytes& f) { return controller.reply(f); });
    }
    void connectClass(uint32_t hardware, uint32_t firmware, bool shortLayout = false) {
        controller.hardware = hardware;
        controller.firmware = firmware;
        controller.shortParamLayout = shortLayout;
        h.connectAndRun();
        ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
        h.port().clearFrames();
        h.recorder().clear();
    }
    void connectClass5() { connectClass(0x00010004, 0x01000009); }
    void connectClass4() { connectClass(0x00050000, 0x01000004); }
    void connectClass3() { connectClass(0x00010004, 0x01000003); }
    std::vector<Bytes> sent() const { return h.port().frames(); }

    test::TestController controller;
    test::EngineHarness<test::ScriptedPort> h;
};

TEST_F(Commands, EveryCommandsBytesOnTheWire) {
    connectClass5();
    controller.overrides.clear();
    for (uint8_t id : {uint8_t{12}, uint8_t{13}, uint8_t{26}, uint8_t{27}, uint8_t{29}, uint8_t{43},
                       uint8_t{62}, uint8_t{101}})
        controller.overrides[id] = {};  // keep Ready
    struct Case {
        const char* name;
        std::function<void(TelescopeControl&)> call;
        Bytes frame;
    };
    const Case cases[] = {
        {"moveManual",
         [](TelescopeControl& e) { e.moveManual(3, 0); },
         {0xAA, 0x07, 0x23, 0x00, 0x80, 0x6C, 0xFE, 0xFF, 0xFF}},  // -(1234*21/64) = -404
        {"stopMotion", [](TelescopeControl& e) { e.stopMotion(4); }, {0xAA, 0x03, 0x21, 0x00, 0xC0}},
        {"setTracking", [](TelescopeControl& e) { e.setTracking(1); }, {0xAA, 0x03, 0x24, 0x00, 0x01}},
        {"setExp", [](TelescopeControl& e) { e.setExp(0); }, {0xAA, 0x03, 0x28, 0x00, 0x00}},
        {"sendRequest11", [](TelescopeControl& e) { e.sendRequest11(); }, {0xAA, 0x01, 0x0B}},
        {"setReverseFlags",
         [](TelescopeControl& e) { e.setReverseFlags(1, 2, 3); },
         {0xAA, 0x06, 0x32, 0x00, 0xC0, 1, 2, 3}},
        {"setCurrent",
         [](TelescopeControl& e) { e.setCurrent(0x81, 600); },
         {0xAA, 0x05, 0x33, 0x00, 0x81, 0x58, 0x02}},
        {"setDecay", [](TelescopeControl& e) { e.setDecay(0x42, 9); }, {0xAA, 0x04, 0x34, 0x00, 0x42, 9}},
        {"setMaxSpeeds",
         [](TelescopeControl& e) { e.setMaxSpeeds(800, 0x1234); },
         {0xAA, 0x07, 0x35, 0x00, 0xC0, 0x20, 0x03, 0x34, 0x12}},
        {"setAccelerations",
         [](TelescopeControl& e) { e.setAccelerations(16, 32); },
         {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x10, 0x20}},
        {"setDecelerations",
         [](TelescopeControl& e) { e.setDecelerations(5, 6); },
         {0xAA, 0x05, 0x38, 0x00, 0xC0, 5, 6}},
        {"setOvertone",
         [](TelescopeControl& e) { e.setOvertone(0x80, 0xF4); },
         {0xAA, 0x04, 0x3B, 0x00, 0x80, 0xF4}},
        {"setIncCurrentAt",
         [](TelescopeControl& e) { e.setIncCurrentAt(0x40, 1000, 2000); },
         {0xAA, 0x07, 0x3C, 0x00, 0x40, 0xE8, 0x03, 0xD0, 0x07}},
        {"setGuideRates",
         [](TelescopeControl& e) { e.setGuideRates(8, 16); },
         {0xAA, 0x05, 0x36, 0x00, 0xC0, 8, 16}},
        {"noOpCommand", [](TelescopeControl& e) { e.noOpCommand(); }, {}},
        // These start exchanges; each is last in its own run below.
        {"storeParameters", [](TelescopeControl& e) { e.storeParameters(); }, {0xAA, 0x02, 0x0D, 0x01}},
        {"reloadDefaults", [](TelescopeControl& e) { e.reloadDefaults(); }, {0xAA, 0x02, 0x0C, 0x01}},
        {"setGearRatios",
         [](TelescopeControl& e) { e.setGearRatios(172800, 164000); },
         {0xAA, 0x0B, 0x1A, 0x01, 0xC0, 0x00, 0xA3, 0x02, 0x00, 0xA0, 0x80, 0x02, 0x00}},
        {"setLocation",
         [](TelescopeControl& e) { e.setLocation(-1, 86400); },
         {0xAA, 0x0A, 0x65, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x51, 0x01, 0x00}},
        {"measureSupplyVoltage",
         [](TelescopeControl& e) { e.measureSupplyVoltage(); },
         {0xAA, 0x03, 0x2B, 0x00, 0x00}},
        {"setParkPosition",
         [](TelescopeControl& e) { e.setParkPosition(); },
         {0xAA, 0x04, 0x1D, 0x01, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        h.port().clearFrames();
        c.call(h.engine());
        h.settle();
        const std::vector<Bytes> frames = sent();
        if (c.frame.empty()) {
            EXPECT_TRUE(frames.empty()) << c.name;
        } else {
            ASSERT_EQ(frames.size(), 1u) << c.name;
            EXPECT_EQ(frames[0], c.frame) << c.name;
        }
        // Release any exchange the command started: a move to Ready.
        h.port().inject({0x55, 0x01, 0x00});
        h.settle();
        h.ticks(3);  // a re-read after a gear write or defaults reload runs to its end
    }
}

TEST_F(Commands, GearRatioChangeThenReread) {
    connectClass5();
    controller.s.raGearRatio = 200000;
    controller.s.deGearRatio = 190000;
    controller.s.mountType = 0;
    controller.overrides[26] = {};  // hold the write's reply until both calls are in
    h.engine().setGearRatios(200000, 190000);
    h.engine().setGearRatios(1, 1);     // still waiting for the first: refused
    h.engine().measureSupplyVoltage();  // likewise: the write's reply is no voltage
    h.settle();
    h.port().inject({0x55, 0x01, 0x1A});
    h.settle();
    std::vector<int> ids;
    for (const Bytes& f : sent()) ids.push_back(f[2]);
    EXPECT_EQ(ids, (std::vector<int>{26, 20}));
    const auto reports = h.recorder().settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value, SettingsReportKind::GearRatiosChanged);
    EXPECT_EQ(reports[0].settings.raGearRatio, 200000u);
    EXPECT_EQ(reports[0].settings.mountType, 2);  // untouched by the re-read
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>(2, StatusCode::CommunicationError));
    for (const test::Report& r : h.recorder().reports()) EXPECT_NE(r.kind, test::Report::Voltage);
}

TEST_F(Commands, DefaultsReloadRereadsByClass) {
    struct Case {
        uint32_t hw, fw;
        int kind;
        std::vector<int> ids;
    };
    const Case cases[] = {
        {0x00050000, 0x01000004, SettingsReportKind::ReadoutComplete, {12, 20, 21}},
        {0x00010004, 0x01000009, SettingsReportKind::DefaultsReloaded, {12, 20, 21, 61, 100}},
    };
    for (const Case& c : cases) {
        test::EngineHarness<test::ScriptedPort> run(std::make_shared<test::ScriptedPort>());
        test::TestController ctl;
        ctl.hardware = c.hw;
        ctl.firmware = c.fw;
        run.port().setResponder([&](const Bytes& f) { return ctl.reply(f); });
        run.connectAndRun();
        run.port().clearFrames();
        run.recorder().clear();
        ctl.s.raAcceleration = 99;
        run.engine().reloadDefaults();
        run.settle();
        run.engine().measureSupplyVoltage();  // must not cut into the re-read
        run.settle();
        for (int i = 0; i < 10 && run.recorder().settingsReports().empty(); ++i) run.ticks(1);
        std::vector<int> ids;
        for (const Bytes& f : run.port().frames()) ids.push_back(f[2]);
        EXPECT_EQ(ids, c.ids);
        const auto reports = run.recorder().settingsReports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].value, c.kind);
        EXPECT_EQ(reports[0].settings.raAcceleration, 99);
        EXPECT_EQ(run.recorder().statuses(), std::vector<int>{StatusCode::CommunicationError});
    }
}

TEST_F(Commands, NoExchangeCutsIntoTheRereadAfterADefaultsReload) {
    struct Case {
        const char* name;
        std::function<void(TelescopeControl&)> call;
    };
    const Case cases[] = {
        {"reloadDefaults", [](TelescopeControl& e) { e.reloadDefaults(); }},
        {"setLocation", [](TelescopeControl& e) { e.setLocation(1, 2); }},
        {"applyAdvancedSettings",
         [](TelescopeControl& e) {
             e.applyAdvancedSettings({15, 1, 2, 3, 4});
         }},
        {"measureSupplyVoltage", [](TelescopeControl& e) { e.measureSupplyVoltage(); }},
        {"setParkPosition", [](TelescopeControl& e) { e.setParkPosition(); }},
    };
    for (const Case& c : cases) {
        test::EngineHarness<test::ScriptedPort> run(std::make_shared<test::ScriptedPort>());
        test::TestController ctl;
        ctl.firmware = 0x01000009;
        run.port().setResponder([&](const Bytes& f) { return ctl.reply(f); });
        run.connectAndRun();
        run.port().clearFrames();
        run.recorder().clear();
        run.engine().reloadDefaults();
        run.settle();
        c.call(run.engine());
        run.settle();
        for (int i = 0; i < 10 && run.recorder().settingsReports().empty(); ++i) run.ticks(1);
        std::vector<int> ids;
        for (const Bytes& f : run.port().frames()) ids.push_back(f[2]);
        EXPECT_EQ(ids, (std::vector<int>{12, 20, 21, 61, 100})) << c.name;
        ASSERT_EQ(run.recorder().settingsReports().size(), 1u) << c.name;
        EXPECT_EQ(run.recorder().settingsReports()[0].value, SettingsReportKind::DefaultsReloaded) << c.name;
        EXPECT_EQ(run.recorder().statuses(), std::vector<int>{StatusCode::CommunicationError}) << c.name;
    }
}

TEST(CommandsThreads, OvertoneCallsOverlappingAReadOutReadTheClassSafely) {
    // The window thread asks for the class while the engine thread sets it
    // (at the connect and on the firmware reply); ThreadSanitizer watches.
    auto port = std::make_shared<test::ScriptedPort>();
    test::TestController ctl;
    ctl.firmware = 0x01000003;  // class 3: the calls get posted once it is known
    port->setResponder([&](const Bytes& f) { return ctl.reply(f); });
    test::Recorder recorder;
    TelescopeControl::Options options;
    options.connectSettleMs = 0;
    options.portFactory = [port]() -> std::shared_ptr<platform::SerialPort> { return port; };
    TelescopeControl engine(&recorder, options);
    std::atomic<bool> stop{false};
    std::thread heartbeat([&] {
        while (!stop) {
            engine.tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread window([&] {
        while (!stop) {
            engine.setOvertone(kAxisRa, 1);
            engine.setIncCurrentAt(kAxisDe, 1, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    engine.connect(3, 9600);
    for (int i = 0; i < 5000 && recorder.settingsReports().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    stop = true;
    heartbeat.join();
    window.join();
    ASSERT_EQ(recorder.settingsReports().size(), 1u);
    EXPECT_EQ(recorder.settingsReports()[0].settings.versionClass, 3);
}

TEST_F(Commands, TimeoutDuringTheRereadAfterDefaultsReload) {
    connectClass5();
    controller.overrides[20] = {};  // stops answering at the re-read's first request
    h.engine().reloadDefaults();
    h.settle();
    h.ticks(31);
    EXPECT_TRUE(h.port().isOpen());
    h.ticks(1);
    EXPECT_EQ(h.recorder().statuses().back(), StatusCode::ConnectTimeout);
    EXPECT_FALSE(h.port().isOpen());
}

TEST_F(Commands, AnUnansweredExchangeEndsAfterThirtyTwoTicksAndTheLinkStays) {
    // Every exchange is given up at the 32nd tick with status 10; the port
    // stays open and the next command goes out and is answered.
    struct Case {
        const char* name;
        uint8_t silent;  // the request the controller leaves unanswered
        std::function<void(TelescopeControl&)> call;
    };
    const Case cases[] = {
        {"store", 13, [](TelescopeControl& e) { e.storeParameters(); }},
        {"reload's acknowledgement", 12, [](TelescopeControl& e) { e.reloadDefaults(); }},
        {"gear write", 26, [](TelescopeControl& e) { e.setGearRatios(1, 2); }},
        {"gear re-read", 20, [](TelescopeControl& e) { e.setGearRatios(1, 2); }},
        {"location", 101, [](TelescopeControl& e) { e.setLocation(1, 2); }},
        {"voltage", 43, [](TelescopeControl& e) { e.measureSupplyVoltage(); }},
        {"park", 29, [](TelescopeControl& e) { e.setParkPosition(); }},
        {"job location", 101,
         [](TelescopeControl& e) {
             e.applyAdvancedSettings({1, 1, 2, 3, 4});
         }},
        {"job mount", 27,
         [](TelescopeControl& e) {
             e.applyAdvancedSettings({4, 1, 2, 3, 4});
         }},
        {"job flip", 62,
         [](TelescopeControl& e) {
             e.applyAdvancedSettings({9, 1, 2, 3, 4});
         }},
    };
    connectClass5();
    for (const Case& c : cases) {
        controller.overrides = {{c.silent, {}}};
        h.recorder().clear();
        c.call(h.engine());
        h.settle();
        h.ticks(31);
        EXPECT_TRUE(h.recorder().statuses().empty()) << c.name;
        h.ticks(1);
        EXPECT_EQ(h.recorder().statuses(), std::vector<int>{StatusCode::CommunicationError}) << c.name;
        EXPECT_TRUE(h.port().isOpen()) << c.name;
        controller.overrides.clear();
        h.port().clearFrames();
        h.recorder().clear();
        h.engine().storeParameters();
        h.settle();
        EXPECT_EQ(sent(), (std::vector<Bytes>{{0xAA, 0x02, 0x0D, 0x01}})) << c.name;
        EXPECT_EQ(h.recorder().statuses(), std::vector<int>{StatusCode::ParametersStored}) << c.name;
    }
}

TEST_F(Commands, AdvancedSettingsMasks) {
    struct Case {
        uint32_t mask;
        std::vector<Bytes> frames;
    };
    const Case cases[] = {
        {12, {{0xAA, 0x03, 0x1B, 0x01, 0x01}, {0xAA, 0x06, 0x3E, 0x01, 0x01, 0x61, 0x62, 0x05}}},
        {1, {{0xAA, 0x0A, 0x65, 0x01, 0x10, 0x00, 0x00, 0x00, 0xE0, 0xFF, 0xFF, 0xFF}}},
        {7,
         {{0xAA, 0x0A, 0x65, 0x01, 0x10, 0x00, 0x00, 0x00, 0xE0, 0xFF, 0xFF, 0xFF},
          {0xAA, 0x03, 0x1B, 0x01, 0x01}}},
        {8, {{0xAA, 0x06, 0x3E, 0x01, 0x01, 0x61, 0x62, 0x05}}},
        {0, {}},
    };
    connectClass5();
    for (const Case& c : cases) {
        h.port().clearFrames();
        h.recorder().clear();
        AdvancedSettings adv{c.mask, 1, 16, -32, 5};
        h.engine().applyAdvancedSettings(adv);
        h.settle();
        EXPECT_EQ(sent(), c.frames) << "mask " << c.mask;
        EXPECT_EQ(h.recorder().statuses(),
                  c.mask == 0 ? std::vector<int>{} : std::vector<int>{StatusCode::SettingsDone});
    }
}

TEST_F(Commands, ParkByClass) {
    connectClass3();
    h.engine().setParkPosition();
    h.settle();
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>{StatusCode::ParkingUnsupported});
}

TEST_F(Commands, ParkOnClassFourAndStore) {
    connectClass4();
    h.engine().setParkPosition();
    h.settle();
    h.engine().storeParameters();
    h.settle();
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0xAA, 0x04, 0x1D, 0x01, 0x00, 0x00}, {0xAA, 0x02, 0x0D, 0x01}}));
    EXPECT_EQ(h.recorder().statuses(),
              (std::vector<int>{StatusCode::ParkPositionSet, StatusCode::ParametersStored}));
}

TEST_F(Commands, BusyCommandsAreRefusedAloud) {
    connectClass5();
    controller.overrides[13] = {};  // the store is never answered
    h.engine().storeParameters();
    h.settle();
    h.port().clearFrames();
    h.engine().storeParameters();
    h.engine().setGearRatios(1, 2);
    h.engine().sendRequest11();
    h.engine().setReverseFlags(1, 1, 1);
    h.engine().setCurrent(0x80, 1);
    h.engine().setDecay(0x80, 1);
    h.engine().setOvertone(0x80, 1);
    h.engine().setIncCurrentAt(0x80, 1, 1);
    h.engine().setMaxSpeeds(1, 1);
    h.engine().setAccelerations(1, 1);
    h.engine().setDecelerations(1, 1);
    h.engine().setGuideRates(1, 1);
    // Those that await a reply would take the store's as their own.
    h.engine().reloadDefaults();
    h.engine().setLocation(1, 2);
    h.engine().applyAdvancedSettings({15, 1, 2, 3, 4});
    h.engine().measureSupplyVoltage();
    h.engine().setParkPosition();
    h.settle();
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>(17, StatusCode::CommunicationError));
    // Motion and switches still go out while the exchange waits.
    h.engine().moveManual(0, 2);
    h.engine().stopMotion(0);
    h.engine().setTracking(1);
    h.settle();
    EXPECT_EQ(sent().size(), 3u);
    // The store's late reply still ends the store, and nothing else.
    h.recorder().clear();
    h.port().inject({0x55, 0x01, 0x0D});
    h.settle();
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>{StatusCode::ParametersStored});
    EXPECT_EQ(h.recorder().reports().size(), 1u);
}

TEST_F(Commands, RefusedMaxSpeedsLeaveTheRecordAlone) {
    connectClass5();
    controller.overrides[26] = {};
    h.engine().setGearRatios(5, 5);   // outstanding
    h.engine().setMaxSpeeds(10, 20);  // refused: neither record nor controller change
    h.settle();
    h.port().inject({0x55, 0x01, 0x1A});  // the gear write's reply arrives; re-read follows
    h.settle();
    const auto reports = h.recorder().settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value, SettingsReportKind::GearRatiosChanged);
    EXPECT_EQ(reports[0].settings.raMaxSpeed, controller.s.raMaxSpeed);
    EXPECT_EQ(reports[0].settings.raMaxRate, controller.s.raMaxSpeed * controller.s.raSiderealRate);
    for (const Bytes& f : sent()) EXPECT_NE(f[2], 0x35);
    // Sent in Ready, the record follows at once.
    controller.overrides.erase(26);
    h.recorder().clear();
    h.engine().setMaxSpeeds(10, 20);
    h.engine().setGearRatios(7, 7);
    h.settle();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    EXPECT_EQ(h.recorder().settingsReports()[0].settings.raMaxSpeed, 10u);
    EXPECT_EQ(h.recorder().settingsReports()[0].settings.deMaxRate, 20u * controller.s.deSiderealRate);
}

TEST_F(Commands, ClassOneRefusesPairedWrites) {
    connectClass(0x00010004, 0x01000000, true);
    h.engine().setReverseFlags(1, 0, 0);
    h.engine().setMaxSpeeds(1, 1);
    h.engine().setAccelerations(1, 1);
    h.engine().setDecelerations(1, 1);
    h.engine().setGuideRates(1, 1);
    h.engine().setOvertone(0x80, 1);  // below class 3: not even posted
    h.engine().setIncCurrentAt(0x80, 1, 1);
    h.engine().setCurrent(0x80, 300);  // single-axis writes still go
    h.settle();
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0xAA, 0x05, 0x33, 0x00, 0x80, 0x2C, 0x01}}));
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>(5, StatusCode::CommunicationError));
}

TEST_F(Commands, OvertoneIsPostedOnlyFromClassThree) {
    h.engine().setOvertone(0x80, 1);  // before any connection: nothing posted, no report
    h.settle();
    EXPECT_TRUE(h.recorder().statuses().empty());
    connectClass3();
    h.engine().setOvertone(0x80, 7);
    h.settle();
    EXPECT_EQ(sent(), (std::vector<Bytes>{{0xAA, 0x04, 0x3B, 0x00, 0x80, 0x07}}));
}

TEST_F(Commands, MotionReportsAndStatus) {
    connectClass5();
    h.engine().moveManual(2, 31);
    h.engine().stopMotion(2);
    h.settle();
    EXPECT_EQ(h.recorder().statuses(), (std::vector<int>{StatusCode::ManualMovement, StatusCode::Ready}));
    const std::vector<Bytes> f = sent();
    ASSERT_EQ(f.size(), 2u);
    const uint32_t top = controller.s.raMaxSpeed * controller.s.raSiderealRate;
    EXPECT_EQ(f[0],
              (Bytes{0xAA, 0x07, 0x23, 0x00, 0x80, static_cast<uint8_t>(top), static_cast<uint8_t>(top >> 8),
                     static_cast<uint8_t>(top >> 16), static_cast<uint8_t>(top >> 24)}));
}

}  // namespace
}  // namespace vorlant
