// The serial port on Win32: "\\.\COMn" opened for overlapped I/O, 8N1,
// binary. Reads wait on their own event together with the stop event;
// writes wait on the port's write-done event.
#include "platform/SerialPort.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/Win32Event.h"

namespace vorlant::platform {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 256;
constexpr DWORD kDriverQueueBytes = 8096;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// The reader's wait step; the stop event ends any wait at once.
constexpr DWORD kReadWaitMs = 200;
// Pause before a new read after one that returned no bytes at once, so a
// driver that completes empty reads immediately cannot make the reader spin.
constexpr DWORD kEmptyReadPauseMs = 10;

static_assert(sizeof(DCB) == 28, "the line settings structure has the layout the driver expects");

// Where an error happened decides what it means: ERROR_ACCESS_DENIED at open
// is a port held by another program, during use a device that went away.
// Configure: the device opened but refused its line settings.
enum class Phase { Open, Configure, InUse };

// The one place where Win32 error codes become port error categories.
PortError mapError(DWORD err, Phase phase) {
    if (phase == Phase::Open) {
        switch (err) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_BAD_UNIT:
            case ERROR_DEV_NOT_EXIST:
            case ERROR_DEVICE_NOT_CONNECTED:
            case ERROR_INVALID_NAME:
            case ERROR_NOT_READY:
                return PortError::NotFound;
            case ERROR_ACCESS_DENIED:  // how Windows reports a COM port in use
            case ERROR_SHARING_VIOLATION:
            case ERROR_BUSY:
                return PortError::Busy;
            default:
                return PortError::Other;
        }
    }
    if (phase == Phase::Configure) {
        // The device itself vanished between open and configure, or it is
        // no serial port (its driver knows no comm-state request); anything
        // else (a rate or setting the driver refuses) has no category of
        // its own.
        switch (err) {
            case ERROR_DEVICE_REMOVED:
            case ERROR_DEVICE_NOT_CONNECTED:
                return PortError::Gone;
            case ERROR_INVALID_FUNCTION:
            case ERROR_NOT_SUPPORTED:
                return PortError::NotSerialPort;
            default:
                return PortError::Other;
        }
    }
    switch (err) {
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_BAD_COMMAND:
        case ERROR_ACCESS_DENIED:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NOT_READY:
        case ERROR_BROKEN_PIPE:
            return PortError::Gone;
        default:
            return PortError::Other;
    }
}

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort()
        : readEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          writeDoneEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~Win32SerialPort() override {
        close();
        if (readEvent_) CloseHandle(readEvent_);
        if (writeDoneEvent_) CloseHandle(writeDoneEvent_);
    }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    bool open(int portNumber, uint32_t baud) override;
    WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) override;
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop) override;
    void close() override;
    PortError lastError() const override { return lastError_.load(); }

private:
    bool isGone(HANDLE port, DWORD err);
    ReadResult readFailed(HANDLE port, DWORD err);

    // Read by the reader thread, changed by the engine thread only while
    // no read runs; atomic so that a reader's check of it is well defined.
    std::atomic<HANDLE> port_{nullptr};
    HANDLE readEvent_;       // manual reset; the reader's overlapped event
    HANDLE writeDoneEvent_;  // auto-reset; completion event of every write
    std::atomic<PortError> lastError_{PortError::None};
};

bool Win32SerialPort::open(int portNumber, uint32_t baud) {
    close();
    if (portNumber < kFirstPort || portNumber > kLastPort) {
        lastError_ = PortError::NotFound;
        return false;
    }
    // The device namespace form works for every number, COM10 and above too.
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", portNumber);
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == win32::invalidHandle()) {
        lastError_ = mapError(GetLastError(), Phase::Open);
        return false;
    }

    // Line settings: start from the driver's current ones (modem lines stay
    // as the user's setup has them), set 8N1 and the rate, and switch off
    // every feature that would alter or drop bytes of a binary protocol.
    // Hardware handshake goes too, as the POSIX backend clears CRTSCTS: a
    // port that another program left with CTS/DSR output flow control or
    // DSR sensitivity would never send to, or hear from, a three-wire
    // controller. A port that refuses any of this is not opened: the user
    // learns why now, not from a time-out seconds later.
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    bool configured = GetCommState(h, &dcb) != 0;
    if (configured) {
        dcb.BaudRate = baud;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fParity = 0;
        dcb.fBinary = 1;
        dcb.fNull = 0;
        dcb.fOutX = 0;
        dcb.fInX = 0;
        dcb.fErrorChar = 0;
        dcb.fAbortOnError = 0;
        dcb.fOutxCtsFlow = 0;
        dcb.fOutxDsrFlow = 0;
        dcb.fDsrSensitivity = 0;
        if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) dcb.fRtsControl = RTS_CONTROL_ENABLE;
        configured = SetCommState(h, &dcb) != 0;
    }
    // A read returns once bytes have come and the line is then quiet for
    // 1 ms; writes have no time-out of their own.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    configured = configured && SetCommTimeouts(h, &timeouts) != 0;
    configured = configured && SetupComm(h, kDriverQueueBytes, kDriverQueueBytes) != 0;
    if (!configured) {
        lastError_ = mapError(GetLastError(), Phase::Configure);
        CloseHandle(h);
        return false;
    }

    port_ = h;
    lastError_ = PortError::None;
    return true;
}

// A device that went away reports one of the "gone" errors; an aborted
// operation is a loss only when the port can no longer be queried.
bool Win32SerialPort::isGone(HANDLE port, DWORD err) {
    if (mapError(err, Phase::InUse) == PortError::Gone) return true;
    if (err != ERROR_OPERATION_ABORTED) return false;
    DWORD errors = 0;
    COMSTAT status{};
    return !ClearCommError(port, &errors, &status);
}

SerialPort::WriteResult Win32SerialPort::write(const uint8_t* data, size_t count, uint32_t timeoutMs) {
    const HANDLE h = port_.load();
    if (!h || !writeDoneEvent_) return WriteResult::Failed;
    const DWORD size = count > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count);
    ResetEvent(writeDoneEvent_);
    OVERLAPPED ov{};
    ov.hEvent = writeDoneEvent_;
    DWORD written = 0;
    DWORD err = ERROR_SUCCESS;
    if (WriteFile(h, data, size, nullptr, &ov)) {
        if (GetOverlappedResult(h, &ov, &written, FALSE)) return WriteResult::Done;
        err = GetLastError();
    } else if (GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(writeDoneEvent_, timeoutMs) != WAIT_OBJECT_0) {
            // The frame and the OVERLAPPED live on the caller's stack: cancel
            // the write and wait until the driver has let go of both.
            CancelIo(h);
            if (GetOverlappedResult(h, &ov, &written, TRUE)) return WriteResult::Done;
            return WriteResult::TimedOut;
        }
        if (GetOverlappedResult(h, &ov, &written, FALSE)) return WriteResult::Done;
        err = GetLastError();
    } else {
        err = GetLastError();
    }
    if (isGone(h, err)) {
        lastError_ = PortError::Gone;
        return WriteResult::Gone;
    }
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(h, &errors, &status);
    return WriteResult::Failed;
}

SerialPort::ReadResult Win32SerialPort::readFailed(HANDLE port, DWORD err) {
    if (isGone(port, err)) {
        lastError_ = PortError::Gone;
        return ReadResult::Gone;
    }
    // A line error (framing, overrun, ...): clear it so reads work again.
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(port, &errors, &status);
    return ReadResult::Error;
}

SerialPort::ReadResult Win32SerialPort::read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop) {
    got = 0;
    const HANDLE stopHandle = win32::eventHandle(stop);
    const DWORD size = capacity > 0x10000000u ? 0x10000000u : static_cast<DWORD>(capacity);
    for (;;) {
        // Checked before every touch of the device: a reader that sees the
        // stop never uses a port that its owner is about to close.
        if (WaitForSingleObject(stopHandle, 0) == WAIT_OBJECT_0) return ReadResult::Stopped;
        const HANDLE h = port_.load();
        if (!h || !readEvent_) {
            lastError_ = PortError::Gone;
            return ReadResult::Gone;
        }
        ResetEvent(readEvent_);
        OVERLAPPED ov{};
        ov.hEvent = readEvent_;
        DWORD n = 0;
        if (ReadFile(h, buffer, size, nullptr, &ov)) {
            if (!GetOverlappedResult(h, &ov, &n, FALSE)) return readFailed(h, GetLastError());
        } else {
            const DWORD err = GetLastError();
            if (err != ERROR_IO_PENDING) return readFailed(h, err);
            const HANDLE waitList[2] = {readEvent_, stopHandle};
            bool done = false;
            while (!done) {
                const DWORD r = WaitForMultipleObjects(2, waitList, FALSE, kReadWaitMs);
                if (WaitForSingleObject(stopHandle, 0) == WAIT_OBJECT_0) {
                    // The read must be over before its buffer and OVERLAPPED
                    // go: cancel it and wait for it to complete. Bytes that
                    // came in meanwhile are handed out, not lost.
                    CancelIo(h);
                    if (GetOverlappedResult(h, &ov, &n, TRUE) && n > 0) {
                        got = n;
                        return ReadResult::Data;
                    }
                    return ReadResult::Stopped;
                }
                if (r == WAIT_OBJECT_0 || r == WAIT_TIMEOUT) {
                    // Also asked after a time-out, so a completion whose
                    // signal was cleared below is never waited for in vain.
                    if (GetOverlappedResult(h, &ov, &n, FALSE)) {
                        done = true;
                    } else if (GetLastError() == ERROR_IO_INCOMPLETE) {
                        if (r == WAIT_OBJECT_0) ResetEvent(readEvent_);
                    } else {
                        return readFailed(h, GetLastError());
                    }
                } else {
                    // The wait itself failed: never spin on it.
                    Sleep(kReadWaitMs);
                }
            }
        }
        if (n > 0) {
            got = n;
            return ReadResult::Data;
        }
        // A read that ended without bytes: read again, after a short pause
        // that a stop ends at once.
        if (WaitForSingleObject(stopHandle, kEmptyReadPauseMs) == WAIT_OBJECT_0) return ReadResult::Stopped;
    }
}

void Win32SerialPort::close() {
    const HANDLE h = port_.exchange(nullptr);
    if (!h) return;
    // Let the last frames leave before the purge (at most 200 ms): a
    // setting written just before a disconnect must still reach the
    // controller.
    for (int i = 0; i < 100; ++i) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(h, &errors, &stat) || stat.cbOutQue == 0) break;
        Sleep(2);
    }
    PurgeComm(h, kPurgeAll);
    CloseHandle(h);
}

}  // namespace

std::unique_ptr<SerialPort> createSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

// Win32 opens "\\.\COMn" by number; the table is for the POSIX backend and
// is kept only so tools can be written once.
void setPortDevice(int /*portNumber*/, const std::string& /*path*/) {}

std::string portDevice(int portNumber) {
    return "\\\\.\\COM" + std::to_string(portNumber);
}

// Windows names its ports by number; there is nothing to discover for the
// table.
std::vector<std::string> serialDevices() {
    return {};
}

}  // namespace vorlant::platform
