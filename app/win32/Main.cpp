// The Windows program's entry point: readies the common controls, creates
// the four long-lived objects, wires them, runs the main dialog modally on
// this (the window) thread and takes everything down in a fixed order.
//
// The process exit code is always 0.

// windows.h first: commctrl.h builds on its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "app/AppShell.h"
#include "ui/win32/Win32MainDialog.h"

namespace {

bool initCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;  // the track bars
    return InitCommonControlsEx(&controls) != FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    if (!initCommonControls()) {
        MessageBoxA(nullptr, "Init Common Controls failed", "Error", MB_OK);
        return 0;
    }
    vorlant::runApplication(
        [instance](vorlant::DlgConfig& dialog, vorlant::AppModel& bridge) {
            return new vorlant::Win32MainDialog(instance, dialog, bridge);
        },
        [](vorlant::Win32MainDialog& window) { window.run(nullptr); });
    return 0;
}
