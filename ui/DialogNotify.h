// Announcing a stored report to the main dialog's window.
//
// The bridge runs on the engine thread and must never wait for the window
// thread, so it only posts a message (WM_APP with wParam 1000) to the
// registered dialog's window; the dialog's window procedure then hands the
// message back to the bridge on the window thread.
//
// Threads: notifyDialog from any thread (the engine thread in practice);
// setActiveDialog from the window thread. Once setActiveDialog(nullptr)
// has returned, no notifyDialog still reads the dialog that was registered,
// so the shell may destroy it: the registry lock is held across the post,
// which itself never blocks.
#pragma once

#include <cstdint>

namespace vorlant {

// The announcement's message parameter: "a report is ready".
constexpr uint32_t kReportReady = 1000;

// The side of a dialog that can receive a posted announcement. The Win32
// front posts it as a window message with PostMessageW; other fronts queue
// an event.
class DialogWindow {
public:
    virtual void postToWindow(uint32_t wParam, int32_t lParam) = 0;

protected:
    virtual ~DialogWindow() = default;
};

void setActiveDialog(DialogWindow* dialog);
void notifyDialog(uint32_t wParam, int32_t lParam);

}  // namespace vorlant
