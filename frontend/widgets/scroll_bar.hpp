#pragma once
// A scroll bar composed from a picture sheet on a surface of its own and
// copied onto the screen. The sheet is 2 columns (normal, pressed) by 8
// rows: a vertical bar's first arrow, second arrow, track and thumb, then
// the same for a horizontal bar. Black is transparent.
#include <cstdint>

#include "engine/rects.hpp"
#include "engine/surfaces.hpp"

namespace fw {

class qelScrollBarClass {
 public:
  int32_t Min = 1;
  int32_t Max = 100;
  int32_t Value = 1;
  int32_t Width = 0;
  int32_t Height = 0;
  plat::SurfacePtr BackSurface;
  plat::SurfacePtr BackSurface4;
  int32_t RepeatX = 0;
  int32_t RepeatY = 0;
  // True: the bar runs vertically (arrows of side Width at top and bottom);
  // false: horizontally (arrows of side Height at left and right).
  bool HScroll = true;
  plat::SurfacePtr Suf1;
  plat::SurfacePtr Suf4;
  int32_t SufW = 0;
  int32_t SufH = 0;

  void Init(const RECT& r, const DisplayPtr& dd);
  void Init4(const RECT& r, const DisplayPtr& dd4);
  void SetBackClip(const plat::SurfacePtr& sheet, int32_t repeatX, int32_t repeatY);
  void SetBackClip4(const plat::SurfacePtr& sheet, int32_t repeatX, int32_t repeatY);
  const RECT& DesRECT() const { return desRect_; }
  void DesRECT(const RECT& r);
  static void SetColorKey(const plat::SurfacePtr& surface, int32_t flags, int32_t low, int32_t high);

  // The part hit: 0 none, 1 first arrow (Value - 1), 2 second arrow
  // (Value + 1), 3 the track (Value from the point). Value always ends
  // within Min..Max.
  uint8_t Click(int32_t x, int32_t y);
  int32_t Blt(const plat::SurfacePtr& target, int32_t flags);
  int32_t Blt4(const plat::SurfacePtr& target, int32_t flags);

 private:
  void MakeBackSurface(plat::SurfacePtr& back, const DisplayPtr& dd);
  void BltCell(const plat::SurfacePtr& sheet, const plat::SurfacePtr& back, int32_t cell, const RECT& dest) const;
  int32_t CellIndex(int32_t row, int32_t column) const { return (row - 1) * RepeatX + column; }
  int32_t Draw(const plat::SurfacePtr& sheet, const plat::SurfacePtr& back, const plat::SurfacePtr& target,
               int32_t flags);

  uint8_t pressed_ = 0;
  DisplayPtr dd7_;
  DisplayPtr dd4_;
  RECT desRect_{};
};

}  // namespace fw
