// The Win32 side of the secondary dialogs: runs templates 101, 102 and 103
// modally over the main dialog and routes their messages to the portable
// dialog classes (GearRatioDialog, AdvancedSettingsDialog, AboutDialog).
//
// Each run passes its own context (the dialog class over the caller's record
// and the controls) as the creation parameter, kept in the window's user
// data, rather than in a process-wide variable: nothing outlives the run and
// nothing is shared between runs. The About box's link keeps its previous
// window procedure in the link window's property list for the same reason.
//
// Threads: the window thread only.
#pragma once

#include <windows.h>

#include "ui/DialogControls.h"

namespace vorlant {

class Win32DialogHost : public DialogHost {
public:
    Win32DialogHost(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {}

    // 1 = Ok (record written), 0 = Cancel; the platform's failure value (-1)
    // passes through.
    int showGearRatioDialog(GearRatios& ratios) override;
    int showAdvancedSettingsDialog(AdvancedSettings& settings) override;
    void showAboutDialog() override;

private:
    HINSTANCE instance_;
    HWND owner_;
};

}  // namespace vorlant
