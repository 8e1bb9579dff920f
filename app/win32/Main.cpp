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

#include "engine/HeartBeat.h"
#include "engine/TelescopeControl.h"
#include "ui/AppModel.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"
#include "ui/win32/Win32MainDialog.h"

namespace {

// The process-wide objects; each lives from start-up to shutdown and none
// owns another.
HINSTANCE gInstance = nullptr;
vorlant::HeartBeat* gHeartBeat = nullptr;
vorlant::AppModel* gBridge = nullptr;
vorlant::TelescopeControl* gEngine = nullptr;
vorlant::DlgConfig* gDialog = nullptr;
vorlant::Win32MainDialog* gWindow = nullptr;

bool initCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;  // the track bars
    return InitCommonControlsEx(&controls) != FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    gInstance = instance;
    if (!initCommonControls()) {
        MessageBoxA(nullptr, "Init Common Controls failed", "Error", MB_OK);
        return 0;
    }

    gHeartBeat = new vorlant::HeartBeat();
    gBridge = new vorlant::AppModel();
    gEngine = new vorlant::TelescopeControl(gBridge);  // the engine thread runs from here
    gHeartBeat->setListener(gEngine);
    gHeartBeat->start();
    gDialog = new vorlant::DlgConfig(*gEngine, *gBridge);
    gWindow = new vorlant::Win32MainDialog(gInstance, *gDialog, *gBridge);
    gBridge->setDialogCallback(gDialog);
    vorlant::setActiveDialog(gWindow);

    gWindow->run(nullptr);

    // Detach first: once setActiveDialog(nullptr) returns, the engine thread
    // (still running) can no longer post through the dialog, and no report
    // is delivered to it.
    vorlant::setActiveDialog(nullptr);
    gBridge->setDialogCallback(nullptr);
    delete gWindow;
    gWindow = nullptr;
    delete gDialog;
    gDialog = nullptr;
    // No tick reaches the engine after clearListener.
    gHeartBeat->clearListener();
    gHeartBeat->stop();
    // Ends the engine's threads before the bridge they report to goes.
    delete gEngine;
    gEngine = nullptr;
    delete gHeartBeat;
    gHeartBeat = nullptr;
    delete gBridge;
    gBridge = nullptr;
    return 0;
}
