// The campaign battle screen's own pictures: the loading screen behind the
// progress lines and the 64 x 64 buffer the effects are copied through.
#include <cmath>
#include <string>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

void BattleScreenPictures(Context& ctx) {
  // The progress lines are drawn in green from (60, 40) down to (60, 216):
  // keep that strip dark so they stay readable.
  Canvas load(640, 480);
  load.VerticalGradient(0, 0, 640, 480, {12, 20, 28}, {30, 44, 40});
  for (int i = 0; i < 24; ++i) {
    const float a = static_cast<float>(i) * 0.26f;
    load.Line(470.0f, 330.0f, 470.0f + std::cos(a) * 160.0f, 330.0f + std::sin(a) * 160.0f, {40, 70, 60}, 1.0f);
  }
  load.Ring(470, 330, 120, 3, {70, 120, 90});
  load.Ring(470, 330, 60, 2, {70, 120, 90});
  load.Rect(40, 30, 300, 210, {6, 10, 14});
  load.Frame(40, 30, 300, 210, {60, 110, 80}, 2);
  load.Text(60, 420, "FERROWIND", 36, {150, 200, 160}, true);
  const auto jpg = load.Jpg();
  ctx.Member("Data", "ProcessPic.jpg", jpg.data(), jpg.size());

  // Every effect cell is stretched into it before it is drawn, so its
  // contents never show; black keeps a failed refill invisible.
  Canvas buffer(64, 64);
  const auto bmp = buffer.Bmp();
  ctx.Member("Data", "TextureBuffer64.bmp", bmp.data(), bmp.size());
}

}  // namespace

Step battleScreen("battle screen pictures", 42, BattleScreenPictures);

}  // namespace mkdata
