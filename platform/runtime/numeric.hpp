#pragma once
// The conversions of the runtime the game was written for: implicit
// conversions to whole numbers round halves to even, Int floors, Fix truncates.
#include <cmath>
#include <cstdint>

namespace plat {

double RoundHalfEven(double v);
// Banker's rounding into the target width; out of range raises Overflow.
int32_t CLng(double v);
int16_t CInt(double v);
uint8_t CByte(double v);
// Int: the largest whole number not above v.
inline double Int(double v) { return std::floor(v); }
// Fix: the whole part, towards zero.
inline double Fix(double v) { return std::trunc(v); }

}  // namespace plat
