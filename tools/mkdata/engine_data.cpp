// What start-up reads: the splash picture shown until a key is pressed.
#include <cmath>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

// A tank seen from the side, facing right, standing on ground level y.
void DrawTank(Canvas& c, float x, float y, float scale, Rgb body, Rgb dark) {
  auto s = [scale](float v) { return v * scale; };
  c.Polygon({{x, y - s(18)}, {x + s(150), y - s(18)}, {x + s(135), y}, {x + s(15), y}}, dark);  // tracks
  for (int i = 0; i < 6; ++i) c.Disc(x + s(22 + i * 21.5f), y - s(9), s(8), Mix(dark, body, 0.4f));
  c.Polygon({{x - s(5), y - s(20)}, {x + s(155), y - s(20)}, {x + s(145), y - s(42)}, {x + s(8), y - s(42)}}, body);
  c.Polygon({{x + s(40), y - s(42)}, {x + s(110), y - s(42)}, {x + s(100), y - s(66)}, {x + s(52), y - s(66)}},
            Mix(body, {255, 255, 255}, 0.12f));
  // The gun leaves the turret's front face at mid height.
  c.Rect(static_cast<int>(x + s(104)), static_cast<int>(y - s(57)), static_cast<int>(s(70)), static_cast<int>(s(6)),
         Mix(dark, body, 0.5f));
  c.Rect(static_cast<int>(x + s(170)), static_cast<int>(y - s(58)), static_cast<int>(s(8)), static_cast<int>(s(8)), dark);
}

void Splash(Context& ctx) {
  Canvas c(640, 480);
  c.VerticalGradient(0, 0, 640, 320, {18, 28, 58}, {204, 116, 62});
  c.Rect(0, 320, 640, 160, {204, 116, 62});
  c.Disc(470, 250, 46, {250, 210, 140});
  // Far and near hills.
  std::vector<std::pair<float, float>> far{{0, 480}};
  std::vector<std::pair<float, float>> near{{0, 480}};
  for (int x = 0; x <= 640; x += 8) {
    far.push_back({static_cast<float>(x), 285 - 25 * std::sin(x / 70.0f) - 12 * std::sin(x / 23.0f)});
    near.push_back({static_cast<float>(x), 330 - 18 * std::sin(x / 110.0f + 1.0f)});
  }
  far.push_back({640, 480});
  near.push_back({640, 480});
  c.Polygon(far, {70, 58, 62});
  c.Polygon(near, {52, 60, 38});
  c.Noise(0, 300, 640, 180, 0.08f, 7);
  DrawTank(c, 120, 372, 1.3f, {92, 104, 70}, {34, 36, 30});
  DrawTank(c, 420, 350, 0.6f, {70, 78, 56}, {30, 32, 28});
  c.TextCentered(320, 440, "Press any key", 16, {235, 225, 200});
  const auto jpg = c.Jpg(92);
  ctx.Loose("create(GB).jpg", jpg.data(), jpg.size());
}

Step splash("splash", 10, Splash);

}  // namespace
}  // namespace mkdata
