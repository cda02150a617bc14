#pragma once
// What the rasteriser hands its rectangle kernels, which are built once per
// instruction set (raster_kernels.hpp).
#include <cstdint>

#include "platform/d3d/raster.hpp"

namespace plat::raster {

enum class Filter : uint8_t { None, Point, Linear };
// How a row finds its texels: per-column tables, or a run of consecutive
// texels (one per pixel for point sampling, two per pixel for a linear
// filter halving the texture).
enum class Layout : uint8_t { Gather, Run };

struct RectContext {
  uint16_t* dst = nullptr;  // first pixel of the first row
  int dstPitch = 0, width = 0, height = 0;
  const uint16_t* tex = nullptr;
  int texPitch = 0;
  // Columns: texel pair and the weight of the second; for the linear
  // filter the texels count from 'first' (the row buffers' origin).
  const int32_t* colA = nullptr;
  const int32_t* colB = nullptr;
  const uint8_t* colW = nullptr;
  // Rows: texel rows and the weight of the second.
  const int32_t* rowA = nullptr;
  const int32_t* rowB = nullptr;
  const uint8_t* rowW = nullptr;
  // The texel columns the linear filter blends vertically for each row.
  int first = 0, count = 0;
  uint32_t* rowBuffer = nullptr;
  uint32_t* rowAlpha = nullptr;
  uint32_t r8 = 255, g8 = 255, b8 = 255, a256 = 256;
  uint32_t flat = 0;  // the spread colour of an untextured rectangle
  uint16_t key = 0;
  BlendCoefficients coefs;
};

using RectFn = void (*)(const RectContext&);

RectFn PickRectBaseline(Filter f, Layout l, bool keyed, BlendMode b, bool modulate);
// Null where the processor has no AVX2.
RectFn PickRectAvx2(Filter f, Layout l, bool keyed, BlendMode b, bool modulate);

}  // namespace plat::raster
