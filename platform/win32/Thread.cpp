// Thread, sleeping, process id, the monotonic clock and the process's
// resource use on Win32.
#include "platform/Platform.h"
#include "platform/win32/Win32Event.h"

// GetProcessMemoryInfo from KERNEL32 (its K32 name), so nothing else links.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 2
#endif
#include <psapi.h>
#include <tlhelp32.h>

namespace vorlant::platform {

namespace {

// Handed to the new thread, which frees it; the Thread object keeps only
// the thread's handle, so a detached thread depends on nothing of it.
struct StartInfo {
    Thread::Entry entry;
    void* arg;
};

DWORD WINAPI trampoline(LPVOID raw) {
    const StartInfo info = *static_cast<StartInfo*>(raw);
    delete static_cast<StartInfo*>(raw);
    info.entry(info.arg);
    return 0;
}

}  // namespace

Thread::~Thread() {
    // Closing the handle of a thread that still runs detaches it.
    if (impl_) CloseHandle(static_cast<HANDLE>(impl_));
}

bool Thread::start(Entry entry, void* arg) {
    if (impl_ || !entry) return false;
    auto* info = new StartInfo{entry, arg};
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, &trampoline, info, 0, &id);
    if (!handle) {
        delete info;
        return false;
    }
    impl_ = handle;
    return true;
}

bool Thread::join(uint32_t timeoutMs) {
    if (!impl_) return true;
    if (WaitForSingleObject(static_cast<HANDLE>(impl_), timeoutMs) != WAIT_OBJECT_0) return false;
    CloseHandle(static_cast<HANDLE>(impl_));
    impl_ = nullptr;
    return true;
}

void sleepMs(uint32_t ms) {
    Sleep(ms);
}

uint32_t currentProcessId() {
    return GetCurrentProcessId();
}

uint64_t monotonicNs() {
    static const uint64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    const uint64_t count = static_cast<uint64_t>(c.QuadPart);
    // Split to keep count * 1e9 from overflowing.
    return count / frequency * 1000000000u + count % frequency * 1000000000u / frequency;
}

bool processUsage(ProcessUsage& out) {
    out = ProcessUsage{};
    const HANDLE self = GetCurrentProcess();
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(self, &memory, sizeof memory)) return false;
    out.residentBytes = memory.WorkingSetSize;
    DWORD handles = 0;
    if (!GetProcessHandleCount(self, &handles)) return false;
    out.handles = handles;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == win32::invalidHandle()) return false;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const DWORD pid = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++out.threads;
    }
    CloseHandle(snapshot);
    return out.threads > 0;
}

}  // namespace vorlant::platform
