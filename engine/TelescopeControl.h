// The controller engine.
//
// Threads and what each may call:
//  - one caller thread (window thread, tool main thread): the
//    iTelescopeControl operations, drain(), lastPortError(). They only post
//    a message into the queue (or read atomics) and return; a full queue
//    makes them wait until the engine thread has made room.
//  - heartbeat thread: tick().
//  - engine thread (started by the constructor): everything else. It alone
//    changes connection state, writes to the serial port, touches the
//    settings record, calls the TelescopeListener and writes the link trace
//    (Options::trace; its line format is described in LinkTrace.h), one
//    buffered line write at a time.
//  - serial reader thread (one per open port): reads the port and forwards
//    the bytes into the queue.
// Never call an operation or drain() from inside a TelescopeListener
// callback: that runs on the engine thread, the only thread that empties
// the queue, so a full queue would block it for good. Debug builds assert
// this. React to a report on another thread (the window thread, through
// the listener bridge).
// Every report reaches the listener on the engine thread, with one
// exception: an engine whose queue could not be created has no engine
// thread, and connect() then reports status 6 itself, on the caller's
// thread (lastPortError() Other).
// The constructor and destructor run on the owner's thread. The destructor
// closes an open link and ends every thread, each wait bounded; what a
// thread that outlived its bound still uses is left to that thread (see
// EngineCore), so the destructor always returns and nothing is freed under
// a running thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/ControllerSettings.h"
#include "engine/TelescopeListener.h"
#include "engine/Timings.h"
#include "engine/iTelescopeControl.h"
#include "platform/SerialPort.h"

namespace vorlant {

class EngineCore;
class LinkTrace;

class TelescopeControl : public iTelescopeControl {
public:
    using PortFactory = std::function<std::shared_ptr<platform::SerialPort>()>;

    struct Options {
        // Creates the port object for each connect; the OS port by default.
        PortFactory portFactory;
        // The settling wait after opening the port, before the reset and
        // the identification request. Tests shorten it.
        uint32_t connectSettleMs = kConnectSettleMs;
        // How long closePort waits for the serial reader thread.
        uint32_t readerStopWaitMs = kReaderStopWaitMs;
        // Where every frame sent and received and every report is traced;
        // none by default. The program shells open it when asked to.
        std::shared_ptr<LinkTrace> trace;
        // Connect with the identification alone: an accepted identification
        // ends the connect, marks the link up in Ready and is reported as
        // settings kind Identified (only the identification's fields are
        // filled). For a tool that only stops, tracks or switches the
        // exposure and must do so at once: nothing else is read, so no
        // reply can be mixed into a read-out and no command waits for one.
        // A too-old or foreign device is refused as by the full read-out.
        bool identifyOnly = false;
    };

    explicit TelescopeControl(TelescopeListener* listener);
    TelescopeControl(TelescopeListener* listener, Options options);
    ~TelescopeControl() override;
    TelescopeControl(const TelescopeControl&) = delete;
    TelescopeControl& operator=(const TelescopeControl&) = delete;

    // iHeartBeatListener
    void tick() override;

    // iTelescopeControl
    void connect(int port, uint32_t baud) override;
    void disconnect() override;
    void moveManual(uint8_t direction, uint8_t position) override;
    void stopMotion(uint8_t direction) override;
    void setTracking(uint8_t on) override;
    void setExp(uint8_t on) override;
    void noOpCommand() override;
    void storeParameters() override;
    void sendRequest11() override;
    void reloadDefaults() override;
    void setGearRatios(uint32_t ra, uint32_t de) override;
    void setReverseFlags(uint8_t rotation, uint8_t guiding, uint8_t limits) override;
    void setCurrent(uint8_t selector, uint16_t milliamps) override;
    void setDecay(uint8_t selector, uint8_t decay) override;
    void setMaxSpeeds(uint16_t ra, uint16_t de) override;
    void setAccelerations(uint8_t ra, uint8_t de) override;
    void setDecelerations(uint8_t ra, uint8_t de) override;
    void setOvertone(uint8_t axis, uint8_t value) override;
    void setIncCurrentAt(uint8_t axis, uint16_t first, uint16_t second) override;
    void setGuideRates(uint8_t ra, uint8_t de) override;
    void setLocation(int32_t first, int32_t second) override;
    void applyAdvancedSettings(const AdvancedSettings& settings) override;
    void measureSupplyVoltage() override;
    void setParkPosition() override;

    // Waits until every message posted before this call has been handled
    // by the engine thread. For tools and tests; never from the engine
    // thread (a listener callback). False on time-out; a marker left behind
    // by a drain that timed out never satisfies a later one.
    bool drain(uint32_t timeoutMs);

    // Why the last connect could not open its port, why the open port was
    // lost, or Busy while the reader of a closed connection still holds the
    // device; None otherwise. Readable from any thread.
    platform::PortError lastPortError() const;

private:
    // Lets the fuzz harness, benchmarks and white-box tests reach the
    // engine's state (EngineCore.h; never product code outside engine/).
    friend struct EngineAccess;

    void postCommand(uint8_t id, const uint8_t* args = nullptr, size_t count = 0);

    TelescopeListener* const listener_;
    // Everything the engine's threads use. Shared with those threads, so a
    // thread that outlives the destructor's bounded waits keeps it alive.
    std::shared_ptr<EngineCore> core_;
};

}  // namespace vorlant
