// What the user is told about a port that did not open or was lost: one
// wording for the command-line tool (a short phrase inside its message) and
// one for the windows (a sentence after the status text), both here so the
// two cannot drift apart in what they say.
#include "platform/SerialDevices.h"
#include "platform/SerialPort.h"

namespace vorlant::platform {

const char* portErrorText(PortError error) {
    switch (error) {
        case PortError::None:
            return "no error";
        case PortError::NotFound:
            return "no such port";
        case PortError::PermissionDenied:
            return "permission denied";
        case PortError::Busy:
            return "port is in use by another program";
        case PortError::Gone:
            return "the device was disconnected";
        case PortError::NotSerialPort:
            return "not a serial port";
        case PortError::Other:
            break;
    }
    return "system error";
}

std::string portOpenFailureText(PortError error, const std::string& device) {
    std::string text = portErrorText(error);
#ifndef _WIN32
    // The way in only where joining the device's group would grant it.
    const std::string group =
        error == PortError::PermissionDenied && !device.empty() ? serialAccessGroup(device) : std::string();
    if (!group.empty())
        text += " (the port belongs to the group " + group + ": join it with `sudo usermod -aG " + group +
                " $USER`, then log in again)";
#else
    (void)device;  // access to a COM port is no matter of groups
#endif
    return text;
}

std::string portErrorSentence(PortError error, const std::string& port) {
    // "The port ..." or "/dev/ttyUSB0 ...".
    const std::string subject = port.empty() ? "The port" : port;
    switch (error) {
        case PortError::NotFound:
            return subject + " does not exist.";
        case PortError::Busy:
            return subject + " is in use by another program.";
        case PortError::NotSerialPort:
            return (port.empty() ? "The device" : port) + " is not a serial port.";
        case PortError::PermissionDenied: {
#ifdef _WIN32
            return "Access denied.";
#else
            std::string text = port.empty() ? "Permission denied." : "Permission denied for " + port + ".";
            const std::string group = port.empty() ? std::string() : serialAccessGroup(port);
            if (!group.empty())
                text +=
                    " Join the group " + group + ": sudo usermod -aG " + group + " $USER, then log in again.";
            return text;
#endif
        }
        case PortError::Gone:
            return "The device was disconnected.";
        case PortError::Other:
            return port.empty() ? std::string() : port + " could not be opened.";
        case PortError::None:
            break;
    }
    return std::string();
}

}  // namespace vorlant::platform
