#include "tests/gui/GuiDriver.h"

#include <commctrl.h>

#include <cstdio>

namespace vorlant::gui {

namespace {

// A path from the build system ("/work/...") as Windows sees it under Wine,
// where the drive Z: is the host's root.
std::string windowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:";
    for (char c : path) out += c == '/' ? '\\' : c;
    return out;
}

// A message to another process's control, never waiting long: a modal
// dialog closing under Wine keeps its thread from answering for ~2 s.
LRESULT ask(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(control, message, wParam, lParam, SMTO_NORMAL, 5000, &result) == 0) return -1;
    return static_cast<LRESULT>(result);
}

void foreground(HWND dialog) {
    if (GetForegroundWindow() == dialog) return;
    SetForegroundWindow(dialog);
    // A loaded machine may take seconds to hand the activation over.
    waitFor([&] { return GetForegroundWindow() == dialog; }, 3000);
}

void sendKey(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void mouseButton(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

}  // namespace

Program::~Program() {
    if (process_ == nullptr) return;
    if (running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool Program::start(const std::string& exe) {
    std::string commandLine = "\"" + windowsPath(exe) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

int Program::waitExit(int ms) {
    if (process_ == nullptr) return -1;
    if (WaitForSingleObject(process_, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

bool Program::running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

HWND findDialog(DWORD process, const wchar_t* caption) {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", caption); w != nullptr;
         w = FindWindowExW(nullptr, w, L"#32770", caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process) return w;
    }
    return nullptr;
}

HWND waitForDialog(DWORD process, const wchar_t* caption, int ms) {
    HWND found = nullptr;
    waitFor(
        [&] {
            found = findDialog(process, caption);
            return found != nullptr && IsWindowVisible(found);
        },
        ms);
    return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

bool waitGone(HWND window, int ms) {
    return waitFor([&] { return IsWindow(window) == FALSE; }, ms);
}

bool waitFocus(HWND dialog, int id, int ms) {
    const HWND control = GetDlgItem(dialog, id);
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    return waitFor(
        [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            return GetGUIThreadInfo(thread, &info) && info.hwndFocus == control;
        },
        ms);
}

void clickAt(HWND dialog, int x, int y) {
    foreground(dialog);
    // Each step given time to be taken in, also on a loaded machine: a
    // press that arrives before the move is taken as one elsewhere.
    SetCursorPos(x, y);
    Sleep(40);
    mouseButton(MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    mouseButton(MOUSEEVENTF_LEFTUP);
    Sleep(50);
}

void clickControl(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    clickAt(dialog, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void clickThumb(HWND dialog, HANDLE process, int id) {
    // The thumb's place is the track bar's own business: ask it, through a
    // RECT in the program's memory, as the message wants a pointer there.
    HWND track = GetDlgItem(dialog, id);
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    RECT thumb{};
    if (remote != nullptr) {
        ask(track, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote, &thumb, sizeof thumb, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    POINT centre{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    ClientToScreen(track, &centre);
    clickAt(dialog, centre.x, centre.y);
}

void pressKey(HWND dialog, WORD virtualKey, bool shift, bool alt) {
    foreground(dialog);
    if (alt) sendKey(VK_MENU, false);
    if (shift) sendKey(VK_SHIFT, false);
    sendKey(virtualKey, false);
    sendKey(virtualKey, true);
    if (shift) sendKey(VK_SHIFT, true);
    if (alt) sendKey(VK_MENU, true);
    Sleep(20);
}

void typeText(HWND dialog, const std::string& text) {
    foreground(dialog);
    for (char c : text) {
        const SHORT scan = VkKeyScanA(c);
        if (scan == -1) continue;
        const bool shift = (scan & 0x100) != 0;
        if (shift) sendKey(VK_SHIFT, false);
        sendKey(static_cast<WORD>(scan & 0xFF), false);
        sendKey(static_cast<WORD>(scan & 0xFF), true);
        if (shift) sendKey(VK_SHIFT, true);
    }
    Sleep(20);
}

void replaceEditText(HWND dialog, int id, const std::string& text) {
    clickControl(dialog, id);
    pressKey(dialog, VK_HOME);
    pressKey(dialog, VK_END, true);
    typeText(dialog, text);
}

bool saveWindowImage(HWND window, const std::string& path) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return false;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = image != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, image);
        ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
        FILE* f = std::fopen(windowsPath(path).c_str(), "wb");
        ok = f != nullptr;
        if (ok) {
            ok = std::fwrite(&file, sizeof file, 1, f) == 1 &&
                 std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
                 std::fwrite(bits, static_cast<size_t>(stride) * static_cast<size_t>(height), 1, f) == 1;
            ok = std::fclose(f) == 0 && ok;
        }
    }
    if (image != nullptr) DeleteObject(image);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

std::string RemoteControls::text(int id) const {
    wchar_t buffer[512] = {};
    ask(GetDlgItem(dialog_, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    std::string out;
    for (const wchar_t* p = buffer; *p != 0; ++p) out += *p < 128 ? static_cast<char>(*p) : '?';
    return out;
}

bool RemoteControls::isEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE;
}

bool RemoteControls::isChecked(int id) const {
    return ask(GetDlgItem(dialog_, id), BM_GETCHECK) == BST_CHECKED;
}

int RemoteControls::trackPos(int id) const {
    return static_cast<int>(ask(GetDlgItem(dialog_, id), TBM_GETPOS));
}

int RemoteControls::comboSelection(int id) const {
    return static_cast<int>(ask(GetDlgItem(dialog_, id), CB_GETCURSEL));
}

std::vector<std::string> SimLog::readNewLines() {
    std::vector<std::string> lines;
    FILE* f = std::fopen(windowsPath(path_).c_str(), "rb");
    if (f == nullptr) return lines;
    std::fseek(f, static_cast<long>(offset_), SEEK_SET);
    std::string chunk;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) chunk.append(buffer, n);
    std::fclose(f);
    // Whole lines only: the simulator may be writing the last one.
    const std::size_t end = chunk.rfind('\n');
    if (end == std::string::npos) return lines;
    offset_ += end + 1;
    std::size_t start = 0;
    while (start <= end) {
        const std::size_t eol = chunk.find('\n', start);
        std::string line = chunk.substr(start, eol - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = eol + 1;
    }
    for (const std::string& l : lines) seen_.push_back(l);
    return lines;
}

std::vector<std::string> SimLog::newRequests() {
    std::vector<std::string> frames;
    for (const std::string& line : readNewLines()) {
        const std::size_t at = line.find("] AA ");
        if (at == std::string::npos) continue;
        const std::size_t stop = line.find("  ", at + 2);
        frames.push_back(line.substr(at + 2, stop == std::string::npos ? std::string::npos : stop - at - 2));
    }
    return frames;
}

bool SimLog::sawSinceStart(const std::string& text) {
    readNewLines();
    for (const std::string& l : seen_) {
        if (l.find(text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace vorlant::gui
