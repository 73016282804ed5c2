#pragma once

#include <cstdint>

// Conversion of a number to a 32-bit integer: nearest, ties to even.
// Throws RunTimeError(Overflow) when the result does not fit.
std::int32_t roundToInt32(double value);
