// Drives the Windows program from outside, as a user would: it starts
// vorlant.exe as its own process, finds its windows, moves the mouse and
// presses keys with SendInput (so the input reaches the controls
// themselves, never a command message sent to the dialog), and reads what
// the controls show with the messages any other program may send them.
//
// Threads: one test thread. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/DialogControls.h"

namespace vorlant::gui {

// The program under test, started with CreateProcess.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool start(const std::string& exe);
    // Waits up to `ms` for the process to end; its exit code, or -1.
    int waitExit(int ms);
    bool running() const;
    HANDLE process() const { return process_; }
    DWORD id() const { return id_; }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A top-level dialog of `process` with this caption, or null.
HWND findDialog(DWORD process, const wchar_t* caption);
// Waits up to `ms` for a visible dialog of that caption.
HWND waitForDialog(DWORD process, const wchar_t* caption, int ms);
// Waits up to `ms` until `window` no longer exists.
bool waitGone(HWND window, int ms);
// Waits until control `id` of `dialog` holds the keyboard focus.
bool waitFocus(HWND dialog, int id, int ms);

// Input. Each brings `dialog` to the foreground first.
void clickAt(HWND dialog, int x, int y);
void clickControl(HWND dialog, int id);
// A click on a track bar's thumb, where a press and release moves nothing.
void clickThumb(HWND dialog, HANDLE process, int id);
void pressKey(HWND dialog, WORD virtualKey, bool shift = false, bool alt = false);
void typeText(HWND dialog, const std::string& text);
// Replaces an edit's text: a click into it, Home, Shift+End, the text.
void replaceEditText(HWND dialog, int id, const std::string& text);

// Saves what the screen shows of `window` (frame included) as a 24-bit BMP.
bool saveWindowImage(HWND window, const std::string& path);

// The controls of a running dialog, read from outside (the DialogControls
// read side; writing is not what a test of the program does).
class RemoteControls : public DialogControls {
public:
    explicit RemoteControls(HWND dialog) : dialog_(dialog) {}
    void setText(int, const std::string&) override {}
    std::string text(int id) const override;
    void enable(int, bool) override {}
    bool isEnabled(int id) const override;
    void setChecked(int, bool) override {}
    bool isChecked(int id) const override;
    void setTrackRange(int, int, int) override {}
    void setTrackPos(int, int) override {}
    int trackPos(int id) const override;
    void addComboItem(int, const std::string&) override {}
    void setComboSelection(int, int) override {}
    int comboSelection(int id) const override;
    void setBitmap(int, int) override {}

private:
    HWND dialog_;
};

// The simulator's log: the request frames it received, as "AA 05 37 ...".
class SimLog {
public:
    explicit SimLog(std::string path) : path_(std::move(path)) {}
    // Requests logged since the last call (or since the start).
    std::vector<std::string> newRequests();
    // Lines logged since the last call to any reader, requests or not.
    bool sawSinceStart(const std::string& text);

private:
    std::vector<std::string> readNewLines();
    std::string path_;
    std::size_t offset_ = 0;
    std::vector<std::string> seen_;
};

// Polls `done` every 20 ms for up to `ms`.
template <typename Done>
bool waitFor(Done done, int ms) {
    for (int waited = 0;; waited += 20) {
        if (done()) return true;
        if (waited >= ms) return false;
        Sleep(20);
    }
}

}  // namespace vorlant::gui
