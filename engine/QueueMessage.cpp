#include "engine/QueueMessage.h"

namespace vorlant {

bool MessageAssembler::assembleByte(uint8_t byte) {
    if (assembling_ == 0) {
        if ((byte & 0x80) == 0) return false;
        message_[0] = byte;
        received_ = 1;
        expected_ = (byte & 0x1F) + 1;
        assembling_ = 1;
        return false;
    }
    // expected_ is at most 32, so received_ stays inside message_.
    if (received_ <= expected_ && received_ < static_cast<int32_t>(sizeof message_)) {
        message_[received_] = byte;
        ++received_;
    }
    if (received_ >= expected_) {
        assembling_ = 0;
        return true;
    }
    return false;
}

}  // namespace vorlant
