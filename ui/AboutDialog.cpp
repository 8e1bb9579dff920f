#include "ui/AboutDialog.h"

#include "ui/SecondaryDialogIds.h"

namespace vorlant {

const char* const AboutDialog::kCredit = VORLANT_ABOUT_CREDIT;
const char* const AboutDialog::kWebAddress = VORLANT_ABOUT_WEB_ADDRESS;

void AboutDialog::init(DialogControls& controls) {
    controls.setText(AboutId::Title, kTitle);
    controls.setText(AboutId::Description, kDescription);
    controls.setText(AboutId::Credit, kCredit);
    controls.setText(AboutId::Link, kWebAddress);
}

int AboutDialog::command(DialogControls& /*controls*/, int id, int notifyCode) {
    // Only plain notifications count (the whole wParam is compared): the
    // link's double-click, for one, does nothing.
    if (notifyCode != 0) return kStayOpen;
    switch (id) {
        case AboutId::Ok:
        case AboutId::Exit:
            return kResult;
        case AboutId::Link:
            if (openAddress_) openAddress_(kWebAddress);
            return kStayOpen;
        default:
            return kStayOpen;
    }
}

}  // namespace vorlant
