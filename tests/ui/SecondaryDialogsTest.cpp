#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/ui/FakeControls.h"
#include "ui/AboutDialog.h"
#include "ui/AdvancedSettingsDialog.h"
#include "ui/GearRatioDialog.h"
#include "ui/MainDialogIds.h"
#include "ui/SecondaryDialogIds.h"

namespace vorlant {
namespace {

using test::FakeControls;

// Notification codes as the dialog manager sends them.
constexpr int kClicked = 0;         // BN_CLICKED, STN_CLICKED, and Enter/Escape
constexpr int kDoubleClick = 1;     // STN_DBLCLK
constexpr int kEditChange = 0x300;  // EN_CHANGE

constexpr int32_t angle(int32_t degrees, int32_t minutes, int32_t seconds) {
    return degrees * 86400 + minutes * 1440 + seconds * 24;
}

// ---- Gear ratio dialog ----------------------------------------------------

TEST(GearRatioDialog, InitShowsBothRatiosAsUnsignedNumbers) {
    GearRatios ratios{172800, 4294967295u};
    FakeControls controls{kDialogGearRatio};
    GearRatioDialog(ratios).init(controls);
    EXPECT_EQ(controls.text(GearRatioId::RaEdit), "172800");
    EXPECT_EQ(controls.text(GearRatioId::DeEdit), "4294967295");
}

TEST(GearRatioDialog, OkReadsBothEditsAndKeepsARatioThatIsNoNumber) {
    struct Case {
        const char* ra;
        const char* de;
        uint32_t expectedRa;
        uint32_t expectedDe;
    };
    const Case cases[] = {
        {"829440", "162000", 829440, 162000},
        {"  287200 ", "164000", 287200, 164000},                  // blanks around are skipped
        {"", "4294967295", 1, 4294967295u},                       // empty text keeps the ratio
        {"12a", "-5", 1, 2},                                      // not an unsigned number
        {"172,800", "0", 1, 2},                                   // 0 steps per turn is never right
        {"4294967296", "99999999999", 4294967295u, 4294967295u},  // held at 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ra) + " / " + c.de);
        GearRatios ratios{1, 2};
        GearRatioDialog dialog(ratios);
        FakeControls controls{kDialogGearRatio};
        dialog.init(controls);
        controls.type(GearRatioId::RaEdit, c.ra);
        controls.type(GearRatioId::DeEdit, c.de);
        EXPECT_EQ(dialog.command(controls, GearRatioId::Ok, kClicked), 1);
        EXPECT_EQ(ratios.raRatio, c.expectedRa);
        EXPECT_EQ(ratios.deRatio, c.expectedDe);
    }
}

TEST(GearRatioDialog, CancelLeavesTheRecordAndOtherCommandsKeepItOpen) {
    GearRatios ratios{172800, 164000};
    GearRatioDialog dialog(ratios);
    FakeControls controls{kDialogGearRatio};
    dialog.init(controls);
    controls.type(GearRatioId::RaEdit, "1");
    controls.type(GearRatioId::DeEdit, "2");
    EXPECT_EQ(dialog.command(controls, GearRatioId::RaEdit, kEditChange), -1);
    EXPECT_EQ(dialog.command(controls, GearRatioId::Cancel, kClicked), 0);
    EXPECT_EQ(ratios.raRatio, 172800u);
    EXPECT_EQ(ratios.deRatio, 164000u);
    // Only the id counts for Ok, whatever the notification code.
    EXPECT_EQ(dialog.command(controls, GearRatioId::Ok, 1), 1);
    EXPECT_EQ(ratios.raRatio, 1u);
}

// ---- Advanced settings: angle texts --------------------------------------

TEST(AdvancedSettingsDialog, AngleTextsCarryTheHemisphereLetter) {
    struct Case {
        int32_t value;
        const char* latitude;
        const char* longitude;
    };
    const Case cases[] = {
        {angle(47, 30, 0), "N 47:30:00", "E 47:30:00"},
        {-angle(8, 5, 0), "S 8:05:00", "W 8:05:00"},
        {-angle(34, 43, 20), "S 34:43:20", "W 34:43:20"},
        {0, "N 0:00:00", "E 0:00:00"},
        {angle(47, 30, 0) - 1, "N 47:29:59", "E 47:29:59"},  // below an arc-second is dropped
        {INT32_MAX, "N 24855:08:05", "E 24855:08:05"},
        {INT32_MIN, "S 24855:08:05", "W 24855:08:05"},  // no overflow negating it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AdvancedSettingsDialog::latitudeText(c.value), c.latitude);
        EXPECT_EQ(AdvancedSettingsDialog::longitudeText(c.value), c.longitude);
    }
}

TEST(AdvancedSettingsDialog, AngleTextsReadBack) {
    struct Case {
        const char* text;
        int32_t latitude;
        int32_t longitude;
    };
    const Case cases[] = {
        {"N 47:30:00", angle(47, 30, 0), 0},
        {"n 47.30", angle(47, 30, 0), 0},
        {"47:30", angle(47, 30, 0), angle(47, 30, 0)},
        {" N47:30", angle(47, 30, 0), 0},
        {"N 47:30:00.5", angle(47, 30, 0), 0},  // reading stops after the seconds
        {"N 47 30 00", angle(47, 0, 0), 0},     // blanks do not separate the numbers
        {"S 34:43:20", -angle(34, 43, 20), 0},
        {"s 34:43:20", -angle(34, 43, 20), 0},
        {"E 10:00:00", 0, angle(10, 0, 0)},  // E is no latitude letter
        {"W 8:05:00", 0, -angle(8, 5, 0)},
        {"w 8:5", 0, -angle(8, 5, 0)},
        {"", 0, 0},
        {"abc", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(AdvancedSettingsDialog::readLatitude(c.text), c.latitude);
        EXPECT_EQ(AdvancedSettingsDialog::readLongitude(c.text), c.longitude);
    }
}

TEST(AdvancedSettingsDialog, OnlyTheFirstThirtyCharactersAreRead) {
    // The seconds "15" stand after the 30th character and are not read.
    const std::string text = "N 47:30:" + std::string(22, '0') + "15";
    ASSERT_EQ(text.size(), 32u);
    EXPECT_EQ(AdvancedSettingsDialog::readLatitude(text), angle(47, 30, 0));
    EXPECT_EQ(AdvancedSettingsDialog::readLatitude(text.substr(0, 30) + std::string(1000, '9')),
              angle(47, 30, 0));
}

TEST(AdvancedSettingsDialog, WholeArcSecondAnglesRoundTrip) {
    const int32_t values[] = {0,
                              angle(47, 30, 0),
                              -angle(34, 43, 20),
                              -angle(0, 0, 1),
                              angle(90, 0, 0),
                              -angle(180, 0, 0),
                              -angle(24855, 8, 5)};
    for (int32_t v : values) {
        SCOPED_TRACE(v);
        EXPECT_EQ(AdvancedSettingsDialog::readLatitude(AdvancedSettingsDialog::latitudeText(v)), v);
        EXPECT_EQ(AdvancedSettingsDialog::readLongitude(AdvancedSettingsDialog::longitudeText(v)), v);
    }
}

// ---- Advanced settings: the dialog ---------------------------------------

constexpr int kMountIds[] = {AdvancedSettingsId::MountGerman, AdvancedSettingsId::MountFork,
                             AdvancedSettingsId::MountAltAz};

AdvancedSettings sampleSettings() {
    AdvancedSettings s{};
    s.changeMask = 0xDEADBEEF;  // whatever a previous use left
    s.mountType = 1;
    s.latitude = angle(47, 30, 0);
    s.longitude = -angle(8, 5, 0);
    s.flipHysteresis = 10;
    return s;
}

std::vector<int> checkedMounts(const FakeControls& controls) {
    std::vector<int> ids;
    for (int id : kMountIds)
        if (controls.isChecked(id)) ids.push_back(id);
    return ids;
}

TEST(AdvancedSettingsDialog, InitShowsEveryField) {
    AdvancedSettings s = sampleSettings();
    FakeControls controls{kDialogAdvancedSettings};
    AdvancedSettingsDialog(s).init(controls);
    EXPECT_EQ(controls.text(AdvancedSettingsId::LatitudeEdit), "N 47:30:00");
    EXPECT_EQ(controls.text(AdvancedSettingsId::LongitudeEdit), "W 8:05:00");
    EXPECT_EQ(controls.text(AdvancedSettingsId::HysteresisEdit), "10");
    EXPECT_EQ(checkedMounts(controls), std::vector<int>{AdvancedSettingsId::MountFork});
}

TEST(AdvancedSettingsDialog, OkUntouchedChangesNothing) {
    for (uint8_t mount = 0; mount <= 2; ++mount) {
        AdvancedSettings s = sampleSettings();
        s.mountType = mount;
        const AdvancedSettings before = s;
        AdvancedSettingsDialog dialog(s);
        FakeControls controls{kDialogAdvancedSettings};
        dialog.init(controls);
        EXPECT_EQ(checkedMounts(controls), std::vector<int>{kMountIds[mount]});
        EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::Ok, kClicked), 1);
        EXPECT_EQ(s.changeMask, 0u);  // always written
        EXPECT_EQ(s.mountType, before.mountType);
        EXPECT_EQ(s.latitude, before.latitude);
        EXPECT_EQ(s.longitude, before.longitude);
        EXPECT_EQ(s.flipHysteresis, before.flipHysteresis);
    }
}

TEST(AdvancedSettingsDialog, EachChangedFieldSetsItsOwnBit) {
    struct Case {
        const char* name;
        int field;  // control to change
        const char* text;
        uint32_t mask;
    };
    const Case cases[] = {
        {"latitude", AdvancedSettingsId::LatitudeEdit, "S 34:43:20", kChangeLatitude},
        {"longitude", AdvancedSettingsId::LongitudeEdit, "E 10:00:00", kChangeLongitude},
        {"mount", AdvancedSettingsId::MountAltAz, nullptr, kChangeMountType},
        {"hysteresis", AdvancedSettingsId::HysteresisEdit, "12", kChangeHysteresis},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AdvancedSettings s = sampleSettings();
        AdvancedSettingsDialog dialog(s);
        FakeControls controls{kDialogAdvancedSettings};
        dialog.init(controls);
        if (c.text != nullptr) {
            controls.type(c.field, c.text);
        } else {
            EXPECT_EQ(dialog.command(controls, c.field, kClicked), -1);
        }
        EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::Ok, kClicked), 1);
        EXPECT_EQ(s.changeMask, c.mask);
    }
}

TEST(AdvancedSettingsDialog, OkStoresEveryChangedValue) {
    AdvancedSettings s = sampleSettings();
    AdvancedSettingsDialog dialog(s);
    FakeControls controls{kDialogAdvancedSettings};
    dialog.init(controls);
    controls.type(AdvancedSettingsId::LatitudeEdit, "S 34:43:20");
    controls.type(AdvancedSettingsId::LongitudeEdit, "E 10:00:00");
    controls.type(AdvancedSettingsId::HysteresisEdit, "15");
    dialog.command(controls, AdvancedSettingsId::MountGerman, kClicked);
    EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::Ok, kClicked), 1);
    EXPECT_EQ(s.changeMask, 15u);
    EXPECT_EQ(s.latitude, -angle(34, 43, 20));
    EXPECT_EQ(s.longitude, angle(10, 0, 0));
    EXPECT_EQ(s.mountType, 0);
    EXPECT_EQ(s.flipHysteresis, 15);
}

TEST(AdvancedSettingsDialog, RadioCommandChecksOnlyThatButton) {
    AdvancedSettings s = sampleSettings();
    AdvancedSettingsDialog dialog(s);
    FakeControls controls{kDialogAdvancedSettings};
    dialog.init(controls);
    for (int id : kMountIds) {
        EXPECT_EQ(dialog.command(controls, id, kClicked), -1);
        EXPECT_EQ(checkedMounts(controls), std::vector<int>{id});
    }
    dialog.command(controls, AdvancedSettingsId::MountFork, kClicked);
    EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::Ok, kClicked), 1);
    EXPECT_EQ(s.mountType, 1);
    EXPECT_EQ(s.changeMask, 0u);
}

TEST(AdvancedSettingsDialog, UnknownMountTypeTicksNothingAndIsKeptUnlessPicked) {
    for (uint8_t mount : {uint8_t{3}, uint8_t{255}}) {
        AdvancedSettings s = sampleSettings();
        s.mountType = mount;
        AdvancedSettingsDialog dialog(s);
        FakeControls controls{kDialogAdvancedSettings};
        dialog.init(controls);
        EXPECT_EQ(checkedMounts(controls), std::vector<int>{});
        dialog.command(controls, AdvancedSettingsId::Ok, kClicked);
        EXPECT_EQ(s.mountType, mount);
        EXPECT_EQ(s.changeMask, 0u);
        dialog.command(controls, AdvancedSettingsId::MountGerman, kClicked);
        dialog.command(controls, AdvancedSettingsId::Ok, kClicked);
        EXPECT_EQ(s.mountType, 0);
        EXPECT_EQ(s.changeMask, kChangeMountType);
    }
}

TEST(AdvancedSettingsDialog, AnAngleBelowAWholeSecondIsKeptUnlessEdited) {
    AdvancedSettings s = sampleSettings();
    s.latitude = angle(47, 30, 0) - 1;
    s.longitude = -angle(8, 5, 0) - 7;
    AdvancedSettingsDialog dialog(s);
    FakeControls controls{kDialogAdvancedSettings};
    dialog.init(controls);
    EXPECT_EQ(controls.text(AdvancedSettingsId::LatitudeEdit), "N 47:29:59");
    dialog.command(controls, AdvancedSettingsId::Ok, kClicked);
    EXPECT_EQ(s.latitude, angle(47, 30, 0) - 1);
    EXPECT_EQ(s.changeMask, 0u);
    controls.type(AdvancedSettingsId::LongitudeEdit, "W 8:05:01");
    dialog.command(controls, AdvancedSettingsId::Ok, kClicked);
    EXPECT_EQ(s.longitude, -angle(8, 5, 1));
    EXPECT_EQ(s.changeMask, kChangeLongitude);
}

// Each row: one edit of the sample left with a text, then Ok. A hysteresis
// beyond a byte is held at 255; text that holds no number changes nothing
// and the edit shows the value again.
TEST(AdvancedSettingsDialog, EditsReadTheirNumberOrKeepTheValue) {
    struct Case {
        int edit;
        const char* text;
        int64_t stored;
        bool changed;
        const char* shown;  // the edit afterwards
    };
    constexpr int kHysteresis = AdvancedSettingsId::HysteresisEdit;
    constexpr int kLatitude = AdvancedSettingsId::LatitudeEdit;
    constexpr int kLongitude = AdvancedSettingsId::LongitudeEdit;
    // clang-format off
    const Case cases[] = {
        {kHysteresis, "10", 10, false, "10"},
        {kHysteresis, " 10 ", 10, false, " 10 "},
        {kHysteresis, "0", 0, true, "0"},
        {kHysteresis, "12 ", 12, true, "12 "},
        {kHysteresis, "255", 255, true, "255"},
        {kHysteresis, "266", 255, true, "255"},         // held at the byte's largest value
        {kHysteresis, "4294967306", 255, true, "255"},
        {kHysteresis, "", 10, false, "10"},
        {kHysteresis, "-5", 10, false, "10"},
        {kHysteresis, "7x", 10, false, "10"},
        {kLatitude, "S 34:43:20 ", -angle(34, 43, 20), true, "S 34:43:20 "},
        {kLatitude, "xyz", angle(47, 30, 0), false, "N 47:30:00"},
        {kLatitude, "", angle(47, 30, 0), false, "N 47:30:00"},
        {kLongitude, "W", -angle(8, 5, 0), false, "W 8:05:00"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.edit) + " \"" + c.text + "\"");
        AdvancedSettings s = sampleSettings();
        AdvancedSettingsDialog dialog(s);
        FakeControls controls{kDialogAdvancedSettings};
        dialog.init(controls);
        controls.type(c.edit, c.text);
        EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::Ok, kClicked), 1);
        const int64_t stored = c.edit == kHysteresis ? s.flipHysteresis
                               : c.edit == kLatitude ? s.latitude
                                                     : s.longitude;
        const uint32_t bit = c.edit == kHysteresis ? kChangeHysteresis
                             : c.edit == kLatitude ? kChangeLatitude
                                                   : kChangeLongitude;
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(s.changeMask, c.changed ? bit : 0u);
        EXPECT_EQ(controls.text(c.edit), c.shown);
    }
}

TEST(AdvancedSettingsDialog, CancelAndOtherCommandsLeaveTheRecordUntouched) {
    AdvancedSettings s = sampleSettings();
    const AdvancedSettings before = s;
    AdvancedSettingsDialog dialog(s);
    FakeControls controls{kDialogAdvancedSettings};
    dialog.init(controls);
    controls.type(AdvancedSettingsId::LatitudeEdit, "S 1:00:00");
    controls.type(AdvancedSettingsId::HysteresisEdit, "99");
    dialog.command(controls, AdvancedSettingsId::MountGerman, kClicked);
    EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::HysteresisEdit, kEditChange), -1);
    EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::PositionGroup, kClicked), -1);
    EXPECT_EQ(dialog.command(controls, AdvancedSettingsId::Cancel, kClicked), 0);
    EXPECT_EQ(s.changeMask, before.changeMask);
    EXPECT_EQ(s.mountType, before.mountType);
    EXPECT_EQ(s.latitude, before.latitude);
    EXPECT_EQ(s.longitude, before.longitude);
    EXPECT_EQ(s.flipHysteresis, before.flipHysteresis);
}

// ---- About box ------------------------------------------------------------

TEST(AboutDialog, InitShowsTheTextsAndTheAddress) {
    FakeControls controls{kDialogAbout};
    AboutDialog(nullptr).init(controls);
    EXPECT_EQ(controls.text(AboutId::Title), "Vorlant 2.4");
    EXPECT_EQ(controls.text(AboutId::Description),
              "Configurator program for Kelvane Brask and Frell controllers.");
    EXPECT_FALSE(controls.text(AboutId::Credit).empty());
    EXPECT_EQ(controls.text(AboutId::Link), AboutDialog::kWebAddress);
}

TEST(AboutDialog, CommandsEndOrOpenTheLink) {
    struct Case {
        int id;
        int notifyCode;
        int result;
        int opened;
    };
    const Case cases[] = {
        {AboutId::Ok, kClicked, 1, 0},        {AboutId::Exit, kClicked, 1, 0},
        {AboutId::Link, kClicked, -1, 1},     {AboutId::Link, kDoubleClick, -1, 0},
        {AboutId::Exit, kDoubleClick, -1, 0}, {AboutId::Title, kClicked, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + "/" + std::to_string(c.notifyCode));
        std::vector<std::string> opened;
        AboutDialog dialog([&](const std::string& address) { opened.push_back(address); });
        FakeControls controls{kDialogAbout};
        dialog.init(controls);
        EXPECT_EQ(dialog.command(controls, c.id, c.notifyCode), c.result);
        ASSERT_EQ(opened.size(), static_cast<std::size_t>(c.opened));
        if (c.opened) {
            EXPECT_EQ(opened[0], AboutDialog::kWebAddress);
        }
    }
    // Without an opener a click is harmless.
    FakeControls controls{kDialogAbout};
    EXPECT_EQ(AboutDialog(nullptr).command(controls, AboutId::Link, kClicked), -1);
}

}  // namespace
}  // namespace vorlant
