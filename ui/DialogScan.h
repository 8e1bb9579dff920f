// "Find controller..." as the main dialog runs it: the scan of the front's
// ports (ControllerSearch), Connect and Disconnect held off while it runs,
// and its result shown in the status line and the port list. It also keeps
// the port this window's own connection holds, which the scan leaves alone
// and the transfers and Connect tell it of.
//
// Threads: the window thread only (the scan itself runs on its own).
#pragma once

#include "engine/ControllerSettings.h"
#include "ui/ControllerSearch.h"
#include "ui/DialogControls.h"

namespace vorlant {

class DialogScan {
public:
    void setScanHost(ScanHost* host) { scanHost_ = host; }
    bool running() const { return search_.running(); }
    // Starts the scan, or says in the status line why not. A settings
    // transfer under way (`transferBusy`) opens and closes the port as it
    // goes: a probe must not take it meanwhile.
    void findController(DialogControls& controls, bool transferBusy);
    // From the report timer: shows the result once the scan has ended.
    void finishScan(DialogControls& controls);

    // What the window's own connection is doing, from its commands and the
    // engine's reports.
    void connecting(int portNumber) { ownConnection_.connecting(portNumber); }
    void onStatus(int code) { ownConnection_.onStatus(code); }
    void onDevice(const ControllerSettings& settings) { ownConnection_.onDevice(settings); }

private:
    ScanHost* scanHost_ = nullptr;
    ControllerSearch search_;
    OwnConnection ownConnection_;
};

}  // namespace vorlant
