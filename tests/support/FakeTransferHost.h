// The file dialogs and message boxes of a front, for the settings transfer:
// a set path, a set answer, and what was shown.
#pragma once

#include <string>
#include <vector>

#include "ui/SettingsTransfer.h"

namespace vorlant::test {

class FakeTransferHost : public TransferHost {
public:
    bool chooseSaveFile(std::string& chosen) override {
        chosen = path;
        return true;
    }
    bool chooseOpenFile(std::string& chosen) override {
        chosen = path;
        return true;
    }
    bool confirmImport(const std::string&, const std::vector<TransferRow>& shown) override {
        rows = shown;
        ++asked;
        return agree;
    }
    bool askYesNo(const std::string& question) override {
        questions.push_back(question);
        return yes;
    }
    void showMessage(const std::string& text, bool isError) override {
        messages.push_back((isError ? "error: " : "info: ") + text);
    }

    std::string path;
    bool agree = true;
    int asked = 0;
    std::vector<TransferRow> rows;
    bool yes = true;  // the answer to askYesNo
    std::vector<std::string> questions;
    std::vector<std::string> messages;
};

}  // namespace vorlant::test
