#pragma once
// RGB565 arithmetic on "spread" pixels: the 16 bits laid out in a 32-bit word
// as 00000GGGGGG00000RRRRR000000BBBBB, so the three channels have room to
// grow and one integer multiply or add works on all three at once.
//
// The helpers have internal linkage: the pixel kernels are compiled once per
// instruction set, and no copy built for one may stand in for another.
#include <cstdint>

namespace plat::px {

constexpr uint32_t kSpreadMask = 0x07E0F81Fu;

static inline uint32_t Spread(uint16_t c) { return (c | (static_cast<uint32_t>(c) << 16)) & kSpreadMask; }
static inline uint16_t Pack(uint32_t s) { return static_cast<uint16_t>(s | (s >> 16)); }

// Per channel floor((a * (32 - w) + b * w) / 32), w in 0..32.
static inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t w) { return ((a * (32 - w) + b * w) >> 5) & kSpreadMask; }

// Per channel a + b, each channel saturating at its maximum.
static inline uint32_t AddSaturate(uint32_t a, uint32_t b) {
  uint32_t sum = a + b;
  // A carry out of red or blue fills that 5-bit channel, out of green the
  // 6-bit one.
  const uint32_t redBlue = sum & 0x00010020u, green = sum & 0x08000000u;
  sum |= (redBlue - (redBlue >> 5)) | (green - (green >> 6));
  return sum & kSpreadMask;
}

// Per channel floor(c * (m + 1) / 256) for a colour m of 0..255 per channel,
// so 255 leaves the channel as it is.
static inline uint32_t Modulate(uint32_t s, uint32_t r8, uint32_t g8, uint32_t b8) {
  const uint32_t r = (((s >> 11) & 31u) * (r8 + 1)) >> 8;
  const uint32_t g = (((s >> 21) & 63u) * (g8 + 1)) >> 8;
  const uint32_t b = ((s & 31u) * (b8 + 1)) >> 8;
  return (r << 11) | (g << 21) | b;
}

// An 8-bit-per-channel colour as a spread pixel (the top bits of each).
static inline uint32_t FromRgb8(uint32_t r8, uint32_t g8, uint32_t b8) {
  return ((r8 >> 3) << 11) | ((g8 >> 2) << 21) | (b8 >> 3);
}

static inline uint16_t Rgb565FromArgb(uint32_t argb) {
  return Pack(FromRgb8((argb >> 16) & 255u, (argb >> 8) & 255u, argb & 255u));
}

}  // namespace plat::px
