// The engine's queue side: construction, the posting of messages by the
// public operations, the engine (pipe reader) thread with its byte-wise
// reassembly, dispatch, and the shutdown order.
#include "engine/TelescopeControl.h"

#include <cassert>
#include <cstring>

#include "engine/EngineCore.h"
#include "engine/LinkTrace.h"
#include "text/TextBuild.h"

namespace vorlant {

namespace {

std::shared_ptr<platform::SerialPort> osPort() {
    return std::shared_ptr<platform::SerialPort>(platform::createSerialPort());
}

// The core whose engine thread this is; null on every other thread.
thread_local const EngineCore* tlsEngineOfThisThread = nullptr;

uint64_t deadlineAfter(uint32_t ms) {
    return platform::monotonicNs() + uint64_t{ms} * 1000000u;
}

// Milliseconds left until deadline, rounded up; 0 once it has passed.
uint32_t msUntil(uint64_t deadline) {
    const uint64_t now = platform::monotonicNs();
    if (now >= deadline) return 0;
    return static_cast<uint32_t>((deadline - now + 999999u) / 1000000u);
}

}  // namespace

// --- the public object -----------------------------------------------------

TelescopeControl::TelescopeControl(TelescopeListener* listener) : TelescopeControl(listener, Options{}) {}

TelescopeControl::TelescopeControl(TelescopeListener* listener, Options options)
    : listener_(listener), core_(std::make_shared<EngineCore>(listener, std::move(options))) {
    core_->startEngineThread();
}

TelescopeControl::~TelescopeControl() {
    // Whether every thread ended or not, this reference goes: a thread that
    // outlived its bound holds its own and frees the core when it ends.
    core_->shutdown();
}

void TelescopeControl::postCommand(uint8_t id, const uint8_t* args, size_t count) {
    core_->postCommand(id, args, count);
}

void TelescopeControl::tick() {
    core_->writeQueue(kTickMessage, sizeof kTickMessage);
}

bool TelescopeControl::drain(uint32_t timeoutMs) {
    return core_->drain(timeoutMs);
}

platform::PortError TelescopeControl::lastPortError() const {
    return core_->lastPortError_.load();
}

// --- construction and shutdown ----------------------------------------------

EngineCore::EngineCore(TelescopeListener* listener, TelescopeControl::Options options)
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
}

EngineCore::~EngineCore() = default;

bool EngineCore::startEngineThread() {
    // Without a queue there is nothing to read: no engine thread, and
    // connect() says so (TelescopeControl::connect).
    if (!queue_.isOpen()) return false;
    auto* self = new std::shared_ptr<EngineCore>(shared_from_this());
    if (pipeReader_.start(&EngineCore::pipeReaderEntry, self)) return true;
    delete self;
    queue_.close();
    return false;
}

bool EngineCore::shutdown() {
    // Close an open link through the queue so the engine thread does it (it
    // alone touches the link), then stop the engine thread. Every wait is
    // bounded; a thread still running after its bound keeps the core alive
    // (see EngineCore.h), and nothing it uses is touched from here on.
    disconnectQuietly();
    pipeStopEvent_.set();
    if (!pipeReader_.join(kEngineStopWaitMs)) {
        listenerDetached_ = true;
        queue_.shutdown();  // a writer blocked on the full queue fails instead
        return false;
    }
    // Nobody reads the queue any more: break it, so a serial reader blocked
    // writing into it fails at once instead of waiting forever.
    queue_.shutdown();
    // The engine thread has ended: its state is this thread's now.
    if (portOpen_) closePort();
    serialStopEvent_.set();
    // closePort already waited its bound for a reader it gave up on.
    const bool givenUp = readerOrphaned_ && !serialReaderDone_.isSet();
    if (!serialReader_.join(givenUp ? 0 : options_.readerStopWaitMs)) {
        listenerDetached_ = true;
        return false;
    }
    closeOrphanedPort();
    return true;
}

void EngineCore::disconnectQuietly() {
    // A silent variant of disconnect for the destructor: the engine thread
    // closes the port without a report, so no listener is called while the
    // owner tears things down.
    if (!queue_.isOpen()) return;
    const uint8_t message[] = {messageHeader(kMsgCommand, 1), CommandId::CloseQuietly};
    writeQueue(message, sizeof message);
    drain(kEngineStopWaitMs);
}

// --- writers (any thread) -------------------------------------------------

void EngineCore::writeQueue(const uint8_t* bytes, size_t count) {
    platform::LockGuard guard(pipeWriteLock_);
    queue_.write(bytes, count);
}

void EngineCore::postCommand(uint8_t id, const uint8_t* args, size_t count) {
    // Only the engine thread empties the queue: posting from it (a listener
    // callback) would wait for itself once the queue is full.
    assert(!onEngineThread() && "engine operations must not be called from a listener callback");
    uint8_t message[32];
    if (count > kMsgMaxPayload - 1) return;
    message[0] = messageHeader(kMsgCommand, static_cast<uint8_t>(count + 1));
    message[1] = id;
    if (count > 0) std::memcpy(message + 2, args, count);
    writeQueue(message, count + 2);
}

void EngineCore::forwardSerialBytes(const uint8_t* bytes, int count) {
    chunkSerialBytes(bytes, count, [this](const uint8_t* chunk, size_t size) { writeQueue(chunk, size); });
}

bool EngineCore::drain(uint32_t timeoutMs) {
    assert(!onEngineThread() && "drain() must not be called from a listener callback");
    if (!queue_.isOpen()) return false;
    platform::LockGuard guard(drainLock_);
    // Each drain waits for its own marker: one left behind by an earlier
    // drain that timed out is reached first and must not end this one.
    const uint32_t tag = ++drainSerial_;
    uint8_t args[4];
    putU32(args, tag);
    postCommand(CommandId::Drain, args, sizeof args);
    const uint64_t deadline = deadlineAfter(timeoutMs);
    for (;;) {
        if (drainReached_.load() == tag) return true;
        const uint32_t left = msUntil(deadline);
        if (left == 0) return false;
        drainEvent_.wait(left);
    }
}

bool EngineCore::onEngineThread() const {
    return tlsEngineOfThisThread == this;
}

// --- the engine thread ----------------------------------------------------

void EngineCore::pipeReaderEntry(void* arg) {
    // The thread's own reference: the core stays alive while this runs.
    std::shared_ptr<EngineCore> self = std::move(*static_cast<std::shared_ptr<EngineCore>*>(arg));
    delete static_cast<std::shared_ptr<EngineCore>*>(arg);
    tlsEngineOfThisThread = self.get();
    self->pipeReaderLoop();
    tlsEngineOfThisThread = nullptr;
}

void EngineCore::pipeReaderLoop() {
    uint8_t buffer[20];
    for (;;) {
        size_t got = 0;
        if (queue_.read(buffer, sizeof buffer, got, pipeStopEvent_) ==
            platform::ByteQueue::ReadResult::Stopped)
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
}

void EngineCore::assembleByte(uint8_t byte) {
    if (assembler_.assembleByte(byte)) dispatchMessage(assembler_.message());
}

void EngineCore::dispatchMessage(const uint8_t* message) {
    const uint8_t type = messageType(message[0]);
    const uint8_t length = messageLength(message[0]);
    StepResult result = StepResult::None;
    switch (type) {
        case kMsgCommand: {
            if (length == 0) break;
            const uint8_t id = message[1];
            if (id == CommandId::Drain) {
                const uint32_t tag =
                    static_cast<uint32_t>(message[2]) | (static_cast<uint32_t>(message[3]) << 8) |
                    (static_cast<uint32_t>(message[4]) << 16) | (static_cast<uint32_t>(message[5]) << 24);
                drainReached_.store(tag);
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

void EngineCore::applyResult(StepResult result) {
    switch (result) {
        case StepResult::ReadoutComplete:
            if (portOpen_) linkUp_ = true;
            break;
        case StepResult::GiveUp:
            if (portOpen_) closePort();
            break;
        case StepResult::None:
            break;
    }
}

// --- reports ----------------------------------------------------------------

void EngineCore::report(int code) {
    if (listenerDetached_) return;
    if (LinkTrace* trace = options_.trace.get()) trace->status(state_, code);
    listener_->onStatus(code);
}

void EngineCore::reportSettings(int kind) {
    if (listenerDetached_) return;
    if (LinkTrace* trace = options_.trace.get()) trace->settings(state_, kind);
    listener_->onSettings(&settings_, kind);
}

void EngineCore::reportVoltage(int centivolts) {
    if (listenerDetached_) return;
    if (LinkTrace* trace = options_.trace.get()) trace->voltage(state_, centivolts);
    listener_->onSupplyVoltage(centivolts);
}

}  // namespace vorlant
