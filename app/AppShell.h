// The program's objects, their wiring and the start-up and shutdown order,
// shared by every front (the Win32 dialog, the Qt window).
//
// makeWindow(DlgConfig&, AppModel&) creates the front's main window (a
// DialogWindow); runWindow(window) runs it on this, the window thread, until
// the user closes it. No object owns another; this function creates and
// destroys all of them.
//
// VORLANT_TRACE=FILE makes the engine trace the serial link into FILE (see
// engine/LinkTrace.h), at most VORLANT_TRACE_LIMIT_MB MiB; a file that
// cannot be opened means no trace, and the program runs on as without the
// variable (the status line says why).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/HeartBeat.h"
#include "engine/LinkTrace.h"
#include "engine/TelescopeControl.h"
#include "platform/SerialPort.h"
#include "ui/AppModel.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"

namespace vorlant {

// The engine's options, with the link trace VORLANT_TRACE asks for. A
// trace file that cannot be opened leaves the program untraced and says
// why in `note` (the window shows it), so a user who asked for a trace is
// not left believing one is written.
// VORLANT_TRACE_LIMIT_MB bounds the file (16 MiB by default); a limit that
// cannot be read means no trace either, said the same way.
inline TelescopeControl::Options engineOptionsFromEnvironment(std::string* note = nullptr) {
    TelescopeControl::Options options;
    const char* path = std::getenv("VORLANT_TRACE");
    if (!path || !*path) return options;
    std::string error;
    uint64_t limit = 0;
    if (LinkTrace::limitFromText(std::getenv("VORLANT_TRACE_LIMIT_MB"), limit, error))
        options.trace = LinkTrace::open(path, error, limit);
    if (!options.trace && note) *note = "No trace: " + error;
    return options;
}

// The status line's reasons come from the engine's record, readable from
// the window thread; on Linux the ports are device paths, which it names.
inline void explainPortErrors(DlgConfig& dialog, TelescopeControl& engine) {
    dialog.setPortErrorSource([&engine] { return engine.lastPortError(); });
#ifndef _WIN32
    dialog.setPortNameSource([](int portNumber) { return platform::portDevice(portNumber); });
#endif
}

template <class MakeWindow, class RunWindow>
void runApplication(MakeWindow makeWindow, RunWindow runWindow) {
    auto* heartBeat = new HeartBeat();
    auto* bridge = new AppModel();
    // The engine thread runs from here.
    std::string traceNote;
    const TelescopeControl::Options engineOptions = engineOptionsFromEnvironment(&traceNote);
    const std::shared_ptr<LinkTrace> engineOptionsTrace = engineOptions.trace;
    auto* engine = new TelescopeControl(bridge, engineOptions);
    heartBeat->setListener(engine);
    heartBeat->start();
    auto* dialog = new DlgConfig(*engine, *bridge);
    dialog->setStartNote(traceNote);
    // A trace write that fails later shows in the status line as it is
    // found (the window's report timer looks).
    if (const std::shared_ptr<LinkTrace> trace = engineOptionsTrace)
        dialog->setTraceErrorSource([trace] { return trace->writeError(); });
    explainPortErrors(*dialog, *engine);
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
