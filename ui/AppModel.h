// The listener bridge: the engine's TelescopeListener. It keeps the latest
// report (a mailbox of one) under its lock, announces it to the main
// dialog's window, and delivers it to the dialog on the window thread.
//
// Threads: onStatus/onSettings/onSupplyVoltage on the engine thread;
// deliverPendingReport and setDialogCallback on the window thread only.
// The lock is held only while the mailbox is written or copied, never
// across an announcement or a callback.
#pragma once

#include <cstdint>

#include "engine/ControllerSettings.h"
#include "engine/TelescopeListener.h"
#include "platform/Platform.h"
#include "ui/TelescopeControlDlgCallback.h"

namespace vorlant {

struct ReportKind {
    enum : int32_t { Status = 1, Settings = 2, SupplyVoltage = 3 };
};

class AppModel : public TelescopeListener {
public:
    AppModel() = default;
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    void onStatus(int code) override;
    void onSettings(const ControllerSettings* settings, int kind) override;
    void onSupplyVoltage(int centivolts) override;

    // The window procedure calls this for WM_USER; only wParam 1000 delivers.
    void deliverPendingReport(uint32_t wParam, int32_t lParam);

    void setDialogCallback(TelescopeControlDlgCallback* callback) { dialogCallback_ = callback; }
    const ControllerSettings& deliveredSettings() const { return deliveredSettings_; }

private:
    platform::Lock lock_;
    // One block, copied whole under the lock by the window side.
    int32_t pendingKind_ = 0;
    int32_t pendingStatus_ = 0;
    int32_t pendingValue_ = 0;  // settings kind, or the voltage
    ControllerSettings receivedSettings_{};
    ControllerSettings deliveredSettings_{};  // window thread only
    TelescopeControlDlgCallback* dialogCallback_ = nullptr;  // window thread only
};

}  // namespace vorlant
