// The Win32 side of the settings transfer: the common file dialogs and
// message boxes, owned by the main window.
//
// Threads: the window thread only.
#pragma once

#include <windows.h>

#include "ui/SettingsTransfer.h"

namespace vorlant {

class Win32TransferHost : public TransferHost {
public:
    explicit Win32TransferHost(HWND owner) : owner_(owner) {}

    bool chooseSaveFile(std::string& path) override;
    bool chooseOpenFile(std::string& path) override;
    bool confirmImport(const std::string& question, const std::vector<TransferRow>& rows) override;
    bool askYesNo(const std::string& question) override;
    void showMessage(const std::string& text, bool isError) override;

private:
    bool chooseFile(bool save, std::string& path);

    HWND owner_;
};

}  // namespace vorlant
