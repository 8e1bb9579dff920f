// Manual motion: slider position -> signed controller speed.
#pragma once

#include <cstdint>

#include "engine/ControllerSettings.h"
#include "engine/WireProtocol.h"

namespace vorlant {

// Unsigned speed magnitude for a slider position (0..255). Positions up to
// 6 are fractions of the base (sidereal) rate; above 6 a curve runs from
// 4 x base to the top rate at position 31. All arithmetic is defined: the
// integer products wrap in 32 bits, the curve saturates at the 32-bit
// limits, and a top rate of 0 (parameter block not decoded) keeps 4 x base.
int32_t manualSpeedMagnitude(uint32_t base, uint32_t top, uint8_t position);

// The speed for a direction code, with its sign (codes 1 and 3 negate; for
// codes 0 and 1 the sign flips again when (axisMode & ~4) == 3).
int32_t manualSpeed(const ControllerSettings& s, int32_t axisMode, uint8_t direction, uint8_t position);

// The request-35 frame that starts the move and the request-33 frame that
// stops it.
Frame manualMoveFrame(const ControllerSettings& s, int32_t axisMode, uint8_t direction, uint8_t position);
Frame stopFrame(uint8_t direction);

}  // namespace vorlant
