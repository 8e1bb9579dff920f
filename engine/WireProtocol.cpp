#include "engine/WireProtocol.h"

#include <cstring>

namespace vorlant {

Frame buildRequestN(uint8_t id, const uint8_t* args, size_t count) {
    Frame f{};
    if (count > kMaxRequestArgs) return f;  // refused: nothing is sent
    f.bytes[0] = kRequestStart;
    f.bytes[1] = static_cast<uint8_t>(count + 1);
    f.bytes[2] = id;
    if (count > 0) std::memcpy(f.bytes + 3, args, count);
    f.size = static_cast<uint8_t>(count + 3);
    return f;
}

Frame buildRequest(uint8_t id) {
    return buildRequestN(id, nullptr, 0);
}

Frame buildRequest(uint8_t id, uint8_t a) {
    const uint8_t args[] = {a};
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequest(uint8_t id, uint8_t a, uint8_t b) {
    const uint8_t args[] = {a, b};
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequest(uint8_t id, uint8_t a, uint8_t b, uint8_t c) {
    const uint8_t args[] = {a, b, c};
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequest(uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t args[] = {a, b, c, d};
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequest(uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e) {
    const uint8_t args[] = {a, b, c, d, e};
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequestU16(uint8_t id, uint16_t v) {
    uint8_t args[2];
    putU16(args, v);
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequestBBU16(uint8_t id, uint8_t a, uint8_t b, uint16_t v) {
    uint8_t args[4] = {a, b};
    putU16(args + 2, v);
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequestBBU16U16(uint8_t id, uint8_t a, uint8_t b, uint16_t v, uint16_t w) {
    uint8_t args[6] = {a, b};
    putU16(args + 2, v);
    putU16(args + 4, w);
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequestBBU32(uint8_t id, uint8_t a, uint8_t b, uint32_t v) {
    uint8_t args[6] = {a, b};
    putU32(args + 2, v);
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequestBU32U32(uint8_t id, uint8_t a, uint32_t v, uint32_t w) {
    uint8_t args[9] = {a};
    putU32(args + 1, v);
    putU32(args + 5, w);
    return buildRequestN(id, args, sizeof args);
}

Frame buildRequestBBU32U32(uint8_t id, uint8_t a, uint8_t b, uint32_t v, uint32_t w) {
    uint8_t args[10] = {a, b};
    putU32(args + 2, v);
    putU32(args + 6, w);
    return buildRequestN(id, args, sizeof args);
}

}  // namespace vorlant
