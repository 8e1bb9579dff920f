// One serial port, opened raw 8N1 for the controller's binary protocol.
// SerialPort is abstract so tests and tools can put an in-process controller
// behind it; createSerialPort() gives the OS implementation.
//
// Threads: open, write and close are called by the engine thread only; read
// by the serial reader thread only, between a successful open and close.
// close() must not be called while a read() is running: the engine stops
// the reader (stop event) and waits for it first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace vorlant::platform {

// Why a port could not be opened or was lost, in a few portable categories.
// Each backend maps its OS errors onto these in exactly one function.
enum class PortError {
    None,
    NotFound,          // no such device
    PermissionDenied,  // the user may not open it
    Busy,              // held by another program
    Gone,              // the device disappeared (unplugged, hang-up, I/O error)
    NotSerialPort,     // the path exists but is no serial port (a file, a directory, /dev/null)
    Other,
};

// What the user is told about a port error (PortErrorText.cpp holds every
// wording). The command-line tool's short phrase: "no such port".
const char* portErrorText(PortError error);
// The tool's phrase for a port that did not open; for a permission denied
// on a device whose group would grant access, how to join it.
std::string portOpenFailureText(PortError error, const std::string& device);
// The windows' sentence, about the given port or, when empty, "The port":
// "/dev/ttyUSB0 does not exist."; empty where there is nothing to add.
std::string portErrorSentence(PortError error, const std::string& port);

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens and configures the port (8 data bits, no parity, 1 stop bit,
    // binary, no flow-control translation). Port numbers follow the COMn
    // scheme, 1..256.
    virtual bool open(int portNumber, uint32_t baud) = 0;

    enum class WriteResult { Done, TimedOut, Failed, Gone };
    // Writes one whole frame, waiting up to timeoutMs for completion. A
    // write still pending at the time-out is cancelled before returning, so
    // the caller's buffer is free again.
    virtual WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) = 0;

    enum class ReadResult { Data, Stopped, Error, Gone };
    // Waits for received bytes (got may be 0 only with Data after a wake
    // without bytes), the stop event (checked on every wake-up; it wins),
    // a transient line error (already cleared; the caller waits before
    // reading again) or the loss of the device.
    virtual ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop) = 0;

    // Purges both directions and closes the device. Safe when not open.
    virtual void close() = 0;

    // Why the last open failed or why the port was lost.
    virtual PortError lastError() const = 0;
};

std::unique_ptr<SerialPort> createSerialPort();

// POSIX: which device a port number opens. A front end or tool fills the
// table (a /dev/ttyUSB0 path or a pty); numbers not in it open
// /dev/ttyS<n-1>, so COM1 is /dev/ttyS0. Win32 ignores the table and opens
// "\\.\COM<n>". Call before connecting; not thread-safe against a connect
// in progress.
void setPortDevice(int portNumber, const std::string& path);
std::string portDevice(int portNumber);

// POSIX: the paths of the serial devices present, in the order of
// discoverSerialDevices() (platform/SerialDevices.h). Win32: empty.
std::vector<std::string> serialDevices();

// Win32: the numbers of the COM ports the system lists (the serial port
// drivers' registry map), ascending, each once. False, with `out` empty,
// when there is no such list (POSIX) or it could not be read.
bool listedComPorts(std::vector<int>& out);

}  // namespace vorlant::platform
