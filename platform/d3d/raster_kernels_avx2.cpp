// The rectangle kernels again for processors with AVX2, where the compiler
// turns their loops into eight- and sixteen-lane ones. The headers come
// first so that only the kernels themselves are built for AVX2.
#include "platform/d3d/raster_internal.hpp"
#include "platform/d3d/raster_pixel.hpp"

#if defined(__x86_64__) && (defined(__clang__) || defined(__GNUC__))
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#define RASTER_KERNEL_PICK PickRectAvx2Kernels
#include "platform/d3d/raster_kernels.hpp"
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace plat::raster {
RectFn PickRectAvx2(Filter f, Layout l, bool keyed, BlendMode b, bool mod) {
  static const bool available = __builtin_cpu_supports("avx2");
  return available ? PickRectAvx2Kernels(f, l, keyed, b, mod) : nullptr;
}
}  // namespace plat::raster
#else
namespace plat::raster {
RectFn PickRectAvx2(Filter, Layout, bool, BlendMode, bool) { return nullptr; }
}  // namespace plat::raster
#endif
