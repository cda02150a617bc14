// The factory's 2D overlay as the pages find it after entering: sheets cut
// to their grids, buttons where the pages draw and hit-test them, and the
// assembly lists' bars kept in step with their rows.
#include "factory/overlay.hpp"

#include "platform/runtime/error.hpp"
#include "tests/factory/factory_fixture.hpp"

namespace {

using fwtest::FactoryScreenTest;

TEST_F(FactoryScreenTest, TheOverlayHasEverySheetInItsGridAndTheButtonsInTheirSets) {
  auto& o = Enter().Overlay();
  const struct {
    const char* key;
    int columns, rows;
  } kSheets[] = {{"BD1", 1, 1},    {"TXT1", 1, 6},   {"BU1", 2, 3},    {"BD2", 1, 1},   {"BOLD01", 1, 1},
                 {"BOLD02", 1, 1}, {"BOLD03", 1, 1}, {"BOLD04", 1, 5}, {"Allow1", 2, 2}};
  for (const auto& s : kSheets) {
    auto clip = o.OverlayClips.Item(s.key);
    ASSERT_TRUE(clip) << s.key;
    EXPECT_EQ(clip->RepeatX, s.columns) << s.key;
    EXPECT_EQ(clip->RepeatY, s.rows) << s.key;
    // Every cell holds something visible: a sheet keyed all black would
    // draw nothing.
    int lit = 0;
    for (int y = 0; y < clip->H; ++y)
      for (int x = 0; x < clip->w; ++x) lit += clip->Surface4->Row(y)[x] != 0;
    EXPECT_GT(lit, clip->w * clip->H / 20) << s.key;
  }
  const fw::RECT frame = o.OverlayClips.Item("BD1")->DescRECT();
  EXPECT_EQ(frame.Right - frame.Left, 240);
  EXPECT_EQ(frame.Bottom - frame.Top, 200);

  // The two EXIT buttons are separate rectangles of the same sheet.
  auto shopExit = o.Button(1, "EXIT"), assemblyExit = o.Button(2, "EXIT");
  ASSERT_TRUE(shopExit && assemblyExit);
  EXPECT_NE(shopExit, assemblyExit);
  EXPECT_EQ(shopExit->Left(), 521);
  EXPECT_EQ(shopExit->Top(), 438);
  EXPECT_EQ(assemblyExit->Left(), 512);
  EXPECT_EQ(assemblyExit->Top(), 430);
  EXPECT_EQ(o.Button(1, "BUY")->Left(), 300);
  EXPECT_EQ(o.Button(1, "SELL")->Left(), 412);
  EXPECT_EQ(o.Button(2, "LEFT")->Left(), 180);
  EXPECT_EQ(o.Button(2, "RIGHT")->Left(), 440);
  EXPECT_FALSE(o.Button(1, "LEFT"));
  EXPECT_FALSE(o.Button(3, "EXIT"));
  // A press on the shop EXIT is not a press on the assembly one.
  EXPECT_TRUE(o.ButtonSets[1].MouseCheck(1, 530, 445));
  EXPECT_FALSE(o.ButtonSets[2].MouseCheck(1, 620, 445));
  // Each button draws its own pair of frames: down and over differ only
  // where the sheet says so.
  shopExit->State = 1;
  EXPECT_EQ(shopExit->GetID(), 6);
  shopExit->State = 2;
  EXPECT_EQ(shopExit->GetID(), 5);
  auto left = o.Button(2, "LEFT");
  left->State = 3;
  EXPECT_EQ(left->GetID(), 1);
  left->State = 2;
  EXPECT_EQ(left->GetID(), 2);

  // Both text columns start on the same line; the second column of each
  // attribute table and the last slot row.
  EXPECT_EQ(o.EquTextA[1].X, 200);
  EXPECT_EQ(o.EquTextA[1].Y, 355);
  EXPECT_EQ(o.EquTextB[9].X, 340);
  EXPECT_EQ(o.EquTextB[9].Y, 355);
  EXPECT_EQ(o.EquTextA[16].Y, 439);
  EXPECT_EQ(o.EquSlots[13].X, 530);
  EXPECT_EQ(o.EquSlots[13].Y, 371);
  EXPECT_EQ(o.EquLists[4].DesRECT().Top, 380);
  EXPECT_EQ(o.EquScrolls[5].DesRECT().Left, 323);
  EXPECT_EQ(o.EquLists[7].ForeColor, plat::RGB(0, 128, 0));
}

TEST_F(FactoryScreenTest, ListChangeFollowsTheRowsAndRefusesListsWithoutABar) {
  auto& o = Enter().Overlay();
  auto& list = o.EquLists[3];
  const struct {
    int rows, max;
  } kCases[] = {{0, 1}, {5, 1}, {6, 2}, {10, 6}, {3, 1}};
  for (const auto& c : kCases) {
    list.RemoveAll();
    for (int i = 0; i < c.rows; ++i) list.Add("Row" + std::to_string(i), "");
    o.ListChange(3);
    EXPECT_EQ(o.EquScrolls[3].Max, c.max) << c.rows << " rows";
  }
  for (int bad : {0, 6, 7, -1}) {
    try {
      o.ListChange(bad);
      ADD_FAILURE() << bad << " was taken";
    } catch (const plat::RuntimeError& e) {
      EXPECT_EQ(e.code(), plat::ErrorCode::SubscriptOutOfRange) << bad;
    }
  }
  // A refused index touches no bar.
  EXPECT_EQ(o.EquScrolls[3].Max, 1);
}

TEST_F(FactoryScreenTest, AMissingOverlayPictureIsToldAndTheVisitStillSaves) {
  fw::DataPack->PackFiles->Remove("Word-.BMP");
  factory = std::make_unique<fw::FrmFactoryClass>();
  factory->Present = std::make_shared<plat::Surface>(640, 480);
  factory->ShowMessage = [this](const std::string& text) { shown += text + "\n"; };
  EXPECT_FALSE(factory->Enter());
  EXPECT_NE(shown.find("The factory cannot be shown"), std::string::npos);
  EXPECT_TRUE(factory->Leave());
  EXPECT_NE(dir.Read("user1.DAT").find("Pulse Laser"), std::string::npos);
}

}  // namespace
