#include "ui/qt/QtTemplateDialog.h"

#include <QFont>
#include <QString>

namespace vorlant {

extern const unsigned char kEmbeddedResourceScript[];

const ResourceTemplates& qtResourceTemplates() {
    static const ResourceTemplates templates =
        parseResourceScript(reinterpret_cast<const char*>(kEmbeddedResourceScript));
    return templates;
}

namespace {

// The template's sizes are dialog units of a small (8 point) font; a font
// of about that size keeps the captions inside their controls. Set on the
// dialog before its controls are made, so they inherit it.
QWidget* withDialogFont(QWidget* dialog) {
    QFont font = dialog->font();
    font.setPixelSize(10);
    dialog->setFont(font);
    return dialog;
}

}  // namespace

QtTemplateDialog::QtTemplateDialog(QWidget* parent, const ResourceTemplate& dialogTemplate)
    : QDialog(parent), controls_(*withDialogFont(this), dialogTemplate) {
    setWindowTitle(QString::fromStdString(dialogTemplate.caption));
    setFixedSize(dialogUnitsToPixelsX(dialogTemplate.w), dialogUnitsToPixelsY(dialogTemplate.h));
}

void QtTemplateDialog::reject() {
    if (onCancel_) {
        onCancel_();
    } else {
        QDialog::reject();
    }
}

}  // namespace vorlant
