// The rectangle kernels for any processor of the platform.
#include <cstring>

#define RASTER_KERNEL_PICK PickRectBaseline
#include "platform/d3d/raster_kernels.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace plat::raster {
namespace {

// Eight 16-bit lanes of SSE2, which every x86-64 processor has.
struct VecSse2 {
  using T = __m128i;
  static constexpr int N = 8;
  static T Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint16_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static T Set(uint32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
  static T And(T a, T b) { return _mm_and_si128(a, b); }
  static T Or(T a, T b) { return _mm_or_si128(a, b); }
  static T Xor(T a, T b) { return _mm_xor_si128(a, b); }
  static T Add(T a, T b) { return _mm_add_epi16(a, b); }
  static T Sub(T a, T b) { return _mm_sub_epi16(a, b); }
  static T AddSat(T a, T b) { return _mm_adds_epu16(a, b); }
  static T MulLo(T a, T b) { return _mm_mullo_epi16(a, b); }
  static T MulHi(T a, T b) { return _mm_mulhi_epu16(a, b); }
  static T Shl(T a, int k) { return _mm_slli_epi16(a, k); }
  static T Shr(T a, int k) { return _mm_srli_epi16(a, k); }
  static T Widen(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
  }
  // The low and the high halves of the 32-bit lanes, sign-extended, pack
  // without saturating.
  static void Deinterleave(T lo, T hi, T& even, T& odd) {
    even = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(lo, 16), 16), _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16));
    odd = _mm_packs_epi32(_mm_srai_epi32(lo, 16), _mm_srai_epi32(hi, 16));
  }
  static T PairOrder(T v) { return v; }
};

}  // namespace
}  // namespace plat::raster

#include "platform/d3d/raster_add565.hpp"

namespace plat::raster {
RectFn PickAddBaseline(Columns c, bool linear, bool mod) { return AddPick<VecSse2, false>(c, linear, mod); }
}  // namespace plat::raster
#else
namespace plat::raster {
RectFn PickAddBaseline(Columns, bool, bool) { return nullptr; }
}  // namespace plat::raster
#endif
