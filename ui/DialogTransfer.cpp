#include "ui/DialogTransfer.h"

#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"

namespace vorlant {

void DialogTransfer::transferSettings(DialogControls& controls, int id) {
    if (transferHost_ == nullptr) return;
    const int selection = controls.comboSelection(MainId::PortCombo);
    if (selection < 0) return;
    // A probe holds ports the transfer's connect may need.
    if (scan_.running()) {
        controls.setText(MainId::StatusLine, "Still searching for the controller...");
        return;
    }
    const uint32_t baud = controls.isChecked(MainId::Baud115200) ? 115200u : 9600u;
    const bool wasBusy = transfer_.busy();
    switch (id) {
        case MenuCommandId::ExportSettings:
            transfer_.startExport(*transferHost_, selection + 1, baud);
            break;
        case MenuCommandId::ImportSettings:
            transfer_.startImport(*transferHost_, selection + 1, baud);
            break;
        default:
            return;
    }
    // The transfer connects to that port (a refused one keeps its own).
    if (!wasBusy && transfer_.busy()) scan_.connecting(selection + 1);
    // Reports held back while the file dialog was open.
    bridge_.deliverAll();
}

bool DialogTransfer::closeRequested() {
    if (!transfer_.importSending() || transferHost_ == nullptr) return true;
    const bool stop =
        transferHost_->askYesNo("Stop the import and close? The controller may hold part of the file.");
    // Yes: nothing more goes out, whatever reports still come. No: the
    // import goes on with the reports held back while the question was open.
    if (stop) transfer_.abandon();
    bridge_.deliverAll();
    return stop;
}

}  // namespace vorlant
