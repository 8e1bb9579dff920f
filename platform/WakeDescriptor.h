// A wake-up a foreign event loop can watch: signal() from any thread makes
// descriptor() readable until clear() is called on the loop's thread. For a
// program whose main loop belongs to a library that only watches file
// descriptors (the INDI driver loop); reports from other threads are queued
// elsewhere and announced through this. POSIX only: the descriptor is the
// read end of a non-blocking pipe.
//
// Threads: signal() from any thread; open(), clear() and descriptor() on
// the loop's thread.
#pragma once

namespace vorlant::platform {

class WakeDescriptor {
public:
    WakeDescriptor() = default;
    ~WakeDescriptor();
    WakeDescriptor(const WakeDescriptor&) = delete;
    WakeDescriptor& operator=(const WakeDescriptor&) = delete;

    // False when the pipe could not be made.
    bool open();
    // The descriptor to watch for readability; -1 before open().
    int descriptor() const { return readFd_; }
    // Never blocks: a pipe already holding a wake-up stays as it is.
    void signal();
    // Takes every pending wake-up, so the descriptor is quiet again.
    void clear();

private:
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace vorlant::platform
