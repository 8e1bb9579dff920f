// The main dialog's behaviour: what it shows for the engine's reports, which
// controls are usable, and which engine commands the user's actions send.
// Plain C++ over DialogControls and DialogHost, so every front (and the
// tests) share it; the front only routes its window messages here.
//
// Threads: the window thread only (the bridge delivers reports there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "engine/ControllerSettings.h"
#include "engine/SettingsFields.h"
#include "engine/iTelescopeControl.h"
#include "platform/SerialPort.h"
#include "ui/AppModel.h"
#include "ui/ControllerSearch.h"
#include "ui/DialogControls.h"
#include "ui/DialogScan.h"
#include "ui/DialogTransfer.h"
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
    // A line the status line shows once the window is initialised, for
    // what the shell found at start-up (a trace file that cannot be
    // written); the first report replaces it.
    void setStartNote(std::string note) { startNote_ = std::move(note); }
    // What the user did, in the dialog's own terms (each front translates
    // its window messages): a click on a button or check box, an edit that
    // lost the keyboard focus, the end of a track bar interaction (mouse
    // button or key released).
    void command(int id);
    void editLostFocus(int id);
    void trackBarReleased(int trackBarId);
    // A command of the window's menu (ui/MenuCommands.h). Export and import
    // use the port and speed that "Connect" would, and need a transfer host.
    void menuCommand(int id);
    // Where "Find controller..." takes its ports from and shows what it
    // found; without one the command does nothing. The scan runs on its own
    // thread; pollReports() finishes it: the first controller found is
    // selected in the port list (and "115200 Baud" set to its rate).
    void setScanHost(ScanHost* host) { scan_.setScanHost(host); }
    bool scanRunning() const { return scan_.running(); }
    void setTransferHost(TransferHost* host) { transfer_.setTransferHost(host); }
    // The user asked to close the window: true when it may close. While an
    // import is sending, the user is asked first (through the transfer
    // host); Yes abandons the import, No keeps the window.
    bool closeRequested() { return transfer_.closeRequested(); }
    const SettingsTransfer& transfer() const { return transfer_.transfer(); }
    // Enables or disables the controls that need a connected controller.
    // Enabling follows the controller's capability class: the parameter
    // controls only for fields its read-out decodes (none up to class 1,
    // the short layout's on class 2, all from class 3), "Advanced settings"
    // only on class 5.
    void setControlsEnabled(bool enable, int versionClass);
    // The window side's timer (every 250 ms or so): delivers any report
    // whose announcement was lost on the way, and shows a trace that
    // stopped being written.
    void pollReports();
    // Why the port could not be opened or was lost (the engine's record);
    // the status line adds it to "Cannot open port." and, when the device
    // disappeared, to "Connection closed". Without a source it says no more.
    using PortErrorSource = std::function<platform::PortError()>;
    void setPortErrorSource(PortErrorSource source) { portErrorSource_ = std::move(source); }
    // The name of the device a port number opens (the Linux front: its
    // path), so that "Cannot open port." says which one was tried. Without
    // a source the line names none (Windows: the list shows the COM name).
    using PortNameSource = std::function<std::string(int portNumber)>;
    void setPortNameSource(PortNameSource source) { portNameSource_ = std::move(source); }
    // Why the link trace stopped being written (empty while it has not);
    // pollReports shows it in the status line once, when it first appears.
    using TraceErrorSource = std::function<std::string()>;
    void setTraceErrorSource(TraceErrorSource source) { traceErrorSource_ = std::move(source); }
    // The reason as the status line words it, naming `port` when it is not
    // empty; empty for none. Permission denied shows how to get access
    // only where joining the device's group would grant it.
    static std::string portErrorReason(platform::PortError error, const std::string& port = std::string());

    // Reports, from the bridge. Ignored before initDialog.
    void showStatus(int32_t code) override;
    void showSettings(const ControllerSettings* settings, int32_t kind) override;
    void showSupplyVoltage(int32_t centivolts) override;

    AppModel& bridge() { return bridge_; }
    const GearRatios& gearRatios() const { return gearRatios_; }
    const AdvancedSettings& advancedSettings() const { return advancedSettings_; }

private:
    struct Remembered;
    // Where the dialog keeps what a field's controls last showed or sent
    // (by its scale and axis); none for the decays and reverse flags.
    Remembered remembered(const SettingsField& field);
    // The full scale of the current bars of the field's axis.
    uint32_t maxCurrent(const SettingsField& field) const;
    void showSettingsReport(const ControllerSettings& s, int32_t kind);
    void showFullSettings(const ControllerSettings& s);
    void showField(const SettingsField& field, int64_t value);
    void showDeviceInfo(const ControllerSettings& s);
    void showGearRatios(const ControllerSettings& s);
    void blankUnreadFields(int versionClass);
    void confirmAdvancedJob();
    void moveManual(uint8_t direction);
    void sendReverseFlags();
    // The field's writer with `value` (already remembered).
    void sendField(const SettingsField& field, int64_t value);
    // Reads a settings edit clamped into [minimum, maximum], rewriting the
    // edit when the typed number was outside. Text that holds no number
    // gives false: the edit shows `remembered` again and nothing is sent.
    bool readSetting(int id, int64_t minimum, int64_t maximum, int64_t remembered, int64_t* value);
    void moveTrack(int id, int64_t position);
    void setNumber(int id, uint32_t value);

    iTelescopeControl& engine_;
    AppModel& bridge_;
    PortErrorSource portErrorSource_;
    PortNameSource portNameSource_;
    TraceErrorSource traceErrorSource_;
    bool traceErrorShown_ = false;
    DialogControls* controls_ = nullptr;  // none until initDialog
    DialogHost* host_ = nullptr;
    std::string startNote_;
    // "Find controller..." and the export and import.
    DialogScan scan_;
    DialogTransfer transfer_;

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
    uint8_t raGuideRate_ = 0;
    uint8_t deGuideRate_ = 0;
    // Where the program last put each settings bar (by a report, a typed
    // value or a release), by the bar's id.
    std::map<int, int> shownPositions_;
    // The capability class of the last full settings report since the last
    // connect; none before it.
    static constexpr int kNoFullReport = -1;
    int fullReportClass_ = kNoFullReport;
    // What the controller confirmed: the gear ratios from its reports, the
    // advanced fields from its reports and the jobs it finished.
    GearRatios gearRatios_{0, 0};
    AdvancedSettings advancedSettings_{0, 0, 0, 0, 0};
    // The advanced settings job sent last and not yet confirmed.
    AdvancedSettings advancedJob_{0, 0, 0, 0, 0};
    bool hasAdvancedJob_ = false;
};

}  // namespace vorlant
