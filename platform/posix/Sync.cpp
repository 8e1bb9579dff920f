// Lock and Event on POSIX.
//
// An Event is a flag under a mutex plus a non-blocking self-pipe that holds
// exactly one byte while the flag is set. Waiters poll the pipe, so a thread
// can wait on an event and a device or socket at once; the flag (checked
// under the mutex) is the truth, the pipe only wakes pollers.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "platform/Platform.h"
#include "platform/posix/EventFd.h"

namespace vorlant::platform {

namespace {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;  // as Win32's INFINITE
constexpr int kMaxPollMs = 1 << 30;

struct EventImpl {
    pthread_mutex_t mutex;
    bool signalled = false;
    bool autoReset = false;
    int readFd = -1;
    int writeFd = -1;
};

EventImpl* eventImpl(const Event& event) {
    return static_cast<EventImpl*>(event.native());
}

void setNonBlockingCloexec(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

// Both called with the mutex held; they keep the pipe in step with the flag.
void signalLocked(EventImpl& e) {
    if (e.signalled) return;
    e.signalled = true;
    const uint8_t one = 1;
    while (::write(e.writeFd, &one, 1) < 0 && errno == EINTR) {
    }
}

void clearLocked(EventImpl& e) {
    if (!e.signalled) return;
    e.signalled = false;
    uint8_t sink[8];
    for (;;) {
        const ssize_t n = ::read(e.readFd, sink, sizeof sink);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        break;
    }
}

uint64_t nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace

// --- Lock -------------------------------------------------------------------

Lock::Lock() : impl_(new pthread_mutex_t) {
    pthread_mutex_init(static_cast<pthread_mutex_t*>(impl_), nullptr);
}

Lock::~Lock() {
    pthread_mutex_destroy(static_cast<pthread_mutex_t*>(impl_));
    delete static_cast<pthread_mutex_t*>(impl_);
}

void Lock::enter() {
    pthread_mutex_lock(static_cast<pthread_mutex_t*>(impl_));
}
void Lock::leave() {
    pthread_mutex_unlock(static_cast<pthread_mutex_t*>(impl_));
}

// --- Event ------------------------------------------------------------------

Event::Event(Reset mode) : impl_(new EventImpl) {
    EventImpl& e = *static_cast<EventImpl*>(impl_);
    pthread_mutex_init(&e.mutex, nullptr);
    e.autoReset = mode == Reset::Auto;
    int fds[2] = {-1, -1};
    if (pipe(fds) == 0) {
        setNonBlockingCloexec(fds[0]);
        setNonBlockingCloexec(fds[1]);
        e.readFd = fds[0];
        e.writeFd = fds[1];
    }
}

Event::~Event() {
    EventImpl* e = static_cast<EventImpl*>(impl_);
    if (e->readFd >= 0) ::close(e->readFd);
    if (e->writeFd >= 0) ::close(e->writeFd);
    pthread_mutex_destroy(&e->mutex);
    delete e;
}

void Event::set() {
    EventImpl& e = *static_cast<EventImpl*>(impl_);
    pthread_mutex_lock(&e.mutex);
    signalLocked(e);
    pthread_mutex_unlock(&e.mutex);
}

void Event::reset() {
    EventImpl& e = *static_cast<EventImpl*>(impl_);
    pthread_mutex_lock(&e.mutex);
    clearLocked(e);
    pthread_mutex_unlock(&e.mutex);
}

bool Event::isSet() const {
    EventImpl& e = *static_cast<EventImpl*>(impl_);
    pthread_mutex_lock(&e.mutex);
    const bool set = e.signalled;
    pthread_mutex_unlock(&e.mutex);
    return set;
}

bool Event::wait(uint32_t timeoutMs) {
    EventImpl& e = *static_cast<EventImpl*>(impl_);
    const uint64_t deadline = nowNs() + static_cast<uint64_t>(timeoutMs) * 1000000u;
    for (;;) {
        pthread_mutex_lock(&e.mutex);
        const bool set = e.signalled;
        // An auto-reset event releases exactly one waiter: whoever finds the
        // flag under the mutex takes it; the others poll an empty pipe again.
        if (set && e.autoReset) clearLocked(e);
        pthread_mutex_unlock(&e.mutex);
        if (set) return true;

        int pollMs = -1;
        if (timeoutMs != kInfinite) {
            const uint64_t now = nowNs();
            if (now >= deadline) return false;
            // Round up so a wait never ends (and reports a time-out) early;
            // long waits go in steps that fit poll()'s int.
            const uint64_t leftMs = (deadline - now + 999999u) / 1000000u;
            pollMs = leftMs > kMaxPollMs ? kMaxPollMs : static_cast<int>(leftMs);
        }
        pollfd p{e.readFd, POLLIN, 0};
        if (poll(&p, 1, pollMs) < 0 && errno != EINTR) return false;
    }
}

namespace posix {

int eventFd(const Event& event) {
    return eventImpl(event)->readFd;
}

}  // namespace posix

}  // namespace vorlant::platform
