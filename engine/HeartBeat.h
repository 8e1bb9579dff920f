// The heartbeat: a thread that ticks its listener every 250 ms.
//
// Threads: setListener/clearListener/start/stop on the owner's thread; the
// listener's tick() runs on the heartbeat thread under the heartbeat's lock
// (the only nested locking in the program: the engine's tick takes its
// queue lock inside it). Once clearListener() returns, tick() is never
// called again.
#pragma once

#include <cstdint>

#include "engine/iTelescopeControl.h"
#include "platform/Platform.h"

namespace vorlant {

class HeartBeat {
public:
    static constexpr uint32_t kIntervalMs = 250;

    HeartBeat();
    ~HeartBeat();
    HeartBeat(const HeartBeat&) = delete;
    HeartBeat& operator=(const HeartBeat&) = delete;

    void setListener(iHeartBeatListener* listener);
    void clearListener();
    bool start();
    // Signals the thread and waits up to 20000 ms; true when it ended.
    bool stop();

private:
    static void threadEntry(void* self);
    void run();

    platform::Lock lock_;
    platform::Event stopEvent_{platform::Event::Reset::Manual};
    platform::Thread thread_;
    iHeartBeatListener* listener_ = nullptr;
};

}  // namespace vorlant
