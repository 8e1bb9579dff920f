#include "ui/GearRatioDialog.h"

#include <string>

#include "ui/EditNumber.h"
#include "ui/SecondaryDialogIds.h"

namespace vorlant {

namespace {

// A ratio of 0 steps per revolution is never right, so text that reads as
// no number (or as 0, "172,800" for instance) keeps the axis's ratio; a
// number beyond 32 bits is held at the largest.
uint32_t readRatio(const std::string& text, uint32_t previous) {
    int64_t value = 0;
    if (readEditClamped(text, 0, 0xFFFFFFFFll, &value) == EditReading::Unreadable || value == 0)
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
            ratios_.raRatio = readRatio(controls.text(GearRatioId::RaEdit), ratios_.raRatio);
            ratios_.deRatio = readRatio(controls.text(GearRatioId::DeEdit), ratios_.deRatio);
            return kResultOk;
        case GearRatioId::Cancel:
            return kResultCancel;
        default:
            return kStayOpen;
    }
}

}  // namespace vorlant
