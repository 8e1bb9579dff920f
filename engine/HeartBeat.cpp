#include "engine/HeartBeat.h"

namespace vorlant {

HeartBeat::HeartBeat() : shared_(std::make_shared<Shared>()) {}

HeartBeat::~HeartBeat() {
    // Never leave the thread running on a destroyed object: with the
    // listener cleared it calls nothing, and if it outlives stop()'s bound
    // it still holds its own reference to what it uses.
    clearListener();
    stop();
}

void HeartBeat::setListener(iHeartBeatListener* listener) {
    platform::LockGuard guard(shared_->lock);
    shared_->listener = listener;
}

void HeartBeat::clearListener() {
    platform::LockGuard guard(shared_->lock);
    shared_->listener = nullptr;
}

bool HeartBeat::start() {
    if (thread_.started()) return true;
    shared_->stopEvent.reset();
    auto* forThread = new std::shared_ptr<Shared>(shared_);
    if (thread_.start(&HeartBeat::threadEntry, forThread)) return true;
    delete forThread;
    return false;
}

bool HeartBeat::stop() {
    shared_->stopEvent.set();
    return thread_.join(kHeartBeatStopWaitMs);
}

void HeartBeat::threadEntry(void* raw) {
    const std::shared_ptr<Shared> shared = std::move(*static_cast<std::shared_ptr<Shared>*>(raw));
    delete static_cast<std::shared_ptr<Shared>*>(raw);
    for (;;) {
        if (shared->stopEvent.wait(kTickMs)) return;
        platform::LockGuard guard(shared->lock);
        if (shared->listener != nullptr) shared->listener->tick();
    }
}

}  // namespace vorlant
