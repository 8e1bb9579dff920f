// libFuzzer harness for the bounded text routines.
//
// The input is used twice:
//   - as an unterminated text of exactly its own size, read with
//     parseInteger and parseAngle (every kind) from every position, so that
//     AddressSanitizer reports any read past the end;
//   - as parameters (size, position, value, text) for every append routine,
//     writing into a buffer with guard bytes on both sides; anything touched
//     outside [position, result] or outside [0, size) aborts.
// UndefinedBehaviorSanitizer checks the wrap-around arithmetic.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/TextBuild.h"

namespace {

using vorlant::appendAngle;
using vorlant::appendDecimal;
using vorlant::appendDottedVersion;
using vorlant::appendHexLowFirst;
using vorlant::appendText;
using vorlant::appendTwoDigits;
using vorlant::parseAngle;
using vorlant::parseInteger;

constexpr std::size_t kGuard = 32;
constexpr unsigned char kFill = 0xA5;

void require(bool condition) {
    if (!condition) std::abort();
}

void fuzzParsers(const char* text, std::size_t size) {
    // Positions past the end too; the long inputs only from a few positions.
    const std::size_t lastPosition = size + 2;
    const std::size_t step = size > 256 ? size / 64 : 1;
    for (std::size_t position = 0; position <= lastPosition; position += step) {
        std::int32_t value = 0;
        const std::size_t end = parseInteger(text, size, position, &value);
        require(end >= position);
        require(end <= (position > size ? position : size));
        require(parseInteger(text, size, position) == end);
        for (int kind = -1; kind <= 3; ++kind) {
            std::int32_t angle = 0;
            require(parseAngle(text, size, position, &angle, kind));
        }
    }
}

std::uint32_t readU32(const std::uint8_t* data) {
    return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
           static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

std::int32_t toSigned(std::uint32_t bits) {
    if (bits <= 0x7FFFFFFFu) return static_cast<std::int32_t>(bits);
    return -static_cast<std::int32_t>(0xFFFFFFFFu - bits) - 1;
}

// Runs one append routine and checks what it touched.
template <typename Call>
void checkAppend(std::size_t size, std::size_t position, bool silentAtLast, Call call) {
    std::vector<unsigned char> memory(kGuard + size + kGuard, kFill);
    char* buffer = reinterpret_cast<char*>(memory.data() + kGuard);
    const std::size_t result = call(buffer, size, position);

    bool writes = size != 0 && position <= size - 1;
    if (writes && silentAtLast && position == size - 1) writes = false;
    if (!writes) {
        require(result == (size == 0 ? 0 : position));
        for (unsigned char byte : memory) require(byte == kFill);
        return;
    }
    require(result >= position && result <= size - 1);
    require(buffer[result] == '\0');
    for (std::size_t i = 0; i < memory.size(); ++i) {
        const bool inside = i >= kGuard + position && i <= kGuard + result;
        if (!inside) require(memory[i] == kFill);
    }
}

void fuzzAppenders(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return;
    const std::size_t bufferSize = data[0] % 64;
    const std::size_t position = data[1] % 72;
    const std::uint32_t bits = readU32(data + 2);
    const std::int32_t value = toSigned(bits);
    const std::string text(reinterpret_cast<const char*>(data + 6), size - 6);  // c_str() stops at a NUL

    checkAppend(bufferSize, position, false,
                [&](char* b, std::size_t s, std::size_t p) { return appendText(b, s, p, text.c_str()); });
    checkAppend(bufferSize, position, false,
                [&](char* b, std::size_t s, std::size_t p) { return appendDecimal(b, s, p, value); });
    checkAppend(bufferSize, position, true,
                [&](char* b, std::size_t s, std::size_t p) { return appendTwoDigits(b, s, p, bits); });
    checkAppend(bufferSize, position, false,
                [&](char* b, std::size_t s, std::size_t p) { return appendHexLowFirst(b, s, p, bits); });
    checkAppend(bufferSize, position, true,
                [&](char* b, std::size_t s, std::size_t p) { return appendAngle(b, s, p, value); });
    checkAppend(bufferSize, position, false,
                [&](char* b, std::size_t s, std::size_t p) { return appendDottedVersion(b, s, p, bits); });

    // What appendAngle writes reads back to the angle cut to whole seconds.
    char angleText[32];
    appendAngle(angleText, sizeof angleText, 0, value);
    std::int32_t angle = 0;
    require(parseAngle(angleText, sizeof angleText, 0, &angle, vorlant::kAngleKindLatitude));
    require(angle == value / vorlant::kAngleUnitsPerSecond * vorlant::kAngleUnitsPerSecond);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzParsers(reinterpret_cast<const char*>(data), size);
    fuzzAppenders(data, size);
    return 0;
}
