// The field table itself: one entry per record member, accessors that
// reach their own member only, the writers' ranges and classes, and how a
// value is described to a person.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/SettingsFields.h"
#include "text/VersionText.h"

namespace vorlant {
namespace {

TEST(SettingsFields, OneEntryPerRecordMember) {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    // ControllerSettings has 60 members; a member added there must be
    // added to the table too (read-out, export and import all use it).
    EXPECT_EQ(count, 60u);
    std::set<std::string> names;
    for (size_t i = 0; i < count; ++i) EXPECT_TRUE(names.insert(fields[i].name).second) << fields[i].name;
    EXPECT_STREQ(fields[0].name, "mountType");  // record order
    EXPECT_STREQ(fields[count - 1].name, "deMaxRate");
}

TEST(SettingsFields, EachAccessorReachesOnlyItsOwnMember) {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        ControllerSettings s{};
        fields[i].set(s, fields[i].typeMax);
        for (size_t j = 0; j < count; ++j)
            EXPECT_EQ(fields[j].get(s), i == j ? fields[i].typeMax : 0)
                << fields[i].name << " / " << fields[j].name;
        // Signed members keep their sign through the accessors.
        if (fields[i].isSigned) {
            fields[i].set(s, fields[i].typeMin);
            EXPECT_LT(fields[i].get(s), 0) << fields[i].name;
        }
    }
}

TEST(SettingsFields, WireRangesAndClasses) {
    struct Case {
        const char* name;
        FieldWriter writer;
        int64_t min, max;
        uint8_t readClass, writeClass;
        uint32_t selector;
    };
    const Case cases[] = {
        {"raGearRatio", FieldWriter::GearRatios, 0, 0xFFFFFFFF, 1, 1, 0x80},
        {"raMaxSpeed", FieldWriter::MaxSpeeds, 0, 0xFFFF, 2, 2, 0x80},  // u32 in the record, u16 on the wire
        {"deMaxSpeed", FieldWriter::MaxSpeeds, 0, 0xFFFF, 2, 2, 0x40},
        {"reverseGuiding", FieldWriter::ReverseFlags, 0, 3, 2, 2, 1},
        {"reverseLimits", FieldWriter::ReverseFlags, 0, 3, 3, 3, 2},
        {"raTrackCurrent", FieldWriter::Current, 0, 0xFFFF, 2, 2, 0x81},
        {"deRunCurrent", FieldWriter::Current, 0, 0xFFFF, 2, 2, 0x42},
        {"deIdleDecay", FieldWriter::Decay, 0, 255, 2, 2, 0x40},
        {"raRunDecay", FieldWriter::Decay, 0, 255, 2, 2, 0x82},
        {"deDeceleration", FieldWriter::Decelerations, 0, 255, 2, 2, 0x40},
        {"raOvertone", FieldWriter::Overtone, -128, 127, 3, 3, 0x80},
        {"deIncCurrentAt", FieldWriter::IncCurrentAt, 0, 0xFFFF, 3, 3, 0x40},
        {"raGuideRate", FieldWriter::GuideRates, 1, 16, 3, 3, 0x80},  // u16 in the record
        {"mountType", FieldWriter::Advanced, 0, 2, 1, 5, 4},
        {"latitude", FieldWriter::Advanced, -90 * 86400, 90 * 86400, 5, 5, 1},
        {"longitude", FieldWriter::Advanced, -180 * 86400, 180 * 86400, 5, 5, 2},
        {"flipHysteresis", FieldWriter::Advanced, 0, 255, 5, 5, 8},
    };
    for (const Case& c : cases) {
        const SettingsField* f = findField(c.name);
        ASSERT_NE(f, nullptr) << c.name;
        EXPECT_EQ(f->writer, c.writer) << c.name;
        EXPECT_EQ(f->writeMin, c.min) << c.name;
        EXPECT_EQ(f->writeMax, c.max) << c.name;
        EXPECT_EQ(f->readClass, c.readClass) << c.name;
        EXPECT_EQ(f->writeClass, c.writeClass) << c.name;
        EXPECT_EQ(f->selector, c.selector) << c.name;
    }
    for (const char* readOnly : {"modeByte", "versionClass", "hardwareVersion", "deviceFamily",
                                 "raSiderealRate", "raGearAux", "raMaxCurrent", "deMaxCurrent",
                                 "raOvertoneAux", "deIncCurrentAux", "raAuxLong", "flipParamA", "raMaxRate"})
        EXPECT_FALSE(isWritable(*findField(readOnly))) << readOnly;
    EXPECT_EQ(findField("nonsense"), nullptr);
    EXPECT_EQ(findField("RAMAXSPEED"), nullptr);  // names are exact
}

TEST(SettingsFields, EveryWritableFieldCanBeStoredAndReadBack) {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (!isWritable(f)) continue;
        // A value the writer accepts fits the record member, and a class
        // that may write the field also reads it back (so import can
        // confirm what it sent).
        EXPECT_GE(f.writeMin, f.typeMin) << f.name;
        EXPECT_LE(f.writeMax, f.typeMax) << f.name;
        EXPECT_LE(f.writeMin, f.writeMax) << f.name;
        EXPECT_GE(f.writeClass, f.readClass) << f.name;
        EXPECT_GE(f.writeClass, 1) << f.name;
    }
}

TEST(SettingsFields, ValuesForPeople) {
    EXPECT_EQ(dottedVersion(0x01000009), "1.0.0.9");
    EXPECT_EQ(dottedVersion(0x00010104), "0.1.1.4");
    EXPECT_EQ(dottedVersion(0xFFFEFDFC), "255.254.253.252");
    EXPECT_EQ(describeValue(*findField("firmwareVersion"), 0x01000009), "16777225  (1.0.0.9)");
    EXPECT_EQ(describeValue(*findField("latitude"), -(33 * 86400 + 52 * 1440 + 6 * 24)),
              "-2926224  (-33:52:06)");
    EXPECT_EQ(describeValue(*findField("raOvertone"), -7), "-7");
    EXPECT_EQ(describeValue(*findField("deRunCurrent"), 900), "900 mA");
    EXPECT_EQ(describeValue(*findField("deGuideRate"), 8), "8  (0.5x sidereal)");
    EXPECT_EQ(describeValue(*findField("raGuideRate"), 16), "16  (1x sidereal)");
}

}  // namespace
}  // namespace vorlant
