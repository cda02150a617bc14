#pragma once
// A texture is an ordinary 16-bit surface (the battles blit into theirs
// every frame); this kind adds what a texture format carries beyond the
// pixels: whether one colour is transparent (its alpha is zero) and where the
// texture is held.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/display/surface.hpp"

namespace plat {

class TextureSurface : public Surface {
 public:
  TextureSurface(int width, int height) : Surface(width, height) {}

  // Pixels of this colour have alpha 0, all others full alpha.
  void SetAlphaKey(uint16_t color) {
    alphaKeyed_ = true;
    alphaKey_ = color;
  }
  bool AlphaKeyed() const { return alphaKeyed_; }
  uint16_t AlphaKey() const { return alphaKey_; }

  // The surface capabilities it was created with (texture, system memory,
  // managed), kept for the callers that report them.
  uint32_t Caps = 0;
  uint32_t Caps2 = 0;

 private:
  bool alphaKeyed_ = false;
  uint16_t alphaKey_ = 0;
};

using TextureSurfacePtr = std::shared_ptr<TextureSurface>;

// A depth buffer: 32-bit cells holding depths 0..1 quantised to the format's
// bit depth, so a 16-bit format keeps 16-bit precision.
class ZBuffer {
 public:
  ZBuffer(int width, int height, int bits);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Bits() const { return bits_; }
  // The quantisation scale: depth 1.0 is stored as this value.
  float Scale() const { return scale_; }
  uint32_t* Row(int y) {
    if (!pending_.empty()) FillPending();
    return cells_.data() + static_cast<size_t>(y) * width_;
  }
  const uint32_t* Row(int y) const {
    if (!pending_.empty()) FillPending();
    return cells_.data() + static_cast<size_t>(y) * width_;
  }
  // Fills the rectangle (clipped to the buffer) with a depth. The fill
  // happens when a row is next read: a device that clears its depth every
  // frame but draws without depth tests never pays for it.
  void Fill(int x0, int y0, int x1, int y1, float depth);

 private:
  struct PendingFill {
    int x0, y0, x1, y1;
    uint32_t value;
  };
  void FillPending() const;
  int width_, height_, bits_;
  float scale_;
  mutable std::vector<uint32_t> cells_;
  mutable std::vector<PendingFill> pending_;  // in the order given
};

// Copies the overlapping top-left part of src into dst.
void CopySurface(const Surface& src, Surface& dst);
// Stretches the whole of src over the whole of dst (nearest pixel).
void StretchSurface(const Surface& src, Surface& dst);
// A new texture; null for a size that is not 1..8192 on both sides.
TextureSurfacePtr CreateTexture(int width, int height);
// A texture from a picture file, stretched to width x height when both are
// given; null when the file cannot be read.
TextureSurfacePtr LoadTextureFile(const std::string& nativePath, int width = 0, int height = 0);

}  // namespace plat
