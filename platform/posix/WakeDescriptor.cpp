#include "platform/WakeDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vorlant::platform {

WakeDescriptor::~WakeDescriptor() {
    if (readFd_ >= 0) ::close(readFd_);
    if (writeFd_ >= 0) ::close(writeFd_);
}

bool WakeDescriptor::open() {
    if (readFd_ >= 0) return true;
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    readFd_ = fds[0];
    writeFd_ = fds[1];
    return true;
}

void WakeDescriptor::signal() {
    if (writeFd_ < 0) return;
    const char one = 1;
    // EAGAIN: the pipe is full of earlier wake-ups, which is just as good.
    while (::write(writeFd_, &one, 1) < 0 && errno == EINTR) {
    }
}

void WakeDescriptor::clear() {
    if (readFd_ < 0) return;
    char sink[64];
    for (;;) {
        const ssize_t got = ::read(readFd_, sink, sizeof sink);
        if (got > 0) continue;
        if (got < 0 && errno == EINTR) continue;
        break;
    }
}

}  // namespace vorlant::platform
