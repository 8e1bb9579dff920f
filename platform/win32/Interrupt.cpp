// The console's control events as requests: the handler (which Windows runs
// on a thread of its own) stores the first one and sets an event that the
// waiter waits on.
#include "platform/Interrupt.h"

#include <windows.h>

#include <atomic>

namespace vorlant::platform {

namespace {

std::atomic<int> g_pending{0};  // an Interrupt value
HANDLE g_event = nullptr;

BOOL WINAPI onControl(DWORD type) {
    const bool interrupt = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
    int expected = 0;
    g_pending.compare_exchange_strong(
        expected, static_cast<int>(interrupt ? Interrupt::Interrupt : Interrupt::Terminate));
    if (g_event) SetEvent(g_event);
    if (!interrupt) {
        // Closing the console, logging off or shutting down ends the
        // process once this returns: give the tool time to stop and close
        // (its exit ends this thread too).
        Sleep(4000);
    }
    return TRUE;
}

}  // namespace

bool catchInterrupts() {
    if (!g_event) g_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_event) return false;
    return SetConsoleCtrlHandler(onControl, TRUE) != 0;
}

Interrupt pendingInterrupt() {
    return static_cast<Interrupt>(g_pending.load());
}

Interrupt waitForInterrupt(uint32_t timeoutMs) {
    if (pendingInterrupt() == Interrupt::None) {
        if (g_event)
            WaitForSingleObject(g_event, timeoutMs);
        else
            Sleep(timeoutMs);
    }
    return pendingInterrupt();
}

}  // namespace vorlant::platform
