// The Win32 front of the main dialog (template 100): runs it modally, routes
// its window messages to DlgConfig and the bridge, and is the DialogWindow
// through which the bridge announces reports (WM_APP posted to the window).
//
// The commands of ui/MenuCommands.h are appended to the window's system
// menu (the template stays as it is) and reach DlgConfig::menuCommand.
//
// Threads: run() and the dialog procedure on the window thread;
// postToWindow from any thread (the engine thread, under the announcement
// registry's lock). The window handle is atomic for that reason; it is
// none before WM_INITDIALOG and again once the dialog has ended, so no
// announcement is posted to a window that does not exist.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "ui/AppModel.h"
#include "ui/ControllerSearch.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"
#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32DialogHost.h"
#include "ui/win32/Win32TransferHost.h"

namespace vorlant {

class Win32MainDialog : public DialogWindow, public ScanHost {
public:
    Win32MainDialog(HINSTANCE instance, DlgConfig& dialog, AppModel& bridge)
        : instance_(instance), dialog_(dialog), bridge_(bridge) {}
    ~Win32MainDialog() override = default;
    Win32MainDialog(const Win32MainDialog&) = delete;
    Win32MainDialog& operator=(const Win32MainDialog&) = delete;

    // Shows template 100 modally with this object as the creation parameter
    // and returns the dialog's end code when it closes.
    INT_PTR run(HWND parent);

    void postToWindow(uint32_t wParam, int32_t lParam) override;

    // "Find controller..." (the system menu): the COM ports the system
    // lists and COM1..COM32, whose entry in the port list is number - 1.
    std::vector<ProbeTarget> probeTargets() override;
    void showScanResults(const std::string& text) override;

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void initialise(HWND window);
    void addMenuCommands(HWND window);

    HINSTANCE instance_;
    DlgConfig& dialog_;
    AppModel& bridge_;
    std::atomic<HWND> window_{nullptr};
    // Live while the dialog runs: created on WM_INITDIALOG, released after
    // the modal loop (the bitmaps they loaded go with them).
    std::unique_ptr<Win32DialogControls> controls_;
    std::unique_ptr<Win32DialogHost> host_;
    std::unique_ptr<Win32TransferHost> transferHost_;
};

}  // namespace vorlant
