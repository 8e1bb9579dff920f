// Thread, sleeping, process id, the monotonic clock and the process's
// resource use on POSIX.
#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/Platform.h"

namespace vorlant::platform {

namespace {

// Shared by the Thread object and the running thread, so a Thread that is
// destroyed (and detached) while its function runs leaves the running side
// a valid place to report that it has ended.
struct ThreadState {
    pthread_t handle{};
    Thread::Entry entry = nullptr;
    void* arg = nullptr;
    Event done{Event::Reset::Manual};
};

using StateRef = std::shared_ptr<ThreadState>;

void* trampoline(void* raw) {
    StateRef state = std::move(*static_cast<StateRef*>(raw));
    delete static_cast<StateRef*>(raw);
    state->entry(state->arg);
    state->done.set();
    return nullptr;
}

}  // namespace

Thread::~Thread() {
    if (!impl_) return;
    StateRef* state = static_cast<StateRef*>(impl_);
    // An ended thread is joined (that cannot block for long); one that still
    // runs is detached and keeps the shared state alive by itself.
    if ((*state)->done.isSet()) {
        pthread_join((*state)->handle, nullptr);
    } else {
        pthread_detach((*state)->handle);
    }
    delete state;
}

bool Thread::start(Entry entry, void* arg) {
    if (impl_ || !entry) return false;
    auto state = std::make_shared<ThreadState>();
    state->entry = entry;
    state->arg = arg;
    auto* forThread = new StateRef(state);
    // The program's own threads never take SIGINT or SIGTERM: they reach
    // the main thread, whose waits and terminal reads they are meant to
    // end. The new thread inherits the mask in force while it is created.
    sigset_t interrupts, previous;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    const int created = pthread_create(&state->handle, nullptr, &trampoline, forThread);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (created != 0) {
        delete forThread;
        return false;
    }
    impl_ = new StateRef(std::move(state));
    return true;
}

bool Thread::join(uint32_t timeoutMs) {
    if (!impl_) return true;
    StateRef* state = static_cast<StateRef*>(impl_);
    if (!(*state)->done.wait(timeoutMs)) return false;
    pthread_join((*state)->handle, nullptr);
    delete state;
    impl_ = nullptr;
    return true;
}

void sleepMs(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

uint32_t currentProcessId() {
    return static_cast<uint32_t>(getpid());
}

uint64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

bool processUsage(ProcessUsage& out) {
    out = ProcessUsage{};
    // Resident pages: the second figure of /proc/self/statm.
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return false;
    unsigned long long sizePages = 0, residentPages = 0;
    const bool haveMemory = std::fscanf(statm, "%llu %llu", &sizePages, &residentPages) == 2;
    std::fclose(statm);
    if (!haveMemory) return false;
    out.residentBytes = residentPages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));

    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return false;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        unsigned threads = 0;
        if (std::sscanf(line, "Threads: %u", &threads) == 1) out.threads = threads;
    }
    std::fclose(status);

    // Open descriptors, not counting the one that lists them.
    DIR* fds = opendir("/proc/self/fd");
    if (!fds) return false;
    uint32_t count = 0;
    while (const dirent* entry = readdir(fds)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(fds);
    out.handles = count > 0 ? count - 1 : 0;
    return out.threads > 0;
}

}  // namespace vorlant::platform
