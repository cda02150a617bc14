// The rectangle kernels again for processors with AVX2: the per-pixel ones,
// whose loops the compiler turns into eight- and sixteen-lane ones, and the
// additive ones on sixteen 16-bit lanes. The headers come first so that
// only the kernels themselves are built for AVX2.
#include <cstring>

#include "platform/d3d/raster_internal.hpp"
#include "platform/d3d/raster_pixel.hpp"

#if defined(__x86_64__) && (defined(__clang__) || defined(__GNUC__))
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#define RASTER_KERNEL_PICK PickRectAvx2Kernels
#include "platform/d3d/raster_kernels.hpp"

namespace plat::raster {
namespace {

struct VecAvx2 {
  using T = __m256i;
  static constexpr int N = 16;
  static T Load(const uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(uint16_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static T Set(uint32_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
  static T And(T a, T b) { return _mm256_and_si256(a, b); }
  static T Or(T a, T b) { return _mm256_or_si256(a, b); }
  static T Xor(T a, T b) { return _mm256_xor_si256(a, b); }
  static T Add(T a, T b) { return _mm256_add_epi16(a, b); }
  static T Sub(T a, T b) { return _mm256_sub_epi16(a, b); }
  static T AddSat(T a, T b) { return _mm256_adds_epu16(a, b); }
  static T MulLo(T a, T b) { return _mm256_mullo_epi16(a, b); }
  static T MulHi(T a, T b) { return _mm256_mulhi_epu16(a, b); }
  static T Shl(T a, int k) { return _mm256_slli_epi16(a, k); }
  static T Shr(T a, int k) { return _mm256_srli_epi16(a, k); }
  static T Widen(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  // Even texels to the low 64 bits of each 128-bit half, odd ones to the
  // high; the unpacks then gather them per half, so that the texels of
  // both come in the order 0-3, 8-11, 4-7, 12-15 of pairs.
  static void Deinterleave(T lo, T hi, T& even, T& odd) {
    const T split = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15, 0, 1, 4, 5, 8, 9, 12, 13, 2,
                                     3, 6, 7, 10, 11, 14, 15);
    const T l = _mm256_shuffle_epi8(lo, split), h = _mm256_shuffle_epi8(hi, split);
    even = _mm256_unpacklo_epi64(l, h);
    odd = _mm256_unpackhi_epi64(l, h);
  }
  static T PairOrder(T v) { return _mm256_permute4x64_epi64(v, 0xD8); }
  static T Pair(const uint16_t* lo, const uint16_t* hi) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
  }
  // Two windows of sixteen texels, one per 128-bit half, and the texels
  // their shuffle controls pick for sixteen pixels.
  static void Window(const uint16_t* row, const int32_t* start, const uint8_t* ctrl, T& a, T* b) {
    const T lo = Pair(row + start[0], row + start[1]);
    const T hi = Pair(row + start[0] + 8, row + start[1] + 8);
    a = _mm256_or_si256(_mm256_shuffle_epi8(lo, Control(ctrl, 0)), _mm256_shuffle_epi8(hi, Control(ctrl, 1)));
    if (b) *b = _mm256_or_si256(_mm256_shuffle_epi8(lo, Control(ctrl, 2)), _mm256_shuffle_epi8(hi, Control(ctrl, 3)));
  }
  static T Control(const uint8_t* ctrl, int k) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ctrl + 32 * k));
  }
};

}  // namespace
}  // namespace plat::raster

#include "platform/d3d/raster_add565.hpp"

namespace plat::raster {
RectFn PickAddAvx2Kernels(Columns c, bool linear, bool mod) { return AddPick<VecAvx2, true>(c, linear, mod); }
}  // namespace plat::raster

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace plat::raster {
namespace {
bool HasAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}
}  // namespace
RectFn PickRectAvx2(Filter f, Layout l, bool keyed, BlendMode b, bool mod) {
  return HasAvx2() ? PickRectAvx2Kernels(f, l, keyed, b, mod) : nullptr;
}
RectFn PickAddAvx2(Columns c, bool linear, bool mod) { return HasAvx2() ? PickAddAvx2Kernels(c, linear, mod) : nullptr; }
}  // namespace plat::raster
#else
namespace plat::raster {
RectFn PickRectAvx2(Filter, Layout, bool, BlendMode, bool) { return nullptr; }
RectFn PickAddAvx2(Columns, bool, bool) { return nullptr; }
}  // namespace plat::raster
#endif
