#include <gtest/gtest.h>

#include <cstring>

#include "engine/SettingsDecode.h"
#include "tests/support/ParameterFields.h"
#include "tests/support/TestController.h"

namespace vorlant {
namespace {

using test::Bytes;

ReplyView view(const Bytes& b) {
    return ReplyView{b.data(), b.size()};
}

TEST(Decode, IdentificationForms) {
    struct Case {
        Bytes reply;
        IdentOutcome outcome;
        uint32_t hardware;
        uint32_t family;
    };
    const Case cases[] = {
        {{0x55, 0x05, 0x01, 0x04, 0x00, 0x01, 0x00}, IdentOutcome::Accepted, 0x00010004, 1},
        {{0x55, 0x05, 0x01, 0x00, 0x00, 0x02, 0x00}, IdentOutcome::Rejected, 0x00020000, 2},
        {{0x55, 0x05, 0x01, 0x00, 0x00, 0x05, 0x00}, IdentOutcome::Accepted, 0x00050000, 5},
        {{0x55, 0x05, 0x02, 0x04, 0x00, 0x01, 0x00}, IdentOutcome::Ignored, 0, 0},
        {{0x55, 0x03, 0x00, 0x01, 0x01}, IdentOutcome::TooOld, 0x00010101, 0},
        {{0x55, 0x03, 0x00, 0x01, 0x00}, IdentOutcome::TooOld, 0x00010001, 0},
        {{0x55, 0x03, 0x00, 0x00, 0x07}, IdentOutcome::TooOld, 0x00010700, 0},
        {{0x55, 0x03, 0x00, 0x01, 0x02}, IdentOutcome::Accepted, 0x00010201, 0},
        {{0x55, 0x03, 0x00, 0x02, 0x00}, IdentOutcome::Accepted, 0x00010002, 0},
        {{0x55, 0x04, 0x01, 0x04, 0x00, 0x01}, IdentOutcome::Ignored, 0, 0},
        {{0x55, 0x05, 0x01}, IdentOutcome::Rejected, 0, 0},  // cut short: the missing bytes read 0
    };
    for (const Case& c : cases) {
        ControllerSettings s{};
        EXPECT_EQ(decodeIdentification(view(c.reply), s), c.outcome);
        EXPECT_EQ(s.hardwareVersion, c.hardware);
        EXPECT_EQ(s.deviceFamily, c.family);
    }
}

TEST(Decode, PortType) {
    const std::pair<Bytes, std::pair<int, int>> table[] = {
        {{0x55, 0x02, 0x03, 0x00}, {0, 1}},
        {{0x55, 0x02, 0x03, 0x02}, {2, 0}},
        {{0x55, 0x01, 0x03}, {0, 1}},
    };
    for (const auto& [reply, expect] : table) {
        ControllerSettings s{};
        s.portType = 9;
        decodePortType(view(reply), s);
        EXPECT_EQ(s.portType, expect.first);
        EXPECT_EQ(s.portTypeZero, expect.second);
    }
}

TEST(Decode, VersionClassTable) {
    struct Case {
        uint32_t family, firmware;
        int cls;
    };
    const Case cases[] = {
        {1, 0x00FFFFFF, 1}, {1, 0x01000000, 1}, {1, 0x01000001, 2}, {1, 0x01000002, 3}, {1, 0x01000003, 3},
        {1, 0x01000004, 4}, {1, 0x01000008, 4}, {1, 0x01000009, 5}, {3, 0, 4},          {4, 0xFFFFFFFF, 4},
        {5, 0x01000004, 4}, {5, 0x01000005, 5}, {0, 0x01000009, 1}, {2, 0x01000009, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(versionClassFor(c.family, c.firmware), c.cls) << c.family << " " << c.firmware;
}

TEST(Decode, GearBlockWithAndWithoutMountType) {
    const ControllerSettings in = test::sampleSettings();
    const Bytes frame = test::gearBlock(in);
    ControllerSettings s{};
    decodeGearBlock(view(frame), s, true);
    EXPECT_EQ(s.raGearByte, in.raGearByte);
    EXPECT_EQ(s.raGearRatio, in.raGearRatio);
    EXPECT_EQ(s.raGearAux, in.raGearAux);
    EXPECT_EQ(s.raSiderealRate, in.raSiderealRate);
    EXPECT_EQ(s.deGearByte, in.deGearByte);
    EXPECT_EQ(s.deGearRatio, in.deGearRatio);
    EXPECT_EQ(s.deGearAux, in.deGearAux);
    EXPECT_EQ(s.deSiderealRate, in.deSiderealRate);
    EXPECT_EQ(s.mountType, in.mountType);
    ControllerSettings keep{};
    keep.mountType = 1;
    decodeGearBlock(view(frame), keep, false);
    EXPECT_EQ(keep.mountType, 1);
    EXPECT_EQ(keep.deSiderealRate, in.deSiderealRate);
}

// Every parameter field compared; the ones a layout does not carry stay 0.
void expectParams(const ControllerSettings& s, const ControllerSettings& in, bool full) {
#define SAME(f) EXPECT_EQ(s.f, in.f) << #f;
#define ZERO(f) EXPECT_EQ(s.f, 0) << #f;
    VORLANT_SHORT_PARAMETER_FIELDS(SAME)
    if (full) {
        VORLANT_FULL_PARAMETER_FIELDS(SAME)
    } else {
        VORLANT_FULL_PARAMETER_FIELDS(ZERO)
    }
#undef SAME
#undef ZERO
}

TEST(Decode, ParameterBlockLayoutsByClass) {
    const ControllerSettings in = test::sampleSettings();
    for (uint8_t cls = 3; cls <= 5; ++cls) {
        ControllerSettings s{};
        s.versionClass = cls;
        decodeParameterBlock(view(test::paramBlockFull(in)), s);
        expectParams(s, in, true);
    }
    ControllerSettings s2{};
    s2.versionClass = 2;
    decodeParameterBlock(view(test::paramBlockShort(in)), s2);
    expectParams(s2, in, false);
    // Class 1 decodes nothing but still recomputes the rates.
    ControllerSettings s1{};
    s1.versionClass = 1;
    s1.raMaxSpeed = 3;
    s1.raSiderealRate = 5;
    decodeParameterBlock(view(test::paramBlockFull(in)), s1);
    EXPECT_EQ(s1.raAcceleration, 0);
    EXPECT_EQ(s1.raMaxRate, 15u);
}

TEST(Decode, MaxRateIsAWrappingProduct) {
    ControllerSettings s{};
    s.raMaxSpeed = 65535;
    s.raSiderealRate = 0xFFFFFFFFu;
    s.deMaxSpeed = 800;
    s.deSiderealRate = 0;
    recomputeMaxRates(s);
    EXPECT_EQ(s.raMaxRate, 65535u * 0xFFFFFFFFu);
    EXPECT_EQ(s.deMaxRate, 0u);
}

TEST(Decode, LocationSignsAndVoltage) {
    Bytes loc = {0x55, 0x09, 0x64, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF};
    ControllerSettings s{};
    decodeLocation(view(loc), s);
    EXPECT_EQ(s.latitude, INT32_MIN);
    EXPECT_EQ(s.longitude, -1);
    EXPECT_EQ(decodeSupplyVoltage(view({0x55, 0x05, 0x2B, 0x00, 0x00, 0xD2, 0x04})), 1234);
}

TEST(Decode, FlipBlockAndAShortFrame) {
    ControllerSettings s{};
    decodeFlipBlock(view({0x55, 0x05, 0x3D, 0x00, 0x0A, 0x0B, 0x0C}), s);
    EXPECT_EQ(s.flipParamA, 10);
    EXPECT_EQ(s.flipParamB, 11);
    EXPECT_EQ(s.flipHysteresis, 12);
    // Positions past the frame read 0.
    decodeFlipBlock(view({0x55, 0x03, 0x3D, 0x00, 0x0A}), s);
    EXPECT_EQ(s.flipParamA, 10);
    EXPECT_EQ(s.flipParamB, 0);
    EXPECT_EQ(s.flipHysteresis, 0);
}

TEST(Decode, ResetLeavesOnlyTheConnectMarks) {
    ControllerSettings s = test::sampleSettings();
    resetSettings(s);
    ControllerSettings expected{};
    std::memset(&expected, 0, sizeof expected);
    expected.modeByte = 7;
    expected.portTypeZero = 1;
    EXPECT_EQ(std::memcmp(&s, &expected, sizeof s), 0);
}

}  // namespace
}  // namespace vorlant
