#include "tools/vorlantctl/Session.h"

#include "engine/StatusMeaning.h"
#include "platform/Interrupt.h"
#include "platform/SerialPort.h"
#include "text/VersionText.h"

namespace vorlant::ctl {

namespace {

// What to try when nothing valid came back: the other line speed, the
// controller's power and cable, the scan.
std::string timeoutAdvice(uint32_t baud) {
    return "; try --baud " + std::string(baud == 115200 ? "9600" : "115200") +
           ", check the controller's power and cable, or run `vorlantctl scan`";
}

}  // namespace

Session::Session(Options options) : options_(std::move(options)) {
    if (options_.progress) {
        // Every request the engine writes passes the progress on its way.
        TelescopeControl::PortFactory inner = options_.engine.portFactory;
        if (!inner)
            inner = [] { return std::shared_ptr<platform::SerialPort>(platform::createSerialPort()); };
        options_.engine.portFactory = [inner, progress = options_.progress] {
            return reportingPort(inner(), progress);
        };
    }
    engine_ = std::make_unique<TelescopeControl>(&log_, options_.engine);
    if (options_.tickMs != 0) {
        ticking_ = ticker_.start(&Session::tickerEntry, this);
    } else {
        heartBeat_.setListener(engine_.get());
        ticking_ = heartBeat_.start();
    }
}

Session::~Session() {
    // Ticks stop first: the engine must not be ticked while it is destroyed.
    if (options_.tickMs != 0) {
        tickerStop_.set();
        ticker_.join(10000);
    } else {
        heartBeat_.clearListener();
        heartBeat_.stop();
    }
    // The engine's destructor closes an open link and ends its threads.
    engine_.reset();
}

void Session::tickerEntry(void* self) {
    static_cast<Session*>(self)->tickerLoop();
}

void Session::tickerLoop() {
    while (!tickerStop_.wait(options_.tickMs)) engine_->tick();
}

std::string Session::statusWithPortError(int code) const {
    std::string text = statusTextAscii(code);
    const platform::PortError error = engine_->lastPortError();
    if (error != platform::PortError::None) {
        text += " (";
        text += platform::portErrorText(error);
        text += ")";
    }
    return text;
}

Outcome Session::failureFromStatus(int code, const std::string& what) const {
    switch (code) {
        case StatusCode::CommunicationError:
            return Outcome::failure(kExitGeneric, what + ": refused: " + statusTextAscii(code) +
                                                      " (the controller was busy with another exchange)");
        case StatusCode::ParkingUnsupported:
            return Outcome::failure(kExitGeneric, what + ": " + statusTextAscii(code));
        case StatusCode::ConnectTimeout:
            return Outcome::failure(kExitTimeout, what + ": " + statusTextAscii(code));
        case StatusCode::NotConnectedYet:
            return Outcome::failure(kExitLost, what + ": " + statusTextAscii(code));
        case StatusCode::ConnectionClosed:
        default:
            return Outcome::failure(kExitLost, what + ": lost the connection: " + statusWithPortError(code));
    }
}

Outcome Session::connect(int portNumber, uint32_t baud, const std::string& portLabel) {
    portNumber_ = portNumber;
    baud_ = baud;
    portLabel_ = portLabel;
    if (!ticking_) return Outcome::failure(kExitGeneric, "cannot start the heartbeat thread");

    if (options_.progress)
        options_.progress->step("connecting to " + portLabel + " at " + std::to_string(baud) + " baud");
    const size_t mark = log_.size();
    engine_->connect(portNumber, baud);
    Report r{};
    bool ended = false;
    // In slices, so that a Ctrl-C ends the wait within one.
    constexpr uint32_t kSliceMs = 50;
    for (uint32_t waited = 0; !ended && waited < options_.readoutTimeoutMs; waited += kSliceMs) {
        const platform::Interrupt interrupt = platform::pendingInterrupt();
        if (interrupt != platform::Interrupt::None) {
            portOpen_ = true;  // the destructor closes whatever was opened
            return Outcome::failure(
                interrupt == platform::Interrupt::Interrupt ? kExitInterrupted : kExitTerminated,
                std::string(interrupt == platform::Interrupt::Interrupt ? "interrupted" : "terminated") +
                    " while connecting to " + portLabel + "; nothing was changed");
        }
        ended = log_.waitFor(
            mark, kSliceMs,
            [](const Report& x) {
                // A refused connect (the port was open) starts no read-out.
                return x.kind == Report::Kind::Settings ||
                       (x.kind == Report::Kind::Status && (endsReadout(x.value) || refusesConnect(x.value)));
            },
            r);
    }
    if (!ended) {
        // The engine is still trying; the destructor closes the port.
        portOpen_ = true;
        return Outcome::failure(kExitTimeout, "no reply from the controller on " + portLabel +
                                                  ": the read-out did not finish" + timeoutAdvice(baud));
    }
    if (r.kind == Report::Kind::Settings) {
        portOpen_ = true;  // a too-old controller leaves the port open too
        if (r.value == SettingsReportKind::DeviceTooOld) {
            return Outcome::failure(kExitTooOld,
                                    std::string(statusTextAscii(StatusCode::DeviceTooOld)) + " (hardware " +
                                        dottedVersion(r.settings.hardwareVersion) + " on " + portLabel + ")");
        }
        settings_ = r.settings;
        return Outcome::success();
    }
    portOpen_ = false;
    switch (r.value) {
        case StatusCode::CannotOpenPort: {
            std::string text = std::string(statusTextAscii(r.value)) + " " + portLabel;
            const platform::PortError error = engine_->lastPortError();
            if (error != platform::PortError::None)
                text += ": " + platform::portOpenFailureText(error, platform::portDevice(portNumber));
            return Outcome::failure(kExitCannotOpen, text);
        }
        case StatusCode::ConnectTimeout:
            return Outcome::failure(kExitTimeout, std::string(statusTextAscii(r.value)) +
                                                      " (no valid reply from the controller on " + portLabel +
                                                      " at " + std::to_string(baud) + " baud)" +
                                                      timeoutAdvice(baud));
        case StatusCode::IncompatibleDevice:
            return Outcome::failure(kExitUnsupported, std::string(statusTextAscii(r.value)) +
                                                          " (the device on " + portLabel +
                                                          " is not a supported controller)");
        case StatusCode::AlreadyConnected:
            portOpen_ = true;
            return Outcome::failure(kExitGeneric, statusTextAscii(r.value));
        default:
            return Outcome::failure(
                kExitLost, "lost the connection during the read-out: " + statusWithPortError(r.value));
    }
}

Outcome Session::disconnect() {
    if (!portOpen_) return Outcome::success();
    const size_t mark = log_.size();
    engine_->disconnect();
    Report r{};
    const bool closed = log_.waitFor(
        mark, options_.replyTimeoutMs,
        [](const Report& x) {
            return x.isStatus(StatusCode::ConnectionClosed) || x.isStatus(StatusCode::NotConnectedYet);
        },
        r);
    portOpen_ = false;
    if (!closed) return Outcome::failure(kExitGeneric, "disconnect: the engine did not respond");
    return Outcome::success();
}

Outcome Session::reconnect() {
    const Outcome closed = disconnect();
    if (!closed.ok()) return closed;
    return connect(portNumber_, baud_, portLabel_);
}

Outcome Session::run(const std::function<void(TelescopeControl&)>& post, const std::string& what,
                     Expect expect, Report* got) {
    if (options_.progress) options_.progress->step(what);
    const size_t mark = log_.size();
    post(*engine_);
    if (!engine_->drain(options_.replyTimeoutMs))
        return Outcome::failure(kExitGeneric, what + ": the engine did not respond");
    for (const Report& r : log_.since(mark)) {
        if (r.kind == Report::Kind::Status && failsCommand(r.value)) {
            if (leavesPortClosed(r.value)) portOpen_ = false;
            return failureFromStatus(r.value, what);
        }
    }
    if (expect.what == Expect::What::Nothing) return Outcome::success();

    Report r{};
    const uint32_t timeout = expect.timeoutMs != 0 ? expect.timeoutMs : options_.replyTimeoutMs;
    const bool answered = log_.waitFor(
        mark, timeout,
        [&expect](const Report& x) {
            if (x.kind == Report::Kind::Status && failsCommand(x.value)) return true;
            switch (expect.what) {
                case Expect::What::Status:
                    return x.isStatus(expect.value);
                case Expect::What::Settings:
                    return x.kind == Report::Kind::Settings && (expect.value == 0 || x.value == expect.value);
                case Expect::What::Voltage:
                    return x.kind == Report::Kind::Voltage;
                case Expect::What::Nothing:
                    break;
            }
            return false;
        },
        r);
    // A refusal came before the drain (above); status 10 now is the engine
    // giving up an exchange the controller left unanswered.
    if (!answered || r.isStatus(StatusCode::CommunicationError))
        return Outcome::failure(kExitLost, what + ": no reply from the controller");
    if (r.kind == Report::Kind::Status && failsCommand(r.value)) {
        if (leavesPortClosed(r.value)) portOpen_ = false;
        return failureFromStatus(r.value, what);
    }
    if (r.kind == Report::Kind::Settings) settings_ = r.settings;
    if (got) *got = r;
    return Outcome::success();
}

Outcome Session::barrier() {
    return run([](TelescopeControl& e) { e.measureSupplyVoltage(); }, "confirming delivery",
               Expect::voltage());
}

}  // namespace vorlant::ctl
