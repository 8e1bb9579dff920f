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

EditReading readEditClamped(const std::string& text, int64_t minimum, int64_t maximum, int64_t* value) {
    *value = 0;
    std::size_t i = skipBlanks(text);
    // Blanks after the number are as harmless as those before it (a pasted
    // "1200 "); anything else there makes the text unreadable.
    std::size_t end = text.size();
    while (end > i && isBlank(text[end - 1])) --end;
    const bool negative = minimum < 0 && i < text.size() && text[i] == '-';
    if (negative) ++i;
    // Any digit string is well formed; past the range's magnitude only the
    // fact that it is too large matters.
    const uint64_t limit = static_cast<uint64_t>(negative ? -minimum : (maximum < 0 ? 0 : maximum));
    if (i >= end) return EditReading::Unreadable;
    uint64_t m = 0;
    bool over = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return EditReading::Unreadable;
        if (!over) {
            m = m * 10 + static_cast<uint64_t>(c - '0');
            if (m > limit) over = true;
        }
    }
    int64_t v = over ? static_cast<int64_t>(limit) : static_cast<int64_t>(m);
    if (negative) v = -v;
    if (v < minimum) {
        *value = minimum;
        return EditReading::Clamped;
    }
    if (v > maximum) {
        *value = maximum;
        return EditReading::Clamped;
    }
    *value = v;
    return over ? EditReading::Clamped : EditReading::InRange;
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
