// The engine queue on Win32: a byte-mode named pipe inside the process. The
// server end is read with overlapped reads, waiting on the stop event and
// the read's event together; the client end takes synchronous writes.
#include "platform/ByteQueue.h"

#include "platform/win32/Win32Event.h"

namespace vorlant::platform {

namespace {

constexpr DWORD kPipeBufferBytes = 512;
constexpr DWORD kPipeDefaultTimeoutMs = 120000;
// The reader's wait step; the stop event ends any wait at once.
constexpr DWORD kReadWaitMs = 300;
// After a failed read: how long the reader waits (on its stop event) before
// it tries again, so a broken pipe never makes it spin.
constexpr DWORD kReadRetryMs = 50;

struct QueueImpl {
    HANDLE server = nullptr;     // read end, overlapped
    HANDLE client = nullptr;     // write end, synchronous
    HANDLE readEvent = nullptr;  // manual reset, the overlapped read's event
    volatile LONG broken = 0;    // set by shutdown()
};

QueueImpl* impl(void* p) {
    return static_cast<QueueImpl*>(p);
}

void closeIfOpen(HANDLE& h) {
    if (h && h != win32::invalidHandle()) CloseHandle(h);
    h = nullptr;
}

}  // namespace

ByteQueue::~ByteQueue() {
    close();
}

bool ByteQueue::open(const char* name) {
    if (impl_) return true;
    if (!name) return false;
    auto* q = new QueueImpl;
    q->server = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kPipeBufferBytes,
                                 kPipeBufferBytes, kPipeDefaultTimeoutMs, nullptr);
    if (q->server != win32::invalidHandle()) {
        q->client =
            CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    q->readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (q->server == win32::invalidHandle() || q->client == win32::invalidHandle() || !q->readEvent) {
        closeIfOpen(q->client);
        closeIfOpen(q->server);
        closeIfOpen(q->readEvent);
        delete q;
        return false;
    }
    impl_ = q;
    return true;
}

void ByteQueue::close() {
    if (!impl_) return;
    QueueImpl* q = impl(impl_);
    closeIfOpen(q->client);
    closeIfOpen(q->server);
    closeIfOpen(q->readEvent);
    delete q;
    impl_ = nullptr;
}

void ByteQueue::shutdown() {
    if (!impl_) return;
    QueueImpl* q = impl(impl_);
    InterlockedExchange(&q->broken, 1);
    // Disconnecting the server end breaks the client end: a write blocked on
    // the full pipe fails, and so does every later one.
    DisconnectNamedPipe(q->server);
}

bool ByteQueue::write(const uint8_t* data, size_t count) {
    if (!impl_) return false;
    QueueImpl* q = impl(impl_);
    while (count > 0) {
        if (InterlockedCompareExchange(&q->broken, 0, 0) != 0) return false;
        DWORD written = 0;
        const DWORD chunk = count > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count);
        if (!WriteFile(q->client, data, chunk, &written, nullptr)) return false;
        data += written;
        count -= written;
    }
    return true;
}

ByteQueue::ReadResult ByteQueue::read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop) {
    return read(buffer, capacity, got, stop, INFINITE);
}

ByteQueue::ReadResult ByteQueue::read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop,
                                      uint32_t timeoutMs) {
    got = 0;
    const HANDLE stopHandle = win32::eventHandle(stop);
    const DWORD size = capacity > 0x10000000u ? 0x10000000u : static_cast<DWORD>(capacity);
    const uint64_t deadline = monotonicNs() + uint64_t{timeoutMs} * 1000000u;
    // The next wait step: at most maxMs, never past the deadline.
    auto stepMs = [&](DWORD maxMs) -> DWORD {
        if (timeoutMs == INFINITE) return maxMs;
        const uint64_t now = monotonicNs();
        if (now >= deadline) return 0;
        const uint64_t left = (deadline - now + 999999u) / 1000000u;
        return left < maxMs ? static_cast<DWORD>(left) : maxMs;
    };
    for (;;) {
        // The stop wins over bytes that are already waiting; they stay queued.
        if (WaitForSingleObject(stopHandle, 0) == WAIT_OBJECT_0) return ReadResult::Stopped;
        if (stepMs(kReadWaitMs) == 0) return ReadResult::TimedOut;
        if (!impl_) {
            if (WaitForSingleObject(stopHandle, stepMs(kReadRetryMs)) == WAIT_OBJECT_0)
                return ReadResult::Stopped;
            continue;
        }
        QueueImpl* q = impl(impl_);
        ResetEvent(q->readEvent);
        OVERLAPPED ov{};
        ov.hEvent = q->readEvent;
        DWORD n = 0;
        if (ReadFile(q->server, buffer, size, nullptr, &ov)) {
            if (GetOverlappedResult(q->server, &ov, &n, FALSE)) {
                got = n;
                return ReadResult::Data;
            }
        } else if (GetLastError() == ERROR_IO_PENDING) {
            const HANDLE waitList[2] = {stopHandle, q->readEvent};
            for (;;) {
                const DWORD step = stepMs(kReadWaitMs);
                const DWORD r = step == 0 ? WAIT_TIMEOUT : WaitForMultipleObjects(2, waitList, FALSE, step);
                const bool stopped = r == WAIT_OBJECT_0;
                if (stopped || step == 0) {
                    // The read must be over before its buffer and OVERLAPPED
                    // go: cancel it and wait for it to complete.
                    CancelIo(q->server);
                    if (GetOverlappedResult(q->server, &ov, &n, TRUE) && n > 0) {
                        // It completed with data before the cancel took hold;
                        // hand the bytes out rather than lose them.
                        got = n;
                        return ReadResult::Data;
                    }
                    return stopped ? ReadResult::Stopped : ReadResult::TimedOut;
                }
                if (r == WAIT_OBJECT_0 + 1 || r == WAIT_TIMEOUT) {
                    // Also asked after a time-out, so a completion whose
                    // signal was cleared below is never waited for in vain.
                    if (GetOverlappedResult(q->server, &ov, &n, FALSE)) {
                        got = n;
                        return ReadResult::Data;
                    }
                    if (GetLastError() == ERROR_IO_INCOMPLETE) {
                        // Signalled but not complete: clear it so the next
                        // wait blocks instead of returning at once again.
                        if (r != WAIT_TIMEOUT) ResetEvent(q->readEvent);
                        continue;
                    }
                    break;  // the read failed; start a new one after a pause
                }
                // The wait itself failed: never spin on it.
                Sleep(stepMs(kReadRetryMs));
            }
        }
        // A failed read: wait a little (a stop ends the wait) and read again.
        if (WaitForSingleObject(stopHandle, stepMs(kReadRetryMs)) == WAIT_OBJECT_0)
            return ReadResult::Stopped;
    }
}

}  // namespace vorlant::platform
