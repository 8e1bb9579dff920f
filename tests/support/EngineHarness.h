// Runs a real TelescopeControl (its threads included) against a test port,
// with ticks driven by the test instead of a heartbeat, and records every
// report. settle() reaches a quiescent point: the engine has handled
// everything posted, and the port has nothing left for the reader.
#pragma once

#include <gtest/gtest.h>

#include <functional>
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
    // Called with every report, on the thread that makes it (the engine
    // thread), before it is recorded. Set before the engine is driven.
    void setHook(std::function<void(const Report&)> hook) { hook_ = std::move(hook); }

private:
    void add(Report r) {
        if (hook_) hook_(r);
        std::lock_guard<std::mutex> g(m_);
        reports_.push_back(r);
    }
    std::function<void(const Report&)> hook_;
    mutable std::mutex m_;
    std::vector<Report> reports_;
};

// A count that grows with every byte the port's controller takes in or
// queues: the scripted port counts queued replies, the simulator's loopback
// port the bytes written to it.
template <class P>
auto activityOf(const P& p, int) -> decltype(uint64_t{p.bytesWritten()}) {
    return p.bytesWritten();
}
template <class P>
uint64_t activityOf(const P& p, long) {
    uint64_t n = 0;
    p.idle(&n);
    return n;
}

// Port is any SerialPort with bool idle() const and one of the counts above.
template <class Port>
class EngineHarness {
public:
    // `adjust` changes the engine's options before the engine is made.
    explicit EngineHarness(std::shared_ptr<Port> port, uint32_t readerStopWaitMs = 2000,
                           std::shared_ptr<LinkTrace> trace = nullptr,
                           const std::function<void(TelescopeControl::Options&)>& adjust = {})
        : port_(std::move(port)) {
        TelescopeControl::Options options;
        options.connectSettleMs = 0;
        options.readerStopWaitMs = readerStopWaitMs;
        options.trace = std::move(trace);
        if (adjust) adjust(options);
        std::shared_ptr<Port> p = port_;
        options.portFactory = [p]() -> std::shared_ptr<platform::SerialPort> { return p; };
        engine_ = std::make_unique<TelescopeControl>(&recorder_, options);
    }

    TelescopeControl& engine() { return *engine_; }
    Port& port() { return *port_; }
    std::shared_ptr<Port> portRef() const { return port_; }
    const Port& port() const { return *port_; }
    Recorder& recorder() { return recorder_; }

    // Quiescent when the port was idle (everything it handed out already in
    // the engine's queue), a drain then handled all of it, and the port saw
    // no new traffic meanwhile.
    void settle() {
        for (int i = 0; i < 10000; ++i) {
            const uint64_t before = activityOf(*port_, 0);
            if (!port_->idle()) {
                ASSERT_TRUE(engine_->drain(5000)) << "engine did not drain";
                std::this_thread::yield();
                continue;
            }
            ASSERT_TRUE(engine_->drain(5000)) << "engine did not drain";
            if (port_->idle() && activityOf(*port_, 0) == before) return;
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
