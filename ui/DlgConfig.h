// The main dialog's behaviour: what it shows for the engine's reports, which
// controls are usable, and which engine commands the user's actions send.
// Plain C++ over DialogControls and DialogHost, so every front (and the
// tests) share it; the front only routes its window messages here.
//
// Threads: the window thread only (the bridge delivers reports there).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ControllerSettings.h"
#include "engine/iTelescopeControl.h"
#include "ui/AppModel.h"
#include "ui/DialogControls.h"
#include "ui/GearRatios.h"
#include "ui/TelescopeControlDlgCallback.h"

namespace vorlant {

class DlgConfig : public TelescopeControlDlgCallback {
public:
    DlgConfig(iTelescopeControl& engine, AppModel& bridge);
    DlgConfig(const DlgConfig&) = delete;
    DlgConfig& operator=(const DlgConfig&) = delete;

    // The dialog's initialisation message: sets up bitmaps, track bars, the
    // port list, the tracking buttons and the disabled connection set. The
    // controls and host must outlive the dialog's use of them.
    void initDialog(DialogControls& controls, DialogHost& host);
    // A command message: control id and notification code.
    void command(int id, int notifyCode);
    // A horizontal scroll message from the track bar `trackBarId`.
    void trackBarScroll(int trackBarId, int scrollCode);
    // Enables or disables the controls that need a connected controller;
    // "Advanced settings" is enabled only for a version class above 4.
    void setControlsEnabled(bool enable, int versionClass);

    // Reports, from the bridge. Ignored before initDialog.
    void showStatus(int32_t code) override;
    void showSettings(const ControllerSettings* settings, int32_t kind) override;
    void showSupplyVoltage(int32_t centivolts) override;

    AppModel& bridge() { return bridge_; }
    const GearRatios& gearRatios() const { return gearRatios_; }
    const AdvancedSettings& advancedSettings() const { return advancedSettings_; }

private:
    struct Axis;
    Axis axis(bool dec);
    void showFullSettings(const ControllerSettings& s);
    void showDeviceInfo(const ControllerSettings& s);
    static std::size_t appendDottedVersion(char* buffer, std::size_t size, std::size_t pos, uint32_t version);
    void showGearRatios(uint32_t ra, uint32_t de);
    void showCurrents(const Axis& a, const uint16_t (&currents)[3]);
    void moveManual(uint8_t direction);
    void sendReverseFlags();
    void editLostFocus(int id);
    void sendRampPair(int raTrack, uint8_t& raRemembered, uint8_t& deRemembered, bool acceleration);
    void moveTrack(int id, int64_t position);
    void setNumber(int id, uint32_t value);
    void setSignedNumber(int id, int32_t value);

    iTelescopeControl& engine_;
    AppModel& bridge_;
    DialogControls* controls_ = nullptr;  // none until initDialog
    DialogHost* host_ = nullptr;

    // What the controls last showed or sent; zero until the first full
    // settings report, so a handler reached earlier compares against 0.
    uint32_t raMaxCurrent_ = 0;
    uint32_t deMaxCurrent_ = 0;
    uint16_t raMaxSpeed_ = 0;
    uint16_t deMaxSpeed_ = 0;
    uint16_t raCurrents_[3] = {0, 0, 0};
    uint16_t deCurrents_[3] = {0, 0, 0};
    uint8_t raAcceleration_ = 0;
    uint8_t raDeceleration_ = 0;
    uint8_t deAcceleration_ = 0;
    uint8_t deDeceleration_ = 0;
    int16_t raOvertone_ = 0;
    int16_t deOvertone_ = 0;
    uint16_t raIncCurrentAt_ = 0;
    uint16_t deIncCurrentAt_ = 0;
    GearRatios gearRatios_{0, 0};
    AdvancedSettings advancedSettings_{0, 0, 0, 0, 0};
};

}  // namespace vorlant
