// The Qt side of the settings transfer: the standard file dialogs and
// message boxes over the main window.
//
// Threads: the GUI thread only.
#pragma once

#include "ui/SettingsTransfer.h"

class QWidget;

namespace vorlant {

class QtTransferHost : public TransferHost {
public:
    explicit QtTransferHost(QWidget* owner) : owner_(owner) {}

    bool chooseSaveFile(std::string& path) override;
    bool chooseOpenFile(std::string& path) override;
    bool confirmImport(const std::string& question, const std::vector<TransferRow>& rows) override;
    bool askYesNo(const std::string& question) override;
    void showMessage(const std::string& text, bool isError) override;

private:
    QWidget* owner_;
};

}  // namespace vorlant
