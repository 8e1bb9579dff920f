// Serial port behaviour that needs no device, on every backend.
#include <gtest/gtest.h>

#include "platform/SerialPort.h"

namespace vorlant::platform {
namespace {

TEST(SerialPortTest, PortNumbersOutsideTheComRangeAreNotFound) {
    for (int number : {0, -1, 257, 1000}) {
        SCOPED_TRACE(number);
        auto port = createSerialPort();
        EXPECT_FALSE(port->open(number, 9600));
        EXPECT_EQ(port->lastError(), PortError::NotFound);
    }
}

TEST(SerialPortTest, UnopenedPortIsSafeToUse) {
    auto port = createSerialPort();
    EXPECT_EQ(port->lastError(), PortError::None);
    port->close();
    port->close();
    const uint8_t frame[] = {0xAA, 0x01, 0x01};
    EXPECT_NE(port->write(frame, sizeof frame, 10), SerialPort::WriteResult::Done);
    Event stop(Event::Reset::Manual);
    stop.set();
    uint8_t buffer[8];
    size_t got = 0;
    EXPECT_EQ(port->read(buffer, sizeof buffer, got, stop), SerialPort::ReadResult::Stopped);
}

TEST(SerialPortTest, EveryErrorHasItsOwnText) {
    const PortError all[] = {PortError::None, PortError::NotFound, PortError::PermissionDenied,
                             PortError::Busy, PortError::Gone,     PortError::Other};
    for (PortError a : all) {
        ASSERT_NE(portErrorText(a), nullptr);
        EXPECT_GT(std::string(portErrorText(a)).size(), 0u);
        for (PortError b : all) {
            if (a != b) {
                EXPECT_STRNE(portErrorText(a), portErrorText(b));
            }
        }
    }
}

}  // namespace
}  // namespace vorlant::platform
