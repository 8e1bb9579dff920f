// The kinds of controller the simulator can play, and what each one answers.
//
// A profile fixes the identification (long or short form, device family,
// hardware and firmware version), the parameter-block layout and the
// behaviour (answers normally, never answers, answers garbage, answers late,
// disappears). The settings values themselves live in SimState.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorlant::sim {

enum class SimProfile {
    Class1,         // family 1, firmware 1.0.0.0
    Class2,         // family 1, firmware 1.0.0.1, short parameter layout
    Class3,         // family 1, firmware 1.0.0.3
    Class4,         // family 5, firmware 1.0.0.4
    Class5,         // family 1, firmware 1.0.0.9
    Class4Family3,  // family 3 (always class 4 whatever the firmware)
    Class5Family5,  // family 5, firmware 1.0.0.5
    TooOld,         // short identification form, version bytes 1, 1
    OldAccepted,    // short identification form, version bytes 2, 0
    Foreign,        // family 2: not a controller this program accepts
    Silent,         // never answers anything
    Garbage,        // answers every request with bytes that never form a usable reply
    Slow,           // class 5, every reply delayed
    Vanish,         // class 5 that disappears after a number of requests
};

enum class ParamLayout {
    Short,  // 44 payload bytes: no limits, guide rates, overtones, inc-current
    Full,   // 58 payload bytes
};

enum class Behaviour {
    Normal,
    Silent,
    Garbage,
};

struct ProfileTraits {
    SimProfile profile;
    const char* name;
    bool shortIdentify;  // 55 03 00 first second instead of the long form
    uint8_t shortFirst;  // version bytes of the short form
    uint8_t shortSecond;
    uint32_t hardwareVersion;  // long form; the family is the high 16 bits
    uint32_t firmwareVersion;
    ParamLayout layout;
    Behaviour behaviour;
    uint32_t defaultReplyDelayMs;         // Slow: 1500, others 0
    uint32_t defaultVanishAfterRequests;  // Vanish: 4 (after the gear block), others 0 = never
};

const ProfileTraits& profileTraits(SimProfile profile);

// Profile names as the command line spells them: "class1" .. "class5",
// "class4-family3", "class5-family5", "too-old", "old-accepted", "foreign",
// "silent", "garbage", "slow", "vanish".
const char* profileName(SimProfile profile);
bool parseProfile(const std::string& name, SimProfile& out);
// Every profile, in declaration order (for tables in tests and help texts).
const SimProfile* allProfiles(size_t& count);

}  // namespace vorlant::sim
