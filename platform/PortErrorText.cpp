// Short user-facing texts for the serial port's error categories.
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

}  // namespace vorlant::platform
