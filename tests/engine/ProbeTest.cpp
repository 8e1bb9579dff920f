// The port probe: what each kind of answer makes of a port, and the choice
// between the two rates on a simulated line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/ControllerProbe.h"
#include "platform/Platform.h"
#include "tests/support/NumberedPorts.h"
#include "tools/simulator/LoopbackPort.h"

namespace vorlant {
namespace {

using Bytes = std::vector<uint8_t>;

// Each case feeds the exchange one chunk per step (an empty chunk: the
// reply wait runs out) and checks what it asked for and concluded.
TEST(ProbeExchange, ClassifiesEveryKindOfAnswer) {
    struct Case {
        const char* what;
        std::vector<Bytes> chunks;
        Bytes requested;  // ids of the requests sent after the identification
        ProbeVerdict verdict;
        bool identified;
        int versionClass;
        bool incomplete;
    };
    const Bytes ident5 = {0x55, 0x05, 0x01, 0x05, 0x01, 0x01, 0x00};  // family 1
    const Bytes portType = {0x55, 0x02, 0x03, 0x04};
    const Bytes fw9 = {0x55, 0x05, 0x02, 0x09, 0x00, 0x00, 0x01};
    const Case cases[] = {
        {"class 5 controller", {ident5, portType, fw9}, {3, 2}, ProbeVerdict::Controller, true, 5, false},
        {"class 1 controller (firmware 1.0.0.0)",
         {ident5, portType, {0x55, 0x05, 0x02, 0x00, 0x00, 0x00, 0x01}},
         {3, 2},
         ProbeVerdict::Controller,
         true,
         1,
         false},
        {"replies split and joined",
         {{0x00, 0x55, 0x05},
          {0x01, 0x05, 0x01, 0x01, 0x00},
          {0x55, 0x02, 0x03, 0x04, 0x55},
          {0x05, 0x02, 0x09, 0x00, 0x00, 0x01}},
         {3, 2},
         ProbeVerdict::Controller,
         true,
         5,
         false},
        {"short form, too old", {{0x55, 0x03, 0x00, 0x01, 0x01}}, {}, ProbeVerdict::TooOld, true, 0, false},
        {"short form, new enough",
         {{0x55, 0x03, 0x00, 0x02, 0x00}, portType, fw9},
         {3, 2},
         ProbeVerdict::Controller,
         true,
         1,
         false},
        {"another family",
         {{0x55, 0x05, 0x01, 0x08, 0x01, 0x02, 0x00}},
         {},
         ProbeVerdict::OtherDevice,
         true,
         0,
         false},
        {"a frame that is no identification, then silence",
         {{0x55, 0x02, 0x07, 0x07}, {}},
         {},
         ProbeVerdict::OtherDevice,
         false,
         0,
         false},
        {"loose bytes (another rate or device)",
         {{0x12, 0xAA, 0x01, 0x33}, {}},
         {},
         ProbeVerdict::OtherDevice,
         false,
         0,
         false},
        {"silence", {{}}, {}, ProbeVerdict::Nothing, false, 0, false},
        {"identified, then silent", {ident5, {}}, {3}, ProbeVerdict::Controller, true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProbeExchange exchange;
        EXPECT_EQ(ProbeExchange::firstRequest().bytes[2], 1);
        Bytes requested;
        for (const Bytes& chunk : c.chunks) {
            ASSERT_FALSE(exchange.done());
            if (chunk.empty()) {
                exchange.onTimeout();
                continue;
            }
            const Frame next = exchange.onBytes(chunk.data(), chunk.size());
            if (next.size > 0) requested.push_back(next.bytes[2]);
        }
        EXPECT_TRUE(exchange.done());
        EXPECT_EQ(requested, c.requested);
        EXPECT_EQ(exchange.verdict(), c.verdict);
        EXPECT_EQ(exchange.identified(), c.identified);
        EXPECT_EQ(exchange.settings().versionClass, c.versionClass);
        EXPECT_EQ(exchange.incomplete(), c.incomplete);
    }
}

// Garbage at one rate, a given simulated controller at 115200.
class TwoRatePort : public platform::SerialPort {
public:
    TwoRatePort(std::shared_ptr<sim::LoopbackPort> slow, std::shared_ptr<sim::LoopbackPort> fast)
        : slow_(std::move(slow)), fast_(std::move(fast)) {}
    bool open(int portNumber, uint32_t baud) override {
        active_ = baud == 115200 ? fast_ : slow_;
        return active_->open(portNumber, baud);
    }
    WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) override {
        return active_->write(data, count, timeoutMs);
    }
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override {
        return active_->read(buffer, capacity, got, stop);
    }
    void close() override {
        if (active_) active_->close();
    }
    platform::PortError lastError() const override { return active_->lastError(); }

private:
    std::shared_ptr<sim::LoopbackPort> slow_, fast_;
    std::shared_ptr<sim::LoopbackPort> active_;
};

TEST(ProbePort, TriesTheSecondRateOnlyWhenTheFirstIdentifiedNothing) {
    const ProbeTimings quick{20, 300};
    struct Case {
        const char* what;
        sim::SimProfile at9600;
        sim::SimProfile at115200;
        ProbeVerdict verdict;
        uint32_t baud;
        uint32_t opensAt115200;
    };
    const Case cases[] = {
        {"controller at 9600", sim::SimProfile::Class4, sim::SimProfile::Class5, ProbeVerdict::Controller,
         9600, 0},
        {"garbage at 9600, controller at 115200", sim::SimProfile::Garbage, sim::SimProfile::Class5,
         ProbeVerdict::Controller, 115200, 1},
        {"silent at 9600, too old at 115200", sim::SimProfile::Silent, sim::SimProfile::TooOld,
         ProbeVerdict::TooOld, 115200, 1},
        {"garbage at both", sim::SimProfile::Garbage, sim::SimProfile::Garbage, ProbeVerdict::OtherDevice,
         9600, 1},
        {"silent at both", sim::SimProfile::Silent, sim::SimProfile::Silent, ProbeVerdict::Nothing, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto slow = std::make_shared<sim::LoopbackPort>(c.at9600);
        auto fast = std::make_shared<sim::LoopbackPort>(c.at115200);
        const ProbeReport r = probePort(
            ProbeTarget{4, "COM4", true}, [&] { return std::make_unique<TwoRatePort>(slow, fast); }, quick);
        EXPECT_EQ(r.verdict, c.verdict) << describeProbe(r);
        EXPECT_EQ(r.baud, c.baud);
        EXPECT_EQ(fast->openCalls(), c.opensAt115200);
        EXPECT_FALSE(slow->isOpen());
        EXPECT_FALSE(fast->isOpen());
        // Only requests 1, 3 and 2 ever reach the line.
        for (const auto* port : {slow.get(), fast.get()})
            for (const std::vector<uint8_t>& frame : port->requestLog()) {
                ASSERT_GE(frame.size(), 3u);
                EXPECT_TRUE(frame[2] == 1 || frame[2] == 2 || frame[2] == 3) << int(frame[2]);
            }
    }
}

TEST(ScanPorts, ReportsBusyAndMissingPortsAndDropsMissingGuesses) {
    const ProbeTimings quick{20, 300};
    auto busy = std::make_shared<sim::LoopbackPort>(sim::SimProfile::Class5);
    busy->failOpenWith(platform::PortError::Busy);
    auto missing = std::make_shared<sim::LoopbackPort>(sim::SimProfile::Class5);
    missing->failOpenWith(platform::PortError::NotFound);
    auto found = std::make_shared<sim::LoopbackPort>(sim::SimProfile::Class5);
    const std::vector<ProbeTarget> targets = {
        {1, "COM1", true}, {2, "COM2", true}, {3, "COM3", false}, {4, "COM4", true}};
    const test::NumberedPort::Ports ports = {{1, busy}, {2, missing}, {3, missing}, {4, found}};
    // Each port is told as its probe ends (in any order), the dropped
    // guess not at all.
    std::vector<std::string> told;
    const std::vector<ProbeReport> reports = scanPorts(
        targets, [&] { return std::make_unique<test::NumberedPort>(ports); }, quick,
        [&told](const ProbeReport& r) { told.push_back(describeProbe(r)); });
    std::vector<std::string> lines;
    for (const ProbeReport& r : reports) lines.push_back(describeProbe(r));
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "COM1: port is in use by another program, skipped",
                         "COM2: cannot open: no such port",
                         "COM4: controller, class 5, at 9600 baud (HW:0.1.1.5 | FW:1.0.0.9 | Port type:4)",
                     }));
    ASSERT_NE(firstController(reports), nullptr);
    EXPECT_EQ(firstController(reports)->target.portNumber, 4);
}

// A port that never answers, counting how many such ports are open at once.
class CountedSilentPort : public platform::SerialPort {
public:
    struct Count {
        platform::Lock lock;
        int open = 0;
        int most = 0;
    };
    explicit CountedSilentPort(std::shared_ptr<Count> count) : count_(std::move(count)) {}
    ~CountedSilentPort() override { close(); }
    bool open(int, uint32_t) override {
        platform::LockGuard guard(count_->lock);
        open_ = true;
        count_->most = std::max(count_->most, ++count_->open);
        return true;
    }
    WriteResult write(const uint8_t*, size_t, uint32_t) override { return WriteResult::Done; }
    ReadResult read(uint8_t*, size_t, size_t& got, platform::Event& stop) override {
        got = 0;
        return stop.wait(200) ? ReadResult::Stopped : ReadResult::Data;
    }
    void close() override {
        platform::LockGuard guard(count_->lock);
        if (open_) --count_->open;
        open_ = false;
    }
    platform::PortError lastError() const override { return platform::PortError::None; }

private:
    std::shared_ptr<Count> count_;
    bool open_ = false;
};

TEST(ScanPorts, ProbesAtMost32PortsAtOnceAndReachesEveryPort) {
    auto count = std::make_shared<CountedSilentPort::Count>();
    std::vector<ProbeTarget> targets;
    for (int n = 1; n <= 40; ++n) targets.push_back(ProbeTarget{n, "COM" + std::to_string(n), true});
    const std::vector<ProbeReport> reports = scanPorts(
        targets, [count] { return std::make_unique<CountedSilentPort>(count); }, ProbeTimings{20, 100});
    ASSERT_EQ(reports.size(), targets.size());
    for (const ProbeReport& r : reports) EXPECT_EQ(describeProbe(r), r.target.label + ": nothing answered");
    EXPECT_GT(count->most, 1);
    EXPECT_LE(count->most, 32);
}

#ifndef _WIN32
// Made before main, so it is destroyed after every function-local static:
// once armed, its destructor lets a probe that waited for the exit go on
// and keeps the process alive while that probe runs. The event outlives
// the gate: the probe may still be leaving its wait.
struct ExitGate {
    platform::Event& exiting = *new platform::Event(platform::Event::Reset::Manual);
    bool armed = false;
    ~ExitGate() {
        if (!armed) return;
        exiting.set();
        platform::sleepMs(500);
    }
};
ExitGate exitGate;

// A window that closes during a scan, or vorlantctl after a probe overran
// its bound, leaves a probe running while the static destructors run; the
// probe's next open looks its device up (ASan sees a freed table).
TEST(ScanPortsDeathTest, AProbeRunningAtExitFindsItsDeviceTableAlive) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            exitGate.armed = true;
            const std::vector<ProbeTarget> targets = devicePathTargets({"/dev/null"});
            std::thread([targets] {
                scanPorts(
                    targets,
                    [] {
                        exitGate.exiting.wait(5000);
                        return platform::createSerialPort();
                    },
                    ProbeTimings{0, 50});
            }).detach();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace vorlant
