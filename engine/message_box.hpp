#pragma once
// The question box answered by a key, the one-line text board of the
// battles' exit question and the factory's small text labels, with the
// shared record of the pointer's counters and the box's surfaces.
#include <cstdint>
#include <string>

#include "engine/surfaces.hpp"

namespace fw {

// The pointer's frame counters and the question box's surfaces, made on
// first use and kept for the rest of the run.
struct MsgBoardRecord {
  int32_t CursorFrame = 0;
  int32_t CursorFrame4 = 0;
  plat::SurfacePtr BoardPicture;
  plat::SurfacePtr TextSurface;
  plat::SurfacePtr BoardPicture4;
  plat::SurfacePtr TextSurface4;
};
extern MsgBoardRecord MsgBoard;

// The board picture under the program folder or in "Data".
extern const char* const kBoardPicture;
// Its name as the loaders take it, in the game's code page.
const std::string& BoardPicture();

// Shows the text on the board at (190, 100) of the primary surface and
// waits for a key or a mouse button: the key code, or 0 for a button.
int16_t ShowMessageBox(const std::string& text, int32_t color);
int16_t ShowMessageBox4(const plat::SurfacePtr& dest, const DisplayPtr& dd4, const std::string& text, int32_t color);

// The board with one line of text at (x + 10, y + 5) in the destination's
// own font and fore colour.
void DrawTextBoard(const plat::SurfacePtr& dest, int32_t x, int32_t y, const std::string& text);
// A green label on dark green, 6 pixels per ANSI byte of the text plus 2
// wide and 14 high, at (x, y).
void DrawTextSurface4(const plat::SurfacePtr& surface, int32_t x, int32_t y, const std::string& text);

}  // namespace fw
