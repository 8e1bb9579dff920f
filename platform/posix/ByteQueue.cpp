// The engine queue on POSIX: a local stream socket pair. The reader polls
// its end together with the stop event; writers send without blocking and
// poll for room together with the queue's broken event, so shutdown() can
// release a writer that waits on a full queue. send() with MSG_NOSIGNAL
// never raises SIGPIPE.
#include "platform/ByteQueue.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/EventFd.h"

namespace vorlant::platform {

namespace {

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif

// After a failed read: how long the reader waits (on its stop event) before
// it tries again, so a broken queue never makes it spin.
constexpr int kReadRetryMs = 50;
// The reader's wait step; the stop event ends any wait at once.
constexpr int kReadWaitMs = 300;
constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;

struct QueueImpl {
    int readFd = -1;
    int writeFd = -1;
    Event broken{Event::Reset::Manual};
};

QueueImpl* impl(void* p) {
    return static_cast<QueueImpl*>(p);
}

}  // namespace

ByteQueue::~ByteQueue() {
    close();
}

bool ByteQueue::open(const char* /*name*/) {
    if (impl_) return true;
    int fds[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
#ifdef SO_NOSIGPIPE
    const int on = 1;
    setsockopt(fds[1], SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    auto* q = new QueueImpl;
    q->readFd = fds[0];
    q->writeFd = fds[1];
    impl_ = q;
    return true;
}

void ByteQueue::close() {
    if (!impl_) return;
    QueueImpl* q = impl(impl_);
    ::close(q->readFd);
    ::close(q->writeFd);
    delete q;
    impl_ = nullptr;
}

void ByteQueue::shutdown() {
    if (!impl_) return;
    impl(impl_)->broken.set();
}

bool ByteQueue::write(const uint8_t* data, size_t count) {
    if (!impl_) return false;
    QueueImpl& q = *impl(impl_);
    while (count > 0) {
        if (q.broken.isSet()) return false;
        const ssize_t n = send(q.writeFd, data, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            count -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        // Full: wait for room or for the queue to be broken.
        pollfd p[2] = {{q.writeFd, POLLOUT, 0}, {posix::eventFd(q.broken), POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno != EINTR) return false;
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
    }
    return true;
}

ByteQueue::ReadResult ByteQueue::read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop) {
    return read(buffer, capacity, got, stop, kNoTimeout);
}

ByteQueue::ReadResult ByteQueue::read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop,
                                      uint32_t timeoutMs) {
    got = 0;
    const uint64_t deadline = monotonicNs() + uint64_t{timeoutMs} * 1000000u;
    // The next wait step: at most kReadWaitMs, never past the deadline.
    auto stepMs = [&](int maxMs) -> int {
        if (timeoutMs == kNoTimeout) return maxMs;
        const uint64_t now = monotonicNs();
        if (now >= deadline) return 0;
        const uint64_t left = (deadline - now + 999999u) / 1000000u;
        return left < static_cast<uint64_t>(maxMs) ? static_cast<int>(left) : maxMs;
    };
    for (;;) {
        if (stop.isSet()) return ReadResult::Stopped;
        const int waitMs = stepMs(kReadWaitMs);
        if (waitMs == 0) return ReadResult::TimedOut;
        if (!impl_) {
            // Nothing to read from: wait for the stop without spinning.
            if (stop.wait(static_cast<uint32_t>(stepMs(kReadRetryMs)))) return ReadResult::Stopped;
            continue;
        }
        QueueImpl& q = *impl(impl_);
        pollfd p[2] = {{posix::eventFd(stop), POLLIN, 0}, {q.readFd, POLLIN, 0}};
        const int ready = poll(p, 2, waitMs);
        // The stop wins over data that arrived at the same time.
        if (stop.isSet()) return ReadResult::Stopped;
        if (ready <= 0) continue;  // time-out or EINTR
        if (p[1].revents & POLLIN) {
            const ssize_t n = recv(q.readFd, buffer, capacity, MSG_DONTWAIT);
            if (n > 0) {
                got = static_cast<size_t>(n);
                return ReadResult::Data;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
            // End of stream or a read error: retry after a pause.
            if (stop.wait(static_cast<uint32_t>(stepMs(kReadRetryMs)))) return ReadResult::Stopped;
            continue;
        }
        if ((p[1].revents & (POLLERR | POLLHUP | POLLNVAL)) &&
            stop.wait(static_cast<uint32_t>(stepMs(kReadRetryMs))))
            return ReadResult::Stopped;
    }
}

}  // namespace vorlant::platform
