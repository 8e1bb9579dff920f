// The Win32 serial port. A real round trip needs a COM port whose other end
// echoes; set VORLANT_TEST_ECHO_COM to its number to run that case (under
// Wine: link the prefix's dosdevices/comN to a pty whose master echoes).
// VORLANT_TEST_VANISHING_COM names a port whose other end goes away within
// a few seconds of the open (under Wine: a pty whose master is closed).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <vector>

#include "platform/SerialPort.h"
#include "platform/TestTiming.h"

namespace vorlant::platform {
namespace {

TEST(Win32SerialPortTest, MissingPortIsNotFound) {
    auto port = createSerialPort();
    EXPECT_FALSE(port->open(250, 9600));
    EXPECT_EQ(port->lastError(), PortError::NotFound);
}

TEST(Win32SerialPortTest, EchoRoundTripAndStop) {
    const char* env = std::getenv("VORLANT_TEST_ECHO_COM");
    if (!env) GTEST_SKIP() << "VORLANT_TEST_ECHO_COM not set";
    const int number = std::atoi(env);
    auto port = createSerialPort();
    ASSERT_TRUE(port->open(number, 115200)) << portErrorText(port->lastError());

    // (Exclusive use is not checked here: Wine does not enforce the no-sharing
    // open on COM devices, Windows does.)

    std::vector<uint8_t> all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(port->write(all.data(), all.size(), 1000), SerialPort::WriteResult::Done);

    Event stop(Event::Reset::Manual);
    std::vector<uint8_t> back;
    const uint64_t start = monotonicNs();
    while (back.size() < all.size() && test::elapsedMs(start) < 5000) {
        uint8_t buffer[128];
        size_t got = 0;
        const SerialPort::ReadResult r = port->read(buffer, sizeof buffer, got, stop);
        ASSERT_NE(r, SerialPort::ReadResult::Gone);
        ASSERT_NE(r, SerialPort::ReadResult::Stopped);
        if (r == SerialPort::ReadResult::Data) back.insert(back.end(), buffer, buffer + got);
    }
    EXPECT_EQ(back, all);

    // A read waiting on a quiet line ends promptly on stop.
    struct Shared {
        SerialPort* port;
        Event* stop;
        std::atomic<int> result{-1};
    } shared{port.get(), &stop};
    Thread reader;
    ASSERT_TRUE(reader.start(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            uint8_t buffer[128];
            size_t got = 0;
            s->result = static_cast<int>(s->port->read(buffer, sizeof buffer, got, *s->stop));
        },
        &shared));
    sleepMs(100);
    EXPECT_EQ(shared.result.load(), -1);
    const uint64_t setNs = monotonicNs();
    stop.set();
    ASSERT_TRUE(reader.join(5000));
    EXPECT_LT(test::elapsedMs(setNs), 250u);
    EXPECT_EQ(shared.result.load(), static_cast<int>(SerialPort::ReadResult::Stopped));
    port->close();
}

TEST(Win32SerialPortTest, LossOfTheDeviceEndsReadsWithGone) {
    const char* env = std::getenv("VORLANT_TEST_VANISHING_COM");
    if (!env) GTEST_SKIP() << "VORLANT_TEST_VANISHING_COM not set";
    auto port = createSerialPort();
    ASSERT_TRUE(port->open(std::atoi(env), 9600)) << portErrorText(port->lastError());
    Event stop(Event::Reset::Manual);
    SerialPort::ReadResult r = SerialPort::ReadResult::Data;
    const uint64_t start = monotonicNs();
    while (test::elapsedMs(start) < 20000) {
        uint8_t buffer[128];
        size_t got = 0;
        r = port->read(buffer, sizeof buffer, got, stop);
        if (r == SerialPort::ReadResult::Gone) break;
        if (r == SerialPort::ReadResult::Error) sleepMs(200);  // as the engine does
    }
    EXPECT_EQ(r, SerialPort::ReadResult::Gone);
    EXPECT_EQ(port->lastError(), PortError::Gone);
    const uint8_t frame[] = {0xAA, 0x01, 0x01};
    EXPECT_EQ(port->write(frame, sizeof frame, 1000), SerialPort::WriteResult::Gone);
}

}  // namespace
}  // namespace vorlant::platform

#endif  // _WIN32
