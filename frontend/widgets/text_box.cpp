#include "frontend/widgets/text_box.hpp"

#include "frontend/widgets/ansi_text.hpp"

namespace fw {

void qelTextBox::DesRECT(const RECT& r) {
  desRect_ = r;
  Width = LongSum(r.Right, -static_cast<int64_t>(r.Left));
  Height = LongSum(r.Bottom, -static_cast<int64_t>(r.Top));
}

bool qelTextBox::Click(int32_t x, int32_t y) {
  InputMode = PtInRECT(x, y, desRect_);
  return InputMode;
}

bool qelTextBox::KeyPress(int16_t& code) {
  switch (code) {
    case 27: Text.clear(); break;
    case 13: InputMode = false; break;
    case 8: RemoveLastAnsiChar(Text); break;
    case 37: case 39: case 36: case 35: case 46: break;  // "%", "'", "$", "#", "."
    default:
      // A double-byte character that would pass the limit is refused whole,
      // so the text never ends in half a character.
      if (AnsiLength(Text) + AnsiCharLength(code) <= MaxLen) AppendAnsiChar(Text, code);
      break;
  }
  return false;
}

void qelTextBox::Blt(const plat::SurfacePtr& target) {
  if (!target) return;
  target->SetFont(Font);
  target->SetForeColor(InputMode ? ForeColor : BackColor);
  target->DrawText(desRect_.Left, desRect_.Top, Text);
}

}  // namespace fw
