#include "engine/cursor.hpp"

#include "engine/globals.hpp"
#include "engine/message_box.hpp"
#include "engine/surfaces.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

plat::SurfacePtr CursorSurface;
plat::SurfacePtr CursorSurface4;
const char* const kCursorPicture = "\\Arraw256.BMP";

namespace {
constexpr int64_t kScreenW = 640, kScreenH = 480, kCell = 32;

void DrawFrame(const plat::SurfacePtr& sheet, int32_t& counter, const plat::SurfacePtr& dest, int32_t x, int32_t y) {
  if (!dest) throw plat::RuntimeError(plat::ErrorCode::ObjectMissing, "Object variable not set: no surface for the pointer");
  if (++counter >= 31) counter = 1;
  // Both sheets share the cell grid of the one DrawCursor loads.
  RECT src;
  GetCellRect(src, CursorSurface, 5, 6, counter);
  // Cut at the right and bottom of the screen only: the pointer's hot spot
  // is its top-left corner, which never leaves the screen.
  if (x + kCell > kScreenW) src.Right = static_cast<int32_t>(src.Right - (x - (kScreenW - kCell)));
  if (y + kCell > kScreenH) src.Bottom = static_cast<int32_t>(src.Bottom - (y - (kScreenH - kCell)));
  if (sheet) dest->BltFast(x, y, sheet.get(), &src, plat::DDBLTFAST_SRCCOLORKEY);
}
}  // namespace

void DrawCursor(const plat::SurfacePtr& dest, int32_t x, int32_t y) {
  if (!CursorSurface) {
    LoadSurfaceFromPack(AppPath + kCursorPicture, CursorSurface, DDraw, false, 0, 0);
    SetSurfaceColorKey(CursorSurface, plat::DDCKEY_SRCBLT, 0, 0);
  }
  DrawFrame(CursorSurface, MsgBoard.CursorFrame, dest, x, y);
}

void DrawCursor4(const plat::SurfacePtr& dest, int32_t x, int32_t y) {
  DrawFrame(CursorSurface4, MsgBoard.CursorFrame4, dest, x, y);
}

}  // namespace fw
