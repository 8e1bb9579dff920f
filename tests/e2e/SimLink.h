// Where an end-to-end test finds its simulated controller.
//
// Natively each test starts the real simulator program on a pty of its own
// and registers the pty as a port number. In the Windows build (under Wine)
// the test runner has already started the native simulator and mapped it
// to a COM port: VORLANT_E2E_PORT gives its number and VORLANT_E2E_PROFILE
// the profile it runs, and tests written for another profile skip.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/SerialPort.h"

#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
extern char** environ;
#endif

namespace vorlant::e2e {

class SimLink {
public:
    // Starts (or finds) a simulator running `profile`; port() is 0 when the
    // test has to skip. extraArgs go to the simulator program natively, and
    // must match VORLANT_E2E_SIM_ARGS under Wine.
    explicit SimLink(const std::string& profile, std::vector<std::string> extraArgs = {}) {
#ifdef _WIN32
        const char* port = std::getenv("VORLANT_E2E_PORT");
        const char* running = std::getenv("VORLANT_E2E_PROFILE");
        const char* args = std::getenv("VORLANT_E2E_SIM_ARGS");
        std::string wanted;
        for (const std::string& a : extraArgs) wanted += (wanted.empty() ? "" : " ") + a;
        if (port && running && profile == running && wanted == (args ? args : "")) port_ = std::atoi(port);
#else
        std::vector<std::string> argv = {VORLANT_SIM_PATH, "--profile", profile};
        argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> cargv;
        for (std::string& a : argv) cargv.push_back(&a[0]);
        cargv.push_back(nullptr);
        if (posix_spawn(&pid_, cargv[0], &actions, nullptr, cargv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char c;
            if (::read(out[0], &c, 1) != 1) break;
            if (c == '\n') break;
            line += c;
        }
        out_ = out[0];
        if (line.rfind("PTY ", 0) == 0) {
            static int next = 200;  // numbers of our own, far from real ports
            port_ = next++;
            platform::setPortDevice(port_, line.substr(4));
        }
#endif
    }

    ~SimLink() {
#ifndef _WIN32
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        if (port_ > 0) platform::setPortDevice(port_, "");
#endif
    }

    int port() const { return port_; }

private:
    int port_ = 0;
#ifndef _WIN32
    pid_t pid_ = -1;
    int out_ = -1;
#endif
};

}  // namespace vorlant::e2e

// Skips the test when this run has no simulator for the profile.
#define VORLANT_NEED_SIM(link) \
    if ((link).port() == 0) GTEST_SKIP() << "no simulator for this profile in this run"
