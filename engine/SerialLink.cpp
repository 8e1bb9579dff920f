// The engine's use of the serial port: open with its reader thread, whole
// frame writes, and close. Engine thread only (the reader thread's loop
// excepted).
#include <cstring>

#include "engine/EngineCore.h"
#include "engine/LinkTrace.h"

namespace vorlant {

namespace {

// What the serial reader thread owns: its own references to the engine's
// core and to the port it was started with.
struct ReaderContext {
    std::shared_ptr<EngineCore> core;
    std::shared_ptr<platform::SerialPort> port;
    uint8_t generation;
};

// Busy stands for "our own reader still holds the device"; once that
// reader has let go, the error no longer applies.
void clearBusy(std::atomic<platform::PortError>& error) {
    platform::PortError busy = platform::PortError::Busy;
    error.compare_exchange_strong(busy, platform::PortError::None);
}

}  // namespace

bool EngineCore::openPort(int portNumber, uint32_t baud) {
    // A reader of an earlier connection that outlived closePort's wait must
    // end before a new one starts: never two readers at a time. It already
    // had its bound, so a reader still running now is not waited for again.
    if (!reapSerialReader(readerOrphaned_ ? 0 : options_.readerStopWaitMs)) {
        lastPortError_ = platform::PortError::Busy;
        return false;
    }
    std::shared_ptr<platform::SerialPort> port = options_.portFactory();
    if (!port || !port->open(portNumber, baud)) {
        lastPortError_ = port ? port->lastError() : platform::PortError::Other;
        return false;
    }
    lastPortError_ = platform::PortError::None;
    port_ = std::move(port);
    return true;
}

bool EngineCore::startSerialReader() {
    ++portGeneration_;
    serialStopEvent_.reset();
    serialReaderDone_.reset();
    auto* context = new ReaderContext{shared_from_this(), port_, portGeneration_};
    if (!serialReader_.start(&EngineCore::serialReaderEntry, context)) {
        delete context;
        return false;
    }
    return true;
}

void EngineCore::serialReaderEntry(void* raw) {
    ReaderContext* context = static_cast<ReaderContext*>(raw);
    EngineCore& core = *context->core;
    platform::SerialPort& port = *context->port;
    platform::Event& stop = core.serialStopEvent_;
    uint8_t buffer[128];
    for (;;) {
        if (stop.isSet()) break;
        size_t got = 0;
        const platform::SerialPort::ReadResult r = port.read(buffer, sizeof buffer, got, stop);
        if (r == platform::SerialPort::ReadResult::Stopped) break;
        if (r == platform::SerialPort::ReadResult::Data) {
            if (got > 0) core.forwardSerialBytes(buffer, static_cast<int>(got));
            continue;
        }
        if (r == platform::SerialPort::ReadResult::Gone) {
            // Only the engine thread closes the link and reports; tell it
            // through the queue, tagged with this connection's generation
            // so a stale notice cannot end a later connection.
            if (!stop.isSet()) {
                const uint8_t message[] = {messageHeader(kMsgCommand, 2), CommandId::PortLost,
                                           context->generation};
                core.writeQueue(message, sizeof message);
            }
            break;
        }
        // A transient line error (already cleared by the port): wait before
        // reading again, never spin; a stop during the wait ends the thread.
        if (stop.wait(kSerialReadErrorWaitMs)) break;
    }
    // A reader that closePort gave up on closes its port itself: its read
    // is over, nobody else uses the port any more, and the device is then
    // free for the next connect.
    if (core.readerOrphaned_.exchange(false)) {
        port.close();
        clearBusy(core.lastPortError_);
    }
    core.serialReaderDone_.set();
    delete context;  // drops the reader's references; may free the core
}

bool EngineCore::reapSerialReader(uint32_t timeoutMs) {
    if (!serialReader_.started()) return true;
    // The reader may be blocked writing into a full queue that only the
    // engine thread empties. While waiting there, keep reading the queue
    // into a stash (handled, in order, once the close is done), so the
    // reader can always finish and the wait never runs into its bound for
    // nothing. The wait is bounded by time whether or not bytes come.
    const uint64_t deadline = platform::monotonicNs() + uint64_t{timeoutMs} * 1000000u;
    for (;;) {
        if (serialReaderDone_.isSet()) break;
        const uint64_t now = platform::monotonicNs();
        if (now >= deadline) break;
        const uint32_t leftMs = static_cast<uint32_t>((deadline - now + 999999u) / 1000000u);
        if (!onEngineThread()) {
            serialReaderDone_.wait(leftMs);
            continue;
        }
        uint8_t buffer[64];
        size_t got = 0;
        queue_.read(buffer, sizeof buffer, got, serialReaderDone_, leftMs);
        stash_.insert(stash_.end(), buffer, buffer + got);
    }
    if (!serialReaderDone_.isSet() || !serialReader_.join(kReaderExitMs)) return false;
    closeOrphanedPort();
    return true;
}

void EngineCore::closeOrphanedPort() {
    // The reader has been joined: if it ended without taking the flag, its
    // port is closed here.
    if (readerOrphaned_.exchange(false) && orphanedPort_) {
        orphanedPort_->close();
        clearBusy(lastPortError_);
    }
    orphanedPort_.reset();
}

platform::SerialPort::WriteResult EngineCore::writeFrame(const uint8_t* bytes, size_t count) {
    const platform::SerialPort::WriteResult r =
        port_ ? port_->write(bytes, count, kSerialWriteWaitMs) : platform::SerialPort::WriteResult::Failed;
    if (LinkTrace* trace = options_.trace.get()) trace->sent(state_, bytes, count, r);
    if (r == platform::SerialPort::WriteResult::Gone) {
        lastPortError_ = platform::PortError::Gone;
        portLostPending_ = true;
    }
    return r;
}

void EngineCore::sendFrame(const Frame& frame) {
    if (frame.size == 0) return;
    writeFrame(frame.bytes, frame.size);
}

void EngineCore::closePort() {
    serialStopEvent_.set();
    const bool readerEnded = reapSerialReader(options_.readerStopWaitMs);
    if (portOpen_ && port_) {
        if (readerEnded) {
            port_->close();
        } else {
            // The reader ignores the stop and still holds the device. It
            // closes the port itself when it finally ends (or the engine
            // does, once it has joined it); until then the device is not
            // free, and lastPortError says so.
            orphanedPort_ = port_;
            lastPortError_ = platform::PortError::Busy;
            readerOrphaned_ = true;
            // It may have ended just before the flag was up, without seeing it.
            if (serialReaderDone_.isSet() && serialReader_.join(kReaderExitMs)) closeOrphanedPort();
        }
        port_.reset();
    }
    linkUp_ = false;
    portOpen_ = false;
}

}  // namespace vorlant
