// Reading an edit box's text as a number, the way the Win32 dialog manager
// reads an item as an integer, so every front turns the same text into the
// same value: leading blanks are skipped, then (signed only) one optional
// "-", then decimal digits up to the end of the text. Anything else after
// the digits, no digits at all, or a value out of range is a failure.
#pragma once

#include <cstdint>
#include <string>

namespace vorlant {

// Unsigned: 0..4294967295. Returns false (and 0 in *value) on failure;
// `value` may be null.
bool readEditUnsigned(const std::string& text, uint32_t* value);
// Signed: -2147483648..2147483647. Returns false (and 0) on failure.
bool readEditSigned(const std::string& text, int32_t* value);

// The value or 0 on failure.
uint32_t editUnsigned(const std::string& text);
int32_t editSigned(const std::string& text);

// How a settings edit read: a number within its field, a well-formed
// number outside it (held at the nearest end), or text that is no number.
enum class EditReading { InRange, Clamped, Unreadable };

// Reads a number for a wire field of range [minimum, maximum]: the same
// text as above (a "-" only where minimum < 0), with blanks after the
// number ignored as well, but a number of any length outside the range is
// clamped into it instead of failing, so a typed 300 for an 8-bit field
// becomes 255 rather than its low byte. Unreadable text ("abc", "1,200",
// nothing but blanks) gives 0 in *value; the settings edits then keep
// their previous value.
EditReading readEditClamped(const std::string& text, int64_t minimum, int64_t maximum, int64_t* value);

}  // namespace vorlant
