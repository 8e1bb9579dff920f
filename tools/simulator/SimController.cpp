#include "tools/simulator/SimController.h"

#include <algorithm>

namespace vorlant::sim {

namespace {

// Request ids, as the controller knows them.
enum : uint8_t {
    kIdentify = 1,
    kReadFirmware = 2,
    kReadPortType = 3,
    kRequest11 = 11,
    kReloadDefaults = 12,
    kStoreParameters = 13,
    kReadGearBlock = 20,
    kReadParameterBlock = 21,
    kWriteGearRatios = 26,
    kWriteMountType = 27,
    kSetParkPosition = 29,
    kStop = 33,
    kMove = 35,
    kTracking = 36,
    kExp = 40,
    kReadSupplyVoltage = 43,
    kWriteReverseFlags = 50,
    kWriteCurrent = 51,
    kWriteDecay = 52,
    kWriteMaxSpeeds = 53,
    kWriteGuideRates = 54,
    kWriteAccelerations = 55,
    kWriteDecelerations = 56,
    kWriteOvertone = 59,
    kWriteIncCurrentAt = 60,
    kReadFlipBlock = 61,
    kWriteFlipBlock = 62,
    kReadLocation = 100,
    kWriteLocation = 101,
};

constexpr uint8_t kRequestStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;
constexpr uint8_t kAxisRa = 0x80;
constexpr uint8_t kAxisDe = 0x40;

struct RequestInfo {
    uint8_t id;
    const char* name;
    uint8_t minArgs;  // argument bytes after the id
};

constexpr RequestInfo kRequests[] = {
    {kIdentify, "Identify", 0},
    {kReadFirmware, "ReadFirmware", 0},
    {kReadPortType, "ReadPortType", 0},
    {kRequest11, "Request11", 0},
    {kReloadDefaults, "ReloadDefaults", 1},
    {kStoreParameters, "StoreParameters", 1},
    {kReadGearBlock, "ReadGearBlock", 0},
    {kReadParameterBlock, "ReadParameterBlock", 0},
    {kWriteGearRatios, "WriteGearRatios", 10},
    {kWriteMountType, "WriteMountType", 2},
    {kSetParkPosition, "SetParkPosition", 3},
    {kStop, "Stop", 2},
    {kMove, "Move", 6},
    {kTracking, "Tracking", 2},
    {kExp, "Exp", 2},
    {kReadSupplyVoltage, "ReadSupplyVoltage", 2},
    {kWriteReverseFlags, "WriteReverseFlags", 5},
    {kWriteCurrent, "WriteCurrent", 4},
    {kWriteDecay, "WriteDecay", 3},
    {kWriteMaxSpeeds, "WriteMaxSpeeds", 6},
    {kWriteGuideRates, "WriteGuideRates", 4},
    {kWriteAccelerations, "WriteAccelerations", 4},
    {kWriteDecelerations, "WriteDecelerations", 4},
    {kWriteOvertone, "WriteOvertone", 3},
    {kWriteIncCurrentAt, "WriteIncCurrentAt", 6},
    {kReadFlipBlock, "ReadFlipBlock", 0},
    {kWriteFlipBlock, "WriteFlipBlock", 5},
    {kReadLocation, "ReadLocation", 0},
    {kWriteLocation, "WriteLocation", 9},
};

const RequestInfo* findRequest(uint8_t id) {
    for (const RequestInfo& info : kRequests) {
        if (info.id == id) return &info;
    }
    return nullptr;
}

// Little-endian argument access; callers have checked the argument count.
struct Args {
    const uint8_t* p;
    uint8_t u8(size_t i) const { return p[i]; }
    uint16_t u16(size_t i) const { return static_cast<uint16_t>(p[i] | (p[i + 1] << 8)); }
    uint32_t u32(size_t i) const {
        return static_cast<uint32_t>(p[i]) | (static_cast<uint32_t>(p[i + 1]) << 8) |
               (static_cast<uint32_t>(p[i + 2]) << 16) | (static_cast<uint32_t>(p[i + 3]) << 24);
    }
    int32_t s32(size_t i) const {
        const uint32_t v = u32(i);
        return v <= 0x7FFFFFFFu ? static_cast<int32_t>(v) : -static_cast<int32_t>(~v) - 1;
    }
    int8_t s8(size_t i) const {
        const uint8_t v = p[i];
        return v <= 0x7F ? static_cast<int8_t>(v)
                         : static_cast<int8_t>(-static_cast<int>(static_cast<uint8_t>(~v)) - 1);
    }
};

// Reply composition: 0x55, length (patched by finish), payload.
class ReplyWriter {
public:
    explicit ReplyWriter(std::vector<uint8_t>& out) : out_(out) {
        out_.clear();
        out_.push_back(kReplyStart);
        out_.push_back(0);
    }
    ReplyWriter& u8(uint8_t v) {
        out_.push_back(v);
        return *this;
    }
    ReplyWriter& u16(uint16_t v) {
        out_.push_back(static_cast<uint8_t>(v));
        out_.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    ReplyWriter& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    ReplyWriter& s32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    ReplyWriter& s8(int8_t v) { return u8(static_cast<uint8_t>(v)); }
    void finish() { out_[1] = static_cast<uint8_t>(out_.size() - 2); }

private:
    std::vector<uint8_t>& out_;
};

void writeGearBlock(ReplyWriter& w, const SimState& s) {
    // Positions 2 (id) and 3 (spare), then RA at 4..16, DE at 17..29 and the
    // mount type at 30: 29 payload bytes.
    w.u8(kReadGearBlock).u8(0);
    w.u8(s.raGearByte).u32(s.raGearRatio).u32(s.raGearAux).u32(s.raSiderealRate);
    w.u8(s.deGearByte).u32(s.deGearRatio).u32(s.deGearAux).u32(s.deSiderealRate);
    w.u8(s.mountType);
    w.finish();
}

struct AxisParams {
    uint16_t maxSpeed;
    uint8_t guideRate;
    uint16_t maxCurrent, idleCurrent, trackCurrent, runCurrent;
    uint8_t idleDecay, trackDecay, runDecay;
    int8_t overtone;
    uint8_t overtoneAux, acceleration, deceleration;
    uint16_t incCurrentAt, incCurrentAux;
    uint8_t auxByte;
    uint32_t auxLong;
};

AxisParams raParams(const SimState& s) {
    return {s.raMaxSpeed,    s.raGuideRate,    s.raMaxCurrent,   s.raIdleCurrent,  s.raTrackCurrent,
            s.raRunCurrent,  s.raIdleDecay,    s.raTrackDecay,   s.raRunDecay,     s.raOvertone,
            s.raOvertoneAux, s.raAcceleration, s.raDeceleration, s.raIncCurrentAt, s.raIncCurrentAux,
            s.raAuxByte,     s.raAuxLong};
}

AxisParams deParams(const SimState& s) {
    return {s.deMaxSpeed,    s.deGuideRate,    s.deMaxCurrent,   s.deIdleCurrent,  s.deTrackCurrent,
            s.deRunCurrent,  s.deIdleDecay,    s.deTrackDecay,   s.deRunDecay,     s.deOvertone,
            s.deOvertoneAux, s.deAcceleration, s.deDeceleration, s.deIncCurrentAt, s.deIncCurrentAux,
            s.deAuxByte,     s.deAuxLong};
}

// 27 bytes per axis.
void writeFullAxis(ReplyWriter& w, const AxisParams& a) {
    w.u16(a.maxSpeed).u8(a.guideRate);
    w.u16(a.maxCurrent).u16(a.idleCurrent).u16(a.trackCurrent).u16(a.runCurrent);
    w.u8(a.idleDecay).u8(a.trackDecay).u8(a.runDecay);
    w.s8(a.overtone).u8(a.overtoneAux).u8(a.acceleration).u8(a.deceleration);
    w.u16(a.incCurrentAt).u16(a.incCurrentAux);
    w.u8(a.auxByte).u32(a.auxLong);
}

// 20 bytes per axis.
void writeShortAxis(ReplyWriter& w, const AxisParams& a) {
    w.u16(a.maxSpeed).u8(a.acceleration).u8(a.deceleration);
    w.u16(a.maxCurrent).u16(a.idleCurrent).u16(a.trackCurrent).u16(a.runCurrent);
    w.u8(a.idleDecay).u8(a.trackDecay).u8(a.runDecay);
    w.u8(a.auxByte).u32(a.auxLong);
}

void writeParameterBlock(ReplyWriter& w, const SimState& s, ParamLayout layout) {
    w.u8(kReadParameterBlock).u8(0).u8(s.reverseRotation);
    if (layout == ParamLayout::Full) {
        // Guiding flags in the low nibble, limit-switch flags in the high one.
        w.u8(static_cast<uint8_t>((s.reverseGuiding & 0x0F) | ((s.reverseLimits & 0x0F) << 4)));
        writeFullAxis(w, raParams(s));  // positions 6..32
        writeFullAxis(w, deParams(s));  // positions 33..59
    } else {
        w.u8(s.reverseGuiding);
        writeShortAxis(w, raParams(s));  // positions 6..25
        writeShortAxis(w, deParams(s));  // positions 26..45
    }
    w.finish();
}

}  // namespace

const char* requestName(uint8_t id) {
    const RequestInfo* info = findRequest(id);
    return info ? info->name : "Unknown";
}

SimController::SimController(SimProfile profile, SimOptions options)
    : profile_(profile),
      traits_(profileTraits(profile)),
      replyDelayMs_(options.replyDelayMs >= 0 ? static_cast<uint32_t>(options.replyDelayMs)
                                              : traits_.defaultReplyDelayMs),
      delayAfter_(options.delayAfterRequests > 0 ? static_cast<uint32_t>(options.delayAfterRequests) : 0u),
      vanishAfter_(options.vanishAfterRequests >= 0 ? static_cast<uint32_t>(options.vanishAfterRequests)
                                                    : traits_.defaultVanishAfterRequests),
      muteAfter_(options.muteAfterRequests > 0 ? static_cast<uint32_t>(options.muteAfterRequests) : 0u),
      random_(options.garbageSeed != 0 ? options.garbageSeed : 1u),
      current_(initialState(profile)),
      stored_(current_) {}

void SimController::receive(const uint8_t* bytes, size_t count, uint64_t nowNs) {
    for (size_t i = 0; i < count && !vanished_; ++i) {
        const uint8_t b = bytes[i];
        switch (parse_) {
            case ParseState::Hunt:
                if (b == kRequestStart) {
                    frame_[0] = b;
                    frameSize_ = 1;
                    parse_ = ParseState::Length;
                }
                break;
            case ParseState::Length:
                if (b == 0 || b > kMaxRequestLength) {
                    // Not a frame. A start byte here may begin the real one.
                    parse_ = b == kRequestStart ? ParseState::Length : ParseState::Hunt;
                    break;
                }
                frame_[1] = b;
                frameSize_ = 2;
                frameExpected_ = size_t{b} + 2;
                parse_ = ParseState::Body;
                break;
            case ParseState::Body:
                frame_[frameSize_++] = b;
                if (frameSize_ == frameExpected_) {
                    parse_ = ParseState::Hunt;
                    handleFrame(nowNs);
                }
                break;
        }
    }
}

void SimController::handleFrame(uint64_t nowNs) {
    log_.emplace_back(frame_, frame_ + frameSize_);
    if (vanishAfter_ != 0 && requestCount_ >= vanishAfter_) {
        // The device is gone before it could answer; what it had queued
        // never reaches the line.
        vanished_ = true;
        discardOutput();
        return;
    }
    ++requestCount_;
    if (muteAfter_ != 0 && requestCount_ > muteAfter_) {
        // Hung: the request is logged above and goes no further.
        muted_ = true;
        return;
    }

    std::vector<uint8_t> reply;
    apply(frame_[2], frame_ + 3, frameSize_ - 3, reply);

    switch (traits_.behaviour) {
        case Behaviour::Normal:
            if (!reply.empty()) queue(std::move(reply), nowNs);
            break;
        case Behaviour::Silent:
            break;
        case Behaviour::Garbage: {
            std::vector<uint8_t> junk;
            appendGarbage(junk);
            queue(std::move(junk), nowNs);
            break;
        }
    }
}

void SimController::apply(uint8_t id, const uint8_t* argBytes, size_t argCount, std::vector<uint8_t>& reply) {
    const RequestInfo* info = findRequest(id);
    if (!info) {
        ++unknownCount_;
        return;
    }
    if (argCount < info->minArgs) {
        ++malformedCount_;
        return;
    }
    const Args a{argBytes};
    SimState& s = current_;
    ReplyWriter w(reply);
    auto ack = [&] {
        w.u8(id);
        w.finish();
    };

    switch (id) {
        case kIdentify:
            if (traits_.shortIdentify) {
                w.u8(0).u8(traits_.shortFirst).u8(traits_.shortSecond);
            } else {
                w.u8(kIdentify).u32(s.hardwareVersion);
            }
            w.finish();
            return;
        case kReadFirmware:
            w.u8(kReadFirmware).u32(s.firmwareVersion);
            w.finish();
            return;
        case kReadPortType:
            w.u8(kReadPortType).u8(s.portType);
            w.finish();
            return;
        case kReadGearBlock:
            writeGearBlock(w, s);
            return;
        case kReadParameterBlock:
            writeParameterBlock(w, s, traits_.layout);
            return;
        case kReadFlipBlock:
            w.u8(kReadFlipBlock).u8(0).u8(s.flipParamA).u8(s.flipParamB).u8(s.flipHysteresis);
            w.finish();
            return;
        case kReadLocation:
            w.u8(kReadLocation).s32(s.latitude).s32(s.longitude);
            w.finish();
            return;
        case kReadSupplyVoltage:
            w.u8(kReadSupplyVoltage).u8(0).u8(0).u16(s.supplyVoltage);
            w.finish();
            return;

        // Requests answered with a short acknowledgement.
        case kReloadDefaults:
            current_ = factoryDefaults(profile_);
            ++reloadCount_;
            ack();
            return;
        case kStoreParameters:
            stored_ = current_;
            ++storeCount_;
            ack();
            return;
        case kWriteGearRatios:
            if (a.u8(1) & kAxisRa) s.raGearRatio = a.u32(2);
            if (a.u8(1) & kAxisDe) s.deGearRatio = a.u32(6);
            ack();
            return;
        case kWriteMountType:
            s.mountType = a.u8(1);
            ack();
            return;
        case kSetParkPosition:
            parkFlag_ = a.u8(2);
            ++parkCount_;
            ack();
            return;
        case kWriteFlipBlock:
            s.flipParamA = a.u8(2);
            s.flipParamB = a.u8(3);
            s.flipHysteresis = a.u8(4);
            ack();
            return;
        case kWriteLocation:
            lastLocationFlag_ = a.u8(0);
            s.latitude = a.s32(1);
            s.longitude = a.s32(5);
            ack();
            return;
        default:
            break;
    }

    // Requests without a reply: the program does not wait for one, and a
    // reply arriving while it waits for another would be taken for that one.
    reply.clear();
    const uint8_t axis = argCount >= 2 ? a.u8(1) : 0;
    const bool ra = (axis & kAxisRa) != 0;
    const bool de = (axis & kAxisDe) != 0;
    switch (id) {
        case kRequest11:
            ++request11Count_;
            break;
        case kStop:
            if (ra) motion_.raSpeed = 0;
            if (de) motion_.deSpeed = 0;
            motion_.lastStopMask = axis;
            ++motion_.stopCount;
            break;
        case kMove:
            if (ra) motion_.raSpeed = a.s32(2);
            if (de) motion_.deSpeed = a.s32(2);
            motion_.lastMoveAxis = axis;
            motion_.lastMoveSpeed = a.s32(2);
            ++motion_.moveCount;
            break;
        case kTracking:
            tracking_ = a.u8(1) != 0;
            break;
        case kExp:
            exp_ = a.u8(1) != 0;
            break;
        case kWriteReverseFlags:
            s.reverseRotation = a.u8(2);
            s.reverseGuiding = a.u8(3);
            s.reverseLimits = a.u8(4);
            break;
        case kWriteCurrent: {
            // Channel in the low bits: 0 idle, 1 tracking, 2 running. The
            // maximum current has no channel of its own: other channel
            // values are taken in and ignored.
            const unsigned channel = axis & 0x3Fu;
            const uint16_t mA = a.u16(2);
            if (channel == 0) {
                if (ra) s.raIdleCurrent = mA;
                if (de) s.deIdleCurrent = mA;
            } else if (channel == 1) {
                if (ra) s.raTrackCurrent = mA;
                if (de) s.deTrackCurrent = mA;
            } else if (channel == 2) {
                if (ra) s.raRunCurrent = mA;
                if (de) s.deRunCurrent = mA;
            }
            break;
        }
        case kWriteDecay: {
            const unsigned channel = axis & 0x3Fu;
            const uint8_t decay = a.u8(2);
            if (channel == 0) {
                if (ra) s.raIdleDecay = decay;
                if (de) s.deIdleDecay = decay;
            } else if (channel == 1) {
                if (ra) s.raTrackDecay = decay;
                if (de) s.deTrackDecay = decay;
            } else if (channel == 2) {
                if (ra) s.raRunDecay = decay;
                if (de) s.deRunDecay = decay;
            }
            break;
        }
        case kWriteMaxSpeeds:
            if (ra) s.raMaxSpeed = a.u16(2);
            if (de) s.deMaxSpeed = a.u16(4);
            break;
        case kWriteGuideRates:
            if (ra) s.raGuideRate = a.u8(2);
            if (de) s.deGuideRate = a.u8(3);
            break;
        case kWriteAccelerations:
            if (ra) s.raAcceleration = a.u8(2);
            if (de) s.deAcceleration = a.u8(3);
            break;
        case kWriteDecelerations:
            if (ra) s.raDeceleration = a.u8(2);
            if (de) s.deDeceleration = a.u8(3);
            break;
        case kWriteOvertone:
            if (ra) s.raOvertone = a.s8(2);
            if (de) s.deOvertone = a.s8(2);
            break;
        case kWriteIncCurrentAt:
            if (ra) {
                s.raIncCurrentAt = a.u16(2);
                s.raIncCurrentAux = a.u16(4);
            }
            if (de) {
                s.deIncCurrentAt = a.u16(2);
                s.deIncCurrentAux = a.u16(4);
            }
            break;
        default:
            break;
    }
}

uint32_t SimController::nextRandom() {
    // xorshift32: small, deterministic, the same on every platform.
    uint32_t x = random_;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    random_ = x;
    return x;
}

void SimController::appendGarbage(std::vector<uint8_t>& out) {
    // Loose bytes are never a reply start; the embedded frames are complete
    // (so the receiver's parser is back to hunting afterwards) and have
    // lengths no identification reply has (3 and 5 are the valid forms),
    // so no sequence ever passes for an identification.
    auto looseBytes = [&](uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t b = static_cast<uint8_t>(nextRandom());
            if (b == kReplyStart) b = 0x54;
            out.push_back(b);
        }
    };
    static constexpr uint8_t kBadLengths[] = {0, 1, 2, 4, 6, 7, 9, 12};
    looseBytes(1 + nextRandom() % 6);
    const uint32_t frames = 1 + nextRandom() % 2;
    for (uint32_t f = 0; f < frames; ++f) {
        const uint8_t length = kBadLengths[nextRandom() % sizeof kBadLengths];
        out.push_back(kReplyStart);
        out.push_back(length);
        for (uint8_t i = 0; i < length; ++i) out.push_back(static_cast<uint8_t>(nextRandom()));
        looseBytes(nextRandom() % 4);
    }
}

void SimController::queue(std::vector<uint8_t> bytes, uint64_t nowNs) {
    const uint64_t delayNs = requestCount_ > delayAfter_ ? uint64_t{replyDelayMs_} * 1000000u : 0u;
    const uint64_t due = nowNs > kNoOutput - 1 - delayNs ? kNoOutput - 1 : nowNs + delayNs;
    pendingBytes_ += bytes.size();
    output_.push_back(Chunk{due, std::move(bytes), 0});
}

size_t SimController::take(uint64_t limitNs, uint8_t* buffer, size_t capacity) {
    size_t got = 0;
    while (got < capacity && !output_.empty() && output_.front().dueNs <= limitNs) {
        Chunk& chunk = output_.front();
        const size_t n = std::min(capacity - got, chunk.bytes.size() - chunk.taken);
        std::copy_n(chunk.bytes.begin() + static_cast<std::ptrdiff_t>(chunk.taken), n, buffer + got);
        chunk.taken += n;
        got += n;
        if (chunk.taken == chunk.bytes.size()) output_.pop_front();
    }
    pendingBytes_ -= got;
    return got;
}

size_t SimController::takeOutput(uint8_t* buffer, size_t capacity) {
    return take(kNoOutput, buffer, capacity);
}

std::vector<uint8_t> SimController::takeOutput() {
    std::vector<uint8_t> out(pendingBytes_);
    out.resize(take(kNoOutput, out.data(), out.size()));
    return out;
}

size_t SimController::takeDueOutput(uint64_t nowNs, uint8_t* buffer, size_t capacity) {
    return take(nowNs, buffer, capacity);
}

std::vector<uint8_t> SimController::takeDueOutput(uint64_t nowNs) {
    std::vector<uint8_t> out(pendingBytes_);
    out.resize(take(nowNs, out.data(), out.size()));
    return out;
}

uint64_t SimController::nextDueNs() const {
    return output_.empty() ? kNoOutput : output_.front().dueNs;
}

void SimController::discardOutput() {
    output_.clear();
    pendingBytes_ = 0;
}

}  // namespace vorlant::sim
