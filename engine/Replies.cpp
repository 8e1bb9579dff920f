// Reply handling: every complete reply frame is interpreted by the one
// request the engine's state says it is waiting for.
#include "engine/ClassRules.h"
#include "engine/EngineCore.h"
#include "engine/LinkTrace.h"
#include "engine/SettingsDecode.h"

namespace vorlant {

int EngineCore::feedReplyBytes(const uint8_t* bytes, size_t count) {
    LinkTrace* const trace = options_.trace.get();
    if (!trace)
        return parser_.feed(bytes, count, [this](const ReplyView& reply) { return handleReply(reply); });
    const auto traced = [this, trace](const ReplyView& reply) {
        trace->beginReply(state_, reply.bytes, reply.size);
        const int r = handleReply(reply);
        trace->endReply();
        return r;
    };
    // Bytes the parser skips while it hunts for a frame's start are traced
    // too (a run per line), so a line full of noise shows as such.
    int result = 0;
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
        const int r = parser_.feed(bytes + i, 1, traced);
        if (r == 2) return 2;
        if (r == 1) result = 1;
    }
    if (skipped > 0) trace->skipped(state_, bytes + skippedFrom, skipped);
    return result;
}

void EngineCore::pauseTo(int32_t state) {
    state_ = ConnectionState::Pause;
    nextState_ = state;
    pauseTicks_ = kPauseTicks;
}

int EngineCore::handleReply(const ReplyView& reply) {
    switch (state_) {
        case ConnectionState::AwaitIdent:
            switch (decodeIdentification(reply, settings_)) {
                case IdentOutcome::Accepted:
                    if (options_.identifyOnly) {
                        enterReady();
                        reportSettings(SettingsReportKind::Identified);
                        return 1;  // the link is up
                    }
                    pauseTo(ConnectionState::AwaitPortType);
                    return 0;
                case IdentOutcome::Rejected:
                    report(StatusCode::IncompatibleDevice);
                    return 2;
                case IdentOutcome::TooOld:
                    state_ = ConnectionState::Idle;
                    replyTimeoutTicks_ = 0;
                    reportSettings(SettingsReportKind::DeviceTooOld);
                    return 0;
                case IdentOutcome::Ignored:
                    return 0;
            }
            return 0;
        case ConnectionState::AwaitPortType:
            decodePortType(reply, settings_);
            pauseTo(ConnectionState::AwaitFirmware);
            return 0;
        case ConnectionState::AwaitFirmware:
            settings_.firmwareVersion = reply.u32(3);
            setVersionClass(versionClassFor(settings_.deviceFamily, settings_.firmwareVersion));
            pauseTo(ConnectionState::AwaitGearBlock);
            return 0;
        case ConnectionState::AwaitGearBlock:
            decodeGearBlock(reply, settings_, true);
            pauseTo(ConnectionState::AwaitParamBlock);
            return 0;
        case ConnectionState::AwaitParamBlock:
            decodeParameterBlock(reply, settings_);
            if (readsFlipAndSite(settings_.versionClass)) {
                state_ = ConnectionState::AwaitFlipParams;
                replyTimeoutTicks_ = kReplyTimeoutTicks;
                sendFrame(buildRequest(RequestId::ReadFlipBlock));
                return 0;
            }
            enterReady();
            reportSettings(SettingsReportKind::ReadoutComplete);
            return 1;
        case ConnectionState::AwaitFlipParams:
            decodeFlipBlock(reply, settings_);
            state_ = ConnectionState::AwaitLocation;
            replyTimeoutTicks_ = kReplyTimeoutTicks;
            sendFrame(buildRequest(RequestId::ReadLocation));
            return 0;
        case ConnectionState::AwaitLocation:
            decodeLocation(reply, settings_);
            enterReady();
            reportSettings(readoutKind_ == SettingsReportKind::DefaultsReloaded
                               ? SettingsReportKind::DefaultsReloaded
                               : SettingsReportKind::ReadoutComplete);
            return 1;
        case ConnectionState::AwaitGearWrite:
            awaitReply(ConnectionState::AwaitGearReread);
            sendFrame(buildRequest(RequestId::ReadGearBlock));
            return 0;
        case ConnectionState::AwaitGearReread:
            decodeGearBlock(reply, settings_, false);
            recomputeMaxRates(settings_);
            enterReady();
            reportSettings(SettingsReportKind::GearRatiosChanged);
            return 0;
        case ConnectionState::AwaitLocationSet:
            enterReady();
            return 0;
        case ConnectionState::AwaitVoltage:
            enterReady();
            reportVoltage(decodeSupplyVoltage(reply));
            return 0;
        case ConnectionState::AwaitParkSet:
            enterReady();
            report(StatusCode::ParkPositionSet);
            return 0;
        case ConnectionState::AwaitStore:
            enterReady();
            report(StatusCode::ParametersStored);
            return 0;
        case ConnectionState::AwaitDefaults:
            // The re-read is supervised from its first request on, so a
            // controller that stops answering here ends with the time-out.
            readoutKind_ = SettingsReportKind::DefaultsReloaded;
            state_ = ConnectionState::AwaitGearBlock;
            replyTimeoutTicks_ = kReplyTimeoutTicks;
            sendFrame(buildRequest(RequestId::ReadGearBlock));
            return 0;
        case ConnectionState::AwaitJobLocation:
            mountStepOrNext();
            return 0;
        case ConnectionState::AwaitJobMount:
            flipStepOrDone();
            return 0;
        case ConnectionState::AwaitJobFlip:
            enterReady();
            report(StatusCode::SettingsDone);
            return 0;
        default:
            return 0;  // Idle, Ready, Pause and unknown states ignore replies
    }
}

}  // namespace vorlant
