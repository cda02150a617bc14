#pragma once
// A one-line text field drawn straight onto a surface: no background, frame
// or caret. Its input mode doubles as its highlight: the text shows in
// ForeColor while the field is active, else in BackColor.
#include <cstdint>
#include <string>

#include "engine/rects.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class qelTextBox {
 public:
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t ForeColor = -1;
  int32_t BackColor = 0;
  plat::Font Font{"Arial", 12.0f, false};
  bool InputMode = false;
  std::string Text;  // code-page bytes
  int32_t MaxLen = 0;  // bytes that typing may reach

  void DesRECT(const RECT& r);
  const RECT& DesRECT() const { return desRect_; }
  // Switches input mode on for a point inside (edges count), off elsewhere.
  bool Click(int32_t x, int32_t y);
  // Esc empties, Enter ends input, Backspace removes the last character;
  // other characters are appended while they fit within MaxLen bytes.
  bool KeyPress(int16_t& code);
  void Blt(const plat::SurfacePtr& target);

 private:
  RECT desRect_{};
};

}  // namespace fw
