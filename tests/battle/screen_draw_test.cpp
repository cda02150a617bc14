// The battle frame's layers and the panel, checked by their pixels at the
// positions the screen draws them.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "battle/battle_sim.hpp"
#include "tests/battle/screen_fixture.hpp"

namespace fw::screentest {
namespace {

class DrawTest : public BattleScreenTest {
 protected:
  plat::SurfacePtr Clean() {
    const auto back = screen_->Device().BackSurface;
    back->BltColorFill(nullptr, 0);
    return back;
  }
  uint16_t At(int x, int y) { return Back().Row(y)[x]; }
  uint16_t PixelOf(int32_t image, int x, int y) { return Picture(image)->Row(y)[x]; }
  // Any pixel of colour c in the 3 x 3 square around (x, y).
  bool Near(int x, int y, uint16_t c) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (At(x + dx, y + dy) == c) return true;
    return false;
  }
  bool Blank(int l, int t, int r, int b) {
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x)
        if (At(x, y) != 0) return false;
    return true;
  }
};

TEST(DrawModeTest, BlendedQuadsOnlyWithAlphaAndABlendingDeviceElseRopsOrPlainBlits) {
  plat::DDCAPS caps;
  caps.ddsCaps.lCaps = plat::DDSCAPS_ALPHA;
  for (int32_t& w : caps.lRops) w = -1;
  EXPECT_EQ(ChooseDrawMode(0, caps), 1);
  EXPECT_EQ(ChooseDrawMode(1, caps), 2) << "the software device never blends";
  caps.lRops[3] = 0;
  EXPECT_EQ(ChooseDrawMode(1, caps), 3) << "one empty word of the raster table";
  caps.ddsCaps.lCaps = 0;
  for (int32_t& w : caps.lRops) w = -1;
  EXPECT_EQ(ChooseDrawMode(0, caps), 2) << "no alpha surfaces";
}

TEST(DebugNumberTest, ShortestTextWithALeadingSpaceUnlessNegative) {
  EXPECT_EQ(DebugNumber(5), " 5");
  EXPECT_EQ(DebugNumber(-3), "-3");
  EXPECT_EQ(DebugNumber(2.5), " 2.5");
  EXPECT_EQ(DebugNumber(0), " 0");
}

TEST_F(DrawTest, QuadCornersAndTheDeviceState) {
  screen_->SetQuadRect(RECT{10, 20, 74, 84});
  const auto& q = screen_->Quad();
  EXPECT_EQ(q[0].sx, 10.0f);
  EXPECT_EQ(q[0].sy, 84.0f);
  EXPECT_EQ(q[1].sy, 20.0f);
  EXPECT_EQ(q[2].sx, 74.0f);
  EXPECT_EQ(q[3].sy, 20.0f);
  EXPECT_EQ(q[2].tu, 1.0f);
  EXPECT_EQ(q[0].tv, 1.0f);
  EXPECT_EQ(q[3].sz, 0.99f);
  EXPECT_EQ(screen_->DrawMode(), 1) << "this display and device blend additively";
}

TEST_F(DrawTest, NoPlayerNoPanelRadarOrHelp) {
  W().PlayerUnit = -1;
  W().MouseX = 600;
  W().MouseY = 400;
  const auto back = Clean();
  screen_->DrawPanel(back);
  EXPECT_TRUE(Blank(0, 229, 640, 480));
}

TEST_F(DrawTest, VerticalBarsShrinkFromTheirTop) {
  BattleUnit& p = Player();
  p.EnergyFull = 100;
  p.Energy = 100;
  p.ShieldFull = 100;
  p.Shield = 50;
  p.HP = -5;
  W().MouseX = W().MouseY = 0;
  auto back = Clean();
  screen_->DrawPanel(back);
  const int32_t grid = W().Named.Grid1;
  const int cellW = Picture(grid)->Width() / 3, h = Picture(grid)->Height();
  // Energy full: the whole first cell at x 87 from y 401.
  for (int y : {0, h / 2, h - 1}) EXPECT_EQ(At(87 + cellW / 2, 401 + y), PixelOf(grid, cellW / 2, y)) << y;
  // Shield half: the lower half of the second cell only.
  const int top = h - h / 2;
  EXPECT_EQ(At(51 + cellW / 2, 401 + top), PixelOf(grid, cellW + cellW / 2, top));
  EXPECT_NE(At(51 + cellW / 2, 401 + top - 2), PixelOf(grid, cellW + cellW / 2, top - 2));
  // A negative hull draws nothing over the panel there.
  const auto withHull = [&](int16_t hp) {
    Player().HP = hp;
    back = Clean();
    screen_->DrawPanel(back);
    return At(15 + cellW / 2, 401 + h - 1);
  };
  EXPECT_EQ(withHull(100), PixelOf(grid, 2 * cellW + cellW / 2, h - 1));
  EXPECT_NE(withHull(-5), PixelOf(grid, 2 * cellW + cellW / 2, h - 1));
}

TEST_F(DrawTest, ThrottleGaugeGrowsRightOfItsZeroAndLeftWhenBackwards) {
  const int32_t grid = W().Named.Grid2;
  const int gw = Picture(grid)->Width();
  W().MouseX = W().MouseY = 0;
  Player().PerSpeed = 100;
  auto back = Clean();
  screen_->DrawPanel(back);
  for (int k : {1, 40, gw - 31}) EXPECT_EQ(At(477 + k, 454), PixelOf(grid, 30 + k, 3)) << k;
  Player().PerSpeed = -50;
  back = Clean();
  screen_->DrawPanel(back);
  for (int k : {0, 15, 29}) EXPECT_EQ(At(447 + k, 454), PixelOf(grid, k, 3)) << k;
  EXPECT_NE(At(477 + 40, 454), PixelOf(grid, 70, 3)) << "nothing forwards";
}

TEST_F(DrawTest, WeaponBoxesShowEnabledAndAmmoAndATenthWeaponHasNoBox) {
  BattleUnit& p = Player();
  p.Weapon.resize(10, p.Weapon.at(0));
  for (size_t i = 0; i < 10; ++i) p.Weapon[i].Enabled = (i % 2 == 0) ? 1 : 0;
  W().MouseX = W().MouseY = 0;
  auto back = Clean();
  screen_->DrawPanel(back);
  const int boxes[9][2] = {{254, 390}, {222, 401}, {258, 401}, {212, 413}, {261, 413},
                           {366, 389}, {363, 400}, {398, 400}, {359, 412}};
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(At(boxes[i][0] + 29, boxes[i][1] + 5), i % 2 == 0 ? 0xC800 : 0x6000) << i;
  // Ammunition text in green over a box of an ammunition weapon.
  p.Weapon[0].Energy = 0;
  p.Weapon[0].Ammo = 88;
  back = Clean();
  screen_->DrawPanel(back);
  bool green = false;
  for (int y = 388; y < 398 && !green; ++y)
    for (int x = 259; x < 275 && !green; ++x) green = (At(x, y) & 0x07E0) == 0x07E0 && (At(x, y) & 0xF800) == 0;
  EXPECT_TRUE(green);
}

TEST_F(DrawTest, RadarDotsByTeamAndRangeAndTheGoalRing) {
  BattleUnit& p = Player();
  p.PosX = 2000;
  p.PosY = 2000;
  W().Units.resize(3);
  BattleUnit& near = W().Units[1];
  near.Team = 1;
  near.PosX = 2400;  // 400 / 80 = 5 radar pixels right
  near.PosY = 2000;
  BattleUnit& edge = W().Units[2];
  edge.Team = 1;
  edge.PosX = 2000;
  edge.PosY = 2000 + 2 * 1400 + 1;  // one pixel beyond the radar's reach
  W().MouseX = W().MouseY = 0;
  W().GoalX = W().GoalY = 0;
  auto back = Clean();
  screen_->DrawRader(back);
  EXPECT_TRUE(Near(590, 416, 0x07E0)) << "the player at the centre, green";
  EXPECT_TRUE(Near(595, 416, 0xF800)) << "an enemy, red";
  EXPECT_TRUE(Blank(560, 381 + 66, 620, 381 + 70)) << "the far enemy is not shown";
  edge.PosY = 2000 + 2 * 1400;
  back = Clean();
  screen_->DrawRader(back);
  EXPECT_TRUE(Near(590, 381 + 70 - 1, 0xF800)) << "the reach is inclusive";
  EXPECT_FLOAT_EQ(screen_->RadarBlink(), 0.0f) << "no goal, no blinking";
  W().GoalX = 2400;
  W().GoalY = 2400;
  W().FrameFactor = 10.0f;
  float last = 0;
  bool restarted = false;
  for (int i = 0; i < 6; ++i) {
    screen_->DrawRader(back);
    restarted |= screen_->RadarBlink() < last;
    last = screen_->RadarBlink();
    ASSERT_LT(last, 20.0f);
  }
  EXPECT_TRUE(restarted);
  W().GoalX = -5;
  const float before = screen_->RadarBlink();
  screen_->DrawRader(back);
  EXPECT_EQ(screen_->RadarBlink(), before) << "a negative goal is never shown";
}

TEST_F(DrawTest, PopupHelpFollowsThePointerAndStaysOnScreen) {
  const int32_t popup = W().Named.Popup1;
  const int pw = Picture(popup)->Width(), ph = Picture(popup)->Height() / 7;
  auto back = Clean();
  screen_->PopupHelp(600, 400, back);
  // Hot spot 1 (the radar): cell 1, moved left to end at x 639.
  EXPECT_EQ(At(639 - pw + 2, 390 + 2), PixelOf(popup, 2, 2));
  back = Clean();
  screen_->PopupHelp(90, 400, back);
  // The energy bar's spot, cell 7, at the pointer.
  EXPECT_EQ(At(90 + 2, 390 + 2), PixelOf(popup, 2, 6 * ph + 2));
  back = Clean();
  screen_->PopupHelp(300, 300, back);
  EXPECT_TRUE(Blank(0, 0, 640, 480)) << "no hot spot";
  // Edges count as inside: the weapon boxes' spot at its corner.
  back = Clean();
  screen_->PopupHelp(210, 383, back);
  EXPECT_EQ(At(212, 375), PixelOf(popup, 2, 2 * ph + 2));
}

TEST_F(DrawTest, SecondPanelHasNoWeaponIcon) {
  W().WeaponClassIndex = 2;
  W().MouseX = W().MouseY = 0;
  auto back = Clean();
  screen_->DrawPanel(back);
  const int32_t icon = W().Named.WeaponID;
  const int ih = Picture(icon)->Height() / 6;
  EXPECT_EQ(At(298 + 5, 386 + 5), PixelOf(icon, 5, ih + 5));
  W().PanelSwitch = true;
  back = Clean();
  screen_->DrawPanel(back);
  EXPECT_NE(At(298 + 5, 386 + 5), PixelOf(icon, 5, ih + 5));
  EXPECT_EQ(At(20, 400), PixelOf(W().Named.Panel2, 20, 400 - 229));
}

// The sample panel picture has a plain well under each thing the panel
// draws, exactly its size: a well one pixel off shows as a seam beside a
// full bar, a box or the radar.
TEST_F(DrawTest, SamplePanelHasAWellUnderEveryBarBoxGaugeAndTheRadar) {
  const auto panel = Picture(W().Named.Panel);
  ASSERT_EQ(panel->Height(), 480 - 229);
  struct Spot {
    const char* what;
    int x, y, w, h;  // on the screen
  };
  const Spot spots[] = {{"target energy", 30, 307, 90, 6}, {"target shield", 30, 324, 90, 6},
                        {"target hull", 30, 341, 90, 6},   {"hull", 15, 401, 12, 64},
                        {"shield", 51, 401, 12, 64},       {"energy", 87, 401, 12, 64},
                        {"pilot", 130, 390, 60, 72},       {"weapon icon", 298, 386, 60, 30},
                        {"throttle", 447, 451, 131, 8},    {"speed", 447, 465, 131, 8},
                        {"radar", 560, 381, 60, 70},       {"box 0", 254, 390, 30, 6},
                        {"box 1", 222, 401, 30, 6},        {"box 2", 258, 401, 30, 6},
                        {"box 3", 212, 413, 30, 6},        {"box 4", 261, 413, 30, 6},
                        {"box 5", 366, 389, 30, 6},        {"box 6", 363, 400, 30, 6},
                        {"box 7", 398, 400, 30, 6},        {"box 8", 359, 412, 30, 6}};
  const auto at = [&](int x, int y) { return panel->Row(y - 229)[x]; };
  for (const Spot& s : spots) {
    const uint16_t well = at(s.x, s.y);
    EXPECT_NE(well, 0) << s.what << ": the battlefield would show through";
    for (int y = s.y; y < s.y + s.h; ++y)
      for (int x = s.x; x < s.x + s.w; ++x) ASSERT_EQ(at(x, y), well) << s.what << " at " << x << "," << y;
    const int midX = s.x + s.w / 2, midY = s.y + s.h / 2;
    EXPECT_NE(at(s.x - 1, midY), well) << s.what << " left edge";
    EXPECT_NE(at(s.x + s.w, midY), well) << s.what << " right edge";
    EXPECT_NE(at(midX, s.y - 1), well) << s.what << " top edge";
    if (s.y + s.h < 480) {
      EXPECT_NE(at(midX, s.y + s.h), well) << s.what << " bottom edge";
    }
  }
}

TEST_F(DrawTest, UnitsCrossingTheLeftOrTopEdgeKeepFullBarsAndTheWholeMarkerAtTheCutCorner) {
  W().Units.resize(1);
  W().PlayerUnit = -1;
  W().PickedUnit = 0;
  W().FrameFactor = 0;  // the marker stays on one cell
  W().ScrollX = 0;
  W().ScrollY = 0;
  BattleUnit& u = W().Units[0];
  u.Speed = 0;
  u.ClipID = "99999";  // no picture: only the bars and the marker show
  u.HP = 100;
  u.Shield = u.ShieldFull = 50;
  const int32_t uw = u.DescRECT.Right;
  // The marker of a unit wholly on screen, at (200, 200).
  u.PosX = 200;
  u.PosY = 200;
  u.HPVisible = 1;
  auto back = Clean();
  screen_->DrawOBJ(back);
  std::vector<uint16_t> marker;
  for (int y = 4; y < 40; ++y)
    for (int x = 0; x < 40; ++x) marker.push_back(At(200 + x, 200 + y));
  ASSERT_LT(std::count(marker.begin(), marker.end(), uint16_t{0}), static_cast<long>(marker.size()));
  struct Case {
    float x, y;
    int cornerX, cornerY;
  };
  for (const Case& c : {Case{-30, -20, 0, 0}, Case{-30, 100, 0, 100}, Case{100, -20, 100, 0}}) {
    u.PosX = c.x;
    u.PosY = c.y;
    u.HPVisible = 1;
    back = Clean();
    screen_->DrawOBJ(back);
    EXPECT_EQ(At(c.cornerX, c.cornerY), 0x07FF) << c.x << "," << c.y << ": the shield bar";
    EXPECT_EQ(At(c.cornerX + uw - 1, c.cornerY), 0x07FF) << c.x << "," << c.y << ": at full length";
    EXPECT_EQ(At(c.cornerX + uw - 1, c.cornerY + 2), 0x07E0) << c.x << "," << c.y << ": the hull bar";
    std::vector<uint16_t> seen;
    for (int y = 4; y < 40; ++y)
      for (int x = 0; x < 40; ++x) seen.push_back(At(c.cornerX + x, c.cornerY + y));
    EXPECT_EQ(seen, marker) << c.x << "," << c.y << ": the whole marker cell";
  }
}

TEST_F(DrawTest, UnitsClipAtTheRightEdgeAndShotsOnTheEdgeAreNotDrawn) {
  W().Units.resize(1);
  W().PlayerUnit = -1;
  BattleUnit& u = W().Units[0];
  u.Speed = 0;
  W().ScrollX = 0;
  W().ScrollY = 0;
  u.PosX = 300;
  u.PosY = 100;
  u.HPVisible = 1;
  u.HP = 100;
  auto back = Clean();
  screen_->DrawOBJ(back);
  EXPECT_EQ(At(300, 102), 0x07E0) << "the hull bar, full and green";
  EXPECT_EQ(At(379, 102), 0x07E0);
  EXPECT_EQ(u.HPVisible, 0);
  back = Clean();
  screen_->DrawOBJ(back);
  EXPECT_NE(At(300, 102), 0x07E0) << "the bars went with their time";
  u.PosX = 600;
  u.HeadAngle = 90;
  back = Clean();
  screen_->DrawOBJ(back);
  EXPECT_FALSE(Blank(600, 100, 639, 160));
  EXPECT_TRUE(Blank(639, 0, 640, 480)) << "units stop at x 638";

  W().Units.clear();
  W().Shots.resize(2);
  WeaponSlot& s = W().Shots[1];
  s.ClipID = 1;
  s.PosY = 200;
  for (float x : {0.0f, 5.0f}) {
    s.PosX = x;
    back = Clean();
    screen_->DrawOBJ(back);
    EXPECT_TRUE(Blank(0, 150, 640, 250)) << "a laser at x " << x << " is not drawn";
  }
  s.PosX = 300;
  s.HeadAngle = 10;
  back = Clean();
  screen_->DrawOBJ(back);
  EXPECT_FALSE(Blank(280, 180, 320, 220));
  std::vector<uint16_t> at10(Back().Pixels(), Back().Pixels() + 640 * 480);
  s.HeadAngle = 190;
  back = Clean();
  screen_->DrawOBJ(back);
  EXPECT_TRUE(std::equal(at10.begin(), at10.end(), Back().Pixels())) << "190 degrees shows the cell of 10";
  s.ClipID = 17;
  back = Clean();
  screen_->DrawOBJ(back);
  EXPECT_TRUE(Blank(0, 0, 640, 480)) << "kind 17 has no drawer";
}

// Blended effects whose picture and size came round before are added from
// a copy the device drew once; the frame must come out exactly as the
// device draws it, at every size, cell and position, cut at every edge.
TEST_F(DrawTest, KeptEffectsAddExactlyWhatTheDeviceDraws) {
  screen_->SetDrawModeForTest(1);
  std::mt19937 rng(11);
  auto uni = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<uint16_t> background(640 * 480);
  W().FrameFactor = 0;  // effects neither grow nor move on
  for (int trial = 0; trial < 80; ++trial) {
    for (uint16_t& p : background) p = static_cast<uint16_t>(uni(0, 0xFFFF));
    W().Effects.resize(1);
    const int size = trial % 4 == 0 ? uni(100, 140) : uni(1, 90);
    const int x = W().ScrollX + uni(-120, 760), y = W().ScrollY + uni(-120, 600);
    if (trial % 5 == 4)
      SpawnShockwave(W(), x, y, 0, 0, 1.0f, 3, static_cast<int16_t>(size));
    else if (trial % 3 == 2)
      SpawnFog(W(), x, y, uni(-20, 20), uni(-20, 20), 1.0f, static_cast<int16_t>(size), static_cast<uint8_t>(uni(0, 2)));
    else
      SpawnExplosion(W(), x, y, 0, 0, 1.0f, static_cast<int16_t>(size), 0, static_cast<uint8_t>(uni(0, 5)));
    ASSERT_EQ(W().Effects.size(), 2u);
    W().Effects[1].FramePos = static_cast<float>(uni(1, 29));
    const auto draw = [&](bool kept) {
      std::copy(background.begin(), background.end(), screen_->Device().BackSurface->Pixels());
      screen_->UseFilteredEffects(kept);
      screen_->DrawEffects();
      return std::vector<uint16_t>(Back().Pixels(), Back().Pixels() + 640 * 480);
    };
    const std::vector<uint16_t> device = draw(false);
    draw(true);  // the first sight of a picture and size goes to the device
    ASSERT_EQ(draw(true), device) << "trial " << trial << " size " << size << " at " << x - W().ScrollX << ","
                                  << y - W().ScrollY;
    ASSERT_EQ(draw(true), device) << "trial " << trial << " again";
  }
}

TEST_F(DrawTest, EffectsDrawInEveryModeAndAFullFrameReachesTheScreen) {
  W().Effects.resize(1);
  SpawnExplosion(W(), 300 + W().ScrollX, 200 + W().ScrollY, 0, 0, 0.5f, 60, 0, 0);
  ASSERT_EQ(W().Effects.size(), 2u);
  W().Effects[1].FramePos = 3;
  for (uint8_t mode : {1, 2, 3}) {
    screen_->SetDrawModeForTest(mode);
    W().Effects[1].FramePos = 3;
    W().FrameFactor = 0;
    Clean();
    screen_->DrawEffects();
    EXPECT_FALSE(Blank(260, 160, 340, 240)) << "mode " << int(mode);
  }
  const uint64_t frames = plat::Window::Instance().FramesPresented();
  W().FrameFactor = 1;
  ShowMsg(W(), "Hello", 100);
  screen_->Paint();
  EXPECT_GT(plat::Window::Instance().FramesPresented(), frames);
  EXPECT_FLOAT_EQ(W().MessageTime, 99.0f);
  EXPECT_TRUE(std::equal(Back().Pixels(), Back().Pixels() + 640 * 480, Primary->Pixels()));
}

}  // namespace
}  // namespace fw::screentest
