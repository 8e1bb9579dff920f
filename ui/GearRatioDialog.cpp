#include "ui/GearRatioDialog.h"

#include <string>

#include "ui/EditNumber.h"
#include "ui/SecondaryDialogIds.h"

namespace vorlant {

void GearRatioDialog::init(DialogControls& controls) {
    controls.setText(GearRatioId::RaEdit, std::to_string(ratios_.raRatio));
    controls.setText(GearRatioId::DeEdit, std::to_string(ratios_.deRatio));
}

int GearRatioDialog::command(DialogControls& controls, int id, int /*notifyCode*/) {
    switch (id) {
        case GearRatioId::Ok:
            // Never rejected: text that is not an unsigned number stores 0.
            ratios_.raRatio = editUnsigned(controls.text(GearRatioId::RaEdit));
            ratios_.deRatio = editUnsigned(controls.text(GearRatioId::DeEdit));
            return kResultOk;
        case GearRatioId::Cancel:
            return kResultCancel;
        default:
            return kStayOpen;
    }
}

}  // namespace vorlant
