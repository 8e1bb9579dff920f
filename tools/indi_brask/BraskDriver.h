// The INDI device "Brask": the engine's read-out and commands as INDI
// properties, for any INDI client through indiserver.
//
// Threads: INDI's driver loop is single-threaded, and everything here runs
// on it: the IS* entry points and the reports, which the engine queues in
// ReportQueue and the loop takes when the queue's descriptor wakes it. No
// INDI call is ever made from an engine thread.
//
// Writes follow the window's rules: a value equal to the one shown sends
// nothing; a value the field table refuses (out of range, read-only, not
// on this class) is refused with the property in Alert and nothing is
// sent; the others go out as the engine commands of the field's writer.
// Writes without a reply are Ok once posted; exchanges (gear ratios, site
// and meridian flip, store, reload defaults, park position, supply voltage)
// are Busy until the controller answers, Alert with the status text when
// the engine reports a failure.
#pragma once

#include <libindi/indiapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ControllerSettings.h"
#include "engine/HeartBeat.h"
#include "engine/TelescopeControl.h"
#include "tools/indi_brask/FieldProperties.h"
#include "tools/indi_brask/ReportQueue.h"

namespace vorlant::indi {

constexpr const char* kDeviceName = "Brask";

class BraskDriver {
public:
    BraskDriver();
    ~BraskDriver();
    BraskDriver(const BraskDriver&) = delete;
    BraskDriver& operator=(const BraskDriver&) = delete;

    void getProperties(const char* dev);
    void newSwitch(const char* dev, const char* name, ISState* states, char* names[], int n);
    void newNumber(const char* dev, const char* name, double* values, char* names[], int n);
    void newText(const char* dev, const char* name, char* texts[], char* names[], int n);

private:
    // One property the driver can point at for a verdict: Ok, Busy, Alert.
    struct Handle {
        INumberVectorProperty* number = nullptr;
        ISwitchVectorProperty* toggle = nullptr;
        explicit operator bool() const { return number != nullptr || toggle != nullptr; }
        void set(IPState state, const std::string& message) const;
    };
    // What a running exchange waits for.
    enum class Await : uint8_t { None, GearRatios, Advanced, Store, Defaults, Park, Voltage };

    struct FieldSlot {
        const FieldProperty* info = nullptr;
        INumber number{};
        INumberVectorProperty numberVector{};
        ISwitch toggle{};
        ISwitchVectorProperty toggleVector{};
        bool defined = false;
        Handle handle();
    };

    static void wakeEntry(int fd, void* self);
    void takeReports();
    void onStatus(int code);
    void onSettings(const ControllerSettings& s, int kind);
    void onVoltage(int centivolts);

    void connectLink();
    void disconnectLink();
    void closeAfterStop();
    void linkClosed(const std::string& why, IPState state);
    void defineLinkProperties();
    void announceLinkProperties();
    void deleteLinkProperties();
    void fillRecord(const ControllerSettings& s, bool gearOnly);
    void showRecord(const ControllerSettings& s, bool gearOnly);
    void showStatusText(const std::string& text);
    void setConnection(bool on, IPState state, const std::string& message);

    // A write of `target` (the shown record with one or more fields
    // changed) for the properties in `who`; `check` are the fields changed.
    void write(Handle who, const std::vector<std::pair<const SettingsField*, int64_t>>& changes);
    bool startExchange(Handle who, Await what);
    void finishExchange(Await what, IPState state, const std::string& message);

    void newField(FieldSlot& slot, double value);
    void newReverse(FieldSlot& slot, bool on);
    void newSite(double* values, char* names[], int n);
    void newMotion(ISwitchVectorProperty& vector, ISState* states, char* names[], int n);

    ReportQueue reports_;
    std::unique_ptr<TelescopeControl> engine_;
    HeartBeat heartBeat_;

    // What the properties show: the last read-out with every write since.
    ControllerSettings shown_{};
    bool linkUp_ = false;
    bool connecting_ = false;
    bool disconnecting_ = false;
    bool stoppingToClose_ = false;  // a stop is on its way before the close
    bool tooOld_ = false;
    bool movingNs_ = false;
    bool movingWe_ = false;
    Await await_ = Await::None;
    Handle awaiting_;
    Handle lastWrite_;
    uint8_t speed_ = 10;

    // Always defined.
    ISwitch connectionSwitches_[2]{};
    ISwitchVectorProperty connection_{};
    IText portText_[1]{};
    ITextVectorProperty port_{};
    ISwitch baudSwitches_[2]{};
    ISwitchVectorProperty baud_{};
    IText infoTexts_[4]{};
    ITextVectorProperty info_{};
    IText statusTexts_[1]{};
    ITextVectorProperty status_{};

    // Defined while a controller is connected.
    IText versionTexts_[2]{};
    ITextVectorProperty versions_{};
    std::vector<FieldSlot> fields_;
    INumber siteNumbers_[3]{};
    INumberVectorProperty site_{};
    bool siteDefined_ = false;
    INumber speedNumbers_[1]{};
    INumberVectorProperty speedProperty_{};
    ISwitch nsSwitches_[2]{};
    ISwitchVectorProperty ns_{};
    ISwitch weSwitches_[2]{};
    ISwitchVectorProperty we_{};
    ISwitch abortSwitches_[1]{};
    ISwitchVectorProperty abort_{};
    ISwitch trackSwitches_[2]{};
    ISwitchVectorProperty track_{};
    ISwitch expSwitches_[2]{};
    ISwitchVectorProperty exp_{};
    ISwitch storeSwitches_[1]{};
    ISwitchVectorProperty store_{};
    ISwitch defaultsSwitches_[1]{};
    ISwitchVectorProperty defaults_{};
    ISwitch parkSwitches_[1]{};
    ISwitchVectorProperty park_{};
    ISwitch measureSwitches_[1]{};
    ISwitchVectorProperty measure_{};
    INumber voltageNumbers_[1]{};
    INumberVectorProperty voltage_{};
    bool actionsDefined_ = false;
};

}  // namespace vorlant::indi
