// The receiving side of the engine's reports.
#pragma once

#include "engine/ControllerSettings.h"

namespace vorlant {

// Every operation is called on the engine thread, one at a time, never while
// the engine holds a lock of its own (the one exception: an engine whose
// queue could not be created reports status 6 from connect(), on the
// caller's thread). onSettings' pointer is valid only for the duration of
// the call: copy the record before returning. A callback must not call the
// engine's operations.
class TelescopeListener {
public:
    virtual void onStatus(int code) = 0;
    virtual void onSettings(const ControllerSettings* settings, int kind) = 0;
    // Hundredths of a volt, exactly as the controller sent it (0..65535).
    virtual void onSupplyVoltage(int centivolts) = 0;
    virtual ~TelescopeListener() = default;
};

}  // namespace vorlant
