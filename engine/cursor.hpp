#pragma once
// The animated mouse pointer that every screen draws into its frame.
#include <cstdint>

#include "platform/display/surface.hpp"

namespace fw {

// The pointer sheet (5 x 6 frames of 32 x 32), loaded by the first
// DrawCursor; the factory loads its own copy into CursorSurface4.
extern plat::SurfacePtr CursorSurface;
extern plat::SurfacePtr CursorSurface4;
// The sheet's picture under the program folder or in "Data".
extern const char* const kCursorPicture;

// Draws the pointer's next frame (1 to 30, one step per call) at (x, y),
// black transparent, cut at the right and bottom of the 640 x 480 screen.
void DrawCursor(const plat::SurfacePtr& dest, int32_t x, int32_t y);
// The same from CursorSurface4 with its own counter; loads nothing.
void DrawCursor4(const plat::SurfacePtr& dest, int32_t x, int32_t y);

}  // namespace fw
