#pragma once
// The blitters' inner loops over rows of RGB565 pixels, one per kind of
// blit, so no loop tests flags per pixel. Callers have clipped already:
// every index given here is inside its surface, and source and destination
// pixels do not overlap.
#include <cstddef>
#include <cstdint>

namespace plat::blit {

// A source colour key: a pixel is transparent when (pixel - low), taken as
// an unsigned 16-bit number, is at most span.
struct Key {
  uint16_t low = 0;
  uint16_t span = 0;
};

enum class Op {
  Copy,    // destination = source
  Keyed,   // source where it is not transparent
  Or,      // destination | source (the SRCPAINT raster operation)
  OrKeyed  // destination | source where the source is not transparent
};

struct Rows {
  uint16_t* dst;
  ptrdiff_t dstPitch;  // in pixels
  const uint16_t* src;
  ptrdiff_t srcPitch;
  int width, height;
};

// Same-size transfer of width x height pixels.
void Transfer(const Rows& r, Op op, Key key);
// Stretched transfer: destination column i takes source column srcX[i] of
// the source row srcY[j] for destination row j (offsets from r.src).
void TransferScaled(const Rows& r, const int32_t* srcX, const int32_t* srcY, Op op, Key key);
void Fill(uint16_t* dst, ptrdiff_t dstPitch, int width, int height, uint16_t color);
// destination + source per colour channel, each held at its largest value:
// the additive blend of the 3D device with a white vertex colour.
void AddSaturated(const Rows& r);

}  // namespace plat::blit
