// How the driver shows the settings record's fields as INDI properties: for
// each field of the field table, the group (as the window groups its
// controls) and the label. A field is one number property named as the
// field, with one element "VALUE"; a reverse-flag field (one bit per axis)
// becomes one switch property per axis. Latitude and longitude are not
// listed: they are the site property (SiteUnits.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "backup/SettingsFields.h"

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
    const char* property;  // the INDI property name
    const char* group;
    const char* label;
    const backup::SettingsField* field;
    int8_t bit;  // reverse flags: the axis bit (0 RA, 1 DE); -1 for a number
};

// Every field of the table but the site's, in table order (a reverse-flag
// field twice, RA first).
const FieldProperty* fieldProperties(size_t& count);
const FieldProperty* findFieldProperty(const char* property);

// The element name of a field's number property.
constexpr const char* kValueElement = "VALUE";
// The element name of a reverse flag's switch property.
constexpr const char* kReverseElement = "REVERSE";

}  // namespace vorlant::indi
