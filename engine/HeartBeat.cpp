#include "engine/HeartBeat.h"

namespace vorlant {

HeartBeat::HeartBeat() = default;

HeartBeat::~HeartBeat() {
    // Never leave the thread running on a destroyed object.
    clearListener();
    stop();
}

void HeartBeat::setListener(iHeartBeatListener* listener) {
    platform::LockGuard guard(lock_);
    listener_ = listener;
}

void HeartBeat::clearListener() {
    platform::LockGuard guard(lock_);
    listener_ = nullptr;
}

bool HeartBeat::start() {
    if (thread_.started()) return true;
    stopEvent_.reset();
    return thread_.start(&HeartBeat::threadEntry, this);
}

bool HeartBeat::stop() {
    stopEvent_.set();
    return thread_.join(20000);
}

void HeartBeat::threadEntry(void* self) { static_cast<HeartBeat*>(self)->run(); }

void HeartBeat::run() {
    for (;;) {
        if (stopEvent_.wait(kIntervalMs)) return;
        platform::LockGuard guard(lock_);
        if (listener_ != nullptr) listener_->tick();
    }
}

}  // namespace vorlant
