#pragma once
// Helpers of the 3D layer's tests: RGB565 channels, surfaces filled with
// one colour, quads as the battles build them.
#include <cstdint>
#include <memory>

#include "platform/d3d/d3d_types.hpp"
#include "platform/display/surface.hpp"

namespace d3dtest {

struct Rgb {
  int r, g, b;  // 0..31, 0..63, 0..31
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline uint16_t Pack(Rgb c) { return static_cast<uint16_t>((c.r << 11) | (c.g << 5) | c.b); }
inline Rgb Split(uint16_t p) { return Rgb{p >> 11, (p >> 5) & 63, p & 31}; }

inline void Fill(plat::Surface& s, uint16_t colour) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.Row(y)[x] = colour;
}

inline std::shared_ptr<plat::Surface> Solid(int w, int h, uint16_t colour) {
  auto s = std::make_shared<plat::Surface>(w, h);
  Fill(*s, colour);
  return s;
}

// The four vertices of the battles' strip: bottom-left, top-left,
// bottom-right, top-right, texture corners (0,1), (0,0), (1,1), (1,0).
struct Quad {
  plat::D3DTLVERTEX v[4];
};
inline Quad MakeQuad(float x0, float y0, float x1, float y1, uint32_t colour, float z = 0.99f, float rhw = 0.5f) {
  return Quad{{{x0, y1, z, rhw, colour, 0, 0, 1},
               {x0, y0, z, rhw, colour, 0, 0, 0},
               {x1, y1, z, rhw, colour, 0, 1, 1},
               {x1, y0, z, rhw, colour, 0, 1, 0}}};
}

// How many pixels of the surface differ from a colour.
inline int CountNot(const plat::Surface& s, uint16_t colour) {
  int n = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) n += s.Row(y)[x] != colour;
  return n;
}

// The bounding box of the pixels that differ from a colour; false if none.
inline bool BoundsNot(const plat::Surface& s, uint16_t colour, int& x0, int& y0, int& x1, int& y1) {
  x0 = s.Width();
  y0 = s.Height();
  x1 = -1;
  y1 = -1;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.Row(y)[x] != colour) {
        x0 = x < x0 ? x : x0;
        y0 = y < y0 ? y : y0;
        x1 = x > x1 ? x : x1;
        y1 = y > y1 ? y : y1;
      }
  return x1 >= 0;
}

}  // namespace d3dtest
