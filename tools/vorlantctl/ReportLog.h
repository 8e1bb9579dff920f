// The tool's TelescopeListener: keeps every report the engine makes, in
// order, and lets the tool's main thread wait for the one it needs.
//
// Threads: the on* operations run on the engine thread; everything else on
// the tool's thread. One mutex guards the log; waiters sleep on a condition
// variable that every new report wakes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/TelescopeListener.h"

namespace vorlant::ctl {

struct Report {
    enum class Kind { Status, Settings, Voltage };
    Kind kind;
    int value;                    // status code, settings report kind or centivolts
    ControllerSettings settings;  // for Settings reports

    bool isStatus(int code) const { return kind == Kind::Status && value == code; }
};

class ReportLog : public TelescopeListener {
public:
    void onStatus(int code) override;
    void onSettings(const ControllerSettings* settings, int kind) override;
    void onSupplyVoltage(int centivolts) override;

    // Number of reports so far: a mark to wait or look from.
    size_t size() const;
    // Reports from index `from` on.
    std::vector<Report> since(size_t from) const;
    // Waits until a report at index >= from satisfies `match`; copies it to
    // `found` and returns true, or false after timeoutMs.
    bool waitFor(size_t from, uint32_t timeoutMs, const std::function<bool(const Report&)>& match,
                 Report& found) const;

private:
    void add(const Report& report);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Report> reports_;
};

}  // namespace vorlant::ctl
