#include "tools/indi_brask/ReportQueue.h"

#include <utility>

namespace vorlant::indi {

void ReportQueue::onStatus(int code) {
    EngineReport r;
    r.what = EngineReport::What::Status;
    r.value = code;
    push(std::move(r));
}

void ReportQueue::onSettings(const ControllerSettings* settings, int kind) {
    EngineReport r;
    r.what = EngineReport::What::Settings;
    r.value = kind;
    if (settings != nullptr) r.settings = *settings;
    push(std::move(r));
}

void ReportQueue::onSupplyVoltage(int centivolts) {
    EngineReport r;
    r.what = EngineReport::What::Voltage;
    r.value = centivolts;
    push(std::move(r));
}

void ReportQueue::push(EngineReport report) {
    {
        platform::LockGuard guard(lock_);
        reports_.push_back(std::move(report));
    }
    // After the push: a loop woken early finds the report on its next take.
    wake_.signal();
}

std::deque<EngineReport> ReportQueue::take() {
    // Clear first, so a report pushed after the swap signals again.
    wake_.clear();
    std::deque<EngineReport> out;
    platform::LockGuard guard(lock_);
    out.swap(reports_);
    return out;
}

}  // namespace vorlant::indi
