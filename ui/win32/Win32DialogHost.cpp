#include "ui/win32/Win32DialogHost.h"

#include <shellapi.h>

#include <memory>
#include <string>

#include "ui/AboutDialog.h"
#include "ui/AdvancedSettingsDialog.h"
#include "ui/GearRatioDialog.h"
#include "ui/MainDialogIds.h"
#include "ui/SecondaryDialogIds.h"
#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32Text.h"

namespace vorlant {

namespace {

// One run of a secondary dialog: its logic and, from WM_INITDIALOG on, the
// controls of its window.
template <typename Logic>
struct DialogRun {
    HINSTANCE instance;
    Logic& logic;
    std::unique_ptr<Win32DialogControls> controls;
};

template <typename Logic>
DialogRun<Logic>* runOf(HWND window) {
    return reinterpret_cast<DialogRun<Logic>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The gear ratio and advanced settings dialogs: the logic decides when the
// dialog ends and with what.
template <typename Logic>
INT_PTR CALLBACK editDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        auto* run = reinterpret_cast<DialogRun<Logic>*>(lParam);
        run->controls = std::make_unique<Win32DialogControls>(run->instance, window);
        run->logic.init(*run->controls);
        return TRUE;
    }
    DialogRun<Logic>* run = runOf<Logic>(window);
    if (run == nullptr || run->controls == nullptr) {
        return FALSE;
    }
    if (message == WM_COMMAND) {
        const int result = run->logic.command(*run->controls, LOWORD(wParam), HIWORD(wParam));
        if (result != Logic::kStayOpen) {
            EndDialog(window, result);
        }
        return TRUE;
    }
    return FALSE;
}

template <typename Logic>
int runEditDialog(HINSTANCE instance, HWND owner, int templateId, Logic& logic) {
    DialogRun<Logic> run{instance, logic, nullptr};
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner,
                                            &editDialogProc<Logic>, reinterpret_cast<LPARAM>(&run)));
}

// ---- About box ----

const wchar_t kPreviousProcProperty[] = L"VorlantPreviousProc";

// The link: the hand cursor over it, everything else as before.
LRESULT CALLBACK linkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, kPreviousProcProperty));
    if (message == WM_SETCURSOR) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(window, kPreviousProcProperty);
        if (previous != nullptr) {
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        }
    }
    if (previous == nullptr) {
        return 0;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

struct AboutRun {
    HINSTANCE instance;
    AboutDialog logic;
    std::unique_ptr<Win32DialogControls> controls;
    HWND window = nullptr;
    HFONT linkFont = nullptr;
    HFONT titleFont = nullptr;
};

LOGFONTW fontOf(HWND control) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (font == nullptr) {
        font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    }
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    return description;
}

void initAbout(AboutRun& run, HWND window) {
    run.window = window;
    run.controls = std::make_unique<Win32DialogControls>(run.instance, window);
    run.logic.init(*run.controls);

    HWND link = GetDlgItem(window, AboutId::Link);
    HWND title = GetDlgItem(window, AboutId::Title);
    if (link != nullptr) {
        LOGFONTW underlined = fontOf(link);
        underlined.lfUnderline = TRUE;
        run.linkFont = CreateFontIndirectW(&underlined);
        SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(run.linkFont), TRUE);
    }
    if (title != nullptr) {
        LOGFONTW bold = fontOf(title);
        bold.lfHeight = 16;
        bold.lfWeight = FW_BOLD;
        run.titleFont = CreateFontIndirectW(&bold);
        SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(run.titleFont), TRUE);
    }
    if (link != nullptr) {
        LONG_PTR previous = GetWindowLongPtrW(link, GWLP_WNDPROC);
        SetPropW(link, kPreviousProcProperty, reinterpret_cast<HANDLE>(previous));
        SetWindowLongPtrW(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&linkProc));
    }
}

INT_PTR CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        initAbout(*reinterpret_cast<AboutRun*>(lParam), window);
        return TRUE;
    }
    auto* run = reinterpret_cast<AboutRun*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (run == nullptr || run->controls == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window, AboutId::Link)) {
                auto dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, GetSysColor(COLOR_HOTLIGHT));
                SetBkMode(dc, TRANSPARENT);
                return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
            }
            return FALSE;
        case WM_COMMAND: {
            const int result = run->logic.command(*run->controls, LOWORD(wParam), HIWORD(wParam));
            if (result != AboutDialog::kStayOpen) {
                EndDialog(window, result);
            }
            return TRUE;
        }
        case WM_DESTROY:
            // The controls are gone after this: release the fonts made for them.
            if (run->linkFont != nullptr) {
                DeleteObject(run->linkFont);
                run->linkFont = nullptr;
            }
            if (run->titleFont != nullptr) {
                DeleteObject(run->titleFont);
                run->titleFont = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

int Win32DialogHost::showGearRatioDialog(GearRatios& ratios) {
    GearRatioDialog logic(ratios);
    return runEditDialog(instance_, owner_, kDialogGearRatio, logic);
}

int Win32DialogHost::showAdvancedSettingsDialog(AdvancedSettings& settings) {
    AdvancedSettingsDialog logic(settings);
    return runEditDialog(instance_, owner_, kDialogAdvancedSettings, logic);
}

void Win32DialogHost::showAboutDialog() {
    AboutRun run{instance_, AboutDialog(nullptr), nullptr};
    // The address opens with the About box as owner; set once its window exists.
    run.logic = AboutDialog([&run](const std::string& address) {
        const std::wstring wide = toWide(address);
        ShellExecuteW(run.window, nullptr, wide.c_str(), nullptr, nullptr, SW_SHOW);
    });
    DialogBoxParamW(instance_, MAKEINTRESOURCEW(kDialogAbout), owner_, &aboutProc,
                    reinterpret_cast<LPARAM>(&run));
}

}  // namespace vorlant
