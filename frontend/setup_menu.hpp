#pragma once
// The setup screen (state 6): a menu page, a key page of 18 key fields and
// a sound page with two volume bars and the sound switch. Edits reach the
// settings and Default.cfg only through "Save"; the sound switch acts at once.
#include <array>
#include <cstdint>
#include <string>

#include "engine/rects.hpp"
#include "engine/screen.hpp"
#include "engine/sprite_sheets.hpp"
#include "frontend/widgets/scroll_bar.hpp"
#include "frontend/widgets/text_box.hpp"

namespace fw {

class FrmSetupMenuClass : public Screen {
 public:
  static constexpr int kFields = 18;

  void Load() override;
  void KeyPress(int16_t& keyAscii) override;
  void KeyDown(int16_t& keyCode, int16_t& shift) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;

  void ChkClick();
  void PaintIT();
  void DrawB1();
  void DrawB2();
  void DrawB3();
  void DebugModeP();
  void GetKeyName();
  void SetKeyName(int32_t field, int16_t code);

  // The KeyTable entry a field shows and stores into (field 1 to 18).
  static int FieldBinding(int32_t field);

  uint8_t Page() const { return mPage; }
  const std::array<int16_t, kFields>& KeyCopy() const { return mKeyCopy; }
  const qelTextBox& KeyBox(int32_t field) const { return mKeyBoxes[static_cast<size_t>(field - 1)]; }
  const qelScrollBarClass& VolumeBar(int32_t n) const { return mVolumeBars[static_cast<size_t>(n - 1)]; }
  // The field waiting for its key, 0 when none.
  int32_t WaitingField() const { return waitingField_; }

 private:
  void Run();
  void LoadPictures();
  void WaitForKey(int32_t field);
  bool StartSlide(bool withSlot7);
  // Slides a picture of a sheet toward its centre line and draws a frame.
  void SlidePicture(const char* clip, int32_t slot, int32_t centre, int32_t y, int32_t frame,
                    OBJRECTClass* spots = nullptr, const char* spot = nullptr);
  OBJRECTClass& PageRects() { return mPageRects[static_cast<size_t>(mPage - 1)]; }

  SufClips mClips;
  std::string mState;
  std::array<OBJRECTClass, 3> mPageRects;
  std::array<qelScrollBarClass, 2> mVolumeBars;
  std::array<qelTextBox, kFields> mKeyBoxes;
  std::array<int16_t, kFields> mKeyCopy{};
  int32_t mCursorX = 0, mCursorY = 0;
  std::string mClickName;
  uint8_t mPage = 1;
  uint8_t mSlideState = 0;
  std::array<int32_t, 11> mSlideX{};  // slots 1 to 10
  int16_t mCapturedKey = 0;
  bool mSaveOnExit = false;
  int32_t waitingField_ = 0;
};

}  // namespace fw
