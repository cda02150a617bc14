#pragma once
// Sprite sheets: one surface cut into a RepeatX x RepeatY grid of equal
// frames, numbered row by row from 1 (Clip), and the keyed collection of
// the sheets a screen owns (SufClips).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/rects.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/keyed_collection.hpp"

namespace fw {

class Clip {
 public:
  std::string Key;  // upper case
  plat::SurfacePtr Surface4;
  // Source pixels per destination pixel, set with DescRECT.
  float ScaleX = 0.0f;
  float ScaleY = 0.0f;
  plat::SurfacePtr Surface;
  int32_t RepeatX = 0;
  int32_t RepeatY = 0;
  int32_t Index = 0;  // current frame
  int32_t H = 0;      // sheet height in pixels
  int32_t w = 0;      // sheet width in pixels
  int32_t Total = 0;  // frames in use
  plat::DDSURFACEDESC2 SurfaceDesc;

  // Where Blt puts a frame, relative to its (x, y). Setting it also sets the
  // scales, so a DescRECT other than the cell's size stretches the frame.
  const RECT& DescRECT() const { return descRect_; }
  void DescRECT(const RECT& r);

  // Frame arguments: 0 is the current Index, below 0 the first frame, above
  // Total the last. Slices cut that many pixels (times the scale) off the
  // frame's edges; the frame still starts at (x, y). A null destination
  // raises plat::RuntimeError; the blit's own status is returned.
  int32_t BltFast(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame,
                  int32_t sliceLeft = 0, int32_t sliceTop = 0, int32_t sliceRight = 0, int32_t sliceBottom = 0) const;
  int32_t BltFast4(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame,
                   int32_t sliceLeft = 0, int32_t sliceTop = 0, int32_t sliceRight = 0,
                   int32_t sliceBottom = 0) const;
  // The frame stretched into DescRECT moved by (x, y), less the slices.
  int32_t Blt(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame, int32_t sliceLeft = 0,
              int32_t sliceTop = 0, int32_t sliceRight = 0, int32_t sliceBottom = 0) const;
  int32_t Blt4(const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y, int32_t frame,
               int32_t sliceLeft = 0, int32_t sliceTop = 0, int32_t sliceRight = 0, int32_t sliceBottom = 0) const;
  // The frame's cell into destRect with the caller's flags and effects.
  int32_t BltFx(const plat::SurfacePtr& dest, const RECT& destRect, int32_t flags, const plat::DDBLTFX& fx,
                int32_t frame) const;
  // The frame ORed onto the destination at (x, y), black left out. The
  // frame chosen is written back, as with the two below.
  int32_t BltBlend(int32_t x, int32_t y, const plat::SurfacePtr& dest, int32_t& frame) const;
  // The frame added onto the destination at (x, y), channel by channel
  // with saturation; black pixels are left out.
  void BltAlpha(int32_t x, int32_t y, const plat::SurfacePtr& dest, int32_t& frame) const;
  // The same with the frame first stretched to the target's size.
  void BltAlphaScale(int32_t x, int32_t y, const plat::SurfacePtr& dest, const RECT& target, int32_t& frame) const;
  void SetColorKey(int32_t flags, int32_t low, int32_t high);
  // Steps Index forward or back through 1..Total, wrapping.
  void Inc(bool forward);
  int32_t Index2(int32_t a, int32_t b) const { return LongSum(int64_t{a} * RepeatY, b); }

 private:
  int32_t ChooseFrame(int32_t frame) const;
  // The frame's cell less the slices (times the scales).
  RECT SourceRect(int32_t frame, int32_t sliceLeft, int32_t sliceTop, int32_t sliceRight, int32_t sliceBottom) const;
  int32_t DrawFast(const plat::SurfacePtr& sheet, const plat::SurfacePtr& dest, int32_t flags, int32_t x, int32_t y,
                   int32_t frame, int32_t sl, int32_t st, int32_t sr, int32_t sb) const;
  int32_t DrawStretched(const plat::SurfacePtr& sheet, const plat::SurfacePtr& dest, int32_t flags, int32_t x,
                        int32_t y, int32_t frame, int32_t sl, int32_t st, int32_t sr, int32_t sb) const;
  void AddOnto(const plat::Surface& from, const RECT& cell, const plat::SurfacePtr& dest, int32_t x, int32_t y) const;

  RECT descRect_;
};

// Keys are kept upper case and looked up without regard to case; Count,
// Remove, RemoveAll and iteration are the collection's own.
class SufClips : public plat::KeyedCollection<Clip> {
 public:
  // Wraps a surface into a sheet of repeatX x repeatY frames, Total frames
  // of them, frame 1 current and DescRECT one cell. A total outside
  // 1..repeatX x repeatY means all frames, and the caller's variable is set
  // to that count. A key already present raises DuplicateKey; a grid
  // without cells or a null surface raises too.
  std::shared_ptr<Clip> Add(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                            int32_t repeatY, int32_t& total);
  // Every frame in use.
  std::shared_ptr<Clip> Add(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                            int32_t repeatY);
  // The same with the surface as the sheet's Surface4 (the factory's).
  std::shared_ptr<Clip> Add4(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                             int32_t repeatY, int32_t& total);
  std::shared_ptr<Clip> Add4(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                             int32_t repeatY);
  // Null when there is no such sheet.
  std::shared_ptr<Clip> Item(std::string_view key) const { return Find(key); }
  std::shared_ptr<Clip> Item(int position) const { return At(position); }

 private:
  std::shared_ptr<Clip> AddSheet(const std::string& key, const plat::SurfacePtr& surface, int32_t repeatX,
                                 int32_t repeatY, int32_t& total, bool ddraw4);
};

}  // namespace fw
