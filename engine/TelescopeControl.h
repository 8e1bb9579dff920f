// The controller engine.
//
// Threads and what each may call:
//  - any caller thread (window thread, tool main thread): the
//    iTelescopeControl operations, drain(), lastPortError(). They only post
//    a message into the queue (or read atomics) and return.
//  - heartbeat thread: tick().
//  - engine thread (started by the constructor): everything else. It alone
//    changes connection state, writes to the serial port, touches the
//    settings record and calls the TelescopeListener.
//  - serial reader thread (one per open port): reads the port and forwards
//    the bytes into the queue.
// The constructor and destructor run on the owner's thread; the destructor
// closes an open link and ends every thread before anything is released.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/ControllerSettings.h"
#include "engine/QueueMessage.h"
#include "engine/ReplyParser.h"
#include "engine/TelescopeListener.h"
#include "engine/WireProtocol.h"
#include "engine/iTelescopeControl.h"
#include "platform/ByteQueue.h"
#include "platform/Platform.h"
#include "platform/SerialPort.h"

namespace vorlant {

struct ConnectionState {
    enum : int32_t {
        Idle = 0,
        Ready = 2,
        Pause = 3,
        AwaitIdent = 4,
        AwaitPortType = 5,
        AwaitFirmware = 6,
        AwaitGearBlock = 7,
        AwaitParamBlock = 8,
        AwaitFlipParams = 9,
        AwaitLocation = 10,
        AwaitGearWrite = 11,
        AwaitGearReread = 12,
        AwaitLocationSet = 13,
        AwaitVoltage = 14,
        AwaitParkSet = 15,
        AwaitStore = 16,
        AwaitDefaults = 17,
        AwaitJobLocation = 18,
        AwaitJobMount = 19,
        AwaitJobFlip = 20,
    };
};

// Command ids of the queue's type-0 messages.
struct CommandId {
    enum : uint8_t {
        Connect = 3,
        Disconnect = 4,
        MoveManual = 5,
        StopMotion = 6,
        SetTracking = 7,
        SetExp = 8,
        NoOp = 20,
        StoreParameters = 21,
        SendRequest11 = 22,
        ReloadDefaults = 23,
        SetGearRatios = 24,
        SetReverseFlags = 26,
        SetCurrent = 27,
        SetDecay = 28,
        SetOvertone = 29,
        SetIncCurrentAt = 30,
        SetMaxSpeeds = 32,
        SetAccelerations = 33,
        SetDecelerations = 34,
        SetGuideRates = 35,
        SetLocation = 36,
        ApplyAdvancedSettings = 37,
        MeasureSupplyVoltage = 38,
        SetParkPosition = 39,
        // Internal messages, never posted by a public command operation.
        PortLost = 0xF0,  // from the serial reader: the device is gone
        Drain = 0xF1,     // from drain(): signal when reached
        CloseQuietly = 0xF2,  // from the destructor: close without a report
    };
};

constexpr int kReplyTimeoutTicks = 32;
constexpr int kPauseTicks = 2;

class TelescopeControl : public iTelescopeControl {
public:
    using PortFactory = std::function<std::shared_ptr<platform::SerialPort>()>;

    struct Options {
        // Creates the port object for each connect; the OS port by default.
        PortFactory portFactory;
        // The settling wait after opening the port, before the reset and
        // the identification request. Tests shorten it.
        uint32_t connectSettleMs = 500;
        // How long closePort waits for the serial reader thread.
        uint32_t readerStopWaitMs = 10000;
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
    // by the engine thread. For tools and tests; never call it from the
    // engine thread (a listener callback). False on time-out.
    bool drain(uint32_t timeoutMs);

    // Why the last connect could not open its port, or why the open port
    // was lost; None otherwise. Readable from any thread.
    platform::PortError lastPortError() const { return lastPortError_.load(); }

    // Posts raw bytes into the queue as one message run (tests and
    // benchmarks exercise reassembly with it).
    void postRaw(const uint8_t* bytes, size_t count) { writeQueue(bytes, count); }

    // Called by the serial reader thread with received bytes: forwarded in
    // chunks of at most 31 bytes as type-2 messages.
    void forwardSerialBytes(const uint8_t* bytes, int count);

private:
    // Lets the fuzz harness and white-box tests put the engine into a
    // given state and feed replies on their own thread (never in product
    // code).
    friend struct TelescopeControlProbe;

    // --- queue side (TelescopeControl.cpp) ---
    void writeQueue(const uint8_t* bytes, size_t count);
    void disconnectQuietly();
    void postCommand(uint8_t id);
    void postCommand(uint8_t id, const uint8_t* args, size_t count);
    static void pipeReaderEntry(void* self);
    void pipeReaderLoop();
    void assembleByte(uint8_t byte);
    void dispatchMessage(const uint8_t* message);
    void applyResult(int result);

    // --- serial link (SerialLink.cpp) ---
    bool openPort(int portNumber, uint32_t baud);
    bool startSerialReader();
    platform::SerialPort::WriteResult writeFrame(const uint8_t* bytes, size_t count);
    void sendFrame(const Frame& frame);
    void closePort();
    static void serialReaderEntry(void* context);
    bool reapSerialReader(uint32_t timeoutMs);

    // --- connection control (Connection.cpp) ---
    void connectStep(const uint8_t* message);
    void disconnectStep();
    int resetConnection();
    int heartbeatStep();
    void sendStateRequest();
    void portLostStep(uint8_t generation);
    void setVersionClass(uint8_t versionClass);
    void enterReady();

    // --- replies (Replies.cpp) ---
    int feedReplyBytes(const uint8_t* bytes, size_t count);
    int handleReply(const ReplyView& reply);
    void pauseTo(int32_t state);
    void locationStepOrNext();
    bool mountStep();
    bool flipStep();
    void mountStepOrNext();
    void flipStepOrDone();

    // --- commands (Commands.cpp) ---
    int executeCommand(const uint8_t* message);
    void startManualMove(uint8_t direction, uint8_t position);
    void stopAxis(uint8_t direction);
    void advancedSettingsStep();

    void report(int code) { listener_->onStatus(code); }

    TelescopeListener* const listener_;
    Options options_;

    // Engine-thread state.
    ControllerSettings settings_{};
    int32_t state_ = ConnectionState::Idle;
    int32_t nextState_ = ConnectionState::Ready;
    int32_t replyTimeoutTicks_ = 0;
    int32_t pauseTicks_ = 0;
    int32_t readoutKind_ = SettingsReportKind::ReadoutComplete;
    int32_t axisMode_ = 0;
    bool portOpen_ = false;
    bool linkUp_ = false;
    bool portLostPending_ = false;
    bool onEngineThread_ = false;  // set by the engine thread for its own use
    std::vector<uint8_t> stash_;   // queue bytes read while closing the port
    MessageAssembler assembler_;
    ReplyParser parser_;
    AdvancedSettings workingAdvanced_{};

    // Shared with the window thread.
    platform::Lock jobLock_;
    AdvancedSettings pendingAdvanced_{};
    std::atomic<uint8_t> versionClassShared_{0};
    std::atomic<platform::PortError> lastPortError_{platform::PortError::None};

    // The queue.
    platform::Lock pipeWriteLock_;
    platform::ByteQueue queue_;
    platform::Event pipeStopEvent_{platform::Event::Reset::Manual};
    platform::Thread pipeReader_;

    // The serial link. The reader thread holds its own reference to the
    // port it was started with, so a reader that outlives closePort's wait
    // never touches a released object.
    std::shared_ptr<platform::SerialPort> port_;
    platform::Event serialStopEvent_{platform::Event::Reset::Manual};
    platform::Event serialReaderDone_{platform::Event::Reset::Manual};
    platform::Thread serialReader_;
    uint8_t portGeneration_ = 0;

    // drain(): one waiter at a time.
    platform::Lock drainLock_;
    platform::Event drainEvent_{platform::Event::Reset::Auto};
};

}  // namespace vorlant
