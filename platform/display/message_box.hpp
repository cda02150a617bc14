#pragma once
// The runtime's modal message with an OK button. The text always goes to
// standard error too, so a script that runs the game keeps a trace. While
// the game's window shows, the box is drawn over its picture in the game's
// own fonts (no system dialog, which would need fonts the machine may lack)
// and waits for Enter, Space, Esc or a click on OK. Closing the window or a
// quit signal also ends the wait, and the close then reaches the game.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/display/surface.hpp"

namespace plat {

void MsgBox(std::string_view text, std::string_view title = "Ferrowind");
// The same for a text already in UTF-8, as every message that names files
// on this machine is made: it is shown and written as it stands, so a name
// keeps letters the game's code page lacks.
void MsgBoxUtf8(std::string_view utf8, std::string_view title = "Ferrowind");

// The lines a UTF-8 text is broken into so that none is wider than maxWidth
// in the surface's font: at line ends, then between words, and inside a
// word (between characters) that is wider on its own, as Chinese text is.
// Past mostLines lines the rest is not laid out (one more line tells it is
// cut).
std::vector<std::string> WrapUtf8Text(const Surface& s, const std::string& utf8, int maxWidth,
                                      size_t mostLines = SIZE_MAX);

// The lines of a UTF-8 text that must fit in mostLines lines no wider than
// maxWidth. Where it needs more, the middles of its paths give way first,
// the longest first ("/home/p/.../pic/X.bmp"): a path's start, its entry's
// name and every word after it stay, since they tell what to mend. Only a
// text that needs more even then is cut after the last line that fits,
// ending in "...".
struct FittedText {
  std::vector<std::string> lines;
  bool cut = false;  // words were left out at the end
};
FittedText FitUtf8Text(const Surface& font, const std::string& utf8, int maxWidth, size_t mostLines);

// Draws the box with the text, in UTF-8 as it is shown, onto a 640x480
// frame; the OK button's place.
RECT DrawMessageBox(Surface& frame, const std::string& utf8);

// Tests: boxes wait for their answer also on SDL's dummy driver, where they
// otherwise only write to standard error.
void SetMessageBoxesWaitHeadless(bool wait);

// While one lives, a box that finds the game's window closed opens it for
// itself where a display can be reached, waits there, and closes it again:
// a start that ends before its window opens tells a player who started the
// game from a desktop, with no terminal to read. Outside it such a box only
// writes to standard error, as the one telling that no window opens must.
class BoxesOpenTheWindow {
 public:
  BoxesOpenTheWindow();
  ~BoxesOpenTheWindow();
  BoxesOpenTheWindow(const BoxesOpenTheWindow&) = delete;
  BoxesOpenTheWindow& operator=(const BoxesOpenTheWindow&) = delete;

 private:
  bool before_;
};

}  // namespace plat
