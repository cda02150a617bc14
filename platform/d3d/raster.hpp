#pragma once
// The software rasteriser behind both 3D layers: screen-space triangles with
// depth, reciprocal w, colour and texture coordinates, drawn into a 16-bit
// surface with an optional depth buffer. Every combination of states gets
// its own span function, chosen once when the state is set, so the inner
// loops never branch on a render state.
//
// Pixel centres lie at half-integer coordinates: a pixel is covered when its
// centre is inside the triangle, with the top and left edges inclusive and
// the bottom and right edges exclusive, so triangles sharing an edge never
// both draw a pixel of it. Texture coordinates 0..1 span the texture's
// texels edge to edge.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d/d3d_types.hpp"
#include "platform/d3d/texture.hpp"

namespace plat {

namespace raster {
struct RectContext;
}

struct RasterVertex {
  float x = 0.0f, y = 0.0f, z = 0.0f, rhw = 1.0f;
  float r = 255.0f, g = 255.0f, b = 255.0f, a = 255.0f;  // 0..255
  float u = 0.0f, v = 0.0f;
};

struct RasterState {
  // Null: the vertex colour alone.
  const Surface* texture = nullptr;
  bool linearFilter = false;
  // Texture addressing: wrap around, else clamp to the edge texels.
  bool wrap = true;
  // The texture's alpha key takes part in the alpha (see TextureSurface).
  bool textureAlpha = false;
  uint16_t alphaKey = 0;
  bool blend = false;
  int srcBlend = D3DBLEND_ONE;
  int dstBlend = D3DBLEND_ZERO;
  bool zTest = false;
  bool zWrite = false;
  bool operator==(const RasterState&) const = default;
};

// How a pixel is combined with what is there.
enum class BlendMode : uint8_t { Opaque, Add, Alpha, General };
constexpr int kBlendModes = 4;

// Blend factors of the general blend, per channel:
// factor = (one * 256 + src * S + alpha * A + dst * D) / 256 with the source
// and destination channels and the source alpha scaled to 0..256.
struct BlendFactor {
  int32_t one = 0, src = 0, alpha = 0, dst = 0;
};
struct BlendCoefficients {
  BlendFactor source, destination;
};

class Rasterizer {
 public:
  Rasterizer();
  ~Rasterizer();
  Rasterizer(const Rasterizer&) = delete;
  Rasterizer& operator=(const Rasterizer&) = delete;

  // The target and depth buffer stay owned by the caller. The depth buffer
  // may be null (no depth test whatever the state says).
  void SetTarget(Surface* target, ZBuffer* depth);
  // The clip rectangle (right and bottom exclusive), within the target.
  void SetClip(int x0, int y0, int x1, int y1);
  void SetState(const RasterState& state);
  const RasterState& State() const { return state_; }

  // Draws whatever the winding; culling is the caller's.
  void DrawTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
  // A strip of four vertices whose two triangles are both to be drawn. An
  // axis-aligned rectangle with evenly spread texture coordinates, one
  // colour and no depth test takes a rectangle path that draws the same
  // pixels much faster.
  void DrawStripQuad(const RasterVertex v[4]);

  // Test hook: off sends every quad through the triangle path.
  void EnableRectanglePath(bool on) { rectPath_ = on; }
  // Test hook: the rectangle kernels of the processor's widest instruction
  // set or the plain ones, and whether additive rectangles take their own
  // kernels or the per-pixel ones every blend has.
  void UseKernels(bool widest, bool additive);

 private:
  using RectKernel = void (*)(const raster::RectContext&);
  void Select();
  void ChooseKernels();
  void DrawClipped(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
  void Setup(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
  bool TryRectangle(const RasterVertex v[4]);
  // The texel lookup of one axis of a rectangle, kept while the next
  // rectangle needs the same.
  struct AxisTable {
    bool valid = false;
    float offset = 0, extent = 0, t0 = 0, t1 = 0;
    int count = 0, size = 0;
    bool linear = false, wrap = false;
    std::vector<int32_t> a, b, aFromLowest, bFromLowest;
    std::vector<uint8_t> w;
    bool zeroWeights = false, unitRun = false, halvingRun = false;
    int lowest = 0, highest = 0;
    // The additive kernels' shuffle windows, made when first asked for.
    bool windowsMade = false, windowsFit = false;
    std::vector<int32_t> windowStart;
    std::vector<uint8_t> windowCtrl;
  };
  static bool MakeWindows(AxisTable& t);
  const AxisTable& BuildAxis(AxisTable& t, int first, int count, float c0, float c1, float t0, float t1, int size,
                             bool linear, bool wrap);

  Surface* target_ = nullptr;
  ZBuffer* depth_ = nullptr;
  int clipX0_ = 0, clipY0_ = 0, clipX1_ = 0, clipY1_ = 0;
  RasterState state_;
  BlendMode blendMode_ = BlendMode::Opaque;
  BlendCoefficients coefs_;
  bool rectPath_ = true;
  bool widestKernels_ = true, additiveKernels_ = true;
  // The additive kernels by way of finding texels, linear columns and tint.
  RectKernel addKernels_[4][2][2] = {};
  // Scratch: depth writes when writing is off, per-column texel tables of
  // the rectangle path.
  std::vector<uint32_t> zScratch_;
  AxisTable colTable_, rowTable_;
  std::vector<uint32_t> rowBuffer_, rowAlpha_;
  std::vector<uint16_t> row565_;
  // The rectangle kernels' record, kept from quad to quad: each quad sets
  // what its kernel reads.
  std::unique_ptr<raster::RectContext> rect_;
};

// The blend mode and coefficients for a pair of blend factors.
BlendMode ClassifyBlend(bool enabled, int srcBlend, int dstBlend, BlendCoefficients* coefs);

}  // namespace plat
