// "Find controller...": the scan of every port (engine/ControllerProbe.h)
// run on a thread of its own, so the window stays responsive for the few
// seconds it takes; the window thread polls for the result (DlgConfig does,
// from its report timer) and shows it.
//
// Threads: every operation on the window thread; the scan runs on its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/ControllerProbe.h"
#include "platform/Platform.h"

namespace vorlant {

// What a front gives the search: the ports its list holds (port numbers as
// the list's entries open them: entry i is number i + 1) and a way to show
// the result.
class ScanHost {
public:
    virtual std::vector<ProbeTarget> probeTargets() = 0;
    // The per-port result lines, after the scan; modal.
    virtual void showScanResults(const std::string& text) = 0;
    // The ports the probe opens; the system's by default.
    virtual ProbePortFactory probePortFactory();

protected:
    virtual ~ScanHost() = default;
};

// The port this window's connection holds, as the engine's reports tell:
// a scan leaves it alone (a probe could not open it) and reports it as the
// window's own connection, with the device the read-out found there.
class OwnConnection {
public:
    // A connect the window asked for (directly or for a transfer); the
    // port is held from its "Connecting..." on.
    void connecting(int portNumber) { requested_ = portNumber; }
    void onStatus(int code);
    // What the device line of the window shows for the connected port.
    void onDevice(const ControllerSettings& settings);
    int port() const { return port_; }  // 0: none
    // The port's line among the scan's reports.
    ProbeReport report(const ProbeTarget& target) const;

private:
    int requested_ = 0;
    int port_ = 0;
    ControllerSettings device_{};  // hardwareVersion 0: not read yet
};

class ControllerSearch {
public:
    ControllerSearch() = default;
    ControllerSearch(const ControllerSearch&) = delete;
    ControllerSearch& operator=(const ControllerSearch&) = delete;
    // A scan still running is left to end on its own (it is bounded).
    ~ControllerSearch() = default;

    // False when a scan runs already or no thread could be started. The
    // target of the window's own connection is not probed; its report says
    // what the window knows of it.
    bool start(std::vector<ProbeTarget> targets, ProbePortFactory factory,
               const OwnConnection& own = OwnConnection());
    bool running() const { return state_ != nullptr; }
    // True once, when the scan has ended, with its reports.
    bool takeResults(std::vector<ProbeReport>& out);

private:
    struct State;
    static void entry(void* raw);
    std::shared_ptr<State> state_;
    std::unique_ptr<platform::Thread> thread_;
};

// The text the results show: one line per port.
std::string scanResultText(const std::vector<ProbeReport>& reports);

}  // namespace vorlant
