// Where the player looks in the hall and which area that selects.
#include <gtest/gtest.h>

#include "factory/hall_view.hpp"

namespace {

TEST(HallAreas, EachAngleRectangleHoldsItsEdgesAndNothingBeyond) {
  struct Rect {
    const char* area;
    int h0, h1, v0, v1;
  };
  const Rect rects[] = {{"EQUTank", 241, 331, 297, 314}, {"Tank", 70, 120, 298, 323}, {"EXITOUT", 76, 102, 272, 278},
                        {"Weap", 12, 43, 271, 278},      {"ReA", 327, 359, 271, 281}, {"Shd", 138, 168, 271, 280},
                        {"Eng", 178, 217, 271, 279}};
  for (const Rect& r : rects) {
    SCOPED_TRACE(r.area);
    for (int h : {r.h0, r.h1})
      for (int v : {r.v0, r.v1}) EXPECT_EQ(fw::HitTestArea(static_cast<float>(h), static_cast<float>(v)), r.area);
    const float hm = (r.h0 + r.h1) / 2.0f, vm = (r.v0 + r.v1) / 2.0f;
    EXPECT_EQ(fw::HitTestArea(r.h0 - 1.0f, vm), "");
    EXPECT_EQ(fw::HitTestArea(r.h1 + 1.0f, vm), "");
    // Below the exit lies the platform, so only the other sides are open.
    if (std::string(r.area) != "EXITOUT") {
      EXPECT_EQ(fw::HitTestArea(hm, r.v1 + 1.0f), "");
    }
    if (std::string(r.area) != "Tank") {
      EXPECT_EQ(fw::HitTestArea(hm, r.v0 - 1.0f), "");
    }
  }
}

TEST(HallAreas, AnglesAreTakenToTheNearestWholeDegreeHalvesToEven) {
  EXPECT_EQ(fw::HitTestArea(20, 275), "Weap");
  EXPECT_EQ(fw::HitTestArea(20, 280), "");
  EXPECT_EQ(fw::HitTestArea(331.4f, 314), "EQUTank");
  EXPECT_EQ(fw::HitTestArea(331.6f, 314), "");
  // Halves go to the even degree: 331.5 is 332 and 240.5 is 240, both
  // outside; 330.5 is 330, inside.
  EXPECT_EQ(fw::HitTestArea(331.5f, 314), "");
  EXPECT_EQ(fw::HitTestArea(240.5f, 300), "");
  EXPECT_EQ(fw::HitTestArea(330.5f, 314), "EQUTank");
}

TEST(HallAreas, HelpCellsFollowTheSheetsOrder) {
  EXPECT_EQ(fw::HelpCell("Weap"), 1);
  EXPECT_EQ(fw::HelpCell("EXITOUT"), 7);
  EXPECT_EQ(fw::HelpCell("EQUTank"), 6);
  EXPECT_EQ(fw::HelpCell(""), 0);
}

TEST(HallView, MovesTurnTheViewAQuarterDegreePerPixelAndWrap) {
  fw::HallView v;
  float x = 328, y = 240;
  v.Move(x, y);
  EXPECT_FLOAT_EQ(v.Yaw, 90.0f);
  EXPECT_FLOAT_EQ(v.Pitch, 297.0f);
  v.Yaw = 1;
  x = 320;
  v.Move(x, y);
  EXPECT_FLOAT_EQ(v.Yaw, 359.0f);
  // Down across 360 comes back from 0.
  v.Pitch = 359;
  y = 248;
  v.Move(x, y);
  EXPECT_FLOAT_EQ(v.Pitch, 1.0f);
}

TEST(HallView, APointerAtAnEdgeIsRecentredAndTheViewDoesNotTurnBack) {
  fw::HallView v;
  v.LastX = 600;
  float x = 639, y = 479;
  v.Move(x, y);
  EXPECT_FLOAT_EQ(x, 320.0f);
  EXPECT_FLOAT_EQ(y, 240.0f);
  const float yaw = v.Yaw;
  EXPECT_FLOAT_EQ(yaw, 88.0f + 39.0f / 4.0f);
  // The next move is measured from the centre.
  x = 324;
  v.Move(x, y);
  EXPECT_FLOAT_EQ(v.Yaw, yaw + 1.0f);
  // Turning onto an area selects it; turning off clears it.
  v.Yaw = 20;
  v.Pitch = 275;
  x = 324;
  v.Move(x, y);
  EXPECT_EQ(v.Area, "Weap");
  x = 324 + 400;
  v.Move(x, y);
  EXPECT_EQ(v.Area, "");
}

}  // namespace
