#pragma once
// A line of text over the frames on screen for a few seconds: how the game
// tells the player of a failure that needs no answer (a screen capture that
// could not be written) without stopping whatever runs.
#include <cstdint>
#include <string>

namespace plat {

// Shows the text (UTF-8) over every frame presented during the next ms
// milliseconds of the game's clock; the frame on screen shows it at once.
void ShowNotice(const std::string& utf8Text, uint32_t ms);
// The text on screen now, or "" when none.
std::string CurrentNotice();

// Presents a frame in the window, with the notice drawn over it while one
// is up.
void PresentWithNotice(const uint16_t* pixels, int width, int height, int pitchPixels);

}  // namespace plat
