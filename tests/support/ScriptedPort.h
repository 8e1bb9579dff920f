// A serial port whose controller is a test script: every written frame is
// recorded and answered by a responder the test supplies. Lets engine tests
// send exact bytes (short replies, garbage, silence) deterministically.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/SerialPort.h"

namespace vorlant::test {

using Bytes = std::vector<uint8_t>;

class ScriptedPort : public platform::SerialPort {
public:
    using Responder = std::function<Bytes(const Bytes& frame)>;

    explicit ScriptedPort(Responder responder = nullptr) : responder_(std::move(responder)) {}

    bool open(int portNumber, uint32_t baud) override {
        std::lock_guard<std::mutex> g(m_);
        openedPort_ = portNumber;
        openedBaud_ = baud;
        ++opens_;
        if (failOpen_ != platform::PortError::None) {
            error_ = failOpen_;
            return false;
        }
        open_ = true;
        unplugged_ = false;
        return true;
    }

    WriteResult write(const uint8_t* data, size_t count, uint32_t) override {
        Responder responder;
        {
            std::lock_guard<std::mutex> g(m_);
            if (unplugged_) return WriteResult::Gone;
            frames_.emplace_back(data, data + count);
            responder = responder_;
        }
        if (responder) inject(responder(Bytes(data, data + count)));
        return WriteResult::Done;
    }

    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override {
        std::unique_lock<std::mutex> g(m_);
        got = 0;
        for (;;) {
            if (holdReads_) {
                // A driver whose read ignores the stop: it returns only when
                // the test lets it go.
                waiting_ = true;
                ++heldReads_;
                cv_.wait(g, [this] { return !holdReads_; });
                --heldReads_;
                continue;
            }
            if (stop.isSet()) {
                waiting_ = false;
                return ReadResult::Stopped;
            }
            if (unplugged_) {
                waiting_ = false;
                return ReadResult::Gone;
            }
            if (!inbox_.empty()) {
                waiting_ = false;
                while (got < capacity && !inbox_.empty()) {
                    buffer[got++] = inbox_.front();
                    inbox_.pop_front();
                }
                return ReadResult::Data;
            }
            waiting_ = true;
            cv_.wait_for(g, std::chrono::milliseconds(2));
        }
    }

    void close() override {
        std::lock_guard<std::mutex> g(m_);
        open_ = false;
        ++closes_;
        inbox_.clear();
    }

    platform::PortError lastError() const override {
        std::lock_guard<std::mutex> g(m_);
        return error_;
    }

    // --- test side ---
    void inject(const Bytes& bytes) {
        std::lock_guard<std::mutex> g(m_);
        inbox_.insert(inbox_.end(), bytes.begin(), bytes.end());
        injected_ += bytes.size();
        cv_.notify_all();
    }
    void setResponder(Responder r) {
        std::lock_guard<std::mutex> g(m_);
        responder_ = std::move(r);
    }
    void unplug() {
        std::lock_guard<std::mutex> g(m_);
        unplugged_ = true;
        cv_.notify_all();
    }
    // While held, a read in progress (and every new one) ignores the stop.
    void holdReads(bool hold) {
        std::lock_guard<std::mutex> g(m_);
        holdReads_ = hold;
        cv_.notify_all();
    }
    bool readIsHeld() const {
        std::lock_guard<std::mutex> g(m_);
        return heldReads_ > 0;
    }
    void failOpenWith(platform::PortError e) {
        std::lock_guard<std::mutex> g(m_);
        failOpen_ = e;
    }
    // True when nothing is queued and the reader waits inside read(): every
    // byte handed out before has been forwarded into the engine's queue. An
    // unplugged port stays busy until the engine has closed it.
    bool idle() const { return idle(nullptr); }
    // The same, together with the count of bytes ever queued for the reader,
    // taken at the same instant.
    bool idle(uint64_t* injected) const {
        std::lock_guard<std::mutex> g(m_);
        if (injected) *injected = injected_;
        return inbox_.empty() && (!open_ || (waiting_ && !unplugged_));
    }
    std::vector<Bytes> frames() const {
        std::lock_guard<std::mutex> g(m_);
        return frames_;
    }
    void clearFrames() {
        std::lock_guard<std::mutex> g(m_);
        frames_.clear();
    }
    bool isOpen() const {
        std::lock_guard<std::mutex> g(m_);
        return open_;
    }
    int openedPort() const {
        std::lock_guard<std::mutex> g(m_);
        return openedPort_;
    }
    uint32_t openedBaud() const {
        std::lock_guard<std::mutex> g(m_);
        return openedBaud_;
    }
    int opens() const {
        std::lock_guard<std::mutex> g(m_);
        return opens_;
    }
    int closes() const {
        std::lock_guard<std::mutex> g(m_);
        return closes_;
    }

private:
    using PortError = platform::PortError;
    mutable std::mutex m_;
    std::condition_variable cv_;
    Responder responder_;
    std::deque<uint8_t> inbox_;
    std::vector<Bytes> frames_;
    bool open_ = false;
    bool unplugged_ = false;
    bool waiting_ = false;
    bool holdReads_ = false;
    int heldReads_ = 0;
    uint64_t injected_ = 0;
    int openedPort_ = -1;
    uint32_t openedBaud_ = 0;
    int opens_ = 0;
    int closes_ = 0;
    PortError failOpen_ = PortError::None;
    PortError error_ = PortError::None;
};

}  // namespace vorlant::test
