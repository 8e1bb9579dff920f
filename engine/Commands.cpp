// The command side: public operations post command messages (caller's
// thread); executeCommand runs them on the engine thread.
#include <cstring>

#include "engine/ClassRules.h"
#include "engine/EngineCore.h"
#include "engine/ManualMotion.h"
#include "engine/SettingsDecode.h"
#include "engine/TelescopeControl.h"

namespace vorlant {

// --- posting (caller's thread) ------------------------------------------------

void TelescopeControl::connect(int port, uint32_t baud) {
    if (!core_->queueOpen()) {
        // No queue, no engine thread: nothing would ever answer. Say so
        // here, on the caller's thread (the one report made off the engine
        // thread; the header's thread rules name it).
        core_->lastPortError_ = platform::PortError::Other;
        listener_->onStatus(StatusCode::CannotOpenPort);
        return;
    }
    uint8_t args[5];
    args[0] = static_cast<uint8_t>(port);  // COM256 travels as 0
    putU32(args + 1, baud);
    postCommand(CommandId::Connect, args, sizeof args);
}

void TelescopeControl::disconnect() {
    postCommand(CommandId::Disconnect);
}

void TelescopeControl::moveManual(uint8_t direction, uint8_t position) {
    const uint8_t args[] = {direction, position};
    postCommand(CommandId::MoveManual, args, sizeof args);
}

void TelescopeControl::stopMotion(uint8_t direction) {
    postCommand(CommandId::StopMotion, &direction, 1);
}
void TelescopeControl::setTracking(uint8_t on) {
    postCommand(CommandId::SetTracking, &on, 1);
}
void TelescopeControl::setExp(uint8_t on) {
    postCommand(CommandId::SetExp, &on, 1);
}
void TelescopeControl::noOpCommand() {
    postCommand(CommandId::NoOp);
}
void TelescopeControl::storeParameters() {
    postCommand(CommandId::StoreParameters);
}
void TelescopeControl::sendRequest11() {
    postCommand(CommandId::SendRequest11);
}
void TelescopeControl::reloadDefaults() {
    postCommand(CommandId::ReloadDefaults);
}

void TelescopeControl::setGearRatios(uint32_t ra, uint32_t de) {
    uint8_t args[8];
    putU32(args, ra);
    putU32(args + 4, de);
    postCommand(CommandId::SetGearRatios, args, sizeof args);
}

void TelescopeControl::setReverseFlags(uint8_t rotation, uint8_t guiding, uint8_t limits) {
    const uint8_t args[] = {rotation, guiding, limits};
    postCommand(CommandId::SetReverseFlags, args, sizeof args);
}

void TelescopeControl::setCurrent(uint8_t selector, uint16_t milliamps) {
    uint8_t args[3] = {selector};
    putU16(args + 1, milliamps);
    postCommand(CommandId::SetCurrent, args, sizeof args);
}

void TelescopeControl::setDecay(uint8_t selector, uint8_t decay) {
    const uint8_t args[] = {selector, decay, 0};
    postCommand(CommandId::SetDecay, args, sizeof args);
}

void TelescopeControl::setMaxSpeeds(uint16_t ra, uint16_t de) {
    uint8_t args[4];
    putU16(args, ra);
    putU16(args + 2, de);
    postCommand(CommandId::SetMaxSpeeds, args, sizeof args);
}

void TelescopeControl::setAccelerations(uint8_t ra, uint8_t de) {
    const uint8_t args[] = {ra, de};
    postCommand(CommandId::SetAccelerations, args, sizeof args);
}

void TelescopeControl::setDecelerations(uint8_t ra, uint8_t de) {
    const uint8_t args[] = {ra, de};
    postCommand(CommandId::SetDecelerations, args, sizeof args);
}

void TelescopeControl::setOvertone(uint8_t axis, uint8_t value) {
    // Older controllers have no overtone setting (class 0: not yet read);
    // the class is the engine thread's atomic copy, so no race.
    if (!hasOvertoneAndIncCurrent(core_->versionClassShared_.load(std::memory_order_relaxed))) return;
    const uint8_t args[] = {axis, value};
    postCommand(CommandId::SetOvertone, args, sizeof args);
}

void TelescopeControl::setIncCurrentAt(uint8_t axis, uint16_t first, uint16_t second) {
    if (!hasOvertoneAndIncCurrent(core_->versionClassShared_.load(std::memory_order_relaxed))) return;
    uint8_t args[5] = {axis};
    putU16(args + 1, first);
    putU16(args + 3, second);
    postCommand(CommandId::SetIncCurrentAt, args, sizeof args);
}

void TelescopeControl::setGuideRates(uint8_t ra, uint8_t de) {
    const uint8_t args[] = {ra, de};
    postCommand(CommandId::SetGuideRates, args, sizeof args);
}

void TelescopeControl::setLocation(int32_t first, int32_t second) {
    uint8_t args[8];
    putU32(args, static_cast<uint32_t>(first));
    putU32(args + 4, static_cast<uint32_t>(second));
    postCommand(CommandId::SetLocation, args, sizeof args);
}

void TelescopeControl::applyAdvancedSettings(const AdvancedSettings& settings) {
    {
        platform::LockGuard guard(core_->jobLock_);
        core_->pendingAdvanced_ = settings;
    }
    postCommand(CommandId::ApplyAdvancedSettings);
}

void TelescopeControl::measureSupplyVoltage() {
    postCommand(CommandId::MeasureSupplyVoltage);
}
void TelescopeControl::setParkPosition() {
    postCommand(CommandId::SetParkPosition);
}

// --- execution (engine thread) ------------------------------------------------

namespace {

uint16_t argU16(const uint8_t* m, size_t at) {
    return static_cast<uint16_t>(m[at] | (m[at + 1] << 8));
}
uint32_t argU32(const uint8_t* m, size_t at) {
    return static_cast<uint32_t>(m[at]) | (static_cast<uint32_t>(m[at + 1]) << 8) |
           (static_cast<uint32_t>(m[at + 2]) << 16) | (static_cast<uint32_t>(m[at + 3]) << 24);
}

}  // namespace

int EngineCore::executeCommand(const uint8_t* m) {
    // m[0] header, m[1] id, arguments from m[2]. The message buffer holds
    // 32 bytes, so reading an argument a short message did not carry reads
    // left-over zeros of this buffer, never outside it.
    const uint8_t id = m[1];
    // Every command that awaits a reply needs Ready: replies carry no tag,
    // so one started while another exchange (or the re-read after a
    // defaults reload) is outstanding would take that exchange's reply as
    // its own and lose the other's report. Motion, stop, tracking and
    // exposure expect no reply and go out in every state.
    const bool ready = state_ == ConnectionState::Ready;
    const bool pairedWritesSafe = canWritePairs(settings_.versionClass);

    switch (id) {
        case CommandId::MoveManual:
            startManualMove(m[2], m[3]);
            return 0;
        case CommandId::StopMotion:
            stopAxis(m[2]);
            report(StatusCode::Ready);
            return 0;
        case CommandId::SetTracking:
            sendFrame(buildRequest(RequestId::Tracking, 0, m[2]));
            return 0;
        case CommandId::SetExp:
            sendFrame(buildRequest(RequestId::Exp, 0, m[2]));
            return 0;
        case CommandId::NoOp:
            return 0;
        case CommandId::StoreParameters:
            if (!ready) break;
            awaitReply(ConnectionState::AwaitStore);
            sendFrame(buildRequest(RequestId::StoreParameters, 1));
            return 0;
        case CommandId::SendRequest11:
            if (!ready) break;
            sendFrame(buildRequest(RequestId::Request11));
            return 0;
        case CommandId::ReloadDefaults:
            if (!ready) break;
            awaitReply(ConnectionState::AwaitDefaults);
            sendFrame(buildRequest(RequestId::ReloadDefaults, 1));
            return 0;
        case CommandId::SetGearRatios:
            if (!ready) break;
            awaitReply(ConnectionState::AwaitGearWrite);
            sendFrame(
                buildRequestBBU32U32(RequestId::WriteGearRatios, 1, kAxisBoth, argU32(m, 2), argU32(m, 6)));
            return 0;
        case CommandId::SetReverseFlags:
            if (!ready || !pairedWritesSafe) break;
            sendFrame(buildRequest(RequestId::WriteReverseFlags, 0, kAxisBoth, m[2], m[3], m[4]));
            return 0;
        case CommandId::SetCurrent:
            if (!ready) break;
            sendFrame(buildRequestBBU16(RequestId::WriteCurrent, 0, m[2], argU16(m, 3)));
            return 0;
        case CommandId::SetDecay:
            if (!ready) break;
            sendFrame(buildRequest(RequestId::WriteDecay, 0, m[2], m[3]));
            return 0;
        case CommandId::SetOvertone:
            if (!ready) break;
            sendFrame(buildRequest(RequestId::WriteOvertone, 0, m[2], m[3]));
            return 0;
        case CommandId::SetIncCurrentAt:
            if (!ready) break;
            sendFrame(
                buildRequestBBU16U16(RequestId::WriteIncCurrentAt, 0, m[2], argU16(m, 3), argU16(m, 5)));
            return 0;
        case CommandId::SetMaxSpeeds: {
            if (!ready || !pairedWritesSafe) break;
            const uint16_t ra = argU16(m, 2);
            const uint16_t de = argU16(m, 4);
            storeMaxSpeeds(settings_, ra, de);
            sendFrame(buildRequestBBU16U16(RequestId::WriteMaxSpeeds, 0, kAxisBoth, ra, de));
            return 0;
        }
        case CommandId::SetAccelerations:
            if (!ready || !pairedWritesSafe) break;
            sendFrame(buildRequest(RequestId::WriteAccelerations, 0, kAxisBoth, m[2], m[3]));
            return 0;
        case CommandId::SetDecelerations:
            if (!ready || !pairedWritesSafe) break;
            sendFrame(buildRequest(RequestId::WriteDecelerations, 0, kAxisBoth, m[2], m[3]));
            return 0;
        case CommandId::SetGuideRates:
            if (!ready || !pairedWritesSafe) break;
            sendFrame(buildRequest(RequestId::WriteGuideRates, 0, kAxisBoth, m[2], m[3]));
            return 0;
        case CommandId::SetLocation:
            if (!ready) break;
            awaitReply(ConnectionState::AwaitLocationSet);
            sendFrame(buildRequestBU32U32(RequestId::WriteLocation, 0, argU32(m, 2), argU32(m, 6)));
            return 0;
        case CommandId::ApplyAdvancedSettings:
            if (!ready) break;
            advancedSettingsStep();
            return 0;
        case CommandId::MeasureSupplyVoltage:
            if (!ready) break;
            awaitReply(ConnectionState::AwaitVoltage);
            sendFrame(buildRequestU16(RequestId::ReadSupplyVoltage, 0));
            return 0;
        case CommandId::SetParkPosition:
            if (!ready) break;
            if (!canPark(settings_.versionClass)) {
                report(StatusCode::ParkingUnsupported);
                return 0;
            }
            awaitReply(ConnectionState::AwaitParkSet);
            sendFrame(buildRequest(RequestId::SetParkPosition, 1, 0, axisMode_ == 6 ? 1 : 0));
            return 0;
        default:
            return 0;  // unknown ids do nothing
    }
    // Refused: nothing was sent. Say so, so the user never believes a value
    // reached the controller when it did not.
    report(StatusCode::CommunicationError);
    return 0;
}

void EngineCore::startManualMove(uint8_t direction, uint8_t position) {
    sendFrame(manualMoveFrame(settings_, axisMode_, direction, position));
    report(StatusCode::ManualMovement);
}

void EngineCore::stopAxis(uint8_t direction) {
    sendFrame(stopFrame(direction));
}

// --- the advanced-settings sequence ------------------------------------------

void EngineCore::advancedSettingsStep() {
    {
        platform::LockGuard guard(jobLock_);
        workingAdvanced_ = pendingAdvanced_;
    }
    locationStepOrNext();
}

void EngineCore::locationStepOrNext() {
    if (workingAdvanced_.changeMask & (kChangeLatitude | kChangeLongitude)) {
        awaitReply(ConnectionState::AwaitJobLocation);
        sendFrame(buildRequestBU32U32(RequestId::WriteLocation, 1,
                                      static_cast<uint32_t>(workingAdvanced_.latitude),
                                      static_cast<uint32_t>(workingAdvanced_.longitude)));
        return;
    }
    if (!mountStep() && !flipStep()) {
        // Nothing to send: no report either.
    }
}

bool EngineCore::mountStep() {
    if (!(workingAdvanced_.changeMask & kChangeMountType)) return false;
    awaitReply(ConnectionState::AwaitJobMount);
    settings_.mountType = workingAdvanced_.mountType;
    sendFrame(buildRequest(RequestId::WriteMountType, 1, workingAdvanced_.mountType));
    return true;
}

bool EngineCore::flipStep() {
    if (!(workingAdvanced_.changeMask & kChangeHysteresis)) return false;
    awaitReply(ConnectionState::AwaitJobFlip);
    settings_.flipHysteresis = workingAdvanced_.flipHysteresis;
    sendFrame(buildRequest(RequestId::WriteFlipBlock, 1, 1, settings_.flipParamA, settings_.flipParamB,
                           workingAdvanced_.flipHysteresis));
    return true;
}

void EngineCore::mountStepOrNext() {
    if (mountStep() || flipStep()) return;
    enterReady();
    report(StatusCode::SettingsDone);
}

void EngineCore::flipStepOrDone() {
    if (flipStep()) return;
    enterReady();
    report(StatusCode::SettingsDone);
}

}  // namespace vorlant
