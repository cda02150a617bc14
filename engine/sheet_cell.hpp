#pragma once
// The one rule by which a picture sheet is cut into frames: RepeatX by
// RepeatY cells of one size, the sheet's size divided and rounded as the
// runtime rounds (halves to even), frames numbered from 1 left to right and
// then down. Sprite sheets, the cell pictures of the surfaces and the
// scrolling map's tiles all cut their sheets by it.
#include <cstdint>

#include "platform/display/surface.hpp"

namespace fw {

struct SheetCell {
  int32_t width = 0;
  int32_t height = 0;
  // Where the cell starts; past the sheet for a frame beyond its cells.
  int64_t left = 0;
  int64_t top = 0;
  // The whole cell; raises Overflow when it lies beyond 32-bit positions.
  plat::RECT Rect() const;
};

// The cell of a 1-based frame. Raises "Division by zero" when a repeat is 0,
// as the runtime's division does.
SheetCell CellOfFrame(int32_t sheetWidth, int32_t sheetHeight, int32_t repeatX, int32_t repeatY, int32_t frame);

}  // namespace fw
