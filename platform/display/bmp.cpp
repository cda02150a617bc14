#include <cstring>

#include "platform/display/surface.hpp"
#include "platform/runtime/files.hpp"

namespace plat {
namespace {
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}
}  // namespace

std::vector<uint8_t> EncodeBmp(const uint16_t* pixels, int width, int height, int pitchPixels) {
  if (width <= 0 || height <= 0) return {};
  constexpr uint32_t kHeader = 14 + 40;
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
  std::vector<uint8_t> out(kHeader + imageBytes, 0);
  uint8_t* h = out.data();
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, kHeader + imageBytes);
  Put32(h + 10, kHeader);
  Put32(h + 14, 40);
  Put32(h + 18, static_cast<uint32_t>(width));
  Put32(h + 22, static_cast<uint32_t>(height));  // positive: rows bottom up
  Put16(h + 26, 1);
  Put16(h + 28, 24);
  Put32(h + 34, imageBytes);
  Put32(h + 38, 3780);  // 96 dots per inch
  Put32(h + 42, 3780);
  for (int y = 0; y < height; ++y) {
    const uint16_t* src = pixels + static_cast<ptrdiff_t>(y) * pitchPixels;
    uint8_t* dst = out.data() + kHeader + static_cast<size_t>(height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      const uint16_t c = src[x];
      const uint8_t r = static_cast<uint8_t>(c >> 11), g = static_cast<uint8_t>((c >> 5) & 0x3F),
                    b = static_cast<uint8_t>(c & 0x1F);
      // Low bits repeat the high ones, so white stays white.
      *dst++ = static_cast<uint8_t>((b << 3) | (b >> 2));
      *dst++ = static_cast<uint8_t>((g << 2) | (g >> 4));
      *dst++ = static_cast<uint8_t>((r << 3) | (r >> 2));
    }
  }
  return out;
}

bool SaveBmp(const uint16_t* pixels, int width, int height, int pitchPixels, const std::string& nativePath) {
  const std::vector<uint8_t> bytes = EncodeBmp(pixels, width, height, pitchPixels);
  return !bytes.empty() && WriteFile(nativePath, bytes.data(), bytes.size());
}

}  // namespace plat
