// A trace of the serial link, for a user to send along when something goes
// wrong: every frame the engine sends and receives, the connection state it
// was handled in and the report it led to, one line each.
//
// Installed through TelescopeControl::Options::trace (none by default, so
// nothing is written unless asked for). The engine thread writes it; each
// line (a received frame together with the lines its handling caused) is
// formatted in memory and handed to the file with one buffered write and a
// flush, so the engine thread never waits for more than that one write,
// and a trace is complete up to its last line even when the program dies.
// The lock only guards against the owner's thread during shutdown.
//
// The format: a header line starting with '#' (the wall-clock start, UTC),
// then one line per event:
//
//   [    0.000412] Idle             => status 1 Opening port, please wait...
//   [    0.503118] AwaitIdent       -> AA 01 01  Identify
//   [    0.512904] AwaitIdent       <- 55 0C 01 00 ...
//   [    2.290077] AwaitParamBlock  <- 55 2F 15 ...  => settings ReadoutComplete
//
// seconds since the trace was opened (microseconds); the connection state
// (ConnectionState's name, padded to 16 characters); then "->" and the
// bytes of a sent request in hex with the request's name (and
// "(write failed)", "(write timed out)" or "(device gone)" when the write
// did not complete), "<-" and the bytes of a received reply frame with
// "  => " and the reports its handling made ("; " between several; none:
// nothing), or "=>" and a report made outside reply handling (connect,
// commands, the time-out). A sent frame's state is the one the engine is in
// as it sends (the reply it then awaits); a received frame's is the one
// that interpreted it; a frame longer than the parser's buffer shows its
// start and "(N bytes, cut)". Received bytes outside any frame (before a
// 0x55) appear as "<-" lines ending in "(skipped: not in a frame)". Reports:
// "status N TEXT", "settings KIND" (ReadoutComplete, DefaultsReloaded,
// DeviceTooOld, GearRatiosChanged, Identified), "voltage V.VV V".
//
// A trace is bounded (16 MiB unless the opener says otherwise; the shells
// take VORLANT_TRACE_LIMIT_MB): a line that would take the file past its
// limit is not written, and a last line starting "# trace cut:" says the
// limit was reached. A write that fails (a full disk) ends the trace the
// same way, as far as the file still takes it, and the failure is kept
// and handed once to the write-error handler, so the user learns that the
// trace is incomplete when it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/SerialPort.h"

namespace vorlant {

class LinkTrace {
public:
    static constexpr uint64_t kDefaultLimitBytes = uint64_t{16} << 20;

    // Opens (replacing) the file at path, or standard output for "-", and
    // writes the header; the file
    // never grows past limitBytes but for its last, "trace cut" line. Null,
    // with a one-line reason in `error`, when it cannot be opened or not
    // even its header can be written.
    static std::shared_ptr<LinkTrace> open(const std::string& path, std::string& error,
                                           uint64_t limitBytes = kDefaultLimitBytes);
    // The limit VORLANT_TRACE_LIMIT_MB asks for: a whole number of MiB from
    // 1 to 4096; none (null or empty) is the default. False, with the
    // reason in `error`, for any other text.
    static bool limitFromText(const char* text, uint64_t& limitBytes, std::string& error);

    // Called once, on the thread whose write failed (the engine thread),
    // under the trace's lock, with why the trace stopped. Set before the
    // trace is handed to an engine; it must call neither the trace nor the
    // engine (printing the text is what it is for).
    using WriteErrorHandler = std::function<void(const std::string&)>;
    void setWriteErrorHandler(WriteErrorHandler handler) { onWriteError_ = std::move(handler); }
    // Why writing the trace failed; empty while it has not. Any thread.
    std::string writeError() const;
    ~LinkTrace();
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

    void sent(int32_t state, const uint8_t* bytes, size_t count, platform::SerialPort::WriteResult result);
    void skipped(int32_t state, const uint8_t* bytes, size_t count);
    // A received frame: its line collects the reports made until endReply
    // and is written then, followed by the lines made meanwhile (the next
    // request), so the file keeps the order of cause and effect.
    void beginReply(int32_t state, const uint8_t* bytes, size_t count);
    void endReply();
    void status(int32_t state, int code);
    void settings(int32_t state, int kind);
    void voltage(int32_t state, int centivolts);

private:
    LinkTrace(std::FILE* file, std::string path, uint64_t limitBytes, bool owned);
    std::string lineStart(int32_t state) const;
    void report(int32_t state, const std::string& text);
    void writeOut(const std::string& lines);  // caller holds lock_

    std::FILE* const file_;
    const std::string path_;
    const uint64_t limitBytes_;
    const bool owned_;  // closed with the trace; standard output is not
    const uint64_t startNs_;
    WriteErrorHandler onWriteError_;
    mutable platform::Lock lock_;
    uint64_t written_ = 0;  // bytes handed to the file so far
    bool cut_ = false;      // the last line is written: nothing more goes
    std::string writeError_;
    int writeErrno_ = 0;
    bool replyOpen_ = false;
    bool replyReported_ = false;
    std::string reply_;     // the received frame's line while it is handled
    std::string deferred_;  // lines made while it was handled
};

// A request's name by its id ("Identify"), or "Unknown".
const char* requestName(uint8_t id);

// ConnectionState's name ("AwaitIdent"), or "state N" for another value.
std::string connectionStateName(int32_t state);

}  // namespace vorlant
