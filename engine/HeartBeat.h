// The heartbeat: a thread that ticks its listener every 250 ms.
//
// Threads: setListener/clearListener/start/stop on the owner's thread; the
// listener's tick() runs on the heartbeat thread under the heartbeat's lock
// (the only nested locking in the program: the engine's tick takes its
// queue lock inside it). Once clearListener() returns, tick() is never
// called again. stop() waits a bounded time; a thread that outlives it
// keeps the heartbeat's lock and event alive by itself (they are shared
// with it), so destroying the HeartBeat never frees them under it.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/Timings.h"
#include "engine/iTelescopeControl.h"
#include "platform/Platform.h"

namespace vorlant {

class HeartBeat {
public:
    HeartBeat();
    ~HeartBeat();
    HeartBeat(const HeartBeat&) = delete;
    HeartBeat& operator=(const HeartBeat&) = delete;

    void setListener(iHeartBeatListener* listener);
    void clearListener();
    bool start();
    // Signals the thread and waits up to kHeartBeatStopWaitMs (Timings.h);
    // true when it ended.
    bool stop();

private:
    // What the heartbeat thread uses; the thread holds its own reference.
    struct Shared {
        platform::Lock lock;
        platform::Event stopEvent{platform::Event::Reset::Manual};
        iHeartBeatListener* listener = nullptr;
    };
    static void threadEntry(void* shared);

    std::shared_ptr<Shared> shared_;
    platform::Thread thread_;
};

}  // namespace vorlant
