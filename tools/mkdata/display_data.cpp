// What the display layer loads itself: the animated mouse pointer sheet and
// the board of the question box.
#include <cmath>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

constexpr int kFrame = 32;
constexpr int kColumns = 5, kRows = 6;

// An arrow pointer with its tip (the hot spot) at the top-left corner.
const std::vector<std::pair<float, float>> kArrow{{1, 1},   {1, 23},  {6.5f, 18}, {10.5f, 27},
                                                  {14, 25.5f}, {10, 17}, {17.5f, 17}};

// Frame n (0..29): the arrow in gold with a bright band sweeping along it
// and a soft pulse, on black, which the game keys out. Colours stay clear
// of black so no part of the arrow turns transparent.
void DrawPointerFrame(Canvas& sheet, int n) {
  Canvas mask(kFrame, kFrame);
  mask.Polygon(kArrow, {255, 255, 255});
  const float phase = static_cast<float>(n) / (kColumns * kRows);
  const float pulse = 0.5f + 0.5f * std::sin(phase * 2.0f * 3.14159265f);
  const Rgb gold = Mix({214, 160, 40}, {250, 214, 90}, pulse);
  const Rgb outline{28, 24, 16};
  const int ox = (n % kColumns) * kFrame, oy = (n / kColumns) * kFrame;
  auto inside = [&](int x, int y) { return mask.Get(x, y).r > 0; };
  for (int y = 0; y < kFrame; ++y)
    for (int x = 0; x < kFrame; ++x) {
      if (inside(x, y)) {
        // The band runs diagonally from the tip to the tail over the frames.
        const float along = (x + y) / 40.0f - phase * 1.6f + 0.3f;
        const float band = std::max(0.0f, 1.0f - std::fabs(along) * 6.0f);
        const Rgb shaded = Mix(gold, Mix(gold, {120, 80, 20}, 0.6f), y / 40.0f);
        sheet.Set(ox + x, oy + y, Mix(shaded, {255, 250, 225}, band));
      } else if (inside(x - 1, y) || inside(x + 1, y) || inside(x, y - 1) || inside(x, y + 1)) {
        sheet.Set(ox + x, oy + y, outline);
      }
    }
}

void PointerSheet(Context& ctx) {
  Canvas sheet(kColumns * kFrame, kRows * kFrame);
  for (int n = 0; n < kColumns * kRows; ++n) DrawPointerFrame(sheet, n);
  const auto bmp = sheet.Bmp();
  ctx.Member("Data", "Arraw256.BMP", bmp.data(), bmp.size());
}

// The board of the question box: a dark steel plate with a bevelled edge,
// wide enough for the longest question in 16-pixel text from (20, 15).
void MessageBoard(Context& ctx) {
  Canvas c(420, 50);
  c.VerticalGradient(0, 0, 420, 50, {58, 66, 80}, {26, 30, 38});
  c.Noise(2, 2, 416, 46, 0.04f, 11);
  c.Rect(0, 0, 420, 2, {150, 160, 176});
  c.Rect(0, 0, 2, 50, {150, 160, 176});
  c.Rect(0, 48, 420, 2, {12, 14, 18});
  c.Rect(418, 0, 2, 50, {12, 14, 18});
  c.Frame(5, 5, 410, 40, {96, 84, 52});
  for (auto [x, y] : {std::pair{9, 9}, std::pair{410, 9}, std::pair{9, 40}, std::pair{410, 40}})
    c.Disc(x + 0.5f, y + 0.5f, 2.0f, {140, 146, 156});
  const auto bmp = c.Bmp();
  ctx.Member("Data", "訊息框.bmp", bmp.data(), bmp.size());
}

Step pointer("pointer sheet", 20, PointerSheet);
Step board("message board", 20, MessageBoard);

}  // namespace
}  // namespace mkdata
