// Checks the Windows resource script against the id constants the dialog
// logic uses: the script cannot include the C++ headers, so a mismatch
// would otherwise only show as a dead control in the running program.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "engine/SettingsFields.h"
#include "ui/AboutDialog.h"
#include "ui/MainDialogIds.h"
#include "ui/ResourceScript.h"
#include "ui/SecondaryDialogIds.h"

namespace vorlant {
namespace {

using Control = ResourceControl;
using Template = ResourceTemplate;

std::map<int, Template> readScript() {
    ResourceTemplates templates;
    readResourceScript(VORLANT_RESOURCE_SCRIPT, templates);
    return templates;
}

const Control* find(const Template& t, int id) {
    return t.find(id);
}

class ResourceScript : public ::testing::Test {
protected:
    static void SetUpTestSuite() { templates_ = new std::map<int, Template>(readScript()); }
    static void TearDownTestSuite() {
        delete templates_;
        templates_ = nullptr;
    }
    const Template& tpl(int id) { return templates_->at(id); }
    static std::map<int, Template>* templates_;
};
std::map<int, Template>* ResourceScript::templates_ = nullptr;

TEST_F(ResourceScript, HasTheFourTemplatesWithTheirFrames) {
    ASSERT_EQ(templates_->size(), 4u) << "script not found or unreadable: " << VORLANT_RESOURCE_SCRIPT;
    struct Expect {
        int id, x, y, w, h;
        const char* caption;
    };
    const Expect expected[] = {
        {kDialogMain, 45, 45, 456, 296, "Vorlant 2.4. beta 2."},
        {kDialogGearRatio, 32, 32, 200, 140, "Set gear ratio"},
        {kDialogAdvancedSettings, 32, 32, 240, 160, "Advanced settings"},
        {kDialogAbout, 32, 32, 220, 105, "Vorlant 2.4"},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.id);
        const Template& t = tpl(e.id);
        EXPECT_EQ(t.x, e.x);
        EXPECT_EQ(t.y, e.y);
        EXPECT_EQ(t.w, e.w);
        EXPECT_EQ(t.h, e.h);
        EXPECT_EQ(t.caption, e.caption);
    }
}

TEST_F(ResourceScript, MainTemplateHoldsExactlyTheIdsTheLogicUses) {
    using namespace MainId;
    const std::set<int> header = {
        PortCombo,
        Baud115200,
        Connect,
        Disconnect,
        StatusLine,
        DeviceInfo,
        MeasureVoltage,
        VoltageDisplay,
        Stop,
        MoveNorth,
        MoveSouth,
        MoveEast,
        MoveWest,
        ManualSpeed,
        Sidereal,
        Sidereal2x,
        TrackOn,
        TrackOff,
        ExpOn,
        ExpOff,
        MainId::AdvancedSettings,
        InitScope,
        DefineParkPos,
        ReloadDefaults,
        SaveSettings,
        About,
        RaGearRatio,
        DeGearRatio,
        ChangeGearRatio,
        RaReverseRotation,
        RaReverseGuiding,
        RaReverseLimits,
        RaMaxSpeedTrack,
        RaMaxSpeedEdit,
        RaAccelerationTrack,
        RaAccelerationEdit,
        RaDecelerationTrack,
        RaDecelerationEdit,
        RaMaxCurrent,
        RaIdleCurrentEdit,
        RaTrackCurrentEdit,
        RaRunCurrentEdit,
        RaIdleCurrentTrack,
        RaTrackCurrentTrack,
        RaRunCurrentTrack,
        RaIdleDecayTrack,
        RaTrackDecayTrack,
        RaRunDecayTrack,
        RaOvertoneTrack,
        RaOvertoneEdit,
        RaIncCurrentTrack,
        RaIncCurrentEdit,
        RaGuideRateTrack,
        DeReverseRotation,
        DeReverseGuiding,
        DeReverseLimits,
        DeMaxSpeedTrack,
        DeMaxSpeedEdit,
        DeAccelerationTrack,
        DeAccelerationEdit,
        DeDecelerationTrack,
        DeDecelerationEdit,
        DeMaxCurrent,
        DeIdleCurrentEdit,
        DeTrackCurrentEdit,
        DeRunCurrentEdit,
        DeIdleCurrentTrack,
        DeTrackCurrentTrack,
        DeRunCurrentTrack,
        DeIdleDecayTrack,
        DeTrackDecayTrack,
        DeRunDecayTrack,
        DeOvertoneTrack,
        DeOvertoneEdit,
        DeIncCurrentTrack,
        DeIncCurrentEdit,
        DeGuideRateTrack,
        PortLabel,
        CompassN,
        CompassS,
        CompassW,
        CompassE,
        GearGroup,
        GearRaLabel,
        GearDeLabel,
        RaGroup,
        RaSeparator1,
        RaMaxSpeedLabel,
        RaAccelerationLabel,
        RaDecelerationLabel,
        RaSeparator2,
        RaMaxCurrentLabel,
        RaMaxCurrentUnit,
        RaIdleLabel,
        RaTrackLabel,
        RaRunLabel,
        RaDecayLabel,
        RaSeparator3,
        RaOvertoneLabel,
        RaIncCurrentLabel,
        RaSeparator4,
        RaGuideLabel,
        RaGuideScale1,
        RaGuideScale2,
        RaGuideScale3,
        RaGuideScale4,
        RaGuideScale5,
        DeGroup,
        DeSeparator1,
        DeMaxSpeedLabel,
        DeAccelerationLabel,
        DeDecelerationLabel,
        DeSeparator2,
        DeMaxCurrentLabel,
        DeMaxCurrentUnit,
        DeIdleLabel,
        DeTrackLabel,
        DeRunLabel,
        DeDecayLabel,
        DeSeparator3,
        DeOvertoneLabel,
        DeIncCurrentLabel,
        DeSeparator4,
        DeGuideLabel,
        DeGuideScale1,
        DeGuideScale2,
        DeGuideScale3,
        DeGuideScale4,
        DeGuideScale5,
    };
    const Template& t = tpl(kDialogMain);
    EXPECT_EQ(t.controls.size(), 129u);
    std::set<int> script;
    for (const Control& c : t.controls) {
        EXPECT_TRUE(script.insert(c.id).second) << "duplicate id " << c.id;
    }
    EXPECT_EQ(script, header);
}

// A Dec control is its RA twin moved 176 units right, id + 100.
TEST_F(ResourceScript, DecControlsMirrorTheirRaTwins) {
    const Template& t = tpl(kDialogMain);
    int pairs = 0;
    for (const Control& ra : t.controls) {
        const bool raAxis = (ra.id >= 200 && ra.id < 300) || (ra.id >= 1100 && ra.id < 1200);
        if (!raAxis) continue;
        // The third RA separator is 1114, its Dec twin 1213.
        const int decId = ra.id == MainId::RaSeparator3 ? MainId::DeSeparator3 : ra.id + kDecIdOffset;
        const Control* de = find(t, decId);
        ASSERT_NE(de, nullptr) << "no Dec twin for " << ra.id;
        SCOPED_TRACE(ra.id);
        EXPECT_EQ(de->kind, ra.kind);
        EXPECT_EQ(de->windowClass, ra.windowClass);
        EXPECT_EQ(de->style, ra.style);
        EXPECT_EQ(de->x, ra.x + 176);
        EXPECT_EQ(de->y, ra.y);
        EXPECT_EQ(de->w, ra.w);
        EXPECT_EQ(de->h, ra.h);
        if (ra.id != MainId::RaGroup) {
            EXPECT_EQ(de->caption, ra.caption);
        }
        ++pairs;
    }
    EXPECT_EQ(pairs, 24 + 1 + 21);  // 24 controls, the group box, 21 labels and separators
}

TEST_F(ResourceScript, MainControlsHaveTheirKindsAndCaptions) {
    struct Expect {
        int id;
        const char* kind;  // keyword, or the window class of a CONTROL line
        const char* caption;
        int x, y, w, h;
    };
    const Expect expected[] = {
        {MainId::PortCombo, "COMBOBOX", "", 28, 5, 60, 200},
        {MainId::Baud115200, "AUTOCHECKBOX", "115200 Baud", 90, 6, 68, 12},
        {MainId::Connect, "PUSHBUTTON", "Connect", 160, 5, 46, 13},
        {MainId::Disconnect, "PUSHBUTTON", "Disconnect", 210, 5, 46, 13},
        {MainId::About, "PUSHBUTTON", "About...", 260, 5, 46, 13},
        {MainId::MeasureVoltage, "PUSHBUTTON", "Measure supply voltage:", 312, 5, 90, 12},
        {MainId::VoltageDisplay, "EDITTEXT", "", 405, 5, 47, 12},
        {MainId::StatusLine, "EDITTEXT", "", 4, 20, 306, 12},
        {MainId::DeviceInfo, "EDITTEXT", "", 312, 20, 140, 12},
        {MainId::MoveNorth, "Button", "", 40, 45, 23, 14},
        {MainId::MoveSouth, "Button", "", 40, 80, 23, 14},
        {MainId::MoveEast, "Button", "", 23, 60, 16, 19},
        {MainId::MoveWest, "Button", "", 65, 60, 16, 19},
        {MainId::Stop, "PUSHBUTTON", "Stop", 40, 60, 23, 19},
        {MainId::ManualSpeed, "msctls_trackbar32", "", 6, 102, 92, 12},
        {MainId::TrackOn, "Button", "Track on", 8, 144, 42, 15},
        {MainId::TrackOff, "Button", "Track off", 52, 144, 42, 15},
        {MainId::SaveSettings, "PUSHBUTTON", "Save settings into Brask", 8, 265, 86, 25},
        {MainId::ChangeGearRatio, "PUSHBUTTON", "Change gear ratio", 370, 43, 70, 14},
        {MainId::RaGroup, "GROUPBOX", "RA", 104, 64, 172, 228},
        {MainId::DeGroup, "GROUPBOX", "Dec", 280, 64, 172, 228},
        {MainId::RaGuideRateTrack, "msctls_trackbar32", "", 118, 266, 144, 11},
        {MainId::RaOvertoneEdit, "EDITTEXT", "", 232, 224, 36, 12},
    };
    const Template& t = tpl(kDialogMain);
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.id);
        const Control* c = find(t, e.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->kind == "CONTROL" ? c->windowClass : c->kind, e.kind);
        EXPECT_EQ(c->caption, e.caption);
        EXPECT_EQ(c->x, e.x);
        EXPECT_EQ(c->y, e.y);
        EXPECT_EQ(c->w, e.w);
        EXPECT_EQ(c->h, e.h);
    }
    for (int id : {MainId::MoveNorth, MainId::MoveSouth, MainId::MoveEast, MainId::MoveWest}) {
        EXPECT_NE(find(t, id)->style.find("BS_BITMAP"), std::string::npos) << id;
    }
    // Pressed look set by the program: push-like and not automatic.
    for (int id : {MainId::TrackOn, MainId::TrackOff}) {
        EXPECT_NE(find(t, id)->style.find("BS_PUSHLIKE"), std::string::npos) << id;
        EXPECT_EQ(find(t, id)->style.find("BS_AUTOCHECKBOX"), std::string::npos) << id;
    }
}

TEST_F(ResourceScript, EveryTrackBarHasAutomaticTicksAndOnlyDisplaysAreReadOnly) {
    const Template& t = tpl(kDialogMain);
    int trackBars = 0;
    const std::set<int> readOnly = {MainId::VoltageDisplay, MainId::StatusLine,  MainId::DeviceInfo,
                                    MainId::RaGearRatio,    MainId::DeGearRatio, MainId::RaMaxCurrent,
                                    MainId::DeMaxCurrent};
    for (const Control& c : t.controls) {
        if (c.windowClass == "msctls_trackbar32") {
            ++trackBars;
            EXPECT_NE(c.style.find("TBS_AUTOTICKS"), std::string::npos) << c.id;
        }
        if (c.kind == "EDITTEXT") {
            EXPECT_EQ(c.style.find("ES_READONLY") != std::string::npos, readOnly.count(c.id) == 1) << c.id;
            EXPECT_EQ(c.style.find("ES_NUMBER"), std::string::npos) << c.id;
        }
    }
    EXPECT_EQ(trackBars, 25);  // the 24 setting track bars and the speed track bar
}

TEST_F(ResourceScript, SecondaryTemplatesUseTheLogicsIds) {
    const std::map<int, std::set<int>> expected = {
        {kDialogGearRatio,
         {GearRatioId::Ok, GearRatioId::Cancel, GearRatioId::RaEdit, GearRatioId::DeEdit,
          GearRatioId::RaLabel, GearRatioId::DeLabel, GearRatioId::HintText, GearRatioId::ExamplesText,
          GearRatioId::Example1, GearRatioId::Example2, GearRatioId::Example3, GearRatioId::Example4,
          GearRatioId::Example5}},
        {kDialogAdvancedSettings,
         {AdvancedSettingsId::Ok, AdvancedSettingsId::Cancel, AdvancedSettingsId::LatitudeEdit,
          AdvancedSettingsId::LongitudeEdit, AdvancedSettingsId::MountGerman, AdvancedSettingsId::MountFork,
          AdvancedSettingsId::MountAltAz, AdvancedSettingsId::HysteresisEdit,
          AdvancedSettingsId::PositionGroup, AdvancedSettingsId::MountGroup, AdvancedSettingsId::FlipGroup,
          AdvancedSettingsId::LatitudeLabel, AdvancedSettingsId::LongitudeLabel,
          AdvancedSettingsId::HysteresisLabel, AdvancedSettingsId::HysteresisHint}},
        {kDialogAbout, {AboutId::Exit, AboutId::Title, AboutId::Description, AboutId::Credit, AboutId::Link}},
    };
    for (const auto& [templateId, ids] : expected) {
        SCOPED_TRACE(templateId);
        std::set<int> script;
        for (const Control& c : tpl(templateId).controls) script.insert(c.id);
        EXPECT_EQ(script, ids);
    }
    // Not automatic: the dialog logic checks them itself.
    for (int id :
         {AdvancedSettingsId::MountGerman, AdvancedSettingsId::MountFork, AdvancedSettingsId::MountAltAz}) {
        const Control* c = find(tpl(kDialogAdvancedSettings), id);
        EXPECT_NE(c->style.find("BS_RADIOBUTTON"), std::string::npos);
        EXPECT_EQ(c->style.find("BS_AUTORADIOBUTTON"), std::string::npos);
    }
}

// The About box's logic sets its texts at run time; the template carries the
// fixed ones so the box reads right before that (and in resource viewers),
// and leaves the build's own credit and address to the logic.
TEST_F(ResourceScript, AboutTextsMatchTheLogic) {
    const Template& t = tpl(kDialogAbout);
    EXPECT_EQ(find(t, AboutId::Title)->caption, AboutDialog::kTitle);
    EXPECT_EQ(find(t, AboutId::Description)->caption, AboutDialog::kDescription);
    EXPECT_EQ(find(t, AboutId::Credit)->caption, "");
    const Control* link = find(t, AboutId::Link);
    EXPECT_EQ(link->caption, "");
    EXPECT_NE(link->style.find("SS_NOTIFY"), std::string::npos);
}

// The reader is also the Linux front's: a damaged script gives fewer
// controls, never a crash or a thrown error.
TEST(ResourceScriptReader, SkipsLinesThatDoNotParse) {
    const ResourceTemplates t = parseResourceScript(
        "#define STY WS_TABSTOP | BS_PUSHLIKE\n"
        "7 DIALOGEX 1, 2, 30, 40\n"
        "CAPTION \"A, b\"\n"
        "BEGIN\n"
        "  PUSHBUTTON \"Ok, then\", 1, 5, 6, 7, 8, STY\n"
        "  PUSHBUTTON \"No id\", x1, 5, 6, 7, 8\n"
        "  EDITTEXT 3, 5, 6\n"
        "  CONTROL \"\", 4, \"Button\"\n"
        "  LTEXT 99999999999, 1, 2, 3, 4\n"
        "END\n"
        "x DIALOGEX 1, 2, 3, 4\n"
        "8 DIALOGEX 1, 2\n");
    ASSERT_EQ(t.size(), 1u);
    const ResourceTemplate& d = t.at(7);
    EXPECT_EQ(d.caption, "A, b");
    EXPECT_EQ(d.w, 30);
    ASSERT_EQ(d.controls.size(), 1u);
    EXPECT_EQ(d.controls[0].caption, "Ok, then");
    EXPECT_TRUE(d.controls[0].hasStyle("BS_PUSHLIKE"));
    EXPECT_FALSE(d.controls[0].hasStyle("PUSHLIKE"));
    ResourceTemplates none;
    EXPECT_FALSE(readResourceScript("/nonexistent/vorlant.rc", none));
    EXPECT_TRUE(none.empty());
}

// The engine's field table names the controls that show each field by
// number: each must be a control of the right kind in the right template,
// shown by one field only, with the Dec field on the RA field's id + 100.
TEST_F(ResourceScript, FieldTableControlsAreTheTemplatesControls) {
    const Template& main = tpl(kDialogMain);
    auto kindOf = [](const Control* c) {
        return c == nullptr ? std::string("none") : c->kind == "CONTROL" ? c->windowClass : c->kind;
    };
    std::map<int, std::string> shownBy;
    std::map<std::string, const SettingsField*> byName;
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        SCOPED_TRACE(f.name);
        byName[f.name] = &f;
        const int ids[] = {f.edit, f.track, f.check, f.check == 0 ? 0 : f.check + kDecIdOffset};
        for (int id : ids)
            if (id != 0) {
                EXPECT_TRUE(shownBy.emplace(id, f.name).second) << id << " also shows " << shownBy[id];
            }
        if (f.edit != 0) {
            const Control* c = find(main, f.edit);
            EXPECT_EQ(kindOf(c), "EDITTEXT");
            // Typed values go out unless another dialog changes the field.
            const bool typed = f.writer != FieldWriter::None && f.dialogControl == 0;
            if (c != nullptr) {
                EXPECT_EQ(c->hasStyle("ES_READONLY"), !typed);
            }
        }
        if (f.track != 0) {
            EXPECT_EQ(kindOf(find(main, f.track)), "msctls_trackbar32");
        }
        EXPECT_EQ(f.track != 0, f.scale != TrackScale::None);
        if (f.check != 0) {
            EXPECT_EQ(kindOf(find(main, f.check)), "AUTOCHECKBOX");
            EXPECT_EQ(kindOf(find(main, f.check + kDecIdOffset)), "AUTOCHECKBOX");
        }
        if (f.dialogControl != 0) {
            const int dialog =
                f.writer == FieldWriter::GearRatios ? kDialogGearRatio : kDialogAdvancedSettings;
            const Control* c = find(tpl(dialog), f.dialogControl);
            EXPECT_EQ(kindOf(c), f.name == std::string("mountType") ? "Button" : "EDITTEXT");
        }
    }
    for (const auto& entry : byName) {
        const std::string& name = entry.first;
        if (name.compare(0, 2, "ra") != 0) continue;
        const auto twin = byName.find("de" + name.substr(2));
        if (twin == byName.end()) continue;
        SCOPED_TRACE(name);
        const SettingsField& ra = *entry.second;
        const SettingsField& de = *twin->second;
        // The gear ratios sit side by side in their own group: 171 and 172.
        const int offset = ra.writer == FieldWriter::GearRatios ? 1 : kDecIdOffset;
        EXPECT_EQ(de.edit, ra.edit == 0 ? 0 : ra.edit + offset);
        EXPECT_EQ(de.track, ra.track == 0 ? 0 : ra.track + offset);
        EXPECT_EQ(de.scale, ra.scale);
        if (ra.dialogControl != 0) {
            EXPECT_EQ(de.dialogControl, ra.dialogControl + 1);
        }
    }
    // Every value control of the axes' groups shows a field.
    for (const Control& c : main.controls) {
        const bool axis = c.id >= 200 && c.id < 400;
        const std::string kind = kindOf(&c);
        if (axis && (kind == "EDITTEXT" || kind == "msctls_trackbar32" || c.id % 100 < 10)) {
            EXPECT_EQ(shownBy.count(c.id), 1u) << "control " << c.id << " shows no field";
        }
    }
}

}  // namespace
}  // namespace vorlant
