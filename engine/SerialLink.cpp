// The engine's use of the serial port: open with its reader thread, whole
// frame writes, and close. Engine thread only (the reader thread's loop
// excepted).
#include <cstring>

#include "engine/TelescopeControl.h"

namespace vorlant {

namespace {

constexpr uint32_t kWriteWaitMs = 1000;
constexpr uint32_t kReadErrorWaitMs = 200;

// What the serial reader thread owns: the engine it forwards to and its own
// reference to the port it was started with.
struct ReaderContext {
    TelescopeControl* engine;
    std::shared_ptr<platform::SerialPort> port;
    platform::Event* stop;
    platform::Event* done;
    uint8_t generation;
};

}  // namespace

bool TelescopeControl::openPort(int portNumber, uint32_t baud) {
    // A reader of an earlier connection that outlived closePort's wait must
    // end before a new one starts: never two readers at a time.
    if (!reapSerialReader(options_.readerStopWaitMs)) {
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

bool TelescopeControl::startSerialReader() {
    ++portGeneration_;
    serialStopEvent_.reset();
    serialReaderDone_.reset();
    auto* context = new ReaderContext{this, port_, &serialStopEvent_, &serialReaderDone_, portGeneration_};
    if (!serialReader_.start(&TelescopeControl::serialReaderEntry, context)) {
        delete context;
        return false;
    }
    return true;
}

void TelescopeControl::serialReaderEntry(void* raw) {
    ReaderContext* context = static_cast<ReaderContext*>(raw);
    platform::SerialPort& port = *context->port;
    platform::Event& stop = *context->stop;
    uint8_t buffer[128];
    for (;;) {
        if (stop.isSet()) break;
        size_t got = 0;
        const platform::SerialPort::ReadResult r = port.read(buffer, sizeof buffer, got, stop);
        if (r == platform::SerialPort::ReadResult::Stopped) break;
        if (r == platform::SerialPort::ReadResult::Data) {
            if (got > 0) context->engine->forwardSerialBytes(buffer, static_cast<int>(got));
            continue;
        }
        if (r == platform::SerialPort::ReadResult::Gone) {
            // Only the engine thread closes the link and reports; tell it
            // through the queue, tagged with this connection's generation
            // so a stale notice cannot end a later connection.
            if (!stop.isSet()) {
                const uint8_t message[] = {messageHeader(kMsgCommand, 2), CommandId::PortLost,
                                           context->generation};
                context->engine->postRaw(message, sizeof message);
            }
            break;
        }
        // A transient line error (already cleared by the port): wait before
        // reading again, never spin; a stop during the wait ends the thread.
        if (stop.wait(kReadErrorWaitMs)) break;
    }
    platform::Event* done = context->done;
    delete context;  // drops the reader's reference to the port first
    done->set();
}

bool TelescopeControl::reapSerialReader(uint32_t timeoutMs) {
    if (!serialReader_.started()) return true;
    // The reader may be blocked writing into a full queue that only this
    // thread empties. While waiting, keep reading the queue into a stash
    // (handled, in order, once the close is done), so the reader can always
    // finish and the wait never runs into its bound for nothing.
    const uint64_t deadline = platform::monotonicNs() + uint64_t{timeoutMs} * 1000000u;
    while (!serialReaderDone_.isSet() && platform::monotonicNs() < deadline) {
        if (!onEngineThread_) {
            serialReaderDone_.wait(20);
            continue;
        }
        uint8_t buffer[64];
        size_t got = 0;
        queue_.read(buffer, sizeof buffer, got, serialReaderDone_);
        stash_.insert(stash_.end(), buffer, buffer + got);
    }
    return serialReaderDone_.isSet() && serialReader_.join(timeoutMs);
}

platform::SerialPort::WriteResult TelescopeControl::writeFrame(const uint8_t* bytes, size_t count) {
    if (!port_) return platform::SerialPort::WriteResult::Failed;
    const platform::SerialPort::WriteResult r = port_->write(bytes, count, kWriteWaitMs);
    if (r == platform::SerialPort::WriteResult::Gone) {
        lastPortError_ = platform::PortError::Gone;
        portLostPending_ = true;
    }
    return r;
}

void TelescopeControl::sendFrame(const Frame& frame) {
    if (frame.size == 0) return;
    writeFrame(frame.bytes, frame.size);
}

void TelescopeControl::closePort() {
    serialStopEvent_.set();
    const bool readerEnded = reapSerialReader(options_.readerStopWaitMs);
    if (portOpen_ && port_) {
        // A reader still running keeps its own reference to the port; it is
        // purged now, and the object is released when that reader ends, so
        // the reader never works on a closed handle.
        if (readerEnded) port_->close();
        port_.reset();
    }
    linkUp_ = false;
    portOpen_ = false;
}

}  // namespace vorlant
