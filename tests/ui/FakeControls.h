// Test doubles for the dialog logic: controls over maps, a host that
// scripts the secondary dialogs, and an engine that records every command.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/iTelescopeControl.h"
#include "ui/DialogControls.h"
#include "ui/GearRatios.h"
#include "ui/ResourceScript.h"

namespace vorlant {
namespace test {

// The dialog templates of the resource script, read once.
inline const ResourceTemplates& resourceTemplates() {
    static const ResourceTemplates templates = [] {
        ResourceTemplates t;
        readResourceScript(VORLANT_RESOURCE_SCRIPT, t);
        return t;
    }();
    return templates;
}

// The controls of one dialog template, addressed by id. Only the template's
// controls exist, each with the kind the template gives it, so a mistyped
// id or an operation on the wrong kind of control fails the test. A control
// nobody touched has empty text, is enabled and unchecked, has the track bar
// default range 0..100 at 0, no combo items (selection -1) and no bitmap
// (0). Every write is also appended to `writes` ("setText 104 Ready",
// "setTrackPos 210 20", ...), so a test can tell "not written" from "written
// with the same value".
class FakeControls : public DialogControls {
public:
    enum class Kind { Static, Edit, Button, BitmapButton, Check, Combo, TrackBar };

    struct Track {
        int minimum = 0;
        int maximum = 100;
        int position = 0;
    };

    explicit FakeControls(int templateId) {
        const auto found = resourceTemplates().find(templateId);
        if (found == resourceTemplates().end()) {
            ADD_FAILURE() << "no dialog template " << templateId << " in " << VORLANT_RESOURCE_SCRIPT;
            return;
        }
        for (const ResourceControl& c : found->second.controls) kinds_[c.id] = kindOf(c);
    }

    void setText(int id, const std::string& value) override {
        expect(id, {Kind::Static, Kind::Edit, Kind::Button, Kind::Check}, "setText");
        texts[id] = value;
        writes.push_back("setText " + std::to_string(id) + " " + value);
    }
    std::string text(int id) const override {
        expect(id, {Kind::Static, Kind::Edit, Kind::Button, Kind::Check}, "text");
        auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void enable(int id, bool enabled) override {
        expect(id, {}, "enable");
        disabled[id] = !enabled;
        writes.push_back("enable " + std::to_string(id) + (enabled ? " 1" : " 0"));
    }
    bool isEnabled(int id) const override {
        expect(id, {}, "isEnabled");
        auto it = disabled.find(id);
        return it == disabled.end() || !it->second;
    }
    void setChecked(int id, bool value) override {
        expect(id, {Kind::Check}, "setChecked");
        checked[id] = value;
        writes.push_back("setChecked " + std::to_string(id) + (value ? " 1" : " 0"));
    }
    bool isChecked(int id) const override {
        expect(id, {Kind::Check}, "isChecked");
        auto it = checked.find(id);
        return it != checked.end() && it->second;
    }
    // Like a track bar control: a new range pulls the position into it.
    void setTrackRange(int id, int minimum, int maximum) override {
        expect(id, {Kind::TrackBar}, "setTrackRange");
        Track& t = tracks[id];
        t.minimum = minimum;
        t.maximum = maximum;
        t.position = clamp(t, t.position);
        writes.push_back("setTrackRange " + std::to_string(id) + " " + std::to_string(minimum) + " " +
                         std::to_string(maximum));
    }
    void setTrackPos(int id, int position) override {
        expect(id, {Kind::TrackBar}, "setTrackPos");
        Track& t = tracks[id];
        t.position = clamp(t, position);
        writes.push_back("setTrackPos " + std::to_string(id) + " " + std::to_string(position));
    }
    int trackPos(int id) const override {
        expect(id, {Kind::TrackBar}, "trackPos");
        auto it = tracks.find(id);
        return it == tracks.end() ? 0 : it->second.position;
    }
    void addComboItem(int id, const std::string& item) override {
        expect(id, {Kind::Combo}, "addComboItem");
        comboItems[id].push_back(item);
    }
    // Like a drop-down list: an index outside the items selects nothing.
    void setComboSelection(int id, int index) override {
        expect(id, {Kind::Combo}, "setComboSelection");
        const auto& items = comboItems[id];
        comboSelected[id] = (index >= 0 && static_cast<std::size_t>(index) < items.size()) ? index : -1;
        writes.push_back("setComboSelection " + std::to_string(id) + " " + std::to_string(index));
    }
    int comboSelection(int id) const override {
        expect(id, {Kind::Combo}, "comboSelection");
        auto it = comboSelected.find(id);
        return it == comboSelected.end() ? -1 : it->second;
    }
    void setBitmap(int id, int bitmapResource) override {
        expect(id, {Kind::BitmapButton}, "setBitmap");
        bitmaps[id] = bitmapResource;
        writes.push_back("setBitmap " + std::to_string(id) + " " + std::to_string(bitmapResource));
    }

    // What the user does, bypassing the program's own writes (not logged).
    void type(int id, const std::string& value) {
        expect(id, {Kind::Edit}, "type into");
        texts[id] = value;
    }
    void click(int id) { checked[id] = !isChecked(id); }  // an auto check box toggles itself
    void drag(int id, int position) {
        expect(id, {Kind::TrackBar}, "drag");
        Track& t = tracks[id];
        t.position = clamp(t, position);
    }
    void select(int id, int index) {
        expect(id, {Kind::Combo}, "select in");
        comboSelected[id] = index;
    }

    const Track& track(int id) { return tracks[id]; }
    int bitmap(int id) const {
        auto it = bitmaps.find(id);
        return it == bitmaps.end() ? 0 : it->second;
    }
    // How many logged writes start with `prefix` (e.g. "setTrackPos 233 ").
    std::size_t writeCount(const std::string& prefix) const {
        return static_cast<std::size_t>(
            std::count_if(writes.begin(), writes.end(),
                          [&](const std::string& w) { return w.compare(0, prefix.size(), prefix) == 0; }));
    }

    std::map<int, std::string> texts;
    std::map<int, bool> disabled;
    std::map<int, bool> checked;
    std::map<int, Track> tracks;
    std::map<int, std::vector<std::string>> comboItems;
    std::map<int, int> comboSelected;
    std::map<int, int> bitmaps;
    std::vector<std::string> writes;

private:
    static Kind kindOf(const ResourceControl& c) {
        const std::string& k = c.kind;
        if (k == "EDITTEXT") return Kind::Edit;
        if (k == "COMBOBOX") return Kind::Combo;
        if (k == "AUTOCHECKBOX" || k == "CHECKBOX" || k == "RADIOBUTTON" || k == "AUTORADIOBUTTON")
            return Kind::Check;
        if (k == "PUSHBUTTON" || k == "DEFPUSHBUTTON") return Kind::Button;
        if (k == "CONTROL") {
            if (c.windowClass == "msctls_trackbar32") return Kind::TrackBar;
            if (c.windowClass == "Button") {
                if (c.hasStyle("BS_BITMAP")) return Kind::BitmapButton;
                if (c.hasStyle("BS_CHECKBOX") || c.hasStyle("BS_AUTOCHECKBOX") ||
                    c.hasStyle("BS_RADIOBUTTON") || c.hasStyle("BS_AUTORADIOBUTTON"))
                    return Kind::Check;
                return Kind::Button;
            }
        }
        return Kind::Static;  // LTEXT, RTEXT, CTEXT, GROUPBOX, static CONTROLs
    }
    // Fails the test unless `id` is a control of the template of one of
    // `kinds` (any kind when empty).
    void expect(int id, std::initializer_list<Kind> kinds, const char* what) const {
        const auto found = kinds_.find(id);
        if (found == kinds_.end()) {
            ADD_FAILURE() << what << " " << id << ": no such control in the template";
            return;
        }
        if (kinds.size() != 0 && std::find(kinds.begin(), kinds.end(), found->second) == kinds.end()) {
            ADD_FAILURE() << what << " " << id << ": wrong kind of control";
        }
    }

    std::map<int, Kind> kinds_;

    static int clamp(const Track& t, int position) {
        const int low = std::min(t.minimum, t.maximum);
        const int high = std::max(t.minimum, t.maximum);
        return std::min(std::max(position, low), high);
    }
};

// The secondary dialogs, scripted: each call is recorded in `calls`, the
// optional editor may change the record it is given (as the user would),
// and the scripted end code is returned.
class FakeHost : public DialogHost {
public:
    int showGearRatioDialog(GearRatios& ratios) override {
        calls.push_back("gearRatio(" + std::to_string(ratios.raRatio) + "," + std::to_string(ratios.deRatio) +
                        ")");
        if (editGearRatios) editGearRatios(ratios);
        return gearRatioResult;
    }
    int showAdvancedSettingsDialog(AdvancedSettings& settings) override {
        calls.push_back("advanced(" + std::to_string(settings.changeMask) + "," +
                        std::to_string(settings.mountType) + "," + std::to_string(settings.latitude) + "," +
                        std::to_string(settings.longitude) + "," + std::to_string(settings.flipHysteresis) +
                        ")");
        if (editAdvancedSettings) editAdvancedSettings(settings);
        return advancedResult;
    }
    void showAboutDialog() override { calls.push_back("about()"); }

    int gearRatioResult = 1;
    int advancedResult = 1;
    std::function<void(GearRatios&)> editGearRatios;
    std::function<void(AdvancedSettings&)> editAdvancedSettings;
    std::vector<std::string> calls;
};

// An engine that records each command as "name(arg,arg)", numbers in
// decimal, so a test compares against readable strings.
class FakeEngine : public iTelescopeControl {
public:
    void tick() override { record("tick"); }
    void connect(int port, uint32_t baud) override { record("connect", {port, baud}); }
    void disconnect() override { record("disconnect"); }
    void moveManual(uint8_t direction, uint8_t position) override {
        record("moveManual", {direction, position});
    }
    void stopMotion(uint8_t direction) override { record("stopMotion", {direction}); }
    void setTracking(uint8_t on) override { record("setTracking", {on}); }
    void setExp(uint8_t on) override { record("setExp", {on}); }
    void noOpCommand() override { record("noOpCommand"); }
    void storeParameters() override { record("storeParameters"); }
    void sendRequest11() override { record("sendRequest11"); }
    void reloadDefaults() override { record("reloadDefaults"); }
    void setGearRatios(uint32_t ra, uint32_t de) override { record("setGearRatios", {ra, de}); }
    void setReverseFlags(uint8_t rotation, uint8_t guiding, uint8_t limits) override {
        record("setReverseFlags", {rotation, guiding, limits});
    }
    void setCurrent(uint8_t selector, uint16_t milliamps) override {
        record("setCurrent", {selector, milliamps});
    }
    void setDecay(uint8_t selector, uint8_t decay) override { record("setDecay", {selector, decay}); }
    void setMaxSpeeds(uint16_t ra, uint16_t de) override { record("setMaxSpeeds", {ra, de}); }
    void setAccelerations(uint8_t ra, uint8_t de) override { record("setAccelerations", {ra, de}); }
    void setDecelerations(uint8_t ra, uint8_t de) override { record("setDecelerations", {ra, de}); }
    void setOvertone(uint8_t axis, uint8_t value) override {
        // The value byte carries a signed overtone; shown signed.
        record("setOvertone", {axis, static_cast<int8_t>(value)});
    }
    void setIncCurrentAt(uint8_t axis, uint16_t first, uint16_t second) override {
        record("setIncCurrentAt", {axis, first, second});
    }
    void setGuideRates(uint8_t ra, uint8_t de) override { record("setGuideRates", {ra, de}); }
    void setLocation(int32_t first, int32_t second) override { record("setLocation", {first, second}); }
    void applyAdvancedSettings(const AdvancedSettings& s) override {
        record("applyAdvancedSettings",
               {s.changeMask, s.mountType, s.latitude, s.longitude, s.flipHysteresis});
        lastAdvanced = s;
    }
    void measureSupplyVoltage() override { record("measureSupplyVoltage"); }
    void setParkPosition() override { record("setParkPosition"); }

    // The calls so far; clear() forgets them.
    std::vector<std::string> calls;
    AdvancedSettings lastAdvanced{};
    void clear() { calls.clear(); }

private:
    void record(const char* name, std::initializer_list<int64_t> args = {}) {
        std::string call = name;
        call += '(';
        bool first = true;
        for (int64_t a : args) {
            if (!first) call += ',';
            call += std::to_string(a);
            first = false;
        }
        call += ')';
        calls.push_back(std::move(call));
    }
};

}  // namespace test
}  // namespace vorlant
