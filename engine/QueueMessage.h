// The engine queue's message format and its byte-wise reassembly.
//
// Every message is a header byte (bit 7 set; bits 6-5 the type; bits 4-0 the
// payload length L) followed by L payload bytes. A message is complete with
// L + 1 bytes, but never before one byte after the header has arrived, so a
// length-0 message takes (and drops) the byte after its header: writers send
// it with one filler byte. Inside a message every byte is payload; between
// messages bytes with bit 7 clear are dropped. That is the whole resync
// policy: the queue's writers are the program's own, so a message can only
// be cut short by a bug, never by the line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlant {

enum : uint8_t {
    kMsgCommand = 0,  // header 0x80 + L: command id and arguments
    kMsgTick = 1,     // 0xA0 0x00: heartbeat tick
    kMsgSerial = 2,   // 0xC0 + n: bytes received from the serial port
    kMsgUnused = 3,   // ignored
};

constexpr uint8_t kMsgMaxPayload = 31;
constexpr uint8_t kTickMessage[2] = {0xA0, 0x00};

constexpr uint8_t messageHeader(uint8_t type, uint8_t length) {
    return static_cast<uint8_t>(0x80 | (type << 5) | (length & 0x1F));
}
constexpr uint8_t messageType(uint8_t header) {
    return (header >> 5) & 3;
}
constexpr uint8_t messageLength(uint8_t header) {
    return header & 0x1F;
}

// Cuts received serial bytes into type-2 messages of at most 31 payload
// bytes, handing each whole message (header first) to sink(bytes, size).
template <class Sink>
void chunkSerialBytes(const uint8_t* bytes, int count, Sink&& sink) {
    uint8_t chunk[32];
    int offset = 0;
    while (offset < count) {
        const int c = count - offset < kMsgMaxPayload ? count - offset : kMsgMaxPayload;
        chunk[0] = messageHeader(kMsgSerial, static_cast<uint8_t>(c));
        for (int i = 0; i < c; ++i) chunk[1 + i] = bytes[offset + i];
        sink(chunk, static_cast<size_t>(c) + 1);
        offset += c;
    }
}

// Collects bytes into whole messages. Plain state, no locking: only the
// engine thread feeds it.
class MessageAssembler {
public:
    // Feeds one byte; returns true when it completed a message, which is
    // then available through message() until the next call.
    bool assembleByte(uint8_t byte);
    const uint8_t* message() const { return message_; }
    void reset() {
        assembling_ = 0;
        received_ = 0;
        expected_ = 0;
    }

private:
    int32_t assembling_ = 0;  // 0 waiting for a header, 1 collecting
    int32_t received_ = 0;    // bytes held, header included
    int32_t expected_ = 0;    // bytes that complete the message
    uint8_t message_[32] = {};
};

}  // namespace vorlant
