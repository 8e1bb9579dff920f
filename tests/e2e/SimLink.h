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
#include "tests/support/SimProcess.h"

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
        sim_ = std::make_unique<test::SimProcess>(argv);
        const std::string line = sim_->readLine(10000);
        if (line.rfind("PTY ", 0) == 0) {
            static int next = 200;  // numbers of our own, far from real ports
            port_ = next++;
            platform::setPortDevice(port_, line.substr(4));
        }
#endif
    }

    ~SimLink() {
#ifndef _WIN32
        sim_.reset();  // stops the simulator
        if (port_ > 0) platform::setPortDevice(port_, "");
#endif
    }

    int port() const {
        return port_;
    }

    // The simulator's next line of output after its "PTY" line (its log,
    // when extraArgs hold "--log -"); empty on time-out, and always under
    // Wine, where the runner holds the simulator's output.
    std::string readLine(int timeoutMs) {
#ifdef _WIN32
        (void)timeoutMs;
        return std::string();
#else
        return sim_ ? sim_->readLine(timeoutMs) : std::string();
#endif
    }

private:
    int port_ = 0;
#ifndef _WIN32
    std::unique_ptr<test::SimProcess> sim_;
#endif
};

}  // namespace vorlant::e2e

// Skips the test when this run has no simulator for the profile.
#define VORLANT_NEED_SIM(link) \
    if ((link).port() == 0) GTEST_SKIP() << "no simulator for this profile in this run"
