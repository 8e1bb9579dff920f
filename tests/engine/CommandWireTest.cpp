// Every command's frame as the simulated controller receives it: the
// engine's builders and the controller's own request parser must agree on
// every byte, in both builds.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/EngineHarness.h"
#include "tools/simulator/LoopbackPort.h"

namespace vorlant {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(CommandWire, TheSimulatorReceivesEveryCommandWhole) {
    auto port = std::make_shared<sim::LoopbackPort>(sim::SimProfile::Class5);
    test::EngineHarness<sim::LoopbackPort> h(port);
    h.connectAndRun();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    struct Case {
        const char* name;
        std::function<void(TelescopeControl&)> call;
        Bytes frame;
    };
    const Case cases[] = {
        {"stopMotion", [](TelescopeControl& e) { e.stopMotion(1); }, {0xAA, 0x03, 0x21, 0x00, 0x40}},
        {"setTracking", [](TelescopeControl& e) { e.setTracking(1); }, {0xAA, 0x03, 0x24, 0x00, 0x01}},
        {"setExp", [](TelescopeControl& e) { e.setExp(1); }, {0xAA, 0x03, 0x28, 0x00, 0x01}},
        {"sendRequest11", [](TelescopeControl& e) { e.sendRequest11(); }, {0xAA, 0x01, 0x0B}},
        {"setReverseFlags",
         [](TelescopeControl& e) { e.setReverseFlags(2, 1, 3); },
         {0xAA, 0x06, 0x32, 0x00, 0xC0, 2, 1, 3}},
        {"setCurrent",
         [](TelescopeControl& e) { e.setCurrent(0x42, 1300); },
         {0xAA, 0x05, 0x33, 0x00, 0x42, 0x14, 0x05}},
        {"setDecay", [](TelescopeControl& e) { e.setDecay(0x81, 3); }, {0xAA, 0x04, 0x34, 0x00, 0x81, 3}},
        {"setMaxSpeeds",
         [](TelescopeControl& e) { e.setMaxSpeeds(900, 700); },
         {0xAA, 0x07, 0x35, 0x00, 0xC0, 0x84, 0x03, 0xBC, 0x02}},
        {"setAccelerations",
         [](TelescopeControl& e) { e.setAccelerations(16, 32); },
         {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x10, 0x20}},
        {"setDecelerations",
         [](TelescopeControl& e) { e.setDecelerations(7, 9); },
         {0xAA, 0x05, 0x38, 0x00, 0xC0, 7, 9}},
        {"setOvertone",
         [](TelescopeControl& e) { e.setOvertone(0x40, 0xFD); },
         {0xAA, 0x04, 0x3B, 0x00, 0x40, 0xFD}},
        {"setIncCurrentAt",
         [](TelescopeControl& e) { e.setIncCurrentAt(0x80, 1800, 4951); },
         {0xAA, 0x07, 0x3C, 0x00, 0x80, 0x08, 0x07, 0x57, 0x13}},
        {"setGuideRates",
         [](TelescopeControl& e) { e.setGuideRates(4, 12); },
         {0xAA, 0x05, 0x36, 0x00, 0xC0, 4, 12}},
        {"storeParameters", [](TelescopeControl& e) { e.storeParameters(); }, {0xAA, 0x02, 0x0D, 0x01}},
        {"measureSupplyVoltage",
         [](TelescopeControl& e) { e.measureSupplyVoltage(); },
         {0xAA, 0x03, 0x2B, 0x00, 0x00}},
        {"setParkPosition",
         [](TelescopeControl& e) { e.setParkPosition(); },
         {0xAA, 0x04, 0x1D, 0x01, 0x00, 0x00}},
        {"setLocation",
         [](TelescopeControl& e) { e.setLocation(-86400, 24); },
         {0xAA, 0x0A, 0x65, 0x00, 0x80, 0xAE, 0xFE, 0xFF, 0x18, 0x00, 0x00, 0x00}},
        {"setGearRatios",
         [](TelescopeControl& e) { e.setGearRatios(172800, 164000); },
         {0xAA, 0x0B, 0x1A, 0x01, 0xC0, 0x00, 0xA3, 0x02, 0x00, 0xA0, 0x80, 0x02, 0x00}},
    };
    for (const Case& c : cases) {
        port->inspect([](sim::SimController& s) {
            s.clearRequestLog();
            return 0;
        });
        h.recorder().clear();
        c.call(h.engine());
        h.settle();
        const auto log = port->inspect([](sim::SimController& s) { return s.requestLog(); });
        ASSERT_FALSE(log.empty()) << c.name;
        EXPECT_EQ(log.front(), c.frame) << c.name;
        for (int code : h.recorder().statuses()) EXPECT_NE(code, StatusCode::CommunicationError) << c.name;
    }
    // The stateful controller took the values: a fresh read-out shows them.
    h.engine().disconnect();
    h.settle();
    h.recorder().clear();
    h.connectAndRun();
    const auto reports = h.recorder().settingsReports();
    ASSERT_EQ(reports.size(), 1u);
    const ControllerSettings& s = reports[0].settings;
    EXPECT_EQ(s.reverseRotation, 2);
    EXPECT_EQ(s.reverseLimits, 3);
    EXPECT_EQ(s.deRunCurrent, 1300);
    EXPECT_EQ(s.raTrackDecay, 3);
    EXPECT_EQ(s.raMaxSpeed, 900u);
    EXPECT_EQ(s.deAcceleration, 32);
    EXPECT_EQ(s.deDeceleration, 9);
    EXPECT_EQ(s.deOvertone, -3);
    EXPECT_EQ(s.raIncCurrentAt, 1800);
    EXPECT_EQ(s.deGuideRate, 12);
    EXPECT_EQ(s.latitude, -86400);
    EXPECT_EQ(s.raGearRatio, 172800u);
}

}  // namespace
}  // namespace vorlant
