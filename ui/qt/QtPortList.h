// The Linux front's port list: the serial devices present, each shown with
// its friendly name and device node, and numbered for the engine (entry i
// opens as port number i + 1, registered with platform::setPortDevice). The
// dialog logic keeps working with numbers; only this list knows devices.
//
// VORLANT_EXTRA_PORTS adds devices by path (several separated by ':'), for
// example a simulator's pty; they come first, and hide no other.
//
// Threads: the GUI thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/SerialDevices.h"

class QComboBox;

namespace vorlant {

using PortSource = std::function<std::vector<platform::SerialDevice>()>;

// The devices named in VORLANT_EXTRA_PORTS, then those discovered; each
// device once.
std::vector<platform::SerialDevice> systemSerialDevices();

// "FT232R USB UART (/dev/ttyUSB0)".
std::string portEntryText(const platform::SerialDevice& device);

class QtPortList {
public:
    // The engine's port numbers end here.
    static constexpr std::size_t kMaxEntries = 256;

    explicit QtPortList(PortSource source) : source_(std::move(source)) {}

    void setSource(PortSource source) { source_ = std::move(source); }

    // Asks the source again and refills `combo`: the device selected before
    // stays selected while it is present (else the first is), and the
    // numbers lead to the new entries. The open list shows each entry's
    // name and node (and grows wider than the combo for long names), the
    // closed box the chosen node alone.
    void refresh(QComboBox& combo);

    const std::vector<platform::SerialDevice>& devices() const { return devices_; }

private:
    PortSource source_;
    std::vector<platform::SerialDevice> devices_;
};

}  // namespace vorlant
