// The engine's queue side: construction, the posting of messages by the
// public operations, the engine (pipe reader) thread with its byte-wise
// reassembly, dispatch, and the shutdown order.
#include "engine/TelescopeControl.h"

#include <cstring>

#include "app/TextBuild.h"

namespace vorlant {

namespace {

constexpr uint32_t kEngineStopWaitMs = 20000;

std::shared_ptr<platform::SerialPort> osPort() {
    return std::shared_ptr<platform::SerialPort>(platform::createSerialPort());
}

}  // namespace

TelescopeControl::TelescopeControl(TelescopeListener* listener) : TelescopeControl(listener, Options{}) {}

TelescopeControl::TelescopeControl(TelescopeListener* listener, Options options)
    : listener_(listener), options_(std::move(options)) {
    if (!options_.portFactory) options_.portFactory = osPort;
    // The queue's name: the prefix and the process id as eight hex digits,
    // least significant first, so two running copies never share a pipe.
    char name[256];
    const size_t pos = appendText(name, sizeof name, 0, "\\\\.\\Pipe\\kelvane_vorlant24_");
    const size_t end = appendHexLowFirst(name, sizeof name, pos, platform::currentProcessId());
    // The program runs one engine; a second one alive in the same process
    // (tests, tools) finds that name taken and adds a serial number.
    for (uint32_t serial = 1; !queue_.open(name) && serial < 64; ++serial) {
        const size_t at = appendText(name, sizeof name, end, "_");
        appendDecimal(name, sizeof name, at, static_cast<int32_t>(serial));
    }
    pipeReader_.start(&TelescopeControl::pipeReaderEntry, this);
}

TelescopeControl::~TelescopeControl() {
    // Close an open link through the queue so the engine thread does it
    // (it alone touches the link), then stop the engine thread. Only after
    // every thread has ended are the queue, events and locks released.
    disconnectQuietly();
    pipeStopEvent_.set();
    pipeReader_.join(kEngineStopWaitMs);
    // Nobody reads the queue any more: break it, so a serial reader blocked
    // writing into it fails at once instead of waiting forever.
    queue_.shutdown();
    if (portOpen_) closePort();  // the engine thread could not; it has ended now
    serialStopEvent_.set();
    while (!serialReader_.join(1000)) {
    }
    queue_.close();
}

void TelescopeControl::disconnectQuietly() {
    // A silent variant of disconnect for the destructor: the engine thread
    // closes the port without a report, so no listener is called while the
    // owner tears things down.
    if (!queue_.isOpen()) return;
    const uint8_t message[] = {messageHeader(kMsgCommand, 1), CommandId::CloseQuietly};
    writeQueue(message, sizeof message);
    drain(kEngineStopWaitMs);
}

// --- writers (any thread) -------------------------------------------------

void TelescopeControl::writeQueue(const uint8_t* bytes, size_t count) {
    platform::LockGuard guard(pipeWriteLock_);
    queue_.write(bytes, count);
}

void TelescopeControl::postCommand(uint8_t id) { postCommand(id, nullptr, 0); }

void TelescopeControl::postCommand(uint8_t id, const uint8_t* args, size_t count) {
    uint8_t message[32];
    if (count > kMsgMaxPayload - 1) return;
    message[0] = messageHeader(kMsgCommand, static_cast<uint8_t>(count + 1));
    message[1] = id;
    if (count > 0) std::memcpy(message + 2, args, count);
    writeQueue(message, count + 2);
}

void TelescopeControl::tick() { writeQueue(kTickMessage, sizeof kTickMessage); }

void TelescopeControl::forwardSerialBytes(const uint8_t* bytes, int count) {
    chunkSerialBytes(bytes, count, [this](const uint8_t* chunk, size_t size) { writeQueue(chunk, size); });
}

bool TelescopeControl::drain(uint32_t timeoutMs) {
    platform::LockGuard guard(drainLock_);
    drainEvent_.reset();
    postCommand(CommandId::Drain);
    return drainEvent_.wait(timeoutMs);
}

// --- the engine thread ----------------------------------------------------

void TelescopeControl::pipeReaderEntry(void* self) { static_cast<TelescopeControl*>(self)->pipeReaderLoop(); }

void TelescopeControl::pipeReaderLoop() {
    onEngineThread_ = true;
    uint8_t buffer[20];
    for (;;) {
        size_t got = 0;
        if (queue_.read(buffer, sizeof buffer, got, pipeStopEvent_) == platform::ByteQueue::ReadResult::Stopped)
            break;
        for (size_t i = 0; i < got; ++i) assembleByte(buffer[i]);
        // Bytes read while a close waited for the serial reader come next,
        // exactly where they stood in the queue.
        while (!stash_.empty()) {
            std::vector<uint8_t> pending;
            pending.swap(stash_);
            for (uint8_t b : pending) assembleByte(b);
        }
    }
    onEngineThread_ = false;
}

void TelescopeControl::assembleByte(uint8_t byte) {
    if (assembler_.assembleByte(byte)) dispatchMessage(assembler_.message());
}

void TelescopeControl::dispatchMessage(const uint8_t* message) {
    const uint8_t type = messageType(message[0]);
    const uint8_t length = messageLength(message[0]);
    int result = 0;
    switch (type) {
        case kMsgCommand: {
            if (length == 0) break;
            const uint8_t id = message[1];
            if (id == CommandId::Drain) {
                drainEvent_.set();
            } else if (id == CommandId::CloseQuietly) {
                if (portOpen_) closePort();
            } else if (id == CommandId::PortLost) {
                portLostStep(length >= 2 ? message[2] : 0);
            } else if (length == 6 && id == CommandId::Connect) {
                connectStep(message);
            } else if (id == CommandId::Disconnect) {
                disconnectStep();
            } else if (linkUp_) {
                executeCommand(message);
            } else {
                report(StatusCode::NotConnectedYet);
            }
            break;
        }
        case kMsgTick:
            if (portOpen_) result = heartbeatStep();
            break;
        case kMsgSerial:
            if (portOpen_) result = feedReplyBytes(message + 1, length);
            break;
        default:
            break;
    }
    applyResult(result);
    // A write that found the device gone ends the connection here, after
    // the step that wrote it has finished with the state.
    if (portLostPending_) {
        portLostPending_ = false;
        if (portOpen_) {
            closePort();
            report(StatusCode::ConnectionClosed);
        }
    }
}

void TelescopeControl::applyResult(int result) {
    if (result == 1) {
        if (portOpen_) linkUp_ = true;
    } else if (result == 2) {
        if (portOpen_) closePort();
    }
}

}  // namespace vorlant
