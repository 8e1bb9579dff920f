#include "engine/ControllerProbe.h"

#include <algorithm>

#include "engine/SettingsDecode.h"
#include "platform/Platform.h"
#include "text/VersionText.h"

namespace vorlant {

// ---- The exchange ----------------------------------------------------------

ProbeExchange::ProbeExchange() {
    resetSettings(settings_);
}

Frame ProbeExchange::firstRequest() {
    return buildRequest(RequestId::Identify);
}

Frame ProbeExchange::onBytes(const uint8_t* bytes, size_t count) {
    Frame next{};
    next.size = 0;
    if (done_) return next;
    if (count > 0) anyBytes_ = true;
    for (size_t i = 0; i < count && !done_; ++i) {
        if (!parser_.feedByte(bytes[i])) continue;
        const Frame f = handle(parser_.frame());
        if (f.size > 0) next = f;
    }
    return next;
}

Frame ProbeExchange::handle(const ReplyView& reply) {
    Frame none{};
    none.size = 0;
    switch (step_) {
        case Step::Ident:
            switch (decodeIdentification(reply, settings_)) {
                case IdentOutcome::Accepted:
                    identified_ = accepted_ = true;
                    step_ = Step::PortType;
                    return buildRequest(RequestId::ReadPortType);
                case IdentOutcome::Rejected:
                    identified_ = true;
                    break;
                case IdentOutcome::TooOld:
                    identified_ = tooOld_ = true;
                    break;
                case IdentOutcome::Ignored:
                    // Not an identification: keep waiting for one.
                    return none;
            }
            step_ = Step::Done;
            done_ = true;
            return none;
        case Step::PortType:
            decodePortType(reply, settings_);
            step_ = Step::Firmware;
            return buildRequest(RequestId::ReadFirmware);
        case Step::Firmware:
            settings_.firmwareVersion = reply.u32(3);
            settings_.versionClass = versionClassFor(settings_.deviceFamily, settings_.firmwareVersion);
            complete_ = true;
            step_ = Step::Done;
            done_ = true;
            return none;
        case Step::Done:
            break;
    }
    return none;
}

ProbeVerdict ProbeExchange::verdict() const {
    if (accepted_) return ProbeVerdict::Controller;
    if (tooOld_) return ProbeVerdict::TooOld;
    return anyBytes_ ? ProbeVerdict::OtherDevice : ProbeVerdict::Nothing;
}

// ---- One port --------------------------------------------------------------

namespace {

constexpr uint32_t kRates[] = {9600, 115200};
constexpr int kGuessedComPorts = 32;
// Probes that run at the same time in a scan.
constexpr std::size_t kMaxProbesAtOnce = 32;

uint64_t nowMs() {
    return platform::monotonicNs() / 1000000u;
}

// What the port's reader thread and the probe share; the reader holds its
// own reference, so a reader that outlives the probe's wait for it still
// touches live memory, and the port closes when the last holder lets go.
struct ReaderShared {
    std::unique_ptr<platform::SerialPort> port;
    platform::Event stop{platform::Event::Reset::Manual};
    platform::Event arrived{platform::Event::Reset::Auto};
    platform::Lock lock;
    std::vector<uint8_t> bytes;  // under lock
    bool ended = false;          // under lock: the port read failed for good
};

void readerEntry(void* raw) {
    auto* holder = static_cast<std::shared_ptr<ReaderShared>*>(raw);
    const std::shared_ptr<ReaderShared> shared = *holder;
    delete holder;
    uint8_t buffer[64];
    for (;;) {
        size_t got = 0;
        const platform::SerialPort::ReadResult r =
            shared->port->read(buffer, sizeof buffer, got, shared->stop);
        if (r == platform::SerialPort::ReadResult::Stopped) break;
        if (r == platform::SerialPort::ReadResult::Data) {
            if (got == 0) continue;
            platform::LockGuard guard(shared->lock);
            shared->bytes.insert(shared->bytes.end(), buffer, buffer + got);
        } else if (r == platform::SerialPort::ReadResult::Error) {
            platform::sleepMs(kProbeReadErrorPauseMs);
            continue;
        } else {
            platform::LockGuard guard(shared->lock);
            shared->ended = true;
        }
        shared->arrived.set();
        if (r == platform::SerialPort::ReadResult::Gone) break;
    }
}

// One rate: open, settle, the exchange, close. False when the port could
// not be opened (the report says why).
bool probeAtRate(const ProbeTarget& target, const ProbePortFactory& factory, const ProbeTimings& timings,
                 uint32_t baud, ProbeExchange& exchange, ProbeReport& report) {
    auto shared = std::make_shared<ReaderShared>();
    shared->port = factory ? factory() : nullptr;
    if (!shared->port) {
        report.verdict = ProbeVerdict::CannotOpen;
        report.error = platform::PortError::Other;
        return false;
    }
    if (!shared->port->open(target.portNumber, baud)) {
        const platform::PortError error = shared->port->lastError();
        report.verdict = error == platform::PortError::Busy ? ProbeVerdict::InUse : ProbeVerdict::CannotOpen;
        report.error = error;
        return false;
    }
    platform::Thread reader;
    auto* holder = new std::shared_ptr<ReaderShared>(shared);
    if (!reader.start(&readerEntry, holder)) {
        delete holder;
        shared->port->close();
        report.verdict = ProbeVerdict::CannotOpen;
        report.error = platform::PortError::Other;
        return false;
    }

    // Bytes that come during the settling wait (a device that talks on its
    // own) count as an answer too.
    platform::sleepMs(timings.settleMs);
    Frame request = ProbeExchange::firstRequest();
    std::vector<uint8_t> chunk;
    while (!exchange.done()) {
        if (request.size > 0) {
            if (shared->port->write(request.bytes, request.size, kSerialWriteWaitMs) ==
                platform::SerialPort::WriteResult::Gone) {
                exchange.onTimeout();
                break;
            }
            request.size = 0;
        }
        const uint64_t deadline = nowMs() + timings.replyWaitMs;
        bool ended = false;
        for (;;) {
            {
                platform::LockGuard guard(shared->lock);
                chunk.swap(shared->bytes);
                shared->bytes.clear();
                ended = shared->ended;
            }
            if (!chunk.empty()) {
                request = exchange.onBytes(chunk.data(), chunk.size());
                chunk.clear();
                if (request.size > 0 || exchange.done()) break;
            }
            const uint64_t now = nowMs();
            if (ended || now >= deadline) {
                exchange.onTimeout();
                break;
            }
            shared->arrived.wait(static_cast<uint32_t>(deadline - now));
        }
    }

    shared->stop.set();
    // close() only once the reader is out of read(); a reader that does not
    // come out in time keeps the port, which closes when it ends.
    if (reader.join(kProbeReaderJoinMs)) shared->port->close();
    return true;
}

}  // namespace

ProbeReport probePort(const ProbeTarget& target, const ProbePortFactory& factory,
                      const ProbeTimings& timings) {
    ProbeReport report;
    report.target = target;
    bool answered = false;
    for (const uint32_t baud : kRates) {
        ProbeExchange exchange;
        ProbeReport failed;
        if (!probeAtRate(target, factory, timings, baud, exchange, failed)) {
            // A port that opened at the first rate but not at the second
            // keeps what the first one found.
            if (!answered) {
                report.verdict = failed.verdict;
                report.error = failed.error;
            }
            return report;
        }
        const ProbeVerdict verdict = exchange.verdict();
        // The most telling answer of both rates wins; a garbled one at the
        // first rate may be a controller set to the second.
        if (!answered || verdict > report.verdict) {
            report.verdict = verdict;
            report.baud = verdict == ProbeVerdict::Nothing ? 0 : baud;
            report.settings = exchange.settings();
            report.incomplete = exchange.incomplete();
        }
        answered = true;
        if (exchange.identified()) break;
    }
    return report;
}

uint32_t probeBoundMs(const ProbeTimings& timings) {
    const uint32_t perRate =
        timings.settleMs + 3 * (timings.replyWaitMs + kSerialWriteWaitMs) + kProbeReaderJoinMs;
    return 2 * perRate + kScanMarginMs;
}

namespace {

// What a scan's workers share with it. Each worker holds its own
// reference, so a worker whose probe overran the scan's bound still ends
// on live memory.
struct ScanState {
    std::vector<ProbeTarget> targets;
    ProbePortFactory factory;
    ProbeTimings timings;
    ProbeReportListener onReport;
    platform::Lock lock;
    std::size_t next = 0;              // under lock: the next target to probe
    std::size_t finished = 0;          // under lock
    bool abandoned = false;            // under lock: the scan returned; probe no more
    std::vector<ProbeReport> reports;  // under lock, by target
    std::vector<bool> done;            // under lock, by target
    platform::Event allDone{platform::Event::Reset::Manual};
};

// An unlisted port (a guess) that does not exist is no port at all.
bool isLeftOut(const ProbeReport& report) {
    return !report.target.listed && report.verdict == ProbeVerdict::CannotOpen &&
           report.error == platform::PortError::NotFound;
}

// One worker: probes the next target not yet taken until none is left.
void scanWorker(void* raw) {
    auto* holder = static_cast<std::shared_ptr<ScanState>*>(raw);
    const std::shared_ptr<ScanState> state = *holder;
    delete holder;
    for (;;) {
        std::size_t index = 0;
        {
            platform::LockGuard guard(state->lock);
            if (state->abandoned || state->next >= state->targets.size()) return;
            index = state->next++;
        }
        ProbeReport report = probePort(state->targets[index], state->factory, state->timings);
        platform::LockGuard guard(state->lock);
        if (state->onReport && !state->abandoned && !isLeftOut(report)) state->onReport(report);
        state->reports[index] = std::move(report);
        state->done[index] = true;
        if (++state->finished == state->targets.size()) state->allDone.set();
    }
}

}  // namespace

std::vector<ProbeReport> scanPorts(const std::vector<ProbeTarget>& targets, const ProbePortFactory& factory,
                                   const ProbeTimings& timings, const ProbeReportListener& onReport) {
    auto state = std::make_shared<ScanState>();
    state->targets = targets;
    state->factory = factory;
    state->timings = timings;
    state->onReport = onReport;
    state->reports.resize(targets.size());
    state->done.assign(targets.size(), false);
    if (targets.empty()) state->allDone.set();

    // A few workers, each with its reader, whatever the number of ports:
    // a 32-bit process has room for only so many thread stacks.
    std::vector<std::unique_ptr<platform::Thread>> workers;
    const std::size_t wanted = std::min(targets.size(), kMaxProbesAtOnce);
    for (std::size_t i = 0; i < wanted; ++i) {
        auto thread = std::make_unique<platform::Thread>();
        auto* holder = new std::shared_ptr<ScanState>(state);
        if (!thread->start(&scanWorker, holder)) {
            // No thread to spare: the ones running share the ports.
            delete holder;
            break;
        }
        workers.push_back(std::move(thread));
    }

    // Every worker probes its share one port after another, each within
    // its bound.
    bool allEnded = targets.empty();
    if (!workers.empty()) {
        const std::size_t rounds = (targets.size() + workers.size() - 1) / workers.size();
        allEnded = state->allDone.wait(static_cast<uint32_t>(rounds) * probeBoundMs(timings));
    }

    std::vector<ProbeReport> reports;
    {
        platform::LockGuard guard(state->lock);
        state->abandoned = true;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            ProbeReport report;
            if (state->done[i]) {
                report = state->reports[i];
            } else {
                report.target = targets[i];
                if (workers.empty()) {
                    // Not probed at all: the scan could not start a thread.
                    report.verdict = ProbeVerdict::CannotOpen;
                    report.error = platform::PortError::Other;
                } else {
                    // A probe that overran (a driver that hangs) ends on
                    // its own; a port no worker reached is not probed.
                    report.verdict = ProbeVerdict::Nothing;
                    report.timedOut = true;
                }
            }
            if (isLeftOut(report)) continue;
            reports.push_back(std::move(report));
        }
    }
    // Workers whose ports are all done leave at once; one still in a probe
    // is detached when its Thread object goes.
    for (const std::unique_ptr<platform::Thread>& worker : workers)
        worker->join(allEnded ? kProbeReaderJoinMs : 0);
    return reports;
}

// ---- Targets and texts -----------------------------------------------------

std::vector<ProbeTarget> comPortTargets() {
    std::vector<int> listed;
    platform::listedComPorts(listed);
    std::vector<ProbeTarget> targets;
    const auto add = [&targets](int number, bool isListed) {
        for (const ProbeTarget& t : targets)
            if (t.portNumber == number) return;
        targets.push_back(ProbeTarget{number, "COM" + std::to_string(number), isListed});
    };
    for (const int number : listed) add(number, true);
    for (int number = 1; number <= kGuessedComPorts; ++number) add(number, false);
    std::sort(targets.begin(), targets.end(),
              [](const ProbeTarget& a, const ProbeTarget& b) { return a.portNumber < b.portNumber; });
    return targets;
}

std::vector<ProbeTarget> devicePathTargets(const std::vector<std::string>& paths) {
    std::vector<ProbeTarget> targets;
    for (const std::string& path : paths) {
        if (targets.size() >= 256) break;
        const int number = static_cast<int>(targets.size()) + 1;
        platform::setPortDevice(number, path);
        targets.push_back(ProbeTarget{number, path, true});
    }
    return targets;
}

std::string deviceLine(const ControllerSettings& s) {
    return "HW:" + dottedVersion(s.hardwareVersion) + " | FW:" + dottedVersion(s.firmwareVersion) +
           " | Port type:" + std::to_string(s.portType);
}

std::string describeProbe(const ProbeReport& r) {
    std::string line = r.target.label + ": ";
    if (r.timedOut) return line + "no result in time (the port's driver does not respond)";
    const std::string rate = " at " + std::to_string(r.baud) + " baud";
    switch (r.verdict) {
        case ProbeVerdict::Nothing:
            return line + "nothing answered";
        case ProbeVerdict::OtherDevice:
            if (r.settings.hardwareVersion != 0)
                return line + "another device (family " + std::to_string(r.settings.deviceFamily) +
                       ", not supported)" + rate;
            return line + "another device (no controller reply)";
        case ProbeVerdict::TooOld:
            return line + "controller too old for this program" + rate +
                   " (HW:" + dottedVersion(r.settings.hardwareVersion) + ")";
        case ProbeVerdict::Controller:
            if (r.incomplete)
                return line + "controller" + rate +
                       ", but it did not answer the port-type or firmware request (HW:" +
                       dottedVersion(r.settings.hardwareVersion) + ")";
            return line + "controller, class " + std::to_string(r.settings.versionClass) + "," + rate + " (" +
                   deviceLine(r.settings) + ")";
        case ProbeVerdict::InUse:
            return line + platform::portErrorText(platform::PortError::Busy) + ", skipped";
        case ProbeVerdict::CannotOpen:
            return line + "cannot open: " + platform::portErrorText(r.error);
        case ProbeVerdict::OwnConnection:
            line += "connected in this window";
            if (r.settings.hardwareVersion != 0) line += " (" + deviceLine(r.settings) + ")";
            return line;
    }
    return line;
}

const ProbeReport* firstController(const std::vector<ProbeReport>& reports) {
    for (const ProbeReport& r : reports)
        if (r.verdict == ProbeVerdict::Controller && !r.incomplete) return &r;
    return nullptr;
}

}  // namespace vorlant
