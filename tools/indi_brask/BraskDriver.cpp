#include "tools/indi_brask/BraskDriver.h"

#include <libindi/indidevapi.h>
#include <libindi/indidriver.h>

#include <cmath>
#include <cstring>

#include "backup/ChangePlan.h"
#include "engine/ClassRules.h"
#include "platform/SerialPort.h"
#include "text/VersionText.h"
#include "tools/indi_brask/SiteUnits.h"

namespace vorlant::indi {

namespace {

// The port number the engine opens; its device is the DEVICE_PORT text.
constexpr int kPortNumber = 1;
constexpr uint32_t kBauds[2] = {9600, 115200};

constexpr const char* kNotConnectedYet = "Error: Not connected yet";

std::string statusString(int code) {
    return statusTextAscii(code);
}

std::string dotted(uint32_t v) {
    return dottedVersion(v);
}

bool sameName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace

void BraskDriver::Handle::set(IPState state, const std::string& message) const {
    const char* text = message.empty() ? nullptr : message.c_str();
    if (number != nullptr) {
        number->s = state;
        if (text)
            IDSetNumber(number, "%s", text);
        else
            IDSetNumber(number, nullptr);
    } else if (toggle != nullptr) {
        toggle->s = state;
        if (text)
            IDSetSwitch(toggle, "%s", text);
        else
            IDSetSwitch(toggle, nullptr);
    }
}

BraskDriver::Handle BraskDriver::FieldSlot::handle() {
    Handle h;
    if (info->bit < 0)
        h.number = &numberVector;
    else
        h.toggle = &toggleVector;
    return h;
}

BraskDriver::BraskDriver() {
    const char* dev = kDeviceName;
    IUFillSwitch(&connectionSwitches_[0], "CONNECT", "Connect", ISS_OFF);
    IUFillSwitch(&connectionSwitches_[1], "DISCONNECT", "Disconnect", ISS_ON);
    IUFillSwitchVector(&connection_, connectionSwitches_, 2, dev, "CONNECTION", "Connection",
                       group::kConnection, IP_RW, ISR_1OFMANY, 60, IPS_IDLE);
    IUFillText(&portText_[0], "PORT", "Port", "/dev/ttyUSB0");
    IUFillTextVector(&port_, portText_, 1, dev, "DEVICE_PORT", "Ports", group::kConnection, IP_RW, 60,
                     IPS_IDLE);
    IUFillSwitch(&baudSwitches_[0], "9600", "9600", ISS_ON);
    IUFillSwitch(&baudSwitches_[1], "115200", "115200 Baud", ISS_OFF);
    IUFillSwitchVector(&baud_, baudSwitches_, 2, dev, "DEVICE_BAUD_RATE", "Baud Rate", group::kConnection,
                       IP_RW, ISR_1OFMANY, 60, IPS_IDLE);
    IUFillText(&infoTexts_[0], "DRIVER_NAME", "Name", "Kelvane Brask");
    IUFillText(&infoTexts_[1], "DRIVER_EXEC", "Exec", "indi_brask");
    IUFillText(&infoTexts_[2], "DRIVER_VERSION", "Version", VORLANT_VERSION);
    // The telescope interface bit of INDI's driver interface mask.
    IUFillText(&infoTexts_[3], "DRIVER_INTERFACE", "Interface", "1");
    IUFillTextVector(&info_, infoTexts_, 4, dev, "DRIVER_INFO", "Driver Info", group::kConnection, IP_RO, 60,
                     IPS_IDLE);
    IUFillText(&statusTexts_[0], "TEXT", "Status", statusTextAscii(StatusCode::NotConnected));
    IUFillTextVector(&status_, statusTexts_, 1, dev, "STATUS", "Status", group::kConnection, IP_RO, 60,
                     IPS_IDLE);

    IUFillText(&versionTexts_[0], "HARDWARE", "Hardware", "");
    IUFillText(&versionTexts_[1], "FIRMWARE", "Firmware", "");
    IUFillTextVector(&versions_, versionTexts_, 2, dev, "VERSIONS", "Versions", group::kIdentification, IP_RO,
                     60, IPS_IDLE);

    size_t count = 0;
    const FieldProperty* table = fieldProperties(count);
    fields_.resize(count);  // never resized again: the INDI vectors point into it
    for (size_t i = 0; i < count; ++i) {
        FieldSlot& slot = fields_[i];
        slot.info = &table[i];
        const SettingsField& f = *slot.info->field;
        if (slot.info->bit < 0) {
            const bool writable = isWritable(f);
            IUFillNumber(&slot.number, kValueElement, slot.info->label.c_str(), "%.0f",
                         static_cast<double>(writable ? f.writeMin : f.typeMin),
                         static_cast<double>(writable ? f.writeMax : f.typeMax), 1, 0);
            IUFillNumberVector(&slot.numberVector, &slot.number, 1, dev, slot.info->property.c_str(),
                               slot.info->label.c_str(), slot.info->group, IP_RO, 60, IPS_IDLE);
        } else {
            IUFillSwitch(&slot.toggle, kReverseElement, slot.info->label.c_str(), ISS_OFF);
            IUFillSwitchVector(&slot.toggleVector, &slot.toggle, 1, dev, slot.info->property.c_str(),
                               slot.info->label.c_str(), slot.info->group, IP_RO, ISR_NOFMANY, 60, IPS_IDLE);
        }
    }

    IUFillNumber(&siteNumbers_[0], "LAT", "Latitude (deg)", "%012.8m", -90, 90, 0, 0);
    IUFillNumber(&siteNumbers_[1], "LONG", "Longitude (deg, east)", "%012.8m", 0, 360, 0, 0);
    IUFillNumber(&siteNumbers_[2], "ELEV", "Elevation (m)", "%g", 0, 0, 0, 0);
    IUFillNumberVector(&site_, siteNumbers_, 3, dev, "GEOGRAPHIC_COORD", "Geographic position", group::kSite,
                       IP_RW, 60, IPS_IDLE);

    IUFillNumber(&speedNumbers_[0], "SPEED", "Speed", "%.0f", 0, 31, 1, speed_);
    IUFillNumberVector(&speedProperty_, speedNumbers_, 1, dev, "MOTION_SPEED", "Manual speed",
                       group::kActions, IP_RW, 60, IPS_IDLE);
    IUFillSwitch(&nsSwitches_[0], "MOTION_NORTH", "N", ISS_OFF);
    IUFillSwitch(&nsSwitches_[1], "MOTION_SOUTH", "S", ISS_OFF);
    IUFillSwitchVector(&ns_, nsSwitches_, 2, dev, "TELESCOPE_MOTION_NS", "Motion N/S", group::kActions, IP_RW,
                       ISR_ATMOST1, 60, IPS_IDLE);
    IUFillSwitch(&weSwitches_[0], "MOTION_WEST", "W", ISS_OFF);
    IUFillSwitch(&weSwitches_[1], "MOTION_EAST", "E", ISS_OFF);
    IUFillSwitchVector(&we_, weSwitches_, 2, dev, "TELESCOPE_MOTION_WE", "Motion W/E", group::kActions, IP_RW,
                       ISR_ATMOST1, 60, IPS_IDLE);
    IUFillSwitch(&abortSwitches_[0], "ABORT", "Stop", ISS_OFF);
    IUFillSwitchVector(&abort_, abortSwitches_, 1, dev, "TELESCOPE_ABORT_MOTION", "Stop", group::kActions,
                       IP_RW, ISR_ATMOST1, 60, IPS_IDLE);
    IUFillSwitch(&trackSwitches_[0], "TRACK_ON", "Track on", ISS_OFF);
    IUFillSwitch(&trackSwitches_[1], "TRACK_OFF", "Track off", ISS_ON);
    IUFillSwitchVector(&track_, trackSwitches_, 2, dev, "TELESCOPE_TRACK_STATE", "Tracking", group::kActions,
                       IP_RW, ISR_1OFMANY, 60, IPS_IDLE);
    IUFillSwitch(&expSwitches_[0], "EXP_ON", "Exp on", ISS_OFF);
    IUFillSwitch(&expSwitches_[1], "EXP_OFF", "Exp off", ISS_OFF);
    IUFillSwitchVector(&exp_, expSwitches_, 2, dev, "EXP_OUTPUT", "Exp", group::kActions, IP_RW, ISR_ATMOST1,
                       60, IPS_IDLE);
    IUFillSwitch(&storeSwitches_[0], "STORE", "Save settings into Brask", ISS_OFF);
    IUFillSwitchVector(&store_, storeSwitches_, 1, dev, "STORE_SETTINGS", "Save settings into Brask",
                       group::kActions, IP_RW, ISR_ATMOST1, 60, IPS_IDLE);
    IUFillSwitch(&defaultsSwitches_[0], "RELOAD", "Reload defaults", ISS_OFF);
    IUFillSwitchVector(&defaults_, defaultsSwitches_, 1, dev, "RELOAD_DEFAULTS", "Reload defaults",
                       group::kActions, IP_RW, ISR_ATMOST1, 60, IPS_IDLE);
    IUFillSwitch(&parkSwitches_[0], "DEFINE", "Define park pos", ISS_OFF);
    IUFillSwitchVector(&park_, parkSwitches_, 1, dev, "PARK_POSITION", "Define park pos", group::kActions,
                       IP_RW, ISR_ATMOST1, 60, IPS_IDLE);
    IUFillSwitch(&measureSwitches_[0], "MEASURE", "Measure supply voltage:", ISS_OFF);
    IUFillSwitchVector(&measure_, measureSwitches_, 1, dev, "MEASURE_VOLTAGE",
                       "Measure supply voltage:", group::kActions, IP_RW, ISR_ATMOST1, 60, IPS_IDLE);
    IUFillNumber(&voltageNumbers_[0], "VOLTAGE", "Supply voltage (V)", "%.2f", 0, 655.35, 0, 0);
    IUFillNumberVector(&voltage_, voltageNumbers_, 1, dev, "SUPPLY_VOLTAGE", "Supply voltage",
                       group::kActions, IP_RO, 60, IPS_IDLE);

    if (reports_.open()) IEAddCallback(reports_.descriptor(), &BraskDriver::wakeEntry, this);
    engine_ = std::make_unique<TelescopeControl>(&reports_);
    heartBeat_.setListener(engine_.get());
    heartBeat_.start();
}

BraskDriver::~BraskDriver() {
    heartBeat_.stop();
    heartBeat_.clearListener();
    engine_.reset();
}

// ----- reports -------------------------------------------------------------

void BraskDriver::wakeEntry(int, void* self) {
    static_cast<BraskDriver*>(self)->takeReports();
}

void BraskDriver::takeReports() {
    for (const EngineReport& r : reports_.take()) {
        switch (r.what) {
            case EngineReport::What::Status:
                onStatus(r.value);
                break;
            case EngineReport::What::Settings:
                onSettings(r.settings, r.value);
                break;
            case EngineReport::What::Voltage:
                onVoltage(r.value);
                break;
        }
    }
}

void BraskDriver::onStatus(int code) {
    std::string text = statusString(code);
    switch (code) {
        case StatusCode::ConnectionClosed: {
            const bool gone = engine_->lastPortError() == platform::PortError::Gone;
            if (gone) text += ". The device was disconnected.";
            showStatusText(text);
            if (tooOld_) {
                tooOld_ = false;
                linkClosed(statusString(StatusCode::DeviceTooOld), IPS_ALERT);
            } else {
                linkClosed(gone ? "The device was disconnected." : text, gone ? IPS_ALERT : IPS_IDLE);
            }
            return;
        }
        case StatusCode::CannotOpenPort: {
            const platform::PortError error = engine_->lastPortError();
            if (error != platform::PortError::None)
                text += std::string(" (") + platform::portErrorText(error) + ")";
            showStatusText(text);
            linkClosed(text, IPS_ALERT);
            return;
        }
        case StatusCode::ConnectTimeout:
        case StatusCode::IncompatibleDevice:
            showStatusText(text);
            // The engine closes the port itself; a ConnectionClosed may or
            // may not follow, so the switch goes back now.
            linkClosed(text, IPS_ALERT);
            return;
        case StatusCode::AlreadyConnected:
            showStatusText(text);
            return;
        case StatusCode::NotConnectedYet:
            showStatusText(text);
            if (disconnecting_) {
                linkClosed(statusString(StatusCode::ConnectionClosed), IPS_IDLE);
            } else if (lastWrite_) {
                lastWrite_.set(IPS_ALERT, text);
            }
            return;
        case StatusCode::CommunicationError:
            showStatusText(text);
            if (stoppingToClose_) return closeAfterStop();
            if (await_ != Await::None) {
                finishExchange(await_, IPS_ALERT, text);
            } else if (lastWrite_) {
                lastWrite_.set(IPS_ALERT, text);
            }
            return;
        case StatusCode::ParkingUnsupported:
            showStatusText(text);
            finishExchange(Await::Park, IPS_ALERT, text);
            return;
        case StatusCode::ParkPositionSet:
            showStatusText(text);
            finishExchange(Await::Park, IPS_OK, text);
            return;
        case StatusCode::ParametersStored:
            showStatusText(text);
            finishExchange(Await::Store, IPS_OK, text);
            return;
        case StatusCode::SettingsDone:
            showStatusText(text);
            finishExchange(Await::Advanced, IPS_OK, text);
            return;
        default:
            showStatusText(text);
            return;
    }
}

void BraskDriver::onSettings(const ControllerSettings& s, int kind) {
    switch (kind) {
        case SettingsReportKind::ReadoutComplete:
        case SettingsReportKind::DefaultsReloaded: {
            const bool first = !linkUp_;
            shown_ = s;
            linkUp_ = true;
            connecting_ = false;
            const int code = kind == SettingsReportKind::ReadoutComplete ? StatusCode::ConnectionEstablished
                                                                         : StatusCode::DefaultsReloaded;
            showStatusText(statusString(code));
            if (first) {
                setConnection(true, IPS_OK, statusString(code));
                defineLinkProperties();
            } else {
                showRecord(s, false);
            }
            finishExchange(Await::Defaults, IPS_OK, statusString(code));
            return;
        }
        case SettingsReportKind::GearRatiosChanged: {
            const uint8_t mountType = shown_.mountType;
            // The gear block, as the re-read brings it (mount type aside).
            shown_.raGearByte = s.raGearByte;
            shown_.deGearByte = s.deGearByte;
            shown_.raGearRatio = s.raGearRatio;
            shown_.raGearAux = s.raGearAux;
            shown_.raSiderealRate = s.raSiderealRate;
            shown_.deGearRatio = s.deGearRatio;
            shown_.deGearAux = s.deGearAux;
            shown_.deSiderealRate = s.deSiderealRate;
            shown_.raMaxRate = s.raMaxRate;
            shown_.deMaxRate = s.deMaxRate;
            shown_.mountType = mountType;
            showRecord(shown_, true);
            finishExchange(Await::GearRatios, IPS_OK, std::string());
            return;
        }
        case SettingsReportKind::DeviceTooOld:
            // Nothing of this controller can be used: close the port the
            // engine leaves open and keep the reason in the connection.
            showStatusText(statusString(StatusCode::DeviceTooOld));
            tooOld_ = true;
            engine_->disconnect();
            return;
        default:
            return;
    }
}

void BraskDriver::onVoltage(int centivolts) {
    if (stoppingToClose_) return closeAfterStop();
    voltageNumbers_[0].value = static_cast<double>(static_cast<uint32_t>(centivolts)) / 100.0;
    voltage_.s = IPS_OK;
    if (actionsDefined_) IDSetNumber(&voltage_, nullptr);
    finishExchange(Await::Voltage, IPS_OK, std::string());
}

// ----- connection ----------------------------------------------------------

void BraskDriver::setConnection(bool on, IPState state, const std::string& message) {
    connectionSwitches_[0].s = on ? ISS_ON : ISS_OFF;
    connectionSwitches_[1].s = on ? ISS_OFF : ISS_ON;
    connection_.s = state;
    if (message.empty())
        IDSetSwitch(&connection_, nullptr);
    else
        IDSetSwitch(&connection_, "%s", message.c_str());
}

void BraskDriver::showStatusText(const std::string& text) {
    IUSaveText(&statusTexts_[0], text.c_str());
    status_.s = IPS_OK;
    IDSetText(&status_, nullptr);
}

void BraskDriver::connectLink() {
    if (linkUp_ || connecting_) {
        setConnection(linkUp_, linkUp_ ? IPS_OK : IPS_BUSY, std::string());
        return;
    }
    const int baudIndex = IUFindOnSwitchIndex(&baud_);
    const uint32_t baud = kBauds[baudIndex == 1 ? 1 : 0];
    platform::setPortDevice(kPortNumber, portText_[0].text ? portText_[0].text : "");
    connecting_ = true;
    tooOld_ = false;
    engine_->connect(kPortNumber, baud);
    setConnection(true, IPS_BUSY, std::string());
}

void BraskDriver::disconnectLink() {
    if (linkUp_ && (movingNs_ || movingWe_)) {
        // A mount that moves is stopped first. Closing the port discards
        // what the line has not sent yet, so the close waits for the answer
        // to a harmless request behind the stop (the supply voltage, which
        // every class answers; the engine gives it up after its reply
        // time-out, and the close follows then too).
        movingNs_ = movingWe_ = false;
        engine_->stopMotion(kDirBoth);
        engine_->measureSupplyVoltage();
        stoppingToClose_ = true;
        setConnection(true, IPS_BUSY, std::string());
        return;
    }
    movingNs_ = movingWe_ = false;
    disconnecting_ = true;
    engine_->disconnect();
    setConnection(false, IPS_BUSY, std::string());
}

// The stop before a disconnect has reached the controller (or the engine
// gave its barrier up): close now.
void BraskDriver::closeAfterStop() {
    if (!stoppingToClose_) return;
    stoppingToClose_ = false;
    disconnecting_ = true;
    engine_->disconnect();
    setConnection(false, IPS_BUSY, std::string());
}

void BraskDriver::linkClosed(const std::string& why, IPState state) {
    const bool wasUp = linkUp_;
    linkUp_ = false;
    connecting_ = false;
    disconnecting_ = false;
    stoppingToClose_ = false;
    movingNs_ = movingWe_ = false;
    await_ = Await::None;
    awaiting_ = Handle();
    lastWrite_ = Handle();
    if (wasUp) deleteLinkProperties();
    setConnection(false, state, why);
}

void BraskDriver::defineLinkProperties() {
    const int cls = shown_.versionClass;
    IUSaveText(&versionTexts_[0], dotted(shown_.hardwareVersion).c_str());
    IUSaveText(&versionTexts_[1], dotted(shown_.firmwareVersion).c_str());
    for (FieldSlot& slot : fields_) {
        const SettingsField& f = *slot.info->field;
        slot.defined = readsField(f, cls);
        if (!slot.defined) continue;
        const IPerm perm = canWrite(f, cls) ? IP_RW : IP_RO;
        slot.numberVector.p = perm;
        slot.toggleVector.p = perm;
        slot.numberVector.s = IPS_IDLE;
        slot.toggleVector.s = IPS_IDLE;
    }
    siteDefined_ = readsFlipAndSite(cls);
    fillRecord(shown_, false);
    IUResetSwitch(&ns_);
    IUResetSwitch(&we_);
    ns_.s = we_.s = abort_.s = IPS_IDLE;
    announceLinkProperties();
    actionsDefined_ = true;
}

// Every property that exists while a controller is connected, as it stands:
// at the connect and again for a client that asks later.
void BraskDriver::announceLinkProperties() {
    IDDefText(&versions_, nullptr);
    for (FieldSlot& slot : fields_) {
        if (!slot.defined) continue;
        if (slot.info->bit < 0)
            IDDefNumber(&slot.numberVector, nullptr);
        else
            IDDefSwitch(&slot.toggleVector, nullptr);
    }
    if (siteDefined_) IDDefNumber(&site_, nullptr);
    IDDefNumber(&speedProperty_, nullptr);
    IDDefSwitch(&ns_, nullptr);
    IDDefSwitch(&we_, nullptr);
    IDDefSwitch(&abort_, nullptr);
    IDDefSwitch(&track_, nullptr);
    IDDefSwitch(&exp_, nullptr);
    IDDefSwitch(&store_, nullptr);
    IDDefSwitch(&defaults_, nullptr);
    IDDefSwitch(&park_, nullptr);
    IDDefSwitch(&measure_, nullptr);
    IDDefNumber(&voltage_, nullptr);
}

void BraskDriver::deleteLinkProperties() {
    IDDelete(kDeviceName, versions_.name, nullptr);
    for (FieldSlot& slot : fields_) {
        if (!slot.defined) continue;
        IDDelete(kDeviceName, slot.info->property.c_str(), nullptr);
        slot.defined = false;
    }
    if (siteDefined_) IDDelete(kDeviceName, site_.name, nullptr);
    siteDefined_ = false;
    for (const char* name : {speedProperty_.name, ns_.name, we_.name, abort_.name, track_.name, exp_.name,
                             store_.name, defaults_.name, park_.name, measure_.name, voltage_.name})
        IDDelete(kDeviceName, name, nullptr);
    actionsDefined_ = false;
}

// Puts the values of `s` into the defined properties (the gear block
// alone after a re-read) without sending them.
void BraskDriver::fillRecord(const ControllerSettings& s, bool gearOnly) {
    for (FieldSlot& slot : fields_) {
        if (!slot.defined) continue;
        const SettingsField& f = *slot.info->field;
        if (gearOnly && !inGearBlock(f)) continue;
        const int64_t v = f.get(s);
        if (slot.info->bit < 0)
            slot.number.value = static_cast<double>(v);
        else
            slot.toggle.s = (v >> slot.info->bit) & 1 ? ISS_ON : ISS_OFF;
    }
    if (gearOnly) return;
    siteNumbers_[0].value = latitudeDegrees(s.latitude);
    siteNumbers_[1].value = longitudeDegreesEast(s.longitude);
    siteNumbers_[2].value = 0;
}

// The same, and every property concerned goes to the clients.
void BraskDriver::showRecord(const ControllerSettings& s, bool gearOnly) {
    fillRecord(s, gearOnly);
    if (!actionsDefined_) return;
    for (FieldSlot& slot : fields_) {
        if (!slot.defined || (gearOnly && !inGearBlock(*slot.info->field))) continue;
        if (slot.info->bit < 0)
            IDSetNumber(&slot.numberVector, nullptr);
        else
            IDSetSwitch(&slot.toggleVector, nullptr);
    }
    if (!gearOnly && siteDefined_) IDSetNumber(&site_, nullptr);
}

// ----- writes --------------------------------------------------------------

bool BraskDriver::startExchange(Handle who, Await what) {
    if (await_ != Await::None) {
        // The engine would refuse it or take the running exchange's reply
        // as this one's: the caller says so instead of sending.
        return false;
    }
    await_ = what;
    awaiting_ = who;
    return true;
}

void BraskDriver::finishExchange(Await what, IPState state, const std::string& message) {
    if (await_ != what) return;
    const Handle who = awaiting_;
    await_ = Await::None;
    awaiting_ = Handle();
    if (who.toggle != nullptr && who.toggle->r == ISR_ATMOST1) IUResetSwitch(who.toggle);
    who.set(state, message);
}

void BraskDriver::write(Handle who, const std::vector<std::pair<const SettingsField*, int64_t>>& changes) {
    if (!linkUp_) {
        who.set(IPS_ALERT, kNotConnectedYet);
        return;
    }
    ControllerSettings target = shown_;
    for (const auto& [field, value] : changes) {
        std::string error;
        if (!backup::checkWritable(*field, value, shown_.versionClass, error)) {
            // Refused: the property keeps showing what the controller has.
            fillRecord(shown_, false);
            who.set(IPS_ALERT, error);
            return;
        }
        field->set(target, value);
    }
    const std::vector<backup::PlannedCommand> plan = backup::planCommands(shown_, target);
    if (plan.empty()) {
        who.set(IPS_OK, std::string());
        return;
    }
    bool exchange = false;
    Await what = Await::None;
    for (const backup::PlannedCommand& c : plan) {
        if (!c.isExchange()) continue;
        exchange = true;
        what = c.writer == FieldWriter::GearRatios ? Await::GearRatios : Await::Advanced;
    }
    if (exchange) {
        if (!startExchange(who, what)) {
            fillRecord(shown_, false);
            who.set(IPS_ALERT, statusString(StatusCode::CommunicationError));
            return;
        }
    } else if (await_ != Await::None) {
        // Settings without reply need an idle link; the engine would drop
        // some of them silently while an exchange runs.
        fillRecord(shown_, false);
        who.set(IPS_ALERT, statusString(StatusCode::CommunicationError));
        return;
    }
    for (const backup::PlannedCommand& c : plan) backup::postCommand(*engine_, c);
    shown_ = target;
    // The gear block's derived rates follow the max speeds at once.
    shown_.raMaxRate = shown_.raMaxSpeed * shown_.raSiderealRate;
    shown_.deMaxRate = shown_.deMaxSpeed * shown_.deSiderealRate;
    fillRecord(shown_, false);
    if (exchange) {
        who.set(IPS_BUSY, std::string());
    } else {
        lastWrite_ = who;
        who.set(IPS_OK, std::string());
    }
}

void BraskDriver::newField(FieldSlot& slot, double value) {
    const Handle who = slot.handle();
    if (!std::isfinite(value) || value != std::floor(value)) {
        fillRecord(shown_, false);
        who.set(IPS_ALERT, std::string(slot.info->field->name) + ": not a whole number");
        return;
    }
    if (value < -9.2e18 || value > 9.2e18) {
        fillRecord(shown_, false);
        who.set(IPS_ALERT, std::string(slot.info->field->name) + ": value is out of range");
        return;
    }
    write(who, {{slot.info->field, static_cast<int64_t>(value)}});
}

void BraskDriver::newReverse(FieldSlot& slot, bool on) {
    const SettingsField& f = *slot.info->field;
    int64_t v = f.get(shown_);
    const int64_t bit = int64_t{1} << slot.info->bit;
    v = on ? (v | bit) : (v & ~bit);
    write(slot.handle(), {{&f, v}});
}

void BraskDriver::newSite(double* values, char* names[], int n) {
    Handle who;
    who.number = &site_;
    const SettingsField* lat = findField("latitude");
    const SettingsField* lon = findField("longitude");
    std::vector<std::pair<const SettingsField*, int64_t>> changes;
    for (int i = 0; i < n; ++i) {
        int32_t units = 0;
        if (sameName(names[i], "LAT")) {
            if (!latitudeUnits(values[i], units)) {
                fillRecord(shown_, false);
                who.set(IPS_ALERT, "Latitude out of range (-90..90 degrees)");
                return;
            }
            changes.emplace_back(lat, units);
        } else if (sameName(names[i], "LONG")) {
            if (!longitudeUnits(values[i], units)) {
                fillRecord(shown_, false);
                who.set(IPS_ALERT, "Longitude out of range (0..360 degrees east)");
                return;
            }
            changes.emplace_back(lon, units);
        }
        // The controller keeps no elevation: ELEV stays 0.
    }
    write(who, changes);
}

void BraskDriver::newMotion(ISwitchVectorProperty& vector, ISState* states, char* names[], int n) {
    const bool ns = &vector == &ns_;
    const int before = IUFindOnSwitchIndex(&vector);
    IUUpdateSwitch(&vector, states, names, n);
    const int now = IUFindOnSwitchIndex(&vector);
    if (now == before) {
        IDSetSwitch(&vector, nullptr);
        return;
    }
    // North is the window's up arrow, south down, east left, west right.
    if (now < 0) {
        engine_->stopMotion(ns ? kDirUp : kDirRight);
        (ns ? movingNs_ : movingWe_) = false;
        vector.s = IPS_IDLE;
    } else {
        uint8_t direction = 0;
        if (ns)
            direction = now == 0 ? kDirUp : kDirDown;
        else
            direction = now == 0 ? kDirRight : kDirLeft;
        engine_->moveManual(direction, speed_);
        (ns ? movingNs_ : movingWe_) = true;
        vector.s = IPS_BUSY;
    }
    IDSetSwitch(&vector, nullptr);
}

// ----- entry points --------------------------------------------------------

void BraskDriver::getProperties(const char* dev) {
    if (dev != nullptr && *dev != '\0' && std::strcmp(dev, kDeviceName) != 0) return;
    IDDefSwitch(&connection_, nullptr);
    IDDefText(&port_, nullptr);
    IDDefSwitch(&baud_, nullptr);
    IDDefText(&info_, nullptr);
    IDDefText(&status_, nullptr);
    if (actionsDefined_) announceLinkProperties();
}

void BraskDriver::newSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) {
    if (!sameName(dev, kDeviceName) || name == nullptr) return;
    if (sameName(name, connection_.name)) {
        ISwitchVectorProperty copy = connection_;
        ISwitch wanted[2] = {connectionSwitches_[0], connectionSwitches_[1]};
        copy.sp = wanted;
        if (IUUpdateSwitch(&copy, states, names, n) != 0) return;
        if (wanted[0].s == ISS_ON)
            connectLink();
        else
            disconnectLink();
        return;
    }
    if (sameName(name, baud_.name)) {
        IUUpdateSwitch(&baud_, states, names, n);
        baud_.s = IPS_OK;
        IDSetSwitch(&baud_, nullptr);
        return;
    }
    if (!actionsDefined_) return;
    if (sameName(name, ns_.name)) return newMotion(ns_, states, names, n);
    if (sameName(name, we_.name)) return newMotion(we_, states, names, n);
    if (sameName(name, abort_.name)) {
        engine_->stopMotion(kDirBoth);
        movingNs_ = movingWe_ = false;
        IUResetSwitch(&ns_);
        IUResetSwitch(&we_);
        ns_.s = we_.s = IPS_IDLE;
        IDSetSwitch(&ns_, nullptr);
        IDSetSwitch(&we_, nullptr);
        IUResetSwitch(&abort_);
        abort_.s = IPS_OK;
        IDSetSwitch(&abort_, nullptr);
        return;
    }
    if (sameName(name, track_.name) || sameName(name, exp_.name)) {
        ISwitchVectorProperty& v = sameName(name, track_.name) ? track_ : exp_;
        IUUpdateSwitch(&v, states, names, n);
        const int on = IUFindOnSwitchIndex(&v);
        if (on >= 0) {
            const uint8_t value = on == 0 ? 1 : 0;
            if (&v == &track_)
                engine_->setTracking(value);
            else
                engine_->setExp(value);
        }
        v.s = IPS_OK;
        IDSetSwitch(&v, nullptr);
        return;
    }
    const struct {
        ISwitchVectorProperty* vector;
        Await what;
    } actions[] = {{&store_, Await::Store},
                   {&defaults_, Await::Defaults},
                   {&park_, Await::Park},
                   {&measure_, Await::Voltage}};
    for (const auto& a : actions) {
        if (!sameName(name, a.vector->name)) continue;
        IUUpdateSwitch(a.vector, states, names, n);
        if (a.vector->sp[0].s != ISS_ON) {
            IDSetSwitch(a.vector, nullptr);
            return;
        }
        Handle who;
        who.toggle = a.vector;
        if (!startExchange(who, a.what)) {
            IUResetSwitch(a.vector);
            who.set(IPS_ALERT, statusString(StatusCode::CommunicationError));
            return;
        }
        who.set(IPS_BUSY, std::string());
        switch (a.what) {
            case Await::Store:
                engine_->storeParameters();
                break;
            case Await::Defaults:
                engine_->reloadDefaults();
                break;
            case Await::Park:
                engine_->setParkPosition();
                break;
            default:
                engine_->measureSupplyVoltage();
                break;
        }
        return;
    }
    for (FieldSlot& slot : fields_) {
        if (!slot.defined || slot.info->bit < 0 || !sameName(name, slot.info->property.c_str())) continue;
        for (int i = 0; i < n; ++i)
            if (sameName(names[i], kReverseElement)) newReverse(slot, states[i] == ISS_ON);
        return;
    }
}

void BraskDriver::newNumber(const char* dev, const char* name, double* values, char* names[], int n) {
    if (!sameName(dev, kDeviceName) || name == nullptr || !actionsDefined_) return;
    if (sameName(name, speedProperty_.name)) {
        for (int i = 0; i < n; ++i) {
            if (!sameName(names[i], "SPEED")) continue;
            const double v = values[i];
            if (!(v >= 0 && v <= 31) || v != std::floor(v)) {
                speedProperty_.s = IPS_ALERT;
                IDSetNumber(&speedProperty_, "Speed out of range (0..31)");
                return;
            }
            speed_ = static_cast<uint8_t>(v);
            speedNumbers_[0].value = v;
        }
        speedProperty_.s = IPS_OK;
        IDSetNumber(&speedProperty_, nullptr);
        return;
    }
    if (sameName(name, site_.name)) {
        if (siteDefined_) newSite(values, names, n);
        return;
    }
    for (FieldSlot& slot : fields_) {
        if (!slot.defined || slot.info->bit >= 0 || !sameName(name, slot.info->property.c_str())) continue;
        for (int i = 0; i < n; ++i)
            if (sameName(names[i], kValueElement)) newField(slot, values[i]);
        return;
    }
}

void BraskDriver::newText(const char* dev, const char* name, char* texts[], char* names[], int n) {
    if (!sameName(dev, kDeviceName) || !sameName(name, port_.name)) return;
    IUUpdateText(&port_, texts, names, n);
    port_.s = IPS_OK;
    IDSetText(&port_, nullptr);
}

}  // namespace vorlant::indi
