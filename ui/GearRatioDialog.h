// The gear ratio dialog's behaviour (template 101), independent of the
// front: it shows the record's two ratios and, on Ok, reads both edits back
// into the record. It talks to nothing else; sending the ratios to the
// engine is the main dialog's business.
//
// The front calls init() for WM_INITDIALOG and command() for every
// WM_COMMAND with the low word of wParam as id and the high word as
// notification code; a result other than -1 is the code to end the dialog
// with. Threads: the window thread only.
#pragma once

#include "ui/DialogControls.h"
#include "ui/GearRatios.h"

namespace vorlant {

class GearRatioDialog {
public:
    static constexpr int kStayOpen = -1;
    static constexpr int kResultOk = 1;      // the record has been written
    static constexpr int kResultCancel = 0;  // the record is untouched

    explicit GearRatioDialog(GearRatios& ratios) : ratios_(ratios) {}

    // Shows both ratios as unsigned decimal numbers.
    void init(DialogControls& controls);
    // Ok (any notification code): reads both edits as unsigned numbers and
    // returns 1; an edit that holds no number, or 0, keeps that axis's
    // ratio. Cancel returns 0.
    int command(DialogControls& controls, int id, int notifyCode);

private:
    GearRatios& ratios_;
};

}  // namespace vorlant
