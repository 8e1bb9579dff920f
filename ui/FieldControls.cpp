#include "ui/FieldControls.h"

#include "engine/ClassRules.h"
#include "ui/MainDialogIds.h"

namespace vorlant {
namespace {

constexpr int kDecBase = 200 + kDecIdOffset;

}  // namespace

bool inAxisGroup(const SettingsField& f) {
    return readsParameterBlock(f.readClass) && (f.edit != 0 || f.track != 0 || f.check != 0);
}

const SettingsField* axisFieldWithEdit(int id) {
    const SettingsField* found = nullptr;
    if (id == 0) return found;
    forEachAxisField([&](const SettingsField& f) {
        if (f.edit == id) found = &f;
    });
    return found;
}

const SettingsField* axisFieldWithTrack(int id) {
    const SettingsField* found = nullptr;
    if (id == 0) return found;
    forEachAxisField([&](const SettingsField& f) {
        if (f.track == id) found = &f;
    });
    return found;
}

bool onDecAxis(const SettingsField& f) {
    return (f.edit != 0 ? f.edit : f.track) >= kDecBase;
}

const SettingsField* dialogField(FieldWriter writer, int control) {
    std::size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (std::size_t i = 0; i < count; ++i)
        if (fields[i].writer == writer && fields[i].dialogControl == control) return &fields[i];
    return nullptr;
}

}  // namespace vorlant
