#pragma once
// The question box answered by a key, the one-line text board of the
// battles' exit question and the factory's small text labels, with the
// shared record of the pointer's counters and the box's surfaces.
#include <cstdint>
#include <string>
#include <vector>

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

// Where a question box's text goes: wrapped to lines no wider than the
// board leaves between its margins of 20 pixels, the first at (20, 15), and
// the board drawn taller by one line's step for each line past the first,
// down to the screen's bottom at most. A text too long for that is drawn a
// point smaller at a time, down to 8 points; one too long even then gives
// way as plat::FitUtf8Text has it (paths in their middles, then its end).
// The text is UTF-8, as the system names files: a part in the game's code
// page (a profile's name, a data file's) is converted where the text is
// made.
struct BoardText {
  plat::Font font;         // the font the lines are measured and drawn in
  std::vector<std::string> lines;
  int32_t x = 20, y = 15;  // the first line's top-left on the board
  int32_t step = 0;        // from one line's top to the next's
  int32_t width = 0;       // the widest a line may be
  int32_t height = 0;      // the board's height as drawn
  bool cut = false;         // something of the text is left out
};
// The layout for a board of the picture's size shown at the box's place,
// starting from the box's font.
BoardText LayOutBoardText(const plat::Font& font, int32_t boardWidth, int32_t boardHeight, const std::string& text);

// Shows the text (UTF-8) on the board at (190, 100) of the primary surface
// and waits for a key or a mouse button: the key code, or 0 for a button.
int16_t ShowMessageBox(const std::string& text, int32_t color);
int16_t ShowMessageBox4(const plat::SurfacePtr& dest, const DisplayPtr& dd4, const std::string& text, int32_t color);

// The board with one line of text at (x + 10, y + 5) in the destination's
// own font and fore colour.
void DrawTextBoard(const plat::SurfacePtr& dest, int32_t x, int32_t y, const std::string& text);
// A green label on dark green, 6 pixels per ANSI byte of the text plus 2
// wide and 14 high, at (x, y).
void DrawTextSurface4(const plat::SurfacePtr& surface, int32_t x, int32_t y, const std::string& text);

}  // namespace fw
