#include "ui/AppModel.h"

#include "ui/DialogNotify.h"

namespace vorlant {

void AppModel::onStatus(int code) {
    {
        platform::LockGuard guard(lock_);
        pendingKind_ = ReportKind::Status;
        pendingStatus_ = code;
    }
    notifyDialog(kReportReady, 0);
}

void AppModel::onSettings(const ControllerSettings* settings, int kind) {
    {
        platform::LockGuard guard(lock_);
        pendingKind_ = ReportKind::Settings;
        pendingValue_ = kind;
        if (settings != nullptr) receivedSettings_ = *settings;
    }
    notifyDialog(kReportReady, 0);
}

void AppModel::onSupplyVoltage(int centivolts) {
    {
        platform::LockGuard guard(lock_);
        pendingKind_ = ReportKind::SupplyVoltage;
        pendingValue_ = centivolts;
    }
    notifyDialog(kReportReady, 0);
}

void AppModel::deliverPendingReport(uint32_t wParam, int32_t /*lParam*/) {
    if (wParam != kReportReady) return;
    int32_t kind = 0, status = 0, value = 0;
    lock_.enter();
    kind = pendingKind_;
    status = pendingStatus_;
    value = pendingValue_;
    if (kind == ReportKind::Settings) {
        deliveredSettings_ = receivedSettings_;
        lock_.leave();
        if (dialogCallback_) dialogCallback_->showSettings(&deliveredSettings_, value);
        return;
    }
    lock_.leave();
    if (!dialogCallback_) return;
    if (kind == ReportKind::Status) {
        dialogCallback_->showStatus(status);
    } else if (kind == ReportKind::SupplyVoltage) {
        dialogCallback_->showSupplyVoltage(value);
    }
}

}  // namespace vorlant
