#pragma once
// Per-pixel combining shared by the triangle spans and the rectangle
// kernels. Internal linkage throughout (see pixel565.hpp).
#include <cstdint>

#include "platform/d3d/pixel565.hpp"
#include "platform/d3d/raster.hpp"

namespace plat::px {

static inline uint32_t Min(uint32_t a, uint32_t b) { return a < b ? a : b; }
static inline int32_t MaxZero(int32_t a) { return a > 0 ? a : 0; }

// Vertex alpha 0..255 as 0..256, so 255 is exactly one.
static inline uint32_t Alpha256(int32_t a8) { return static_cast<uint32_t>(a8 + (a8 >> 7)); }
// A texel's alpha under an alpha key: 0 for the key colour, else 256.
static inline uint32_t KeyAlpha(uint16_t texel, uint16_t key) { return static_cast<uint32_t>(texel != key) << 8; }
static inline uint32_t LerpAlpha(uint32_t a, uint32_t b, uint32_t w) { return (a * (32 - w) + b * w) >> 5; }

static inline int32_t Scale5(uint32_t c) { return static_cast<int32_t>((c * 2114u) >> 8); }  // 31 -> 256
static inline int32_t Scale6(uint32_t c) { return static_cast<int32_t>((c * 1041u) >> 8); }  // 63 -> 256

static inline uint32_t BlendChannel(uint32_t s, uint32_t d, int32_t s8, int32_t d8, int32_t a256, uint32_t max,
                                    const BlendCoefficients& k) {
  const int32_t fs = MaxZero(k.source.one * 256 + k.source.src * s8 + k.source.alpha * a256 + k.source.dst * d8);
  const int32_t fd = MaxZero(k.destination.one * 256 + k.destination.src * s8 + k.destination.alpha * a256 +
                             k.destination.dst * d8);
  return Min((s * static_cast<uint32_t>(fs) + d * static_cast<uint32_t>(fd)) >> 8, max);
}

static inline uint32_t BlendGeneral(uint32_t s, uint32_t d, uint32_t a256, const BlendCoefficients& k) {
  const uint32_t sr = (s >> 11) & 31u, sg = (s >> 21) & 63u, sb = s & 31u;
  const uint32_t dr = (d >> 11) & 31u, dg = (d >> 21) & 63u, db = d & 31u;
  const int32_t a = static_cast<int32_t>(a256);
  const uint32_t r = BlendChannel(sr, dr, Scale5(sr), Scale5(dr), a, 31u, k);
  const uint32_t g = BlendChannel(sg, dg, Scale6(sg), Scale6(dg), a, 63u, k);
  const uint32_t b = BlendChannel(sb, db, Scale5(sb), Scale5(db), a, 31u, k);
  return (r << 11) | (g << 21) | b;
}

// A spread source pixel with its alpha (0..256) put onto a target pixel.
template <BlendMode B>
static inline uint16_t Combine(uint32_t src, uint16_t dst, uint32_t a256, const BlendCoefficients& k) {
  if constexpr (B == BlendMode::Opaque) return Pack(src);
  if constexpr (B == BlendMode::Add) return Pack(AddSaturate(src, Spread(dst)));
  if constexpr (B == BlendMode::Alpha) return Pack(Lerp(Spread(dst), src, (a256 + 4) >> 3));
  if constexpr (B == BlendMode::General) return Pack(BlendGeneral(src, Spread(dst), a256, k));
}

}  // namespace plat::px
