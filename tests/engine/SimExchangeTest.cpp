// Exchanges against the simulated controller: one it leaves unanswered
// ends after the reply time-out and the link carries on; one that would
// cut into another is refused, and the other finishes untouched.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "tests/support/EngineHarness.h"
#include "tools/simulator/LoopbackPort.h"

namespace vorlant {
namespace {

using Bytes = std::vector<uint8_t>;

std::shared_ptr<sim::LoopbackPort> class5(sim::SimOptions options) {
    return std::make_shared<sim::LoopbackPort>(sim::SimProfile::Class5, options);
}

TEST(SimExchange, AMutedControllerEndsTheVoltageExchangeAndTheStoreStillGoesOut) {
    sim::SimOptions options;
    options.muteAfterRequests = 7;  // the class-5 read-out's requests, then silence
    test::EngineHarness<sim::LoopbackPort> h(class5(options));
    h.connectAndRun();
    ASSERT_EQ(h.recorder().settingsReports().size(), 1u);
    h.recorder().clear();
    h.engine().measureSupplyVoltage();
    h.settle();
    h.ticks(31);
    EXPECT_TRUE(h.recorder().statuses().empty());
    h.ticks(1);
    EXPECT_EQ(h.recorder().statuses(), std::vector<int>{StatusCode::CommunicationError});
    EXPECT_TRUE(h.port().isOpen());
    h.engine().storeParameters();
    h.settle();
    EXPECT_EQ(h.port().requestLog().back(), (Bytes{0xAA, 0x02, 0x0D, 0x01}));
    EXPECT_EQ(h.recorder().statuses().size(), 1u);  // the store was not refused
}

TEST(SimExchange, AVoltageRequestDuringAGearWriteIsRefusedAndTheRereadFollows) {
    // Every reply comes 100 ms late, so the voltage request is handled
    // while the gear write still awaits its acknowledgement. The harness's
    // settle() does not wait that long: the test ticks and polls itself.
    sim::SimOptions options;
    options.replyDelayMs = 100;
    auto port = class5(options);
    test::Recorder recorder;
    TelescopeControl::Options engineOptions;
    engineOptions.connectSettleMs = 0;
    engineOptions.portFactory = [port]() -> std::shared_ptr<platform::SerialPort> { return port; };
    TelescopeControl engine(&recorder, engineOptions);
    const auto tickUntil = [&engine](const std::function<bool()>& done) {
        for (int i = 0; i < 400 && !done(); ++i) {
            engine.tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return done();
    };
    engine.connect(3, 9600);
    ASSERT_TRUE(tickUntil([&] { return !recorder.settingsReports().empty(); }));
    recorder.clear();
    const size_t before = port->requestLog().size();
    engine.setGearRatios(2000000, 1500000);
    engine.measureSupplyVoltage();
    ASSERT_TRUE(tickUntil([&] { return !recorder.settingsReports().empty(); }));
    ASSERT_TRUE(engine.drain(5000));
    std::vector<int> ids;
    const auto log = port->requestLog();
    for (size_t i = before; i < log.size(); ++i) ids.push_back(log[i][2]);
    EXPECT_EQ(ids, (std::vector<int>{26, 20}));
    EXPECT_EQ(recorder.statuses(), std::vector<int>{StatusCode::CommunicationError});
    const auto reports = recorder.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].kind, test::Report::Settings);  // no voltage report
    EXPECT_EQ(reports[1].value, SettingsReportKind::GearRatiosChanged);
    EXPECT_EQ(reports[1].settings.raGearRatio, 2000000u);
    EXPECT_EQ(reports[1].settings.deGearRatio, 1500000u);
}

}  // namespace
}  // namespace vorlant
