// The thin operating-system layer: everything the rest of the program needs
// from the OS, behind one small interface per concern. Exactly one backend
// per OS implements it (platform/win32/, platform/posix/); no code outside
// platform/ includes an OS header. Portable code never sees a native handle.
//
// Rule for this folder: a backend file may include its own OS headers and
// this folder's headers, nothing from engine/, ui/ or app/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlant::platform {

// Mutual exclusion (a critical section on Win32, a mutex on POSIX).
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void enter();
    void leave();

private:
    friend struct LockAccess;
    void* impl_;
};

class LockGuard {
public:
    explicit LockGuard(Lock& lock) : lock_(lock) { lock_.enter(); }
    ~LockGuard() { lock_.leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Lock& lock_;
};

// A waitable event. Manual-reset events stay signalled until reset;
// auto-reset events release one wait and clear themselves.
class Event {
public:
    enum class Reset { Manual, Auto };
    explicit Event(Reset mode);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void set();
    void reset();
    // True when the event was (or became) signalled within timeoutMs.
    bool wait(uint32_t timeoutMs);
    bool isSet() const;

    // Backend-private; portable code must not use it.
    void* native() const { return impl_; }

private:
    void* impl_;
};

// A thread running one function. join() waits for it to end; a Thread that
// is destroyed while its function still runs is detached (the function must
// not depend on the Thread object).
class Thread {
public:
    using Entry = void (*)(void* arg);
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    bool start(Entry entry, void* arg);
    // True once the thread has ended (or was never started); the thread's
    // resources are then released and start() may be called again.
    bool join(uint32_t timeoutMs);
    bool started() const { return impl_ != nullptr; }

private:
    void* impl_ = nullptr;
};

void sleepMs(uint32_t ms);
uint32_t currentProcessId();
// Monotonic clock in nanoseconds, for benchmarks and tools.
uint64_t monotonicNs();

// What this process holds right now, for soak runs that check nothing
// grows: resident memory, open handles (file descriptors on POSIX) and
// threads. False when the system could not tell.
struct ProcessUsage {
    uint64_t residentBytes = 0;
    uint32_t handles = 0;
    uint32_t threads = 0;
};
bool processUsage(ProcessUsage& out);

}  // namespace vorlant::platform
