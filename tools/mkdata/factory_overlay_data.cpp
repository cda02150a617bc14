// The factory's 2D overlay: the shop pages' list and preview frames, word
// marks and buttons, the assembly screen's plates and arrows, and the
// scroll bars' sheet. Black is the colour key of every sheet, so the art
// keeps clear of pure black except where the hall should show through.
#include <algorithm>
#include <string>
#include <vector>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

const Rgb kRim{70, 150, 110}, kRimLight{150, 230, 180}, kRimDark{20, 50, 36};
const Rgb kPlateTop{34, 46, 52}, kPlateBottom{14, 20, 24};
const Rgb kLabel{200, 240, 210};

void Save(Context& ctx, const std::string& name, const Canvas& c) {
  const bool jpg = name.size() > 4 && name.substr(name.size() - 4) == ".jpg";
  const auto bytes = jpg ? c.Jpg(92) : c.Bmp();
  ctx.Member("Data", name, bytes.data(), bytes.size());
}

// A bevelled rim around a clear middle, with corner brackets.
Canvas Ring(int w, int h, int thickness) {
  Canvas c(w, h);
  for (int t = 0; t < thickness; ++t) {
    const Rgb shade = Mix(kRimLight, kRimDark, static_cast<float>(t) / static_cast<float>(thickness));
    c.Frame(t, t, w - 2 * t, h - 2 * t, shade);
  }
  const int arm = std::min(w, h) / 6;
  for (int sx : {0, 1})
    for (int sy : {0, 1}) {
      const int x = sx ? w - 4 : 0, y = sy ? h - 4 : 0;
      c.Rect(sx ? w - arm : 0, y, arm, 4, kRimLight);
      c.Rect(x, sy ? h - arm : 0, 4, arm, kRimLight);
    }
  return c;
}

// A dark plate with a rim; its middle is near black but not keyed out, so
// text stays readable over the hall.
Canvas Plate(int w, int h) {
  Canvas c(w, h);
  c.VerticalGradient(0, 0, w, h, kPlateTop, kPlateBottom);
  c.Noise(2, 2, w - 4, h - 4, 0.05f, static_cast<uint32_t>(w * 7 + h));
  c.Frame(0, 0, w, h, kRimLight);
  c.Frame(1, 1, w - 2, h - 2, kRim);
  c.Frame(2, 2, w - 4, h - 4, kRimDark);
  return c;
}

void ButtonFace(Canvas& c, int x, int y, int w, int h, const std::string& label, bool lit) {
  const Rgb top = lit ? Rgb{210, 160, 60} : Rgb{70, 120, 96};
  const Rgb bottom = lit ? Rgb{120, 70, 20} : Rgb{26, 52, 40};
  c.VerticalGradient(x, y, w, h, top, bottom);
  c.Frame(x, y, w, h, lit ? Rgb{255, 230, 150} : kRimLight);
  c.Frame(x + 1, y + 1, w - 2, h - 2, Mix(bottom, {8, 8, 8}, 0.5f));
  c.TextCentered(x + w / 2 + 1, y + (h - 18) / 2 + 1, label, 18, {12, 12, 12}, true);
  c.TextCentered(x + w / 2, y + (h - 18) / 2, label, 18, lit ? Rgb{255, 246, 210} : kLabel, true);
}

void OverlayPictures(Context& ctx) {
  // The scroll bars' sheet: 2 x 8 cells (normal, pressed) of the vertical
  // first arrow, second arrow, track and thumb, then the horizontal ones.
  {
    const int cell = 20;
    Canvas c(2 * cell, 8 * cell);
    for (int r = 0; r < 8; ++r)
      for (int col = 0; col < 2; ++col) {
        const int x = col * cell, y = r * cell, kind = r % 4;
        const bool vertical = r < 4, pressed = col == 1;
        if (kind == 2) {
          c.Rect(x, y, cell, cell, {16, 30, 24});
          if (vertical)
            c.Rect(x + cell / 2 - 1, y, 2, cell, kRimDark);
          else
            c.Rect(x, y + cell / 2 - 1, cell, 2, kRimDark);
          continue;
        }
        c.VerticalGradient(x, y, cell, cell, pressed ? Rgb{200, 150, 60} : Rgb{80, 150, 110},
                           pressed ? Rgb{110, 70, 20} : Rgb{28, 64, 46});
        c.Frame(x, y, cell, cell, kRimLight);
        if (kind == 3) continue;
        const float s = kind == 0 ? -1.0f : 1.0f, cx = x + cell / 2.0f, cy = y + cell / 2.0f;
        c.Polygon(vertical ? std::vector<std::pair<float, float>>{{cx - 6, cy - 4 * s}, {cx + 6, cy - 4 * s},
                                                                 {cx, cy + 5 * s}}
                           : std::vector<std::pair<float, float>>{{cx - 4 * s, cy - 6}, {cx - 4 * s, cy + 6},
                                                                 {cx + 5 * s, cy}},
                  kLabel);
      }
    Save(ctx, "Scroll2.BMP", c);
  }

  // The frame around each shop list (drawn over the list and its bar) and
  // the frame around the item's figures.
  Save(ctx, "bolder1.BMP", Ring(240, 200, 5));
  Save(ctx, "PreviewFrame.BMP", Ring(340, 205, 5));

  // Six word marks that drift over the turning preview.
  {
    const char* words[] = {"SCANNING", "ONLINE", "CALIBRATE", "ARMOUR OK", "TARGETING", "SYSTEMS"};
    Canvas c(120, 6 * 18);
    for (int i = 0; i < 6; ++i) {
      c.Frame(1, i * 18 + 1, 118, 16, kRim);
      c.TextCentered(60, i * 18 + 2, words[i], 12, {120, 255, 160}, true);
    }
    Save(ctx, "Word-.BMP", c);
  }

  // BUY, SELL and EXIT, each lit (under the pointer) and normal.
  {
    const char* labels[] = {"BUY", "SELL", "EXIT"};
    Canvas c(2 * 100, 3 * 36);
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < 2; ++col) ButtonFace(c, col * 100, r * 36, 100, 36, labels[r], col == 0);
    Save(ctx, "ShopButtons.jpg", c);
  }

  // The assembly screen's plates: the fitted set, a list with its bar, the
  // attribute lines (also the message plate), and the five list titles.
  Save(ctx, "PlateSlots.BMP", Plate(170, 260));
  Save(ctx, "PlateList.BMP", Plate(165, 100));
  Save(ctx, "PlateText.BMP", Plate(290, 110));
  {
    const char* titles[] = {"WEAPONS", "SHIELDS", "ENGINES", "REACTORS", "AMMUNITION"};
    Canvas c(150, 5 * 24);
    for (int i = 0; i < 5; ++i) {
      c.VerticalGradient(0, i * 24, 150, 24, {60, 120, 90}, {24, 56, 40});
      c.Frame(0, i * 24, 150, 24, kRimLight);
      c.Text(8, i * 24 + 4, titles[i], 14, kLabel, true);
    }
    Save(ctx, "PlateTitles.BMP", c);
  }

  // LEFT and RIGHT, each normal and lit.
  {
    Canvas c(2 * 40, 2 * 40);
    for (int r = 0; r < 2; ++r)
      for (int col = 0; col < 2; ++col) {
        const int x = col * 40, y = r * 40;
        const bool lit = col == 1;
        c.Disc(x + 20.0f, y + 20.0f, 18, lit ? Rgb{200, 150, 60} : Rgb{50, 110, 80});
        c.Ring(x + 20.0f, y + 20.0f, 18, 2, kRimLight);
        const float s = r == 0 ? -1.0f : 1.0f;
        c.Polygon({{x + 20 + 8 * s, y + 20.0f}, {x + 20 - 6 * s, y + 10.0f}, {x + 20 - 6 * s, y + 30.0f}},
                  lit ? Rgb{255, 246, 210} : kLabel);
      }
    Save(ctx, "Arrows.BMP", c);
  }
}

Step overlay("factory overlay pictures", 45, OverlayPictures);

}  // namespace
}  // namespace mkdata
