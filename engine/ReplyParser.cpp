#include "engine/ReplyParser.h"

#include "engine/WireProtocol.h"

namespace vorlant {

bool ReplyParser::feedByte(uint8_t byte) {
    switch (state_) {
        case Length:
            buffer_[1] = byte;
            expected_ = byte;
            seen_ = 0;
            stored_ = 2;
            if (byte == 0) {
                state_ = Hunt;
                return true;
            }
            state_ = Payload;
            return false;
        case Payload:
            ++seen_;
            if (stored_ < kReplyBufferSize) buffer_[stored_++] = byte;
            if (seen_ >= expected_) {
                state_ = Hunt;
                return true;
            }
            return false;
        case Hunt:
            if (byte == kReplyStart) {
                buffer_[0] = byte;
                stored_ = 1;
                state_ = Length;
            }
            return false;
        default:
            state_ = Hunt;  // the byte is lost
            return false;
    }
}

}  // namespace vorlant
