#include "tools/indi_brask/FieldProperties.h"

#include <cstring>
#include <vector>

namespace vorlant::indi {

namespace {

// Field name, group, label; reverse flags carry their two axis properties.
struct Presentation {
    const char* field;
    const char* group;
    const char* label;
};

const Presentation kPresentations[] = {
    {"mountType", group::kSite, "Mount type"},
    {"modeByte", group::kIdentification, "Mode byte"},
    {"versionClass", group::kIdentification, "Version class"},
    {"hardwareVersion", group::kIdentification, "Hardware version"},
    {"deviceFamily", group::kIdentification, "Device family"},
    {"firmwareVersion", group::kIdentification, "Firmware version"},
    {"portType", group::kIdentification, "Port type"},
    {"portTypeZero", group::kIdentification, "Port type not reported"},
    {"raGearByte", group::kGear, "RA gear byte"},
    {"deGearByte", group::kGear, "DE gear byte"},
    {"raGearRatio", group::kGear, "Gear ratio for RA axis"},
    {"raGearAux", group::kGear, "RA gear aux"},
    {"raSiderealRate", group::kGear, "RA sidereal rate"},
    {"deGearRatio", group::kGear, "Gear ratio for DE axis"},
    {"deGearAux", group::kGear, "DE gear aux"},
    {"deSiderealRate", group::kGear, "DE sidereal rate"},
    {"raMaxSpeed", group::kRa, "Max speed"},
    {"deMaxSpeed", group::kDec, "Max speed"},
    {"reverseRotation", nullptr, "Reverse rotation"},
    {"reverseGuiding", nullptr, "Reverse autoguiding"},
    {"reverseLimits", nullptr, "Reverse limit switches"},
    {"raMaxCurrent", group::kRa, "Max current (mA)"},
    {"deMaxCurrent", group::kDec, "Max current (mA)"},
    {"raIdleCurrent", group::kRa, "Idle current (mA)"},
    {"raTrackCurrent", group::kRa, "Track current (mA)"},
    {"raRunCurrent", group::kRa, "Run current (mA)"},
    {"deIdleCurrent", group::kDec, "Idle current (mA)"},
    {"deTrackCurrent", group::kDec, "Track current (mA)"},
    {"deRunCurrent", group::kDec, "Run current (mA)"},
    {"raIdleDecay", group::kRa, "Idle decay"},
    {"raTrackDecay", group::kRa, "Track decay"},
    {"raRunDecay", group::kRa, "Run decay"},
    {"deIdleDecay", group::kDec, "Idle decay"},
    {"deTrackDecay", group::kDec, "Track decay"},
    {"deRunDecay", group::kDec, "Run decay"},
    {"raAcceleration", group::kRa, "Acceleration"},
    {"raDeceleration", group::kRa, "Deceleration"},
    {"deAcceleration", group::kDec, "Acceleration"},
    {"deDeceleration", group::kDec, "Deceleration"},
    {"raOvertone", group::kRa, "Third overtone"},
    {"raOvertoneAux", group::kRa, "Third overtone aux"},
    {"deOvertone", group::kDec, "Third overtone"},
    {"deOvertoneAux", group::kDec, "Third overtone aux"},
    {"raIncCurrentAt", group::kRa, "Inc. current at"},
    {"raIncCurrentAux", group::kRa, "Inc. current aux"},
    {"deIncCurrentAt", group::kDec, "Inc. current at"},
    {"deIncCurrentAux", group::kDec, "Inc. current aux"},
    {"raGuideRate", group::kRa, "Guiding rate (1/16 sidereal)"},
    {"deGuideRate", group::kDec, "Guiding rate (1/16 sidereal)"},
    {"raAuxByte", group::kRa, "Aux byte"},
    {"deAuxByte", group::kDec, "Aux byte"},
    {"raAuxLong", group::kRa, "Aux long"},
    {"deAuxLong", group::kDec, "Aux long"},
    {"flipParamA", group::kSite, "Meridian flip parameter A"},
    {"flipParamB", group::kSite, "Meridian flip parameter B"},
    {"flipHysteresis", group::kSite, "Meridian flip hysteresis (degrees)"},
    {"raMaxRate", group::kRa, "Max rate"},
    {"deMaxRate", group::kDec, "Max rate"},
};

// The per-axis property names of the reverse flags.
struct ReverseNames {
    const char* field;
    const char* ra;
    const char* de;
};
const ReverseNames kReverseNames[] = {
    {"reverseRotation", "raReverseRotation", "deReverseRotation"},
    {"reverseGuiding", "raReverseGuiding", "deReverseGuiding"},
    {"reverseLimits", "raReverseLimits", "deReverseLimits"},
};

const Presentation* presentationOf(const char* field) {
    for (const Presentation& p : kPresentations)
        if (std::strcmp(p.field, field) == 0) return &p;
    return nullptr;
}

std::vector<FieldProperty> build() {
    std::vector<FieldProperty> out;
    size_t count = 0;
    const backup::SettingsField* fields = backup::settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        const backup::SettingsField& f = fields[i];
        const Presentation* p = presentationOf(f.name);
        if (p == nullptr) continue;  // the site: its own property
        if (p->group != nullptr) {
            out.push_back(FieldProperty{f.name, p->group, p->label, &f, -1});
            continue;
        }
        for (const ReverseNames& r : kReverseNames) {
            if (std::strcmp(r.field, f.name) != 0) continue;
            out.push_back(FieldProperty{r.ra, group::kRa, p->label, &f, 0});
            out.push_back(FieldProperty{r.de, group::kDec, p->label, &f, 1});
        }
    }
    return out;
}

const std::vector<FieldProperty>& table() {
    static const std::vector<FieldProperty> t = build();
    return t;
}

}  // namespace

const FieldProperty* fieldProperties(size_t& count) {
    count = table().size();
    return table().data();
}

const FieldProperty* findFieldProperty(const char* property) {
    for (const FieldProperty& p : table())
        if (std::strcmp(p.property, property) == 0) return &p;
    return nullptr;
}

}  // namespace vorlant::indi
