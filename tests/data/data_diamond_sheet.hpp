#pragma once
// A tile sheet of diamonds for the scrolling map's tests and benchmark: one
// column of frames, each diamond a colour of its own, black (the colour
// key) around them.
#include <cstdlib>
#include <memory>

#include "platform/display/surface.hpp"

namespace datatest {

constexpr int kTileW = 80, kTileH = 40;
constexpr int kSheetFrames = 8;

inline uint16_t FrameColour(int frame) { return static_cast<uint16_t>(0x0841 * (frame + 2) + frame); }

inline plat::SurfacePtr DiamondSheet() {
  auto s = std::make_shared<plat::Surface>(kTileW, kTileH * kSheetFrames);
  for (int f = 0; f < kSheetFrames; ++f)
    for (int y = 0; y < kTileH; ++y)
      for (int x = 0; x < kTileW; ++x)
        if (std::abs(x * 2 + 1 - kTileW) * kTileH + std::abs(y * 2 + 1 - kTileH) * kTileW <= kTileW * kTileH)
          s->Row(f * kTileH + y)[x] = FrameColour(f + 1);
  s->SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  return s;
}

}  // namespace datatest
