#include "engine/LinkTrace.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "engine/ControllerSettings.h"
#include "engine/EngineCore.h"
#include "engine/WireProtocol.h"

namespace vorlant {

namespace {

struct RequestName {
    uint8_t id;
    const char* name;
};

const RequestName kRequestNames[] = {
    {RequestId::Identify, "Identify"},
    {RequestId::ReadFirmware, "ReadFirmware"},
    {RequestId::ReadPortType, "ReadPortType"},
    {RequestId::Request11, "Request11"},
    {RequestId::ReloadDefaults, "ReloadDefaults"},
    {RequestId::StoreParameters, "StoreParameters"},
    {RequestId::ReadGearBlock, "ReadGearBlock"},
    {RequestId::ReadParameterBlock, "ReadParameterBlock"},
    {RequestId::WriteGearRatios, "WriteGearRatios"},
    {RequestId::WriteMountType, "WriteMountType"},
    {RequestId::SetParkPosition, "SetParkPosition"},
    {RequestId::Stop, "Stop"},
    {RequestId::Move, "Move"},
    {RequestId::Tracking, "Tracking"},
    {RequestId::Exp, "Exp"},
    {RequestId::ReadSupplyVoltage, "ReadSupplyVoltage"},
    {RequestId::WriteReverseFlags, "WriteReverseFlags"},
    {RequestId::WriteCurrent, "WriteCurrent"},
    {RequestId::WriteDecay, "WriteDecay"},
    {RequestId::WriteMaxSpeeds, "WriteMaxSpeeds"},
    {RequestId::WriteGuideRates, "WriteGuideRates"},
    {RequestId::WriteAccelerations, "WriteAccelerations"},
    {RequestId::WriteDecelerations, "WriteDecelerations"},
    {RequestId::WriteOvertone, "WriteOvertone"},
    {RequestId::WriteIncCurrentAt, "WriteIncCurrentAt"},
    {RequestId::ReadFlipBlock, "ReadFlipBlock"},
    {RequestId::WriteFlipBlock, "WriteFlipBlock"},
    {RequestId::ReadLocation, "ReadLocation"},
    {RequestId::WriteLocation, "WriteLocation"},
};

// By ConnectionState value; the one gap (1) has no name.
const char* const kStateNames[] = {
    "Idle",
    "",
    "Ready",
    "Pause",
    "AwaitIdent",
    "AwaitPortType",
    "AwaitFirmware",
    "AwaitGearBlock",
    "AwaitParamBlock",
    "AwaitFlipParams",
    "AwaitLocation",
    "AwaitGearWrite",
    "AwaitGearReread",
    "AwaitLocationSet",
    "AwaitVoltage",
    "AwaitParkSet",
    "AwaitStore",
    "AwaitDefaults",
    "AwaitJobLocation",
    "AwaitJobMount",
    "AwaitJobFlip",
};
static_assert(sizeof kStateNames / sizeof kStateNames[0] == ConnectionState::AwaitJobFlip + 1,
              "a name for every state");

// By SettingsReportKind value.
const char* const kReportKindNames[] = {
    "", "ReadoutComplete", "DefaultsReloaded", "DeviceTooOld", "GearRatiosChanged", "Identified"};

void appendHex(std::string& line, const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        line += ' ';
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
}

}  // namespace

const char* requestName(uint8_t id) {
    for (const RequestName& r : kRequestNames)
        if (r.id == id) return r.name;
    return "Unknown";
}

std::string connectionStateName(int32_t state) {
    const int32_t count = static_cast<int32_t>(sizeof kStateNames / sizeof kStateNames[0]);
    if (state >= 0 && state < count && *kStateNames[state]) return kStateNames[state];
    return "state " + std::to_string(state);
}

bool LinkTrace::limitFromText(const char* text, uint64_t& limitBytes, std::string& error) {
    limitBytes = kDefaultLimitBytes;
    if (text == nullptr || *text == '\0') return true;
    uint64_t mb = 0;
    const char* c = text;
    for (; *c >= '0' && *c <= '9' && mb <= 4096; ++c) mb = mb * 10 + static_cast<uint64_t>(*c - '0');
    if (*c != '\0' || mb < 1 || mb > 4096) {
        error = std::string("VORLANT_TRACE_LIMIT_MB is '") + text + "': a whole number of MiB from 1 to 4096";
        return false;
    }
    limitBytes = mb << 20;
    return true;
}

std::shared_ptr<LinkTrace> LinkTrace::open(const std::string& path, std::string& error, uint64_t limitBytes) {
    // "-": standard output, which the trace then never closes.
    const bool standardOutput = path == "-";
    std::FILE* file = standardOutput ? stdout : path.empty() ? nullptr : std::fopen(path.c_str(), "w");
    if (!file) {
        error = "cannot open the trace file '" + path +
                "': " + (path.empty() ? "no file name" : std::strerror(errno));
        return nullptr;
    }
    std::shared_ptr<LinkTrace> trace(new LinkTrace(file, path, limitBytes, !standardOutput));
    char started[32] = "unknown";
    const std::time_t now = std::time(nullptr);
    if (const std::tm* utc = std::gmtime(&now))
        std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", utc);
    std::string header = std::string("# Vorlant link trace, started ") + started +
                         " UTC: [seconds since] state, -> sent, <- received, => report\n";
    platform::LockGuard guard(trace->lock_);
    trace->writeOut(header);
    if (trace->cut_) {
        // Not even the header fits (a full disk): as good as no file.
        error = "cannot write the trace file '" + path +
                "': " + (trace->writeErrno_ != 0 ? std::strerror(trace->writeErrno_) : "write error");
        return nullptr;
    }
    return trace;
}

LinkTrace::LinkTrace(std::FILE* file, std::string path, uint64_t limitBytes, bool owned)
    : file_(file),
      path_(std::move(path)),
      limitBytes_(limitBytes),
      owned_(owned),
      startNs_(platform::monotonicNs()) {}

std::string LinkTrace::writeError() const {
    platform::LockGuard guard(lock_);
    return writeError_;
}

LinkTrace::~LinkTrace() {
    if (owned_)
        std::fclose(file_);
    else
        std::fflush(file_);
}

std::string LinkTrace::lineStart(int32_t state) const {
    const uint64_t elapsed = platform::monotonicNs() - startNs_;
    char stamp[40];
    std::snprintf(
        stamp, sizeof stamp, "[%5llu.%06llu] %-16s ", static_cast<unsigned long long>(elapsed / 1000000000u),
        static_cast<unsigned long long>(elapsed / 1000u % 1000000u), connectionStateName(state).c_str());
    return stamp;
}

void LinkTrace::sent(int32_t state, const uint8_t* bytes, size_t count,
                     platform::SerialPort::WriteResult result) {
    std::string line = lineStart(state) + "->";
    appendHex(line, bytes, count);
    line += "  ";
    line += count >= 3 ? requestName(bytes[2]) : "Unknown";
    switch (result) {
        case platform::SerialPort::WriteResult::Done:
            break;
        case platform::SerialPort::WriteResult::TimedOut:
            line += "  (write timed out)";
            break;
        case platform::SerialPort::WriteResult::Failed:
            line += "  (write failed)";
            break;
        case platform::SerialPort::WriteResult::Gone:
            line += "  (device gone)";
            break;
    }
    line += '\n';
    platform::LockGuard guard(lock_);
    if (replyOpen_) {
        deferred_ += line;
        return;
    }
    writeOut(line);
}

void LinkTrace::skipped(int32_t state, const uint8_t* bytes, size_t count) {
    std::string line = lineStart(state) + "<-";
    appendHex(line, bytes, count);
    line += "  (skipped: not in a frame)\n";
    platform::LockGuard guard(lock_);
    writeOut(line);
}

void LinkTrace::beginReply(int32_t state, const uint8_t* bytes, size_t count) {
    std::string line = lineStart(state) + "<-";
    appendHex(line, bytes, count);
    // The parser keeps the start of a frame longer than its buffer.
    if (count >= 2 && count < size_t{bytes[1]} + 2)
        line += "  (" + std::to_string(bytes[1] + 2) + " bytes, cut)";
    platform::LockGuard guard(lock_);
    reply_ = std::move(line);
    replyOpen_ = true;
    replyReported_ = false;
}

void LinkTrace::endReply() {
    platform::LockGuard guard(lock_);
    if (!replyOpen_) return;
    replyOpen_ = false;
    reply_ += '\n';
    reply_ += deferred_;
    deferred_.clear();
    writeOut(reply_);
}

void LinkTrace::report(int32_t state, const std::string& text) {
    platform::LockGuard guard(lock_);
    if (replyOpen_) {
        reply_ += replyReported_ ? "; " : "  => ";
        reply_ += text;
        replyReported_ = true;
        return;
    }
    std::string line = lineStart(state) + "=> " + text + "\n";
    writeOut(line);
}

void LinkTrace::status(int32_t state, int code) {
    report(state, "status " + std::to_string(code) + " " + statusTextAscii(code));
}

void LinkTrace::settings(int32_t state, int kind) {
    const bool known =
        kind > 0 && kind < static_cast<int>(sizeof kReportKindNames / sizeof kReportKindNames[0]);
    report(state, "settings " + (known ? std::string(kReportKindNames[kind]) : std::to_string(kind)));
}

void LinkTrace::voltage(int32_t state, int centivolts) {
    const unsigned magnitude =
        centivolts < 0 ? 0u - static_cast<unsigned>(centivolts) : static_cast<unsigned>(centivolts);
    char text[32];
    std::snprintf(text, sizeof text, "voltage %s%u.%02u V", centivolts < 0 ? "-" : "", magnitude / 100,
                  magnitude % 100);
    report(state, text);
}

void LinkTrace::writeOut(const std::string& lines) {
    // One buffered write and a flush: the engine thread waits for this
    // write alone, and the file holds every line made so far.
    if (cut_) return;
    if (written_ + lines.size() > limitBytes_) {
        cut_ = true;
        char limit[32];
        std::snprintf(limit, sizeof limit, "%llu", static_cast<unsigned long long>(limitBytes_ >> 20));
        const std::string last =
            limitBytes_ % (uint64_t{1} << 20) == 0
                ? "# trace cut: it reached its size limit of " + std::string(limit) +
                      " MiB (VORLANT_TRACE_LIMIT_MB)\n"
                : "# trace cut: it reached its size limit of " + std::to_string(limitBytes_) + " bytes\n";
        std::fwrite(last.data(), 1, last.size(), file_);
        std::fflush(file_);
        return;
    }
    errno = 0;
    const size_t put = std::fwrite(lines.data(), 1, lines.size(), file_);
    const bool flushed = std::fflush(file_) == 0;
    if (put == lines.size() && flushed) {
        written_ += lines.size();
        return;
    }
    // A disk that is full (or gone) keeps failing: say so once, leave what
    // the file still takes as its last line, and write nothing more.
    const int cause = errno;
    writeErrno_ = cause;
    cut_ = true;
    writeError_ = "writing the trace file '" + path_ + "' failed (" +
                  (cause != 0 ? std::strerror(cause) : "write error") + "); the trace ends there";
    // On a line of its own, after whatever part of the failed line got out.
    const std::string last = "\n# trace cut: " + writeError_ + "\n";
    std::clearerr(file_);
    std::fwrite(last.data(), 1, last.size(), file_);
    std::fflush(file_);
    if (onWriteError_) onWriteError_(writeError_);
}

}  // namespace vorlant
