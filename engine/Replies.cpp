// Reply handling: every complete reply frame is interpreted by the one
// request the engine's state says it is waiting for.
#include "engine/ClassRules.h"
#include "engine/EngineCore.h"
#include "engine/LinkTrace.h"
#include "engine/SettingsDecode.h"

namespace vorlant {

StepResult EngineCore::feedReplyBytes(const uint8_t* bytes, size_t count) {
    LinkTrace* const trace = options_.trace.get();
    if (!trace)
        return parser_.feed(bytes, count, [this](const ReplyView& reply) { return handleReply(reply); });
    const auto traced = [this, trace](const ReplyView& reply) {
        trace->beginReply(state_, reply.bytes, reply.size);
        const StepResult r = handleReply(reply);
        trace->endReply();
        return r;
    };
    // Bytes the parser skips while it hunts for a frame's start are traced
    // too (a run per line), so a line full of noise shows as such.
    StepResult result = StepResult::None;
    size_t skippedFrom = 0;
    size_t skipped = 0;
    for (size_t i = 0; i < count; ++i) {
        if (parser_.state() == ReplyParser::Hunt && bytes[i] != kReplyStart) {
            if (skipped == 0) skippedFrom = i;
            ++skipped;
            parser_.feedByte(bytes[i]);
            continue;
        }
        if (skipped > 0) trace->skipped(state_, bytes + skippedFrom, skipped);
        skipped = 0;
        const StepResult r = parser_.feed(bytes + i, 1, traced);
        if (r == StepResult::GiveUp) return r;
        if (r == StepResult::ReadoutComplete) result = r;
    }
    if (skipped > 0) trace->skipped(state_, bytes + skippedFrom, skipped);
    return result;
}

void EngineCore::pauseTo(int32_t state) {
    state_ = ConnectionState::Pause;
    nextState_ = state;
    pauseTicks_ = kPauseTicks;
}

StepResult EngineCore::handleReply(const ReplyView& reply) {
    switch (state_) {
        case ConnectionState::AwaitIdent:
            switch (decodeIdentification(reply, settings_)) {
                case IdentOutcome::Accepted:
                    if (options_.identifyOnly) {
                        enterReady();
                        reportSettings(SettingsReportKind::Identified);
                        return StepResult::ReadoutComplete;
                    }
                    pauseTo(ConnectionState::AwaitPortType);
                    return StepResult::None;
                case IdentOutcome::Rejected:
                    report(StatusCode::IncompatibleDevice);
                    return StepResult::GiveUp;
                case IdentOutcome::TooOld:
                    state_ = ConnectionState::Idle;
                    replyTimeoutTicks_ = 0;
                    reportSettings(SettingsReportKind::DeviceTooOld);
                    return StepResult::None;
                case IdentOutcome::Ignored:
                    return StepResult::None;
            }
            return StepResult::None;
        case ConnectionState::AwaitPortType:
            decodePortType(reply, settings_);
            pauseTo(ConnectionState::AwaitFirmware);
            return StepResult::None;
        case ConnectionState::AwaitFirmware:
            settings_.firmwareVersion = reply.u32(3);
            setVersionClass(versionClassFor(settings_.deviceFamily, settings_.firmwareVersion));
            pauseTo(ConnectionState::AwaitGearBlock);
            return StepResult::None;
        case ConnectionState::AwaitGearBlock:
            decodeGearBlock(reply, settings_, true);
            pauseTo(ConnectionState::AwaitParamBlock);
            return StepResult::None;
        case ConnectionState::AwaitParamBlock:
            decodeParameterBlock(reply, settings_);
            if (readsFlipAndSite(settings_.versionClass)) {
                state_ = ConnectionState::AwaitFlipParams;
                replyTimeoutTicks_ = kReplyTimeoutTicks;
                sendFrame(buildRequest(RequestId::ReadFlipBlock));
                return StepResult::None;
            }
            enterReady();
            reportSettings(SettingsReportKind::ReadoutComplete);
            return StepResult::ReadoutComplete;
        case ConnectionState::AwaitFlipParams:
            decodeFlipBlock(reply, settings_);
            state_ = ConnectionState::AwaitLocation;
            replyTimeoutTicks_ = kReplyTimeoutTicks;
            sendFrame(buildRequest(RequestId::ReadLocation));
            return StepResult::None;
        case ConnectionState::AwaitLocation:
            decodeLocation(reply, settings_);
            enterReady();
            reportSettings(readoutKind_ == SettingsReportKind::DefaultsReloaded
                               ? SettingsReportKind::DefaultsReloaded
                               : SettingsReportKind::ReadoutComplete);
            return StepResult::ReadoutComplete;
        case ConnectionState::AwaitGearWrite:
            awaitReply(ConnectionState::AwaitGearReread);
            sendFrame(buildRequest(RequestId::ReadGearBlock));
            return StepResult::None;
        case ConnectionState::AwaitGearReread:
            decodeGearBlock(reply, settings_, false);
            recomputeMaxRates(settings_);
            enterReady();
            reportSettings(SettingsReportKind::GearRatiosChanged);
            return StepResult::None;
        case ConnectionState::AwaitLocationSet:
            enterReady();
            return StepResult::None;
        case ConnectionState::AwaitVoltage:
            enterReady();
            reportVoltage(decodeSupplyVoltage(reply));
            return StepResult::None;
        case ConnectionState::AwaitParkSet:
            enterReady();
            report(StatusCode::ParkPositionSet);
            return StepResult::None;
        case ConnectionState::AwaitStore:
            enterReady();
            report(StatusCode::ParametersStored);
            return StepResult::None;
        case ConnectionState::AwaitDefaults:
            // The re-read is supervised from its first request on, so a
            // controller that stops answering here ends with the time-out.
            readoutKind_ = SettingsReportKind::DefaultsReloaded;
            state_ = ConnectionState::AwaitGearBlock;
            replyTimeoutTicks_ = kReplyTimeoutTicks;
            sendFrame(buildRequest(RequestId::ReadGearBlock));
            return StepResult::None;
        case ConnectionState::AwaitJobLocation:
            mountStepOrNext();
            return StepResult::None;
        case ConnectionState::AwaitJobMount:
            flipStepOrDone();
            return StepResult::None;
        case ConnectionState::AwaitJobFlip:
            enterReady();
            report(StatusCode::SettingsDone);
            return StepResult::None;
        default:
            return StepResult::None;  // Idle, Ready, Pause and unknown states ignore replies
    }
}

}  // namespace vorlant
