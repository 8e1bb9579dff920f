// The program's objects, their wiring and the start-up and shutdown order,
// shared by every front (the Win32 dialog, the Qt window).
//
// makeWindow(DlgConfig&, AppModel&) creates the front's main window (a
// DialogWindow); runWindow(window) runs it on this, the window thread, until
// the user closes it. No object owns another; this function creates and
// destroys all of them.
#pragma once

#include "engine/HeartBeat.h"
#include "engine/TelescopeControl.h"
#include "ui/AppModel.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"

namespace vorlant {

template <class MakeWindow, class RunWindow>
void runApplication(MakeWindow makeWindow, RunWindow runWindow) {
    auto* heartBeat = new HeartBeat();
    auto* bridge = new AppModel();
    auto* engine = new TelescopeControl(bridge);  // the engine thread runs from here
    heartBeat->setListener(engine);
    heartBeat->start();
    auto* dialog = new DlgConfig(*engine, *bridge);
    // The status line's reasons come from the engine's record, readable
    // from the window thread.
    dialog->setPortErrorSource([engine] { return engine->lastPortError(); });
    auto* window = makeWindow(*dialog, *bridge);
    bridge->setDialogCallback(dialog);
    setActiveDialog(window);

    runWindow(*window);

    // Detach first: once setActiveDialog(nullptr) returns, the engine thread
    // (still running) can no longer post through the window, and no report
    // is delivered to the dialog.
    setActiveDialog(nullptr);
    bridge->setDialogCallback(nullptr);
    delete window;
    delete dialog;
    // No tick reaches the engine after clearListener.
    heartBeat->clearListener();
    heartBeat->stop();
    // Ends the engine's threads before the bridge they report to goes.
    delete engine;
    delete heartBeat;
    delete bridge;
}

}  // namespace vorlant
