// A serial port with a simulated controller behind it, in-process, for
// engine tests and benchmarks:
//
//   auto port = std::make_shared<sim::LoopbackPort>(sim::SimProfile::Class5);
//   options.portFactory = [port] { return port; };
//
// write() feeds the controller synchronously; its replies are queued at
// once (or become due after the reply delay of the slow profile). read()
// hands queued, due bytes to the serial reader thread, waiting for them or
// for the stop event (stop wins and is seen within about 2 ms).
//
// The same object serves any number of open/close cycles; the controller
// behind it keeps its settings across them like a real device, while
// open() and close() drop reply bytes still queued (a purge).
//
// Quiescence: idle() is true exactly when no reply byte is queued (due or
// not) and either the port is not open or the reader thread is inside
// read() waiting with nothing to hand out. The engine's reader forwards
// what one read() returned before it calls read() again, so a harness
// reaches a point where nothing is in flight with
//
//   do { engine.drain(timeout); } while (!port->idle());
//
// A pending delayed reply keeps idle() false until it has been read. After
// unplug() (or the vanish profile's disappearance) an open port is not idle
// until the engine has closed it.
//
// Threads: open/write/close from the engine thread, read from the serial
// reader thread, everything else from any thread; one internal mutex
// serialises them all.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/SerialPort.h"
#include "tools/simulator/SimController.h"

namespace vorlant::sim {

class LoopbackPort : public platform::SerialPort {
public:
    explicit LoopbackPort(SimProfile profile, SimOptions options = SimOptions{});

    bool open(int portNumber, uint32_t baud) override;
    WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) override;
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override;
    void close() override;
    platform::PortError lastError() const override;

    // Makes every following open() fail with this error (NotFound, Busy,
    // PermissionDenied, ...); None lets open() succeed again.
    void failOpenWith(platform::PortError error);
    // The device disappears: read() and write() return Gone, queued bytes
    // are lost, open() fails with NotFound until replug(). A controller that
    // vanished by itself stays gone even after replug().
    void unplug();
    void replug();

    bool idle() const;
    bool isOpen() const;
    bool gone() const;

    uint64_t bytesWritten() const;   // bytes the controller took in
    uint64_t bytesRead() const;      // bytes read() handed out
    int lastOpenPortNumber() const;  // arguments of the last open() call, successful or not
    uint32_t lastOpenBaud() const;
    uint32_t openCalls() const;
    uint32_t openCount() const;  // successful opens
    uint32_t closeCount() const;

    // Runs f(SimController&) under the port's lock and returns its result:
    // the safe way to look at or change the controller from a test thread
    // while the engine may be talking to it.
    template <class F>
    auto inspect(F&& f) const -> decltype(f(std::declval<SimController&>())) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(controller_);
    }
    // Snapshots taken under the lock.
    std::vector<std::vector<uint8_t>> requestLog() const;
    SimState state() const;
    // Direct access without the lock: only at a quiescent point (after
    // idle() returned true and before the engine is driven again).
    SimController& controller() { return controller_; }

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    mutable SimController controller_;
    bool open_ = false;
    bool unplugged_ = false;
    bool readerWaiting_ = false;
    platform::PortError openFailure_ = platform::PortError::None;
    platform::PortError lastError_ = platform::PortError::None;
    uint64_t bytesWritten_ = 0;
    uint64_t bytesRead_ = 0;
    int lastOpenPort_ = 0;
    uint32_t lastOpenBaud_ = 0;
    uint32_t openCalls_ = 0;
    uint32_t openCount_ = 0;
    uint32_t closeCount_ = 0;

    bool goneLocked() const { return unplugged_ || controller_.vanished(); }
};

}  // namespace vorlant::sim
