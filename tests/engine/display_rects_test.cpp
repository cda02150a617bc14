// Rectangles, the screens' hot spots and the two hit tests.
#include <gtest/gtest.h>

#include "engine/rects.hpp"
#include "platform/runtime/error.hpp"

namespace {
using fw::RECT;

TEST(DisplayRects, PointTestsCountEveryEdgeAsInside) {
  const RECT r = fw::SetRECT(10, 10, 20, 20);
  EXPECT_TRUE(fw::PtInRECT(10, 10, r));
  EXPECT_TRUE(fw::PtInRECT(20, 20, r));
  EXPECT_FALSE(fw::PtInRECT(21, 15, r));
  EXPECT_FALSE(fw::PtInRECT(15, 9, r));
}

TEST(DisplayRects, OffsetsAndTheirOverflow) {
  RECT r;
  fw::SetRECT(r, 1, 2, 3, 4);
  RECT moved;
  fw::OffsetRECT(moved, r, 10, -20);
  EXPECT_EQ(moved.Left, 11);
  EXPECT_EQ(moved.Bottom, -16);
  fw::OffsetRECT2(moved, -1, -2, r);
  EXPECT_EQ(moved.Left, 0);
  EXPECT_EQ(moved.Top, 0);
  try {
    fw::OffsetRECT(moved, fw::SetRECT(0, 0, INT32_MAX, 1), 1, 0);
    FAIL() << "no overflow";
  } catch (const plat::RuntimeError& e) {
    EXPECT_EQ(e.code(), plat::ErrorCode::Overflow);
  }
}

TEST(DisplayRects, HotSpotMovesAndFrames) {
  fw::OBJRECT o;
  o.iRECT(fw::SetRECT(10, 10, 30, 20));
  o.ABSXY(100, 50);
  EXPECT_EQ(o.Left(), 100);
  EXPECT_EQ(o.Top(), 50);
  EXPECT_EQ(o.right(), 120);
  EXPECT_EQ(o.bottom(), 60);
  o.OffsetXY(-100, 1);
  EXPECT_EQ(o.Left(), 0);
  EXPECT_EQ(o.bottom(), 61);
  o.SetClip("BUTTON", 3, 1, 2);
  EXPECT_EQ(o.ClipID, "BUTTON");
  const int32_t expected[] = {0, 1, 2, 3, 0};
  for (int32_t state = 0; state <= 4; ++state) {
    o.State = state;
    EXPECT_EQ(o.GetID(), expected[state]) << state;
  }
  o.State = 1;
  o.Enabled = false;
  EXPECT_EQ(o.GetID(), 0);
}

class HitTests : public ::testing::Test {
 protected:
  void SetUp() override {
    rects.OrgRECT->Add("A", fw::SetRECT(0, 0, 10, 10));
    rects.OrgRECT->Add("B", fw::SetRECT(10, 0, 20, 10));
    rects.OrgRECT->Add("C", fw::SetRECT(100, 100, 110, 110));
  }
  std::string Selected(int i = 1) { return rects.SelectedRect->Item(i)->Key; }
  fw::OBJRECTClass rects;
};

TEST_F(HitTests, MouseCheckGivesEveryRectangleItsStateAndSelectsTheLastDown) {
  // Both A and B hold (10, 5): both go down, B (the later) is selected.
  EXPECT_TRUE(rects.MouseCheck(1, 10.0f, 5.0f));
  EXPECT_EQ(rects.OrgRECT->Item("A")->State, 1);
  EXPECT_EQ(rects.OrgRECT->Item("B")->State, 1);
  EXPECT_EQ(rects.OrgRECT->Item("C")->State, 3);
  ASSERT_EQ(rects.SelectedRect->Count(), 1);
  EXPECT_EQ(Selected(), "B");
  // Over without a button; the selection stays from the last press.
  EXPECT_FALSE(rects.MouseCheck(0, 105.0f, 105.0f));
  EXPECT_EQ(rects.OrgRECT->Item("C")->State, 2);
  EXPECT_EQ(rects.OrgRECT->Item("A")->State, 3);
  EXPECT_EQ(Selected(), "B");
  EXPECT_FALSE(rects.MouseCheck(1, 500.0f, 500.0f));
  EXPECT_EQ(Selected(), "B");
}

TEST_F(HitTests, MouseCheckRoundsHalvesToEven) {
  // 20.5 rounds to 20 (inside B); 21.5 to 22 (outside).
  EXPECT_TRUE(rects.MouseCheck(1, 20.5f, 5.0f));
  EXPECT_FALSE(rects.MouseCheck(1, 21.5f, 5.0f));
  // 9.5 rounds to 10, which A and B share; 10.5 to 10 as well.
  rects.MouseCheck(1, 9.5f, 5.0f);
  EXPECT_EQ(rects.OrgRECT->Item("B")->State, 1);
  rects.MouseCheck(0, 10.5f, 5.0f);
  EXPECT_EQ(rects.OrgRECT->Item("B")->State, 2);
}

TEST_F(HitTests, HitCheckSelectsOverlapsOnly) {
  // Touching A's right edge is no overlap; B is overlapped.
  EXPECT_TRUE(rects.HitCheck(fw::SetRECT(10, 0, 20, 10)));
  ASSERT_EQ(rects.SelectedRect->Count(), 1);
  EXPECT_EQ(Selected(), "B");
  EXPECT_EQ(rects.OrgRECT->Item("B")->RetRect().Right, 20);
  EXPECT_TRUE(rects.HitCheck(fw::SetRECT(5, 5, 105, 105)));
  EXPECT_EQ(rects.SelectedRect->Count(), 3);
  EXPECT_FALSE(rects.HitCheck(fw::SetRECT(50, 50, 51, 51)));
  EXPECT_EQ(rects.SelectedRect->Count(), 0);
  fw::OBJRECTClass empty;
  EXPECT_FALSE(empty.HitCheck(fw::SetRECT(0, 0, 1000, 1000)));
}

TEST_F(HitTests, DisabledRectanglesStillTakeStatesButNeverHit) {
  auto a = rects.OrgRECT->Item("A");
  a->Enabled = false;
  EXPECT_TRUE(rects.MouseCheck(1, 5.0f, 5.0f));
  EXPECT_EQ(a->State, 1);
  EXPECT_EQ(Selected(), "A");
  EXPECT_EQ(a->GetID(), 0);
  EXPECT_FALSE(rects.HitCheck(fw::SetRECT(0, 0, 5, 5)));
  EXPECT_EQ(a->ChkRECT(fw::SetRECT(0, 0, 5, 5)), "");
}

TEST_F(HitTests, CollectionKeys) {
  EXPECT_THROW(rects.OrgRECT->Add("a", fw::SetRECT(0, 0, 1, 1)), plat::RuntimeError);
  EXPECT_THROW(rects.OrgRECT->Item("Z"), plat::RuntimeError);
  EXPECT_THROW(rects.OrgRECT->Item(4), plat::RuntimeError);
  EXPECT_EQ(rects.OrgRECT->Item("c")->Key, "C");
  auto added = rects.OrgRECT->Add("Mixed Case", fw::SetRECT(1, 2, 3, 4));
  EXPECT_EQ(added->Key, "Mixed Case");
  EXPECT_EQ(rects.OrgRECT->Count(), 4);
  rects.OrgRECT->Remove("b");
  EXPECT_EQ(rects.OrgRECT->Item(2)->Key, "C");
  rects.OrgRECT->RemoveAll();
  EXPECT_EQ(rects.OrgRECT->Count(), 0);
}

}  // namespace
