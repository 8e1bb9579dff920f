// The engine's state and its threads' work, behind TelescopeControl.
//
// Private to the engine: only engine/*.cpp, the fuzz harness, benchmarks
// and white-box tests include this header. Everything here (the connection
// states, the queue's command ids, the step results, the core and its
// members) may change without notice to the fronts and tools, which see
// only TelescopeControl.h.
//
// Ownership: TelescopeControl holds the core through a shared pointer, and
// so does every thread that works on it (the engine thread and the serial
// reader, for as long as their functions run). The destructor's waits for
// those threads are bounded; a thread that outlived its bound (a driver
// whose read ignores the stop, a listener that never returns) keeps the
// core alive by itself and frees it when it finally ends. Until then the
// core is deliberately left allocated (if that thread never ends, until the
// process exits): freeing locks, queue or port under a running thread is
// what must never happen, and one engine's state is a small price.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/QueueMessage.h"
#include "engine/ReplyParser.h"
#include "engine/StepResult.h"
#include "engine/TelescopeControl.h"
#include "engine/Timings.h"
#include "engine/WireProtocol.h"
#include "platform/ByteQueue.h"
#include "platform/Platform.h"

namespace vorlant {

// The exchange the engine is in: which reply it awaits, if any.
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
        PortLost = 0xF0,      // from the serial reader: the device is gone
        Drain = 0xF1,         // from drain(): signal when reached
        CloseQuietly = 0xF2,  // from the destructor: close without a report
    };
};

class EngineCore : public std::enable_shared_from_this<EngineCore> {
public:
    EngineCore(TelescopeListener* listener, TelescopeControl::Options options);
    ~EngineCore();
    EngineCore(const EngineCore&) = delete;
    EngineCore& operator=(const EngineCore&) = delete;

    // Starts the engine thread (which holds its own reference); false when
    // the queue could not be created or the thread not started.
    bool startEngineThread();
    // The destructor's work: closes an open link without a report and ends
    // every thread, each wait bounded. True when every thread has ended;
    // false when one outlived its bound (the listener is then never called
    // again).
    bool shutdown();

    // --- queue side (TelescopeControl.cpp) ---
    bool queueOpen() const { return queue_.isOpen(); }
    void writeQueue(const uint8_t* bytes, size_t count);
    void postCommand(uint8_t id, const uint8_t* args, size_t count);
    void forwardSerialBytes(const uint8_t* bytes, int count);
    bool drain(uint32_t timeoutMs);
    bool onEngineThread() const;
    void disconnectQuietly();
    static void pipeReaderEntry(void* arg);
    void pipeReaderLoop();
    void assembleByte(uint8_t byte);
    void dispatchMessage(const uint8_t* message);
    void applyResult(StepResult result);

    // --- serial link (SerialLink.cpp) ---
    bool openPort(int portNumber, uint32_t baud);
    bool startSerialReader();
    platform::SerialPort::WriteResult writeFrame(const uint8_t* bytes, size_t count);
    void sendFrame(const Frame& frame);
    void closePort();
    static void serialReaderEntry(void* context);
    bool reapSerialReader(uint32_t timeoutMs);
    void closeOrphanedPort();

    // --- connection control (Connection.cpp) ---
    void connectStep(const uint8_t* message);
    void disconnectStep();
    StepResult resetConnection();
    StepResult heartbeatStep();
    void sendStateRequest();
    void portLostStep(uint8_t generation);
    void setVersionClass(uint8_t versionClass);
    void enterReady();
    // Enters a state that waits for the controller's answer and arms the
    // reply time-out for it: every request that expects a reply is
    // supervised, so no exchange waits for ever.
    void awaitReply(int32_t state);

    // --- replies (Replies.cpp) ---
    StepResult feedReplyBytes(const uint8_t* bytes, size_t count);
    StepResult handleReply(const ReplyView& reply);
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

    // --- reports (engine thread) ---
    void report(int code);
    void reportSettings(int kind);
    void reportVoltage(int centivolts);

    TelescopeListener* const listener_;
    TelescopeControl::Options options_;
    // Set when the destructor gave up on the engine thread: a report it
    // would still make could reach a listener that no longer exists.
    std::atomic<bool> listenerDetached_{false};

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
    std::vector<uint8_t> stash_;  // queue bytes read while closing the port
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
    // A reader that closePort gave up on still holds its port open. Whoever
    // takes this flag (the reader as it ends, or the engine once it has
    // joined that reader) closes the port and clears the Busy error.
    std::atomic<bool> readerOrphaned_{false};
    std::shared_ptr<platform::SerialPort> orphanedPort_;  // engine thread's reference to it

    // drain(): one waiter at a time, each with its own tag.
    platform::Lock drainLock_;
    platform::Event drainEvent_{platform::Event::Reset::Auto};
    uint32_t drainSerial_ = 0;               // under drainLock_
    std::atomic<uint32_t> drainReached_{0};  // the last tag the engine thread reached
};

// Reaches an engine's core from outside the engine: white-box tests,
// benchmarks and the fuzz harness only.
struct EngineAccess {
    static EngineCore& core(TelescopeControl& engine) { return *engine.core_; }
};

}  // namespace vorlant
