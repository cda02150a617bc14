#include "engine/helpers.hpp"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/runtime/numeric.hpp"

namespace fw {

int32_t RGBTo565(int32_t& r, int32_t& g, int32_t& b) {
  r = std::min(r, 255);
  g = std::min(g, 255);
  b = std::min(b, 255);
  r = static_cast<int32_t>(std::floor(r * 32.0 / 256.0));
  g = static_cast<int32_t>(std::floor(g * 64.0 / 256.0));
  b = static_cast<int32_t>(std::floor(b * 32.0 / 256.0));
  return r * 2048 + g * 32 + b;
}

int32_t Pack565(int32_t& r, int32_t& g, int32_t& b) {
  r = std::min(r, 31);
  g = std::min(g, 63);
  b = std::min(b, 31);
  return r * 2048 + g * 32 + b;
}

int32_t Add565(int32_t a, int32_t b) {
  const int32_t red = std::min((a & 0xF800) + (b & 0xF800), 0xF800);
  const int32_t green = std::min((a & 0x7E0) + (b & 0x7E0), 0x7E0);
  const int32_t blue = std::min((a & 0x1F) + (b & 0x1F), 0x1F);
  return red + green + blue;
}

uint8_t HiByte(int32_t v) {
  const double q = plat::RoundHalfEven((v + 32768.0) / 256.0);
  // Cells whose quotient rounds up to 256 do not fit a byte; the highest key
  // is the nearest one that does.
  return static_cast<uint8_t>(std::clamp(q, 0.0, 255.0));
}

uint8_t LoByte(int32_t v) { return static_cast<uint8_t>((((v + 32768) % 256) + 256) % 256); }

float ArcSin(float x) {
  if (x == 1.0f) return static_cast<float>(kPi / 2);
  if (x == -1.0f) return static_cast<float>(-kPi / 2);
  if (!(x > -1.0f && x < 1.0f)) return 0.0f;
  return static_cast<float>(std::atan(x / std::sqrt(1.0 - static_cast<double>(x) * x)));
}

int32_t AnsiByteLen(std::string_view s) {
  // The game's text is held in its code page already.
  return static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX));
}

}  // namespace fw
