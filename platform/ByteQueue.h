// The engine's input queue: an in-process byte stream with many writers and
// one reader. Writers serialise themselves (the engine holds its write lock
// around each message), so every write lands as one uninterrupted run.
// Win32: a byte-mode named pipe with overlapped reads. POSIX: a pipe read
// with poll() together with the reader's stop event.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Platform.h"

namespace vorlant::platform {

class ByteQueue {
public:
    ByteQueue() = default;
    ~ByteQueue();
    ByteQueue(const ByteQueue&) = delete;
    ByteQueue& operator=(const ByteQueue&) = delete;

    // name is used where the OS needs one (the Win32 pipe name); POSIX
    // ignores it. False when the queue could not be created.
    bool open(const char* name);
    // Releases the queue. No thread may be using it any more.
    void close();
    // Breaks the queue for writers: a writer blocked on a full queue, and
    // every later write, fails at once. The object stays valid (read() and
    // close() may still be called). For shutdown, after the reader ended,
    // so a straggling writer can never block forever.
    void shutdown();
    bool isOpen() const { return impl_ != nullptr; }

    // Blocking write of all bytes (waits while the queue is full). False on
    // failure; the bytes are then lost.
    bool write(const uint8_t* data, size_t count);

    enum class ReadResult { Data, Stopped, TimedOut };
    // Waits until bytes are available (got may be 0 after a spurious wake)
    // or stop is signalled; stop wins when both are ready. Read errors are
    // retried internally after a short wait, never spun on.
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop);
    // The same, giving up with TimedOut (got 0) after timeoutMs.
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, Event& stop, uint32_t timeoutMs);

private:
    void* impl_ = nullptr;
};

}  // namespace vorlant::platform
