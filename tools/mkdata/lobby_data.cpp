// The network lobby's pictures: the connection and session pages'
// backgrounds, the button sheet, the dialog frame and the connection-failed
// notice, and the new-game page with its lit buttons. Sheets are keyed on
// black, so their art keeps clear of pure black.
#include <string>
#include <vector>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

const Rgb kPale{228, 232, 238}, kGold{236, 196, 92};
const Rgb kPanelTop{44, 58, 72}, kPanelBottom{20, 28, 36};

void Save(Context& ctx, const std::string& name, const Canvas& c) {
  const bool jpg = name.size() > 4 && name.substr(name.size() - 4) == ".jpg";
  const auto bytes = jpg ? c.Jpg(90) : c.Bmp();
  ctx.Member("Data", name, bytes.data(), bytes.size());
}

void Panel(Canvas& c, int x, int y, int w, int h) {
  c.VerticalGradient(x, y, w, h, kPanelTop, kPanelBottom);
  c.Frame(x, y, w, h, {110, 140, 160});
  c.Frame(x + 1, y + 1, w - 2, h - 2, {30, 40, 50});
}

// A sunken field where the page draws a list or a value.
void Well(Canvas& c, int x, int y, int w, int h) {
  c.Rect(x, y, w, h, {14, 18, 24});
  c.Frame(x - 1, y - 1, w + 2, h + 2, {90, 110, 126});
}

void Backdrop(Canvas& c, Rgb sky, uint32_t seed) {
  c.VerticalGradient(0, 0, 640, 480, sky, Mix(sky, {8, 10, 16}, 0.8f));
  for (int i = 0; i < 12; ++i) {
    const float y = 40.0f + 36.0f * i;
    c.Line(0, y, 640, y + 30, Mix(sky, {200, 220, 255}, 0.08f), 1.0f);
  }
  c.Noise(0, 0, 640, 480, 0.05f, seed);
  c.Rect(626, 0, 13, 17, {120, 36, 30});
  c.Line(629, 4, 635, 12, kPale, 1.5f);
  c.Line(635, 4, 629, 12, kPale, 1.5f);
}

void Button(Canvas& c, int x, int y, int w, int h, const std::string& label, bool lit) {
  const Rgb top = lit ? Rgb{200, 150, 60} : Rgb{90, 108, 128};
  const Rgb bottom = lit ? Rgb{110, 70, 24} : Rgb{40, 50, 64};
  c.VerticalGradient(x + 2, y + 2, w - 4, h - 4, top, bottom);
  c.Frame(x + 2, y + 2, w - 4, h - 4, lit ? Rgb{255, 230, 150} : Rgb{150, 164, 180});
  const int size = (h - 4) / 2;
  c.TextCentered(x + w / 2 + 1, y + (h - size) / 2, label, size, {20, 20, 24}, true);
  c.TextCentered(x + w / 2, y + (h - size) / 2 - 1, label, size, lit ? Rgb{255, 240, 190} : kPale, true);
}

void LobbyPages(Context& ctx) {
  Canvas connect(640, 480);
  Backdrop(connect, {40, 70, 96}, 21);
  connect.TextCentered(320, 20, "Network game", 24, kPale, true);
  connect.TextCentered(320, 44, "Choose how to find the other players", 13, kGold, true);
  Save(ctx, "\u250F\u74DC-4-640.jpg", connect);

  Canvas sessions(640, 480);
  Backdrop(sessions, {50, 64, 84}, 22);
  sessions.Text(274, 50, "Games found", 16, kGold, true);
  Well(sessions, 274, 75, 314, 352);
  Save(ctx, "\u250F\u74DC-3-640.jpg", sessions);

  // 2 x 9 cells of 200 x 44: lit in the first column, normal in the second;
  // rows IPX, TCP, Modem, Serial, NEW, JOIN, Refresh, OK, Cancel.
  const char* labels[] = {"LAN (IPX)", "TCP/IP", "Modem", "Serial cable", "NEW", "JOIN", "Refresh", "OK", "Cancel"};
  Canvas sheet(400, 9 * 44);
  for (int r = 0; r < 9; ++r)
    for (int col = 0; col < 2; ++col) Button(sheet, col * 200, r * 44, 200, 44, labels[r], col == 0);
  Save(ctx, "MultiMenuB.BMP", sheet);

  Canvas frame(250, 110);
  Panel(frame, 0, 0, 250, 110);
  Save(ctx, "\u6746\u79F0\u3231\uE710\u59AE\u2526\uE1AF.BMP", frame);

  Canvas fail(250, 110);
  Panel(fail, 0, 0, 250, 110);
  fail.TextCentered(125, 30, "Connection failed", 18, {255, 120, 100}, true);
  fail.TextCentered(125, 64, "Click or press a key", 12, kPale, true);
  Save(ctx, "ConnectFail01.BMP", fail);
}

void NewGamePage(Context& ctx) {
  // Colour 1 is the page's colour key: the art keeps above it.
  Canvas page(640, 480);
  page.VerticalGradient(0, 0, 640, 480, {34, 44, 58}, {16, 22, 30});
  page.Noise(0, 0, 640, 480, 0.04f, 23);
  Panel(page, 12, 40, 290, 240);
  Panel(page, 366, 40, 250, 150);
  Panel(page, 366, 270, 250, 120);
  Panel(page, 12, 330, 290, 145);
  page.Text(20, 14, "New network game", 18, kPale, true);
  page.Text(52, 56, "Single", 13, kPale, true);
  page.Text(190, 56, "Team", 13, kPale, true);
  for (int x : {39, 175}) page.Ring(x, 63, 6, 1.5f, {150, 164, 180});
  Well(page, 25, 87, 111, 89);
  page.Ring(157, 119, 6, 1.5f, {150, 164, 180});
  page.Ring(130, 149, 6, 1.5f, {150, 164, 180});
  // The value stands right of the label, from x 195.
  page.Text(164, 113, "Time", 10, kPale, true);
  page.Text(160, 143, "Score", 9, kPale, true);
  for (int y : {113, 140, 348}) {
    const int x = y == 348 ? 172 : 227, w = y == 348 ? 12 : 10;
    page.Rect(x, y, w, 17, {70, 84, 100});
    page.Polygon({{x + 1.0f, y + 7.0f}, {x + w - 1.0f, y + 7.0f}, {x + w / 2.0f, y + 1.0f}}, kPale);
    page.Polygon({{x + 1.0f, y + 10.0f}, {x + w - 1.0f, y + 10.0f}, {x + w / 2.0f, y + 16.0f}}, kPale);
  }
  page.Text(28, 196, "How to win", 12, kGold, true);
  page.Text(378, 44, "Map", 12, kGold, true);
  Well(page, 378, 59, 202, 117);
  page.Rect(581, 61, 15, 116, {40, 50, 60});
  page.Text(380, 285, "Mode:", 12, kGold, true);
  page.Text(380, 315, "Map:", 12, kGold, true);
  page.Text(380, 345, "Rule:", 12, kGold, true);
  page.Text(20, 352, "Money", 12, kGold, true);
  Well(page, 114, 350, 56, 16);
  page.Text(20, 372, "Network tank", 12, kGold, true);
  Well(page, 54, 390, 221, 49);
  page.Rect(275, 390, 12, 49, {40, 50, 60});
  Button(page, 140, 445, 52, 26, "EQU", false);
  Button(page, 524, 435, 52, 28, "Cancel", false);
  Button(page, 576, 436, 50, 28, "OK", false);
  Save(ctx, "MultiSetting.jpg", page);

  // Row 1 the lit EQU button, row 2 the lit OK button (its rightmost 24
  // pixels are left out where it is drawn).
  Canvas lit(72, 52);
  Button(lit, 10, 0, 52, 26, "EQU", true);
  Button(lit, 0, 26, 50, 26, "OK", true);
  Save(ctx, "MultiSetting1.BMP", lit);

  Canvas cancel(52, 28);
  Button(cancel, 0, 0, 52, 28, "Cancel", true);
  Save(ctx, "Multinewcanel.jpg", cancel);
}

Step lobbyPages("network lobby pages", 50, LobbyPages);
Step newGamePage("network new-game page", 50, NewGamePage);

}  // namespace
}  // namespace mkdata
