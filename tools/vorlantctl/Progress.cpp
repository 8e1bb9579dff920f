#include "tools/vorlantctl/Progress.h"

#include <utility>

#include "engine/LinkTrace.h"
#include "engine/WireProtocol.h"

namespace vorlant::ctl {

namespace {

// Back to the line's start and erase it.
constexpr const char* kEraseLine = "\r\033[K";

// The requests of a full read-out, in the order they are sent; lower
// classes stop early.
const uint8_t kReadoutRequests[] = {RequestId::Identify,           RequestId::ReadPortType,
                                    RequestId::ReadFirmware,       RequestId::ReadGearBlock,
                                    RequestId::ReadParameterBlock, RequestId::ReadFlipBlock,
                                    RequestId::ReadLocation};
constexpr size_t kReadoutSteps = sizeof kReadoutRequests / sizeof kReadoutRequests[0];

class ReportingPort : public platform::SerialPort {
public:
    ReportingPort(std::shared_ptr<platform::SerialPort> port, std::shared_ptr<Progress> progress)
        : port_(std::move(port)), progress_(std::move(progress)) {}

    bool open(int portNumber, uint32_t baud) override { return port_->open(portNumber, baud); }
    WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) override {
        progress_->sent(data, count);
        return port_->write(data, count, timeoutMs);
    }
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override {
        return port_->read(buffer, capacity, got, stop);
    }
    void close() override { port_->close(); }
    platform::PortError lastError() const override { return port_->lastError(); }

private:
    const std::shared_ptr<platform::SerialPort> port_;
    const std::shared_ptr<Progress> progress_;
};

}  // namespace

Progress::Progress(bool verbose, Write write) : verbose_(verbose), write_(std::move(write)) {}

void Progress::show(const std::string& text) {
    status_ = text;
    write_(kEraseLine + text);
}

void Progress::step(const std::string& text) {
    std::lock_guard<std::mutex> guard(mutex_);
    show(text);
}

void Progress::sent(const uint8_t* frame, size_t count) {
    // A frame: 0xAA, its length, the request's id, its data.
    if (count < 3) return;
    std::lock_guard<std::mutex> guard(mutex_);
    std::string next = status_;
    for (size_t i = 0; i < kReadoutSteps; ++i)
        if (frame[2] == kReadoutRequests[i])
            next = "reading settings " + std::to_string(i + 1) + "/" + std::to_string(kReadoutSteps);
    if (verbose_) {
        static const char kDigits[] = "0123456789ABCDEF";
        std::string line = "->";
        for (size_t i = 0; i < count; ++i) {
            line += ' ';
            line += kDigits[frame[i] >> 4];
            line += kDigits[frame[i] & 0x0F];
        }
        write_(kEraseLine + line + "  " + requestName(frame[2]) + "\n");
        status_ = next;
        if (!status_.empty()) write_(status_);
    } else if (next != status_) {
        show(next);
    }
}

void Progress::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!status_.empty()) write_(kEraseLine);
    status_.clear();
}

void Progress::interject(const std::function<void()>& write) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!status_.empty()) write_(kEraseLine);
    write();
    if (!status_.empty()) write_(status_);
}

std::shared_ptr<platform::SerialPort> reportingPort(std::shared_ptr<platform::SerialPort> port,
                                                    std::shared_ptr<Progress> progress) {
    if (!port || !progress) return port;
    return std::make_shared<ReportingPort>(std::move(port), std::move(progress));
}

}  // namespace vorlant::ctl
