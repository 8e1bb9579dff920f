#include "ui/EditNumber.h"

namespace vorlant {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads the digits from `i` to the end of `text` into *magnitude; fails
// without digits, on any other character, or above `limit`.
bool readDigits(const std::string& text, std::size_t i, uint64_t limit, uint64_t* magnitude) {
    if (i >= text.size()) return false;
    uint64_t m = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        m = m * 10 + static_cast<uint64_t>(c - '0');
        if (m > limit) return false;  // stops before the 64-bit value could overflow
    }
    *magnitude = m;
    return true;
}

std::size_t skipBlanks(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    return i;
}

}  // namespace

bool readEditUnsigned(const std::string& text, uint32_t* value) {
    uint64_t m = 0;
    const bool ok = readDigits(text, skipBlanks(text), 0xFFFFFFFFull, &m);
    if (value != nullptr) *value = ok ? static_cast<uint32_t>(m) : 0;
    return ok;
}

bool readEditSigned(const std::string& text, int32_t* value) {
    std::size_t i = skipBlanks(text);
    const bool negative = i < text.size() && text[i] == '-';
    if (negative) ++i;
    uint64_t m = 0;
    const bool ok = readDigits(text, i, negative ? 0x80000000ull : 0x7FFFFFFFull, &m);
    // Negated in 64 bits, so INT32_MIN needs no overflowing step.
    const int64_t v = negative ? -static_cast<int64_t>(m) : static_cast<int64_t>(m);
    if (value != nullptr) *value = ok ? static_cast<int32_t>(v) : 0;
    return ok;
}

uint32_t editUnsigned(const std::string& text) {
    uint32_t v = 0;
    readEditUnsigned(text, &v);
    return v;
}

int32_t editSigned(const std::string& text) {
    int32_t v = 0;
    readEditSigned(text, &v);
    return v;
}

}  // namespace vorlant
