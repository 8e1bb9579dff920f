// The INDI driver as a client sees it: the real indiserver on a free
// loopback port serving indi_brask, the simulator on a pty as the device,
// and INDI's own client tools (indi_getprop, indi_setprop, indi_eval) as the
// clients. Every wait is for a state, bounded.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FreePort.h"
#include "tests/support/SimProcess.h"

namespace vorlant::test {

struct ToolRun {
    int exit = -1;
    std::vector<std::string> lines;
};

// One client tool run to its end (at most timeoutMs).
inline ToolRun runTool(std::vector<std::string> args, int timeoutMs = 15000) {
    SimProcess p(std::move(args));
    ToolRun r;
    for (std::string line = p.readLine(timeoutMs); !line.empty(); line = p.readLine(timeoutMs))
        r.lines.push_back(line);
    r.exit = p.waitExit(timeoutMs);
    return r;
}

class IndiRig {
public:
    // The simulator runs `profile` with extraArgs; its log goes to a file.
    explicit IndiRig(const std::string& profile, std::vector<std::string> extraArgs = {}) {
        logPath_ = ::testing::TempDir() + "indi-sim-" + std::to_string(getpid()) + "-" + profile + ".log";
        startSim(profile, std::move(extraArgs));
        port_ = std::to_string(freeLoopbackPort());
        server_ = std::make_unique<SimProcess>(
            // A local socket of its own too: indiserver's default one is
            // shared by every server on the machine, so a second server
            // (another test running at the same time) would end at start.
            std::vector<std::string>{VORLANT_INDISERVER, "-p", port_, "-u", "/tmp/vorlant-indi-" + port_,
                                     VORLANT_INDI_DRIVER});
        // The server is up once the driver's connection property is served.
        for (int i = 0; i < 100 && get("Brask.CONNECTION.CONNECT").empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    void startSim(const std::string& profile, std::vector<std::string> extraArgs = {}) {
        std::remove(logPath_.c_str());
        std::vector<std::string> argv = {VORLANT_SIM_PATH, "--profile", profile, "--log", logPath_};
        argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
        sim_ = std::make_unique<SimProcess>(argv);
        const std::string line = sim_->readLine(10000);
        pty_ = line.rfind("PTY ", 0) == 0 ? line.substr(4) : std::string();
    }
    // The controller vanishes: the simulator ends and its pty with it.
    void killSim() { sim_.reset(); }

    bool ready() const { return !pty_.empty() && !port_.empty(); }

    // Sets the port property to the simulator's pty and connects; true
    // once the connection is Ok.
    bool connect() {
        return set("Brask.DEVICE_PORT.PORT=" + pty_) && set("Brask.CONNECTION.CONNECT=On") &&
               wait("\"Brask.CONNECTION._STATE\"==1", 20);
    }

    bool set(const std::string& assignment) {
        return runTool({VORLANT_INDI_SETPROP, "-p", port_, assignment}).exit == 0;
    }
    // One element's value ("" when the property is not defined).
    std::string get(const std::string& name) {
        const ToolRun r = runTool({VORLANT_INDI_GETPROP, "-p", port_, "-t", "1", "-1", name});
        return r.exit == 0 && !r.lines.empty() ? r.lines[0] : std::string();
    }
    // Every element, as "Brask.PROP.ELEMENT" -> value.
    std::map<std::string, std::string> all() {
        std::map<std::string, std::string> out;
        for (const std::string& line :
             runTool({VORLANT_INDI_GETPROP, "-p", port_, "-t", "1", "Brask.*.*"}).lines) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return out;
    }
    // Waits (at most seconds) until the indi_eval expression holds.
    bool wait(const std::string& expression, int seconds = 10) {
        return runTool({VORLANT_INDI_EVAL, "-p", port_, "-w", "-t", std::to_string(seconds), expression},
                       (seconds + 5) * 1000)
                   .exit == 0;
    }
    // A second client watching at the same time: indi_eval waiting for
    // `expression`, started now, read with finish().
    std::unique_ptr<SimProcess> watch(const std::string& expression, int seconds = 10) {
        return std::make_unique<SimProcess>(std::vector<std::string>{
            VORLANT_INDI_EVAL, "-p", port_, "-w", "-t", std::to_string(seconds), expression});
    }

    // The names of the requests in the simulator's log, in order.
    std::vector<std::string> requests() const {
        std::vector<std::string> out;
        std::ifstream in(logPath_);
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] != '[' || line.find("->") != std::string::npos) continue;
            const size_t space = line.find_last_of(' ');
            const std::string name = line.substr(space + 1);
            if (!name.empty() && (name[0] < '0' || name[0] > '9') && name.find(']') == std::string::npos &&
                line.find(" AA ") != std::string::npos)
                out.push_back(name);
        }
        return out;
    }

private:
    std::string logPath_;
    std::string pty_;
    std::string port_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<SimProcess> server_;
};

}  // namespace vorlant::test
