// The POSIX serial port against a pseudo-terminal: the test holds the
// master side as "the controller", the port opens the slave by path.
#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "platform/TestTiming.h"

namespace vorlant::platform {
namespace {

using test::elapsedMs;

constexpr int kPortNumber = 7;

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        const char* name = ptsname(master);
        ASSERT_NE(name, nullptr);
        slavePath = name;
        setPortDevice(kPortNumber, slavePath);
        port = createSerialPort();
    }

    void TearDown() override {
        port.reset();
        closeMaster();
        setPortDevice(kPortNumber, "");
    }

    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }

    // What the controller side received, waiting up to timeoutMs for count bytes.
    std::vector<uint8_t> masterRead(size_t count, uint32_t timeoutMs = 5000) {
        std::vector<uint8_t> out;
        const uint64_t start = monotonicNs();
        while (out.size() < count && elapsedMs(start) < timeoutMs) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            uint8_t buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

    // What the port received, gathered over as many reads as it takes. A
    // watchdog stops the reads after timeoutMs, so missing bytes fail the
    // test instead of hanging it.
    std::vector<uint8_t> portRead(size_t count, uint32_t timeoutMs = 5000) {
        struct Watchdog {
            Event done{Event::Reset::Manual};
            Event* stop = nullptr;
            uint32_t timeoutMs = 0;
        } watchdog;
        watchdog.stop = &stop;
        watchdog.timeoutMs = timeoutMs;
        Thread timer;
        EXPECT_TRUE(timer.start(
            [](void* p) {
                auto* w = static_cast<Watchdog*>(p);
                if (!w->done.wait(w->timeoutMs)) w->stop->set();
            },
            &watchdog));
        std::vector<uint8_t> out;
        while (out.size() < count) {
            uint8_t buffer[128];
            size_t got = 0;
            if (port->read(buffer, sizeof buffer, got, stop) != SerialPort::ReadResult::Data) break;
            out.insert(out.end(), buffer, buffer + got);
        }
        watchdog.done.set();
        timer.join(0xFFFFFFFFu);
        stop.reset();
        return out;
    }

    int master = -1;
    std::string slavePath;
    std::unique_ptr<SerialPort> port;
    Event stop{Event::Reset::Manual};
};

TEST_F(PtyPortTest, DeviceTableNamesThePortsDevice) {
    EXPECT_EQ(portDevice(kPortNumber), slavePath);
    EXPECT_EQ(portDevice(1), "/dev/ttyS0");
    EXPECT_EQ(portDevice(12), "/dev/ttyS11");
}

// Every byte value, both ways, unchanged: raw mode leaves no line
// discipline (CR/LF mapping, XON/XOFF, 8th-bit stripping, echo) in the way.
TEST_F(PtyPortTest, AllByteValuesRoundTripUnchanged) {
    for (uint32_t baud : {9600u, 115200u}) {
        SCOPED_TRACE(baud);
        ASSERT_TRUE(port->open(kPortNumber, baud)) << portErrorText(port->lastError());
        EXPECT_EQ(port->lastError(), PortError::None);
        std::vector<uint8_t> all(256);
        for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);

        EXPECT_EQ(port->write(all.data(), all.size(), 1000), SerialPort::WriteResult::Done);
        EXPECT_EQ(masterRead(all.size()), all);

        ASSERT_EQ(::write(master, all.data(), all.size()), static_cast<ssize_t>(all.size()));
        EXPECT_EQ(portRead(all.size()), all);
        EXPECT_TRUE(masterRead(1, 50).empty()) << "the port echoed input back";
        port->close();
    }
}

TEST_F(PtyPortTest, UnsupportedBaudRateFailsTheOpen) {
    EXPECT_FALSE(port->open(kPortNumber, 12345));
    EXPECT_EQ(port->lastError(), PortError::Other);
    EXPECT_TRUE(port->open(kPortNumber, 9600)) << "a failed open must not leave the device held";
}

TEST_F(PtyPortTest, StopWakesABlockedReadPromptly) {
    ASSERT_TRUE(port->open(kPortNumber, 9600));
    struct Shared {
        SerialPort* port;
        Event* stop;
        std::atomic<int> result{-1};
        std::atomic<uint64_t> returnedNs{0};
    } shared{port.get(), &stop};
    Thread reader;
    ASSERT_TRUE(reader.start(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            uint8_t buffer[128];
            size_t got = 0;
            s->result = static_cast<int>(s->port->read(buffer, sizeof buffer, got, *s->stop));
            s->returnedNs = monotonicNs();
        },
        &shared));
    // Early in the first 200 ms wait step: a stop noticed only between
    // steps would be late by most of a step.
    sleepMs(20);
    EXPECT_EQ(shared.result.load(), -1) << "read returned with no data and no stop";
    const uint64_t setNs = monotonicNs();
    stop.set();
    ASSERT_TRUE(reader.join(5000));
    EXPECT_EQ(shared.result.load(), static_cast<int>(SerialPort::ReadResult::Stopped));
    EXPECT_LT((shared.returnedNs.load() - setNs) / 1000000u, 100u) << "stop waited for a read step";
}

TEST_F(PtyPortTest, StopWinsOverReceivedBytes) {
    ASSERT_TRUE(port->open(kPortNumber, 9600));
    const uint8_t reply[] = {0x55, 0x02, 0x01};
    ASSERT_EQ(::write(master, reply, sizeof reply), 3);
    sleepMs(20);
    stop.set();
    uint8_t buffer[128];
    size_t got = 0;
    EXPECT_EQ(port->read(buffer, sizeof buffer, got, stop), SerialPort::ReadResult::Stopped);
    stop.reset();
    EXPECT_EQ(portRead(sizeof reply), std::vector<uint8_t>(reply, reply + sizeof reply));
}

TEST_F(PtyPortTest, SecondOpenOfAHeldDeviceIsBusy) {
    ASSERT_TRUE(port->open(kPortNumber, 9600));
    auto second = createSerialPort();
    EXPECT_FALSE(second->open(kPortNumber, 9600));
    EXPECT_EQ(second->lastError(), PortError::Busy);
    port->close();
    EXPECT_TRUE(second->open(kPortNumber, 9600)) << "close must release the device";
}

TEST_F(PtyPortTest, OpenFailuresAreCategorised) {
    struct Case {
        const char* path;
        PortError expected;
    };
    const Case cases[] = {
        {"/dev/vorlant-no-such-device", PortError::NotFound},
        {"/nonexistent-dir/ttyX", PortError::NotFound},
        {"/dev/null", PortError::NotSerialPort},  // opens, but is no tty
        {"/", PortError::NotSerialPort},          // a directory
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        setPortDevice(kPortNumber + 1, c.path);
        auto other = createSerialPort();
        EXPECT_FALSE(other->open(kPortNumber + 1, 9600));
        EXPECT_EQ(other->lastError(), c.expected);
    }
    setPortDevice(kPortNumber + 1, "");
}

TEST_F(PtyPortTest, ClosingTheOtherEndMakesReadAndWriteReportGone) {
    ASSERT_TRUE(port->open(kPortNumber, 9600));
    closeMaster();
    uint8_t buffer[128];
    size_t got = 0;
    const uint64_t start = monotonicNs();
    EXPECT_EQ(port->read(buffer, sizeof buffer, got, stop), SerialPort::ReadResult::Gone);
    EXPECT_LT(elapsedMs(start), 1000u);
    EXPECT_EQ(port->lastError(), PortError::Gone);
    const uint8_t frame[] = {0xAA, 0x01, 0x01};
    EXPECT_EQ(port->write(frame, sizeof frame, 1000), SerialPort::WriteResult::Gone);
    port->close();
}

// Nobody reads the controller side: the pty fills up and a long write
// gives up at its time-out instead of blocking.
TEST_F(PtyPortTest, WriteGivesUpAtItsTimeOut) {
    ASSERT_TRUE(port->open(kPortNumber, 115200));
    std::vector<uint8_t> big(1 << 20, 0x5A);
    const uint64_t start = monotonicNs();
    EXPECT_EQ(port->write(big.data(), big.size(), 100), SerialPort::WriteResult::TimedOut);
    const uint64_t ms = elapsedMs(start);
    EXPECT_GE(ms, 90u);
    EXPECT_LT(ms, 3000u);
}

}  // namespace
}  // namespace vorlant::platform

#endif  // _WIN32
