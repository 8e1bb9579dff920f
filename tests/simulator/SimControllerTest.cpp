// The simulated controller: reply bytes, state changes and framing, checked
// against the byte layouts independently of the controller's own writer.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <set>
#include <vector>

#include "tools/simulator/SimController.h"

namespace vorlant::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ask(SimController& sim, std::initializer_list<uint8_t> frame) {
    const Bytes in(frame);
    sim.receive(in.data(), in.size());
    return sim.takeOutput();
}

Bytes ask(SimController& sim, const Bytes& in) {
    sim.receive(in.data(), in.size());
    return sim.takeOutput();
}

// Independent little-endian readers over a reply, positions from the 0x55.
uint16_t u16At(const Bytes& r, size_t pos) {
    return static_cast<uint16_t>(r.at(pos) | (r.at(pos + 1) << 8));
}
uint32_t u32At(const Bytes& r, size_t pos) {
    return static_cast<uint32_t>(r.at(pos)) | (static_cast<uint32_t>(r.at(pos + 1)) << 8) |
           (static_cast<uint32_t>(r.at(pos + 2)) << 16) | (static_cast<uint32_t>(r.at(pos + 3)) << 24);
}
int32_t s32At(const Bytes& r, size_t pos) {
    return static_cast<int32_t>(u32At(r, pos));
}

Bytes gearBlock(SimController& sim) {
    return ask(sim, {0xAA, 0x01, 0x14});
}
Bytes paramBlock(SimController& sim) {
    return ask(sim, {0xAA, 0x01, 0x15});
}

TEST(SimControllerTest, IdentificationFirmwareAndPortTypeRepliesPerProfile) {
    struct Case {
        SimProfile profile;
        Bytes identify;
        uint32_t family;  // high 16 bits of the long form; 0 for the short form
        uint32_t firmware;
    };
    const Case cases[] = {
        {SimProfile::Class1, {0x55, 0x05, 0x01, 0x01, 0x01, 0x01, 0x00}, 1, 0x01000000},
        {SimProfile::Class2, {0x55, 0x05, 0x01, 0x02, 0x01, 0x01, 0x00}, 1, 0x01000001},
        {SimProfile::Class3, {0x55, 0x05, 0x01, 0x03, 0x01, 0x01, 0x00}, 1, 0x01000003},
        {SimProfile::Class4, {0x55, 0x05, 0x01, 0x04, 0x01, 0x05, 0x00}, 5, 0x01000004},
        {SimProfile::Class5, {0x55, 0x05, 0x01, 0x05, 0x01, 0x01, 0x00}, 1, 0x01000009},
        {SimProfile::Class4Family3, {0x55, 0x05, 0x01, 0x06, 0x01, 0x03, 0x00}, 3, 0x01000002},
        {SimProfile::Class5Family5, {0x55, 0x05, 0x01, 0x07, 0x01, 0x05, 0x00}, 5, 0x01000005},
        {SimProfile::TooOld, {0x55, 0x03, 0x00, 0x01, 0x01}, 0, 0x01000009},
        {SimProfile::OldAccepted, {0x55, 0x03, 0x00, 0x02, 0x00}, 0, 0x01000009},
        {SimProfile::Foreign, {0x55, 0x05, 0x01, 0x08, 0x01, 0x02, 0x00}, 2, 0x01000009},
        {SimProfile::Slow, {0x55, 0x05, 0x01, 0x09, 0x01, 0x01, 0x00}, 1, 0x01000009},
        {SimProfile::Vanish, {0x55, 0x05, 0x01, 0x0A, 0x01, 0x01, 0x00}, 1, 0x01000009},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(profileName(c.profile));
        SimController sim(c.profile);
        const Bytes identify = ask(sim, {0xAA, 0x01, 0x01});
        EXPECT_EQ(identify, c.identify);
        if (identify.size() == 7) {
            EXPECT_EQ(u32At(identify, 3) >> 16, c.family);
        }

        const Bytes firmware = ask(sim, {0xAA, 0x01, 0x02});
        ASSERT_EQ(firmware.size(), 7u);
        EXPECT_EQ(Bytes(firmware.begin(), firmware.begin() + 3), (Bytes{0x55, 0x05, 0x02}));
        EXPECT_EQ(u32At(firmware, 3), c.firmware);

        EXPECT_EQ(ask(sim, {0xAA, 0x01, 0x03}), (Bytes{0x55, 0x02, 0x03, 0x04}));
    }
}

TEST(SimControllerTest, VoltageFlipAndLocationReplies) {
    SimController sim(SimProfile::Class5);
    EXPECT_EQ(ask(sim, {0xAA, 0x03, 0x2B, 0x00, 0x00}), (Bytes{0x55, 0x05, 0x2B, 0x00, 0x00, 0xD2, 0x04}));
    EXPECT_EQ(ask(sim, {0xAA, 0x01, 0x3D}), (Bytes{0x55, 0x05, 0x3D, 0x00, 0x21, 0x43, 0x05}));

    const Bytes location = ask(sim, {0xAA, 0x01, 0x64});
    ASSERT_EQ(location.size(), 11u);
    EXPECT_EQ(location[1], 9);
    EXPECT_EQ(location[2], 0x64);
    EXPECT_EQ(s32At(location, 3), -2926264);
    EXPECT_EQ(s32At(location, 7), 13064484);
}

TEST(SimControllerTest, GearBlockPositions) {
    SimController sim(SimProfile::Class5);
    const SimState& s = sim.state();
    const Bytes r = gearBlock(sim);
    ASSERT_EQ(r.size(), 31u);
    EXPECT_EQ(r[0], 0x55);
    EXPECT_EQ(r[1], 29);
    EXPECT_EQ(r[2], 0x14);
    EXPECT_EQ(r[4], s.raGearByte);
    EXPECT_EQ(u32At(r, 5), s.raGearRatio);
    EXPECT_EQ(u32At(r, 9), s.raGearAux);
    EXPECT_EQ(u32At(r, 13), s.raSiderealRate);
    EXPECT_EQ(r[17], s.deGearByte);
    EXPECT_EQ(u32At(r, 18), s.deGearRatio);
    EXPECT_EQ(u32At(r, 22), s.deGearAux);
    EXPECT_EQ(u32At(r, 26), s.deSiderealRate);
    EXPECT_EQ(r[30], s.mountType);
}

TEST(SimControllerTest, FullParameterLayoutPositions) {
    for (SimProfile profile : {SimProfile::Class3, SimProfile::Class4, SimProfile::Class5,
                               SimProfile::Class4Family3, SimProfile::Class5Family5}) {
        SCOPED_TRACE(profileName(profile));
        SimController sim(profile);
        const SimState& s = sim.state();
        const Bytes r = paramBlock(sim);
        ASSERT_EQ(r.size(), 60u);
        EXPECT_EQ(r[1], 58);
        EXPECT_EQ(r[2], 0x15);
        EXPECT_EQ(r[4], s.reverseRotation);
        EXPECT_EQ(r[5], 0x32);  // guiding 2 in the low nibble, limits 3 in the high one
        struct Axis {
            size_t base;
            uint16_t maxSpeed;
            uint8_t guide;
            uint16_t maxCur, idle, track, run;
            uint8_t idleDecay, trackDecay, runDecay;
            int8_t overtone;
            uint8_t overtoneAux, accel, decel;
            uint16_t incAt, incAux;
            uint8_t auxByte;
            uint32_t auxLong;
        };
        const Axis axes[] = {
            {6, s.raMaxSpeed, s.raGuideRate, s.raMaxCurrent, s.raIdleCurrent, s.raTrackCurrent,
             s.raRunCurrent, s.raIdleDecay, s.raTrackDecay, s.raRunDecay, s.raOvertone, s.raOvertoneAux,
             s.raAcceleration, s.raDeceleration, s.raIncCurrentAt, s.raIncCurrentAux, s.raAuxByte,
             s.raAuxLong},
            {33, s.deMaxSpeed, s.deGuideRate, s.deMaxCurrent, s.deIdleCurrent, s.deTrackCurrent,
             s.deRunCurrent, s.deIdleDecay, s.deTrackDecay, s.deRunDecay, s.deOvertone, s.deOvertoneAux,
             s.deAcceleration, s.deDeceleration, s.deIncCurrentAt, s.deIncCurrentAux, s.deAuxByte,
             s.deAuxLong},
        };
        for (const Axis& a : axes) {
            SCOPED_TRACE(a.base);
            const size_t b = a.base;
            EXPECT_EQ(u16At(r, b + 0), a.maxSpeed);
            EXPECT_EQ(r[b + 2], a.guide);
            EXPECT_EQ(u16At(r, b + 3), a.maxCur);
            EXPECT_EQ(u16At(r, b + 5), a.idle);
            EXPECT_EQ(u16At(r, b + 7), a.track);
            EXPECT_EQ(u16At(r, b + 9), a.run);
            EXPECT_EQ(r[b + 11], a.idleDecay);
            EXPECT_EQ(r[b + 12], a.trackDecay);
            EXPECT_EQ(r[b + 13], a.runDecay);
            EXPECT_EQ(static_cast<int8_t>(r[b + 14]), a.overtone);
            EXPECT_EQ(r[b + 15], a.overtoneAux);
            EXPECT_EQ(r[b + 16], a.accel);
            EXPECT_EQ(r[b + 17], a.decel);
            EXPECT_EQ(u16At(r, b + 18), a.incAt);
            EXPECT_EQ(u16At(r, b + 20), a.incAux);
            EXPECT_EQ(r[b + 22], a.auxByte);
            EXPECT_EQ(u32At(r, b + 23), a.auxLong);
        }
        EXPECT_EQ(r[20], 0xF9);                // RA overtone -7 on the wire
        EXPECT_EQ(u32At(r, 56), 0x87654321u);  // last DE field ends at position 59
    }
}

TEST(SimControllerTest, ShortParameterLayoutPositions) {
    for (SimProfile profile : {SimProfile::Class1, SimProfile::Class2, SimProfile::OldAccepted}) {
        SCOPED_TRACE(profileName(profile));
        SimController sim(profile);
        const SimState& s = sim.state();
        const Bytes r = paramBlock(sim);
        ASSERT_EQ(r.size(), 46u);
        EXPECT_EQ(r[1], 44);
        EXPECT_EQ(r[4], s.reverseRotation);
        EXPECT_EQ(r[5], s.reverseGuiding);  // whole byte, no limit flags
        for (size_t base : {size_t{6}, size_t{26}}) {
            const bool ra = base == 6;
            SCOPED_TRACE(base);
            EXPECT_EQ(u16At(r, base + 0), ra ? s.raMaxSpeed : s.deMaxSpeed);
            EXPECT_EQ(r[base + 2], ra ? s.raAcceleration : s.deAcceleration);
            EXPECT_EQ(r[base + 3], ra ? s.raDeceleration : s.deDeceleration);
            EXPECT_EQ(u16At(r, base + 4), ra ? s.raMaxCurrent : s.deMaxCurrent);
            EXPECT_EQ(u16At(r, base + 6), ra ? s.raIdleCurrent : s.deIdleCurrent);
            EXPECT_EQ(u16At(r, base + 8), ra ? s.raTrackCurrent : s.deTrackCurrent);
            EXPECT_EQ(u16At(r, base + 10), ra ? s.raRunCurrent : s.deRunCurrent);
            EXPECT_EQ(r[base + 12], ra ? s.raIdleDecay : s.deIdleDecay);
            EXPECT_EQ(r[base + 13], ra ? s.raTrackDecay : s.deTrackDecay);
            EXPECT_EQ(r[base + 14], ra ? s.raRunDecay : s.deRunDecay);
            EXPECT_EQ(r[base + 15], ra ? s.raAuxByte : s.deAuxByte);
            EXPECT_EQ(u32At(r, base + 16), ra ? s.raAuxLong : s.deAuxLong);
        }
    }
}

TEST(SimControllerTest, AwaitedRequestsGetShortAckOthersNothing) {
    SimController sim(SimProfile::Class5);
    const Bytes acked[] = {
        {0xAA, 0x02, 0x0C, 0x01},
        {0xAA, 0x02, 0x0D, 0x01},
        {0xAA, 0x0B, 0x1A, 0x01, 0xC0, 0x00, 0xA3, 0x02, 0x00, 0xA0, 0x80, 0x02, 0x00},
        {0xAA, 0x03, 0x1B, 0x01, 0x02},
        {0xAA, 0x04, 0x1D, 0x01, 0x00, 0x00},
        {0xAA, 0x06, 0x3E, 0x01, 0x01, 0x21, 0x43, 0x09},
        {0xAA, 0x0A, 0x65, 0x01, 1, 2, 3, 4, 5, 6, 7, 8},
    };
    for (const Bytes& frame : acked) {
        SCOPED_TRACE(frame[2]);
        EXPECT_EQ(ask(sim, frame), (Bytes{0x55, 0x01, frame[2]}));
    }
    const Bytes silent[] = {
        {0xAA, 0x01, 0x0B},
        {0xAA, 0x03, 0x21, 0x00, 0xC0},
        {0xAA, 0x07, 0x23, 0x00, 0x80, 0xE0, 0xFF, 0xFF, 0xFF},
        {0xAA, 0x03, 0x24, 0x00, 0x01},
        {0xAA, 0x03, 0x28, 0x00, 0x01},
        {0xAA, 0x06, 0x32, 0x00, 0xC0, 0x01, 0x02, 0x03},
        {0xAA, 0x05, 0x33, 0x00, 0x81, 0x58, 0x02},
        {0xAA, 0x04, 0x34, 0x00, 0x80, 0x07},
        {0xAA, 0x07, 0x35, 0x00, 0xC0, 0x10, 0x00, 0x20, 0x00},
        {0xAA, 0x05, 0x36, 0x00, 0xC0, 0x04, 0x05},
        {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x10, 0x20},
        {0xAA, 0x05, 0x38, 0x00, 0xC0, 0x11, 0x21},
        {0xAA, 0x04, 0x3B, 0x00, 0x80, 0x05},
        {0xAA, 0x07, 0x3C, 0x00, 0x40, 0x01, 0x02, 0x03, 0x04},
    };
    for (const Bytes& frame : silent) {
        SCOPED_TRACE(frame[2]);
        EXPECT_TRUE(ask(sim, frame).empty());
    }
}

// A write followed by a read-out: the read-out shows the written value at
// the position the layout gives it.
TEST(SimControllerTest, WritesShowInTheNextReadOut) {
    struct Case {
        const char* what;
        Bytes write;
        Bytes read;  // request whose reply carries the value
        size_t pos;
        size_t width;  // 1, 2 or 4 bytes
        uint32_t expected;
    };
    const Bytes gear{0xAA, 0x01, 0x14}, param{0xAA, 0x01, 0x15}, flip{0xAA, 0x01, 0x3D},
        site{0xAA, 0x01, 0x64};
    const Case cases[] = {
        {"gear ra",
         {0xAA, 0x0B, 0x1A, 0x01, 0xC0, 0x00, 0xA3, 0x02, 0x00, 0xA0, 0x80, 0x02, 0x00},
         gear,
         5,
         4,
         172800},
        {"gear de",
         {0xAA, 0x0B, 0x1A, 0x01, 0xC0, 0x00, 0xA3, 0x02, 0x00, 0xA0, 0x80, 0x02, 0x00},
         gear,
         18,
         4,
         164000},
        {"mount", {0xAA, 0x03, 0x1B, 0x01, 0x00}, gear, 30, 1, 0},
        {"rotation", {0xAA, 0x06, 0x32, 0x00, 0xC0, 0x02, 0x01, 0x02}, param, 4, 1, 2},
        {"guiding|limits", {0xAA, 0x06, 0x32, 0x00, 0xC0, 0x02, 0x01, 0x02}, param, 5, 1, 0x21},
        {"ra track current", {0xAA, 0x05, 0x33, 0x00, 0x81, 0x09, 0x03}, param, 13, 2, 777},
        {"de run current", {0xAA, 0x05, 0x33, 0x00, 0x42, 0x2C, 0x01}, param, 42, 2, 300},
        {"ra idle current", {0xAA, 0x05, 0x33, 0x00, 0x80, 0x64, 0x00}, param, 11, 2, 100},
        {"de idle decay", {0xAA, 0x04, 0x34, 0x00, 0x40, 0x07}, param, 44, 1, 7},
        {"ra run decay", {0xAA, 0x04, 0x34, 0x00, 0x82, 0x08}, param, 19, 1, 8},
        {"ra max speed", {0xAA, 0x07, 0x35, 0x00, 0xC0, 0xE8, 0x03, 0xD0, 0x07}, param, 6, 2, 1000},
        {"de max speed", {0xAA, 0x07, 0x35, 0x00, 0xC0, 0xE8, 0x03, 0xD0, 0x07}, param, 33, 2, 2000},
        {"ra guide", {0xAA, 0x05, 0x36, 0x00, 0xC0, 0x04, 0x0F}, param, 8, 1, 4},
        {"de guide", {0xAA, 0x05, 0x36, 0x00, 0xC0, 0x04, 0x0F}, param, 35, 1, 15},
        {"ra accel", {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x10, 0x20}, param, 22, 1, 0x10},
        {"de accel", {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x10, 0x20}, param, 49, 1, 0x20},
        {"ra decel", {0xAA, 0x05, 0x38, 0x00, 0xC0, 0x11, 0x21}, param, 23, 1, 0x11},
        {"de decel", {0xAA, 0x05, 0x38, 0x00, 0xC0, 0x11, 0x21}, param, 50, 1, 0x21},
        {"ra overtone", {0xAA, 0x04, 0x3B, 0x00, 0x80, 0xFD}, param, 20, 1, 0xFD},
        {"both overtones", {0xAA, 0x04, 0x3B, 0x00, 0xC0, 0x06}, param, 47, 1, 6},
        {"de inc at", {0xAA, 0x07, 0x3C, 0x00, 0x40, 0x10, 0x27, 0x22, 0x11}, param, 51, 2, 10000},
        {"de inc aux", {0xAA, 0x07, 0x3C, 0x00, 0x40, 0x10, 0x27, 0x22, 0x11}, param, 53, 2, 0x1122},
        {"flip a", {0xAA, 0x06, 0x3E, 0x01, 0x01, 0x0A, 0x0B, 0x0C}, flip, 4, 1, 0x0A},
        {"flip hysteresis", {0xAA, 0x06, 0x3E, 0x01, 0x01, 0x0A, 0x0B, 0x0C}, flip, 6, 1, 0x0C},
        {"latitude",
         {0xAA, 0x0A, 0x65, 0x00, 0x40, 0x42, 0x0F, 0x00, 0xC0, 0xBD, 0xF0, 0xFF},
         site,
         3,
         4,
         1000000},
        {"longitude",
         {0xAA, 0x0A, 0x65, 0x00, 0x40, 0x42, 0x0F, 0x00, 0xC0, 0xBD, 0xF0, 0xFF},
         site,
         7,
         4,
         0xFFF0BDC0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimController sim(SimProfile::Class5);
        const Bytes before = ask(sim, c.read);
        ask(sim, c.write);
        const Bytes after = ask(sim, c.read);
        ASSERT_GE(after.size(), c.pos + c.width);
        const uint32_t got = c.width == 1   ? after[c.pos]
                             : c.width == 2 ? u16At(after, c.pos)
                                            : u32At(after, c.pos);
        EXPECT_EQ(got, c.expected);
        EXPECT_NE(before, after) << "the write changed nothing visible";
    }
}

TEST(SimControllerTest, CurrentAndDecayOnUnknownChannelChangeNothing) {
    SimController sim(SimProfile::Class5);
    const SimState before = sim.state();
    ask(sim, {0xAA, 0x05, 0x33, 0x00, 0x83, 0x10, 0x00});
    ask(sim, {0xAA, 0x04, 0x34, 0x00, 0x43, 0x10});
    EXPECT_EQ(sim.state(), before);
}

TEST(SimControllerTest, LocationWriteRecordsItsFlag) {
    SimController sim(SimProfile::Class5);
    ask(sim, {0xAA, 0x0A, 0x65, 0x01, 1, 0, 0, 0, 2, 0, 0, 0});
    EXPECT_EQ(sim.lastLocationFlag(), 1);
    ask(sim, {0xAA, 0x0A, 0x65, 0x00, 1, 0, 0, 0, 2, 0, 0, 0});
    EXPECT_EQ(sim.lastLocationFlag(), 0);
    EXPECT_EQ(sim.state().latitude, 1);
    EXPECT_EQ(sim.state().longitude, 2);
}

TEST(SimControllerTest, ReloadDefaultsRestoresTheFactorySet) {
    SimController sim(SimProfile::Class4);
    ask(sim, {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x01, 0x02});
    EXPECT_EQ(ask(sim, {0xAA, 0x02, 0x0C, 0x01}), (Bytes{0x55, 0x01, 0x0C}));
    EXPECT_EQ(sim.state(), factoryDefaults(SimProfile::Class4));
    EXPECT_EQ(sim.reloadCount(), 1u);
    // The reload shows in the read-out.
    EXPECT_EQ(u32At(gearBlock(sim), 5), factoryDefaults(SimProfile::Class4).raGearRatio);
}

TEST(SimControllerTest, StoreKeepsTheCurrentSet) {
    SimController sim(SimProfile::Class5);
    EXPECT_EQ(sim.storedState(), initialState(SimProfile::Class5));
    ask(sim, {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x01, 0x02});
    EXPECT_EQ(ask(sim, {0xAA, 0x02, 0x0D, 0x01}), (Bytes{0x55, 0x01, 0x0D}));
    EXPECT_EQ(sim.storeCount(), 1u);
    EXPECT_EQ(sim.storedState().raAcceleration, 1);
    ask(sim, {0xAA, 0x05, 0x37, 0x00, 0xC0, 0x03, 0x04});
    EXPECT_EQ(sim.storedState().raAcceleration, 1);
    EXPECT_EQ(sim.state().raAcceleration, 3);
}

// The value sets exist to expose decoding mix-ups: nothing zero, nothing
// repeated (mount type and the reverse flags share the range 0..3), and the
// factory set differs from the initial one in every settings field.
TEST(SimControllerTest, ValueSetsAreDistinctive) {
    auto values = [](const SimState& s) {
        return std::vector<int64_t>{
            s.raGearByte,      s.raGearRatio,    s.raGearAux,       s.raSiderealRate, s.deGearByte,
            s.deGearRatio,     s.deGearAux,      s.deSiderealRate,  s.raMaxSpeed,     s.deMaxSpeed,
            s.raGuideRate,     s.deGuideRate,    s.raMaxCurrent,    s.deMaxCurrent,   s.raIdleCurrent,
            s.raTrackCurrent,  s.raRunCurrent,   s.deIdleCurrent,   s.deTrackCurrent, s.deRunCurrent,
            s.raIdleDecay,     s.raTrackDecay,   s.raRunDecay,      s.deIdleDecay,    s.deTrackDecay,
            s.deRunDecay,      s.raOvertone,     s.raOvertoneAux,   s.deOvertone,     s.deOvertoneAux,
            s.raAcceleration,  s.raDeceleration, s.deAcceleration,  s.deDeceleration, s.raIncCurrentAt,
            s.raIncCurrentAux, s.deIncCurrentAt, s.deIncCurrentAux, s.raAuxByte,      s.deAuxByte,
            s.raAuxLong,       s.deAuxLong,      s.flipParamA,      s.flipParamB,     s.flipHysteresis,
            s.latitude,        s.longitude,      s.reverseRotation, s.reverseGuiding, s.reverseLimits,
            s.portType,        s.supplyVoltage};
    };
    for (const SimState& s : {initialState(SimProfile::Class5), factoryDefaults(SimProfile::Class5)}) {
        const std::vector<int64_t> v = values(s);
        const std::set<int64_t> unique(v.begin(), v.end());
        EXPECT_EQ(unique.size(), v.size());
        EXPECT_EQ(unique.count(0), 0u);
        EXPECT_NE(s.mountType, 0);
        EXPECT_TRUE(s.raOvertone < 0 || s.deOvertone < 0);
        EXPECT_LE(s.raGuideRate, 16);
        EXPECT_LE(s.deGuideRate, 16);
    }
    const std::vector<int64_t> a = values(initialState(SimProfile::Class5));
    const std::vector<int64_t> b = values(factoryDefaults(SimProfile::Class5));
    for (size_t i = 0; i + 2 < a.size(); ++i) EXPECT_NE(a[i], b[i]) << "field " << i;
    EXPECT_NE(initialState(SimProfile::Class5).mountType, factoryDefaults(SimProfile::Class5).mountType);
}

TEST(SimControllerTest, FramesSplitAcrossCallsAndGarbageBeforeThem) {
    SimController sim(SimProfile::Class5);
    const uint8_t part1[] = {0xFF, 0x00, 0x55, 0x12, 0xAA};
    const uint8_t part2[] = {0x01};
    const uint8_t part3[] = {0x03, 0x13, 0xAA, 0x03, 0x2B};
    const uint8_t part4[] = {0x00, 0x00};
    sim.receive(part1, sizeof part1);
    sim.receive(part2, sizeof part2);
    EXPECT_FALSE(sim.hasOutput());
    sim.receive(part3, sizeof part3);
    EXPECT_EQ(sim.takeOutput(), (Bytes{0x55, 0x02, 0x03, 0x04}));
    sim.receive(part4, sizeof part4);
    EXPECT_EQ(sim.takeOutput(), (Bytes{0x55, 0x05, 0x2B, 0x00, 0x00, 0xD2, 0x04}));
    EXPECT_EQ(sim.requestLog().size(), 2u);
}

TEST(SimControllerTest, ImpossibleLengthBytesAreNotFrames) {
    SimController sim(SimProfile::Class5);
    // Length 0, length 22 (more than any request), and a start byte as
    // length, which begins the real frame.
    EXPECT_EQ(ask(sim, {0xAA, 0x00, 0xAA, 0x16, 0x01, 0xAA, 0xAA, 0x01, 0x03}),
              (Bytes{0x55, 0x02, 0x03, 0x04}));
    ASSERT_EQ(sim.requestLog().size(), 1u);
    EXPECT_EQ(sim.requestLog()[0], (Bytes{0xAA, 0x01, 0x03}));
}

TEST(SimControllerTest, RequestLogKeepsEveryFrameInOrder) {
    SimController sim(SimProfile::Class5);
    const Bytes stream{0xAA, 0x01, 0x01, 0x00, 0xAA, 0x01, 0x63, 0xAA,
                       0x02, 0x33, 0x00, 0xAA, 0x03, 0x21, 0x00, 0xC0};
    const Bytes out = ask(sim, stream);
    EXPECT_EQ(out.size(), 7u);  // only the identification is answered
    const std::vector<Bytes> expected{
        {0xAA, 0x01, 0x01}, {0xAA, 0x01, 0x63}, {0xAA, 0x02, 0x33, 0x00}, {0xAA, 0x03, 0x21, 0x00, 0xC0}};
    EXPECT_EQ(sim.requestLog(), expected);
    EXPECT_EQ(sim.unknownCount(), 1u);
    EXPECT_EQ(sim.malformedCount(), 1u);  // current write without its value
    sim.clearRequestLog();
    EXPECT_TRUE(sim.requestLog().empty());
}

TEST(SimControllerTest, MotionTrackingExpParkAndRequest11) {
    SimController sim(SimProfile::Class5);
    ask(sim, {0xAA, 0x07, 0x23, 0x00, 0x80, 0xE0, 0xFF, 0xFF, 0xFF});
    ask(sim, {0xAA, 0x07, 0x23, 0x00, 0x40, 0x90, 0x01, 0x00, 0x00});
    EXPECT_EQ(sim.motion().raSpeed, -32);
    EXPECT_EQ(sim.motion().deSpeed, 400);
    EXPECT_EQ(sim.motion().moveCount, 2u);
    ask(sim, {0xAA, 0x03, 0x21, 0x00, 0x80});
    EXPECT_EQ(sim.motion().raSpeed, 0);
    EXPECT_EQ(sim.motion().deSpeed, 400);
    ask(sim, {0xAA, 0x03, 0x21, 0x00, 0xC0});
    EXPECT_EQ(sim.motion().deSpeed, 0);
    EXPECT_EQ(sim.motion().lastStopMask, 0xC0);
    EXPECT_EQ(sim.motion().stopCount, 2u);

    ask(sim, {0xAA, 0x03, 0x24, 0x00, 0x01});
    ask(sim, {0xAA, 0x03, 0x28, 0x00, 0x01});
    EXPECT_TRUE(sim.tracking());
    EXPECT_TRUE(sim.exp());
    ask(sim, {0xAA, 0x03, 0x24, 0x00, 0x00});
    EXPECT_FALSE(sim.tracking());

    ask(sim, {0xAA, 0x04, 0x1D, 0x01, 0x00, 0x01});
    EXPECT_EQ(sim.parkFlag(), 1);
    EXPECT_EQ(sim.parkCount(), 1u);
    ask(sim, {0xAA, 0x01, 0x0B});
    ask(sim, {0xAA, 0x01, 0x0B});
    EXPECT_EQ(sim.request11Count(), 2u);
}

TEST(SimControllerTest, SilentProfileNeverAnswers) {
    SimController sim(SimProfile::Silent);
    for (uint8_t id : std::initializer_list<uint8_t>{1, 2, 3, 20, 21, 43, 61, 100}) {
        const Bytes frame{0xAA, static_cast<uint8_t>(id == 43 ? 3 : 1), id, 0, 0};
        sim.receive(frame.data(), id == 43 ? 5 : 3);
    }
    EXPECT_FALSE(sim.hasOutput());
    EXPECT_EQ(sim.requestLog().size(), 8u);
}

// Cuts a byte stream the way the program's receiver does (0x55, length,
// payload; bytes before a 0x55 skipped) and collects the frames.
std::vector<Bytes> cutReplies(const Bytes& stream, bool& endsInsideFrame) {
    std::vector<Bytes> frames;
    Bytes current;
    size_t expected = 0;
    int state = 0;  // 0 hunt, 1 length, 2 payload
    for (uint8_t b : stream) {
        if (state == 0) {
            if (b == 0x55) {
                current.assign(1, b);
                state = 1;
            }
        } else if (state == 1) {
            current.push_back(b);
            expected = b;
            if (expected == 0) {
                frames.push_back(current);
                state = 0;
            } else {
                state = 2;
            }
        } else {
            current.push_back(b);
            if (current.size() == expected + 2) {
                frames.push_back(current);
                state = 0;
            }
        }
    }
    endsInsideFrame = state != 0;
    return frames;
}

TEST(SimControllerTest, GarbageNeverFormsAnIdentificationAndIsDeterministic) {
    SimController sim(SimProfile::Garbage);
    Bytes stream;
    for (int i = 0; i < 300; ++i) {
        const Bytes reply = ask(sim, {0xAA, 0x01, 0x01});
        ASSERT_FALSE(reply.empty()) << "garbage answers every request";
        stream.insert(stream.end(), reply.begin(), reply.end());
    }
    // Requests that normally get no reply are answered with garbage too.
    EXPECT_FALSE(ask(sim, {0xAA, 0x03, 0x21, 0x00, 0xC0}).empty());

    bool inside = false;
    const std::vector<Bytes> frames = cutReplies(stream, inside);
    EXPECT_FALSE(inside);
    EXPECT_GE(frames.size(), 300u);
    for (const Bytes& f : frames) {
        EXPECT_NE(f[1], 3);
        EXPECT_NE(f[1], 5);
    }

    // The same seed gives the same stream.
    SimController again(SimProfile::Garbage);
    Bytes replay;
    for (int i = 0; i < 300; ++i) {
        const Bytes reply = ask(again, {0xAA, 0x01, 0x01});
        replay.insert(replay.end(), reply.begin(), reply.end());
    }
    EXPECT_EQ(replay, stream);
}

TEST(SimControllerTest, GarbageSeedDecidesTheBytes) {
    SimController a(SimProfile::Garbage), b(SimProfile::Garbage);
    SimOptions other;
    other.garbageSeed = 77;
    SimController c(SimProfile::Garbage, other);
    const Bytes ra = ask(a, {0xAA, 0x01, 0x01});
    EXPECT_EQ(ra, ask(b, {0xAA, 0x01, 0x01}));
    EXPECT_NE(ra, ask(c, {0xAA, 0x01, 0x01}));
}

TEST(SimControllerTest, SlowProfileDelaysEveryReply) {
    SimController sim(SimProfile::Slow);
    EXPECT_EQ(sim.replyDelayMs(), 1500u);
    const uint64_t t0 = 5000000000ull;
    const uint8_t identify[] = {0xAA, 0x01, 0x01};
    sim.receive(identify, sizeof identify, t0);
    EXPECT_TRUE(sim.hasOutput());
    EXPECT_EQ(sim.nextDueNs(), t0 + 1500000000ull);
    EXPECT_TRUE(sim.takeDueOutput(t0 + 1499000000ull).empty());
    EXPECT_EQ(sim.takeDueOutput(t0 + 1500000000ull).size(), 7u);
    EXPECT_EQ(sim.nextDueNs(), SimController::kNoOutput);

    SimOptions fast;
    fast.replyDelayMs = 20;
    SimController tuned(SimProfile::Slow, fast);
    tuned.receive(identify, sizeof identify, t0);
    EXPECT_EQ(tuned.nextDueNs(), t0 + 20000000ull);
    // Without a time every queued byte is handed out.
    EXPECT_EQ(tuned.takeOutput().size(), 7u);

    // A quick start, then the delay.
    SimOptions later;
    later.delayAfterRequests = 1;
    SimController slowLater(SimProfile::Slow, later);
    slowLater.receive(identify, sizeof identify, t0);
    EXPECT_EQ(slowLater.nextDueNs(), t0);
    EXPECT_EQ(slowLater.takeOutput().size(), 7u);
    slowLater.receive(identify, sizeof identify, t0);
    EXPECT_EQ(slowLater.nextDueNs(), t0 + 1500000000ull);
}

TEST(SimControllerTest, VanishAfterTheGearBlockByDefault) {
    SimController sim(SimProfile::Vanish);
    for (uint8_t id : std::initializer_list<uint8_t>{1, 3, 2, 20}) {
        EXPECT_FALSE(ask(sim, {0xAA, 0x01, id}).empty()) << int{id};
    }
    EXPECT_FALSE(sim.vanished());
    EXPECT_TRUE(ask(sim, {0xAA, 0x01, 0x15}).empty());
    EXPECT_TRUE(sim.vanished());
    EXPECT_TRUE(ask(sim, {0xAA, 0x01, 0x01}).empty());
    EXPECT_EQ(sim.requestLog().size(), 5u);  // nothing reaches a vanished device

    SimOptions early;
    early.vanishAfterRequests = 1;
    SimController soon(SimProfile::Class3, early);
    EXPECT_FALSE(ask(soon, {0xAA, 0x01, 0x01}).empty());
    EXPECT_TRUE(ask(soon, {0xAA, 0x01, 0x03}).empty());
    EXPECT_TRUE(soon.vanished());
}

TEST(SimControllerTest, MutedControllerTakesRequestsInButNeitherAppliesNorAnswersThem) {
    SimOptions options;
    options.muteAfterRequests = 2;
    SimController sim(SimProfile::Class5, options);
    EXPECT_FALSE(ask(sim, {0xAA, 0x01, 0x01}).empty());
    EXPECT_FALSE(gearBlock(sim).empty());
    EXPECT_TRUE(ask(sim, {0xAA, 0x02, 0x0C, 0x01}).empty());  // reload defaults
    EXPECT_TRUE(ask(sim, {0xAA, 0x01, 0x01}).empty());
    EXPECT_TRUE(sim.muted());
    EXPECT_FALSE(sim.vanished());
    EXPECT_EQ(sim.requestLog().size(), 4u);
    EXPECT_EQ(sim.reloadCount(), 0u);
    EXPECT_TRUE(sim.state() == initialState(SimProfile::Class5));
}

TEST(SimControllerTest, ProfileNamesRoundTrip) {
    size_t count = 0;
    const SimProfile* all = allProfiles(count);
    EXPECT_EQ(count, 14u);
    std::set<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        SimProfile parsed = SimProfile::Silent;
        ASSERT_TRUE(parseProfile(profileName(all[i]), parsed)) << profileName(all[i]);
        EXPECT_EQ(parsed, all[i]);
        names.insert(profileName(all[i]));
    }
    EXPECT_EQ(names.size(), count);
    SimProfile unused = SimProfile::Class5;
    EXPECT_FALSE(parseProfile("class6", unused));
    EXPECT_FALSE(parseProfile("", unused));
    EXPECT_FALSE(parseProfile("Class5", unused));
}

}  // namespace
}  // namespace vorlant::sim
