#include "ui/AppModel.h"

#include <algorithm>

#include "ui/DialogNotify.h"

namespace vorlant {

void AppModel::enqueue(const Report& report) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (pending_.size() >= kQueueCap && report.kind == ReportKind::SupplyVoltage) {
            // A newer voltage supersedes a pending one. Status and settings
            // reports change what the window shows and allows (a lost
            // "Connection closed" would leave controls live), so they are
            // never dropped, even past the cap.
            auto older = std::find_if(pending_.begin(), pending_.end(),
                                      [](const Report& r) { return r.kind == ReportKind::SupplyVoltage; });
            if (older != pending_.end()) pending_.erase(older);
        }
        pending_.push_back(report);
    }
    notifyDialog(kReportReady, 0);
}

void AppModel::onStatus(int code) {
    enqueue(Report{ReportKind::Status, code, {}});
}

void AppModel::onSettings(const ControllerSettings* settings, int kind) {
    if (settings == nullptr) return;
    enqueue(Report{ReportKind::Settings, kind, *settings});
}

void AppModel::onSupplyVoltage(int centivolts) {
    enqueue(Report{ReportKind::SupplyVoltage, centivolts, {}});
}

void AppModel::deliverPendingReport(uint32_t wParam, int32_t /*lParam*/) {
    if (wParam != kReportReady) return;
    deliverAll();
}

void AppModel::deliverAll() {
    // One report at a time, so a callback never runs under the lock and a
    // report queued meanwhile is delivered by this same drain.
    for (;;) {
        int32_t kind = 0;
        int32_t value = 0;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (pending_.empty()) return;
            const Report& front = pending_.front();
            kind = front.kind;
            value = front.value;
            if (kind == ReportKind::Settings) deliveredSettings_ = front.settings;
            pending_.pop_front();
        }
        if (dialogCallback_ == nullptr) continue;
        switch (kind) {
            case ReportKind::Status:
                dialogCallback_->showStatus(value);
                break;
            case ReportKind::Settings:
                dialogCallback_->showSettings(&deliveredSettings_, value);
                break;
            case ReportKind::SupplyVoltage:
                dialogCallback_->showSupplyVoltage(value);
                break;
            default:
                break;
        }
    }
}

std::size_t AppModel::pendingCount() {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_.size();
}

}  // namespace vorlant
