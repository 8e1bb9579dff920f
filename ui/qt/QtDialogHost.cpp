#include "ui/qt/QtDialogHost.h"

#include <QDesktopServices>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>
#include <QUrl>
#include <type_traits>

#include "ui/AboutDialog.h"
#include "ui/AdvancedSettingsDialog.h"
#include "ui/GearRatioDialog.h"
#include "ui/MainDialogIds.h"
#include "ui/SecondaryDialogIds.h"
#include "ui/qt/QtTemplateDialog.h"

namespace vorlant {

namespace {

// The About box's looks: a bold title and an underlined link in the link
// colour.
void styleAbout(QtDialogControls& controls) {
    if (auto* title = qobject_cast<QLabel*>(controls.widget(AboutId::Title))) {
        // Larger than the dialog's font by the same share whatever its size.
        QFont bold = title->font();
        bold.setBold(true);
        if (bold.pointSizeF() > 0) {
            bold.setPointSizeF(bold.pointSizeF() * 1.5);
        } else {
            bold.setPixelSize(bold.pixelSize() * 3 / 2);
        }
        title->setFont(bold);
    }
    if (auto* link = qobject_cast<QLabel*>(controls.widget(AboutId::Link))) {
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
        link->setPalette(palette);
    }
}

}  // namespace

template <typename Logic>
int QtDialogHost::run(int templateId, Logic& logic) {
    const auto found = templates_.find(templateId);
    if (found == templates_.end()) return 0;  // no template: as if cancelled
    QtTemplateDialog dialog(owner_, found->second);
    QtDialogControls& controls = dialog.controls();
    if constexpr (std::is_same_v<Logic, AboutDialog>) styleAbout(controls);
    logic.init(controls);
    auto handle = [&dialog, &controls, &logic](int id, int code) {
        const int result = logic.command(controls, id, code);
        if (result != Logic::kStayOpen) dialog.done(result);
    };
    controls.setCommandHandler(handle);
    dialog.setCancelHandler([handle] { handle(2, 0); });  // IDCANCEL
    dialog.setEnterHandler([handle] { handle(1, 0); });   // IDOK
    return dialog.exec();
}

int QtDialogHost::showGearRatioDialog(GearRatios& ratios) {
    GearRatioDialog logic(ratios);
    return run(kDialogGearRatio, logic);
}

int QtDialogHost::showAdvancedSettingsDialog(AdvancedSettings& settings) {
    AdvancedSettingsDialog logic(settings);
    return run(kDialogAdvancedSettings, logic);
}

void QtDialogHost::showAboutDialog() {
    // Failures to open the address are ignored, as on every front.
    AboutDialog logic(
        [](const std::string& address) { QDesktopServices::openUrl(QUrl(QString::fromStdString(address))); });
    run(kDialogAbout, logic);
}

}  // namespace vorlant
