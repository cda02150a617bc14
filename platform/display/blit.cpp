#include "platform/display/blit.hpp"

#include <cstring>
#include <type_traits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace plat::blit {
namespace {

// Eight pixels at a time in plain vector arithmetic (sixteen with AVX2): a
// keyed pixel is chosen by a mask, not a branch, which is what makes the
// keyed blit fast. The loops are templates over the vector type and always
// inlined, so the AVX2 caller below gets them compiled for AVX2.
using V = uint16_t __attribute__((vector_size(16)));
#define FW_BLIT_INLINE inline __attribute__((always_inline))
// The 32-byte vectors are passed only between always-inlined helpers, so
// no call ever crosses the ABI the compiler warns about.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

template <typename T>
FW_BLIT_INLINE T Load(const uint16_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
FW_BLIT_INLINE void Store(uint16_t* p, T v) { std::memcpy(p, &v, sizeof v); }
// All ones in the lanes whose pixel is in the key's range.
template <typename T>
FW_BLIT_INLINE T Transparent(T s, T low, T span) { return (T)(static_cast<T>(s - low) <= span); }

struct CopyOp {
  template <typename T>
  static FW_BLIT_INLINE T Apply(T, T s, T, T) { return s; }
  static uint16_t Apply1(uint16_t, uint16_t s, uint16_t, uint16_t) { return s; }
};
struct KeyedOp {
  template <typename T>
  static FW_BLIT_INLINE T Apply(T d, T s, T low, T span) {
    const T transparent = Transparent(s, low, span);
    return (d & transparent) | (s & ~transparent);
  }
  static uint16_t Apply1(uint16_t d, uint16_t s, uint16_t low, uint16_t span) {
    return static_cast<uint16_t>(s - low) <= span ? d : s;
  }
};
struct OrOp {
  template <typename T>
  static FW_BLIT_INLINE T Apply(T d, T s, T, T) { return d | s; }
  static uint16_t Apply1(uint16_t d, uint16_t s, uint16_t, uint16_t) { return d | s; }
};
struct OrKeyedOp {
  template <typename T>
  static FW_BLIT_INLINE T Apply(T d, T s, T low, T span) {
    return d | (s & ~Transparent(s, low, span));
  }
  static uint16_t Apply1(uint16_t d, uint16_t s, uint16_t low, uint16_t span) {
    return static_cast<uint16_t>(s - low) <= span ? d : static_cast<uint16_t>(d | s);
  }
};

template <typename O, typename T>
FW_BLIT_INLINE void TransferRowsOf(const Rows& r, Key key) {
  constexpr int kLanes = static_cast<int>(sizeof(T) / sizeof(uint16_t));
  const T low = T{} + key.low;
  const T span = T{} + key.span;
  for (int y = 0; y < r.height; ++y) {
    uint16_t* d = r.dst + y * r.dstPitch;
    const uint16_t* s = r.src + y * r.srcPitch;
    int i = 0;
    for (; i + 2 * kLanes <= r.width; i += 2 * kLanes) {
      const T a = O::Apply(Load<T>(d + i), Load<T>(s + i), low, span);
      const T b = O::Apply(Load<T>(d + i + kLanes), Load<T>(s + i + kLanes), low, span);
      Store(d + i, a);
      Store(d + i + kLanes, b);
    }
    for (; i + kLanes <= r.width; i += kLanes) Store(d + i, O::Apply(Load<T>(d + i), Load<T>(s + i), low, span));
    for (; i < r.width; ++i) d[i] = O::Apply1(d[i], s[i], key.low, key.span);
  }
}

template <typename O>
void TransferRows(const Rows& r, Key key) {
  TransferRowsOf<O, V>(r, key);
}

// Whether destination column i takes source column srcX[0] + i / 2: the
// battle's background, stored at half size, is stretched this way.
bool DoublesColumns(const int32_t* srcX, int width) {
  for (int i = 1; i < width; ++i)
    if (srcX[i] != srcX[0] + i / 2) return false;
  return true;
}

// A copied row of doubled columns: each source pixel written twice.
void DoubledRow(uint16_t* d, const uint16_t* s, int width) {
  int i = 0;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  for (; i + 16 <= width; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i / 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi16(v, v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi16(v, v));
  }
#endif
  for (; i < width; ++i) d[i] = s[i / 2];
}

template <typename O>
void TransferScaledRows(const Rows& r, const int32_t* srcX, const int32_t* srcY, Key key) {
  const bool doubled = std::is_same_v<O, CopyOp> && r.width > 0 && DoublesColumns(srcX, r.width);
  for (int y = 0; y < r.height; ++y) {
    uint16_t* d = r.dst + y * r.dstPitch;
    const uint16_t* s = r.src + srcY[y] * r.srcPitch;
    // Rows that sample the same source row as the row above come out the
    // same for a plain copy.
    if constexpr (std::is_same_v<O, CopyOp>) {
      if (y > 0 && srcY[y] == srcY[y - 1]) {
        std::memcpy(d, d - r.dstPitch, static_cast<size_t>(r.width) * 2);
        continue;
      }
      if (doubled) {
        DoubledRow(d, s + srcX[0], r.width);
        continue;
      }
    }
    int i = 0;
    for (; i + 4 <= r.width; i += 4) {
      const uint16_t s0 = s[srcX[i]], s1 = s[srcX[i + 1]], s2 = s[srcX[i + 2]], s3 = s[srcX[i + 3]];
      d[i] = O::Apply1(d[i], s0, key.low, key.span);
      d[i + 1] = O::Apply1(d[i + 1], s1, key.low, key.span);
      d[i + 2] = O::Apply1(d[i + 2], s2, key.low, key.span);
      d[i + 3] = O::Apply1(d[i + 3], s3, key.low, key.span);
    }
    for (; i < r.width; ++i) d[i] = O::Apply1(d[i], s[srcX[i]], key.low, key.span);
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The keyed transfer (units, buildings and shots every frame) on sixteen
// lanes where the processor has AVX2.
using W = uint16_t __attribute__((vector_size(32)));
__attribute__((target("avx2"))) void KeyedRowsAvx2(const Rows& r, Key key) { TransferRowsOf<KeyedOp, W>(r, key); }
bool HasAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}
#else
void KeyedRowsAvx2(const Rows& r, Key key) { TransferRows<KeyedOp>(r, key); }
bool HasAvx2() { return false; }
#endif

}  // namespace

void Transfer(const Rows& r, Op op, Key key) {
  switch (op) {
    case Op::Copy:
      // Whole rows of equal pitch are one block.
      if (r.dstPitch == r.width && r.srcPitch == r.width) {
        std::memcpy(r.dst, r.src, static_cast<size_t>(r.width) * static_cast<size_t>(r.height) * 2);
        return;
      }
      for (int y = 0; y < r.height; ++y)
        std::memcpy(r.dst + y * r.dstPitch, r.src + y * r.srcPitch, static_cast<size_t>(r.width) * 2);
      return;
    case Op::Keyed: return HasAvx2() ? KeyedRowsAvx2(r, key) : TransferRows<KeyedOp>(r, key);
    case Op::Or: return TransferRows<OrOp>(r, key);
    case Op::OrKeyed: return TransferRows<OrKeyedOp>(r, key);
  }
}

void TransferScaled(const Rows& r, const int32_t* srcX, const int32_t* srcY, Op op, Key key) {
  switch (op) {
    case Op::Copy: return TransferScaledRows<CopyOp>(r, srcX, srcY, key);
    case Op::Keyed: return TransferScaledRows<KeyedOp>(r, srcX, srcY, key);
    case Op::Or: return TransferScaledRows<OrOp>(r, srcX, srcY, key);
    case Op::OrKeyed: return TransferScaledRows<OrKeyedOp>(r, srcX, srcY, key);
  }
}

void Fill(uint16_t* dst, ptrdiff_t dstPitch, int width, int height, uint16_t color) {
  if (width <= 0 || height <= 0) return;
  uint16_t* first = dst;
  for (int i = 0; i < width; ++i) first[i] = color;
  for (int y = 1; y < height; ++y) std::memcpy(dst + y * dstPitch, first, static_cast<size_t>(width) * 2);
}

namespace {
// a + b, held at all ones where the sum carries out of the lane. (No
// lambdas here: one compiled apart from its AVX2 caller would pass the wide
// vectors the wrong way.)
template <typename T>
FW_BLIT_INLINE T SaturatedSum(T a, T b) {
  const T sum = a + b;
  return sum | (T)(sum < a);
}

template <typename T>
FW_BLIT_INLINE T AddChannels(T d, T s) {
  // Each channel moved to the top of a 16-bit lane and added there.
  const T r = SaturatedSum<T>(d & 0xF800, s & 0xF800) & 0xF800;
  const T g = (SaturatedSum<T>((T)(d << 5), (T)(s << 5) & 0xFC00) >> 5) & 0x07E0;
  const T b = SaturatedSum<T>((T)(d << 11), (T)(s << 11)) >> 11;
  return r | g | b;
}

template <typename T>
FW_BLIT_INLINE void AddRowsOf(const Rows& r) {
  constexpr int kLanes = static_cast<int>(sizeof(T) / sizeof(uint16_t));
  using One = uint16_t __attribute__((vector_size(2)));
  for (int y = 0; y < r.height; ++y) {
    uint16_t* d = r.dst + y * r.dstPitch;
    const uint16_t* s = r.src + y * r.srcPitch;
    int i = 0;
    for (; i + kLanes <= r.width; i += kLanes) Store(d + i, AddChannels(Load<T>(d + i), Load<T>(s + i)));
    for (; i < r.width; ++i) Store(d + i, AddChannels(Load<One>(d + i), Load<One>(s + i)));
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx2"))) void AddRowsAvx2(const Rows& r) { AddRowsOf<W>(r); }
#else
void AddRowsAvx2(const Rows& r) { AddRowsOf<V>(r); }
#endif
}  // namespace

void AddSaturated(const Rows& r) { return HasAvx2() ? AddRowsAvx2(r) : AddRowsOf<V>(r); }

}  // namespace plat::blit
