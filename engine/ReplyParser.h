// Cuts the controller's byte stream into reply frames (0x55, L, payload).
//
// Length-driven: after the start byte the length byte alone decides where a
// frame ends. Resync policy: bytes before a 0x55 are skipped; inside a
// frame there is none (a wrong length byte swallows the following bytes
// until its count is reached), exactly as the controller expects. Frames
// longer than the 100-byte buffer are consumed whole and handed on
// truncated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/StepResult.h"

namespace vorlant {

constexpr size_t kReplyBufferSize = 100;

// A received frame as handed to reply handling. Positions count from the
// 0x55 byte; a position the frame did not carry reads as 0, never as a byte
// left in the buffer by an earlier frame.
struct ReplyView {
    const uint8_t* bytes;
    size_t size;

    uint8_t u8(size_t pos) const { return pos < size ? bytes[pos] : 0; }
    uint16_t u16(size_t pos) const { return static_cast<uint16_t>(u8(pos) | (u8(pos + 1) << 8)); }
    uint32_t u32(size_t pos) const {
        return static_cast<uint32_t>(u8(pos)) | (static_cast<uint32_t>(u8(pos + 1)) << 8) |
               (static_cast<uint32_t>(u8(pos + 2)) << 16) | (static_cast<uint32_t>(u8(pos + 3)) << 24);
    }
    uint8_t lengthByte() const { return u8(1); }
};

class ReplyParser {
public:
    enum State : int32_t { Hunt = 0, Length = 1, Payload = 2 };

    void reset() { state_ = Hunt; }

    // Feeds one byte; returns true when it completed a frame, available
    // through frame() until the next call.
    bool feedByte(uint8_t byte);
    ReplyView frame() const { return ReplyView{buffer_, stored_}; }

    // Feeds a run of bytes, calling handle(ReplyView) -> StepResult for each
    // frame. The combined result: GiveUp wins over ReadoutComplete, which
    // wins over None; after a GiveUp no further frame is handled (the
    // connection is being closed) and the rest of the run is dropped.
    template <class Handler>
    StepResult feed(const uint8_t* data, size_t count, Handler&& handle) {
        StepResult result = StepResult::None;
        for (size_t i = 0; i < count; ++i) {
            if (!feedByte(data[i])) continue;
            const StepResult r = handle(frame());
            if (r == StepResult::GiveUp) return r;
            if (r == StepResult::ReadoutComplete) result = r;
        }
        return result;
    }

    State state() const { return static_cast<State>(state_); }

private:
    int32_t state_ = Hunt;
    uint8_t buffer_[kReplyBufferSize] = {};
    size_t stored_ = 0;
    uint32_t expected_ = 0;
    uint32_t seen_ = 0;
};

}  // namespace vorlant
