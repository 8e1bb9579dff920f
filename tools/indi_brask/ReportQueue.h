// The bridge from the engine thread to the driver's loop. The engine calls
// the listener on its own thread; INDI's loop is single-threaded and no
// INDI call may come from another thread. So every report is copied into a
// queue under a lock and announced through a wake-up descriptor that the
// loop watches; the loop takes the whole queue, oldest first. Nothing is
// dropped and nothing is delivered twice: take() moves the reports out.
#pragma once

#include <cstdint>
#include <deque>

#include "engine/ControllerSettings.h"
#include "engine/TelescopeListener.h"
#include "platform/Platform.h"
#include "platform/WakeDescriptor.h"

namespace vorlant::indi {

struct EngineReport {
    enum class What : uint8_t { Status, Settings, Voltage };
    What what = What::Status;
    int value = 0;  // status code, settings report kind or centivolts
    ControllerSettings settings{};
};

class ReportQueue : public TelescopeListener {
public:
    // False when the wake-up descriptor could not be made.
    bool open() { return wake_.open(); }
    int descriptor() const { return wake_.descriptor(); }

    // Engine thread.
    void onStatus(int code) override;
    void onSettings(const ControllerSettings* settings, int kind) override;
    void onSupplyVoltage(int centivolts) override;

    // Loop thread: every report queued so far, oldest first.
    std::deque<EngineReport> take();

private:
    void push(EngineReport report);

    platform::Lock lock_;
    std::deque<EngineReport> reports_;
    platform::WakeDescriptor wake_;
};

}  // namespace vorlant::indi
