// Bounded 8-bit text building: append routines that build text piece by
// piece in a fixed-size buffer, and parse routines that read numbers and
// angles back. No allocation, no locale, no shared state: any thread may
// call them.
//
// Buffer contract. A buffer is `size` bytes; its last byte (index size - 1)
// is reserved for the terminating NUL, so text never holds more than
// size - 1 characters. Every append routine writes from `position` on and
// returns the index of the NUL it wrote, so calls chain by handing each
// result to the next call. Text that does not fit is cut off.
//
// Hard guarantees (whatever the arguments):
//   - nothing outside [0, size) is ever read or written;
//   - with size 0 (or no buffer) an append routine writes nothing and
//     returns 0;
//   - an append routine handed a position past size - 1 writes nothing and
//     returns that position unchanged;
//   - the parse routines never read at or past `size`, nor past a NUL;
//   - all 32-bit arithmetic wraps around (defined behaviour, never a trap):
//     "4294967297" reads as 1, "2147483648" as INT32_MIN.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlant {

// Angles are signed 32-bit values in 1/86400 degree, north and east positive.
constexpr std::int32_t kAngleUnitsPerDegree = 86400;
constexpr std::int32_t kAngleUnitsPerMinute = 1440;
constexpr std::int32_t kAngleUnitsPerSecond = 24;

// Hemisphere kinds of parseAngle.
constexpr int kAngleKindNone = 0;
constexpr int kAngleKindLatitude = 1;   // letters N (positive) and S (negative)
constexpr int kAngleKindLongitude = 2;  // letters E (positive) and W (negative)

// Copies the NUL-terminated `text` (nullptr counts as empty).
std::size_t appendText(char* buffer, std::size_t size, std::size_t position, const char* text);

// Signed decimal, "-" for negative values, no leading zeros or blanks.
std::size_t appendDecimal(char* buffer, std::size_t size, std::size_t position, std::int32_t value);

// Two decimal digits ("05"), the value clamped to 99. A position at
// size - 1 writes nothing, not even a NUL; at size - 2 only the tens digit.
std::size_t appendTwoDigits(char* buffer, std::size_t size, std::size_t position, std::uint32_t value);

// All eight hexadecimal digits (upper case), least significant first:
// 0x2C gives "C2000000".
std::size_t appendHexLowFirst(char* buffer, std::size_t size, std::size_t position, std::uint32_t value);

// A version's four bytes, most significant first, as decimals joined by
// dots: 0x00010004 gives "0.1.0.4".
std::size_t appendDottedVersion(char* buffer, std::size_t size, std::size_t position, std::uint32_t value);

// "-D:MM:SS" (the "-" only for negative angles); the remainder below one
// arc-second is dropped. A position at size - 1 writes nothing.
std::size_t appendAngle(char* buffer, std::size_t size, std::size_t position, std::int32_t angle);

// Reads an optional "-" and then decimal digits from `position` on. Stores
// the value in `*value` when given (0 without digits) and returns the
// position after the last character read.
std::size_t parseInteger(const char* text, std::size_t size, std::size_t position,
                         std::int32_t* value = nullptr);

// Reads "[blanks][letter][blanks][-]D[sep]M[sep]S" into `*angle`: the
// separators are any run of ":" and "."; a missing number counts as 0; what
// follows the seconds is ignored. The hemisphere letter (by `kind`, case
// ignored) and a "-" before the degrees each make the angle negative; both
// together still mean negative ("S -5" is five degrees south), so every text
// appendAngle writes reads back to its value, with or without a letter in
// front. Never fails: always returns true.
bool parseAngle(const char* text, std::size_t size, std::size_t position, std::int32_t* angle, int kind);

}  // namespace vorlant
