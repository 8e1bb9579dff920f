// "Export settings..." and "Import settings..." as the main dialog runs
// them: the settings transfer (SettingsTransfer) started on the port and
// speed that "Connect" would use, and the question a close asks while an
// import is sending.
//
// Threads: the window thread only.
#pragma once

#include "engine/ControllerSettings.h"
#include "engine/iTelescopeControl.h"
#include "ui/AppModel.h"
#include "ui/DialogControls.h"
#include "ui/DialogScan.h"
#include "ui/SettingsTransfer.h"

namespace vorlant {

class DialogTransfer {
public:
    DialogTransfer(iTelescopeControl& engine, AppModel& bridge, DialogScan& scan)
        : bridge_(bridge), scan_(scan), transfer_(engine) {}

    void setTransferHost(TransferHost* host) { transferHost_ = host; }
    // Export or import (the menu command's id); nothing without a host or
    // a selected port, or while the scan holds the ports.
    void transferSettings(DialogControls& controls, int menuCommandId);
    // True when the window may close; asks first while an import sends.
    bool closeRequested();
    bool busy() const { return transfer_.busy(); }
    const SettingsTransfer& transfer() const { return transfer_; }

    // The engine's reports, after the dialog has shown them (a transfer
    // may run a modal dialog from here).
    void onStatus(int code) { transfer_.onStatus(code); }
    void onSettings(const ControllerSettings& settings, int kind) { transfer_.onSettings(settings, kind); }
    void onSupplyVoltage() { transfer_.onSupplyVoltage(); }

private:
    AppModel& bridge_;
    DialogScan& scan_;
    TransferHost* transferHost_ = nullptr;
    SettingsTransfer transfer_;
};

}  // namespace vorlant
