// The secondary dialogs of the Linux front: templates 101 (gear ratio),
// 102 (advanced settings) and 103 (About) as modal QDialogs over the same
// dialog logic as the Windows front. A command the logic answers with an
// end code closes the dialog with it.
//
// Threads: the GUI thread only.
#pragma once

#include "ui/DialogControls.h"
#include "ui/ResourceScript.h"

class QWidget;

namespace vorlant {

class QtDialogHost : public DialogHost {
public:
    QtDialogHost(QWidget* owner, const ResourceTemplates& templates) : owner_(owner), templates_(templates) {}

    int showGearRatioDialog(GearRatios& ratios) override;
    int showAdvancedSettingsDialog(AdvancedSettings& settings) override;
    void showAboutDialog() override;

private:
    template <typename Logic>
    int run(int templateId, Logic& logic);

    QWidget* owner_;
    const ResourceTemplates& templates_;
};

}  // namespace vorlant
