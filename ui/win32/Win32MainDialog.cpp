#include "ui/win32/Win32MainDialog.h"

#include <commctrl.h>

#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"
#include "ui/win32/Win32Text.h"

namespace vorlant {

namespace {

// The application icon of the resource script.
constexpr int kAppIcon = 1;
// The bridge's announcement is a private message of the window's own:
// WM_USER and the numbers just above it are the dialog manager's (WM_USER
// itself is DM_GETDEFID), so a dialog must not take them for its own. Its
// wParam 1000 delivers a report, 1001 is accepted and ignored by the bridge.
constexpr UINT kReportMessage = WM_APP;
constexpr WPARAM kReportReadyParam = 1000;
constexpr WPARAM kReportSpareParam = 1001;
// The timer that delivers reports whose announcement was lost (a message
// that a closing modal loop takes is dropped, never dispatched). Half a
// second: such a loss is rare (every modal dialog's return drains too), and
// a faster timer would cost an idle window more than the rest of the
// program together.
constexpr UINT_PTR kReportTimer = 1;
constexpr UINT kReportTimerMs = 500;

}  // namespace

INT_PTR Win32MainDialog::run(HWND parent) {
    const INT_PTR result = DialogBoxParamW(instance_, MAKEINTRESOURCEW(kDialogMain), parent, &dialogProc,
                                           reinterpret_cast<LPARAM>(this));
    window_.store(nullptr);
    dialog_.setScanHost(nullptr);
    dialog_.setTransferHost(nullptr);
    transferHost_.reset();
    host_.reset();
    controls_.reset();
    return result;
}

void Win32MainDialog::postToWindow(uint32_t wParam, int32_t lParam) {
    HWND window = window_.load();
    if (window != nullptr) {
        PostMessageW(window, kReportMessage, wParam, lParam);
    }
}

INT_PTR CALLBACK Win32MainDialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    }
    auto* self = reinterpret_cast<Win32MainDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT and the like)
    }
    return self->handle(window, message, wParam, lParam);
}

void Win32MainDialog::initialise(HWND window) {
    controls_ = std::make_unique<Win32DialogControls>(instance_, window);
    host_ = std::make_unique<Win32DialogHost>(instance_, window);
    transferHost_ = std::make_unique<Win32TransferHost>(window);
    dialog_.setTransferHost(transferHost_.get());
    // Shared icons: the system owns them, nothing to release. The small slot
    // gets the icon's own small image rather than a shrunk large one.
    const struct {
        WPARAM slot;
        int width, height;
    } icons[] = {{ICON_BIG, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)},
                 {ICON_SMALL, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)}};
    for (const auto& i : icons) {
        HANDLE icon =
            LoadImageW(instance_, MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON, i.width, i.height, LR_SHARED);
        if (icon != nullptr) SendMessageW(window, WM_SETICON, i.slot, reinterpret_cast<LPARAM>(icon));
    }
    // Announcements posted from here on wait in the queue until this
    // message returns; initDialog delivers what came before.
    window_.store(window);
    dialog_.initDialog(*controls_, *host_);
    dialog_.setScanHost(this);
    addMenuCommands(window);
    SetTimer(window, kReportTimer, kReportTimerMs, nullptr);
}

// The program's commands go below the system menu's own, after a
// separator; WM_SYSCOMMAND brings them back.
void Win32MainDialog::addMenuCommands(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    if (menu == nullptr) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const MenuCommand& c : kMenuCommands)
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(c.id), toWide(c.text).c_str());
}

std::vector<ProbeTarget> Win32MainDialog::probeTargets() {
    return comPortTargets();
}

void Win32MainDialog::showScanResults(const std::string& text) {
    MessageBoxW(window_.load(), toWide(text).c_str(), L"Find controller", MB_OK | MB_ICONINFORMATION);
}

INT_PTR Win32MainDialog::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            initialise(window);
            return TRUE;  // the dialog manager sets the default focus
        case WM_CLOSE:
            // While an import sends, the user is asked first; No keeps the window.
            if (!dialog_.closeRequested()) return TRUE;
            window_.store(nullptr);
            KillTimer(window, kReportTimer);
            EndDialog(window, 1);
            return TRUE;
        case WM_TIMER:
            if (wParam != kReportTimer) return FALSE;
            dialog_.pollReports();
            return TRUE;
        case WM_COMMAND:
            // An edit acts when it loses the focus; every other control on
            // any notification (buttons send only their click). Enter (1)
            // and Escape (2) have no handler, so neither closes the dialog:
            // only the close box does.
            if (HIWORD(wParam) == EN_KILLFOCUS) {
                dialog_.editLostFocus(LOWORD(wParam));
            } else {
                dialog_.command(LOWORD(wParam));
            }
            return TRUE;
        case WM_SYSCOMMAND:
            // The low four bits belong to the system.
            for (const MenuCommand& c : kMenuCommands) {
                if ((wParam & 0xFFF0) == static_cast<WPARAM>(c.id)) {
                    dialog_.menuCommand(c.id);
                    return TRUE;
                }
            }
            return FALSE;
        case WM_HSCROLL: {
            // Only the end of an interaction (mouse button or key released).
            HWND trackBar = reinterpret_cast<HWND>(lParam);
            if (trackBar != nullptr && LOWORD(wParam) == TB_ENDTRACK) {
                dialog_.trackBarReleased(GetDlgCtrlID(trackBar));
            }
            return TRUE;
        }
        case kReportMessage:
            if (wParam == kReportReadyParam || wParam == kReportSpareParam) {
                bridge_.deliverPendingReport(static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam));
            }
            return TRUE;
        default:
            return FALSE;  // the dialog manager's own, DM_GETDEFID among them
    }
}

}  // namespace vorlant
