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

// The lines a text is broken into so that none is wider than maxWidth in
// the surface's font: at line ends, then between words, and inside a word
// (between characters) that is wider on its own, as Chinese text is. Past
// mostLines lines the rest is not laid out (one more line tells it is cut).
std::vector<std::string> WrapText(const Surface& s, const std::string& text, int maxWidth,
                                  size_t mostLines = SIZE_MAX);

// Draws the box with the text onto a 640x480 frame; the OK button's place.
RECT DrawMessageBox(Surface& frame, const std::string& text);

// Tests: boxes wait for their answer also on SDL's dummy driver, where they
// otherwise only write to standard error.
void SetMessageBoxesWaitHeadless(bool wait);

}  // namespace plat
