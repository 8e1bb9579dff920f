// indi_brask under the real indiserver, against the simulator on a pty,
// seen through INDI's client tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/indi/IndiRig.h"
#include "tests/support/ParameterFields.h"
#include "tools/simulator/SimState.h"

namespace vorlant {
namespace {

using test::IndiRig;
using Names = std::vector<std::string>;

// The requests after the read-out (which ends with the site for class 5).
Names afterReadout(const Names& all) {
    const auto end = std::find(all.begin(), all.end(), "ReadLocation");
    return end == all.end() ? all : Names(end + 1, all.end());
}

double number(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

TEST(IndiDriver, ReadsOutWritesAndMovesAsTheWindowDoes) {
    IndiRig rig("class5");
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(rig.connect());

    // Every field equals the simulator's.
    const sim::SimState s = sim::initialState(sim::SimProfile::Class5);
    auto props = rig.all();
    auto value = [&](const std::string& field) { return number(props["Brask." + field + ".VALUE"]); };
#define SAME(f) EXPECT_EQ(value(#f), static_cast<double>(s.f)) << #f;
    SAME(firmwareVersion) SAME(hardwareVersion) SAME(portType) SAME(mountType);
    SAME(raGearByte) SAME(raGearRatio) SAME(raGearAux) SAME(raSiderealRate);
    SAME(deGearByte) SAME(deGearRatio) SAME(deGearAux) SAME(deSiderealRate);
    SAME(flipParamA) SAME(flipParamB) SAME(flipHysteresis);
#define SAME_PARAMETER(f)                           \
    if (std::string(#f).rfind("reverse", 0) != 0) { \
        SAME(f)                                     \
    }
    VORLANT_SHORT_PARAMETER_FIELDS(SAME_PARAMETER)
    VORLANT_FULL_PARAMETER_FIELDS(SAME_PARAMETER)
#undef SAME_PARAMETER
#undef SAME
    const struct {
        const char* property;
        uint8_t flags;
        int bit;
    } reverse[] = {
        {"raReverseRotation", s.reverseRotation, 0}, {"deReverseRotation", s.reverseRotation, 1},
        {"raReverseGuiding", s.reverseGuiding, 0},   {"deReverseGuiding", s.reverseGuiding, 1},
        {"raReverseLimits", s.reverseLimits, 0},     {"deReverseLimits", s.reverseLimits, 1},
    };
    for (const auto& r : reverse)
        EXPECT_EQ(props[std::string("Brask.") + r.property + ".REVERSE"],
                  (r.flags >> r.bit) & 1 ? "On" : "Off")
            << r.property;
    EXPECT_EQ(std::llround(number(props["Brask.GEOGRAPHIC_COORD.LAT"]) * 86400), s.latitude);
    const long long east = s.longitude < 0 ? s.longitude + 360LL * 86400 : s.longitude;
    EXPECT_EQ(std::llround(number(props["Brask.GEOGRAPHIC_COORD.LONG"]) * 86400), east);
    EXPECT_EQ(props["Brask.STATUS.TEXT"], "Connection established.");

    // A setting, the gear ratio and one motion; a second client watches.
    const std::string newRatio = std::to_string(s.raGearRatio + 1);
    auto watcher = rig.watch("\"Brask.raGearRatio.VALUE\"==" + newRatio +
                             " && \"Brask.raAcceleration.VALUE\"==" + std::to_string(s.raAcceleration + 1));
    ASSERT_TRUE(rig.set("Brask.raAcceleration.VALUE=" + std::to_string(s.raAcceleration + 1)));
    ASSERT_TRUE(rig.wait("\"Brask.raAcceleration._STATE\"==1"));
    ASSERT_TRUE(rig.set("Brask.raGearRatio.VALUE=" + newRatio));
    ASSERT_TRUE(rig.wait("\"Brask.raGearRatio._STATE\"==1 && \"Brask.raGearRatio.VALUE\"==" + newRatio));
    // The site, in INDI's degrees (west of Greenwich as 0..360 east).
    const int32_t latitude = -(33 * 86400 + 52 * 1440 + 7 * 24 + 5), longitude = -(8 * 86400 + 5 * 1440 + 1);
    char site[96];
    std::snprintf(site, sizeof site, "Brask.GEOGRAPHIC_COORD.LAT;LONG=%.17g;%.17g", latitude / 86400.0,
                  (longitude + 360.0 * 86400) / 86400.0);
    ASSERT_TRUE(rig.set(site));
    ASSERT_TRUE(rig.wait("\"Brask.GEOGRAPHIC_COORD._STATE\"==1"));
    ASSERT_TRUE(rig.set("Brask.TELESCOPE_MOTION_NS.MOTION_NORTH=On"));
    ASSERT_TRUE(rig.wait("\"Brask.TELESCOPE_MOTION_NS._STATE\"==2"));
    EXPECT_EQ(watcher->waitExit(15000), 0) << "the second client saw the new values";
    // Disconnecting while the mount moves stops both axes first.
    ASSERT_TRUE(rig.set("Brask.CONNECTION.DISCONNECT=On"));
    ASSERT_TRUE(rig.wait("\"Brask.CONNECTION._STATE\"==0"));
    EXPECT_EQ(afterReadout(rig.requests()), (Names{"WriteAccelerations", "WriteGearRatios", "ReadGearBlock",
                                                   "WriteLocation", "Move", "Stop", "ReadSupplyVoltage"}));
    EXPECT_TRUE(rig.get("Brask.raAcceleration.VALUE").empty()) << "link properties go with the link";

    // The controller holds the site exactly as sent.
    ASSERT_TRUE(rig.connect());
    EXPECT_EQ(std::llround(number(rig.get("Brask.GEOGRAPHIC_COORD.LAT")) * 86400), latitude);
    EXPECT_EQ(std::llround(number(rig.get("Brask.GEOGRAPHIC_COORD.LONG")) * 86400) - 360LL * 86400,
              longitude);
}

TEST(IndiDriver, RefusesOutOfRangeValuesWithoutSending) {
    IndiRig rig("class5");
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(rig.connect());
    const struct {
        const char* assignment;
        const char* state;
    } cases[] = {
        {"Brask.raAcceleration.VALUE=256", "Brask.raAcceleration._STATE"},
        {"Brask.raGuideRate.VALUE=0", "Brask.raGuideRate._STATE"},
        {"Brask.raGearRatio.VALUE=-1", "Brask.raGearRatio._STATE"},
        {"Brask.GEOGRAPHIC_COORD.LAT=90.5", "Brask.GEOGRAPHIC_COORD._STATE"},
        {"Brask.GEOGRAPHIC_COORD.LONG=-1", "Brask.GEOGRAPHIC_COORD._STATE"},
        {"Brask.MOTION_SPEED.SPEED=32", "Brask.MOTION_SPEED._STATE"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(rig.set(c.assignment)) << c.assignment;
        EXPECT_TRUE(rig.wait("\"" + std::string(c.state) + "\"==3", 3)) << c.assignment;
    }
    // An unchanged value is Ok and sends nothing either.
    ASSERT_TRUE(rig.set("Brask.raAcceleration.VALUE=" + rig.get("Brask.raAcceleration.VALUE")));
    EXPECT_TRUE(rig.wait("\"Brask.raAcceleration._STATE\"==1", 3));
    EXPECT_EQ(afterReadout(rig.requests()), Names{});
}

TEST(IndiDriver, ControllerStopsAnsweringThenVanishesThenComesBack) {
    // The read-out of a class-5 controller takes seven requests.
    IndiRig rig("class5", {"--mute-after", "7"});
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.set("Brask.raGearRatio.VALUE=1000"));
    ASSERT_TRUE(rig.wait("\"Brask.raGearRatio._STATE\"==2", 3));
    // The engine gives the exchange up after its reply time-out.
    EXPECT_TRUE(rig.wait("\"Brask.raGearRatio._STATE\"==3", 15));
    EXPECT_EQ(rig.get("Brask.STATUS.TEXT"), "Error: Communication error");
    EXPECT_EQ(rig.get("Brask.CONNECTION.CONNECT"), "On") << "the link stays";

    rig.killSim();
    EXPECT_TRUE(rig.wait("\"Brask.CONNECTION._STATE\"==3 && \"Brask.CONNECTION.DISCONNECT\"==1", 10));
    EXPECT_EQ(rig.get("Brask.STATUS.TEXT"), "Connection closed. The device was disconnected.");

    rig.startSim("class5");
    EXPECT_TRUE(rig.connect()) << "a reconnect works";
}

TEST(IndiDriver, ClassOneDefinesOnlyWhatItReports) {
    IndiRig rig("class1");
    ASSERT_TRUE(rig.ready());
    ASSERT_TRUE(rig.connect());
    const auto props = rig.all();
    for (const char* present : {"Brask.firmwareVersion.VALUE", "Brask.raGearRatio.VALUE",
                                "Brask.raMaxRate.VALUE", "Brask.TELESCOPE_MOTION_NS.MOTION_NORTH"})
        EXPECT_EQ(props.count(present), 1u) << present;
    for (const char* absent :
         {"Brask.raAcceleration.VALUE", "Brask.raReverseRotation.REVERSE", "Brask.raGuideRate.VALUE",
          "Brask.flipHysteresis.VALUE", "Brask.GEOGRAPHIC_COORD.LAT"})
        EXPECT_EQ(props.count(absent), 0u) << absent;
}

}  // namespace
}  // namespace vorlant
