// The front-end's pictures: the backgrounds, button sheets and boards of the
// profile screen, main menu and setup screen, the briefing's button sheet,
// message board and mission pictures, and the end screen's result pictures.
// Sheets are keyed on black, so their art keeps clear of pure black.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mission_orders.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

const Rgb kSteelTop{96, 106, 122}, kSteelBottom{44, 50, 62};
const Rgb kGold{236, 196, 92}, kPale{228, 232, 238};

void Save(Context& ctx, const std::string& archive, const std::string& name, const Canvas& c) {
  const bool jpg = name.size() > 4 && (name.substr(name.size() - 4) == ".jpg");
  const auto bytes = jpg ? c.Jpg(90) : c.Bmp();
  ctx.Member(archive, name, bytes.data(), bytes.size());
}

// A bevelled steel plate.
void Plate(Canvas& c, int x, int y, int w, int h, Rgb top = kSteelTop, Rgb bottom = kSteelBottom) {
  c.VerticalGradient(x, y, w, h, top, bottom);
  c.Noise(x + 1, y + 1, w - 2, h - 2, 0.04f, static_cast<uint32_t>(x * 31 + y));
  c.Rect(x, y, w, 2, Mix(top, {255, 255, 255}, 0.45f));
  c.Rect(x, y, 2, h, Mix(top, {255, 255, 255}, 0.3f));
  c.Rect(x, y + h - 2, w, 2, {14, 16, 20});
  c.Rect(x + w - 2, y, 2, h, {14, 16, 20});
}

// A button cell with its label; a lit button glows warmer.
void ButtonCell(Canvas& c, int x, int y, int w, int h, const std::string& label, bool lit) {
  const int m = 3;
  if (lit)
    Plate(c, x + m, y + m, w - 2 * m, h - 2 * m, {176, 132, 52}, {96, 64, 24});
  else
    Plate(c, x + m, y + m, w - 2 * m, h - 2 * m);
  c.Frame(x + m + 4, y + m + 4, w - 2 * m - 8, h - 2 * m - 8, lit ? Rgb{250, 220, 130} : Rgb{120, 128, 140});
  const int size = std::min(22, (h - 2 * m) / 2);
  c.TextCentered(x + w / 2 + 1, y + (h - size) / 2 - 1, label, size, {20, 20, 24}, true);
  c.TextCentered(x + w / 2, y + (h - size) / 2 - 2, label, size, lit ? Rgb{255, 240, 190} : kPale, true);
}

// A sheet of columns x rows cells of w x h; cell (r, c) from 0 gets a label
// and a lit flag.
template <typename F>
Canvas Sheet(int columns, int rows, int w, int h, F cell) {
  Canvas c(columns * w, rows * h);
  for (int r = 0; r < rows; ++r)
    for (int col = 0; col < columns; ++col) cell(c, col * w, r * h, r, col);
  return c;
}

// A dusk battlefield with hills, the common ground of the menu backgrounds.
void Backdrop(Canvas& c, Rgb sky, Rgb ground, uint32_t seed) {
  c.VerticalGradient(0, 0, 640, 330, Mix(sky, {10, 12, 24}, 0.6f), sky);
  c.Rect(0, 330, 640, 150, ground);
  std::vector<std::pair<float, float>> far{{0, 480}}, near{{0, 480}};
  for (int x = 0; x <= 640; x += 8) {
    const float fx = static_cast<float>(x);
    far.push_back({fx, 300 - 30 * std::sin(fx / 80.0f + seed) - 10 * std::sin(fx / 21.0f)});
    near.push_back({fx, 345 - 16 * std::sin(fx / 120.0f + seed * 0.7f)});
  }
  far.push_back({640, 480});
  near.push_back({640, 480});
  c.Polygon(far, Mix(sky, {30, 30, 40}, 0.7f));
  c.Polygon(near, Mix(ground, {20, 24, 16}, 0.5f));
  c.Noise(0, 0, 640, 480, 0.05f, seed);
}

void QuitMark(Canvas& c) {
  c.Rect(626, 0, 13, 17, {120, 36, 30});
  c.Line(629, 4, 635, 12, kPale, 1.5f);
  c.Line(635, 4, 629, 12, kPale, 1.5f);
}

// --- profile screen -------------------------------------------------------

void ProfileScreen(Context& ctx) {
  Canvas back(640, 480);
  Backdrop(back, {70, 92, 120}, {58, 64, 44}, 3);
  back.TextCentered(320, 459, "Choose your commander", 14, kPale, true);
  QuitMark(back);
  Save(ctx, "Data", "UserMenu.jpg", back);

  // 2 x 3 cells of 240 x 50: name boards, then YES and DEL, each lit first.
  const auto buttons = Sheet(2, 3, 240, 50, [](Canvas& c, int x, int y, int r, int col) {
    if (r == 0) {
      Plate(c, x + 2, y + 2, 236, 46, col == 0 ? Rgb{150, 156, 120} : Rgb{104, 112, 124},
            col == 0 ? Rgb{74, 80, 52} : Rgb{48, 54, 64});
      c.Disc(x + 20, y + 25, 9, col == 0 ? kGold : Rgb{120, 126, 136});
      c.Disc(x + 20, y + 25, 5, {40, 44, 50});
    } else {
      ButtonCell(c, x, y, 240, 50, r == 1 ? "YES" : "DEL", col == 0);
    }
  });
  Save(ctx, "Data", "UserMenuB.bmp", buttons);

  // The statistics board: labels left of the values the screen writes.
  Canvas board(300, 356);
  Plate(board, 0, 0, 300, 356, {62, 72, 86}, {30, 34, 44});
  board.Frame(8, 8, 284, 340, {120, 128, 140});
  const struct {
    const char* label;
    int y;
  } labels[] = {{"Name", 36},   {"Money", 85},  {"Kills", 105},  {"Deaths", 126}, {"Mission", 147},
                {"Kills", 206}, {"Deaths", 226}, {"Won", 277},   {"Lost", 299}};
  for (const auto& l : labels) board.Text(l.y == 36 ? 24 : 40, l.y, l.label, 13, {200, 206, 214}, true);
  board.Text(24, 66, "Campaign", 12, kGold, true);
  board.Text(24, 186, "Network", 12, kGold, true);
  board.Text(24, 257, "Network games", 12, kGold, true);
  Save(ctx, "Data", "Board.bmp", board);
}

// --- main menu ------------------------------------------------------------

void MainMenu(Context& ctx) {
  Canvas back(640, 480);
  Backdrop(back, {168, 96, 60}, {70, 60, 40}, 5);
  back.TextCentered(320, 20, "Command Headquarters", 26, kPale, true);
  QuitMark(back);
  Save(ctx, "Data", "MainMenu.jpg", back);
  const char* labels[] = {"Campaign", "MultiPlayer", "Setting", "Player"};
  const auto sheet = Sheet(2, 4, 240, 56, [&](Canvas& c, int x, int y, int r, int col) {
    ButtonCell(c, x, y, 240, 56, labels[r], col == 0);
  });
  Save(ctx, "Data", "MainMenuB.bmp", sheet);
}

// --- setup screen ---------------------------------------------------------

void SetupScreen(Context& ctx) {
  Canvas back(640, 480);
  Backdrop(back, {60, 80, 70}, {48, 56, 40}, 9);
  back.Text(20, 450, "Setup", 18, kPale, true);
  QuitMark(back);
  Save(ctx, "Data", "SetupMenu.jpg", back);

  const char* page1[] = {"Key", "Sound", "Save"};
  Save(ctx, "Data", "SetupMenuB1.BMP", Sheet(2, 3, 240, 56, [&](Canvas& c, int x, int y, int r, int col) {
         ButtonCell(c, x, y, 240, 56, page1[r], col == 0);
       }));
  const char* sound[] = {"Sound ON", "Sound OFF"};
  Save(ctx, "Data", "SetupMenuB2.BMP", Sheet(2, 2, 200, 44, [&](Canvas& c, int x, int y, int r, int col) {
         ButtonCell(c, x, y, 200, 44, sound[r], col == 0);
       }));
  const char* yesNo[] = {"OK", "No"};
  Save(ctx, "Data", "yesno.bmp", Sheet(2, 2, 80, 40, [&](Canvas& c, int x, int y, int r, int col) {
         ButtonCell(c, x, y, 80, 40, yesNo[r], col == 0);
       }));

  // The volume panel: the bars are drawn into it at (20, 47) and (20, 117).
  Canvas panel(260, 160);
  Plate(panel, 0, 0, 260, 160, {70, 80, 96}, {34, 40, 50});
  panel.Text(20, 22, "Effects volume", 14, kPale, true);
  panel.Text(20, 92, "Music volume", 14, kPale, true);
  Save(ctx, "Data", "SoundVol.BMP", panel);

  // The key page: a label left of each field (fields at x 150 and 385 on the
  // screen, y 45i + 10); the picture stands at (20, 30).
  Canvas keys(500, 420);
  Plate(keys, 0, 0, 500, 420, {54, 62, 76}, {26, 30, 38});
  const char* names[18] = {"Forward", "Backward", "Turn right", "Turn left", "Stop",     "Free scroll",
                           "Turret",  "Small map", "Weapon 0",  "Weapon 1",  "Weapon 2", "Weapon 3",
                           "Weapon 4", "Weapon 5", "Weapon 6",  "Weapon 7",  "Weapon 8", "Weapon 9"};
  for (int i = 1; i <= 18; ++i) {
    const int row = i <= 9 ? i : i - 9;
    const int fieldX = (i <= 9 ? 150 : 385) - 20, fieldY = 45 * row + 10 - 30;
    keys.Text(fieldX - 118, fieldY, names[i - 1], 13, {214, 218, 224}, true);
    keys.Rect(fieldX - 4, fieldY - 3, 108, 22, {18, 22, 26});
    keys.Frame(fieldX - 4, fieldY - 3, 108, 22, {90, 100, 110});
  }
  keys.TextCentered(250, 8, "Click a field, then press the key", 13, kGold, true);
  Save(ctx, "Data", "keysetup.jpg", keys);

  // The volume bars' sheet: 2 x 8 cells of 20 x 20 (normal, pressed):
  // vertical arrows, track and thumb, then the horizontal ones.
  Save(ctx, "Data", "Scroll1.BMP", Sheet(2, 8, 20, 20, [](Canvas& c, int x, int y, int r, int col) {
         const bool pressed = col == 1;
         const Rgb face = pressed ? Rgb{150, 120, 60} : Rgb{110, 120, 134};
         const int kind = r % 4;  // 0 first arrow, 1 second arrow, 2 track, 3 thumb
         const bool vertical = r < 4;
         if (kind == 2) {
           if (col == 0) c.Rect(x, y, 20, 20, {36, 40, 48});
           if (col == 0) (vertical ? c.Rect(x + 9, y, 2, 20, {80, 86, 96}) : c.Rect(x, y + 9, 20, 2, {80, 86, 96}));
           return;
         }
         Plate(c, x, y, 20, 20, Mix(face, {255, 255, 255}, 0.2f), Mix(face, {0, 0, 0}, 0.4f));
         if (kind == 3) return;
         const float s = kind == 0 ? -1.0f : 1.0f;
         std::vector<std::pair<float, float>> tri =
             vertical ? std::vector<std::pair<float, float>>{{x + 5.0f, y + 10 - 3 * s}, {x + 15.0f, y + 10 - 3 * s}, {x + 10.0f, y + 10 + 4 * s}}
                      : std::vector<std::pair<float, float>>{{x + 10 - 3 * s, y + 5.0f}, {x + 10 - 3 * s, y + 15.0f}, {x + 10 + 4 * s, y + 10.0f}};
         c.Polygon(tri, kPale);
       }));
}

// --- briefing ---------------------------------------------------------------

const char* const kMissionNames[20] = {
    "Rescue at Dawn",      "Border Patrol",   "The Rebel Base",   "River Crossing",  "Mountain Pass",
    "Supply Lines",        "Night Raid",      "The Long Road",    "The Scientist",   "Valley of Smoke",
    "The Magazine",        "Counterstrike",   "Tank Works",       "Rotor Nest",      "The Hostage",
    "Iron Ridge",          "Desert Storm",    "Last Stand",       "The Breakthrough", "Final Assault"};

// Words of a text in lines of at most `width` characters.
std::vector<std::string> Wrapped(const std::string& text, size_t width) {
  std::vector<std::string> lines(1);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width) lines.emplace_back();
    if (!lines.back().empty()) lines.back() += ' ';
    lines.back() += word;
    at = end + 1;
  }
  return lines;
}

// The map spots the briefing marks, by mission.
const int kMarks[20][2] = {{480, 114}, {525, 84}, {553, 76}, {536, 117}, {537, 137}, {534, 157}, {506, 136},
                           {499, 163}, {476, 152}, {434, 184}, {432, 130}, {536, 117}, {393, 93}, {492, 76},
                           {452, 68},  {378, 76},  {396, 187}, {389, 99},  {480, 114}, {488, 94}};

void Briefing(Context& ctx) {
  // 3 x 2 cells of 90 x 38: factory, start, back; plain then lit.
  const char* labels[] = {"Factory", "Start", "Back"};
  Save(ctx, "Data", "fbriefcmd1.bmp", Sheet(3, 2, 90, 38, [&](Canvas& c, int x, int y, int r, int col) {
         ButtonCell(c, x, y, 90, 38, labels[col], r == 1);
       }));
  Canvas board(250, 70);
  Plate(board, 0, 0, 250, 70, {72, 40, 36}, {34, 18, 16});
  board.Frame(4, 4, 242, 62, {160, 100, 80});
  Save(ctx, "Data", "MsgBoard.bmp", board);

  for (int m = 1; m <= 20; ++m) {
    const std::string title = "Mission " + std::to_string(m) + ": " + kMissionNames[m - 1];
    // The state page: the mission's title over its battlefield.
    Canvas state(640, 480);
    Backdrop(state, Mix({90, 110, 150}, {190, 110, 60}, m / 20.0f), {60, 62, 42}, static_cast<uint32_t>(m * 7));
    Plate(state, 60, 150, 520, 110, {40, 46, 58}, {20, 24, 30});
    state.TextCentered(320, 170, title, 26, kGold, true);
    state.TextCentered(320, 220, "Click to read the briefing", 14, kPale);
    QuitMark(state);
    char name[40];
    std::snprintf(name, sizeof name, "MissionState%02d.jpg", m);
    Save(ctx, "MissionPack", name, state);

    // The briefing page: orders on the left, the theatre map on the right,
    // the button bar at the bottom.
    Canvas brief(640, 480);
    brief.VerticalGradient(0, 0, 640, 480, {34, 40, 34}, {18, 22, 18});
    brief.Noise(0, 0, 640, 480, 0.05f, static_cast<uint32_t>(m));
    Plate(brief, 20, 40, 320, 360, {52, 58, 50}, {28, 32, 26});
    brief.Text(36, 56, title, 15, kGold, true);
    std::vector<std::string> lines = Wrapped(kMissionOrders[m - 1], 32);
    lines.insert(lines.begin(), "Orders from headquarters:");
    lines.emplace_back("");
    for (const std::string& l : Wrapped("Arm your tank in the maintenance factory first: a hull, an engine, a reactor and a weapon.", 32))
      lines.push_back(l);
    for (size_t i = 0; i < lines.size(); ++i) brief.Text(36, 100 + 24 * static_cast<int>(i), lines[i], 14, kPale);
    Plate(brief, 356, 40, 250, 170, {70, 92, 60}, {44, 60, 38});
    for (int i = 0; i < 6; ++i)
      brief.Line(360.0f, 60.0f + 25 * i, 602.0f, 52.0f + 27 * i, {88, 116, 76}, 1.0f);
    brief.Line(370, 190, 590, 60, {60, 96, 150}, 3.0f);  // a river
    for (int i = 0; i < 20; ++i) brief.Disc(kMarks[i][0] + 0.5f, kMarks[i][1] + 0.5f, 2.0f, {40, 44, 36});
    brief.Text(362, 214, "Theatre of operations", 12, kPale);
    brief.Rect(300, 414, 330, 56, {26, 30, 26});
    QuitMark(brief);
    Save(ctx, "MissionPack", "MissionBrief" + std::string(1, static_cast<char>('A' + m - 1)) + ".jpg", brief);
  }
}

// --- end screen -------------------------------------------------------------

void Results(Context& ctx) {
  for (int g = 1; g <= 4; ++g)
    for (bool won : {true, false}) {
      Canvas c(640, 480);
      Backdrop(c, won ? Rgb{200, 150, 70} : Rgb{90, 60, 70}, {60, 54, 40}, static_cast<uint32_t>(g * 13 + won));
      c.TextCentered(320, 24, won ? "Mission accomplished" : "Mission failed", 28, won ? kGold : Rgb{230, 120, 110}, true);
      // Light plates under the values, which are written in near-black.
      auto field = [&](int x, int y, const char* label) {
        c.Text(x - 150, y, label, 14, kPale, true);
        // Narrow enough to end before the labels of the right column.
        c.Rect(x - 4, y - 3, 86, 22, {214, 218, 200});
      };
      field(180, 85, "Mission");
      if (won) {
        field(236, 182, "Destroyed");
        field(236, 234, "Kill bonus");
        field(236, 277, "Reward");
        field(480, 184, "Kills");
        field(480, 235, "Money");
        field(480, 280, "Deaths");
      } else {
        field(480, 170, "Kills");
        field(480, 230, "Money");
        field(480, 290, "Deaths");
        c.Rect(90, 194, 470, 26, {214, 218, 200});
        c.Text(90, 174, "Objective", 14, kPale, true);
      }
      c.TextCentered(320, 440, "Press Enter to continue", 14, kPale);
      const std::string name = std::string(won ? "MissionWin0" : "MissionLost0") + std::to_string(g) + ".jpg";
      Save(ctx, "Data", name, c);
    }
}

Step profile("front-end: profile screen", 50, ProfileScreen);
Step menu("front-end: main menu", 50, MainMenu);
Step setup("front-end: setup screen", 50, SetupScreen);
Step brief("front-end: briefing", 50, Briefing);
Step results("front-end: results", 50, Results);

}  // namespace
}  // namespace mkdata
