// The assembly screen on the sample data: clicks on its lists and buttons
// move the goods as the fitting rules say, and the frame shows the fitted
// set, the attribute lines, the load left and the previews where they
// belong.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "factory/assembly_page.hpp"
#include "tests/common/test_support.hpp"
#include "tests/factory/factory_fixture.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

namespace {

using Rows = std::vector<std::string>;
using A = fw::Assembly;
using Result = fw::AssemblyPage::ClickResult;
constexpr int kSlots = 7;

// The page on its own, over the overlay and a preview scene of its own, for
// a player who starts with nothing.
class AssemblyPageTest : public fwtest::FactoryScreenTest {
 protected:
  void SetUp() override {
    FactoryScreenTest::SetUp();
    if (IsSkipped()) return;
    factorytest::Player(*fw::Users, 0);
    catalogs.Read();
    ASSERT_EQ(catalogs.ProblemText(), "");

    preview.UseHardWare = false;
    preview.DefaultLight = true;
    ASSERT_TRUE(preview.Start(0, 8, 300, 200));
    preview.D3DFrameCamera->AddRotation(plat::D3DRMCOMBINE_REPLACE, 1, 0, 0, 30.0f * 3.141592653589f / 180.0f);
    preview.D3DFrameCamera->SetPosition(preview.D3DFrameScene, 0, 7, -14);
    preview.BackBuffer4->SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
    preview.D3DRM3->SetSearchPath(fw::DataPack->TempPath);
    rules = std::make_unique<fw::FactoryRules>(catalogs, *fw::Users);
    page = std::make_unique<fw::AssemblyPage>(*rules, catalogs, overlay, preview);
    overlay.LoadWeapScreen(preview.DirectDraw_4);
  }
  void TearDown() override {
    page.reset();
    rules.reset();
    FactoryScreenTest::TearDown();
  }

  void Own(int32_t kind, const std::string& name) { fw::Users->UserEQU->Add("", kind, name, 0); }
  void Fitted(int32_t kind, const std::string& name, int32_t color = 0) {
    fw::Users->NowEQU->Add("", kind, name, color);
  }
  void Open() {
    ASSERT_EQ(rules->ClickArea("EQUTank"), fw::FactoryRules::AreaResult::Opened);
    page->Open();
  }
  // The middle of a row of a list as it is scrolled now.
  std::pair<float, float> RowPoint(int list, int32_t row) {
    const auto& l = overlay.EquLists[static_cast<size_t>(list)];
    return {static_cast<float>(l.DesRECT().Left + 10),
            static_cast<float>(l.DesRECT().Top + (row - l.ListIndex) * l.TextHeight + l.TextHeight / 2)};
  }
  Result ClickRow(int16_t button, int list, int32_t row) {
    const auto [x, y] = RowPoint(list, row);
    return page->Click(button, x, y);
  }
  Result ClickButton(const char* key) {
    const auto b = overlay.Button(2, key);
    return page->Click(1, static_cast<float>(b->Left() + 3), static_cast<float>(b->Top() + 3));
  }
  Rows Shown(int list) {
    Rows r;
    for (const auto& item : overlay.EquLists[static_cast<size_t>(list)]) r.push_back(item->Text);
    return r;
  }
  const std::string& Slot(int row) { return overlay.EquSlots[static_cast<size_t>(row)].Name; }
  std::string Lists() { return factorytest::Lists(*fw::Users); }

  plat::SurfacePtr Frame(int32_t cursorX = 0, int32_t cursorY = 0) {
    auto target = std::make_shared<plat::Surface>(640, 480);
    page->Draw(target, cursorX, cursorY);
    return target;
  }
  // Pixels in [x0, x1) x [y0, y1) for which the test holds.
  static int Count(const plat::SurfacePtr& s, int x0, int y0, int x1, int y1,
                   const std::function<bool(int r, int g, int b)>& test) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint16_t p = s->Row(y)[x];
        n += test((p >> 11) << 3, ((p >> 5) & 63) << 2, (p & 31) << 3);
      }
    return n;
  }
  static bool Yellow(int r, int g, int b) { return r > 200 && g > 200 && b < 80; }
  static bool Red(int r, int g, int b) { return r > 200 && g < 60 && b < 60; }
  static bool Green(int r, int g, int b) { return r < 60 && g > 150 && b < 60; }

  fw::FactoryCatalogs catalogs;
  fw::RMClass preview;
  fw::FactoryOverlay overlay;
  std::unique_ptr<fw::FactoryRules> rules;
  std::unique_ptr<fw::AssemblyPage> page;
};

TEST_F(AssemblyPageTest, OpeningShowsTheOwnedItemsTheSlotLinesAndTheHull) {
  Own(fw::kKindTank, "Scout Tank");
  Own(fw::kKindTank, "Medium Tank");
  for (const char* n : {"Pulse Laser", "Cannon Artillery Shell", "Light Cannon"}) Own(fw::kKindWeapon, n);
  Own(fw::kKindShield, "Light Shield");
  Own(fw::kKindEngine, "Basic Engine");
  Own(fw::kKindReactor, "Small Reactor");
  Fitted(fw::kKindTank, "Medium Tank");
  Open();
  EXPECT_EQ(Shown(0), (Rows{"Scout Tank", "Medium Tank"}));
  EXPECT_EQ(overlay.EquLists[0].SelectedItem, 2);
  EXPECT_EQ(Shown(1), (Rows{"Pulse Laser", "Light Cannon"}));  // no ammunition
  EXPECT_EQ(Shown(2), (Rows{"Light Shield"}));
  EXPECT_EQ(Shown(3), (Rows{"Basic Engine"}));
  EXPECT_EQ(Shown(4), (Rows{"Small Reactor"}));
  EXPECT_EQ(Shown(kSlots), (Rows{"Tank:", "Weapon1:", "Weapon2:", "Weapon3:", "Weapon4:", "", "", "", "", "",
                                 "Shield:", "Engine:", "Reactor:"}));
  EXPECT_EQ(Slot(A::kTankRow), "Medium Tank");
  EXPECT_TRUE(preview.Objects->Item("WPLOOK"));
  EXPECT_FALSE(preview.Objects->Item("EQULOOK"));
  EXPECT_EQ(overlay.EquTextA[1].Name, "Weapon Number: 4");
  EXPECT_EQ(overlay.EquTextA[2].Name, "Mobility: 2.4");
  EXPECT_EQ(overlay.EquTextA[7].Name, "Shield Limit");
  EXPECT_EQ(overlay.EquTextB[16].Name, "Ammunition");
}

TEST_F(AssemblyPageTest, RightClicksFitExchangeAndRemoveAsTheRulesSay) {
  Own(fw::kKindTank, "Scout Tank");  // two weapon rows
  for (const char* n : {"Pulse Laser", "Light Cannon", "Heavy Cannon", "Cannon Artillery Shell"}) Own(fw::kKindWeapon, n);
  Own(fw::kKindShield, "Light Shield");
  Own(fw::kKindShield, "Heavy Shield");
  Fitted(fw::kKindTank, "Scout Tank");
  const auto goods = factorytest::GoodsOf(*fw::Users);
  Open();

  ClickRow(2, A::kWeapons, 1);
  ClickRow(2, A::kWeapons, 1);
  EXPECT_EQ(Slot(2), "Pulse Laser");
  EXPECT_EQ(Slot(3), "Light Cannon");
  // No free row is left: the third weapon stays where it is.
  ClickRow(2, A::kWeapons, 1);
  EXPECT_EQ(Shown(A::kWeapons), (Rows{"Heavy Cannon"}));
  EXPECT_EQ(Lists(),
            "O 5 Scout Tank\nO 1 Heavy Cannon\nO 1 Cannon Artillery Shell\nO 3 Light Shield\nO 3 Heavy Shield\n"
            "F 5 Scout Tank 0\nF 1 Pulse Laser 1\nF 1 Light Cannon 2\n");

  // Choosing the cannon's row offers the shells it takes; a right click
  // on one loads it, and the lines show the shell's figures.
  ClickRow(1, kSlots, 3);
  EXPECT_EQ(Shown(A::kAmmunition), (Rows{"Cannon Artillery Shell"}));
  EXPECT_EQ(overlay.EquTextA[9].Name, "Speed: 10");
  ClickRow(2, A::kAmmunition, 1);
  EXPECT_EQ(Shown(A::kAmmunition), Rows{});
  EXPECT_EQ(overlay.EquTextA[11].Name, "Weapon Range: 520");
  EXPECT_EQ(overlay.EquTextA[16].Name, "Ammunition 40");
  EXPECT_NE(Lists().find("F 1 Cannon Artillery Shell 12\n"), std::string::npos);

  // The tank row is not taken off; a loaded row gives its shell first,
  // then its weapon.
  ClickRow(2, kSlots, 1);
  EXPECT_EQ(Slot(1), "Scout Tank");
  ClickRow(2, kSlots, 3);
  EXPECT_EQ(Shown(A::kAmmunition), (Rows{"Cannon Artillery Shell"}));
  EXPECT_EQ(Slot(3), "Light Cannon");
  ClickRow(2, kSlots, 3);
  EXPECT_EQ(Slot(3), "");
  EXPECT_EQ(Shown(A::kWeapons), (Rows{"Heavy Cannon", "Light Cannon"}));

  // A second shield takes the row and the first goes to the list's end.
  ClickRow(2, A::kShields, 1);
  EXPECT_EQ(Slot(A::kShieldRow), "Light Shield");
  EXPECT_EQ(overlay.EquTextA[7].Name, "Shield Limit: 60");
  ClickRow(2, A::kShields, 1);
  EXPECT_EQ(Slot(A::kShieldRow), "Heavy Shield");
  EXPECT_EQ(Shown(A::kShields), (Rows{"Light Shield"}));
  EXPECT_EQ(overlay.EquTextA[7].Name, "Shield Limit: 120");
  // Goods are never made or lost on the way.
  EXPECT_EQ(factorytest::GoodsOf(*fw::Users), goods);
}

TEST_F(AssemblyPageTest, TheArrowsStepThroughTheHullsAndGiveBackWhatNoLongerFits) {
  for (const char* n : {"Scout Tank", "Medium Tank", "Heavy Tank"}) Own(fw::kKindTank, n);
  Fitted(fw::kKindTank, "Medium Tank");
  for (const char* n : {"Pulse Laser", "Twin Laser", "Ion Gun", "Light Cannon"}) Fitted(fw::kKindWeapon, n, 1);
  Fitted(fw::kKindWeapon, "Cannon Artillery Shell", 14);
  Open();
  // The buttons show their plain frames, and light up under the pointer.
  EXPECT_EQ(overlay.Button(2, "RIGHT")->GetID(), 3);
  EXPECT_EQ(overlay.Button(2, "EXIT")->GetID(), 6);
  const auto right = overlay.Button(2, "RIGHT");
  page->MouseMove(0, static_cast<float>(right->Left() + 2), static_cast<float>(right->Top() + 2));
  EXPECT_EQ(right->GetID(), 4);
  EXPECT_EQ(overlay.Button(2, "LEFT")->GetID(), 1);
  EXPECT_EQ(Slot(5), "Light Cannon");
  EXPECT_EQ(ClickButton("RIGHT"), Result::Stayed);
  EXPECT_EQ(Slot(A::kTankRow), "Heavy Tank");
  EXPECT_EQ(overlay.EquTextA[1].Name, "Weapon Number: 6");
  ClickButton("RIGHT");  // past the last hull comes the first
  EXPECT_EQ(Slot(A::kTankRow), "Scout Tank");
  EXPECT_EQ(overlay.EquLists[0].SelectedItem, 1);
  // The scout has two rows: the ion gun and the loaded cannon come back.
  EXPECT_EQ(Shown(A::kWeapons), (Rows{"Ion Gun", "Light Cannon"}));
  EXPECT_EQ(Shown(A::kAmmunition), (Rows{"Cannon Artillery Shell"}));
  EXPECT_EQ(Shown(kSlots)[3], "");
  EXPECT_EQ(Slot(4), "");
  EXPECT_EQ(Lists().find("F 1 Ion Gun"), std::string::npos);
  ClickButton("LEFT");  // before the first comes the last
  EXPECT_EQ(Slot(A::kTankRow), "Heavy Tank");
  EXPECT_EQ(Slot(2), "Pulse Laser");
  EXPECT_TRUE(preview.Objects->Item("WPLOOK"));
}

TEST_F(AssemblyPageTest, AnOverloadedTankBlinksAWarningAndCannotLeaveByExit) {
  Own(fw::kKindTank, "Scout Tank");  // carries 120
  Fitted(fw::kKindTank, "Scout Tank");
  Fitted(fw::kKindWeapon, "Heavy Cannon", 1);  // 45
  Fitted(fw::kKindWeapon, "Light Cannon", 2);  // 25
  Fitted(fw::kKindShield, "Heavy Shield");     // 45
  Fitted(fw::kKindEngine, "Basic Engine");     // 25
  Open();
  // The capacity line and the warning: on for nine frames, off for seven.
  std::vector<bool> shown;
  for (int i = 0; i < 32; ++i) {
    const auto f = Frame();
    if (i == 0) {
      EXPECT_GT(Count(f, 482, 393, 560, 405, Green), 10);
      EXPECT_EQ(page->EquLoadLeft(), -20);
    }
    shown.push_back(Count(f, 482, 405, 560, 418, Red) > 10);
  }
  const std::vector<bool> cycle = {1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], cycle[i % 16]) << "frame " << i;

  EXPECT_EQ(ClickButton("EXIT"), Result::Stayed);
  EXPECT_EQ(rules->State(), "EQUTank");
  ClickRow(2, kSlots, A::kEngineRow);
  EXPECT_EQ(Slot(A::kEngineRow), "");
  Frame();
  EXPECT_EQ(page->EquLoadLeft(), 5);
  EXPECT_EQ(Count(Frame(), 482, 405, 560, 418, Red), 0);
  EXPECT_EQ(ClickButton("EXIT"), Result::Closed);
  EXPECT_EQ(rules->State(), "RUN");
  EXPECT_EQ(Lists(),
            "O 5 Scout Tank\nO 2 Basic Engine\n"
            "F 5 Scout Tank 0\nF 1 Heavy Cannon 1\nF 1 Light Cannon 2\nF 3 Heavy Shield 0\n");
  EXPECT_EQ(fw::Users->NowTank->Key, "Scout Tank");
  EXPECT_EQ(fw::Users->NowTank->Weapon->Count(), 2);
  EXPECT_FALSE(preview.Objects->Item("WPLOOK"));
}

TEST_F(AssemblyPageTest, TextsHintsAndPreviewsStandWhereTheScreenPlacesThem) {
  Own(fw::kKindTank, "Scout Tank");
  Own(fw::kKindWeapon, "Pulse Laser");
  Own(fw::kKindEngine, "Basic Engine");
  Fitted(fw::kKindTank, "Scout Tank");
  Open();

  // Each valued line shows its figure in yellow right of its olive label.
  auto f = Frame();
  const auto valueBox = [&](int line) {
    const fw::EquSlot& l = overlay.EquTextA[static_cast<size_t>(line)];
    f->SetFont(plat::Font{"Arial", 9.0f, false});
    const int x = l.X + f->TextWidth(overlay.EquTextB[static_cast<size_t>(line)].Name);
    return Count(f, x, l.Y, x + 25, l.Y + 12, Yellow);
  };
  EXPECT_EQ(overlay.EquTextA[1].X, 200);
  EXPECT_EQ(overlay.EquTextA[9].X, 340);
  EXPECT_EQ(overlay.EquTextA[8].Y, 355 + 7 * 12);
  EXPECT_GT(valueBox(1), 3);
  EXPECT_GT(valueBox(2), 3);
  EXPECT_EQ(valueBox(3), 0);  // no engine fitted
  EXPECT_EQ(Count(f, 550, 110, 640, 125, Green), 0);  // nothing chosen, no weight

  // Choosing the engine shows it, its weight and its turning model.
  ClickRow(1, A::kEngines, 1);
  EXPECT_TRUE(preview.Objects->Item("EQULOOK"));
  const auto chosen = Frame();
  EXPECT_GT(Count(chosen, 552, 112, 620, 125, Green), 10);
  // Both previews draw only into their own places.
  preview.Objects->Remove("WPLOOK");
  preview.Objects->Remove("EQULOOK");
  const auto bare = Frame();
  int inside = 0, item = 0, outside = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      if (chosen->Row(y)[x] == bare->Row(y)[x]) continue;
      if (x >= 165 && x < 465 && y >= 140 && y < 340) ++inside;
      else if (x >= 390 && x < 600 && y >= 20 && y < 160) ++item;
      else ++outside;
    }
  EXPECT_GT(inside, 100);
  EXPECT_GT(item, 100);
  EXPECT_EQ(outside, 0);

  // Hints follow the cursor over the lists, and change nothing else.
  const auto none = Frame(10, 470);
  const auto hinted = [&](const plat::SurfacePtr& with, int x0, int y0) {
    int in = 0, out = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if (with->Row(y)[x] != none->Row(y)[x]) ++(x >= x0 && y >= y0 && y < y0 + 14 ? in : out);
    EXPECT_EQ(out, 0);
    return in;
  };
  EXPECT_GT(hinted(Frame(60, 280), 64, 270), 20);     // over the engines
  EXPECT_GT(hinted(Frame(540, 300), 520, 280), 20);  // over the slot list
}

TEST_F(AssemblyPageTest, FittedNamesSitOnTheirSlotRowsAndAmmunitionLinesAreNotWrittenAcross) {
  Own(fw::kKindTank, "Scout Tank");
  Fitted(fw::kKindTank, "Scout Tank");
  Fitted(fw::kKindWeapon, "Missile Launcher", 1);
  Fitted(fw::kKindWeapon, "Homing Missile", 11);
  Fitted(fw::kKindReactor, "Small Reactor");
  Open();
  ClickRow(1, kSlots, 2);  // the launcher with its missile
  ASSERT_EQ(overlay.EquTextA[9].Name, "Weapon Speed: 6");
  const auto f = Frame();
  const auto bright = [](int r, int g, int b) { return r < 60 && g > 240 && b < 60; };
  const auto olive = [](int r, int g, int b) { return r > 90 && r < 170 && g > 90 && g < 170 && b < 60; };

  // The reactor's name beside the "Reactor:" line, not a row below it.
  const auto& slots = overlay.EquLists[kSlots];
  const int reactorTop = slots.DesRECT().Top + (A::kReactorRow - 1) * slots.TextHeight;
  EXPECT_GT(Count(f, 535, reactorTop, 620, reactorTop + slots.TextHeight, bright), 10);
  EXPECT_EQ(Count(f, 535, reactorTop + slots.TextHeight + 6, 620, reactorTop + 2 * slots.TextHeight + 6, bright), 0);

  // The missile's speed line is all its own; the launcher's own lines
  // keep their olive labels.
  const auto box = [&](int line, const std::function<bool(int, int, int)>& test) {
    const fw::EquSlot& l = overlay.EquTextA[static_cast<size_t>(line)];
    return Count(f, l.X, l.Y, l.X + 60, l.Y + 12, test);
  };
  EXPECT_EQ(box(9, olive), 0);
  EXPECT_GT(box(9, Yellow), 10);
  EXPECT_GT(box(13, olive), 10);
}

}  // namespace

namespace {

// The page inside a factory visit: the screen opens it from the hall and
// routes presses, moves, Esc and its frame to it.
using AssemblyInTheFactory = fwtest::FactoryScreenTest;

TEST_F(AssemblyInTheFactory, TheHallOpensThePageAndEveryWayOffKeepsTheFittedSet) {
  auto& f = Enter();
  int16_t shift = 0;
  const auto press = [&](int16_t button, const std::pair<float, float>& at) {
    float x = at.first, y = at.second;
    f.MouseDown(button, shift, x, y);
  };
  const auto row = [&](int list, int32_t r) {
    const auto& l = f.Overlay().EquLists[static_cast<size_t>(list)];
    return std::pair{static_cast<float>(l.DesRECT().Left + 10),
                     static_cast<float>(l.DesRECT().Top + (r - l.ListIndex) * l.TextHeight + l.TextHeight / 2)};
  };
  const auto exitButton = [&] {
    const auto b = f.Overlay().Button(2, "EXIT");
    return std::pair{static_cast<float>(b->Left() + 3), static_cast<float>(b->Top() + 3)};
  };
  for (bool byEsc : {true, false}) {
    SCOPED_TRACE(byEsc ? "Esc" : "EXIT");
    LookAt(280, 305);
    Click();
    ASSERT_EQ(f.State(), "EQUTank");
    EXPECT_EQ(f.Overlay().EquSlots[1].Name, "Scout Tank");
    f.RenderFrame();
    EXPECT_GT(Lit(482, 393, 560, 405), 10);  // the capacity line
    EXPECT_TRUE(f.Preview().Objects->Item("WPLOOK"));

    // Moves light the buttons; a right press fits, a left press on the
    // hall's own areas means nothing here.
    float x = exitButton().first, y = exitButton().second;
    int16_t none = 0;
    f.MouseMove(none, shift, x, y);
    EXPECT_EQ(f.Overlay().Button(2, "EXIT")->GetID(), 5);
    ASSERT_EQ(f.Overlay().EquLists[1].Item(1)->Text, "Pulse Laser");
    press(2, row(1, 1));
    EXPECT_EQ(f.Overlay().EquSlots[2].Name, "Pulse Laser");

    if (byEsc) {
      Esc();
    } else {
      press(1, exitButton());
    }
    EXPECT_EQ(f.State(), "RUN");
    EXPECT_FALSE(f.Preview().Objects->Item("WPLOOK"));
    EXPECT_TRUE(f.Hall().Objects->Item("Tank1"));
    EXPECT_EQ(fw::Users->NowTank->Key, "Scout Tank");
    ASSERT_EQ(fw::Users->NowTank->Weapon->Count(), 1);
    EXPECT_EQ(fw::Users->NowTank->Weapon->Item(1)->Key, "Pulse Laser");
    // Take it off again for the second way round.
    LookAt(280, 305);
    Click();
    press(2, row(7, 2));
    EXPECT_EQ(f.Overlay().EquSlots[2].Name, "");
    press(1, exitButton());
    EXPECT_EQ(fw::Users->NowTank->Weapon->Count(), 0);
  }
  f.RenderFrame();
  EXPECT_EQ(shown, "");
}

}  // namespace
