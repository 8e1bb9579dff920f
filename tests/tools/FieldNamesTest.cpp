// How vorlantctl shows the fields: the read-out listing, the list of the
// writable fields with their ranges, the nearest name of a misspelt one,
// the voltage text.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "engine/SettingsFields.h"
#include "tools/vorlantctl/Commands.h"
#include "tools/vorlantctl/FieldNames.h"

namespace vorlant::ctl {
namespace {

TEST(FieldNames, VoltageText) {
    EXPECT_EQ(formatVoltage(1234), "12.34V");
    EXPECT_EQ(formatVoltage(905), " 9.05V");
    EXPECT_EQ(formatVoltage(0), " 0.00V");
    EXPECT_EQ(formatVoltage(65535), "655.35V");
}

TEST(FieldNames, ReadoutListing) {
    ControllerSettings s{};
    s.hardwareVersion = 0x00010104;
    s.firmwareVersion = 0x01000009;
    s.portType = 4;
    s.versionClass = 5;
    s.raAcceleration = 70;
    const std::string text = formatReadout(s);
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Brask hardware 0.1.1.4, firmware 1.0.0.9, port type 4, class 5");
    size_t count = 0, valueColumn = 0, listed = 0;
    const SettingsField* fields = settingsFields(count);
    while (std::getline(lines, line)) {
        ASSERT_LT(listed, count);
        EXPECT_EQ(line.rfind(fields[listed].name, 0), 0u) << line;
        const size_t column = line.find_first_not_of(' ', std::strlen(fields[listed].name));
        if (listed == 0) valueColumn = column;
        EXPECT_EQ(column, valueColumn) << "values are aligned: " << line;
        ++listed;
    }
    EXPECT_EQ(listed, count);
    EXPECT_NE(text.find("\nraAcceleration   70\n"), std::string::npos) << text;
}

TEST(FieldNames, TheWritableFieldsWithTheirRanges) {
    const std::string list = formatFieldList();
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        const bool listed = list.find(std::string(fields[i].name) + " ") != std::string::npos;
        EXPECT_EQ(listed, isWritable(fields[i])) << fields[i].name;
    }
    for (const char* line : {"\nraGearRatio      1..4294967295 ", "\nraAcceleration   0..255 ",
                             "\nlatitude         -7776000..7776000    1/86400 degree (-90:00:00..90:00:00)",
                             "\nraGuideRate      1..16                1/16 of the sidereal rate"})
        EXPECT_NE(list.find(line), std::string::npos) << line << "\n" << list;
}

TEST(FieldNames, TheNearestNameOfAMisspeltField) {
    const struct {
        const char* typed;
        bool writableOnly;
        const char* meant;  // nullptr: nothing close enough
    } cases[] = {
        {"raacceleration", true, "raAcceleration"},
        {"DEGUIDERATE", true, "deGuideRate"},
        {"raGuidRate", true, "raGuideRate"},
        {"latitud", true, "latitude"},
        {"raMaxCurent", true, nullptr},  // read-only raMaxCurrent is not offered to set
        {"raMaxCurent", false, "raMaxCurrent"},
        {"speed", true, nullptr},
        {"x", true, nullptr},
    };
    for (const auto& c : cases) {
        const SettingsField* f = nearestField(c.typed, c.writableOnly);
        EXPECT_STREQ(f ? f->name : nullptr, c.meant) << c.typed;
    }
}

}  // namespace
}  // namespace vorlant::ctl
