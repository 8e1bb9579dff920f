#include "ui/DialogScan.h"

#include <string>
#include <utility>
#include <vector>

#include "ui/MainDialogIds.h"

namespace vorlant {

void DialogScan::findController(DialogControls& controls, bool transferBusy) {
    if (scanHost_ == nullptr) return;
    if (search_.running()) {
        controls.setText(MainId::StatusLine, "Still searching for the controller...");
        return;
    }
    if (transferBusy) {
        controls.setText(MainId::StatusLine, "A settings transfer is still under way.");
        return;
    }
    std::vector<ProbeTarget> targets = scanHost_->probeTargets();
    if (targets.empty()) {
        controls.setText(MainId::StatusLine, "No serial port to search.");
        return;
    }
    const std::size_t count = targets.size();
    if (!search_.start(std::move(targets), scanHost_->probePortFactory(), ownConnection_)) {
        controls.setText(MainId::StatusLine, "The search could not be started.");
        return;
    }
    // A connect now would race the probes for the ports (and a disconnect
    // make the list's own port look free); both come back with the result.
    controls.enable(MainId::Connect, false);
    controls.enable(MainId::Disconnect, false);
    controls.setText(MainId::StatusLine, "Searching for the controller on " + std::to_string(count) +
                                             (count == 1 ? " port..." : " ports..."));
}

void DialogScan::finishScan(DialogControls& controls) {
    std::vector<ProbeReport> reports;
    if (!search_.takeResults(reports)) return;
    // Connect needs an entry in the port list (the Qt list may be empty).
    controls.enable(MainId::Connect, controls.comboSelection(MainId::PortCombo) >= 0);
    controls.enable(MainId::Disconnect, true);
    const ProbeReport* found = firstController(reports);
    const ProbeReport* own = nullptr;
    for (const ProbeReport& r : reports)
        if (r.verdict == ProbeVerdict::OwnConnection) own = &r;
    if (found != nullptr) {
        // Entry i of the port list opens as port number i + 1.
        controls.setComboSelection(MainId::PortCombo, found->target.portNumber - 1);
        controls.setChecked(MainId::Baud115200, found->baud == 115200);
        controls.setText(MainId::StatusLine, "Controller found on " + found->target.label + ".");
    } else if (own != nullptr) {
        controls.setText(MainId::StatusLine,
                         "No other controller found; this window is connected to " + own->target.label + ".");
    } else {
        controls.setText(MainId::StatusLine, "No controller found.");
    }
    if (scanHost_ != nullptr) scanHost_->showScanResults(scanResultText(reports));
}

}  // namespace vorlant
