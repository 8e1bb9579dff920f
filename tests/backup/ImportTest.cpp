// The settings file and the plan of commands, without a controller: what
// import accepts, what it refuses (naming the field) and which engine
// commands a set of changes becomes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "backup/SettingsFile.h"
#include "tests/support/SimExpect.h"

namespace vorlant::backup {
namespace {

ControllerSettings class5() {
    return test::expectedReadout(sim::SimProfile::Class5);
}

// The export of `s` with one member's value text replaced (or the member
// removed when `value` is null, or added when it is not there).
std::string editedExport(const ControllerSettings& s, const std::string& key, const char* value) {
    std::string text = settingsToJson(s, true);
    const std::string quoted = "\"" + key + "\": ";
    const size_t at = text.find(quoted);
    if (at == std::string::npos) {
        if (value) text.insert(2, quoted + value + ",\n  ");
        return text;
    }
    const size_t end = text.find_first_of(",\n", at + quoted.size());
    if (value) {
        text.replace(at + quoted.size(), end - at - quoted.size(), value);
    } else {
        const size_t lineStart = text.rfind('\n', at) + 1;
        text.erase(lineStart, text.find('\n', at) + 1 - lineStart);
    }
    return text;
}

struct Checked {
    bool ok;
    std::string error;
    std::vector<FieldChange> changes;
    ControllerSettings target;
};

Checked check(const std::string& text, const ControllerSettings& controller) {
    Checked c{};
    SettingsFile file;
    c.ok =
        parseSettingsFile(text, file, c.error) && planImport(file, controller, c.target, c.changes, c.error);
    return c;
}

TEST(Import, ItsOwnExportChangesNothing) {
    for (sim::SimProfile p : {sim::SimProfile::Class1, sim::SimProfile::Class2, sim::SimProfile::Class3,
                              sim::SimProfile::Class4, sim::SimProfile::Class5}) {
        const ControllerSettings s = test::expectedReadout(p);
        const Checked c = check(settingsToJson(s, true), s);
        ASSERT_TRUE(c.ok) << c.error;
        EXPECT_TRUE(c.changes.empty());
    }
}

TEST(Import, RefusalsNameTheField) {
    const ControllerSettings s = class5();
    ControllerSettings class4 = test::expectedReadout(sim::SimProfile::Class4);
    class4.deviceFamily = 1;  // same family, older class
    struct Case {
        const char* what;
        std::string text;
        ControllerSettings controller;
        const char* message;
    };
    const Case cases[] = {
        {"unknown field", editedExport(s, "raTurbo", "1"), s, "unknown field \"raTurbo\""},
        {"record range", editedExport(s, "raAcceleration", "256"), s,
         "raAcceleration: value 256 is out of range (0..255)"},
        {"negative unsigned", editedExport(s, "raIdleCurrent", "-1"), s, "raIdleCurrent: value -1"},
        {"wire range", editedExport(s, "raMaxSpeed", "70000"), s,
         "raMaxSpeed: value 70000 is out of range (0..65535)"},
        {"meaning range", editedExport(s, "deGuideRate", "17"), s,
         "deGuideRate: value 17 is out of range (1..16)"},
        {"mount type", editedExport(s, "mountType", "3"), s, "mountType: value 3"},
        {"latitude", editedExport(s, "latitude", "8000000"), s, "latitude: value 8000000"},
        {"not an integer", editedExport(s, "raDeceleration", "\"80\""), s,
         "raDeceleration: expected an integer, found a string"},
        {"boolean", editedExport(s, "reverseLimits", "true"), s,
         "reverseLimits: expected an integer, found a boolean"},
        {"foreign family", editedExport(s, "deviceFamily", "5"), s,
         "deviceFamily: the file is from a controller of family 5"},
        {"class lacks a field", settingsToJson(s, true), class4,
         "flipHysteresis cannot be written on this controller (class 4"},
        {"no marker", editedExport(s, "format", nullptr), s, "not a settings file"},
        {"wrong marker", editedExport(s, "format", "\"vorlantctl-settings-v2\""), s, "not a settings file"},
        {"no family", editedExport(s, "deviceFamily", nullptr), s, "deviceFamily is missing"},
        {"no class", editedExport(s, "versionClass", nullptr), s, "versionClass is missing"},
        {"class 0", editedExport(s, "versionClass", "0"), s, "versionClass: value 0"},
        {"class 6", editedExport(s, "versionClass", "6"), s, "versionClass: value 6"},
        {"syntax", settingsToJson(s, true).substr(0, 200), s, "not valid JSON: line "},
        {"duplicate", editedExport(s, "raAcceleration", "70, \"raAcceleration\": 71"), s,
         "duplicate key \"raAcceleration\""},
        {"array", "[1, 2]", s, "one JSON object, not an array"},
        {"empty", "", s, "line 1, column 1"},
        {"fraction", editedExport(s, "raAcceleration", "1.5"), s,
         "raAcceleration: expected an integer, found 1.5"},
        {"exponent", editedExport(s, "raAcceleration", "7e1"), s, "raAcceleration: expected an integer"},
        {"beyond 64 bits", editedExport(s, "raMaxSpeed", "18446744073709551616"), s,
         "raMaxSpeed: value 1.8446744073709552e+19 is out of range (0..4294967295)"},
        {"beyond signed 64 bits", editedExport(s, "raMaxSpeed", "9223372036854775808"), s,
         "raMaxSpeed: value 9223372036854775808 is out of range"},
        {"nested", editedExport(s, "raMaxSpeed", "[[1]]"), s,
         "raMaxSpeed: expected an integer, found an array"},
        {"deep", editedExport(s, "raMaxSpeed", (std::string(100000, '[') + std::string(100000, ']')).c_str()),
         s, "nested more than 64 levels deep"},
        {"bad UTF-8", editedExport(s, "format", "\"\xff\""), s, "not valid JSON: line "},
    };
    for (const Case& c : cases) {
        const Checked r = check(c.text, c.controller);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << c.what << ": " << r.error;
    }
}

// A file as the exporter has written it since the first release: still
// read, with the values it was written from, and written the same today.
TEST(Import, AFileFromAnEarlierExportIsRead) {
    std::FILE* f = std::fopen(VORLANT_EXPORT_CLASS5, "rb");
    ASSERT_NE(f, nullptr) << VORLANT_EXPORT_CLASS5;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    std::fclose(f);

    const ControllerSettings s = class5();
    SettingsFile file;
    std::string error;
    ASSERT_TRUE(parseSettingsFile(text, file, error)) << error;
    EXPECT_EQ(settingsToJson(file.values, false), settingsToJson(s, false));
    EXPECT_EQ(std::count(file.present.begin(), file.present.end(), true),
              static_cast<std::ptrdiff_t>(file.present.size()));
    EXPECT_EQ(settingsToJson(s, true), text);
}

TEST(Import, ReadOnlyFieldsAreIgnored) {
    const ControllerSettings s = class5();
    ControllerSettings edited = s;
    edited.firmwareVersion = 0x01000010;
    edited.hardwareVersion += 1;  // the family (high half) stays
    edited.raSiderealRate = 1;
    edited.deMaxCurrent = 9;
    edited.raIncCurrentAux = 1;
    edited.raAuxLong = 2;
    edited.flipParamB = 3;
    edited.raMaxRate = 4;
    edited.modeByte = 0;
    edited.portType = 9;
    const Checked c = check(settingsToJson(edited, true), s);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_TRUE(c.changes.empty());
}

TEST(Import, FieldsTheFilesClassLacksAreNotApplied) {
    // A class-3 export holds zeros for the site; imported into a class-5
    // controller it must not move the site to 0:00:00.
    ControllerSettings file = test::expectedReadout(sim::SimProfile::Class3);
    file.versionClass = 3;
    const ControllerSettings controller = class5();
    file.deviceFamily = controller.deviceFamily;
    Checked c = check(settingsToJson(file, true), controller);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_TRUE(c.changes.empty());

    // A value there is a contradiction, not something to guess about.
    file.longitude = 100;
    c = check(settingsToJson(file, true), controller);
    EXPECT_FALSE(c.ok);
    EXPECT_NE(c.error.find("longitude"), std::string::npos) << c.error;
}

TEST(Import, AnOlderClassIsFineWhenNothingItLacksDiffers) {
    const ControllerSettings controller = test::expectedReadout(sim::SimProfile::Class3);
    ControllerSettings file = class5();
    // The class-5-only fields hold what the class-3 read-out shows (0).
    file.flipHysteresis = 0;
    file.latitude = 0;
    file.longitude = 0;
    file.flipParamA = 0;
    file.flipParamB = 0;
    file.raAcceleration = 71;
    const Checked c = check(settingsToJson(file, true), controller);
    ASSERT_TRUE(c.ok) << c.error;
    ASSERT_EQ(c.changes.size(), 1u);
    EXPECT_STREQ(c.changes[0].field->name, "raAcceleration");
    EXPECT_EQ(c.target.raAcceleration, 71);
}

TEST(Import, APartialFileChangesOnlyWhatItNames) {
    const ControllerSettings s = class5();
    const std::string text =
        "{\"format\": \"vorlantctl-settings-v1\", \"deviceFamily\": 1, \"versionClass\": 5,"
        " \"deIdleCurrent\": 400, \"raOvertone\": -128}";
    const Checked c = check(text, s);
    ASSERT_TRUE(c.ok) << c.error;
    ASSERT_EQ(c.changes.size(), 2u);
    ControllerSettings want = s;
    want.deIdleCurrent = 400;
    want.raOvertone = -128;
    EXPECT_EQ(std::string(settingsToJson(c.target, false)), settingsToJson(want, false));
}

const PlannedCommand* findCommand(const std::vector<PlannedCommand>& plan, FieldWriter w,
                                  uint8_t selector = 0) {
    for (const PlannedCommand& c : plan)
        if (c.writer == w && c.selector == selector) return &c;
    return nullptr;
}

TEST(Plan, PairedCommandsCarryTheOtherAxisAsItIs) {
    const ControllerSettings current = class5();
    ControllerSettings target = current;
    target.raAcceleration = 1;  // RA only
    target.deDeceleration = 2;  // DE only
    target.deMaxSpeed = 1000;
    target.raGuideRate = 16;
    target.reverseLimits = 0;
    target.deGearRatio = 5;
    const std::vector<PlannedCommand> plan = planCommands(current, target);
    ASSERT_EQ(plan.size(), 6u);
    EXPECT_EQ(plan.front().writer, FieldWriter::GearRatios) << "the gear exchange goes first";

    const PlannedCommand* acc = findCommand(plan, FieldWriter::Accelerations);
    ASSERT_NE(acc, nullptr);
    EXPECT_EQ(acc->first, 1u);
    EXPECT_EQ(acc->second, current.deAcceleration);
    const PlannedCommand* dec = findCommand(plan, FieldWriter::Decelerations);
    ASSERT_NE(dec, nullptr);
    EXPECT_EQ(dec->first, current.raDeceleration);
    EXPECT_EQ(dec->second, 2u);
    const PlannedCommand* speeds = findCommand(plan, FieldWriter::MaxSpeeds);
    EXPECT_EQ(speeds->first, current.raMaxSpeed);
    EXPECT_EQ(speeds->second, 1000u);
    const PlannedCommand* guide = findCommand(plan, FieldWriter::GuideRates);
    EXPECT_EQ(guide->first, 16u);
    EXPECT_EQ(guide->second, current.deGuideRate);
    const PlannedCommand* flags = findCommand(plan, FieldWriter::ReverseFlags);
    EXPECT_EQ(flags->first, current.reverseRotation);
    EXPECT_EQ(flags->second, current.reverseGuiding);
    EXPECT_EQ(flags->third, 0u);
    const PlannedCommand* gear = findCommand(plan, FieldWriter::GearRatios);
    EXPECT_EQ(gear->first, current.raGearRatio);
    EXPECT_EQ(gear->second, 5u);
}

TEST(Plan, BothAxesChangedGoInOneCommand) {
    const ControllerSettings current = class5();
    ControllerSettings target = current;
    target.raAcceleration = 1;
    target.deAcceleration = 2;
    const std::vector<PlannedCommand> plan = planCommands(current, target);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].first, 1u);
    EXPECT_EQ(plan[0].second, 2u);
    EXPECT_EQ(plan[0].fields, "raAcceleration, deAcceleration");
}

TEST(Plan, SingleAxisCommandsCarryTheirSelector) {
    const ControllerSettings current = class5();
    ControllerSettings target = current;
    target.raTrackCurrent = 700;
    target.deRunCurrent = 1300;
    target.deIdleDecay = 9;
    target.raOvertone = -100;
    target.deIncCurrentAt = 1700;
    const std::vector<PlannedCommand> plan = planCommands(current, target);
    ASSERT_EQ(plan.size(), 5u);
    EXPECT_EQ(findCommand(plan, FieldWriter::Current, 0x81)->first, 700u);
    EXPECT_EQ(findCommand(plan, FieldWriter::Current, 0x42)->first, 1300u);
    EXPECT_EQ(findCommand(plan, FieldWriter::Decay, 0x40)->first, 9u);
    EXPECT_EQ(static_cast<uint8_t>(findCommand(plan, FieldWriter::Overtone, 0x80)->first),
              0x9C);  // -100 as a byte
    const PlannedCommand* inc = findCommand(plan, FieldWriter::IncCurrentAt, 0x40);
    EXPECT_EQ(inc->first, 1700u);
    EXPECT_EQ(inc->second, current.deIncCurrentAux) << "the aux value goes back as read";
}

// What a read-back shows of a paired command: the record's values in the
// command's places (the gear ratios' re-read is checked against it).
TEST(Plan, ReadBackTakesEachValueFromItsField) {
    ControllerSettings s{};
    s.raGearRatio = 5;
    s.deGearRatio = 6;
    s.reverseRotation = 1;
    s.reverseGuiding = 2;
    s.reverseLimits = 3;
    PlannedCommand gear;
    gear.writer = FieldWriter::GearRatios;
    gear.first = 7;
    const PlannedCommand shownGear = readBack(gear, s);
    EXPECT_EQ(shownGear.first, 5u);
    EXPECT_EQ(shownGear.second, 6u);
    PlannedCommand flags;
    flags.writer = FieldWriter::ReverseFlags;
    const PlannedCommand shownFlags = readBack(flags, s);
    EXPECT_EQ(shownFlags.first, 1u);
    EXPECT_EQ(shownFlags.second, 2u);
    EXPECT_EQ(shownFlags.third, 3u);
}

TEST(Plan, AdvancedSettingsLastWithTheChangedBits) {
    const ControllerSettings current = class5();
    ControllerSettings target = current;
    target.longitude = 0;
    target.flipHysteresis = 9;
    target.raIdleCurrent = 1;
    const std::vector<PlannedCommand> plan = planCommands(current, target);
    ASSERT_EQ(plan.size(), 2u);
    const PlannedCommand& a = plan.back();
    EXPECT_EQ(a.writer, FieldWriter::Advanced);
    EXPECT_EQ(a.advanced.changeMask, kChangeLongitude | kChangeHysteresis);
    EXPECT_EQ(a.advanced.latitude, current.latitude) << "the location step sends both angles";
    EXPECT_EQ(a.advanced.longitude, 0);
    EXPECT_EQ(a.advanced.flipHysteresis, 9);
    EXPECT_EQ(a.advanced.mountType, current.mountType);
    EXPECT_TRUE(a.isExchange());
    EXPECT_FALSE(plan.front().isExchange());
}

TEST(Plan, NoDifferenceNoCommand) {
    const ControllerSettings s = class5();
    EXPECT_TRUE(planCommands(s, s).empty());
    ControllerSettings readOnlyDiffers = s;
    readOnlyDiffers.raMaxCurrent = 1;
    readOnlyDiffers.raIncCurrentAux = 1;
    EXPECT_TRUE(planCommands(s, readOnlyDiffers).empty());
}

TEST(Plan, WritabilityByClassAndRange) {
    struct Case {
        const char* field;
        int64_t value;
        uint8_t versionClass;
        const char* message;  // nullptr: accepted
    };
    const Case cases[] = {
        {"raOvertone", -5, 3, nullptr},
        {"raOvertone", -5, 2, "class 2; needs class 3"},
        {"raAcceleration", 5, 1, "class 1; needs class 2"},
        {"raGearRatio", 5, 1, nullptr},
        {"mountType", 2, 4, "class 4; needs class 5"},
        {"mountType", 2, 5, nullptr},
        {"raGuideRate", 0, 5, "out of range (1..16)"},
        {"raMaxCurrent", 5, 5, "read-only"},
    };
    for (const Case& c : cases) {
        std::string error;
        const bool ok = checkWritable(*findField(c.field), c.value, c.versionClass, error);
        EXPECT_EQ(ok, c.message == nullptr) << c.field << " class " << int(c.versionClass);
        if (c.message) {
            EXPECT_NE(error.find(c.message), std::string::npos) << error;
            EXPECT_EQ(error.rfind(c.field, 0), 0u) << "the message starts with the field: " << error;
        }
    }
}

}  // namespace
}  // namespace vorlant::backup
