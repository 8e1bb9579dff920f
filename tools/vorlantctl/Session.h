// One connection's worth of engine: the TelescopeControl, its heartbeat,
// the report log, and the waits that turn the engine's fire-and-forget
// operations into steps that succeed or fail.
//
// Everything here runs on the tool's main thread; the engine reports on its
// own thread into the ReportLog, which the waits watch. A step posts its
// command, drains the engine (so the command has been handled), looks at
// the statuses the command caused (refused, not connected, link lost) and,
// for exchanges, waits for the controller's answer with a time-out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/HeartBeat.h"
#include "engine/TelescopeControl.h"
#include "platform/Platform.h"
#include "tools/vorlantctl/Outcome.h"
#include "tools/vorlantctl/Progress.h"
#include "tools/vorlantctl/ReportLog.h"

namespace vorlant::ctl {

class Session {
public:
    struct Options {
        // The engine's options: tests put an in-process port behind
        // portFactory and shorten the settling wait.
        TelescopeControl::Options engine;
        // 0: ticks from a real HeartBeat (250 ms). Otherwise the session
        // ticks the engine itself at this interval (tests).
        uint32_t tickMs = 0;
        // Wait for the answer to a command exchange.
        uint32_t replyTimeoutMs = 5000;
        // Safety net around a whole read-out; the engine's own reply
        // time-out (32 ticks per request) normally ends a dead read-out.
        uint32_t readoutTimeoutMs = 60000;
        // Where each step and request is shown; none: nothing is.
        std::shared_ptr<Progress> progress;
    };

    // What a step waits for after the engine has handled its command.
    struct Expect {
        enum class What { Nothing, Status, Settings, Voltage };
        What what = What::Nothing;
        int value = 0;           // the status code, or the settings report kind (0: any kind)
        uint32_t timeoutMs = 0;  // 0: replyTimeoutMs

        static Expect nothing() { return Expect{}; }
        static Expect status(int code) { return Expect{What::Status, code, 0}; }
        static Expect settings(int kind, uint32_t timeoutMs = 0) {
            return Expect{What::Settings, kind, timeoutMs};
        }
        static Expect voltage() { return Expect{What::Voltage, 0, 0}; }
    };

    explicit Session(Options options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the port and waits for the read-out. Success only for a
    // complete read-out (under Options::engine.identifyOnly: an accepted
    // identification); settings() then holds the record. Ctrl-C or SIGTERM
    // ends the wait (the read-out changes nothing) with exit code 130/143.
    Outcome connect(int portNumber, uint32_t baud, const std::string& portLabel);
    // Closes the port (waits for "Connection closed").
    Outcome disconnect();
    // disconnect() and connect() again with the same port: a fresh read-out.
    Outcome reconnect();

    // The record of the last complete read-out, updated by gear re-reads.
    const ControllerSettings& settings() const { return settings_; }

    // Posts one command (post calls one engine operation) and checks its
    // outcome as described above. `what` names the step in messages.
    // `got` receives the awaited report.
    Outcome run(const std::function<void(TelescopeControl&)>& post, const std::string& what, Expect expect,
                Report* got = nullptr);

    // Makes sure the controller has received everything sent before: the
    // settings writes have no reply, and closing a port discards what it
    // has not transmitted yet. The supply-voltage request is harmless and
    // answered on every class, and the controller answers in order.
    Outcome barrier();

    // Shows a step on the progress, if there is one.
    void step(const std::string& text) {
        if (options_.progress) options_.progress->step(text);
    }

    TelescopeControl& engine() { return *engine_; }
    ReportLog& log() { return log_; }

private:
    static void tickerEntry(void* self);
    void tickerLoop();
    std::string statusWithPortError(int code) const;
    Outcome failureFromStatus(int code, const std::string& what) const;

    Options options_;
    ReportLog log_;
    std::unique_ptr<TelescopeControl> engine_;
    HeartBeat heartBeat_;
    platform::Thread ticker_;
    platform::Event tickerStop_{platform::Event::Reset::Manual};
    bool ticking_ = false;
    bool portOpen_ = false;
    int portNumber_ = 0;
    uint32_t baud_ = 9600;
    std::string portLabel_;
    ControllerSettings settings_{};
};

}  // namespace vorlant::ctl
