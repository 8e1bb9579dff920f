// Figures of the Windows program as a user meets them, under Wine against
// the simulator (run by scripts/bench-gui.sh): process start to a visible
// main window, "Connect" to "Connection established.", private memory and
// CPU use while connected and idle. It drives the program from outside, as
// the GUI tests do.
// windows.h first: psapi.h builds on its types.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/gui/GuiDriver.h"
#include "ui/MainDialogIds.h"

namespace {

using namespace vorlant;

const wchar_t kCaption[] = L"Vorlant 2.4. beta 2.";
constexpr int kRounds = 5;
constexpr int kIdleSeconds = 40;

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    const char* exe = std::getenv("VORLANT_GUI_EXE");
    const char* portText = std::getenv("VORLANT_E2E_PORT");
    if (exe == nullptr || portText == nullptr) {
        std::fprintf(stderr, "bench_gui: run it through scripts/bench-gui.sh\n");
        return 2;
    }
    const int port = std::atoi(portText);
    std::vector<double> toWindow, toConnected;
    double privateMb = 0;
    for (int round = 0; round < kRounds; ++round) {
        gui::Program program;
        const LARGE_INTEGER start = now();
        if (!program.start(exe)) return 1;
        HWND main = nullptr;
        gui::waitFor(
            [&] {
                main = gui::findDialog(program.id(), kCaption);
                return main != nullptr && IsWindowVisible(main);
            },
            20000);
        if (main == nullptr) return 1;
        toWindow.push_back(seconds(start, now()));

        const gui::RemoteControls c(main);
        gui::clickControl(main, MainId::PortCombo);
        gui::pressKey(main, VK_HOME);
        for (int i = 1; i < port; ++i) gui::pressKey(main, VK_DOWN);
        gui::pressKey(main, VK_RETURN);
        const LARGE_INTEGER click = now();
        gui::clickControl(main, MainId::Connect);
        if (!gui::waitFor([&] { return c.text(MainId::StatusLine) == "Connection established."; }, 15000))
            return 1;
        toConnected.push_back(seconds(click, now()));

        if (round == kRounds - 1) {
            // Connected and idle: the heartbeat ticks, nothing else happens.
            // Under Wine the process's own counters are not reported to
            // other processes, so the script samples the host's view of it
            // while this waits.
            // First with the mouse away from the window, then resting on a
            // button (under Wine the hover costs the window thread work).
            SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
            Sleep(3000);
            std::printf("IDLE away %d\n", kIdleSeconds);
            std::fflush(stdout);
            Sleep(kIdleSeconds * 1000 + 500);
            RECT button{};
            GetWindowRect(GetDlgItem(main, MainId::Disconnect), &button);
            SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
            Sleep(3000);
            std::printf("IDLE hover %d\n", kIdleSeconds);
            std::fflush(stdout);
            Sleep(kIdleSeconds * 1000 + 500);
            PROCESS_MEMORY_COUNTERS_EX memory{};
            memory.cb = sizeof memory;
            if (GetProcessMemoryInfo(program.process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                     sizeof memory)) {
                privateMb = static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
            }
        }
        gui::pressKey(main, VK_F4, false, true);
        if (program.waitExit(15000) != 0) return 1;
    }
    std::printf("start to main window, median of %d: %.0f ms (fastest %.0f ms)\n", kRounds,
                1000 * median(toWindow), 1000 * *std::min_element(toWindow.begin(), toWindow.end()));
    std::printf("Connect to \"Connection established.\", median of %d: %.0f ms\n", kRounds,
                1000 * median(toConnected));
    if (privateMb > 0)
        std::printf("connected and idle: private memory %.1f MB (as Windows reports it)\n", privateMb);
    return 0;
}
