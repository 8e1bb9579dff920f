// vorlant-sim: a simulated controller on a pseudo-terminal (or a real serial
// device), so the program and its tools can be run against it end to end.
//
// Prints "PTY /dev/pts/N" (or "DEVICE path") as its first line, then serves
// requests until SIGINT/SIGTERM. The pty keeps being served when the peer
// closes it (a later open works) unless --once is given. The vanish profile
// closes the line when the controller disappears, which the peer sees as a
// hang-up, the way an unplugged USB adapter looks; --mute-after keeps the
// line open and stops answering, the way a hung controller looks.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tools/simulator/SimCommandLine.h"
#include "tools/simulator/SimController.h"

namespace {

using vorlant::sim::SimCommandLine;
using vorlant::sim::SimController;

volatile sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

void installSignals() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: poll() returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool makeRaw(int fd, uint32_t baud, bool setSpeed) {
    termios tio;
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (setSpeed) {
        speed_t speed;
        switch (baud) {
            case 1200:
                speed = B1200;
                break;
            case 2400:
                speed = B2400;
                break;
            case 4800:
                speed = B4800;
                break;
            case 9600:
                speed = B9600;
                break;
            case 19200:
                speed = B19200;
                break;
            case 38400:
                speed = B38400;
                break;
            case 57600:
                speed = B57600;
                break;
            case 115200:
                speed = B115200;
                break;
            case 230400:
                speed = B230400;
                break;
            default:
                return false;
        }
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Opens a pty master with a raw slave; the slave path goes to slavePath.
int openPty(std::string& slavePath) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return -1;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ::close(master);
        return -1;
    }
    const char* name = ptsname(master);
    if (!name) {
        ::close(master);
        return -1;
    }
    slavePath = name;
    // Binary line: no echo, no line editing, no newline translation. The
    // settings stay with the pty after this descriptor is closed.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0 || !makeRaw(slave, 9600, false)) {
        if (slave >= 0) ::close(slave);
        ::close(master);
        return -1;
    }
    ::close(slave);
    return master;
}

class Log {
public:
    bool open(const std::string& path) {
        if (path.empty()) return true;
        if (path == "-") {
            file_ = stdout;
            return true;
        }
        file_ = std::fopen(path.c_str(), "w");
        owned_ = file_ != nullptr;
        return file_ != nullptr;
    }
    ~Log() {
        if (owned_) std::fclose(file_);
    }
    void line(const std::string& text) {
        if (!file_) return;
        std::fprintf(file_, "%s\n", text.c_str());
        std::fflush(file_);
    }

private:
    FILE* file_ = nullptr;
    bool owned_ = false;
};

class Server {
public:
    Server(const SimCommandLine& args, int fd, bool isPty, Log& log)
        : args_(args), fd_(fd), isPty_(isPty), log_(log), sim_(args.profile, args.options) {
        start_ = vorlant::platform::monotonicNs();
    }

    // Returns the exit code.
    int run() {
        // A pty whose slave nobody holds open reports a hang-up; only an
        // open after that starts a session.
        while (!g_stop) {
            const uint64_t now = vorlant::platform::monotonicNs();
            int timeoutMs = 50;
            const uint64_t due = sim_.nextDueNs();
            if (due != SimController::kNoOutput) {
                const uint64_t waitMs = due > now ? (due - now + 999999) / 1000000 : 0;
                if (waitMs < static_cast<uint64_t>(timeoutMs)) timeoutMs = static_cast<int>(waitMs);
            }
            pollfd p{fd_, static_cast<short>(POLLIN | (unsent_.empty() ? 0 : POLLOUT)), 0};
            const int r = poll(&p, 1, timeoutMs);
            if (r < 0) {
                if (errno == EINTR) continue;
                std::fprintf(stderr, "vorlant-sim: poll failed: %s\n", std::strerror(errno));
                return 1;
            }
            const bool hangUp = (p.revents & (POLLHUP | POLLERR)) != 0;
            if (p.revents & POLLIN) {
                const int status = readInput();
                if (status >= 0) return status;
            }
            if (sim_.vanished()) {
                log_.line(stamp() + " controller vanished, closing the line");
                return 0;
            }
            if (hangUp) {
                if (!isPty_) {
                    std::fprintf(stderr, "vorlant-sim: device hung up\n");
                    return 1;
                }
                if (peerOpen_) {
                    peerOpen_ = false;
                    log_.line(stamp() + " peer closed");
                    if (args_.once) return 0;
                }
                // Bytes meant for a peer that went away are lost with it.
                sim_.discardOutput();
                unsent_.clear();
                // poll() cannot wait for the next open; look again shortly.
                vorlant::platform::sleepMs(20);
                continue;
            }
            if (isPty_ && !peerOpen_) {
                peerOpen_ = true;
                log_.line(stamp() + " peer opened");
            }
            sendDue();
        }
        return 0;
    }

private:
    // -1 to go on, else an exit code.
    int readInput() {
        uint8_t buffer[256];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            const size_t before = sim_.requestLog().size();
            sim_.receive(buffer, static_cast<size_t>(n), vorlant::platform::monotonicNs());
            const auto& requests = sim_.requestLog();
            if (isPty_ && !peerOpen_) {
                peerOpen_ = true;
                log_.line(stamp() + " peer opened");
            }
            for (size_t i = before; i < requests.size(); ++i) {
                log_.line(vorlant::sim::formatRequestLine(elapsed(), requests[i]));
            }
            if (sim_.muted() && !mutedNoted_) {
                mutedNoted_ = true;
                log_.line(stamp() + " controller stopped answering");
            }
            return -1;
        }
        if (n == 0 || errno == EIO) {
            // EIO on a pty master: the slave was closed (handled as a
            // hang-up by the caller); on a device: the device is gone.
            if (!isPty_) {
                std::fprintf(stderr, "vorlant-sim: device lost\n");
                return 1;
            }
            return -1;
        }
        if (errno == EAGAIN || errno == EINTR) return -1;
        std::fprintf(stderr, "vorlant-sim: read failed: %s\n", std::strerror(errno));
        return 1;
    }

    void sendDue() {
        const std::vector<uint8_t> out = sim_.takeDueOutput(vorlant::platform::monotonicNs());
        if (!out.empty()) {
            log_.line(vorlant::sim::formatReplyLine(elapsed(), out.data(), out.size()));
            unsent_.insert(unsent_.end(), out.begin(), out.end());
        }
        while (!unsent_.empty()) {
            const ssize_t n = ::write(fd_, unsent_.data(), unsent_.size());
            if (n > 0) {
                unsent_.erase(unsent_.begin(), unsent_.begin() + n);
                continue;
            }
            // Full line buffer (EAGAIN) or a hang-up: retried or discarded
            // by the loop.
            break;
        }
    }

    uint64_t elapsed() const { return vorlant::platform::monotonicNs() - start_; }
    std::string stamp() const {
        std::string line = vorlant::sim::formatReplyLine(elapsed(), nullptr, 0);
        return line.substr(0, line.find(']') + 1);
    }

    const SimCommandLine& args_;
    int fd_;
    bool isPty_;
    Log& log_;
    SimController sim_;
    uint64_t start_ = 0;
    bool peerOpen_ = false;
    bool mutedNoted_ = false;
    std::vector<uint8_t> unsent_;
};

}  // namespace

int main(int argc, char** argv) {
    SimCommandLine args;
    std::string error;
    if (!vorlant::sim::parseSimCommandLine(argc, argv, args, error)) {
        std::fprintf(stderr, "vorlant-sim: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (args.help) {
        std::fputs(args.helpText.c_str(), stdout);
        return 0;
    }
    if (args.version) {
        std::fputs("vorlant-sim " VORLANT_VERSION "\n", stdout);
        return 0;
    }
    installSignals();

    Log log;
    if (!log.open(args.logPath)) {
        std::fprintf(stderr, "vorlant-sim: cannot open log %s: %s\n", args.logPath.c_str(),
                     std::strerror(errno));
        return 1;
    }

    int fd = -1;
    const bool isPty = args.devicePath.empty();
    std::string path;
    if (isPty) {
        fd = openPty(path);
        if (fd < 0) {
            std::fprintf(stderr, "vorlant-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
    } else {
        path = args.devicePath;
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0) {
            std::fprintf(stderr, "vorlant-sim: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
        if (!makeRaw(fd, args.baud, true)) {
            std::fprintf(stderr, "vorlant-sim: cannot configure %s at %u baud\n", path.c_str(),
                         static_cast<unsigned>(args.baud));
            ::close(fd);
            return 1;
        }
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    bool linked = false;
    if (!args.linkPath.empty()) {
        struct stat st;
        if (lstat(args.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                std::fprintf(stderr, "vorlant-sim: %s exists and is not a symbolic link\n",
                             args.linkPath.c_str());
                ::close(fd);
                return 1;
            }
            ::unlink(args.linkPath.c_str());  // a stale link from an earlier run
        }
        if (symlink(path.c_str(), args.linkPath.c_str()) != 0) {
            std::fprintf(stderr, "vorlant-sim: cannot link %s: %s\n", args.linkPath.c_str(),
                         std::strerror(errno));
            ::close(fd);
            return 1;
        }
        linked = true;
    }

    std::printf("%s %s\n", isPty ? "PTY" : "DEVICE", path.c_str());
    std::fflush(stdout);

    int code = 0;
    {
        Server server(args, fd, isPty, log);
        code = server.run();
    }
    ::close(fd);
    if (linked) ::unlink(args.linkPath.c_str());
    return code;
}
