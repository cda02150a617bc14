#pragma once
// What the rasteriser hands its rectangle kernels, which are built once per
// instruction set (raster_kernels.hpp).
#include <cstddef>
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
  ptrdiff_t texSize = 0;  // pixels from 'tex' to the end of the texture
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
  // The additive kernels' room for two rows of texels (columns from
  // 'first'), each with kRowPad readable entries beyond 'count'.
  uint16_t* row565 = nullptr;
  // Their shuffle windows (see Columns::Window).
  const int32_t* windowStart = nullptr;
  const uint8_t* windowCtrl = nullptr;
};

using RectFn = void (*)(const RectContext&);

// How the additive kernels find the texels of a row of pixels:
// - Unit: one texel per pixel, consecutive;
// - Halving: the linear filter averaging consecutive texel pairs;
// - Window: every eight pixels take their texels from sixteen consecutive
//   ones, picked by byte shuffles (needs AVX2);
// - Gather: looked up pixel by pixel.
enum class Columns : uint8_t { Unit, Halving, Window, Gather };
constexpr int kRowPad = 64;
// Shuffle windows: eight pixels each, in groups of two for 16 pixels (the
// last group of a row wider than that ending with the row). A group has the
// start (texels from 'first') of each window and four shuffle controls of
// 32 bytes: first and second texel from the window's first and last eight.
constexpr int kWindowPixels = 8;
constexpr int kWindowGroupBytes = 128;

RectFn PickRectBaseline(Filter f, Layout l, bool keyed, BlendMode b, bool modulate);
// Null where the processor has no AVX2.
RectFn PickRectAvx2(Filter f, Layout l, bool keyed, BlendMode b, bool modulate);

// The additive kernels for textured rectangles on 16-bit lanes, whatever the
// texture's alpha key (an additive blend takes no alpha). Null where the
// instruction set lacks what they need (or Window without AVX2); 'linear'
// tells whether columns blend texel pairs.
RectFn PickAddBaseline(Columns c, bool linear, bool modulate);
RectFn PickAddAvx2(Columns c, bool linear, bool modulate);

}  // namespace plat::raster
