// Connection control: connect, the read-out paced by heartbeat ticks, the
// reply time-out, disconnect and the loss of the port.
#include "engine/EngineCore.h"
#include "engine/SettingsDecode.h"

namespace vorlant {

void EngineCore::connectStep(const uint8_t* message) {
    if (portOpen_) {
        report(StatusCode::AlreadyConnected);
        return;
    }
    report(StatusCode::OpeningPort);
    // The one-byte port field carries 0 for COM256.
    const int portNumber = message[2] == 0 ? 256 : message[2];
    const uint32_t baud = static_cast<uint32_t>(message[3]) | (static_cast<uint32_t>(message[4]) << 8) |
                          (static_cast<uint32_t>(message[5]) << 16) |
                          (static_cast<uint32_t>(message[6]) << 24);
    if (!openPort(portNumber, baud)) {
        report(StatusCode::CannotOpenPort);
        return;
    }
    portOpen_ = true;
    linkUp_ = false;
    if (!startSerialReader()) {
        // Without a reader nothing could ever be received: give the port
        // back rather than pretend to connect.
        closePort();
        report(StatusCode::CannotOpenPort);
        return;
    }
    report(StatusCode::Connecting);
    // Let the controller settle after the port opened; queue messages that
    // arrive meanwhile wait in the queue.
    platform::sleepMs(options_.connectSettleMs);
    resetConnection();
}

StepResult EngineCore::resetConnection() {
    resetSettings(settings_);
    setVersionClass(0);
    parser_.reset();
    axisMode_ = 7;
    readoutKind_ = SettingsReportKind::ReadoutComplete;
    replyTimeoutTicks_ = kReplyTimeoutTicks;
    state_ = ConnectionState::AwaitIdent;
    nextState_ = ConnectionState::Ready;
    sendFrame(buildRequest(RequestId::Identify));
    return StepResult::None;
}

void EngineCore::disconnectStep() {
    if (portOpen_) {
        closePort();
        report(StatusCode::ConnectionClosed);
    } else {
        report(StatusCode::NotConnectedYet);
    }
}

void EngineCore::portLostStep(uint8_t generation) {
    // The reader saw the device disappear. Close as a disconnect does, so
    // every front returns to its disconnected state and a later connect
    // works; a notice from an earlier connection is stale and ignored.
    if (!portOpen_ || generation != portGeneration_) return;
    lastPortError_ = platform::PortError::Gone;
    closePort();
    report(StatusCode::ConnectionClosed);
}

StepResult EngineCore::heartbeatStep() {
    StepResult result = StepResult::None;
    if (replyTimeoutTicks_ > 0) {
        --replyTimeoutTicks_;
        if (replyTimeoutTicks_ == 0 && state_ >= ConnectionState::AwaitIdent &&
            state_ <= ConnectionState::AwaitLocation) {
            report(StatusCode::ConnectTimeout);
            result = StepResult::GiveUp;
        } else if (replyTimeoutTicks_ == 0 && state_ >= ConnectionState::AwaitGearWrite &&
                   state_ <= ConnectionState::AwaitJobFlip) {
            // A command's reply that never came (a controller that stopped
            // answering while the adapter stays plugged in): give the
            // exchange up but keep the link, so the next command goes out.
            enterReady();
            report(StatusCode::CommunicationError);
        }
    }
    if (state_ != ConnectionState::Pause) return result;
    if (pauseTicks_ > 0) {
        --pauseTicks_;
        if (pauseTicks_ > 0) return result;
    }
    state_ = nextState_;
    nextState_ = ConnectionState::Ready;
    sendStateRequest();
    return result;
}

void EngineCore::sendStateRequest() {
    uint8_t id = 0;
    switch (state_) {
        case ConnectionState::AwaitPortType:
            id = RequestId::ReadPortType;
            break;
        case ConnectionState::AwaitFirmware:
            id = RequestId::ReadFirmware;
            break;
        case ConnectionState::AwaitGearBlock:
            id = RequestId::ReadGearBlock;
            break;
        case ConnectionState::AwaitParamBlock:
            id = RequestId::ReadParameterBlock;
            break;
        default:
            if (state_ == ConnectionState::Ready) enterReady();
            return;
    }
    replyTimeoutTicks_ = kReplyTimeoutTicks;
    sendFrame(buildRequest(id));
}

void EngineCore::awaitReply(int32_t state) {
    state_ = state;
    replyTimeoutTicks_ = kReplyTimeoutTicks;
}

void EngineCore::enterReady() {
    // A count left over from the read-out must never fire later, in the
    // middle of an unrelated exchange.
    state_ = ConnectionState::Ready;
    replyTimeoutTicks_ = 0;
}

void EngineCore::setVersionClass(uint8_t versionClass) {
    settings_.versionClass = versionClass;
    versionClassShared_.store(versionClass, std::memory_order_relaxed);
}

}  // namespace vorlant
