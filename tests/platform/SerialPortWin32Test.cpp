// The Win32 serial port. A real round trip needs a COM port whose other end
// echoes; set VORLANT_TEST_ECHO_COM to its number to run that case (under
// Wine: link the prefix's dosdevices/comN to a pty whose master echoes).
// VORLANT_TEST_VANISHING_COM names a port whose other end goes away soon
// after the first byte it receives (under Wine: a pty whose master is then
// closed); VORLANT_TEST_NOT_SERIAL_COM one that opens but is no serial
// device (under Wine: linked to /dev/null). cmake/wine-with-ptys.sh sets
// all three.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/SerialPort.h"
#include "platform/TestTiming.h"

namespace vorlant::platform {
namespace {

// The handshake settings of a port as the driver keeps them, outside the
// port object (as another program would see them).
HANDLE openRaw(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", number);
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void setHandshake(int number, bool on) {
    const HANDLE h = openRaw(number);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    dcb.fOutxCtsFlow = on;
    dcb.fOutxDsrFlow = on;
    dcb.fDsrSensitivity = on;
    dcb.fRtsControl = on ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    SetCommState(h, &dcb);  // a driver may not keep every flag; CTS at least
    CloseHandle(h);
}

// Bits: 1 CTS output flow, 2 DSR output flow, 4 DSR sensitivity, 8 RTS handshake.
unsigned handshakeLeft(int number) {
    const HANDLE h = openRaw(number);
    if (h == INVALID_HANDLE_VALUE) return 0xFF;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const bool ok = GetCommState(h, &dcb) != 0;
    CloseHandle(h);
    if (!ok) return 0xFF;
    return (dcb.fOutxCtsFlow ? 1u : 0u) | (dcb.fOutxDsrFlow ? 2u : 0u) | (dcb.fDsrSensitivity ? 4u : 0u) |
           (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ? 8u : 0u);
}

TEST(Win32SerialPortTest, MissingPortIsNotFound) {
    auto port = createSerialPort();
    EXPECT_FALSE(port->open(250, 9600));
    EXPECT_EQ(port->lastError(), PortError::NotFound);
}

TEST(Win32SerialPortTest, EchoRoundTripAndStop) {
    const char* env = std::getenv("VORLANT_TEST_ECHO_COM");
    if (!env) GTEST_SKIP() << "VORLANT_TEST_ECHO_COM not set";
    const int number = std::atoi(env);
    // Another program left the port with hardware handshake (output flow
    // control on CTS and DSR, DSR sensitivity): the open must clear it, or
    // a three-wire controller would never be sent a byte.
    setHandshake(number, true);
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

    // A frame the stalled line cannot take (nothing is read, so the echo
    // backs up) is given up at its time-out: cancelled, not left pending.
    std::vector<uint8_t> flood(1 << 20, 0x11);
    const uint64_t writeNs = monotonicNs();
    EXPECT_EQ(port->write(flood.data(), flood.size(), 200), SerialPort::WriteResult::TimedOut);
    EXPECT_LT(test::elapsedMs(writeNs), 5000u);
    port->close();
    EXPECT_EQ(handshakeLeft(number), 0u) << "hardware handshake survived the open";
}

TEST(Win32SerialPortTest, DeviceThatIsNoSerialPortFailsTheOpen) {
    const char* env = std::getenv("VORLANT_TEST_NOT_SERIAL_COM");
    if (!env) GTEST_SKIP() << "VORLANT_TEST_NOT_SERIAL_COM not set";
    auto port = createSerialPort();
    EXPECT_FALSE(port->open(std::atoi(env), 9600));
    EXPECT_NE(port->lastError(), PortError::None);
}

TEST(Win32SerialPortTest, LossOfTheDeviceEndsReadsWithGone) {
    const char* env = std::getenv("VORLANT_TEST_VANISHING_COM");
    if (!env) GTEST_SKIP() << "VORLANT_TEST_VANISHING_COM not set";
    auto port = createSerialPort();
    ASSERT_TRUE(port->open(std::atoi(env), 9600)) << portErrorText(port->lastError());
    const uint8_t hello = 0x00;  // the far end goes away once it has heard from us
    ASSERT_EQ(port->write(&hello, 1, 1000), SerialPort::WriteResult::Done);
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
