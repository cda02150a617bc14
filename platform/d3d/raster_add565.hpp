// The additive rectangle kernels, written once over a vector type V of
// 16-bit lanes that each instruction set's source file supplies before
// including this. Texels stay packed as RGB565 throughout: filtered, tinted
// by the vertex colour and added to the target channel by channel with the
// same floors and saturation as the per-pixel kernels, so both draw the same
// pixels. Internal linkage, as for the per-pixel kernels.
//
// V provides: T, N (lanes), Load, Store, Set, And, Or, Xor, Add, Sub,
// AddSat (unsigned, saturating), MulLo, MulHi (unsigned), Shl, Shr, Widen
// (N bytes to lanes), Deinterleave (the even and the odd lanes of two
// vectors, in an order of its own that PairOrder turns back) and, where it
// has byte shuffles, Window (see Columns::Window).
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

// How a screen row blends its two texel rows: not at all (weight 0),
// half and half, or by any other weight.
enum class Rows : uint8_t { Single, Half, Weighted };

template <class V, Rows R>
inline typename V::T RowTexels(const uint16_t* r0, const uint16_t* r1, typename V::T w, typename V::T w1) {
  if constexpr (R == Rows::Single) return V::Load(r0);
  if constexpr (R == Rows::Half) return Avg565<V>(V::Load(r0), V::Load(r1));
  if constexpr (R == Rows::Weighted) return Lerp565<V>(V::Load(r0), V::Load(r1), w, w1);
}

// N floor averages of the 2N texels of lo and hi taken in pairs.
template <class V>
inline typename V::T HalvePairs(typename V::T lo, typename V::T hi) {
  typename V::T even, odd;
  V::Deinterleave(lo, hi, even, odd);
  return V::PairOrder(Avg565<V>(even, odd));
}

// The N source texels of pixels i.. from two texel rows (their columns
// from 'first'), for the ways of finding texels that read rows in place.
template <class V, Columns C, Rows R>
inline typename V::T RowRun(const uint16_t* r0, const uint16_t* r1, int i, typename V::T w, typename V::T w1) {
  if constexpr (C == Columns::Unit) {
    return RowTexels<V, R>(r0 + i, r1 + i, w, w1);
  } else {
    const int k = 2 * i;
    return HalvePairs<V>(RowTexels<V, R>(r0 + k, r1 + k, w, w1), RowTexels<V, R>(r0 + k + V::N, r1 + k + V::N, w, w1));
  }
}

// A row narrower than a vector: target and texels through copies, so that
// nothing beyond the row is read or written.
template <class V, Columns C, Rows R, bool Mod>
void NarrowRow(uint16_t* d, const uint16_t* r0, const uint16_t* r1, int n, typename V::T w, typename V::T w1,
               const Tint<V>& tint) {
  constexpr int N = V::N, per = C == Columns::Unit ? 1 : 2;
  alignas(32) uint16_t td[N] = {}, t0[2 * N] = {}, t1[2 * N] = {};
  const size_t texels = static_cast<size_t>(per * n) * sizeof(uint16_t);
  std::memcpy(t0, r0, texels);
  if constexpr (R != Rows::Single) std::memcpy(t1, r1, texels);
  std::memcpy(td, d, static_cast<size_t>(n) * sizeof(uint16_t));
  V::Store(td, AddTo<V, Mod>(RowRun<V, C, R>(t0, t1, 0, w, w1), V::Load(td), tint));
  std::memcpy(d, td, static_cast<size_t>(n) * sizeof(uint16_t));
}

// A screen row of n pixels of Unit or Halving columns: texel rows read
// where they are, blended on the way. Where n is no whole number of
// vectors (Ragged), the last vector's pixels are worked out first, from the
// target as it was, and stored last: the pixels it shares with the one
// before get the same values twice, and nothing beyond the row is touched.
template <class V, Columns C, Rows R, bool Mod, bool Ragged>
inline void RunRow(uint16_t* __restrict d, const uint16_t* r0, const uint16_t* r1, int n, uint32_t wy,
                   const Tint<V>& tint) {
  using T = typename V::T;
  constexpr int N = V::N;
  T w{}, w1{};
  if constexpr (R == Rows::Weighted) {
    w = V::Set(wy);
    w1 = V::Set(32 - wy);
  }
  if constexpr (Ragged) {
    if (n < N) return NarrowRow<V, C, R, Mod>(d, r0, r1, n, w, w1, tint);
    const T last = AddTo<V, Mod>(RowRun<V, C, R>(r0, r1, n - N, w, w1), V::Load(d + n - N), tint);
    for (int i = 0; i + N <= n; i += N)
      V::Store(d + i, AddTo<V, Mod>(RowRun<V, C, R>(r0, r1, i, w, w1), V::Load(d + i), tint));
    V::Store(d + n - N, last);
  } else {
    for (int i = 0; i < n; i += N)
      V::Store(d + i, AddTo<V, Mod>(RowRun<V, C, R>(r0, r1, i, w, w1), V::Load(d + i), tint));
  }
}

template <class V, Columns C, bool Mod, bool Ragged>
void RunRows(const RectContext& c, const Tint<V>& tint) {
  const int n = c.width;
  const ptrdiff_t texPitch = c.texPitch, dstPitch = c.dstPitch;
  const uint16_t* tex = c.tex + c.first + c.colA[0];
  const int32_t* rowA = c.rowA;
  const int32_t* rowB = c.rowB;
  const uint8_t* rowW = c.rowW;
  uint16_t* d = c.dst;
  for (int y = 0; y < c.height; ++y, d += dstPitch) {
    const uint16_t* r0 = tex + rowA[y] * texPitch;
    const uint32_t wy = rowW[y];
    if (wy == 0)
      RunRow<V, C, Rows::Single, Mod, Ragged>(d, r0, r0, n, wy, tint);
    else if (wy == 16)
      RunRow<V, C, Rows::Half, Mod, Ragged>(d, r0, tex + rowB[y] * texPitch, n, wy, tint);
    else
      RunRow<V, C, Rows::Weighted, Mod, Ragged>(d, r0, tex + rowB[y] * texPitch, n, wy, tint);
  }
}

// One row of texels blended from two with the row weight w (1..31).
template <class V>
void BlendRows(const uint16_t* r0, const uint16_t* r1, uint32_t w, uint16_t* out, int count) {
  const typename V::T wv = V::Set(w), w1 = V::Set(32 - w);
  int k = 0;
  if (w == 16) {
    for (; k + V::N <= count; k += V::N) V::Store(out + k, RowTexels<V, Rows::Half>(r0 + k, r1 + k, wv, w1));
  } else {
    for (; k + V::N <= count; k += V::N) V::Store(out + k, RowTexels<V, Rows::Weighted>(r0 + k, r1 + k, wv, w1));
  }
  // The last texels in a vector overlapping the one before, or one by one.
  if (k < count && count >= V::N) {
    k = count - V::N;
    V::Store(out + k, w == 16 ? RowTexels<V, Rows::Half>(r0 + k, r1 + k, wv, w1)
                              : RowTexels<V, Rows::Weighted>(r0 + k, r1 + k, wv, w1));
    k = count;
  }
  for (; k < count; ++k) out[k] = px::Pack(px::Lerp(px::Spread(r0[k]), px::Spread(r1[k]), w));
}

// The N source texels of pixels i.. from a padded row of texels (columns
// from 'first'), for the ways of finding texels that pick them one by one.
template <class V, Columns C, bool Linear>
inline typename V::T Pick(const RectContext& c, const uint16_t* row, int i, int group) {
  using T = typename V::T;
  if constexpr (C == Columns::Window) {
    T a, b;
    V::Window(row, c.windowStart + 2 * group, c.windowCtrl + group * kWindowGroupBytes, a, Linear ? &b : nullptr);
    if constexpr (Linear) {
      const T w = V::Widen(c.colW + i);
      return Lerp565<V>(a, b, w, V::Sub(V::Set(32), w));
    }
    return a;
  } else {
    alignas(32) uint16_t t[V::N];
    for (int k = 0; k < V::N; ++k) {
      const uint16_t a = row[c.colA[i + k]];
      if constexpr (Linear)
        t[k] = px::Pack(px::Lerp(px::Spread(a), px::Spread(row[c.colB[i + k]]), c.colW[i + k]));
      else
        t[k] = a;
    }
    return V::Load(t);
  }
}

// Rectangles whose texels are picked one by one. A screen row that takes
// one texel row reads it where it is, as long as what a window reads past
// it is still texture; else its texels are first laid out in a padded row.
// Two such rows take turns, the next screen row's being filled before this
// one's pixels are made, so that the picking reads what was written well
// before.
struct RowKey {
  int32_t a = -1, b = -1;
  uint32_t w = 0;
  bool operator==(const RowKey& o) const { return a == o.a && b == o.b && w == o.w; }
};

template <class V, Columns C>
inline const uint16_t* InPlace(const RectContext& c, const RowKey& k) {
  if (k.w != 0) return nullptr;
  const ptrdiff_t start = static_cast<ptrdiff_t>(k.a) * c.texPitch + c.first;
  return C == Columns::Gather || start + c.count + 16 <= c.texSize ? c.tex + start : nullptr;
}

template <class V>
void FillRow(const RectContext& c, const RowKey& k, uint16_t* out) {
  const uint16_t* r0 = c.tex + static_cast<ptrdiff_t>(k.a) * c.texPitch + c.first;
  if (k.w == 0)
    std::memcpy(out, r0, static_cast<size_t>(c.count) * sizeof(uint16_t));
  else
    BlendRows<V>(r0, c.tex + static_cast<ptrdiff_t>(k.b) * c.texPitch + c.first, k.w, out, c.count);
}

template <class V, Columns C, bool Linear, bool Mod>
void PickRows(const RectContext& c, const Tint<V>& tint) {
  constexpr int N = V::N;
  const size_t stride = static_cast<size_t>(c.count + kRowPad);
  uint16_t* rows[2] = {c.row565, c.row565 + stride};
  RowKey held[2];
  int cur = 0;
  const int n = c.width, full = n - n % N;
  for (int y = 0; y < c.height; ++y) {
    const RowKey k{c.rowA[y], c.rowB[y], c.rowW[y]};
    const uint16_t* row = InPlace<V, C>(c, k);
    if (!row) {
      if (!(held[cur] == k)) {
        if (held[1 - cur] == k) {
          cur = 1 - cur;
        } else {
          FillRow<V>(c, k, rows[cur]);
          held[cur] = k;
        }
      }
      row = rows[cur];
    }
    if (y + 1 < c.height) {
      const RowKey next{c.rowA[y + 1], c.rowB[y + 1], c.rowW[y + 1]};
      if (!(next == held[cur]) && !(next == held[1 - cur]) && !InPlace<V, C>(c, next)) {
        FillRow<V>(c, next, rows[1 - cur]);
        held[1 - cur] = next;
      }
    }
    uint16_t* __restrict d = c.dst + static_cast<ptrdiff_t>(y) * c.dstPitch;
    if (n < N) {
      // Through a copy of the target; the rows and tables reach past it.
      alignas(32) uint16_t td[N] = {};
      std::memcpy(td, d, static_cast<size_t>(n) * sizeof(uint16_t));
      V::Store(td, AddTo<V, Mod>(Pick<V, C, Linear>(c, row, 0, 0), V::Load(td), tint));
      std::memcpy(d, td, static_cast<size_t>(n) * sizeof(uint16_t));
      continue;
    }
    // The last vector first, as in RunRow; its windows are the last group.
    const bool ragged = full != n;
    typename V::T last{};
    if (ragged) last = AddTo<V, Mod>(Pick<V, C, Linear>(c, row, n - N, full / N), V::Load(d + n - N), tint);
    for (int i = 0; i < full; i += N)
      V::Store(d + i, AddTo<V, Mod>(Pick<V, C, Linear>(c, row, i, i / N), V::Load(d + i), tint));
    if (ragged) V::Store(d + n - N, last);
  }
}

template <class V, Columns C, bool Linear, bool Mod>
void AddRows(const RectContext& c) {
  Tint<V> tint{};
  if constexpr (Mod)
    tint = {V::Set((c.r8 + 1) * 8), V::Set((c.g8 + 1) * 8), V::Set((c.b8 + 1) * 8)};
  if constexpr (C == Columns::Unit || C == Columns::Halving) {
    if (c.width % V::N == 0)
      RunRows<V, C, Mod, false>(c, tint);
    else
      RunRows<V, C, Mod, true>(c, tint);
  } else {
    PickRows<V, C, Linear, Mod>(c, tint);
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
