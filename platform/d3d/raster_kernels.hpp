// The rectangle kernels, included by one source file per instruction set;
// RASTER_KERNEL_PICK names that file's picker. Integer arithmetic only, so
// every instruction set draws the same pixels.
#include "platform/d3d/raster_internal.hpp"
#include "platform/d3d/raster_pixel.hpp"

namespace plat::raster {
namespace {

template <Filter F, Layout L, bool Keyed, BlendMode B, bool Mod>
void RectRows(const RectContext& c) {
  const uint32_t a256 = c.a256;
  for (int y = 0; y < c.height; ++y) {
    uint16_t* __restrict d = c.dst + static_cast<ptrdiff_t>(y) * c.dstPitch;
    const int n = c.width;
    if constexpr (F == Filter::None) {
      for (int i = 0; i < n; ++i) d[i] = px::Combine<B>(c.flat, d[i], a256, c.coefs);
    } else if constexpr (F == Filter::Point && L == Layout::Run) {
      const uint16_t* __restrict run = c.tex + static_cast<ptrdiff_t>(c.rowA[y]) * c.texPitch + c.colA[0];
      const uint16_t key = c.key;
      for (int i = 0; i < n; ++i) {
        const uint16_t t = run[i];
        uint32_t col = px::Spread(t);
        if constexpr (Mod) col = px::Modulate(col, c.r8, c.g8, c.b8);
        uint32_t a = a256;
        if constexpr (Keyed) a = (a * px::KeyAlpha(t, key)) >> 8;
        d[i] = px::Combine<B>(col, d[i], a, c.coefs);
      }
    } else if constexpr (F == Filter::Point) {
      // The row's texels spread out once for as many screen rows as share
      // it, then looked up per pixel.
      uint32_t* __restrict buf = c.rowBuffer;
      uint32_t* __restrict bufA = c.rowAlpha;
      if (y == 0 || c.rowA[y] != c.rowA[y - 1]) {
        const uint16_t* __restrict r0 = c.tex + static_cast<ptrdiff_t>(c.rowA[y]) * c.texPitch + c.first;
        const int count = c.count;
        const uint16_t key = c.key;
        for (int k = 0; k < count; ++k) buf[k] = px::Spread(r0[k]);
        if constexpr (Keyed)
          for (int k = 0; k < count; ++k) bufA[k] = px::KeyAlpha(r0[k], key);
      }
      const int32_t* __restrict ca = c.colA;
      for (int i = 0; i < n; ++i) {
        uint32_t col = buf[ca[i]];
        if constexpr (Mod) col = px::Modulate(col, c.r8, c.g8, c.b8);
        uint32_t a = a256;
        if constexpr (Keyed) a = (a * bufA[ca[i]]) >> 8;
        d[i] = px::Combine<B>(col, d[i], a, c.coefs);
      }
    } else {
      // Blend the two texel rows first, once for as many screen rows as
      // share them, then the columns per pixel.
      uint32_t* __restrict buf = c.rowBuffer;
      uint32_t* __restrict bufA = c.rowAlpha;
      if (y == 0 || c.rowA[y] != c.rowA[y - 1] || c.rowB[y] != c.rowB[y - 1] || c.rowW[y] != c.rowW[y - 1]) {
        const uint16_t* __restrict r0 = c.tex + static_cast<ptrdiff_t>(c.rowA[y]) * c.texPitch + c.first;
        const uint16_t* __restrict r1 = c.tex + static_cast<ptrdiff_t>(c.rowB[y]) * c.texPitch + c.first;
        const uint32_t wy = c.rowW[y];
        const int count = c.count;
        const uint16_t key = c.key;
        for (int k = 0; k < count; ++k) buf[k] = px::Lerp(px::Spread(r0[k]), px::Spread(r1[k]), wy);
        if constexpr (Keyed)
          for (int k = 0; k < count; ++k)
            bufA[k] = px::LerpAlpha(px::KeyAlpha(r0[k], key), px::KeyAlpha(r1[k], key), wy);
      }
      const int32_t* __restrict ca = c.colA;
      const int32_t* __restrict cb = c.colB;
      const uint8_t* __restrict cw = c.colW;
      const uint32_t* __restrict run = buf + c.colA[0];
      for (int i = 0; i < n; ++i) {
        uint32_t col;
        uint32_t a = a256;
        if constexpr (L == Layout::Run) {
          col = ((run[2 * i] + run[2 * i + 1]) >> 1) & px::kSpreadMask;
          if constexpr (Keyed) a = (a * ((bufA[c.colA[0] + 2 * i] + bufA[c.colA[0] + 2 * i + 1]) >> 1)) >> 8;
        } else {
          col = px::Lerp(buf[ca[i]], buf[cb[i]], cw[i]);
          if constexpr (Keyed) a = (a * px::LerpAlpha(bufA[ca[i]], bufA[cb[i]], cw[i])) >> 8;
        }
        if constexpr (Mod) col = px::Modulate(col, c.r8, c.g8, c.b8);
        d[i] = px::Combine<B>(col, d[i], a, c.coefs);
      }
    }
  }
}

template <Filter F, Layout L, bool K, BlendMode B>
RectFn PickMod(bool mod) {
  return mod ? &RectRows<F, L, K, B, true> : &RectRows<F, L, K, B, false>;
}
template <Filter F, Layout L, bool K>
RectFn PickBlend(BlendMode b, bool mod) {
  switch (b) {
    case BlendMode::Opaque: return PickMod<F, L, K, BlendMode::Opaque>(mod);
    case BlendMode::Add: return PickMod<F, L, K, BlendMode::Add>(mod);
    case BlendMode::Alpha: return PickMod<F, L, K, BlendMode::Alpha>(mod);
    default: return PickMod<F, L, K, BlendMode::General>(mod);
  }
}
template <Filter F, Layout L>
RectFn PickKey(bool keyed, BlendMode b, bool mod) {
  return keyed ? PickBlend<F, L, true>(b, mod) : PickBlend<F, L, false>(b, mod);
}
template <Filter F>
RectFn PickLayout(Layout l, bool keyed, BlendMode b, bool mod) {
  return l == Layout::Run ? PickKey<F, Layout::Run>(keyed, b, mod) : PickKey<F, Layout::Gather>(keyed, b, mod);
}

}  // namespace

RectFn RASTER_KERNEL_PICK(Filter f, Layout l, bool keyed, BlendMode b, bool mod) {
  switch (f) {
    case Filter::None: return PickBlend<Filter::None, Layout::Gather, false>(b, false);
    case Filter::Point: return PickLayout<Filter::Point>(l, keyed, b, mod);
    default: return PickLayout<Filter::Linear>(l, keyed, b, mod);
  }
}

}  // namespace plat::raster
