#include "engine/sheet_cell.hpp"

#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {

plat::RECT SheetCell::Rect() const {
  const double l = static_cast<double>(left), t = static_cast<double>(top);
  return plat::RECT{plat::CLng(l), plat::CLng(t), plat::CLng(l + width), plat::CLng(t + height)};
}

SheetCell CellOfFrame(int32_t sheetWidth, int32_t sheetHeight, int32_t repeatX, int32_t repeatY, int32_t frame) {
  if (repeatX == 0 || repeatY == 0)
    throw plat::RuntimeError(plat::ErrorCode::General, "Division by zero: a sheet of no cells");
  SheetCell cell;
  cell.width = plat::CLng(static_cast<double>(sheetWidth) / repeatX);
  cell.height = plat::CLng(static_cast<double>(sheetHeight) / repeatY);
  // 64-bit, so that no frame number and no repeat can overflow the division.
  const int64_t n = int64_t{frame} - 1;
  const int64_t column = n % repeatX;
  const int64_t row = (n - column) / repeatX;
  cell.left = column * cell.width;
  cell.top = row * cell.height;
  return cell;
}

}  // namespace fw
