// Several simulated serial ports behind one factory, told apart by the
// number they are opened with, as the system's ports are: a factory makes a
// port before it knows which one it will open.
#pragma once

#include <map>
#include <memory>

#include "platform/SerialPort.h"
#include "tools/simulator/LoopbackPort.h"

namespace vorlant::test {

class NumberedPort : public platform::SerialPort {
public:
    using Ports = std::map<int, std::shared_ptr<sim::LoopbackPort>>;
    explicit NumberedPort(Ports ports) : ports_(std::move(ports)) {}

    // A number without a port does not exist.
    bool open(int portNumber, uint32_t baud) override {
        const auto found = ports_.find(portNumber);
        active_ = found == ports_.end() ? nullptr : found->second;
        if (!active_) return false;
        return active_->open(portNumber, baud);
    }
    WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) override {
        return active_ ? active_->write(data, count, timeoutMs) : WriteResult::Failed;
    }
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override {
        got = 0;
        return active_ ? active_->read(buffer, capacity, got, stop) : ReadResult::Gone;
    }
    void close() override {
        if (active_) active_->close();
    }
    platform::PortError lastError() const override {
        return active_ ? active_->lastError() : platform::PortError::NotFound;
    }

private:
    Ports ports_;
    std::shared_ptr<sim::LoopbackPort> active_;
};

}  // namespace vorlant::test
