// The vorlant-sim program, run as a child process: pty, command line,
// logging, --once, and the vanish profile's hang-up. POSIX only.
#include <gtest/gtest.h>

#include "tests/support/SimProcess.h"

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

// The program under test, started with its arguments.
class SimProcess : public vorlant::test::SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
        : vorlant::test::SimProcess(withProgram(std::move(args))) {}

private:
    static std::vector<std::string> withProgram(std::vector<std::string> args) {
        args.insert(args.begin(), VORLANT_SIM_PATH);
        return args;
    }
};

std::string ptyPath(SimProcess& sim) {
    const std::string line = sim.readLine();
    if (line.rfind("PTY ", 0) != 0) return std::string();
    return line.substr(4);
}

int openRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios tio;
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Reads until count bytes arrived, the line hung up or the time ran out.
Bytes readBytes(int fd, size_t count, int timeoutMs = 5000, bool* hungUp = nullptr) {
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        uint8_t buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (hungUp) *hungUp = true;
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

Bytes ask(int fd, const Bytes& request, size_t replySize, int timeoutMs = 5000) {
    if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
    return readBytes(fd, replySize, timeoutMs);
}

TEST(SimProgramTest, ServesIdentificationOnItsPty) {
    SimProcess sim({"--profile", "class4"});
    ASSERT_TRUE(sim.started());
    const std::string path = ptyPath(sim);
    ASSERT_FALSE(path.empty());
    const int fd = openRaw(path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, {0xAA, 0x01, 0x01}, 7), (Bytes{0x55, 0x05, 0x01, 0x04, 0x01, 0x05, 0x00}));
    EXPECT_EQ(ask(fd, {0xAA, 0x03, 0x2B, 0x00, 0x00}, 7), (Bytes{0x55, 0x05, 0x2B, 0x00, 0x00, 0xD2, 0x04}));
    ::close(fd);

    // Still served after the peer closed: a second session works.
    const int again = openRaw(path);
    ASSERT_GE(again, 0);
    EXPECT_EQ(ask(again, {0xAA, 0x01, 0x03}, 4), (Bytes{0x55, 0x02, 0x03, 0x04}));
    ::close(again);

    sim.terminate();
    EXPECT_EQ(sim.waitExit(), 0);
}

TEST(SimProgramTest, LinkAndLogAndOnce) {
    char dir[] = "/tmp/vorlant-sim-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/ttyBrask";
    const std::string logFile = std::string(dir) + "/sim.log";
    SimProcess sim({"--link", link, "--log", logFile, "--once"});
    ASSERT_TRUE(sim.started());
    ASSERT_FALSE(ptyPath(sim).empty());

    const int fd = openRaw(link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, {0xAA, 0x01, 0x01}, 7).size(), 7u);
    EXPECT_TRUE(ask(fd, {0xAA, 0x03, 0x21, 0x00, 0xC0}, 1, 300).empty());
    ::close(fd);

    // --once: the end of the session ends the program, which removes its link.
    EXPECT_EQ(sim.waitExit(), 0);
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);

    std::ifstream in(logFile);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("AA 01 01  Identify"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("AA 03 21 00 C0  Stop"), std::string::npos) << text.str();
    std::remove(logFile.c_str());
    rmdir(dir);
}

TEST(SimProgramTest, VanishHangsUpTheLine) {
    SimProcess sim({"--profile", "vanish", "--vanish-after", "1"});
    ASSERT_TRUE(sim.started());
    const std::string path = ptyPath(sim);
    ASSERT_FALSE(path.empty());
    const int fd = openRaw(path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, {0xAA, 0x01, 0x01}, 7).size(), 7u);
    const Bytes request{0xAA, 0x01, 0x03};
    ASSERT_EQ(::write(fd, request.data(), request.size()), 3);
    bool hungUp = false;
    EXPECT_TRUE(readBytes(fd, 1, 5000, &hungUp).empty());
    EXPECT_TRUE(hungUp);
    ::close(fd);
    EXPECT_EQ(sim.waitExit(), 0);
}

TEST(SimProgramTest, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--profile"},
        {"--profile", "class9"},
        {"--delay-ms", "abc"},
    };
    for (const auto& args : bad) {
        SimProcess sim(args);
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(sim.waitExit(), 2) << args[0];
    }
}

}  // namespace

#endif  // _WIN32
