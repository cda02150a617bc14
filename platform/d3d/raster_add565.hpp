// The additive rectangle kernels, written once over a vector type V of
// 16-bit lanes that each instruction set's source file supplies before
// including this. Texels stay packed as RGB565 throughout: filtered, tinted
// by the vertex colour and added to the target channel by channel with the
// same floors and saturation as the per-pixel kernels, so both draw the same
// pixels. Internal linkage, as for the per-pixel kernels.
//
// V provides: T, N (lanes), Load, Store, Set, And, Or, Xor, Add, AddSat
// (unsigned, saturating), MulLo, MulHi (unsigned), Shl, Shr, HalvePairs (N
// floor averages of 2N texels taken in pairs) and, where it has byte
// shuffles, Window (see Columns::Window).
#include <cstring>

#include "platform/d3d/raster_internal.hpp"
#include "platform/d3d/raster_pixel.hpp"

namespace plat::raster {
namespace {

// Per channel floor((a + b) / 2): each channel's lowest bit is dropped
// before the shift so that none moves into its neighbour.
template <class V>
inline typename V::T Avg565(typename V::T a, typename V::T b) {
  return V::Add(V::And(a, b), V::Shr(V::And(V::Xor(a, b), V::Set(0xF7DE)), 1));
}

// Per channel floor((a * w1 + b * w) / 32) with w1 = 32 - w. The sums fit
// 16 bits: red as a plain number, green still at its place (2016 << 5),
// blue as a plain number.
template <class V>
inline typename V::T Lerp565(typename V::T a, typename V::T b, typename V::T w, typename V::T w1) {
  using T = typename V::T;
  const T mg = V::Set(0x07E0), mb = V::Set(0x001F);
  const T r = V::Add(V::MulLo(V::Shr(a, 11), w1), V::MulLo(V::Shr(b, 11), w));
  const T g = V::Add(V::MulLo(V::And(a, mg), w1), V::MulLo(V::And(b, mg), w));
  const T bl = V::Add(V::MulLo(V::And(a, mb), w1), V::MulLo(V::And(b, mb), w));
  return V::Or(V::Or(V::And(V::Shl(r, 6), V::Set(0xF800)), V::And(V::Shr(g, 5), mg)), V::Shr(bl, 5));
}

// The vertex colour's factors (m + 1) * 8 per channel.
template <class V>
struct Tint {
  typename V::T r, g, b;
};

// Source texels tinted (floor(c * (m + 1) / 256) per channel) and added to
// the target. Each channel is added at the top of a lane, where the
// saturating add stops it at its maximum.
template <class V, bool Mod>
inline typename V::T AddTo(typename V::T s, typename V::T d, const Tint<V>& k) {
  using T = typename V::T;
  const T top5 = V::Set(0xF800);
  T sr, sg, sb;
  if constexpr (Mod) {
    sr = V::And(V::MulLo(V::Shr(s, 11), k.r), top5);
    sg = V::Shl(V::MulHi(V::And(s, V::Set(0x07E0)), k.g), 10);
    sb = V::And(V::MulLo(V::And(s, V::Set(0x001F)), k.b), top5);
  } else {
    sr = V::And(s, top5);
    sg = V::And(V::Shl(s, 5), V::Set(0xFC00));
    sb = V::Shl(s, 11);
  }
  const T r = V::And(V::AddSat(d, sr), top5);
  const T g = V::And(V::Shr(V::AddSat(V::Shl(d, 5), sg), 5), V::Set(0x07E0));
  const T b = V::Shr(V::AddSat(V::Shl(d, 11), sb), 11);
  return V::Or(V::Or(r, g), b);
}

// One row of texels blended from two with the row weight w (1..31).
template <class V>
void BlendRows(const uint16_t* r0, const uint16_t* r1, uint32_t w, uint16_t* out, int count) {
  int k = 0;
  if (w == 16) {
    for (; k + V::N <= count; k += V::N) V::Store(out + k, Avg565<V>(V::Load(r0 + k), V::Load(r1 + k)));
  } else {
    const typename V::T wv = V::Set(static_cast<uint16_t>(w)), w1 = V::Set(static_cast<uint16_t>(32 - w));
    for (; k + V::N <= count; k += V::N) V::Store(out + k, Lerp565<V>(V::Load(r0 + k), V::Load(r1 + k), wv, w1));
  }
  for (; k < count; ++k) out[k] = px::Pack(px::Lerp(px::Spread(r0[k]), px::Spread(r1[k]), w));
}

// The N source texels of pixels i.. of a row whose texels (from 'first')
// are at src; Window and Gather read src only within the padded row.
template <class V, Columns C, bool Linear>
inline typename V::T Fetch(const RectContext& c, const uint16_t* src, int i) {
  using T = typename V::T;
  if constexpr (C == Columns::Unit) {
    return V::Load(src + c.colA[0] + i);
  } else if constexpr (C == Columns::Halving) {
    return V::HalvePairs(src + c.colA[0] + 2 * i);
  } else if constexpr (C == Columns::Window) {
    T a, b;
    V::Window(src, c.windowStart + 2 * (i / 16), c.windowCtrl + (i / 16) * kWindowGroupBytes, a, Linear ? &b : nullptr);
    if constexpr (Linear) {
      const T w = V::Widen(c.colW + i);
      return Lerp565<V>(a, b, w, V::Sub(V::Set(32), w));
    }
    return a;
  } else {
    alignas(32) uint16_t t[V::N];
    for (int k = 0; k < V::N; ++k) {
      const uint16_t a = src[c.colA[i + k]];
      if constexpr (Linear)
        t[k] = px::Pack(px::Lerp(px::Spread(a), px::Spread(src[c.colB[i + k]]), c.colW[i + k]));
      else
        t[k] = a;
    }
    return V::Load(t);
  }
}

template <class V, Columns C, bool Linear, bool Mod>
void AddRows(const RectContext& c) {
  using T = typename V::T;
  constexpr int N = V::N;
  Tint<V> tint{};
  if constexpr (Mod)
    tint = {V::Set(static_cast<uint16_t>((c.r8 + 1) * 8)), V::Set(static_cast<uint16_t>((c.g8 + 1) * 8)),
            V::Set(static_cast<uint16_t>((c.b8 + 1) * 8))};
  const int n = c.width, full = n - n % N;
  for (int y = 0; y < c.height; ++y) {
    uint16_t* __restrict d = c.dst + static_cast<ptrdiff_t>(y) * c.dstPitch;
    const uint16_t* r0 = c.tex + static_cast<ptrdiff_t>(c.rowA[y]) * c.texPitch + c.first;
    const uint32_t wy = c.rowW[y];
    // Unit and Halving read an unblended texture row in place; everything
    // else goes through the padded row, filled once for as many screen
    // rows as share it.
    const uint16_t* src = c.row565;
    if (wy == 0 && (C == Columns::Unit || C == Columns::Halving)) {
      src = r0;
    } else if (y == 0 || c.rowA[y] != c.rowA[y - 1] || c.rowB[y] != c.rowB[y - 1] || wy != c.rowW[y - 1]) {
      if (wy == 0)
        std::memcpy(c.row565, r0, static_cast<size_t>(c.count) * sizeof(uint16_t));
      else
        BlendRows<V>(r0, c.tex + static_cast<ptrdiff_t>(c.rowB[y]) * c.texPitch + c.first, wy, c.row565, c.count);
    }
    int i = 0;
    for (; i < full; i += N) V::Store(d + i, AddTo<V, Mod>(Fetch<V, C, Linear>(c, src, i), V::Load(d + i), tint));
    if (i == n) continue;
    // The last few pixels through copies, so that nothing beyond the row
    // is read or written.
    const size_t rest = static_cast<size_t>(n - i);
    alignas(32) uint16_t td[N] = {};
    std::memcpy(td, d + i, rest * sizeof(uint16_t));
    T s;
    if constexpr (C == Columns::Unit) {
      alignas(32) uint16_t ts[N] = {};
      std::memcpy(ts, src + c.colA[0] + i, rest * sizeof(uint16_t));
      s = V::Load(ts);
    } else if constexpr (C == Columns::Halving) {
      alignas(32) uint16_t ts[2 * N] = {};
      std::memcpy(ts, src + c.colA[0] + 2 * i, 2 * rest * sizeof(uint16_t));
      s = V::HalvePairs(ts);
    } else {
      s = Fetch<V, C, Linear>(c, src, i);
    }
    V::Store(td, AddTo<V, Mod>(s, V::Load(td), tint));
    std::memcpy(d + i, td, rest * sizeof(uint16_t));
  }
}

template <class V, Columns C, bool Linear>
RectFn AddPickMod(bool mod) {
  return mod ? &AddRows<V, C, Linear, true> : &AddRows<V, C, Linear, false>;
}

// The kernel for a way of finding texels; Window only where V has it.
template <class V, bool HasWindow>
RectFn AddPick(Columns c, bool linear, bool mod) {
  switch (c) {
    case Columns::Unit: return AddPickMod<V, Columns::Unit, false>(mod);
    case Columns::Halving: return AddPickMod<V, Columns::Halving, true>(mod);
    case Columns::Window:
      if constexpr (HasWindow)
        return linear ? AddPickMod<V, Columns::Window, true>(mod) : AddPickMod<V, Columns::Window, false>(mod);
      return nullptr;
    default: return linear ? AddPickMod<V, Columns::Gather, true>(mod) : AddPickMod<V, Columns::Gather, false>(mod);
  }
}

}  // namespace
}  // namespace plat::raster
