// How the driver shows the settings record's fields as INDI properties,
// all of it taken from the field table: a field is one number property
// named as the field, with one element "VALUE", labelled with the table's
// label and unit; a reverse-flag field (one bit per axis) becomes one
// switch property per axis ("raReverseRotation", "deReverseRotation").
// Groups follow the window's: identification, the gear block (and the
// rates computed from it), RA, Dec, and the site and meridian flip (the
// advanced settings). Latitude and longitude are not listed: they are the
// site property (SiteUnits.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/SettingsFields.h"

namespace vorlant::indi {

namespace group {
constexpr const char* kConnection = "Connection";
constexpr const char* kIdentification = "Identification and firmware";
constexpr const char* kGear = "Gear ratio";
constexpr const char* kRa = "RA";
constexpr const char* kDec = "Dec";
constexpr const char* kSite = "Site and meridian flip";
constexpr const char* kActions = "Actions";
}  // namespace group

struct FieldProperty {
    std::string property;  // the INDI property name
    const char* group;
    std::string label;
    const SettingsField* field;
    int8_t bit;  // reverse flags: the axis bit (0 RA, 1 DE); -1 for a number
};

// Every field of the table but the site's, in table order (a reverse-flag
// field twice, RA first).
const FieldProperty* fieldProperties(size_t& count);

// What a gear re-read brings: the fields read with the gear block.
bool inGearBlock(const SettingsField& field);

// The element name of a field's number property.
constexpr const char* kValueElement = "VALUE";
// The element name of a reverse flag's switch property.
constexpr const char* kReverseElement = "REVERSE";

}  // namespace vorlant::indi
