// How the listener bridge reaches the main dialog. Called on the window
// thread only.
#pragma once

#include <cstdint>

#include "engine/ControllerSettings.h"

namespace vorlant {

class TelescopeControlDlgCallback {
public:
    virtual void showStatus(int32_t code) = 0;
    // The record lives in the bridge and stays valid until the next delivery.
    virtual void showSettings(const ControllerSettings* settings, int32_t kind) = 0;
    virtual void showSupplyVoltage(int32_t centivolts) = 0;
    virtual ~TelescopeControlDlgCallback() = default;
};

}  // namespace vorlant
