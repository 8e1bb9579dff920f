// SIGINT and SIGTERM as requests: the handler stores the first one in a
// lock-free atomic and writes a byte into a self-pipe, which the waiter
// polls. Both are async-signal-safe.
#include "platform/Interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace vorlant::platform {

namespace {

std::atomic<int> g_pending{0};  // an Interrupt value
int g_pipe[2] = {-1, -1};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

void onSignal(int signal) {
    const int saved = errno;
    int expected = 0;
    const int kind = static_cast<int>(signal == SIGINT ? Interrupt::Interrupt : Interrupt::Terminate);
    g_pending.compare_exchange_strong(expected, kind);
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        // A full pipe already wakes the waiter; the result does not matter.
        ssize_t ignored = ::write(g_pipe[1], &byte, 1);
        (void)ignored;
    }
    errno = saved;
}

}  // namespace

bool catchInterrupts() {
    if (g_pipe[0] < 0) {
        if (::pipe(g_pipe) != 0) return false;
        for (int fd : g_pipe) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read from the terminal (a question) ends with EINTR
    // instead of waiting on for the answer.
    action.sa_flags = 0;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

Interrupt pendingInterrupt() {
    return static_cast<Interrupt>(g_pending.load());
}

Interrupt waitForInterrupt(uint32_t timeoutMs) {
    if (pendingInterrupt() == Interrupt::None) {
        // A signal between the check and the poll has written its byte, so
        // the poll returns at once. Without the pipe (nothing installed)
        // only the time passes.
        pollfd p{g_pipe[0], POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(timeoutMs));
    }
    return pendingInterrupt();
}

}  // namespace vorlant::platform
