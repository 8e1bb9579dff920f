#include "text/TextBuild.h"

namespace vorlant {

namespace {

// Two's-complement reading of a 32-bit pattern without relying on the
// implementation-defined unsigned-to-signed conversion.
std::int32_t toSigned(std::uint32_t bits) {
    if (bits <= 0x7FFFFFFFu) return static_cast<std::int32_t>(bits);
    return -static_cast<std::int32_t>(0xFFFFFFFFu - bits) - 1;
}

// The magnitude of a signed value as an unsigned number; INT32_MIN gives
// 2147483648 without a signed overflow.
std::uint32_t magnitude(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return value < 0 ? 0u - bits : bits;
}

// True when an append routine may write at `position`: the buffer exists
// and the position leaves room at least for the terminator.
bool canWrite(const char* buffer, std::size_t size, std::size_t position) {
    return buffer != nullptr && size != 0 && position <= size - 1;
}

// Copies `length` characters of `text`, stopping where only the
// terminator's byte is left, writes the NUL and returns its position.
// The caller has checked canWrite().
std::size_t copyBounded(char* buffer, std::size_t size, std::size_t position, const char* text,
                        std::size_t length) {
    const std::size_t last = size - 1;
    for (std::size_t i = 0; i < length && position < last; ++i) buffer[position++] = text[i];
    buffer[position] = '\0';
    return position;
}

// Returns the result an append routine gives when it may not write at all.
std::size_t refusedPosition(const char* buffer, std::size_t size, std::size_t position) {
    return (buffer == nullptr || size == 0) ? 0 : position;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The character at `position`, or NUL when the position is outside the
// text; a NUL ends the text for every parse step.
char at(const char* text, std::size_t size, std::size_t position) {
    return position < size ? text[position] : '\0';
}

std::size_t skipBlanks(const char* text, std::size_t size, std::size_t position) {
    while (isBlank(at(text, size, position))) ++position;
    return position;
}

std::size_t skipSeparators(const char* text, std::size_t size, std::size_t position) {
    for (char c = at(text, size, position); c == ':' || c == '.'; c = at(text, size, position)) ++position;
    return position;
}

}  // namespace

std::size_t appendText(char* buffer, std::size_t size, std::size_t position, const char* text) {
    if (!canWrite(buffer, size, position)) return refusedPosition(buffer, size, position);
    const std::size_t last = size - 1;
    if (text != nullptr) {
        while (*text != '\0' && position < last) buffer[position++] = *text++;
    }
    buffer[position] = '\0';
    return position;
}

std::size_t appendDecimal(char* buffer, std::size_t size, std::size_t position, std::int32_t value) {
    if (!canWrite(buffer, size, position)) return refusedPosition(buffer, size, position);
    // Digits are produced backwards into a scratch area large enough for
    // "-2147483648".
    char digits[12];
    std::size_t start = sizeof digits;
    std::uint32_t rest = magnitude(value);
    do {
        digits[--start] = static_cast<char>('0' + rest % 10u);
        rest /= 10u;
    } while (rest != 0);
    if (value < 0) digits[--start] = '-';
    return copyBounded(buffer, size, position, digits + start, sizeof digits - start);
}

std::size_t appendTwoDigits(char* buffer, std::size_t size, std::size_t position, std::uint32_t value) {
    // Unlike the other routines, a position at size - 1 writes nothing.
    if (!canWrite(buffer, size, position) || position == size - 1) {
        return refusedPosition(buffer, size, position);
    }
    if (value > 99u) value = 99u;
    buffer[position++] = static_cast<char>('0' + value / 10u);
    if (position < size - 1) buffer[position++] = static_cast<char>('0' + value % 10u);
    buffer[position] = '\0';
    return position;
}

std::size_t appendDottedVersion(char* buffer, std::size_t size, std::size_t position, std::uint32_t value) {
    if (!canWrite(buffer, size, position)) return refusedPosition(buffer, size, position);
    // "255.255.255.255" and its NUL.
    char text[16];
    std::size_t end = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        end = appendDecimal(text, sizeof text, end, static_cast<std::int32_t>((value >> shift) & 0xFFu));
        if (shift > 0) end = appendText(text, sizeof text, end, ".");
    }
    return copyBounded(buffer, size, position, text, end);
}

std::size_t appendHexLowFirst(char* buffer, std::size_t size, std::size_t position, std::uint32_t value) {
    if (!canWrite(buffer, size, position)) return refusedPosition(buffer, size, position);
    static const char kHex[] = "0123456789ABCDEF";
    char digits[8];
    for (char& digit : digits) {
        digit = kHex[value & 0xFu];
        value >>= 4;
    }
    return copyBounded(buffer, size, position, digits, sizeof digits);
}

std::size_t appendAngle(char* buffer, std::size_t size, std::size_t position, std::int32_t angle) {
    if (!canWrite(buffer, size, position) || position == size - 1) {
        return refusedPosition(buffer, size, position);
    }
    const std::size_t last = size - 1;
    if (angle < 0) buffer[position++] = '-';
    const std::uint32_t units = magnitude(angle);
    const auto perDegree = static_cast<std::uint32_t>(kAngleUnitsPerDegree);
    const auto perMinute = static_cast<std::uint32_t>(kAngleUnitsPerMinute);
    const auto perSecond = static_cast<std::uint32_t>(kAngleUnitsPerSecond);
    // At most 2147483648 / 86400 = 24855 degrees: fits the signed argument.
    position = appendDecimal(buffer, size, position, static_cast<std::int32_t>(units / perDegree));
    if (position < last) buffer[position++] = ':';
    position = appendTwoDigits(buffer, size, position, units % perDegree / perMinute);
    if (position < last) buffer[position++] = ':';
    position = appendTwoDigits(buffer, size, position, units % perDegree % perMinute / perSecond);
    buffer[position] = '\0';
    return position;
}

std::size_t parseInteger(const char* text, std::size_t size, std::size_t position, std::int32_t* value) {
    if (text == nullptr) size = 0;
    bool negative = false;
    if (at(text, size, position) == '-') {
        negative = true;
        ++position;
    }
    // Unsigned arithmetic: overlong numbers wrap around modulo 2^32.
    std::uint32_t result = 0;
    for (char c = at(text, size, position); isDigit(c); c = at(text, size, ++position)) {
        result = result * 10u + static_cast<std::uint32_t>(c - '0');
    }
    if (value != nullptr) *value = toSigned(negative ? 0u - result : result);
    return position;
}

bool parseAngle(const char* text, std::size_t size, std::size_t position, std::int32_t* angle, int kind) {
    if (text == nullptr) size = 0;
    position = skipBlanks(text, size, position);

    bool negative = false;
    char negativeLetter = '\0';
    char positiveLetter = '\0';
    if (kind == kAngleKindLatitude) {
        negativeLetter = 'S';
        positiveLetter = 'N';
    } else if (kind == kAngleKindLongitude) {
        negativeLetter = 'W';
        positiveLetter = 'E';
    }
    if (negativeLetter != '\0') {
        if (upper(at(text, size, position)) == negativeLetter) {
            negative = true;
            ++position;
        }
        if (upper(at(text, size, position)) == positiveLetter) ++position;
    }
    position = skipBlanks(text, size, position);

    // A "-" before the degrees belongs to the whole angle, as appendAngle
    // writes it: "-5:30:00" is minus (5 degrees 30 minutes). Together with a
    // south or west letter the angle is still negative.
    if (at(text, size, position) == '-') {
        negative = true;
        ++position;
    }

    std::int32_t degrees = 0;
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    position = parseInteger(text, size, position, &degrees);
    position = skipSeparators(text, size, position);
    position = parseInteger(text, size, position, &minutes);
    position = skipSeparators(text, size, position);
    parseInteger(text, size, position, &seconds);

    const std::uint32_t units =
        static_cast<std::uint32_t>(degrees) * static_cast<std::uint32_t>(kAngleUnitsPerDegree) +
        static_cast<std::uint32_t>(minutes) * static_cast<std::uint32_t>(kAngleUnitsPerMinute) +
        static_cast<std::uint32_t>(seconds) * static_cast<std::uint32_t>(kAngleUnitsPerSecond);
    if (angle != nullptr) *angle = toSigned(negative ? 0u - units : units);
    return true;
}

}  // namespace vorlant
