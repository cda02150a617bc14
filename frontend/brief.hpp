#pragma once
// The mission briefing (state 7): a state page with the mission's picture,
// then a briefing page with its map, a pulsing mark on the mission's place
// and the buttons factory, start and back. The factory runs nested here.
#include <array>
#include <cstdint>
#include <string>

#include "engine/fresh_press.hpp"
#include "engine/rects.hpp"
#include "engine/screen.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class FrmBriefClass : public Screen {
 public:
  void Load() override;
  void KeyPress(int16_t& keyAscii) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;

  void ReadBackPic();
  void PaintIT();
  void CheckClick();
  void CheckClick2();
  void DrawFullMap();

  uint8_t Page() const { return mPage; }
  float Radius() const { return radius_; }

  // The mission's place in 1..20 (0 and every twentieth count as 20), and
  // its pictures and the centre of its mark.
  static int32_t MissionSlot(int32_t mission);
  static std::string BriefPicture(int32_t mission);
  static std::string StatePicture(int32_t mission);
  struct Point {
    int32_t x, y;
  };
  static Point MarkCentre(int32_t mission);

 private:
  void Refuse();
  void ForgetHeldLeftButton() { heldLeftCleared_ = true; }

  std::array<plat::SurfacePtr, 3> mPictures;
  plat::SurfacePtr mBoard;
  std::string mState;
  std::array<RECT, 4> mButtons{};
  int32_t mCursorX = 0, mCursorY = 0;
  int16_t mPressed = 0;
  uint8_t mPage = 0;
  int16_t mWaiting = 0;
  float radius_ = 0.0f;
  // The left button's state was cleared: a button still held from before
  // counts as released until it is pressed anew.
  bool heldLeftCleared_ = false;
  // Since the state page showed: a key or button held from the battle or
  // the factory must not turn it unseen.
  FreshPress statePage_;
};

}  // namespace fw
