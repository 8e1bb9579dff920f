// The listener bridge: the engine's TelescopeListener. It queues every
// report under its lock, announces it to the main dialog's window, and
// delivers the reports to the dialog on the window thread, each exactly
// once and in the order the engine made them.
//
// An announcement may never arrive (no window yet, a failed post, a
// message dropped by a closing modal loop), so delivery drains the whole
// queue whenever it runs: on each announcement, and from the window side
// once the dialog has its window, after every modal dialog, and on a timer.
//
// Threads: onStatus/onSettings/onSupplyVoltage on the engine thread;
// deliverPendingReport, deliverAll and setDialogCallback on the window
// thread only. The lock is held only while the queue is written or one
// report is taken from it, never across an announcement or a callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "engine/ControllerSettings.h"
#include "engine/TelescopeListener.h"
#include "ui/TelescopeControlDlgCallback.h"

namespace vorlant {

struct ReportKind {
    enum : int32_t { Status = 1, Settings = 2, SupplyVoltage = 3 };
};

class AppModel : public TelescopeListener {
public:
    // Reports queued before a new voltage report replaces a pending one;
    // status and settings reports are never dropped. Far more than a
    // read-out makes, so only a window thread stalled for minutes reaches it.
    static constexpr std::size_t kQueueCap = 4096;

    AppModel() = default;
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    void onStatus(int code) override;
    // A null record is ignored: nothing is queued or announced.
    void onSettings(const ControllerSettings* settings, int kind) override;
    void onSupplyVoltage(int centivolts) override;

    // The window procedure calls this for its announcement; wParam 1000 delivers
    // everything pending, any other value nothing.
    void deliverPendingReport(uint32_t wParam, int32_t lParam);
    // Delivers every pending report, oldest first.
    void deliverAll();

    void setDialogCallback(TelescopeControlDlgCallback* callback) { dialogCallback_ = callback; }
    const ControllerSettings& deliveredSettings() const { return deliveredSettings_; }
    // Reports waiting for delivery (any thread; for tests and diagnostics).
    std::size_t pendingCount();

private:
    struct Report {
        int32_t kind;
        int32_t value;                // status code, settings report kind, or voltage
        ControllerSettings settings;  // Settings reports only
    };
    void enqueue(const Report& report);

    std::mutex lock_;
    std::deque<Report> pending_;                             // under lock_
    ControllerSettings deliveredSettings_{};                 // window thread only
    TelescopeControlDlgCallback* dialogCallback_ = nullptr;  // window thread only
};

}  // namespace vorlant
