// Controller wire protocol: request frames and the request ids.
//
// Request: 0xAA, L (bytes after the length byte), request id, arguments.
// Reply:   0x55, L (payload bytes), payload. Multi-byte values are
// little-endian. No checksum and no tags: replies are matched to requests
// by the engine's state alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlant {

constexpr uint8_t kRequestStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;
constexpr size_t kMaxRequestArgs = 20;
constexpr size_t kMaxFrameSize = kMaxRequestArgs + 3;

struct RequestId {
    enum : uint8_t {
        Identify = 1,
        ReadFirmware = 2,
        ReadPortType = 3,
        Request11 = 11,
        ReloadDefaults = 12,
        StoreParameters = 13,
        ReadGearBlock = 20,
        ReadParameterBlock = 21,
        WriteGearRatios = 26,
        WriteMountType = 27,
        SetParkPosition = 29,
        Stop = 33,
        Move = 35,
        Tracking = 36,
        Exp = 40,
        ReadSupplyVoltage = 43,
        WriteReverseFlags = 50,
        WriteCurrent = 51,
        WriteDecay = 52,
        WriteMaxSpeeds = 53,
        WriteGuideRates = 54,
        WriteAccelerations = 55,
        WriteDecelerations = 56,
        WriteOvertone = 59,
        WriteIncCurrentAt = 60,
        ReadFlipBlock = 61,
        WriteFlipBlock = 62,
        ReadLocation = 100,
        WriteLocation = 101,
    };
};

// One composed request frame; size 0 means "nothing to send".
struct Frame {
    uint8_t bytes[kMaxFrameSize];
    uint8_t size;
};

// The builder family. The general member refuses more than 20 argument
// bytes; the fixed forms cover every layout the program sends.
Frame buildRequestN(uint8_t id, const uint8_t* args, size_t count);
Frame buildRequest(uint8_t id);
Frame buildRequest(uint8_t id, uint8_t a);
Frame buildRequest(uint8_t id, uint8_t a, uint8_t b);
Frame buildRequest(uint8_t id, uint8_t a, uint8_t b, uint8_t c);
Frame buildRequest(uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d);
Frame buildRequest(uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e);
Frame buildRequestU16(uint8_t id, uint16_t v);
Frame buildRequestBBU16(uint8_t id, uint8_t a, uint8_t b, uint16_t v);
Frame buildRequestBBU16U16(uint8_t id, uint8_t a, uint8_t b, uint16_t v, uint16_t w);
Frame buildRequestBBU32(uint8_t id, uint8_t a, uint8_t b, uint32_t v);
Frame buildRequestBU32U32(uint8_t id, uint8_t a, uint32_t v, uint32_t w);
Frame buildRequestBBU32U32(uint8_t id, uint8_t a, uint8_t b, uint32_t v, uint32_t w);

// Little-endian helpers shared by the builders, the decoder and the tools.
inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Two's complement view of 32 wire bits without implementation-defined
// conversions.
inline int32_t toSigned32(uint32_t v) {
    return v <= 0x7FFFFFFFu ? static_cast<int32_t>(v) : -static_cast<int32_t>(~v) - 1;
}
inline int8_t toSigned8(uint8_t v) {
    return v <= 0x7F ? static_cast<int8_t>(v)
                     : static_cast<int8_t>(-static_cast<int>(static_cast<uint8_t>(~v)) - 1);
}

}  // namespace vorlant
