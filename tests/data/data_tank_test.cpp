// The tank record and collection, weapon types and way points.
#include <gtest/gtest.h>

#include "data/tank.hpp"
#include "data/way_point.hpp"
#include "data/weapon.hpp"

namespace {

using fw::RECT;

TEST(DataTank, NewTankHasFullHullAndNothingElse) {
  fw::Tank t;
  EXPECT_EQ(t.HP, 100);
  EXPECT_EQ(t.ShieldFull, 0);
  EXPECT_EQ(t.TopSpeed, 0.0f);
  EXPECT_EQ(t.PerSpeed(), 0);
  EXPECT_EQ(t.HeadAngle(), 0.0f);
  EXPECT_TRUE(t.Key.empty());
  EXPECT_EQ(t.Weapon->Count(), 0);  // created on first use
}

TEST(DataTank, PerSpeedIsHeldWithinMinus50To100) {
  fw::Tank t;
  t.PerSpeed(150);
  EXPECT_EQ(t.PerSpeed(), 100);
  t.PerSpeed(-80);
  EXPECT_EQ(t.PerSpeed(), -50);
  t.PerSpeed(0);
  EXPECT_EQ(t.PerSpeed(), 0);
}

TEST(DataTank, HeadAngleMakesOneCorrectionEachWay) {
  fw::Tank t;
  const std::pair<float, float> cases[] = {{-90, 270}, {0, 0}, {360, 0}, {400, 40}, {800, 440}, {-360, 0}, {719, 359}};
  for (auto [in, out] : cases) {
    t.HeadAngle(in);
    EXPECT_EQ(t.HeadAngle(), out) << in;
  }
}

TEST(DataTank, CentreUsesHalfTheWidthFromTheBottomEdge) {
  fw::Tank t;
  t.DescRECT(RECT{0, 0, 80, 60});
  t.CenterX(100);
  EXPECT_EQ(t.PosOffsetX, 60.0f);
  t.CenterY(100);
  EXPECT_EQ(t.PosOffsetY, 80.0f);
  EXPECT_EQ(t.CenterY(), 100.0f);
  t.PosOffsetX = 10;
  EXPECT_EQ(t.CenterX(), 50.0f);
  t.DescRECT(RECT{0, 0, 81, 60});  // halves in floating point
  t.CenterX(100);
  EXPECT_EQ(t.PosOffsetX, 59.5f);
}

TEST(DataTanks, TakenKeysAreRenumberedInTheCallersVariable) {
  fw::Tanks tanks;
  std::string key = "A";
  tanks.Add(key, 0, 0, RECT{0, 0, 80, 60});
  EXPECT_EQ(key, "A");
  key = "A";
  auto second = tanks.Add(key, 0, 0, RECT{0, 0, 80, 60});
  EXPECT_EQ(key, "1");
  EXPECT_EQ(second->Key, "1");
  key = "1";
  tanks.Add(key, 0, 0, RECT{0, 0, 80, 60});
  EXPECT_EQ(key, "2");
  key = "a";  // keys ignore letter case
  tanks.Add(key, 0, 0, RECT{0, 0, 80, 60});
  EXPECT_EQ(key, "3");
  key = "7";
  tanks.Add(key, 0, 0, RECT{});
  key = "7";
  tanks.Add(key, 0, 0, RECT{});
  EXPECT_EQ(key, "8");
  key = "2.5x";
  tanks.Add(key, 0, 0, RECT{});
  key = "2.5x";
  tanks.Add(key, 0, 0, RECT{});
  EXPECT_EQ(key, "3.5");
  ASSERT_EQ(tanks.Count(), 8);
  EXPECT_EQ(tanks.Item(2)->Key, "1");
}

TEST(DataTanks, KeysBeyondDoublePrecisionStillFindAFreeKey) {
  fw::Tanks tanks;
  for (int i = 0; i < 3; ++i) {
    std::string key = "99999999999999999999";
    tanks.Add(key, 0, 0, RECT{});
  }
  EXPECT_EQ(tanks.Count(), 3);
  EXPECT_TRUE(tanks.Item("1E+20"));
  EXPECT_TRUE(tanks.Item("1"));
}

TEST(DataTanks, EachTankHasARectangleParkedOffScreen) {
  fw::Tanks tanks;
  std::string key = "T";
  auto t = tanks.Add(key, 5, 6, RECT{0, 0, 80, 60});
  EXPECT_EQ(t->MapPosX, 5);
  EXPECT_EQ(t->DescRECT().Right, 80);
  auto& rects = *tanks.TankRECT->OrgRECT;
  ASSERT_EQ(rects.Count(), 1);
  const RECT r = rects.Item("T")->iRECT;
  EXPECT_EQ(r.Left, 1024);
  EXPECT_EQ(r.Top, 768);
  EXPECT_EQ(r.Right, 1104);
  EXPECT_EQ(r.Bottom, 828);

  key = "U";
  tanks.Add(key, 0, 0, RECT{0, 0, 10, 10});
  tanks.Remove("t");
  EXPECT_EQ(tanks.Count(), 1);
  EXPECT_EQ(rects.Count(), 1);
  EXPECT_FALSE(rects.Contains("T"));
  tanks.RemoveAll();
  EXPECT_EQ(rects.Count(), 0);
  tanks.RemoveAll();  // nothing left: nothing happens
  EXPECT_EQ(tanks.Count(), 0);
}

TEST(DataTanks, ItemOfAbsentTankIsNullButRemoveRaises) {
  fw::Tanks tanks;
  EXPECT_EQ(tanks.Item("none"), nullptr);
  EXPECT_EQ(tanks.Item(1), nullptr);
  EXPECT_THROW(tanks.Remove("none"), plat::RuntimeError);
  EXPECT_THROW(tanks.Remove(1), plat::RuntimeError);
}

TEST(DataTanks, CopiesTheCollectionsCellSize) {
  fw::Tanks tanks;
  tanks.SingleW = 12;
  tanks.SingleH = 7;
  std::string key = "X";
  auto t = tanks.Add(key, 0, 0, RECT{});
  EXPECT_EQ(t->SingleW, 12);
  EXPECT_EQ(t->SingleH, 7);
}

TEST(DataWeapons, UnkeyedWeaponsAreKeptAndMissingOnesAreNull) {
  fw::WeaponClass weapons;
  weapons.Add("")->OffsetX = 1;
  weapons.Add("")->OffsetX = 2;
  weapons.Add("Laser");
  ASSERT_EQ(weapons.Count(), 3);
  EXPECT_EQ(weapons.Item(1)->OffsetX, 1);
  EXPECT_EQ(weapons.Item(2)->OffsetX, 2);
  EXPECT_EQ(weapons.Item("laser")->Key, "Laser");
  EXPECT_EQ(weapons.Item("Cannon"), nullptr);
  EXPECT_EQ(weapons.Count(), 3);
  EXPECT_THROW(weapons.Add("LASER"), plat::RuntimeError);
  weapons.Remove("Cannon");
  weapons.Remove(9);
  EXPECT_EQ(weapons.Count(), 3);
  weapons.RemoveAll();
  EXPECT_EQ(weapons.Count(), 0);
}

TEST(DataWayPoints, CursorWrapsAfterTheLast) {
  fw::WayPointCollect points;
  EXPECT_EQ(points.CurrentWayPoint, 1);
  points.IncWayPoint();
  EXPECT_EQ(points.CurrentWayPoint, 1);  // empty list
  points.Add("a", 1, 2);
  points.Add("b", 3, 4);
  points.Add("c", 5, 6);
  std::vector<int> seen;
  for (int i = 0; i < 3; ++i) {
    points.IncWayPoint();
    seen.push_back(points.CurrentWayPoint);
  }
  EXPECT_EQ(seen, (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(points.Item("B")->MapPosX, 3);
  EXPECT_THROW(points.Add("A", 0, 0), plat::RuntimeError);
  EXPECT_THROW(points.Item("z"), plat::RuntimeError);
  EXPECT_THROW(points.Remove(4), plat::RuntimeError);
}

TEST(DataWayPoints, PositionListKeepsWhatStillFits) {
  fw::WayPoint p;
  p.Count(3);
  for (int i = 1; i <= 3; ++i) p.SetWayPos(i, i * 10, i * 100);
  p.Count(5);
  EXPECT_EQ(p.GetWayPos(3), std::make_pair(30, 300));
  EXPECT_EQ(p.GetWayPos(4), std::make_pair(0, 0));
  EXPECT_EQ(p.GetWayPos(5), std::make_pair(0, 0));
  p.Count(2);
  EXPECT_EQ(p.Count(), 2);
  EXPECT_EQ(p.GetWayPos(2), std::make_pair(20, 200));
  EXPECT_THROW(p.GetWayPos(3), plat::RuntimeError);
  EXPECT_THROW(p.GetWayPos(0), plat::RuntimeError);
  EXPECT_THROW(p.SetWayPos(3, 0, 0), plat::RuntimeError);
}

}  // namespace
