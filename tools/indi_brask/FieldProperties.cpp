#include "tools/indi_brask/FieldProperties.h"

#include <cctype>
#include <vector>

#include "engine/ClassRules.h"

namespace vorlant::indi {

namespace {

const char* groupOf(const SettingsField& f) {
    if (f.readClass == ControllerClass::Unread) return group::kIdentification;
    if (f.writer == FieldWriter::Advanced || readsFlipAndSite(f.readClass)) return group::kSite;
    if (f.readClass == ControllerClass::Basic) return group::kGear;
    return f.name[0] == 'r' ? group::kRa : group::kDec;
}

std::string labelOf(const SettingsField& f) {
    std::string label = f.label;
    if (f.unit != nullptr && *f.unit != '\0') label += std::string(" (") + f.unit + ")";
    return label;
}

std::vector<FieldProperty> build() {
    std::vector<FieldProperty> out;
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (f.style == FieldStyle::Angle) continue;  // the site: its own property
        if (f.writer != FieldWriter::ReverseFlags) {
            out.push_back(FieldProperty{f.name, groupOf(f), labelOf(f), &f, -1});
            continue;
        }
        // "reverseRotation" -> "raReverseRotation", "deReverseRotation".
        std::string tail = f.name;
        tail[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(tail[0])));
        out.push_back(FieldProperty{"ra" + tail, group::kRa, labelOf(f), &f, 0});
        out.push_back(FieldProperty{"de" + tail, group::kDec, labelOf(f), &f, 1});
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

bool inGearBlock(const SettingsField& field) {
    return field.readClass == ControllerClass::Basic;
}

}  // namespace vorlant::indi
