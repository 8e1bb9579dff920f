// A QDialog built from one template of the resource script: the caption,
// the fixed size and the controls, in the dialog's font (the desktop's,
// which sets the dialog units). Escape and the close box end up in
// `onCancel` (the Windows dialog manager's IDCANCEL command) instead of
// closing the dialog, so the dialog logic decides. Enter presses the push
// button that has the focus, and otherwise ends up in `onEnter` (the
// IDOK command of a dialog without a default button).
//
// Threads: the GUI thread only.
#pragma once

#include <QDialog>
#include <functional>

#include "ui/ResourceScript.h"
#include "ui/qt/QtDialogControls.h"

namespace vorlant {

// The embedded resource script, parsed once (the same file the Windows
// program compiles).
const ResourceTemplates& qtResourceTemplates();

class QtTemplateDialog : public QDialog {
public:
    QtTemplateDialog(QWidget* parent, const ResourceTemplate& dialogTemplate);

    QtDialogControls& controls() { return controls_; }
    void setCancelHandler(std::function<void()> onCancel) { onCancel_ = std::move(onCancel); }
    void setEnterHandler(std::function<void()> onEnter) { onEnter_ = std::move(onEnter); }

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QtDialogControls controls_;
    std::function<void()> onCancel_;
    std::function<void()> onEnter_;
};

}  // namespace vorlant
