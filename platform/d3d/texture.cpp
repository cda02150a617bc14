#include "platform/d3d/texture.hpp"

#include <algorithm>
#include <cstring>

namespace plat {

namespace {
constexpr int kMaxSide = 8192;
}

void CopySurface(const Surface& src, Surface& dst) {
  const int w = std::min(src.Width(), dst.Width()), h = std::min(src.Height(), dst.Height());
  if (w <= 0) return;
  for (int y = 0; y < h; ++y) std::memcpy(dst.Row(y), src.Row(y), static_cast<size_t>(w) * sizeof(uint16_t));
}

void StretchSurface(const Surface& src, Surface& dst) {
  const int sw = src.Width(), sh = src.Height(), dw = dst.Width(), dh = dst.Height();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  if (sw == dw && sh == dh) {
    CopySurface(src, dst);
    return;
  }
  std::vector<int> cols(static_cast<size_t>(dw));
  for (int x = 0; x < dw; ++x)
    cols[static_cast<size_t>(x)] = static_cast<int>((static_cast<int64_t>(2 * x + 1) * sw) / (2 * dw));
  for (int y = 0; y < dh; ++y) {
    const uint16_t* s = src.Row(static_cast<int>((static_cast<int64_t>(2 * y + 1) * sh) / (2 * dh)));
    uint16_t* d = dst.Row(y);
    for (int x = 0; x < dw; ++x) d[x] = s[cols[static_cast<size_t>(x)]];
  }
}

TextureSurfacePtr CreateTexture(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  return std::make_shared<TextureSurface>(width, height);
}

TextureSurfacePtr LoadTextureFile(const std::string& nativePath, int width, int height) {
  const SurfacePtr picture = LoadPictureFile(nativePath);
  if (!picture) return nullptr;
  const bool sized = width > 0 && height > 0;
  TextureSurfacePtr tex = CreateTexture(sized ? width : picture->Width(), sized ? height : picture->Height());
  if (!tex) return nullptr;
  StretchSurface(*picture, *tex);
  return tex;
}

}  // namespace plat
