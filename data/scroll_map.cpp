#include "data/scroll_map.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/helpers.hpp"
#include "engine/sheet_cell.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {

// Positions are 32-bit: a result that does not fit raises Overflow, as the
// arithmetic of the original did. Halves round to even.
int32_t Whole(double v) { return plat::CLng(v); }

[[noreturn]] void DivisionByZero() {
  throw plat::RuntimeError(plat::ErrorCode::General, "Division by zero: the tile size is 0");
}

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

void ScrollTileSheet::BltFast(plat::Surface& dest, int32_t x, int32_t y, int32_t frame, int flags) const {
  if (!Surface || RepeatX <= 0 || RepeatY <= 0) return;
  if (frame == 0) frame = Index;
  if (frame < 0) frame = 1;
  if (frame > Total) frame = Total;
  const plat::RECT cell = CellOfFrame(Surface->Width(), Surface->Height(), RepeatX, RepeatY, frame).Rect();
  dest.BltFast(x, y, Surface.get(), &cell, flags);
}

ScrollTileSheets::Ptr ScrollTileSheets::Add(const std::string& key, plat::SurfacePtr surface, int32_t repeatX,
                                            int32_t repeatY, int32_t total) {
  auto sheet = std::make_shared<ScrollTileSheet>();
  sheet->Key = key;
  sheet->Surface = std::move(surface);
  sheet->RepeatX = repeatX;
  sheet->RepeatY = repeatY;
  const int64_t frames = static_cast<int64_t>(repeatX) * repeatY;
  sheet->Total = (total < 1 || total > frames) ? static_cast<int32_t>(std::clamp<int64_t>(frames, 0, INT32_MAX)) : total;
  return Insert(sheet, key);
}

void ScrollMapObj::Init(plat::SurfacePtr buffer, plat::SurfacePtr target, int32_t singleW, int32_t singleH,
                        int32_t boldW, int32_t boldH, int32_t mapSizeX, int32_t mapSizeY) {
  buffer_ = std::move(buffer);
  target_ = std::move(target);
  targetWidth_ = target_ ? target_->Width() : 0;
  targetHeight_ = target_ ? target_->Height() : 0;
  SingleW = singleW;
  SingleH = singleH;
  BoldW = boldW;
  BoldH = boldH;
  SetMapSize(mapSizeX, mapSizeY);
}

void ScrollMapObj::SetKeyIndex(int32_t k, const std::string& sheetKey) { keyIndex_.Set(k, sheetKey); }

void ScrollMapObj::SetMapSize(int32_t x, int32_t y) {
  map_ = CellMap(x, y);
  mapSizeX_ = x;
  mapSizeY_ = y;
}

void ScrollMapObj::SetMap(const CellMap& map) {
  map_ = map;
  MakeMap();
}

int32_t ScrollMapObj::Columns() const {
  if (!buffer_ || SingleW <= 0) return 0;
  return std::max(buffer_->Width() / SingleW - 1, 0);
}

int32_t ScrollMapObj::Rows() const {
  if (!buffer_ || SingleH <= 0) return 0;
  return std::max(2 * (buffer_->Height() / SingleH) - 1, 0);
}

void ScrollMapObj::DrawCell(int32_t c, int32_t r) {
  const int64_t mx = static_cast<int64_t>(mapPosX_) + c, my = static_cast<int64_t>(mapPosY_) + r;
  if (!buffer_ || !map_.Contains(mx, my)) return;
  const int32_t v = map_.At(mx, my);
  const std::string& key = keyIndex_.Of(HiByte(v));
  if (key.empty()) return;
  auto sheet = srcClips->Item(key);
  if (!sheet) return;
  // Odd rows lie half a tile to the right; rows overlap by half a tile.
  const double px = static_cast<double>(c) * SingleW + (r % 2 != 0 ? SingleW / 2.0 : 0.0);
  const double py = static_cast<double>(r) * SingleH / 2.0;
  sheet->BltFast(*buffer_, static_cast<int32_t>(plat::RoundHalfEven(px)), static_cast<int32_t>(plat::RoundHalfEven(py)),
                 LoByte(v), plat::DDBLTFAST_SRCCOLORKEY);
}

void ScrollMapObj::DrawColumn(int32_t c) {
  for (int32_t r = 0; r < Rows(); ++r) DrawCell(c, r);
}

void ScrollMapObj::DrawRow(int32_t r) {
  for (int32_t c = 0; c < Columns(); ++c) DrawCell(c, r);
}

void ScrollMapObj::MakeMap() {
  for (int32_t r = 0; r < Rows(); ++r) DrawRow(r);
}

void ScrollMapObj::ShiftBuffer(const plat::RECT& from, int32_t dx, int32_t dy) {
  plat::Surface& s = *buffer_;
  // Clip source and destination to the buffer.
  int32_t left = std::max({from.Left, 0, -dx}), top = std::max({from.Top, 0, -dy});
  int32_t right = std::min({from.Right, s.Width(), s.Width() - dx});
  int32_t bottom = std::min({from.Bottom, s.Height(), s.Height() - dy});
  if (left >= right || top >= bottom) return;
  const size_t bytes = static_cast<size_t>(right - left) * sizeof(uint16_t);
  // Copy rows in the order that reads each source row before it is
  // overwritten.
  if (dy > 0) {
    for (int32_t y = bottom - 1; y >= top; --y) std::memmove(s.Row(y + dy) + left + dx, s.Row(y) + left, bytes);
  } else {
    for (int32_t y = top; y < bottom; ++y) std::memmove(s.Row(y + dy) + left + dx, s.Row(y) + left, bytes);
  }
}

void ScrollMapObj::ScrollRight() {
  ++mapPosX_;
  ShiftBuffer(plat::RECT{SingleW, 0, buffer_->Width(), buffer_->Height()}, -SingleW, 0);
  DrawColumn(buffer_->Width() / SingleW - 2);
}

void ScrollMapObj::ScrollLeft() {
  --mapPosX_;
  ShiftBuffer(plat::RECT{0, 0, buffer_->Width() - SingleW, buffer_->Height()}, SingleW, 0);
  DrawColumn(0);
}

void ScrollMapObj::ScrollUp() {
  mapPosY_ -= 2;
  ShiftBuffer(plat::RECT{0, 0, buffer_->Width(), buffer_->Height() - SingleH}, 0, SingleH);
  DrawRow(0);
  DrawRow(1);
}

void ScrollMapObj::ScrollDown() {
  mapPosY_ += 2;
  ShiftBuffer(plat::RECT{0, SingleH, buffer_->Width(), buffer_->Height()}, 0, -SingleH);
  const int32_t h = buffer_->Height();
  const int32_t r0 = 2 * (h / SingleH) - (h % SingleH == 0 ? 5 : 3);
  DrawRow(r0);
  DrawRow(r0 + 1);
}

void ScrollMapObj::RequireSetUp() const {
  if (!buffer_ || !target_)
    throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, "Object variable not set: the scrolling map has no buffer or target");
  if (SingleW == 0 || SingleH == 0) DivisionByZero();
}

void ScrollMapObj::Refresh() {
  RequireSetUp();
  const int64_t w = buffer_->Width(), h = buffer_->Height();
  const int64_t columnsAcross = FloorDiv(w, SingleW);
  const int64_t rowsDown = 2 * FloorDiv(h, SingleH);
  const double sw = SingleW, sh = SingleH;

  // Stop at the map's edges.
  if (smallMoveX_ < -sw - BoldW / 3.0 && mapPosX_ < 1 && offsetX_ < 0) offsetX_ = 0;
  if (smallMoveY_ < -2 * sh - BoldH / 2.0 && mapPosY_ < 2 && offsetY_ < 0) offsetY_ = 0;
  if (offsetX_ >= 1 && smallMoveX_ > sw + BoldW / 4.0 && mapPosX_ >= mapSizeX_ - columnsAcross) offsetX_ = 0;
  if (offsetY_ >= 1 && smallMoveY_ > sh + BoldH / 2.0 && mapPosY_ >= mapSizeY_ - rowsDown) offsetY_ = 0;

  smallMoveX_ = Whole(static_cast<double>(smallMoveX_) + offsetX_);
  smallMoveY_ = Whole(static_cast<double>(smallMoveY_) + offsetY_);

  // Crossing a tile shifts the buffer by it.
  if (smallMoveX_ < -(static_cast<int64_t>(offsetX_) + SingleW) && mapPosX_ >= 1) {
    smallMoveX_ = 0;
    ScrollLeft();
  }
  if (smallMoveX_ > static_cast<int64_t>(SingleW) - offsetX_ && mapPosX_ < mapSizeX_ - columnsAcross) {
    smallMoveX_ = 0;
    ScrollRight();
  }
  if (smallMoveY_ < -(static_cast<int64_t>(offsetY_) + SingleH) && mapPosY_ >= 2) {
    smallMoveY_ = 0;
    ScrollUp();
  }
  if (smallMoveY_ > static_cast<int64_t>(SingleH) - offsetY_ && mapPosY_ < mapSizeY_ - rowsDown) {
    smallMoveY_ = 0;
    ScrollDown();
  }

  const int32_t left = Whole(static_cast<double>(BoldW) + smallMoveX_);
  const int32_t top = Whole(static_cast<double>(BoldH) + smallMoveY_);
  const plat::RECT view{left, top, Whole(static_cast<double>(targetWidth_) + left),
                        Whole(static_cast<double>(targetHeight_) + top)};
  target_->BltFast(0, 0, buffer_.get(), &view, plat::DDBLTFAST_WAIT);
}

void ScrollMapObj::HitTest(int32_t x, int32_t y) {
  if (SingleW == 0 || SingleH == 0) DivisionByZero();
  const int64_t px = static_cast<int64_t>(BoldW) + x + smallMoveX_;
  const int64_t py = static_cast<int64_t>(BoldH) + y + smallMoveY_;
  int64_t col = FloorDiv(px, SingleW);
  int64_t row = FloorDiv(2 * py, SingleH);
  const int64_t dx = px % SingleW - FloorDiv(SingleW, 2);
  const int64_t dy = py % SingleH - FloorDiv(SingleH, 2);
  const double ratio = static_cast<double>(SingleW) / SingleH;
  // How far the point lies inside the diamond's edge, against the slope.
  auto reach = [&](double ady) { return (SingleW / 2.0 - static_cast<double>(std::llabs(dx))) / ady; };
  if (dx < 0 && dy < 0) {
    if (ratio > reach(static_cast<double>(-dy))) {
      --row;
      --col;
    }
  } else if (dx < 0) {
    if (dy == 0)
      --row;
    else if (ratio >= reach(static_cast<double>(dy)))
      --col;
    else
      --row;
  } else if (dx > 0 && dy < 0) {
    if (ratio > reach(static_cast<double>(-dy))) --row;
  } else if (dy >= 0) {
    if (ratio < reach(dy == 0 ? 0.001 : static_cast<double>(dy))) --row;
  }
  currentPosX_ = Whole(static_cast<double>(col) + mapPosX_);
  currentPosY_ = Whole(static_cast<double>(row) + mapPosY_);
  screenPosX_ = Whole(static_cast<double>(col) * SingleW - BoldW - smallMoveX_ + (row % 2 != 0 ? SingleW / 2.0 : 0.0));
  screenPosY_ = Whole(static_cast<double>(SingleH) * row / 2.0 - BoldH - smallMoveY_);
}

bool ScrollMapObj::MapTest(int32_t x, int32_t y) {
  RequireSetUp();
  const int64_t columnsAcross = FloorDiv(buffer_->Width(), SingleW);
  const int64_t rowsDown = 2 * FloorDiv(buffer_->Height(), SingleH);
  if (!(mapPosX_ <= x && x <= mapPosX_ + columnsAcross && mapPosY_ <= y && y <= mapPosY_ + rowsDown)) return false;
  const double across = static_cast<double>(x) - mapPosX_ + (y % 2 == 0 ? 0.5 : 1.0);
  mapTestX_ = Whole(across * SingleW - (static_cast<double>(smallMoveX_) + BoldW));
  mapTestY_ = Whole((static_cast<double>(y) - mapPosY_ + 2) * SingleH / 2.0 - (static_cast<double>(smallMoveY_) + BoldH));
  return true;
}

}  // namespace fw
