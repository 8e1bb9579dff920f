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

// The value or 0 on failure: what the dialog uses.
uint32_t editUnsigned(const std::string& text);
int32_t editSigned(const std::string& text);

}  // namespace vorlant
