#pragma once
// The main menu (state 1): four buttons sliding in from the left, to the
// briefing, the network lobby, the setup screen and the profile screen; a
// "Quit" hot spot and Esc lead back to the profile screen.
#include <array>
#include <cstdint>
#include <string>

#include "engine/rects.hpp"
#include "engine/screen.hpp"
#include "engine/sprite_sheets.hpp"

namespace fw {

class FrmMainMenuClass : public Screen {
 public:
  void Load() override;
  void KeyPress(int16_t& keyAscii) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;

  void ChkClick();
  void PaintIT();
  void DrawButton();
  void DebugModeP();

  // For the tests: the buttons where they stand now.
  OBJRECTClass& Rects() { return mRects; }

 private:
  void Run();

  SufClips mClips;
  std::string mState;
  OBJRECTClass mRects;
  int32_t mCursorX = 0, mCursorY = 0;
  std::string mClickName;

  bool buttonsPlaced_ = false;
  std::array<int32_t, 5> buttonX_{};
};

}  // namespace fw
