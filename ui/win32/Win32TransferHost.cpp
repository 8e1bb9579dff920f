#include "ui/win32/Win32TransferHost.h"

#include <commdlg.h>

#include <cwchar>
#include <string>

#include "ui/win32/Win32Text.h"

namespace vorlant {

namespace {

constexpr const wchar_t* kCaption = L"Vorlant";
// Name and pattern pairs, each ended by a null, the list by two.
constexpr wchar_t kFilter[] = L"Settings files (*.json)\0*.json\0All files (*.*)\0*.*\0";

}  // namespace

bool Win32TransferHost::chooseFile(bool save, std::string& path) {
    wchar_t name[MAX_PATH] = L"";
    if (save) std::wcscpy(name, L"vorlant-settings.json");
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"json";
    dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    dialog.lpstrTitle = save ? L"Export settings" : L"Import settings";
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return false;  // cancelled (or the dialog failed: nothing happens either way)
    path = toUtf8(name, static_cast<int>(std::wcslen(name)));
    return !path.empty();
}

bool Win32TransferHost::chooseSaveFile(std::string& path) {
    return chooseFile(true, path);
}

bool Win32TransferHost::chooseOpenFile(std::string& path) {
    return chooseFile(false, path);
}

bool Win32TransferHost::confirmImport(const std::string& question, const std::vector<TransferRow>& rows) {
    const std::wstring text = toWide(question + "\n\nfield: controller -> file\n" + transferRowsText(rows));
    return MessageBoxW(owner_, text.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

bool Win32TransferHost::askYesNo(const std::string& question) {
    return MessageBoxW(owner_, toWide(question).c_str(), kCaption,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void Win32TransferHost::showMessage(const std::string& text, bool isError) {
    MessageBoxW(owner_, toWide(text).c_str(), kCaption,
                MB_OK | (isError ? MB_ICONERROR : MB_ICONINFORMATION));
}

}  // namespace vorlant
