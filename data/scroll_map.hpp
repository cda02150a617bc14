#pragma once
// A scrolling view of a staggered diamond tile map: the tiles are drawn
// into a buffer somewhat larger than the view, the view moves inside it by
// a few pixels per refresh, and when it crosses a tile the buffer shifts by
// one tile and only the newly exposed column or rows are drawn.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/cell_map.hpp"
#include "data/collection.hpp"
#include "engine/lazy.hpp"
#include "platform/display/surface.hpp"

namespace fw {

// One tile sheet: a surface cut into RepeatX x RepeatY frames, numbered
// row by row from 1, drawn with the sprite sheets' frame rule.
class ScrollTileSheet {
 public:
  std::string Key;
  plat::SurfacePtr Surface;
  int32_t RepeatX = 1;
  int32_t RepeatY = 1;
  int32_t Total = 1;
  int32_t Index = 1;  // the frame that frame 0 draws

  // Frame 0 is Index, below 0 the first, beyond Total the last.
  void BltFast(plat::Surface& dest, int32_t x, int32_t y, int32_t frame, int flags) const;
};

class ScrollTileSheets : public DataCollection<ScrollTileSheet> {
 public:
  // Total outside 1..RepeatX*RepeatY becomes RepeatX*RepeatY; a taken key
  // raises.
  Ptr Add(const std::string& key, plat::SurfacePtr surface, int32_t repeatX, int32_t repeatY, int32_t total = 0);
  // Null when absent.
  Ptr Item(int position) const { return Find(position); }
  Ptr Item(std::string_view key) const { return Find(key); }
};

class ScrollMapObj {
 public:
  Lazy<ScrollTileSheets> srcClips;  // keyed by sheet key
  int32_t SingleW = 0;  // tile size
  int32_t SingleH = 0;
  int32_t BoldW = 0;  // buffer border around the view
  int32_t BoldH = 0;

  // Keeps the buffer and the target, takes the target's size and makes an
  // empty map of (0..mapSizeX, 0..mapSizeY).
  void Init(plat::SurfacePtr buffer, plat::SurfacePtr target, int32_t singleW, int32_t singleH, int32_t boldW,
            int32_t boldH, int32_t mapSizeX, int32_t mapSizeY);
  // Key byte k (1..255) to sheet key; any other k raises.
  void SetKeyIndex(int32_t k, const std::string& sheetKey);
  // Moves the view by OffsetX/OffsetY (stopping at the map's edges),
  // shifts the buffer when a tile is crossed, and copies the view onto the
  // target. Raises before Init, with a zero tile size, or on overflow.
  void Refresh();
  // The cell under a point of the target: CurrentPosX/Y and its screen
  // position ScreenPosX/Y.
  void HitTest(int32_t x, int32_t y);
  // True when cell (x, y) lies in the buffer; then MapTestX/Y is the cell's
  // horizontal centre and bottom corner on the target.
  bool MapTest(int32_t x, int32_t y);
  // Draws the whole buffer; cells that cannot be drawn are left as they are.
  void MakeMap();
  // Takes a copy of the map (its shape too) and draws the buffer.
  void SetMap(const CellMap& map);
  void GetAllMap(CellMap& out) const { out = map_; }
  // 0 outside the map.
  int16_t GetMap(int64_t x, int64_t y) const { return map_.Contains(x, y) ? map_.At(x, y) : 0; }
  void SetMapSize(int32_t x, int32_t y);
  int32_t MapSizeX() const { return mapSizeX_; }
  int32_t MapSizeY() const { return mapSizeY_; }

  void ScreenPosX(int32_t v) { screenPosX_ = v; }
  int32_t ScreenPosX() const { return screenPosX_; }
  void ScreenPosY(int32_t v) { screenPosY_ = v; }
  int32_t ScreenPosY() const { return screenPosY_; }
  void OffsetX(int32_t v) { offsetX_ = v; }
  int32_t OffsetX() const { return offsetX_; }
  void OffsetY(int32_t v) { offsetY_ = v; }
  int32_t OffsetY() const { return offsetY_; }
  void MapPosX(int32_t v) { mapPosX_ = v; }
  int32_t MapPosX() const { return mapPosX_; }
  void MapPosY(int32_t v) { mapPosY_ = v; }
  int32_t MapPosY() const { return mapPosY_; }
  void DescClip(plat::SurfacePtr buffer) { buffer_ = std::move(buffer); }
  const plat::SurfacePtr& DescClip() const { return buffer_; }
  void SmallMoveX(int32_t v) { smallMoveX_ = v; }
  int32_t SmallMoveX() const { return smallMoveX_; }
  void SmallMoveY(int32_t v) { smallMoveY_ = v; }
  int32_t SmallMoveY() const { return smallMoveY_; }
  void CurrentPosX(int32_t v) { currentPosX_ = v; }
  int32_t CurrentPosX() const { return currentPosX_; }
  void CurrentPosY(int32_t v) { currentPosY_ = v; }
  int32_t CurrentPosY() const { return currentPosY_; }
  int32_t MapTestX() const { return mapTestX_; }
  int32_t MapTestY() const { return mapTestY_; }

 private:
  void ScrollRight();
  void ScrollLeft();
  void ScrollUp();
  void ScrollDown();
  // Buffer columns and rows that hold cells: columns 0..Columns()-1, rows
  // 0..Rows()-1; 0 when there is no buffer or no tile size.
  int32_t Columns() const;
  int32_t Rows() const;
  void DrawCell(int32_t c, int32_t r);
  void DrawColumn(int32_t c);
  void DrawRow(int32_t r);
  // Moves a rectangle of the buffer by (dx, dy) within the buffer; the
  // rectangle and its destination may overlap.
  void ShiftBuffer(const plat::RECT& from, int32_t dx, int32_t dy);
  void RequireSetUp() const;

  CellMap map_;
  int32_t mapSizeX_ = 0;
  int32_t mapSizeY_ = 0;
  SheetKeyIndex keyIndex_;
  plat::SurfacePtr buffer_;
  plat::SurfacePtr target_;
  int32_t targetWidth_ = 0;
  int32_t targetHeight_ = 0;
  int32_t offsetX_ = 0;
  int32_t offsetY_ = 0;
  int32_t smallMoveX_ = 0;
  int32_t smallMoveY_ = 0;
  int32_t mapPosX_ = 0;
  int32_t mapPosY_ = 0;
  int32_t currentPosX_ = 0;
  int32_t currentPosY_ = 0;
  int32_t screenPosX_ = 0;
  int32_t screenPosY_ = 0;
  int32_t mapTestX_ = 0;
  int32_t mapTestY_ = 0;
};

}  // namespace fw
