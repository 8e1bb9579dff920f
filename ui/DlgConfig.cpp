#include "ui/DlgConfig.h"

#include <string>

#include "platform/SerialDevices.h"
#include "text/TextBuild.h"
#include "ui/EditNumber.h"
#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"

namespace vorlant {
namespace {

// Controls usable while a controller is connected, whatever it reported
// ("Advanced settings" has its own rule).
constexpr int kGeneralSet[] = {
    106, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 124, 125, 151, 152, 180,
};

// The controls of one axis's parameters (offsets from the axis base), and
// which of them the controller's short parameter layout (class 2) leaves
// unread: those stay disabled, so the user never edits a field the
// controller did not report. Class 1 reports none of them.
struct ParameterControl {
    int offset;
    bool inShortLayout;
    bool isEdit;  // shown empty when the field was not read
};
constexpr ParameterControl kParameterControls[] = {
    {1, true, false},  {2, true, false},   {3, false, false}, {10, true, false},  {11, true, true},
    {12, true, false}, {13, true, true},   {14, true, false}, {15, true, true},   {20, true, true},
    {30, true, true},  {31, true, true},   {32, true, true},  {33, true, false},  {34, true, false},
    {35, true, false}, {40, true, false},  {41, true, false}, {42, true, false},  {50, false, false},
    {51, false, true}, {52, false, false}, {53, false, true}, {60, false, false},
};

// Capability classes: what the read-out decoded of the parameter block
// (nothing up to class 1).
constexpr int kClassShortLayout = 2;
constexpr int kClassAdvanced = 5;  // "Advanced settings" from here on

struct TrackRange {
    int id;
    int minimum;
    int maximum;
    int start;
};

// Every track bar with its range and start position, in the order they
// are set up.
constexpr TrackRange kTrackRanges[] = {
    {MainId::ManualSpeed, 0, 31, 10},        {MainId::RaMaxSpeedTrack, 0, 39, 0},
    {MainId::DeMaxSpeedTrack, 0, 39, 0},     {MainId::RaAccelerationTrack, 0, 15, 0},
    {MainId::RaDecelerationTrack, 0, 15, 0}, {MainId::DeAccelerationTrack, 0, 15, 0},
    {MainId::DeDecelerationTrack, 0, 15, 0}, {MainId::RaIdleCurrentTrack, 0, 15, 0},
    {MainId::RaTrackCurrentTrack, 0, 15, 0}, {MainId::RaRunCurrentTrack, 0, 15, 0},
    {MainId::DeIdleCurrentTrack, 0, 15, 0},  {MainId::DeTrackCurrentTrack, 0, 15, 0},
    {MainId::DeRunCurrentTrack, 0, 15, 0},   {MainId::RaIdleDecayTrack, 0, 3, 0},
    {MainId::RaTrackDecayTrack, 0, 3, 0},    {MainId::RaRunDecayTrack, 0, 3, 0},
    {MainId::DeIdleDecayTrack, 0, 3, 0},     {MainId::DeTrackDecayTrack, 0, 3, 0},
    {MainId::DeRunDecayTrack, 0, 3, 0},      {MainId::RaOvertoneTrack, -20, 20, 0},
    {MainId::DeOvertoneTrack, -20, 20, 0},   {MainId::RaIncCurrentTrack, 0, 31, 0},
    {MainId::DeIncCurrentTrack, 0, 31, 0},   {MainId::RaGuideRateTrack, 0, 15, 0},
    {MainId::DeGuideRateTrack, 0, 15, 0},
};

// Offsets of an axis control from the axis base (200 for RA, 300 for Dec).
enum AxisControl : int {
    ReverseRotation = 1,
    ReverseGuiding = 2,
    ReverseLimits = 3,
    MaxSpeedTrack = 10,
    MaxSpeedEdit = 11,
    AccelerationTrack = 12,
    AccelerationEdit = 13,
    DecelerationTrack = 14,
    DecelerationEdit = 15,
    MaxCurrentEdit = 20,
    CurrentEdit = 30,   // + channel
    CurrentTrack = 33,  // + channel
    DecayTrack = 40,    // + channel
    OvertoneTrack = 50,
    OvertoneEdit = 51,
    IncCurrentTrack = 52,
    IncCurrentEdit = 53,
    GuideRateTrack = 60,
};

constexpr int kRaBase = 200;
constexpr int kDeBase = kRaBase + kDecIdOffset;

static_assert(sizeof kTrackRanges / sizeof kTrackRanges[0] == DlgConfig::kTrackCount,
              "one entry per track bar");

int trackIndex(int id) {
    for (std::size_t i = 0; i < DlgConfig::kTrackCount; ++i) {
        if (kTrackRanges[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

// Value-to-position conversions for what a report or typed value shows.
int64_t maxSpeedPosition(uint64_t value) {
    return static_cast<int64_t>(value / 30);
}
int64_t accelerationPosition(uint32_t value) {
    return (static_cast<int64_t>(value) + 8) / 16;
}
int64_t incCurrentPosition(uint64_t value) {
    return value < 10 ? 0 : static_cast<int64_t>((value - 10) / 20);
}
int64_t guideRatePosition(uint32_t value) {
    return value == 0 ? 0 : static_cast<int64_t>(value) - 1;
}
// Sixteenths of the axis maximum; the caller makes sure the maximum is not 0.
int64_t currentPosition(uint64_t value, uint32_t maxCurrent) {
    return static_cast<int64_t>(16 * value / maxCurrent);
}

}  // namespace

// One axis's remembered values, so RA and Dec share the handlers.
struct DlgConfig::Axis {
    int base;          // id of the axis's controls minus their offset
    uint8_t selector;  // axis byte of the engine's commands
    uint32_t& maxCurrent;
    uint16_t& maxSpeed;
    uint16_t (&currents)[3];
    uint8_t& acceleration;
    uint8_t& deceleration;
    int16_t& overtone;
    uint16_t& incCurrentAt;
    uint8_t& guideRate;
};

DlgConfig::DlgConfig(iTelescopeControl& engine, AppModel& bridge)
    : engine_(engine), bridge_(bridge), transfer_(engine) {}

DlgConfig::Axis DlgConfig::axis(bool dec) {
    if (dec) {
        return Axis{kDeBase,         kAxisDe,         deMaxCurrent_, deMaxSpeed_,     deCurrents_,
                    deAcceleration_, deDeceleration_, deOvertone_,   deIncCurrentAt_, deGuideRate_};
    }
    return Axis{kRaBase,         kAxisRa,         raMaxCurrent_, raMaxSpeed_,     raCurrents_,
                raAcceleration_, raDeceleration_, raOvertone_,   raIncCurrentAt_, raGuideRate_};
}

void DlgConfig::initDialog(DialogControls& controls, DialogHost& host) {
    controls_ = &controls;
    host_ = &host;

    controls.setBitmap(MainId::MoveNorth, kBitmapArrowUp);
    controls.setBitmap(MainId::MoveSouth, kBitmapArrowDown);
    controls.setBitmap(MainId::MoveEast, kBitmapArrowLeft);
    controls.setBitmap(MainId::MoveWest, kBitmapArrowRight);

    for (std::size_t i = 0; i < kTrackCount; ++i) {
        const TrackRange& t = kTrackRanges[i];
        controls.setTrackRange(t.id, t.minimum, t.maximum);
        // A signed-range track bar is moved off its start and back so it
        // draws its thumb at the centre.
        if (t.minimum < 0) controls.setTrackPos(t.id, 1);
        controls.setTrackPos(t.id, t.start);
        shownPositions_[i] = t.start;
    }

    for (int port = 1; port <= 256; ++port) {
        controls.addComboItem(MainId::PortCombo, "COM" + std::to_string(port));
    }
    controls.setComboSelection(MainId::PortCombo, 0);

    controls.setChecked(MainId::TrackOn, false);
    controls.setChecked(MainId::TrackOff, true);

    setControlsEnabled(false, 0);
    if (!startNote_.empty()) controls.setText(MainId::StatusLine, startNote_);

    // Reports that came before the dialog could be told of them.
    bridge_.deliverAll();
}

void DlgConfig::pollReports() {
    if (controls_ == nullptr) return;
    bridge_.deliverAll();
    finishScan();
    if (traceErrorSource_ && !traceErrorShown_) {
        const std::string why = traceErrorSource_();
        if (!why.empty()) {
            traceErrorShown_ = true;
            controls_->setText(MainId::StatusLine, "Trace stopped: " + why);
        }
    }
}

// ---- Menu commands -------------------------------------------------------

void DlgConfig::menuCommand(int id) {
    if (controls_ == nullptr) return;
    switch (id) {
        case MenuCommandId::FindController:
            findController();
            return;
        case MenuCommandId::ExportSettings:
        case MenuCommandId::ImportSettings:
            transferSettings(id);
            return;
        default:
            return;
    }
}

void DlgConfig::findController() {
    if (scanHost_ == nullptr) return;
    if (search_.running()) {
        controls_->setText(MainId::StatusLine, "Still searching for the controller...");
        return;
    }
    // A transfer opens and closes the port as it goes: a probe must not
    // take it meanwhile.
    if (transfer_.busy()) {
        controls_->setText(MainId::StatusLine, "A settings transfer is still under way.");
        return;
    }
    std::vector<ProbeTarget> targets = scanHost_->probeTargets();
    if (targets.empty()) {
        controls_->setText(MainId::StatusLine, "No serial port to search.");
        return;
    }
    const std::size_t count = targets.size();
    if (!search_.start(std::move(targets), scanHost_->probePortFactory(), ownConnection_)) {
        controls_->setText(MainId::StatusLine, "The search could not be started.");
        return;
    }
    // A connect now would race the probes for the ports (and a disconnect
    // make the list's own port look free); both come back with the result.
    controls_->enable(MainId::Connect, false);
    controls_->enable(MainId::Disconnect, false);
    controls_->setText(MainId::StatusLine, "Searching for the controller on " + std::to_string(count) +
                                               (count == 1 ? " port..." : " ports..."));
}

void DlgConfig::finishScan() {
    std::vector<ProbeReport> reports;
    if (!search_.takeResults(reports)) return;
    // Connect needs an entry in the port list (the Qt list may be empty).
    controls_->enable(MainId::Connect, controls_->comboSelection(MainId::PortCombo) >= 0);
    controls_->enable(MainId::Disconnect, true);
    const ProbeReport* found = firstController(reports);
    const ProbeReport* own = nullptr;
    for (const ProbeReport& r : reports)
        if (r.verdict == ProbeVerdict::OwnConnection) own = &r;
    if (found != nullptr) {
        // Entry i of the port list opens as port number i + 1.
        controls_->setComboSelection(MainId::PortCombo, found->target.portNumber - 1);
        controls_->setChecked(MainId::Baud115200, found->baud == 115200);
        controls_->setText(MainId::StatusLine, "Controller found on " + found->target.label + ".");
    } else if (own != nullptr) {
        controls_->setText(MainId::StatusLine, "No other controller found; this window is connected to " +
                                                   own->target.label + ".");
    } else {
        controls_->setText(MainId::StatusLine, "No controller found.");
    }
    if (scanHost_ != nullptr) scanHost_->showScanResults(scanResultText(reports));
}

void DlgConfig::setControlsEnabled(bool enable, int versionClass) {
    if (controls_ == nullptr) return;
    for (int id : kGeneralSet) controls_->enable(id, enable);
    for (const ParameterControl& p : kParameterControls) {
        const bool read =
            versionClass > kClassShortLayout || (versionClass == kClassShortLayout && p.inShortLayout);
        controls_->enable(kRaBase + p.offset, enable && read);
        controls_->enable(kDeBase + p.offset, enable && read);
    }
    controls_->enable(MainId::AdvancedSettings, enable && versionClass >= kClassAdvanced);
}

void DlgConfig::blankUnreadFields(int versionClass) {
    if (versionClass > kClassShortLayout) return;
    for (const ParameterControl& p : kParameterControls) {
        if (!p.isEdit || (versionClass == kClassShortLayout && p.inShortLayout)) continue;
        controls_->setText(kRaBase + p.offset, "");
        controls_->setText(kDeBase + p.offset, "");
    }
}

// ---- Reports -------------------------------------------------------------

void DlgConfig::showStatus(int32_t code) {
    if (controls_ == nullptr) return;
    const int low = static_cast<int>(static_cast<uint32_t>(code) & 0xFFFFu);
    if (low >= StatusCode::Count) return;
    switch (low) {
        case StatusCode::OpeningPort:
            // A new connection: nothing is known of the controller yet.
            fullReportClass_ = kNoFullReport;
            hasAdvancedJob_ = false;
            break;
        case StatusCode::ConnectionEstablished:
            setControlsEnabled(true, fullReportClass_);
            break;
        case StatusCode::ConnectionClosed:
        case StatusCode::ConnectTimeout:
            // Both leave the port closed.
            setControlsEnabled(false, 0);
            hasAdvancedJob_ = false;
            break;
        case StatusCode::SettingsDone:
            confirmAdvancedJob();
            break;
        default:
            break;
    }
    std::string text = statusTextAscii(low);
    if ((low == StatusCode::CannotOpenPort || low == StatusCode::ConnectionClosed) && portErrorSource_) {
        const platform::PortError error = portErrorSource_();
        // A closed connection says why only when the device went away; a
        // user's Disconnect needs no reason.
        if (low == StatusCode::CannotOpenPort || error == platform::PortError::Gone) {
            // The port tried is the one selected (Connect and the transfers
            // take it from the list).
            const int selection = controls_->comboSelection(MainId::PortCombo);
            const std::string port = low == StatusCode::CannotOpenPort && portNameSource_ && selection >= 0
                                         ? portNameSource_(selection + 1)
                                         : std::string();
            const std::string reason = portErrorReason(error, port);
            if (!reason.empty()) text += (text.back() == '.' ? " " : ". ") + reason;
        }
    }
    controls_->setText(MainId::StatusLine, text);
    ownConnection_.onStatus(code);
    transfer_.onStatus(code);
}

std::string DlgConfig::portErrorReason(platform::PortError error, const std::string& port) {
    return platform::portErrorSentence(error, port);
}

void DlgConfig::showSupplyVoltage(int32_t centivolts) {
    if (controls_ == nullptr) return;
    const uint32_t value = static_cast<uint32_t>(centivolts);
    const uint32_t volts = value / 100;
    const uint32_t hundredths = value % 100;
    std::string text;
    if (volts < 10) text += ' ';
    text += std::to_string(volts);
    text += '.';
    if (hundredths < 10) text += '0';
    text += std::to_string(hundredths);
    text += 'V';
    controls_->setText(MainId::VoltageDisplay, text);
    transfer_.onSupplyVoltage();
}

void DlgConfig::showSettings(const ControllerSettings* settings, int32_t kind) {
    if (controls_ == nullptr || settings == nullptr) return;
    showSettingsReport(*settings, kind);
    // After the controls show it: a transfer may run a modal dialog here.
    transfer_.onSettings(*settings, kind);
}

void DlgConfig::showSettingsReport(const ControllerSettings& s, int32_t kind) {
    switch (kind) {
        case SettingsReportKind::DeviceTooOld:
            controls_->setText(MainId::StatusLine, statusTextAscii(StatusCode::DeviceTooOld));
            showDeviceInfo(s);
            return;
        case SettingsReportKind::GearRatiosChanged:
            showGearRatios(s.raGearRatio, s.deGearRatio);
            return;
        case SettingsReportKind::ReadoutComplete:
            controls_->setText(MainId::StatusLine, statusTextAscii(StatusCode::ConnectionEstablished));
            break;
        case SettingsReportKind::DefaultsReloaded:
            controls_->setText(MainId::StatusLine, statusTextAscii(StatusCode::DefaultsReloaded));
            break;
        default:
            break;
    }
    showFullSettings(s);
}

void DlgConfig::showDeviceInfo(const ControllerSettings& s) {
    controls_->setText(MainId::DeviceInfo, deviceLine(s));
    ownConnection_.onDevice(s);
}

void DlgConfig::showGearRatios(uint32_t ra, uint32_t de) {
    setNumber(MainId::RaGearRatio, ra);
    setNumber(MainId::DeGearRatio, de);
    gearRatios_.raRatio = ra;
    gearRatios_.deRatio = de;
}

void DlgConfig::showFullSettings(const ControllerSettings& s) {
    raMaxCurrent_ = s.raMaxCurrent;
    deMaxCurrent_ = s.deMaxCurrent;
    showDeviceInfo(s);
    showGearRatios(s.raGearRatio, s.deGearRatio);
    controls_->enable(MainId::ChangeGearRatio, true);

    // Speeds: the record's range is 16 bits; the track bar scale is 30.
    raMaxSpeed_ = static_cast<uint16_t>(s.raMaxSpeed);
    setNumber(MainId::RaMaxSpeedEdit, raMaxSpeed_);
    moveTrack(MainId::RaMaxSpeedTrack, maxSpeedPosition(raMaxSpeed_));
    deMaxSpeed_ = static_cast<uint16_t>(s.deMaxSpeed);
    setNumber(MainId::DeMaxSpeedEdit, deMaxSpeed_);
    moveTrack(MainId::DeMaxSpeedTrack, maxSpeedPosition(deMaxSpeed_));

    struct Ramp {
        uint8_t& remembered;
        uint8_t value;
        int edit;
        int track;
    };
    const Ramp ramps[] = {
        {raAcceleration_, s.raAcceleration, MainId::RaAccelerationEdit, MainId::RaAccelerationTrack},
        {raDeceleration_, s.raDeceleration, MainId::RaDecelerationEdit, MainId::RaDecelerationTrack},
        {deAcceleration_, s.deAcceleration, MainId::DeAccelerationEdit, MainId::DeAccelerationTrack},
        {deDeceleration_, s.deDeceleration, MainId::DeDecelerationEdit, MainId::DeDecelerationTrack},
    };
    for (const Ramp& r : ramps) {
        r.remembered = r.value;
        setNumber(r.edit, r.value);
        moveTrack(r.track, accelerationPosition(r.value));
    }

    // One byte on the wire; a record value beyond it is held at 255.
    raGuideRate_ = static_cast<uint8_t>(s.raGuideRate > 255 ? 255 : s.raGuideRate);
    deGuideRate_ = static_cast<uint8_t>(s.deGuideRate > 255 ? 255 : s.deGuideRate);
    moveTrack(MainId::RaGuideRateTrack, guideRatePosition(s.raGuideRate));
    moveTrack(MainId::DeGuideRateTrack, guideRatePosition(s.deGuideRate));

    const uint8_t flags[] = {s.reverseRotation, s.reverseGuiding, s.reverseLimits};
    for (int i = 0; i < 3; ++i) {
        controls_->setChecked(kRaBase + ReverseRotation + i, (flags[i] & 1u) != 0);
        controls_->setChecked(kDeBase + ReverseRotation + i, (flags[i] & 2u) != 0);
    }

    const uint16_t raCurrents[3] = {s.raIdleCurrent, s.raTrackCurrent, s.raRunCurrent};
    showCurrents(axis(false), raCurrents);
    const uint16_t deCurrents[3] = {s.deIdleCurrent, s.deTrackCurrent, s.deRunCurrent};
    showCurrents(axis(true), deCurrents);

    const uint8_t decays[6] = {s.raIdleDecay, s.raTrackDecay, s.raRunDecay,
                               s.deIdleDecay, s.deTrackDecay, s.deRunDecay};
    for (int ch = 0; ch < 3; ++ch) {
        moveTrack(kRaBase + DecayTrack + ch, decays[ch]);
        moveTrack(kDeBase + DecayTrack + ch, decays[3 + ch]);
    }

    raOvertone_ = s.raOvertone;
    setSignedNumber(MainId::RaOvertoneEdit, raOvertone_);
    moveTrack(MainId::RaOvertoneTrack, raOvertone_);
    deOvertone_ = s.deOvertone;
    setSignedNumber(MainId::DeOvertoneEdit, deOvertone_);
    moveTrack(MainId::DeOvertoneTrack, deOvertone_);

    raIncCurrentAt_ = s.raIncCurrentAt;
    setNumber(MainId::RaIncCurrentEdit, raIncCurrentAt_);
    moveTrack(MainId::RaIncCurrentTrack, incCurrentPosition(raIncCurrentAt_));
    deIncCurrentAt_ = s.deIncCurrentAt;
    setNumber(MainId::DeIncCurrentEdit, deIncCurrentAt_);
    moveTrack(MainId::DeIncCurrentTrack, incCurrentPosition(deIncCurrentAt_));

    advancedSettings_.mountType = s.mountType;
    advancedSettings_.latitude = s.latitude;
    advancedSettings_.longitude = s.longitude;
    advancedSettings_.flipHysteresis = s.flipHysteresis;

    fullReportClass_ = s.versionClass;
    blankUnreadFields(s.versionClass);
    setControlsEnabled(true, s.versionClass);
}

void DlgConfig::showCurrents(const Axis& a, const uint16_t (&currents)[3]) {
    setNumber(a.base + MaxCurrentEdit, a.maxCurrent);
    for (int ch = 0; ch < 3; ++ch) {
        a.currents[ch] = currents[ch];
        setNumber(a.base + CurrentEdit + ch, currents[ch]);
        // Without a maximum the track bars have no scale and stay put.
        if (a.maxCurrent != 0)
            moveTrack(a.base + CurrentTrack + ch, currentPosition(currents[ch], a.maxCurrent));
    }
}

// ---- User actions --------------------------------------------------------

void DlgConfig::command(int id) {
    if (controls_ == nullptr) return;
    DialogControls& c = *controls_;
    switch (id) {
        case MainId::Connect: {
            // The list always has a selection; without one there is no port to
            // name (0 would reach the engine as COM256).
            const int selection = c.comboSelection(MainId::PortCombo);
            if (selection < 0) return;
            ownConnection_.connecting(selection + 1);
            engine_.connect(selection + 1, c.isChecked(MainId::Baud115200) ? 115200u : 9600u);
            return;
        }
        case MainId::Disconnect:
            engine_.disconnect();
            return;
        case MainId::MeasureVoltage:
            engine_.measureSupplyVoltage();
            return;
        case MainId::Stop:
            engine_.stopMotion(kDirBoth);
            return;
        case MainId::MoveNorth:
            moveManual(kDirUp);
            return;
        case MainId::MoveSouth:
            moveManual(kDirDown);
            return;
        case MainId::MoveEast:
            moveManual(kDirLeft);
            return;
        case MainId::MoveWest:
            moveManual(kDirRight);
            return;
        case MainId::Sidereal:
            c.setTrackPos(MainId::ManualSpeed, 2);
            return;
        case MainId::Sidereal2x:
            c.setTrackPos(MainId::ManualSpeed, 5);
            return;
        case MainId::TrackOn:
            c.setChecked(MainId::TrackOn, true);
            c.setChecked(MainId::TrackOff, false);
            engine_.setTracking(1);
            return;
        case MainId::TrackOff:
            c.setChecked(MainId::TrackOn, false);
            c.setChecked(MainId::TrackOff, true);
            engine_.setTracking(0);
            return;
        case MainId::ExpOn:
            engine_.setExp(1);
            return;
        case MainId::ExpOff:
            engine_.setExp(0);
            return;
        case MainId::AdvancedSettings: {
            // The dialog edits a copy: the record keeps what the controller
            // confirmed, and changes only when it confirms this job.
            AdvancedSettings edited = advancedSettings_;
            edited.changeMask = 0;
            const int result = host_->showAdvancedSettingsDialog(edited);
            if (result == 1 && edited.changeMask != 0) {
                engine_.applyAdvancedSettings(edited);
                // A new job replaces any exchange still outstanding, an
                // earlier job's included, so the next "Settings done." is
                // this one's.
                advancedJob_ = edited;
                hasAdvancedJob_ = true;
            }
            bridge_.deliverAll();
            return;
        }
        case MainId::ReloadDefaults:
            engine_.reloadDefaults();
            return;
        case MainId::SaveSettings:
            engine_.storeParameters();
            return;
        case MainId::About:
            host_->showAboutDialog();
            bridge_.deliverAll();
            return;
        case MainId::ChangeGearRatio: {
            // A copy again: the shown ratios change with the re-read's report.
            GearRatios edited = gearRatios_;
            if (host_->showGearRatioDialog(edited) == 1)
                engine_.setGearRatios(edited.raRatio, edited.deRatio);
            bridge_.deliverAll();
            return;
        }
        case MainId::RaReverseRotation:
        case MainId::RaReverseGuiding:
        case MainId::RaReverseLimits:
        case MainId::DeReverseRotation:
        case MainId::DeReverseGuiding:
        case MainId::DeReverseLimits:
            sendReverseFlags();
            return;
        case MainId::DefineParkPos:
            engine_.setParkPosition();
            return;
        case MainId::InitScope:  // no action attached
            return;
        default:
            return;
    }
}

void DlgConfig::transferSettings(int id) {
    if (transferHost_ == nullptr) return;
    const int selection = controls_->comboSelection(MainId::PortCombo);
    if (selection < 0) return;
    // A probe holds ports the transfer's connect may need.
    if (search_.running()) {
        controls_->setText(MainId::StatusLine, "Still searching for the controller...");
        return;
    }
    const uint32_t baud = controls_->isChecked(MainId::Baud115200) ? 115200u : 9600u;
    const bool wasBusy = transfer_.busy();
    switch (id) {
        case MenuCommandId::ExportSettings:
            transfer_.startExport(*transferHost_, selection + 1, baud);
            break;
        case MenuCommandId::ImportSettings:
            transfer_.startImport(*transferHost_, selection + 1, baud);
            break;
        default:
            return;
    }
    // The transfer connects to that port (a refused one keeps its own).
    if (!wasBusy && transfer_.busy()) ownConnection_.connecting(selection + 1);
    // Reports held back while the file dialog was open.
    bridge_.deliverAll();
}

bool DlgConfig::closeRequested() {
    if (!transfer_.importSending() || transferHost_ == nullptr) return true;
    const bool stop =
        transferHost_->askYesNo("Stop the import and close? The controller may hold part of the file.");
    // Yes: nothing more goes out, whatever reports still come. No: the
    // import goes on with the reports held back while the question was open.
    if (stop) transfer_.abandon();
    bridge_.deliverAll();
    return stop;
}

void DlgConfig::moveManual(uint8_t direction) {
    const int position = controls_->trackPos(MainId::ManualSpeed);
    engine_.moveManual(direction, static_cast<uint8_t>(position));
}

void DlgConfig::sendReverseFlags() {
    uint8_t flags[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (controls_->isChecked(kRaBase + ReverseRotation + i)) flags[i] |= 1u;
        if (controls_->isChecked(kDeBase + ReverseRotation + i)) flags[i] |= 2u;
    }
    engine_.setReverseFlags(flags[0], flags[1], flags[2]);
}

void DlgConfig::editLostFocus(int id) {
    if (controls_ == nullptr) return;
    bool dec = false;
    if (id >= kDeBase && id < kDeBase + 100) {
        dec = true;
    } else if (id < kRaBase || id >= kRaBase + 100) {
        return;
    }
    Axis a = axis(dec);
    const int control = id - a.base;

    // A typed number outside its wire field is held at the field's nearest
    // end (and the edit shows so); only the low bits would reach the
    // controller otherwise, a value the user never typed.
    switch (control) {
        case MaxSpeedEdit: {
            int64_t read = 0;
            if (!readSetting(id, 0, 0xFFFF, a.maxSpeed, &read)) return;
            const uint16_t value = static_cast<uint16_t>(read);
            if (value == a.maxSpeed) return;
            a.maxSpeed = value;
            moveTrack(a.base + MaxSpeedTrack, maxSpeedPosition(value));
            engine_.setMaxSpeeds(raMaxSpeed_, deMaxSpeed_);
            return;
        }
        case AccelerationEdit:
        case DecelerationEdit: {
            const bool acceleration = control == AccelerationEdit;
            uint8_t& remembered = acceleration ? a.acceleration : a.deceleration;
            int64_t read = 0;
            if (!readSetting(id, 0, 0xFF, remembered, &read)) return;
            const uint8_t value = static_cast<uint8_t>(read);
            if (value == remembered) return;
            remembered = value;
            moveTrack(id - 1, accelerationPosition(value));
            if (acceleration) {
                engine_.setAccelerations(raAcceleration_, deAcceleration_);
            } else {
                engine_.setDecelerations(raDeceleration_, deDeceleration_);
            }
            return;
        }
        case CurrentEdit:
        case CurrentEdit + 1:
        case CurrentEdit + 2: {
            const int ch = control - CurrentEdit;
            int64_t read = 0;
            if (!readSetting(id, 0, 0xFFFF, a.currents[ch], &read)) return;
            const uint16_t value = static_cast<uint16_t>(read);
            // The track bar follows the typed value even when it is unchanged.
            if (a.maxCurrent != 0)
                moveTrack(a.base + CurrentTrack + ch, currentPosition(value, a.maxCurrent));
            if (value == a.currents[ch]) return;
            a.currents[ch] = value;
            engine_.setCurrent(static_cast<uint8_t>(a.selector + ch), value);
            return;
        }
        case OvertoneEdit: {
            // One signed byte on the wire.
            int64_t read = 0;
            if (!readSetting(id, -128, 127, a.overtone, &read)) return;
            const int16_t value = static_cast<int16_t>(read);
            if (value == a.overtone) return;
            a.overtone = value;
            moveTrack(a.base + OvertoneTrack, value);
            engine_.setOvertone(a.selector, static_cast<uint8_t>(value & 0xFF));
            return;
        }
        case IncCurrentEdit: {
            int64_t read = 0;
            if (!readSetting(id, 0, 0xFFFF, a.incCurrentAt, &read)) return;
            const uint16_t value = static_cast<uint16_t>(read);
            if (value == a.incCurrentAt) return;
            a.incCurrentAt = value;
            moveTrack(a.base + IncCurrentTrack, incCurrentPosition(value));
            engine_.setIncCurrentAt(a.selector, value, value);
            return;
        }
        default:
            return;
    }
}

void DlgConfig::trackBarReleased(int trackBarId) {
    if (controls_ == nullptr) return;
    DialogControls& c = *controls_;

    bool dec = false;
    if (trackBarId >= kDeBase && trackBarId < kDeBase + 100) {
        dec = true;
    } else if (trackBarId < kRaBase || trackBarId >= kRaBase + 100) {
        return;  // the manual speed bar sends nothing
    }
    Axis a = axis(dec);
    const int control = trackBarId - a.base;
    const int position = c.trackPos(trackBarId);

    // No bar can show every value of its setting (a guide rate of 0 or 255,
    // a decay above 3, a speed between two steps), so a release where the
    // bar was put (by a report, a typed value or the last release) sends
    // nothing: a click on the thumb must not rewrite the controller's
    // setting.
    const int index = trackIndex(trackBarId);
    if (index < 0) return;
    if (position == shownPositions_[index]) return;
    shownPositions_[index] = position;

    switch (control) {
        case DecayTrack:
        case DecayTrack + 1:
        case DecayTrack + 2:
            engine_.setDecay(static_cast<uint8_t>(a.selector + (control - DecayTrack)),
                             static_cast<uint8_t>(position));
            return;
        case GuideRateTrack:
            // The other axis keeps the rate it has, not one read off its bar.
            a.guideRate = static_cast<uint8_t>(position + 1);
            engine_.setGuideRates(raGuideRate_, deGuideRate_);
            return;
        case MaxSpeedTrack: {
            const int edit = a.base + MaxSpeedEdit;
            setNumber(edit, static_cast<uint32_t>(1200 * (position + 1) / 40));
            const uint16_t value = static_cast<uint16_t>(editUnsigned(c.text(edit)));
            if (value == a.maxSpeed) return;
            a.maxSpeed = value;
            engine_.setMaxSpeeds(raMaxSpeed_, deMaxSpeed_);
            return;
        }
        case AccelerationTrack:
        case DecelerationTrack: {
            // The other axis's value is the one it has, not one read off its bar.
            const bool acceleration = control == AccelerationTrack;
            uint8_t& remembered = acceleration ? a.acceleration : a.deceleration;
            const uint8_t value = static_cast<uint8_t>(16 * position);
            if (value == remembered) return;
            remembered = value;
            setNumber(trackBarId + 1, value);
            if (acceleration) {
                engine_.setAccelerations(raAcceleration_, deAcceleration_);
            } else {
                engine_.setDecelerations(raDeceleration_, deDeceleration_);
            }
            return;
        }
        case CurrentTrack:
        case CurrentTrack + 1:
        case CurrentTrack + 2: {
            // Without a maximum current the track bar has no scale and would
            // only ever yield 0 mA; it sends nothing then.
            if (a.maxCurrent == 0) return;
            const int ch = control - CurrentTrack;
            const int edit = a.base + CurrentEdit + ch;
            const uint64_t scaled =
                static_cast<uint64_t>(a.maxCurrent) * static_cast<uint64_t>(position + 1) / 16;
            setNumber(edit, static_cast<uint32_t>(scaled));
            const uint16_t value = static_cast<uint16_t>(editUnsigned(c.text(edit)));
            if (value == a.currents[ch]) return;
            a.currents[ch] = value;
            engine_.setCurrent(static_cast<uint8_t>(a.selector + ch), value);
            return;
        }
        case OvertoneTrack: {
            const int16_t value = static_cast<int16_t>(position);
            if (value == a.overtone) return;
            a.overtone = value;
            setSignedNumber(a.base + OvertoneEdit, value);
            engine_.setOvertone(a.selector, static_cast<uint8_t>(value & 0xFF));
            return;
        }
        case IncCurrentTrack: {
            const uint16_t value = static_cast<uint16_t>(20 * position + 20);
            if (value == a.incCurrentAt) return;
            a.incCurrentAt = value;
            setNumber(a.base + IncCurrentEdit, value);
            engine_.setIncCurrentAt(a.selector, value, value);
            return;
        }
        default:
            return;
    }
}

void DlgConfig::confirmAdvancedJob() {
    if (!hasAdvancedJob_) return;
    hasAdvancedJob_ = false;
    const AdvancedSettings& job = advancedJob_;
    // Only the fields that job sent; the rest keep what the controller has.
    if (job.changeMask & kChangeLatitude) advancedSettings_.latitude = job.latitude;
    if (job.changeMask & kChangeLongitude) advancedSettings_.longitude = job.longitude;
    if (job.changeMask & kChangeMountType) advancedSettings_.mountType = job.mountType;
    if (job.changeMask & kChangeHysteresis) advancedSettings_.flipHysteresis = job.flipHysteresis;
}

// ---- Helpers ---------------------------------------------------------------

bool DlgConfig::readSetting(int id, int64_t minimum, int64_t maximum, int64_t remembered, int64_t* value) {
    switch (readEditClamped(controls_->text(id), minimum, maximum, value)) {
        case EditReading::Clamped:
            controls_->setText(id, std::to_string(*value));
            return true;
        case EditReading::Unreadable:
            // Sending 0 for it would leave the edit showing one thing and the
            // controller holding another.
            controls_->setText(id, std::to_string(remembered));
            return false;
        case EditReading::InRange:
            break;
    }
    return true;
}

void DlgConfig::moveTrack(int id, int64_t position) {
    // Kept within the bar's range here, so no front has to rely on its
    // control clamping (and huge typed values never overflow an int).
    const int index = trackIndex(id);
    if (index < 0) return;
    const TrackRange& t = kTrackRanges[index];
    if (position < t.minimum) position = t.minimum;
    if (position > t.maximum) position = t.maximum;
    controls_->setTrackPos(id, static_cast<int>(position));
    shownPositions_[index] = static_cast<int>(position);
}

void DlgConfig::setNumber(int id, uint32_t value) {
    controls_->setText(id, std::to_string(value));
}

void DlgConfig::setSignedNumber(int id, int32_t value) {
    controls_->setText(id, std::to_string(value));
}

}  // namespace vorlant
