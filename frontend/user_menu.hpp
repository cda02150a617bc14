#pragma once
// The profile screen (state 5), the first screen after start-up: six name
// boards sliding in from the left, the selected profile's statistics board
// swinging out and back on each change of selection, and the hot spots
// "YES" (play), "DEL" (reset) and "Quit".
#include <array>
#include <cstdint>
#include <string>

#include "engine/rects.hpp"
#include "engine/screen.hpp"
#include "engine/sprite_sheets.hpp"

namespace fw {

class FrmUserMenuClass : public Screen {
 public:
  void Load() override;
  void KeyPress(int16_t& keyAscii) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;

  void ChkClick();
  void PaintIT();
  void DrawButton();

  int32_t Slot() const { return mSlot; }
  bool Editing() const { return mEditing; }
  // Where the statistics board was drawn in the last frame.
  float BoardX() const { return boardX_; }

  // For the tests: the buttons where they stand now.
  OBJRECTClass& Rects() { return mRects; }

 private:
  void LoadPictures();
  void ComposeBoard();
  // Asks a question on the screen; true when answered with Y.
  bool Ask(const std::string& question);
  void SaveUsers();
  // A message box that the screen's keys leave alone while it shows.
  void Tell(const std::string& text);

  SufClips mClips;
  std::string mState;
  OBJRECTClass mRects;
  int32_t mCursorX = 0, mCursorY = 0;
  std::string mClickName;
  int32_t mSlot = 1;
  std::string mEditBuffer;
  bool mEditing = false;
  int32_t mShownSlot = 0;
  bool mAsking = false;
  std::string mOriginalName;

  float swing_ = 0.0f;
  float boardX_ = 0.0f;
  bool boardsPlaced_ = false;
  std::array<int32_t, 6> boardX6_{};
  int16_t blink_ = 0;
};

}  // namespace fw
