#include "ui/GearRatioDialog.h"

#include <string>

#include "ui/EditNumber.h"
#include "ui/FieldControls.h"
#include "ui/SecondaryDialogIds.h"

namespace vorlant {

namespace {

// A ratio of 0 steps per revolution is never right, so text that reads as
// no number (or as 0, "172,800" for instance) keeps the axis's ratio; a
// number beyond what the controller takes is held at the largest.
uint32_t readRatio(DialogControls& controls, int edit, uint32_t previous) {
    const SettingsField* field = dialogField(FieldWriter::GearRatios, edit);
    if (field == nullptr) return previous;
    int64_t value = 0;
    if (readEditClamped(controls.text(edit), field->writeMin, field->writeMax, &value) ==
            EditReading::Unreadable ||
        value == 0)
        return previous;
    return static_cast<uint32_t>(value);
}

}  // namespace

void GearRatioDialog::init(DialogControls& controls) {
    controls.setText(GearRatioId::RaEdit, std::to_string(ratios_.raRatio));
    controls.setText(GearRatioId::DeEdit, std::to_string(ratios_.deRatio));
}

int GearRatioDialog::command(DialogControls& controls, int id, int /*notifyCode*/) {
    switch (id) {
        case GearRatioId::Ok:
            ratios_.raRatio = readRatio(controls, GearRatioId::RaEdit, ratios_.raRatio);
            ratios_.deRatio = readRatio(controls, GearRatioId::DeEdit, ratios_.deRatio);
            return kResultOk;
        case GearRatioId::Cancel:
            return kResultCancel;
        default:
            return kStayOpen;
    }
}

}  // namespace vorlant
