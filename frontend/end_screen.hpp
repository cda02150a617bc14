#pragma once
// The end screen (state 9): the result of the campaign battle just played.
// Enter, Esc or a mouse button close it; a win advances the profile to the
// next mission, and the twentieth mission won leads to the final state.
#include <cstdint>
#include <string>

#include "engine/fresh_press.hpp"
#include "engine/screen.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class FrmEndScreenClass : public Screen {
 public:
  // Takes the result the battle left.
  FrmEndScreenClass();

  int32_t MisIndex = 0;
  bool WinState = false;
  bool Multiplay = false;

  void Load() override;
  void KeyPress(int16_t& keyAscii) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;

  void ReadBackGround();
  void PaintIT();
  void DrawInfo();
  void DrawMultiInfo() {}

  // The picture group of a mission (1 to 4) and its objective text.
  static int32_t PictureGroup(int32_t mission);
  static const char* Objective(int32_t mission);

 private:
  plat::SurfacePtr mPicture;
  std::string mState;
  int32_t mCursorX = 0, mCursorY = 0;
  // Fire held at the battle's end must not close the result unseen.
  FreshPress opened_;
};

}  // namespace fw
