// The in-process port: what the engine's threads see through it, and the
// idle() promise test harnesses build on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "tools/simulator/LoopbackPort.h"

namespace vorlant::sim {
namespace {

using platform::Event;
using platform::PortError;
using platform::SerialPort;
using Bytes = std::vector<uint8_t>;

const uint8_t kIdentify[] = {0xAA, 0x01, 0x01};

// Waits (bounded) until pred() holds; false on time-out.
template <class Pred>
bool eventually(Pred pred, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A reader thread like the engine's: reads until stopped or gone, keeping
// what it got.
class Reader {
public:
    explicit Reader(LoopbackPort& port) : port_(port), thread_([this] { run(); }) {}
    ~Reader() {
        stop_.set();
        thread_.join();
    }
    void stop() { stop_.set(); }
    Bytes received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    bool ended() const { return ended_.load(); }
    SerialPort::ReadResult lastResult() const { return last_.load(); }

private:
    void run() {
        uint8_t buffer[128];
        for (;;) {
            size_t got = 0;
            const SerialPort::ReadResult r = port_.read(buffer, sizeof buffer, got, stop_);
            last_ = r;
            if (r != SerialPort::ReadResult::Data) break;
            std::lock_guard<std::mutex> lock(mutex_);
            bytes_.insert(bytes_.end(), buffer, buffer + got);
        }
        ended_ = true;
    }

    LoopbackPort& port_;
    Event stop_{Event::Reset::Manual};
    std::mutex mutex_;
    Bytes bytes_;
    std::atomic<bool> ended_{false};
    std::atomic<SerialPort::ReadResult> last_{SerialPort::ReadResult::Data};
    std::thread thread_;
};

TEST(LoopbackPortTest, OpenFailuresAndRecordedArguments) {
    auto port = std::make_shared<LoopbackPort>(SimProfile::Class5);
    for (PortError error : {PortError::NotFound, PortError::Busy, PortError::PermissionDenied}) {
        port->failOpenWith(error);
        EXPECT_FALSE(port->open(7, 115200));
        EXPECT_EQ(port->lastError(), error);
        EXPECT_FALSE(port->isOpen());
    }
    EXPECT_EQ(port->lastOpenPortNumber(), 7);
    EXPECT_EQ(port->lastOpenBaud(), 115200u);
    port->failOpenWith(PortError::None);
    EXPECT_TRUE(port->open(3, 9600));
    EXPECT_EQ(port->lastError(), PortError::None);
    EXPECT_EQ(port->lastOpenPortNumber(), 3);
    EXPECT_EQ(port->lastOpenBaud(), 9600u);
    EXPECT_EQ(port->openCalls(), 4u);
    EXPECT_EQ(port->openCount(), 1u);
    port->close();
    port->close();  // safe when not open
    EXPECT_EQ(port->closeCount(), 1u);
}

TEST(LoopbackPortTest, WriteIsAnsweredThroughRead) {
    LoopbackPort port(SimProfile::Class5);
    ASSERT_TRUE(port.open(1, 9600));
    EXPECT_EQ(port.write(kIdentify, sizeof kIdentify, 1000), SerialPort::WriteResult::Done);
    Event stop(Event::Reset::Manual);
    // A small buffer takes the reply in pieces.
    uint8_t buffer[4];
    size_t got = 0;
    ASSERT_EQ(port.read(buffer, sizeof buffer, got, stop), SerialPort::ReadResult::Data);
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{0x55, 0x05, 0x01, 0x05}));
    ASSERT_EQ(port.read(buffer, sizeof buffer, got, stop), SerialPort::ReadResult::Data);
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{0x01, 0x01, 0x00}));
    EXPECT_EQ(port.bytesWritten(), 3u);
    EXPECT_EQ(port.bytesRead(), 7u);
    ASSERT_EQ(port.requestLog().size(), 1u);
}

TEST(LoopbackPortTest, WriteWhenClosedFails) {
    LoopbackPort port(SimProfile::Class5);
    EXPECT_EQ(port.write(kIdentify, sizeof kIdentify, 1000), SerialPort::WriteResult::Failed);
    EXPECT_TRUE(port.requestLog().empty());
}

TEST(LoopbackPortTest, StopWinsOverQueuedData) {
    LoopbackPort port(SimProfile::Class5);
    ASSERT_TRUE(port.open(1, 9600));
    port.write(kIdentify, sizeof kIdentify, 1000);
    Event stop(Event::Reset::Manual);
    stop.set();
    uint8_t buffer[16];
    size_t got = 99;
    EXPECT_EQ(port.read(buffer, sizeof buffer, got, stop), SerialPort::ReadResult::Stopped);
    EXPECT_EQ(got, 0u);
}

TEST(LoopbackPortTest, BlockedReaderWakesForDataAndForStop) {
    LoopbackPort port(SimProfile::Class5);
    ASSERT_TRUE(port.open(1, 9600));
    Reader reader(port);
    ASSERT_TRUE(eventually([&] { return port.idle(); }));
    port.write(kIdentify, sizeof kIdentify, 1000);
    ASSERT_TRUE(eventually([&] { return reader.received().size() == 7; }));
    EXPECT_FALSE(reader.ended());
    reader.stop();
    ASSERT_TRUE(eventually([&] { return reader.ended(); }));
    EXPECT_EQ(reader.lastResult(), SerialPort::ReadResult::Stopped);
}

TEST(LoopbackPortTest, UnplugEndsReadsAndWritesUntilReplugged) {
    auto port = std::make_shared<LoopbackPort>(SimProfile::Class5);
    ASSERT_TRUE(port->open(1, 9600));
    {
        Reader reader(*port);
        ASSERT_TRUE(eventually([&] { return port->idle(); }));
        port->unplug();
        ASSERT_TRUE(eventually([&] { return reader.ended(); }));
        EXPECT_EQ(reader.lastResult(), SerialPort::ReadResult::Gone);
    }
    EXPECT_EQ(port->write(kIdentify, sizeof kIdentify, 1000), SerialPort::WriteResult::Gone);
    EXPECT_EQ(port->lastError(), PortError::Gone);
    // Open and gone: not idle until the engine closes the port.
    EXPECT_FALSE(port->idle());
    port->close();
    EXPECT_TRUE(port->idle());

    EXPECT_FALSE(port->open(1, 9600));
    EXPECT_EQ(port->lastError(), PortError::NotFound);
    port->replug();
    EXPECT_TRUE(port->open(1, 9600));
    // The controller kept its settings across the unplug.
    EXPECT_EQ(port->state(), initialState(SimProfile::Class5));
}

TEST(LoopbackPortTest, IdleNeedsEmptyQueueAndAWaitingReader) {
    LoopbackPort port(SimProfile::Class5);
    EXPECT_TRUE(port.idle());  // closed, nothing queued
    ASSERT_TRUE(port.open(1, 9600));
    EXPECT_FALSE(port.idle());  // open, but no reader inside read()
    port.write(kIdentify, sizeof kIdentify, 1000);
    EXPECT_FALSE(port.idle());
    {
        Reader reader(port);
        ASSERT_TRUE(eventually([&] { return reader.received().size() == 7; }));
        ASSERT_TRUE(eventually([&] { return port.idle(); }));
        // A request that gets no reply leaves it idle.
        const uint8_t tracking[] = {0xAA, 0x03, 0x24, 0x00, 0x01};
        port.write(tracking, sizeof tracking, 1000);
        EXPECT_TRUE(port.idle());
        EXPECT_TRUE(port.inspect([](SimController& c) { return c.tracking(); }));
    }
    EXPECT_FALSE(port.idle());  // the reader has left
    port.close();
    EXPECT_TRUE(port.idle());
}

TEST(LoopbackPortTest, DelayedReplyKeepsThePortBusyUntilRead) {
    SimOptions options;
    options.replyDelayMs = 40;
    LoopbackPort port(SimProfile::Slow, options);
    ASSERT_TRUE(port.open(1, 9600));
    Reader reader(port);
    ASSERT_TRUE(eventually([&] { return port.idle(); }));
    const auto start = std::chrono::steady_clock::now();
    port.write(kIdentify, sizeof kIdentify, 1000);
    EXPECT_FALSE(port.idle());
    ASSERT_TRUE(eventually([&] { return reader.received().size() == 7; }));
    // Never early (the lower bound is what the profile promises).
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_TRUE(eventually([&] { return port.idle(); }));
}

TEST(LoopbackPortTest, VanishingControllerLooksLikeAnUnpluggedDevice) {
    LoopbackPort port(SimProfile::Vanish);
    ASSERT_TRUE(port.open(1, 9600));
    Reader reader(port);
    for (uint8_t id : std::initializer_list<uint8_t>{1, 3, 2, 20}) {
        const uint8_t frame[] = {0xAA, 0x01, id};
        EXPECT_EQ(port.write(frame, sizeof frame, 1000), SerialPort::WriteResult::Done);
    }
    ASSERT_TRUE(eventually([&] { return reader.received().size() == 7 + 7 + 4 + 31; }));
    const uint8_t params[] = {0xAA, 0x01, 0x15};
    EXPECT_EQ(port.write(params, sizeof params, 1000), SerialPort::WriteResult::Gone);
    ASSERT_TRUE(eventually([&] { return reader.ended(); }));
    EXPECT_EQ(reader.lastResult(), SerialPort::ReadResult::Gone);
    EXPECT_TRUE(port.gone());
    port.close();
    port.replug();
    EXPECT_FALSE(port.open(1, 9600));  // a vanished controller does not come back
}

TEST(LoopbackPortTest, ReopenDropsStaleReplies) {
    LoopbackPort port(SimProfile::Class5);
    ASSERT_TRUE(port.open(1, 9600));
    port.write(kIdentify, sizeof kIdentify, 1000);
    port.close();
    ASSERT_TRUE(port.open(1, 9600));
    EXPECT_TRUE(port.inspect([](SimController& c) { return !c.hasOutput(); }));
}

}  // namespace
}  // namespace vorlant::sim
