#include "tools/simulator/SimProfile.h"

namespace vorlant::sim {

namespace {

// The low 16 bits of each hardware version differ per profile so a test can
// tell from a read-out which simulated controller answered.
constexpr ProfileTraits kProfiles[] = {
    {SimProfile::Class1, "class1", false, 0, 0, 0x00010101u, 0x01000000u, ParamLayout::Short,
     Behaviour::Normal, 0, 0},
    {SimProfile::Class2, "class2", false, 0, 0, 0x00010102u, 0x01000001u, ParamLayout::Short,
     Behaviour::Normal, 0, 0},
    {SimProfile::Class3, "class3", false, 0, 0, 0x00010103u, 0x01000003u, ParamLayout::Full,
     Behaviour::Normal, 0, 0},
    {SimProfile::Class4, "class4", false, 0, 0, 0x00050104u, 0x01000004u, ParamLayout::Full,
     Behaviour::Normal, 0, 0},
    {SimProfile::Class5, "class5", false, 0, 0, 0x00010105u, 0x01000009u, ParamLayout::Full,
     Behaviour::Normal, 0, 0},
    // Firmware 1.0.0.2 would be class 3 for family 1: a decoder that ignores
    // the family shows up as the wrong class.
    {SimProfile::Class4Family3, "class4-family3", false, 0, 0, 0x00030106u, 0x01000002u, ParamLayout::Full,
     Behaviour::Normal, 0, 0},
    {SimProfile::Class5Family5, "class5-family5", false, 0, 0, 0x00050107u, 0x01000005u, ParamLayout::Full,
     Behaviour::Normal, 0, 0},
    {SimProfile::TooOld, "too-old", true, 1, 1, 0, 0x01000009u, ParamLayout::Short, Behaviour::Normal, 0, 0},
    // A short-form controller has no family: whatever its firmware says, it
    // must end up as class 1. Firmware 1.0.0.9 makes a family-1 reading
    // visible as class 5.
    {SimProfile::OldAccepted, "old-accepted", true, 2, 0, 0, 0x01000009u, ParamLayout::Short,
     Behaviour::Normal, 0, 0},
    {SimProfile::Foreign, "foreign", false, 0, 0, 0x00020108u, 0x01000009u, ParamLayout::Full,
     Behaviour::Normal, 0, 0},
    {SimProfile::Silent, "silent", false, 0, 0, 0x00010105u, 0x01000009u, ParamLayout::Full,
     Behaviour::Silent, 0, 0},
    {SimProfile::Garbage, "garbage", false, 0, 0, 0x00010105u, 0x01000009u, ParamLayout::Full,
     Behaviour::Garbage, 0, 0},
    {SimProfile::Slow, "slow", false, 0, 0, 0x00010109u, 0x01000009u, ParamLayout::Full, Behaviour::Normal,
     1500, 0},
    // Answers identification, port type, firmware and gear block, then
    // disappears when the parameter block is requested.
    {SimProfile::Vanish, "vanish", false, 0, 0, 0x0001010Au, 0x01000009u, ParamLayout::Full,
     Behaviour::Normal, 0, 4},
};

constexpr size_t kProfileCount = sizeof kProfiles / sizeof kProfiles[0];

constexpr SimProfile kAll[] = {
    SimProfile::Class1,      SimProfile::Class2,        SimProfile::Class3,        SimProfile::Class4,
    SimProfile::Class5,      SimProfile::Class4Family3, SimProfile::Class5Family5, SimProfile::TooOld,
    SimProfile::OldAccepted, SimProfile::Foreign,       SimProfile::Silent,        SimProfile::Garbage,
    SimProfile::Slow,        SimProfile::Vanish,
};
static_assert(sizeof kAll / sizeof kAll[0] == kProfileCount, "every profile listed once");

}  // namespace

const ProfileTraits& profileTraits(SimProfile profile) {
    for (const ProfileTraits& traits : kProfiles) {
        if (traits.profile == profile) return traits;
    }
    return kProfiles[4];  // unreachable for valid enum values; class5
}

const char* profileName(SimProfile profile) {
    return profileTraits(profile).name;
}

bool parseProfile(const std::string& name, SimProfile& out) {
    for (const ProfileTraits& traits : kProfiles) {
        if (name == traits.name) {
            out = traits.profile;
            return true;
        }
    }
    return false;
}

const SimProfile* allProfiles(size_t& count) {
    count = kProfileCount;
    return kAll;
}

}  // namespace vorlant::sim
