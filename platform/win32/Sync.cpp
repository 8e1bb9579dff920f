// Lock and Event on Win32: a critical section and an event object.
#include "platform/Platform.h"
#include "platform/win32/Win32Event.h"

namespace vorlant::platform {

namespace {

struct EventImpl {
    HANDLE handle = nullptr;
    bool autoReset = false;
    // Serialises set/reset with isSet's look at an auto-reset event (which
    // takes the signal and puts it back), so a reset in between is not undone.
    CRITICAL_SECTION guard;
};

EventImpl& eventImpl(void* p) {
    return *static_cast<EventImpl*>(p);
}

}  // namespace

// --- Lock -------------------------------------------------------------------

Lock::Lock() : impl_(new CRITICAL_SECTION) {
    InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}

Lock::~Lock() {
    DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
    delete static_cast<CRITICAL_SECTION*>(impl_);
}

void Lock::enter() {
    EnterCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}
void Lock::leave() {
    LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}

// --- Event ------------------------------------------------------------------

Event::Event(Reset mode) : impl_(new EventImpl) {
    EventImpl& e = eventImpl(impl_);
    e.autoReset = mode == Reset::Auto;
    e.handle = CreateEventA(nullptr, e.autoReset ? FALSE : TRUE, FALSE, nullptr);
    InitializeCriticalSection(&e.guard);
}

Event::~Event() {
    EventImpl* e = static_cast<EventImpl*>(impl_);
    if (e->handle) CloseHandle(e->handle);
    DeleteCriticalSection(&e->guard);
    delete e;
}

void Event::set() {
    EventImpl& e = eventImpl(impl_);
    EnterCriticalSection(&e.guard);
    SetEvent(e.handle);
    LeaveCriticalSection(&e.guard);
}

void Event::reset() {
    EventImpl& e = eventImpl(impl_);
    EnterCriticalSection(&e.guard);
    ResetEvent(e.handle);
    LeaveCriticalSection(&e.guard);
}

bool Event::wait(uint32_t timeoutMs) {
    return WaitForSingleObject(eventImpl(impl_).handle, timeoutMs) == WAIT_OBJECT_0;
}

bool Event::isSet() const {
    EventImpl& e = eventImpl(impl_);
    if (!e.autoReset) return WaitForSingleObject(e.handle, 0) == WAIT_OBJECT_0;
    // Looking at an auto-reset event takes its signal; give it back. A
    // waiter that arrives meanwhile is released by the restored signal.
    EnterCriticalSection(&e.guard);
    const bool set = WaitForSingleObject(e.handle, 0) == WAIT_OBJECT_0;
    if (set) SetEvent(e.handle);
    LeaveCriticalSection(&e.guard);
    return set;
}

namespace win32 {

HANDLE eventHandle(const Event& event) {
    return eventImpl(event.native()).handle;
}

}  // namespace win32

}  // namespace vorlant::platform
