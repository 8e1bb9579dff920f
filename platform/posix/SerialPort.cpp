// The serial port on POSIX: a tty opened non-blocking, raw 8N1, for
// exclusive use. Reads poll the device together with the stop event.
#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <string>

#include "platform/posix/EventFd.h"

namespace vorlant::platform {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 256;
// The reader's wait step; the stop event ends any wait at once.
constexpr int kReadWaitMs = 200;
constexpr int kMaxPollMs = 1 << 30;

// Where an error happened decides what it means: ENXIO at open is a device
// that does not exist, during use one that went away.
enum class Phase { Open, InUse };

// The one place where errno values become port error categories.
PortError mapErrno(int err, Phase phase) {
    if (phase == Phase::Open) {
        switch (err) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
            case ENOTDIR:
                return PortError::NotFound;
            case EACCES:
            case EPERM:
            case EROFS:
                return PortError::PermissionDenied;
            case EBUSY:
            case EWOULDBLOCK:
                return PortError::Busy;
            case ENOTTY:  // a file or /dev/null: open works, the tty calls do not
            case EISDIR:
                return PortError::NotSerialPort;
            default:
                return PortError::Other;
        }
    }
    switch (err) {
        case EIO:
        case ENXIO:
        case ENODEV:
        case EBADF:
        case EPIPE:
        case ENOENT:
            return PortError::Gone;
        default:
            return PortError::Other;
    }
}

bool baudConstant(uint32_t baud, speed_t& out) {
    struct Rate {
        uint32_t baud;
        speed_t constant;
    };
    static const Rate rates[] = {
        {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
        {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
    };
    for (const Rate& r : rates) {
        if (r.baud == baud) {
            out = r.constant;
            return true;
        }
    }
    return false;
}

uint64_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// Port number -> device path, filled by front ends and tools.
struct DeviceTable {
    Lock lock;
    std::map<int, std::string> paths;
};

// Made once and never destroyed: a scan's probe may still run while the
// program exits (a scan is left to end on its own, a hung probe outlives
// its bound) and look its port up after the static destructors ran.
DeviceTable& deviceTable() {
    static DeviceTable* const table = new DeviceTable;
    return *table;
}

class PosixSerialPort final : public SerialPort {
public:
    ~PosixSerialPort() override { close(); }

    bool open(int portNumber, uint32_t baud) override;
    WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) override;
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop) override;
    void close() override;
    PortError lastError() const override { return lastError_.load(); }

private:
    bool fail(PortError error) {
        lastError_ = error;
        return false;
    }
    // A failed read: Gone when the device went away, else a transient
    // error the caller waits out. Only a loss is kept for lastError().
    ReadResult lost(int err) {
        if (mapErrno(err, Phase::InUse) != PortError::Gone) return ReadResult::Error;
        lastError_ = PortError::Gone;
        return ReadResult::Gone;
    }
    bool failOpen(int fd, int err) {
        ::close(fd);
        return fail(mapErrno(err, Phase::Open));
    }

    // Read by the reader thread, changed by the engine thread only while
    // no read runs; atomic so that a reader's check of it is well defined.
    std::atomic<int> fd_{-1};
    std::atomic<PortError> lastError_{PortError::None};
};

bool PosixSerialPort::open(int portNumber, uint32_t baud) {
    close();
    if (portNumber < kFirstPort || portNumber > kLastPort) return fail(PortError::NotFound);
    speed_t speed = B0;
    if (!baudConstant(baud, speed)) return fail(PortError::Other);

    const std::string path = portDevice(portNumber);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(mapErrno(errno, Phase::Open));

    // Exclusive use: TIOCEXCL keeps other programs from opening the tty
    // (root excepted); the advisory lock also catches cooperating programs,
    // root and a second port object in this process.
    if (ioctl(fd, TIOCEXCL) != 0) return failOpen(fd, errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ioctl(fd, TIOCNXCL);
        return failOpen(fd, err);
    }

    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return failOpen(fd, errno);
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int err = errno;
        ioctl(fd, TIOCNXCL);
        return failOpen(fd, err);
    }
    tcflush(fd, TCIOFLUSH);

    fd_ = fd;
    lastError_ = PortError::None;
    return true;
}

SerialPort::WriteResult PosixSerialPort::write(const uint8_t* data, size_t count, uint32_t timeoutMs) {
    const int fd = fd_.load();
    if (fd < 0) return WriteResult::Failed;
    const uint64_t deadline = nowMs() + timeoutMs;
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (mapErrno(errno, Phase::InUse) != PortError::Gone) return WriteResult::Failed;
            lastError_ = PortError::Gone;
            return WriteResult::Gone;
        }
        // The driver's queue is full: wait for room until the deadline.
        const uint64_t now = nowMs();
        if (now >= deadline) return WriteResult::TimedOut;
        pollfd p{fd, POLLOUT, 0};
        const uint64_t leftMs = deadline - now;
        const int ready = poll(&p, 1, leftMs > kMaxPollMs ? kMaxPollMs : static_cast<int>(leftMs));
        if (ready < 0 && errno != EINTR) return WriteResult::Failed;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            lastError_ = PortError::Gone;
            return WriteResult::Gone;
        }
    }
    return WriteResult::Done;
}

SerialPort::ReadResult PosixSerialPort::read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop) {
    got = 0;
    for (;;) {
        // Checked before every touch of the device: a reader that sees the
        // stop never uses a port that its owner is about to close.
        if (stop.isSet()) return ReadResult::Stopped;
        const int fd = fd_.load();
        if (fd < 0) {
            lastError_ = PortError::Gone;
            return ReadResult::Gone;
        }
        pollfd p[2] = {{fd, POLLIN, 0}, {posix::eventFd(stop), POLLIN, 0}};
        const int ready = poll(p, 2, kReadWaitMs);
        if (stop.isSet()) return ReadResult::Stopped;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return lost(errno);
        }
        if (ready == 0 || p[0].revents == 0) continue;
        if (p[0].revents & POLLNVAL) {
            lastError_ = PortError::Gone;
            return ReadResult::Gone;
        }
        // Read even on a hang-up: bytes that arrived before it still count,
        // and the read itself then tells what happened (EIO, or 0 at EOF).
        const ssize_t n = ::read(fd, buffer, capacity);
        if (n > 0) {
            got = static_cast<size_t>(n);
            return ReadResult::Data;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (p[0].revents & (POLLHUP | POLLERR)) {
                lastError_ = PortError::Gone;
                return ReadResult::Gone;
            }
            continue;
        }
        // End of file on a tty is a hang-up.
        return lost(n == 0 ? EIO : errno);
    }
}

constexpr int kDrainPolls = 100;  // 100 x 2 ms: at most 200 ms
constexpr useconds_t kDrainPollUs = 2000;

void PosixSerialPort::close() {
    const int fd = fd_.exchange(-1);
    if (fd < 0) return;
    // Let the last frames leave before the purge: a setting written just
    // before a disconnect must still reach the controller. Bounded, so a
    // stalled line cannot hold the close up.
    for (int i = 0; i < kDrainPolls; ++i) {
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
        usleep(kDrainPollUs);
    }
    tcflush(fd, TCIOFLUSH);
    ioctl(fd, TIOCNXCL);
    ::close(fd);  // also releases the advisory lock
}

}  // namespace

std::unique_ptr<SerialPort> createSerialPort() {
    return std::make_unique<PosixSerialPort>();
}

void setPortDevice(int portNumber, const std::string& path) {
    DeviceTable& table = deviceTable();
    LockGuard guard(table.lock);
    if (path.empty()) {
        table.paths.erase(portNumber);
    } else {
        table.paths[portNumber] = path;
    }
}

std::string portDevice(int portNumber) {
    DeviceTable& table = deviceTable();
    {
        LockGuard guard(table.lock);
        const auto it = table.paths.find(portNumber);
        if (it != table.paths.end()) return it->second;
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

// POSIX names devices by path (serialDevices()); there are no COM numbers
// to list.
bool listedComPorts(std::vector<int>& out) {
    out.clear();
    return false;
}

}  // namespace vorlant::platform
