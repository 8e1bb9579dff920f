#include "ui/DlgConfig.h"

#include <string>

#include "backup/ChangePlan.h"
#include "engine/ClassRules.h"
#include "engine/SettingsFields.h"
#include "platform/SerialDevices.h"
#include "text/TextBuild.h"
#include "ui/EditNumber.h"
#include "ui/FieldControls.h"
#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"
#include "ui/TrackScales.h"

namespace vorlant {
namespace {

// Controls usable while a controller is connected, whatever it reported
// ("Advanced settings" has its own rule).
constexpr int kGeneralSet[] = {
    106, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 124, 125, 151, 152, 180,
};

// The manual speed bar, the one bar no field owns: it sends nothing and
// is read when a direction button is clicked.
constexpr TrackRange kManualSpeedRange = {0, 31};
constexpr int kManualSpeedStart = 10;

// The bars that write their value into the edit and take it back as the
// edit reads it, changed or not; the others write the edit only when the
// value changed.
bool barWritesEditFirst(TrackScale scale) {
    return scale == TrackScale::MaxSpeed || scale == TrackScale::Current;
}

}  // namespace

// One remembered value, whatever its width; none for a field the dialog
// does not remember (the decays, the reverse flags).
struct DlgConfig::Remembered {
    uint8_t* u8 = nullptr;
    int16_t* s16 = nullptr;
    uint16_t* u16 = nullptr;
    uint32_t* u32 = nullptr;

    bool none() const { return u8 == nullptr && s16 == nullptr && u16 == nullptr && u32 == nullptr; }
    int64_t get() const {
        if (u8 != nullptr) return *u8;
        if (s16 != nullptr) return *s16;
        if (u16 != nullptr) return *u16;
        if (u32 != nullptr) return *u32;
        return 0;
    }
    // Keeps the low bits that fit, as the value's wire field would.
    void set(int64_t value) const {
        if (u8 != nullptr) *u8 = static_cast<uint8_t>(value);
        if (s16 != nullptr) *s16 = static_cast<int16_t>(value);
        if (u16 != nullptr) *u16 = static_cast<uint16_t>(value);
        if (u32 != nullptr) *u32 = static_cast<uint32_t>(value);
    }
};

DlgConfig::DlgConfig(iTelescopeControl& engine, AppModel& bridge)
    : engine_(engine), bridge_(bridge), transfer_(engine, bridge, scan_) {}

DlgConfig::Remembered DlgConfig::remembered(const SettingsField& f) {
    const bool dec = onDecAxis(f);
    Remembered r;
    switch (f.scale) {
        case TrackScale::MaxSpeed:
            r.u16 = dec ? &deMaxSpeed_ : &raMaxSpeed_;
            break;
        case TrackScale::Ramp:
            if (f.writer == FieldWriter::Accelerations) {
                r.u8 = dec ? &deAcceleration_ : &raAcceleration_;
            } else {
                r.u8 = dec ? &deDeceleration_ : &raDeceleration_;
            }
            break;
        case TrackScale::Current:
            r.u16 = &(dec ? deCurrents_ : raCurrents_)[(f.selector - (dec ? kAxisDe : kAxisRa)) % 3];
            break;
        case TrackScale::Overtone:
            r.s16 = dec ? &deOvertone_ : &raOvertone_;
            break;
        case TrackScale::IncCurrent:
            r.u16 = dec ? &deIncCurrentAt_ : &raIncCurrentAt_;
            break;
        case TrackScale::GuideRate:
            r.u8 = dec ? &deGuideRate_ : &raGuideRate_;
            break;
        case TrackScale::None:
            // The one read-only edit of an axis group: the maximum current,
            // the full scale of the axis's current bars.
            if (f.edit != 0 && !isWritable(f)) r.u32 = dec ? &deMaxCurrent_ : &raMaxCurrent_;
            break;
        case TrackScale::Decay:
            break;
    }
    return r;
}

uint32_t DlgConfig::maxCurrent(const SettingsField& f) const {
    return onDecAxis(f) ? deMaxCurrent_ : raMaxCurrent_;
}

void DlgConfig::initDialog(DialogControls& controls, DialogHost& host) {
    controls_ = &controls;
    host_ = &host;

    controls.setBitmap(MainId::MoveNorth, kBitmapArrowUp);
    controls.setBitmap(MainId::MoveSouth, kBitmapArrowDown);
    controls.setBitmap(MainId::MoveEast, kBitmapArrowLeft);
    controls.setBitmap(MainId::MoveWest, kBitmapArrowRight);

    controls.setTrackRange(MainId::ManualSpeed, kManualSpeedRange.minimum, kManualSpeedRange.maximum);
    controls.setTrackPos(MainId::ManualSpeed, kManualSpeedStart);
    shownPositions_.clear();
    forEachAxisField([&](const SettingsField& f) {
        if (f.track == 0) return;
        const TrackRange range = trackRange(f.scale);
        controls.setTrackRange(f.track, range.minimum, range.maximum);
        // A signed-range track bar is moved off its start and back so it
        // draws its thumb at the centre.
        if (range.minimum < 0) controls.setTrackPos(f.track, 1);
        controls.setTrackPos(f.track, 0);
        shownPositions_[f.track] = 0;
    });

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
    scan_.finishScan(*controls_);
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
            scan_.findController(*controls_, transfer_.busy());
            return;
        case MenuCommandId::ExportSettings:
        case MenuCommandId::ImportSettings:
            transfer_.transferSettings(*controls_, id);
            return;
        default:
            return;
    }
}

void DlgConfig::setControlsEnabled(bool enable, int versionClass) {
    if (controls_ == nullptr) return;
    for (int id : kGeneralSet) controls_->enable(id, enable);
    // A field's controls only where the controller's read-out decoded it,
    // so the user never edits a field the controller did not report.
    forEachAxisField([&](const SettingsField& f) {
        const bool on = enable && readsField(f, versionClass);
        for (int id : {int{f.edit}, int{f.track}, int{f.check}})
            if (id != 0) controls_->enable(id, on);
        if (f.check != 0) controls_->enable(f.check + kDecIdOffset, on);
    });
    controls_->enable(MainId::AdvancedSettings, enable && hasAdvancedSettings(versionClass));
}

void DlgConfig::blankUnreadFields(int versionClass) {
    forEachAxisField([&](const SettingsField& f) {
        if (f.edit != 0 && !readsField(f, versionClass)) controls_->setText(f.edit, "");
    });
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
    scan_.onStatus(code);
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
            showGearRatios(s);
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
    scan_.onDevice(s);
}

void DlgConfig::showGearRatios(const ControllerSettings& s) {
    // The two displays, and the copy the gear ratio dialog edits.
    std::size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (std::size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (f.writer != FieldWriter::GearRatios || f.edit == 0) continue;
        const uint32_t ratio = static_cast<uint32_t>(f.get(s));
        setNumber(f.edit, ratio);
        (f.selector == kAxisDe ? gearRatios_.deRatio : gearRatios_.raRatio) = ratio;
    }
}

void DlgConfig::showFullSettings(const ControllerSettings& s) {
    showDeviceInfo(s);
    showGearRatios(s);
    controls_->enable(MainId::ChangeGearRatio, true);

    // In record order, so each axis's maximum current is remembered before
    // its current bars are scaled by it.
    forEachAxisField([&](const SettingsField& f) { showField(f, f.get(s)); });

    advancedSettings_.mountType = s.mountType;
    advancedSettings_.latitude = s.latitude;
    advancedSettings_.longitude = s.longitude;
    advancedSettings_.flipHysteresis = s.flipHysteresis;

    fullReportClass_ = s.versionClass;
    blankUnreadFields(s.versionClass);
    setControlsEnabled(true, s.versionClass);
}

void DlgConfig::showField(const SettingsField& f, int64_t value) {
    if (f.check != 0) {
        // One byte for both axes: bit 0 the RA box, bit 1 the Dec box.
        controls_->setChecked(f.check, (value & 1) != 0);
        controls_->setChecked(f.check + kDecIdOffset, (value & 2) != 0);
        return;
    }
    const Remembered r = remembered(f);
    if (f.scale == TrackScale::GuideRate) {
        // One byte on the wire; a record value beyond it is held at 255.
        r.set(value > 255 ? 255 : value);
    } else if (!r.none()) {
        r.set(value);
        value = r.get();
    }
    if (f.edit != 0) controls_->setText(f.edit, std::to_string(value));
    if (f.track == 0) return;
    // Without a maximum the current bars have no scale and stay put.
    if (f.scale == TrackScale::Current && maxCurrent(f) == 0) return;
    moveTrack(f.track, trackPosition(f.scale, value, maxCurrent(f)));
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
            scan_.connecting(selection + 1);
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

void DlgConfig::moveManual(uint8_t direction) {
    const int position = controls_->trackPos(MainId::ManualSpeed);
    engine_.moveManual(direction, static_cast<uint8_t>(position));
}

void DlgConfig::sendReverseFlags() {
    uint8_t flags[3] = {0, 0, 0};
    forEachAxisField([&](const SettingsField& f) {
        if (f.check == 0 || f.selector >= 3) return;
        if (controls_->isChecked(f.check)) flags[f.selector] |= 1u;
        if (controls_->isChecked(f.check + kDecIdOffset)) flags[f.selector] |= 2u;
    });
    engine_.setReverseFlags(flags[0], flags[1], flags[2]);
}

void DlgConfig::sendField(const SettingsField& f, int64_t value) {
    // The same call an import makes for the field (backup::postCommand).
    backup::PlannedCommand c;
    c.writer = f.writer;
    c.selector = static_cast<uint8_t>(f.selector);
    switch (f.writer) {
        // The paired writers send the other axis's remembered value, not
        // one read off its controls.
        case FieldWriter::MaxSpeeds:
            c.first = raMaxSpeed_;
            c.second = deMaxSpeed_;
            break;
        case FieldWriter::Accelerations:
            c.first = raAcceleration_;
            c.second = deAcceleration_;
            break;
        case FieldWriter::Decelerations:
            c.first = raDeceleration_;
            c.second = deDeceleration_;
            break;
        case FieldWriter::GuideRates:
            c.first = raGuideRate_;
            c.second = deGuideRate_;
            break;
        case FieldWriter::IncCurrentAt:
            // The aux value goes along equal to the threshold.
            c.first = static_cast<uint32_t>(value);
            c.second = static_cast<uint32_t>(value);
            break;
        case FieldWriter::Current:
        case FieldWriter::Decay:
        case FieldWriter::Overtone:
            // The signed overtone travels as its low byte.
            c.first = static_cast<uint32_t>(value);
            break;
        default:
            // Gear ratios, reverse flags and the advanced settings have
            // dialogs and handlers of their own.
            return;
    }
    backup::postCommand(engine_, c);
}

void DlgConfig::editLostFocus(int id) {
    if (controls_ == nullptr) return;
    const SettingsField* field = axisFieldWithEdit(id);
    if (field == nullptr || !isWritable(*field)) return;
    const SettingsField& f = *field;
    const Remembered r = remembered(f);

    // A typed number outside its wire field is held at the field's nearest
    // end (and the edit shows so); only the low bits would reach the
    // controller otherwise, a value the user never typed.
    int64_t value = 0;
    if (!readSetting(id, f.writeMin, f.writeMax, r.get(), &value)) return;
    const uint32_t scale = maxCurrent(f);
    if (f.scale == TrackScale::Current) {
        // The track bar follows the typed value even when it is unchanged.
        if (scale != 0) moveTrack(f.track, trackPosition(f.scale, value, scale));
    }
    if (value == r.get()) return;
    r.set(value);
    if (f.scale != TrackScale::Current) moveTrack(f.track, trackPosition(f.scale, value, scale));
    sendField(f, value);
}

void DlgConfig::trackBarReleased(int trackBarId) {
    if (controls_ == nullptr) return;
    // The manual speed bar sends nothing.
    const SettingsField* field = axisFieldWithTrack(trackBarId);
    if (field == nullptr) return;
    const SettingsField& f = *field;
    const int position = controls_->trackPos(trackBarId);

    // No bar can show every value of its setting (a guide rate of 0 or 255,
    // a decay above 3, a speed between two steps), so a release where the
    // bar was put (by a report, a typed value or the last release) sends
    // nothing: a click on the thumb must not rewrite the controller's
    // setting.
    const auto shown = shownPositions_.find(trackBarId);
    if (shown == shownPositions_.end()) return;
    if (position == shown->second) return;
    shown->second = position;

    // Without a maximum current the track bar has no scale and would only
    // ever yield 0 mA; it sends nothing then.
    const uint32_t scale = maxCurrent(f);
    if (f.scale == TrackScale::Current && scale == 0) return;
    int64_t value = trackValue(f.scale, position, scale);
    const Remembered r = remembered(f);
    if (r.none() || f.scale == TrackScale::GuideRate) {
        // Sent at every move (the other axis keeps the rate it has).
        r.set(value);
        sendField(f, value);
        return;
    }
    if (barWritesEditFirst(f.scale)) {
        controls_->setText(f.edit, std::to_string(value));
        value = editUnsigned(controls_->text(f.edit));
    }
    const int64_t before = r.get();
    r.set(value);
    value = r.get();
    if (value == before) return;
    if (!barWritesEditFirst(f.scale)) controls_->setText(f.edit, std::to_string(value));
    sendField(f, value);
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
    const SettingsField* f = axisFieldWithTrack(id);
    if (f == nullptr) return;
    const TrackRange range = trackRange(f->scale);
    if (position < range.minimum) position = range.minimum;
    if (position > range.maximum) position = range.maximum;
    controls_->setTrackPos(id, static_cast<int>(position));
    shownPositions_[id] = static_cast<int>(position);
}

void DlgConfig::setNumber(int id, uint32_t value) {
    controls_->setText(id, std::to_string(value));
}

}  // namespace vorlant
