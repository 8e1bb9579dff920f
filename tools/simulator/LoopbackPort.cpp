#include "tools/simulator/LoopbackPort.h"

#include <chrono>

namespace vorlant::sim {

namespace {

// The longest a waiting read() sleeps before it looks at the stop event
// again (the event cannot wake the condition variable).
constexpr uint64_t kStopPollNs = 2000000;

}  // namespace

LoopbackPort::LoopbackPort(SimProfile profile, SimOptions options) : controller_(profile, options) {}

bool LoopbackPort::open(int portNumber, uint32_t baud) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++openCalls_;
    lastOpenPort_ = portNumber;
    lastOpenBaud_ = baud;
    if (openFailure_ != platform::PortError::None) {
        lastError_ = openFailure_;
        return false;
    }
    if (goneLocked()) {
        lastError_ = platform::PortError::NotFound;
        return false;
    }
    open_ = true;
    ++openCount_;
    lastError_ = platform::PortError::None;
    controller_.discardOutput();
    return true;
}

platform::SerialPort::WriteResult LoopbackPort::write(const uint8_t* data, size_t count, uint32_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (goneLocked()) return WriteResult::Gone;
    if (!open_) return WriteResult::Failed;
    controller_.receive(data, count, platform::monotonicNs());
    bytesWritten_ += count;
    if (controller_.vanished()) {
        // The frame that found the device gone was never answered.
        lastError_ = platform::PortError::Gone;
        wake_.notify_all();
        return WriteResult::Gone;
    }
    if (controller_.hasOutput()) wake_.notify_all();
    return WriteResult::Done;
}

platform::SerialPort::ReadResult LoopbackPort::read(uint8_t* buffer, size_t capacity, size_t& got,
                                                    platform::Event& stop) {
    got = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    // readerWaiting_ is true only while this call waits with nothing to
    // hand out; every return clears it first.
    for (;;) {
        if (stop.isSet()) {
            readerWaiting_ = false;
            return ReadResult::Stopped;
        }
        if (goneLocked() || !open_) {
            readerWaiting_ = false;
            if (open_) lastError_ = platform::PortError::Gone;
            return ReadResult::Gone;
        }
        const uint64_t now = platform::monotonicNs();
        const size_t n = capacity ? controller_.takeDueOutput(now, buffer, capacity) : 0;
        if (n > 0) {
            readerWaiting_ = false;
            bytesRead_ += n;
            got = n;
            return ReadResult::Data;
        }
        readerWaiting_ = true;
        uint64_t waitNs = kStopPollNs;
        const uint64_t due = controller_.nextDueNs();
        if (due != SimController::kNoOutput && due > now && due - now < waitNs) waitNs = due - now;
        wake_.wait_for(lock, std::chrono::nanoseconds(waitNs));
    }
}

void LoopbackPort::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) ++closeCount_;
    open_ = false;
    controller_.discardOutput();
    wake_.notify_all();
}

platform::PortError LoopbackPort::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

void LoopbackPort::failOpenWith(platform::PortError error) {
    std::lock_guard<std::mutex> lock(mutex_);
    openFailure_ = error;
}

void LoopbackPort::unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugged_ = true;
    if (open_) lastError_ = platform::PortError::Gone;
    controller_.discardOutput();
    wake_.notify_all();
}

void LoopbackPort::replug() {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugged_ = false;
}

bool LoopbackPort::idle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !controller_.hasOutput() && (!open_ || readerWaiting_);
}

bool LoopbackPort::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

bool LoopbackPort::gone() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return goneLocked();
}

uint64_t LoopbackPort::bytesWritten() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytesWritten_;
}

uint64_t LoopbackPort::bytesRead() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytesRead_;
}

int LoopbackPort::lastOpenPortNumber() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastOpenPort_;
}

uint32_t LoopbackPort::lastOpenBaud() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastOpenBaud_;
}

uint32_t LoopbackPort::openCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openCalls_;
}

uint32_t LoopbackPort::openCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openCount_;
}

uint32_t LoopbackPort::closeCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closeCount_;
}

std::vector<std::vector<uint8_t>> LoopbackPort::requestLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return controller_.requestLog();
}

SimState LoopbackPort::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return controller_.state();
}

}  // namespace vorlant::sim
