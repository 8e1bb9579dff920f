// The INDI driver's figures on loopback, from outside: the real indiserver
// serving indi_brask, the simulator (class 5) on a pty as the controller,
// and this program as an INDI client speaking the protocol's XML on a TCP
// socket.
//
//  - change → frame on the wire: a client's new value of a setting (the RA
//    acceleration) until the simulator logs the request it received;
//  - controller reply → client update: the simulator's log line of its
//    reply to a supply-voltage request until the client has the new value;
//  - the driver process's CPU share and resident memory while connected
//    and idle (20 s, from /proc).
//
// Usage: bench_indi [CHANGES]  (200 by default). Prints one line per figure.
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FreePort.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

uint64_t nowNs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count());
}

double percentileMs(std::vector<uint64_t> ns, double p) {
    if (ns.empty()) return 0;
    std::sort(ns.begin(), ns.end());
    size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(ns.size()));
    if (rank >= ns.size()) rank = ns.size() - 1;
    return static_cast<double>(ns[rank]) / 1e6;
}

struct Child {
    pid_t pid = -1;
    int out = -1;  // its standard output, or -1
};

Child spawn(std::vector<std::string> args, bool captureOut) {
    Child c;
    int fds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOut && pipe(fds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    if (posix_spawn(&c.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (fds[1] >= 0) ::close(fds[1]);
    c.out = fds[0];
    return c;
}

void stop(Child& c) {
    if (c.pid > 0) {
        kill(c.pid, SIGTERM);
        waitpid(c.pid, nullptr, 0);
    }
    if (c.out >= 0) ::close(c.out);
    c = Child();
}

// A byte stream read as it comes, searched for what the waits expect.
struct Stream {
    int fd = -1;
    std::string data;
    size_t consumed = 0;
    bool quickAck = false;
    bool readSome(int timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        char buf[65536];
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got <= 0) return false;
        if (quickAck) {
            // Acknowledge at once (Linux resets this after each ack).
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        }
        data.append(buf, static_cast<size_t>(got));
        return true;
    }
    // Waits for `what` after what was consumed; consumes up to its end.
    // Returns the time it arrived (0 on time-out).
    uint64_t waitFor(const std::string& what, int timeoutMs = 10000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const size_t at = data.find(what, consumed);
            if (at != std::string::npos) {
                consumed = at + what.size();
                return nowNs();
            }
            if (Clock::now() >= end) return 0;
            readSome(10);
        }
    }
};

bool sendAll(int fd, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

int connectTo(int port) {
    for (int i = 0; i < 100; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

// The driver: the child of the server whose command is indi_brask.
pid_t driverPid(pid_t server) {
    DIR* d = opendir("/proc");
    pid_t found = -1;
    while (dirent* e = d ? readdir(d) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        if (pid <= 0) continue;
        std::ifstream in("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(in, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos || line.find("(indi_brask)") == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        long ppid = 0;
        rest >> state >> ppid;
        if (ppid == server) found = pid;
    }
    if (d) closedir(d);
    return found;
}

// utime + stime in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) stime = std::atol(field.c_str());
    }
    return utime + stime;
}

long residentKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

std::string newNumber(const char* property, const char* element, const std::string& value) {
    return std::string("<newNumberVector device=\"Brask\" name=\"") + property + "\"><oneNumber name=\"" +
           element + "\">" + value + "</oneNumber></newNumberVector>\n";
}

std::string newSwitch(const char* property, const char* element) {
    return std::string("<newSwitchVector device=\"Brask\" name=\"") + property + "\"><oneSwitch name=\"" +
           element + "\">On</oneSwitch></newSwitchVector>\n";
}

}  // namespace

int main(int argc, char** argv) {
    const int changes = argc > 1 ? std::atoi(argv[1]) : 200;
    Child sim = spawn({VORLANT_SIM_PATH, "--profile", "class5", "--log", "-"}, true);
    Stream simOut{sim.out, {}, 0};
    if (!simOut.waitFor("PTY ")) return std::fprintf(stderr, "no simulator\n"), 1;
    simOut.waitFor("\n");
    const std::string pty = simOut.data.substr(4, simOut.consumed - 5);

    const int port = vorlant::test::freeLoopbackPort();
    // Its own local socket: the default one is shared by every server on the machine.
    Child server = spawn({VORLANT_INDISERVER, "-p", std::to_string(port), "-u",
                          "/tmp/vorlant-indi-bench-" + std::to_string(port), VORLANT_INDI_DRIVER},
                         false);
    Stream client{connectTo(port), {}, 0};
    if (client.fd < 0) return std::fprintf(stderr, "no server\n"), 1;
    // A client that acknowledges every segment at once: the server sends
    // small messages without TCP_NODELAY, so behind a delayed ack its
    // second message of an exchange (the value after the Busy state) waits
    // up to 40 ms. BENCH_INDI_DELAYED_ACK=1 measures that as well.
    client.quickAck = std::getenv("BENCH_INDI_DELAYED_ACK") == nullptr;
    {
        const int one = 1;
        setsockopt(client.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    sendAll(client.fd, "<getProperties version=\"1.7\"/>\n");
    client.waitFor("name=\"CONNECTION\"");
    sendAll(client.fd, "<newTextVector device=\"Brask\" name=\"DEVICE_PORT\"><oneText name=\"PORT\">" + pty +
                           "</oneText></newTextVector>\n");
    sendAll(client.fd, newSwitch("CONNECTION", "CONNECT"));
    if (!client.waitFor("name=\"GEOGRAPHIC_COORD\"", 20000)) return std::fprintf(stderr, "no read-out\n"), 1;
    if (!client.waitFor("name=\"SUPPLY_VOLTAGE\"", 5000)) return std::fprintf(stderr, "no actions\n"), 1;
    simOut.consumed = simOut.data.size();

    std::vector<uint64_t> toWire, toClient;
    for (int i = 0; i < changes; ++i) {
        const uint64_t t0 = nowNs();
        sendAll(client.fd, newNumber("raAcceleration", "VALUE", std::to_string(10 + i % 2)));
        const uint64_t t1 = simOut.waitFor("WriteAccelerations");
        if (t1 != 0) toWire.push_back(t1 - t0);
        client.waitFor("name=\"raAcceleration\"");
    }
    for (int i = 0; i < changes; ++i) {
        sendAll(client.fd, newSwitch("MEASURE_VOLTAGE", "MEASURE"));
        simOut.waitFor("ReadSupplyVoltage");
        const uint64_t t2 = simOut.waitFor("-> 55");
        const uint64_t t3 = client.waitFor("name=\"SUPPLY_VOLTAGE\"");
        if (t2 != 0 && t3 != 0) toClient.push_back(t3 - t2);
        client.waitFor("name=\"MEASURE_VOLTAGE\"");
    }
    std::printf("change -> frame on the wire:     p50 %.2f ms  p99 %.2f ms  (%zu changes)\n",
                percentileMs(toWire, 50), percentileMs(toWire, 99), toWire.size());
    std::printf("controller reply -> client:      p50 %.2f ms  p99 %.2f ms  (%zu replies)\n",
                percentileMs(toClient, 50), percentileMs(toClient, 99), toClient.size());

    const pid_t driver = driverPid(server.pid);
    if (driver > 0) {
        const int seconds = 20;
        const long before = cpuTicks(driver);
        // Keep reading what the server sends, as a client would.
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            client.readSome(200);
            simOut.readSome(0);
        }
        const long after = cpuTicks(driver);
        const double share =
            100.0 * static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds;
        std::printf("connected and idle (%d s):       CPU %.2f %% of a core, resident %.1f MiB\n", seconds,
                    share, static_cast<double>(residentKiB(driver)) / 1024.0);
    }
    ::close(client.fd);
    stop(server);
    stop(sim);
    return toWire.size() == static_cast<size_t>(changes) && toClient.size() == static_cast<size_t>(changes)
               ? 0
               : 1;
}
