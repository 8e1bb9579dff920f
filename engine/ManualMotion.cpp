#include "engine/ManualMotion.h"

#include <cmath>

namespace vorlant {

namespace {

constexpr int32_t kFactor[7] = {21, 42, 64, 85, 106, 128, 256};

// b * factor / 64 in 32-bit two's complement, wrapping like the hardware
// arithmetic it stands for; the division truncates toward zero.
int32_t scaledBase(uint32_t base, int32_t factor) {
    const uint32_t product = base * static_cast<uint32_t>(factor);
    return toSigned32(product) / 64;
}

int32_t saturate(long double v) {
    if (v >= 2147483647.0L) return INT32_MAX;
    if (v <= -2147483648.0L) return INT32_MIN;
    return static_cast<int32_t>(v);  // truncation toward zero
}

// Negation without signed overflow: the most negative value stays itself,
// as two's complement negation does.
int32_t negate(int32_t v) {
    return toSigned32(0u - static_cast<uint32_t>(v));
}

}  // namespace

int32_t manualSpeedMagnitude(uint32_t base, uint32_t top, uint8_t position) {
    if (position <= 6) return scaledBase(base, kFactor[position]);
    const int32_t start = scaledBase(base, 256);
    if (top == 0) return start;
    // x = ((p - 6) / 25) ^ 1.5 as x * sqrt(x): both steps are correctly
    // rounded, so every build computes the same bits.
    const double q = static_cast<double>(position - 6) / 25.0;
    const double x = q * std::sqrt(q);
    const long double speed = static_cast<long double>(x) * static_cast<long double>(top) +
                              (1.0L - static_cast<long double>(x)) * static_cast<long double>(start);
    return saturate(speed);
}

int32_t manualSpeed(const ControllerSettings& s, int32_t axisMode, uint8_t direction, uint8_t position) {
    uint32_t base = 200;
    uint32_t top = 200000;
    if (direction <= 1) {
        base = s.deSiderealRate;
        top = s.deMaxRate;
    } else if (direction <= 3) {
        base = s.raSiderealRate;
        top = s.raMaxRate;
    }
    int32_t speed = manualSpeedMagnitude(base, top, position);
    if (direction == 1 || direction == 3) speed = negate(speed);
    if (direction <= 1 && (axisMode & ~4) == 3) speed = negate(speed);
    return speed;
}

Frame manualMoveFrame(const ControllerSettings& s, int32_t axisMode, uint8_t direction, uint8_t position) {
    const uint8_t axis = direction <= 1 ? 0x40 : direction <= 3 ? 0x80 : 0x00;
    const int32_t speed = manualSpeed(s, axisMode, direction, position);
    return buildRequestBBU32(35, 0, axis, static_cast<uint32_t>(speed));
}

Frame stopFrame(uint8_t direction) {
    const uint8_t axis = direction <= 1 ? 0x40 : direction <= 3 ? 0x80 : direction == 4 ? 0xC0 : 0x00;
    return buildRequest(33, 0, axis);
}

}  // namespace vorlant
