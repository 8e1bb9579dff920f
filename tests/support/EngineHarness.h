// Runs a real TelescopeControl (its threads included) against a test port,
// with ticks driven by the test instead of a heartbeat, and records every
// report. settle() reaches a quiescent point: the engine has handled
// everything posted, and the port has nothing left for the reader.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/TelescopeControl.h"

namespace vorlant::test {

struct Report {
    enum Kind { Status, Settings, Voltage } kind;
    int value;  // status code, settings kind or voltage
    ControllerSettings settings;
};

class Recorder : public TelescopeListener {
public:
    void onStatus(int code) override { add({Report::Status, code, {}}); }
    void onSettings(const ControllerSettings* s, int kind) override { add({Report::Settings, kind, *s}); }
    void onSupplyVoltage(int v) override { add({Report::Voltage, v, {}}); }

    std::vector<Report> reports() const {
        std::lock_guard<std::mutex> g(m_);
        return reports_;
    }
    std::vector<int> statuses() const {
        std::vector<int> out;
        for (const Report& r : reports())
            if (r.kind == Report::Status) out.push_back(r.value);
        return out;
    }
    std::vector<Report> settingsReports() const {
        std::vector<Report> out;
        for (const Report& r : reports())
            if (r.kind == Report::Settings) out.push_back(r);
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> g(m_);
        reports_.clear();
    }

private:
    void add(Report r) {
        std::lock_guard<std::mutex> g(m_);
        reports_.push_back(r);
    }
    mutable std::mutex m_;
    std::vector<Report> reports_;
};

// Port is any SerialPort with bool idle(uint64_t* bytesQueuedEver) const.
template <class Port>
class EngineHarness {
public:
    explicit EngineHarness(std::shared_ptr<Port> port) : port_(std::move(port)) {
        TelescopeControl::Options options;
        options.connectSettleMs = 0;
        options.readerStopWaitMs = 2000;
        std::shared_ptr<Port> p = port_;
        options.portFactory = [p]() -> std::shared_ptr<platform::SerialPort> { return p; };
        engine_ = std::make_unique<TelescopeControl>(&recorder_, options);
    }

    TelescopeControl& engine() { return *engine_; }
    Port& port() { return *port_; }
    const Port& port() const { return *port_; }
    Recorder& recorder() { return recorder_; }

    // Quiescent when the port was idle (everything it handed out already in
    // the engine's queue), a drain then handled all of it, and nothing new
    // was queued for the reader meanwhile.
    void settle() {
        for (int i = 0; i < 10000; ++i) {
            uint64_t before = 0;
            if (!port_->idle(&before)) {
                ASSERT_TRUE(engine_->drain(5000)) << "engine did not drain";
                std::this_thread::yield();
                continue;
            }
            ASSERT_TRUE(engine_->drain(5000)) << "engine did not drain";
            uint64_t after = 0;
            if (port_->idle(&after) && after == before) return;
        }
        FAIL() << "never settled";
    }

    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            engine_->tick();
            settle();
        }
    }

    // Connects and drives ticks until a settings report or a status that
    // ends the read-out arrives, at most maxTicks.
    void connectAndRun(int portNumber = 3, uint32_t baud = 9600, int maxTicks = 80) {
        engine_->connect(portNumber, baud);
        settle();
        for (int i = 0; i < maxTicks && !readoutEnded(); ++i) ticks(1);
    }

    bool readoutEnded() const {
        for (const Report& r : recorder_.reports()) {
            if (r.kind == Report::Settings) return true;
            if (r.kind == Report::Status &&
                (r.value == StatusCode::ConnectTimeout || r.value == StatusCode::IncompatibleDevice ||
                 r.value == StatusCode::CannotOpenPort || r.value == StatusCode::ConnectionClosed))
                return true;
        }
        return false;
    }

    void destroyEngine() { engine_.reset(); }

private:
    Recorder recorder_;
    std::shared_ptr<Port> port_;
    std::unique_ptr<TelescopeControl> engine_;
};

}  // namespace vorlant::test
