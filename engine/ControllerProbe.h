// Finding the controller: which serial ports have one. A probe opens one
// port, sends only the identification, port-type and firmware requests
// (never a setting), first at 9600 then at 115200 baud, and says what it
// found there. A scan probes up to 32 ports at once, each with a bounded
// time, so a scan of up to 32 ports takes about as long as the slowest
// one, and a scan of n ports ends within ceil(n / 32) probe bounds.
//
// The classification is ProbeExchange, pure over the received bytes, so it
// is tested without ports or threads; probePort() and scanPorts() put it
// on a real (or simulated) port.
//
// Threads: scanPorts() from any one thread at a time; it starts its own.
// The port numbers refer to platform::setPortDevice's table on POSIX, which
// must not change while a scan runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ControllerSettings.h"
#include "engine/ReplyParser.h"
#include "engine/Timings.h"
#include "engine/WireProtocol.h"
#include "platform/SerialPort.h"

namespace vorlant {

// What a port holds, from the least to the most telling answer.
enum class ProbeVerdict {
    Nothing,      // opened, no byte came back
    OtherDevice,  // bytes came back, but no controller this program knows
    TooOld,       // a controller too old for this program
    Controller,   // a controller: identification, port type and firmware read
    InUse,        // held by another program (or by this one): skipped
    CannotOpen,   // no such port, no permission or another open failure
    // The port this program's own connection holds: not probed (the probe
    // could not open it); settings hold what the connection read, if any.
    OwnConnection,
};

// One exchange at one baud rate: identification, then port type, then
// firmware, each sent once its predecessor's reply came.
class ProbeExchange {
public:
    ProbeExchange();

    // The identification request that starts the exchange.
    static Frame firstRequest();

    // Received bytes; returns the next request to send (size 0: none).
    Frame onBytes(const uint8_t* bytes, size_t count);
    // The reply wait ran out; the exchange ends with what it has.
    void onTimeout() { done_ = true; }

    bool done() const { return done_; }
    // A well-formed identification reply came (accepted, refused or too
    // old): the rate was right, another rate is not worth trying.
    bool identified() const { return identified_; }
    ProbeVerdict verdict() const;
    // Identification, port type, firmware and capability class as far as
    // they were read (the engine's own decoding).
    const ControllerSettings& settings() const { return settings_; }
    // A controller that identified itself but did not answer the port-type
    // or firmware request in time.
    bool incomplete() const { return accepted_ && !complete_; }

private:
    enum class Step { Ident, PortType, Firmware, Done };
    Frame handle(const ReplyView& reply);

    ReplyParser parser_;
    ControllerSettings settings_;
    Step step_ = Step::Ident;
    bool anyBytes_ = false;
    bool identified_ = false;
    bool accepted_ = false;
    bool tooOld_ = false;
    bool complete_ = false;
    bool done_ = false;
};

struct ProbeTarget {
    int portNumber = 0;  // what the port opens as (COM<n>, or the POSIX table)
    std::string label;   // for people: "COM3", "/dev/ttyUSB0"
    // Listed by the system or named by the user. A port that was neither
    // (a guess) and does not exist is left out of the results.
    bool listed = true;
};

struct ProbeReport {
    ProbeTarget target;
    ProbeVerdict verdict = ProbeVerdict::Nothing;
    platform::PortError error = platform::PortError::None;  // with InUse and CannotOpen
    uint32_t baud = 0;                                      // the rate that answered; 0 for none
    ControllerSettings settings{};                          // from the identifying rate
    bool incomplete = false;                                // see ProbeExchange::incomplete
    bool timedOut = false;                                  // the probe did not end within the scan's bound
};

struct ProbeTimings {
    // Tests shorten them; the reasons for the values are in Timings.h.
    uint32_t settleMs = kProbeSettleMs;
    uint32_t replyWaitMs = kProbeReplyWaitMs;
};

using ProbePortFactory = std::function<std::unique_ptr<platform::SerialPort>()>;

// Probes one port (the calling thread does the exchange; a reader thread
// feeds it). Writes only requests 1, 3 and 2.
ProbeReport probePort(const ProbeTarget& target, const ProbePortFactory& factory,
                      const ProbeTimings& timings = ProbeTimings());

// Probes every target, up to 32 at once (a few worker threads, each taking
// the next port not yet probed), and returns their reports in the targets'
// order, without the unlisted ports that do not exist. A probe that
// overruns its bound (a driver that hangs) is reported as timedOut and left
// to end on its own, as is a port no worker reached in time; with no thread
// to run on, a port is reported as not openable. onReport, when set, is
// called with each port's report as soon as its probe ends (on a worker
// thread, one call at a time, never after scanPorts returns), except for
// the reports left out.
using ProbeReportListener = std::function<void(const ProbeReport&)>;
std::vector<ProbeReport> scanPorts(const std::vector<ProbeTarget>& targets, const ProbePortFactory& factory,
                                   const ProbeTimings& timings = ProbeTimings(),
                                   const ProbeReportListener& onReport = ProbeReportListener());

// The longest a probe may take with these timings (both rates, every
// request waited for), which scanPorts() allows each before giving up.
uint32_t probeBoundMs(const ProbeTimings& timings);

// Windows: the COM ports the system lists, and COM1..COM32 besides as
// unlisted guesses (a virtual port the system does not list still opens).
std::vector<ProbeTarget> comPortTargets();
// POSIX: the given device paths as targets numbered 1, 2, ..., registered
// with platform::setPortDevice.
std::vector<ProbeTarget> devicePathTargets(const std::vector<std::string>& paths);

// "HW:1.3.0.2 | FW:2.4.0.10 | Port type:1", the device line of the main
// window.
std::string deviceLine(const ControllerSettings& s);

// One line for a report: "COM3: controller, class 5, at 9600 baud
// (HW:... | FW:... | Port type:0)", "COM4: nothing answered", ...
std::string describeProbe(const ProbeReport& report);

// The first report that found a controller, or null.
const ProbeReport* firstController(const std::vector<ProbeReport>& reports);

}  // namespace vorlant
