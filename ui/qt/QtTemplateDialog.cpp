#include "ui/qt/QtTemplateDialog.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QString>

namespace vorlant {

extern const unsigned char kEmbeddedResourceScript[];

const ResourceTemplates& qtResourceTemplates() {
    static const ResourceTemplates templates =
        parseResourceScript(reinterpret_cast<const char*>(kEmbeddedResourceScript));
    return templates;
}

QtTemplateDialog::QtTemplateDialog(QWidget* parent, const ResourceTemplate& dialogTemplate)
    : QDialog(parent), controls_(*this, dialogTemplate) {
    setWindowTitle(QString::fromStdString(dialogTemplate.caption));
    setFixedSize(controls_.units().x(dialogTemplate.w), controls_.units().y(dialogTemplate.h));
}

void QtTemplateDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // A push button with the focus is the default one while it has it;
    // otherwise the template's default button, if it has one.
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (button == nullptr || button->isCheckable()) {
        button = nullptr;
        for (QPushButton* candidate : findChildren<QPushButton*>()) {
            if (candidate->isDefault()) button = candidate;
        }
    }
    if (button != nullptr) {
        if (button->isEnabled()) button->click();
    } else if (onEnter_) {
        onEnter_();
    }
}

void QtTemplateDialog::reject() {
    if (onCancel_) {
        onCancel_();
    } else {
        QDialog::reject();
    }
}

}  // namespace vorlant
