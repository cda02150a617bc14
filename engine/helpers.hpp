#pragma once
// Small numeric, colour and text helpers shared by the screens.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/runtime/strings.hpp"

namespace fw {

// 5-6-5 packing; both write the reduced components back, as callers rely on.
int32_t RGBTo565(int32_t& r, int32_t& g, int32_t& b);
int32_t Pack565(int32_t& r, int32_t& g, int32_t& b);
// Per-channel saturating sum of two 5-6-5 colours.
int32_t Add565(int32_t a, int32_t b);

// The two bytes of a 16-bit map cell (stored offset by 32768).
uint8_t HiByte(int32_t v);
uint8_t LoByte(int32_t v);

// Arcsine with the game's pi; 0 outside -1..1.
float ArcSin(float x);

// Byte length of a text in the game's code page: a Chinese character
// counts 2.
int32_t AnsiByteLen(std::string_view s);

// Index of the first record whose Name matches, letter case ignored; 0 when
// none does.
template <typename Record>
int32_t FindRecordIndexByName(std::string_view name, const std::vector<Record>& records) {
  for (size_t i = 0; i < records.size(); ++i)
    if (plat::EqualNoCase(records[i].Name, name)) return static_cast<int32_t>(i);
  return 0;
}

constexpr double kPi = 3.141592653589;

}  // namespace fw
