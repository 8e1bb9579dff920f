#include "tools/vorlantctl/ReportLog.h"

#include <chrono>

namespace vorlant::ctl {

void ReportLog::onStatus(int code) {
    add(Report{Report::Kind::Status, code, ControllerSettings{}});
}

void ReportLog::onSettings(const ControllerSettings* settings, int kind) {
    // The pointer is valid only during this call: copy the record now.
    add(Report{Report::Kind::Settings, kind, settings ? *settings : ControllerSettings{}});
}

void ReportLog::onSupplyVoltage(int centivolts) {
    add(Report{Report::Kind::Voltage, centivolts, ControllerSettings{}});
}

void ReportLog::add(const Report& report) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.push_back(report);
    }
    changed_.notify_all();
}

size_t ReportLog::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_.size();
}

std::vector<Report> ReportLog::since(size_t from) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (from >= reports_.size()) return {};
    return std::vector<Report>(reports_.begin() + static_cast<std::ptrdiff_t>(from), reports_.end());
}

bool ReportLog::waitFor(size_t from, uint32_t timeoutMs, const std::function<bool(const Report&)>& match,
                        Report& found) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(mutex_);
    size_t next = from;
    for (;;) {
        for (; next < reports_.size(); ++next) {
            if (match(reports_[next])) {
                found = reports_[next];
                return true;
            }
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            // Reports that came with the time-out still count.
            for (; next < reports_.size(); ++next) {
                if (match(reports_[next])) {
                    found = reports_[next];
                    return true;
                }
            }
            return false;
        }
    }
}

}  // namespace vorlant::ctl
