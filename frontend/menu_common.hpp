#pragma once
// What the menu screens share: whole-pixel cursor positions, the slide-in
// of their pictures, hot spots under the pointer, the frame's end, and the
// battle tank builder that the profile screen and the briefing call.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/rects.hpp"
#include "engine/screen.hpp"
#include "engine/sprite_sheets.hpp"

namespace fw {

// Builds the current profile's battle tank from its fitted equipment. The
// program sets it; unset, the battle tank stays as it is.
extern std::function<void()> BuildBattleTank;
void CallBuildBattleTank();

// The runtime's Str: the number's text, a leading blank when not negative.
std::string Str(double v);

// A position in whole pixels, halves to the even one.
int32_t WholePixel(float v);

// One step of a picture sliding in from the left towards x = target: a
// 1/divisor part of the way while short of it, else onto it.
void SlideStep(int32_t& x, double target, int32_t divisor);

// Hot spots under the 1x1 rectangle at the point; the key of the first one
// ("" when none).
void HoverAt(OBJRECTClass& rects, int32_t x, int32_t y);
std::string FirstHovered(OBJRECTClass& rects);
void MoveHotSpot(OBJRECTClass& rects, const std::string& key, int32_t x, int32_t y);

// A picture under the program folder or in "Data" into a sheet, black-keyed
// when asked.
std::shared_ptr<Clip> AddPicture(SufClips& clips, const std::string& key, const std::string& gamePath,
                                 int32_t repeatX, int32_t repeatY, bool blackKeyed, bool videoMemory = false);

// The display is never lost here; the test stays for its place in the loop.
void MenuTestCoop();
// The pointer at the mouse, then the frame to the screen.
void PresentMenuFrame();

// Shows that a settings or profile file could not be written (LastError
// names it); the game goes on with the old file.
void ShowSaveFailure();

}  // namespace fw
