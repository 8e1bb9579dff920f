// Serial device discovery over a fake /dev and /sys tree laid out as the
// kernel and udev lay out the real ones (POSIX only).
#ifndef _WIN32
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/SerialDevices.h"

namespace vorlant::platform {
namespace {

namespace fs = std::filesystem;

class SerialDevicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vorlant-devices-" + std::to_string(getpid()));
        fs::remove_all(root_);
        roots_.dev = (root_ / "dev").string();
        roots_.sys = (root_ / "sys").string();
    }
    void TearDown() override { fs::remove_all(root_); }

    void file(const fs::path& path, const std::string& content = "") {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
    }
    void link(const fs::path& at, const fs::path& target) {
        fs::create_directories(at.parent_path());
        fs::create_symlink(target, at);
    }
    // A tty with its class entry; `device` is its device folder under
    // sys/devices, if it has one.
    void tty(const std::string& name, const std::string& device = "", const std::string& type = "") {
        file(root_ / "dev" / name);
        const fs::path entry = root_ / "sys/class/tty" / name;
        fs::create_directories(entry);
        if (!type.empty()) file(entry / "type", type + "\n");
        if (!device.empty()) {
            fs::create_directories(root_ / "sys/devices" / device);
            link(entry / "device", fs::path("../../../devices") / device);
        }
    }
    std::string dev(const std::string& name) { return (root_ / "dev" / name).string(); }

    fs::path root_;
    SerialDeviceRoots roots_;
};

TEST_F(SerialDevicesTest, ByIdLinksThenUsbThenRealUartsEachDeviceOnce) {
    // A USB adapter with its maker and product two folders above the port.
    file(root_ / "sys/devices/usb1/1-1/product", "FT232R USB UART\n");
    file(root_ / "sys/devices/usb1/1-1/manufacturer", "FTDI\n");
    tty("ttyUSB1", "usb1/1-1/1-1:1.0/ttyUSB1");
    tty("ttyUSB0");
    tty("ttyUSB10");
    tty("ttyUSB2");
    file(root_ / "sys/devices/usb1/1-2/product", "Brask controller\n");
    tty("ttyACM0", "usb1/1-2/1-2:1.0");
    tty("ttyS0", "pnp0/00:04", "4");
    for (int n = 1; n < 32; ++n) tty("ttyS" + std::to_string(n), "platform/serial8250", "0");
    tty("ttyS40");  // no type: not a serial core port
    tty("ttySAC0", "", "4");
    tty("tty1");
    link(root_ / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50-if00-port0", "../../ttyUSB1");
    link(root_ / "dev/serial/by-id/usb-Gone_Adapter-if00", "../../ttyUSB7");  // unplugged

    const std::vector<SerialDevice> devices = discoverSerialDevices(roots_);
    struct Expected {
        std::string path;
        std::string node;
        std::string name;
    };
    const Expected expected[] = {
        {dev("serial/by-id/usb-FTDI_FT232R_USB_UART_A50-if00-port0"), dev("ttyUSB1"), "FTDI FT232R USB UART"},
        {dev("ttyUSB0"), dev("ttyUSB0"), "USB serial device"},
        {dev("ttyUSB2"), dev("ttyUSB2"), "USB serial device"},
        {dev("ttyUSB10"), dev("ttyUSB10"), "USB serial device"},
        {dev("ttyACM0"), dev("ttyACM0"), "Brask controller"},
        {dev("ttyS0"), dev("ttyS0"), "Serial port"},
    };
    ASSERT_EQ(devices.size(), std::size(expected));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(devices[i].path, expected[i].path);
        EXPECT_EQ(fs::path(devices[i].node), fs::canonical(expected[i].node));
        EXPECT_EQ(devices[i].name, expected[i].name);
    }
}

TEST_F(SerialDevicesTest, MissingFoldersListNothingAndAPathNamedByHandDescribesItself) {
    EXPECT_TRUE(discoverSerialDevices(roots_).empty());
    fs::create_directories(root_ / "dev/pts");
    file(root_ / "dev/pts/7");
    const SerialDevice pty = describeSerialDevice(dev("pts/7"), roots_);
    EXPECT_EQ(pty.name, "Pseudo-terminal");
    EXPECT_EQ(describeSerialDevice("/nonexistent/ttyX", roots_).node, "/nonexistent/ttyX");
}

}  // namespace
}  // namespace vorlant::platform

#endif  // _WIN32
