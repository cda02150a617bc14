// The hall robots: the steering arithmetic of the motion set, the stations
// they walk, thousands of frames of walking along the floor's routes, where
// robots that meet overlap and part again, and the robots in the real hall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <set>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "factory/factory_screen.hpp"
#include "factory/motion.hpp"
#include "factory/robots.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/random.hpp"
#include "tests/common/test_support.hpp"
#include "tests/factory/factory_fixture.hpp"

namespace {

using fw::MotionRecord;
using fw::MotionSet;

constexpr float kRad = 3.141592653589f / 180.0f;

MotionRecord Walker(float x, float z, float heading) {
  MotionRecord r;
  r.Position = {x, 2.1f, z};
  r.Target = r.Position;
  r.Heading = heading;
  r.Radius = 4;
  r.TurnRate = 6;
  r.Speed = 0.1f;
  return r;
}

// A target in the direction whose wanted heading (0 along +z, 90 along +x)
// is the one given.
plat::D3DVECTOR Towards(const MotionRecord& r, float heading, float distance = 50) {
  return {r.Position.x + distance * std::sin(heading * kRad), r.Position.y,
          r.Position.z + distance * std::cos(heading * kRad)};
}

TEST(MotionSetTest, AngleOnTheFloorPlane) {
  const plat::D3DVECTOR o{1, 5, 2};
  auto at = [&](float dx, float dz) { return MotionSet::CalAngle(o, {o.x + dx, -7, o.z + dz}); };
  EXPECT_EQ(at(0, 0), 0.0f);
  EXPECT_NEAR(at(3, 0), 0.0f, 1e-4);
  EXPECT_NEAR(at(0, 3), 90.0f, 1e-4);
  EXPECT_NEAR(at(-3, 0), 180.0f, 1e-4);
  EXPECT_NEAR(at(0, -3), 270.0f, 1e-4);
  EXPECT_NEAR(at(-1, 1), 135.0f, 1e-3);
  EXPECT_NEAR(at(1, -1), 315.0f, 1e-3);
  // Straight along z with coordinates whose rounding would put the sine
  // beyond 1: still a number.
  for (float z : {1e-20f, 3.3e-7f, 1e20f, -1e20f}) EXPECT_FALSE(std::isnan(at(0, z))) << z;
}

TEST(MotionSetTest, CountKeepsRecordsAndBoundsAreChecked) {
  MotionSet set;
  EXPECT_EQ(set.Count(), 0);
  EXPECT_TRUE(set.Motions().empty());
  set.Refresh();  // nothing to move
  EXPECT_THROW(set.Motion(0), plat::RuntimeError);

  set.Count(0);
  EXPECT_EQ(set.Motions().size(), 1u);
  MotionRecord r = Walker(3, 4, 10);
  r.Key = "Robot1";
  set.Motion(0, r);
  set.Count(3);
  EXPECT_EQ(set.Count(), 3);
  EXPECT_EQ(set.Motion(0).Key, "Robot1");
  EXPECT_EQ(set.Motion(3).Key, "");
  // A copy read out does not write back by itself.
  MotionRecord copy = set.Motion(0);
  copy.Key = "changed";
  EXPECT_EQ(set.Motion(0).Key, "Robot1");
  EXPECT_THROW(set.Motion(4), plat::RuntimeError);
  EXPECT_THROW(set.Motion(-1, r), plat::RuntimeError);
  EXPECT_THROW(set.CheckCollision(4), plat::RuntimeError);
  EXPECT_THROW(set.Count(-1), plat::RuntimeError);
  set.Count(1);
  EXPECT_EQ(set.Motions().size(), 2u);
  EXPECT_EQ(set.Motion(0).Key, "Robot1");
}

TEST(MotionSetTest, CollisionNeedsCentresCloserThanBothRadii) {
  MotionSet set;
  set.Count(2);
  set.Motion(0, Walker(0, 0, 0));
  set.Motion(1, Walker(8, 0, 0));   // exactly 4 + 4 apart
  set.Motion(2, Walker(0, 7.5f, 0));
  EXPECT_TRUE(set.CheckCollision(0));
  EXPECT_EQ(set.Motion(0).HitIndex, 2);
  EXPECT_FLOAT_EQ(set.Motion(0).HitDistance, 7.5f);
  // The height counts too: the same floor point one above the other.
  MotionRecord high = Walker(0, 0, 0);
  high.Position.y = 20;
  set.Motion(2, high);
  EXPECT_FALSE(set.CheckCollision(0));
  EXPECT_EQ(set.Motion(0).HitIndex, 0);
  EXPECT_FLOAT_EQ(set.Motion(0).HitDistance, 7.5f);  // kept from the last hit
  // The first of several in index order wins.
  set.Motion(1, Walker(1, 0, 0));
  set.Motion(2, Walker(0, 1, 0));
  EXPECT_TRUE(set.CheckCollision(0));
  EXPECT_EQ(set.Motion(0).HitIndex, 1);
  EXPECT_TRUE(set.CheckCollision(2));
  EXPECT_EQ(set.Motion(2).HitIndex, 0);
}

TEST(MotionSetTest, HeadingTurnsByTheRateAlongTheSmallerAngle) {
  auto run = [](float heading, float want, int steps) {
    MotionSet set;
    set.Count(0);
    MotionRecord r = Walker(0, 0, heading);
    std::vector<float> seen;
    for (int i = 0; i < steps; ++i) {
      r.Target = Towards(r, want);
      set.Motion(0, r);
      set.Refresh();
      r = set.Motion(0);
      seen.push_back(r.Heading);
    }
    return seen;
  };
  // Across north: 10 to 350 the short way, then it stays within one rate.
  const auto across = run(10, 350, 5);
  const float expected[] = {4, 358, 352, 352, 352};
  for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(across[i], expected[i], 1e-3) << i;
  const auto back = run(350, 10, 4);
  EXPECT_NEAR(back[0], 356, 1e-3);
  EXPECT_NEAR(back[1], 2, 1e-3);
  EXPECT_NEAR(back[2], 8, 1e-3);
  EXPECT_NEAR(back[3], 8, 1e-3);
  // Half a turn takes thirty steps at six degrees.
  const auto half = run(0, 180, 31);
  EXPECT_NEAR(half[0], 6, 1e-3);
  EXPECT_NEAR(half[28], 174, 1e-2);
  EXPECT_NEAR(half[30], 180, 6.01);
  for (float h : half) EXPECT_TRUE(h >= 0 && h <= 360);
}

// One robot (record 0) against another (record 1), each row one step: the
// wish the target and the touch give, the point one unit ahead that decides
// the side, and the heading and place after the step.
TEST(MotionSetTest, ATouchTurnsTheWishAQuarterAndTheRobotAlwaysSteps) {
  struct Row {
    const char* what;
    float x, z, heading, target;  // the robot; its target lies that way
    float ox, oz, oheading;       // the one it may touch
    float aheadX, aheadZ;         // one unit ahead of the robot
    float wish, stepped;          // the wish; the heading after the turn
  };
  const Row rows[] = {
      {"apart: the target alone", 0, 0, 0, 30, 0, 8.5f, 0, 0, 1, 30, 6},
      {"exactly both radii apart: no touch", 0, 0, 0, 30, 8, 0, 0, 0, 1, 30, 6},
      {"closing in on one ahead: +90", 0, 0, 0, 0, 0, 5, 0, 0, 1, 90, 6},
      {"and it steps on towards it", 0, 0, 0, 0, 0, 4.05f, 90, 0, 1, 90, 6},
      {"one behind: -90", 0, 0, 0, 0, 0, -5, 10, 0, 1, 270, 354},
      {"a wish of -60 turned -90 comes into range as 210", 0, 0, 20, 300, -5, 0, 10, 0.342f, 0.940f, 210, 14},
      {"headings 179 apart: the point ahead decides", 0, 0, 0, 0, 0, 5, 179, 0, 1, 90, 6},
      {"headings 180 apart: -90 though it closes in", 0, 0, 0, 0, 0, 5, 180, 0, 1, 270, 354},
      {"headings 340 apart: -90", 0, 0, 350, 350, 0, 5, 10, -0.174f, 0.985f, 260, 344},
      {"the point ahead as far off as the centres: -90", 0, 0, 90, 90, 0.5f, 3, 45, 1, 0, 0, 84},
      {"standing on the other: -90", 0, 0, 90, 90, 0, 0, 90, 1, 0, 0, 84},
      {"deep inside, heading into it: +90, and it steps", 0, 0, 90, 90, 0.6f, 0, 90, 1, 0, 180, 96},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MotionSet set;
    set.Count(1);
    MotionRecord me = Walker(row.x, row.z, row.heading), other = Walker(row.ox, row.oz, row.oheading);
    me.Target = Towards(me, row.target);
    other.Speed = 0;
    set.Motion(0, me);
    set.Motion(1, other);
    const float ahead[] = {me.Position.x + std::sin(row.heading * kRad), me.Position.z + std::cos(row.heading * kRad)};
    EXPECT_NEAR(ahead[0], row.aheadX, 1e-3);
    EXPECT_NEAR(ahead[1], row.aheadZ, 1e-3);
    EXPECT_NEAR(set.Wish(0), row.wish, 1e-3);
    set.Refresh();
    const MotionRecord after = set.Motion(0);
    EXPECT_NEAR(after.Heading, row.stepped, 1e-3);
    EXPECT_NEAR(after.Position.x, row.x + 0.1f * std::sin(row.stepped * kRad), 1e-5);
    EXPECT_NEAR(after.Position.z, row.z + 0.1f * std::cos(row.stepped * kRad), 1e-5);
    EXPECT_EQ(after.Position.y, 2.1f);
  }
}

TEST(MotionSetTest, ALaterRobotSeesTheEarlierOneAsItsStepLeftIt) {
  // Record 0 turns from 174 to 180, so record 1 (heading 355) meets a
  // difference of 175, not 181: its point ahead decides, and lies nearer
  // record 0's new place (with the old heading it would have turned to 349).
  MotionSet set;
  set.Count(1);
  MotionRecord first = Walker(0, 5, 174), second = Walker(0, 0, 355);
  first.Target = Towards(first, 280);
  second.Target = Towards(second, 355);
  set.Motion(0, first);
  set.Motion(1, second);
  set.Refresh();
  EXPECT_NEAR(set.Motion(0).Heading, 180, 1e-3);
  EXPECT_NEAR(set.Motion(1).Heading, 1, 1e-3);  // wish 85: turned right
}

TEST(MotionSetTest, RobotsMeetingHeadOnOverlapAndPartAgain) {
  MotionSet set;
  set.Count(1);
  MotionRecord a = Walker(0, 0, 0), b = Walker(0.5f, 12, 180);
  a.Target = {0, 0, 30};
  b.Target = {0.5f, 0, -18};
  set.Motion(0, a);
  set.Motion(1, b);
  float closest = 1e9f;
  for (int i = 0; i < 600; ++i) {
    const auto before = set.Motions();
    set.Refresh();
    const auto& m = set.Motions();
    for (size_t k = 0; k < 2; ++k)
      EXPECT_NEAR(std::hypot(m[k].Position.x - before[k].Position.x, m[k].Position.z - before[k].Position.z), 0.1f,
                  1e-5);
    closest = std::min(closest, std::hypot(m[0].Position.x - m[1].Position.x, m[0].Position.z - m[1].Position.z));
  }
  // Each swings to its own left, they overlap for a while, and both go on
  // to their targets.
  EXPECT_LT(closest, 8.0f);
  EXPECT_GT(set.Motion(0).Position.z, 25.0f);
  EXPECT_LT(set.Motion(1).Position.z, -13.0f);
}

TEST(MotionSetTest, AnimationTimeLoopsWithinItsTrack) {
  MotionSet set;
  set.Count(1);
  MotionRecord r = Walker(0, 0, 0);
  r.AnimStep = 0.2f;
  r.Track = {fw::AnimTrack{0, 0, 10, 30, 40}};
  set.Motion(0, r);
  MotionRecord bare = Walker(50, 50, 0);  // no track at all
  bare.AnimStep = 1;
  bare.AnimTime = 3;
  set.Motion(1, bare);
  float top = 0;
  int wraps = 0;
  float last = 0;
  for (int i = 0; i < 1000; ++i) {
    set.Refresh();
    const float t = set.Motion(0).AnimTime;
    if (i < 5) {
      EXPECT_NEAR(t, 0.2f * static_cast<float>(i + 1), 1e-5);
    }
    if (t < last) {
      ++wraps;
      EXPECT_EQ(t, 10.0f);
    }
    top = std::max(top, t);
    last = t;
  }
  EXPECT_LE(top, 30.0f + 1e-3f);
  EXPECT_GT(top, 29.7f);
  EXPECT_GE(wraps, 8);
  EXPECT_EQ(set.Motion(1).AnimTime, 3.0f);
  // Outside the track's range the time stands.
  r.AnimTime = 41;
  set.Motion(0, r);
  set.Refresh();
  EXPECT_EQ(set.Motion(0).AnimTime, 41.0f);
}

// ------------------------------------------------------------ hall robots

class HallRobotsTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::FixRandom(12345); }
  void TearDown() override { plat::UnfixRandom(); }
  fw::HallRobots Hall() {
    fw::HallRobots robots;
    robots.InitViewPoints();
    robots.mMotions.Count(3);
    robots.AddRobot("Robot1", 0, 180);
    for (int i = 1; i <= 3; ++i) robots.AddRobot("Robot" + std::to_string(i + 1), i, -90);
    return robots;
  }
};

TEST_F(HallRobotsTest, EveryStationCanBeReachedAndLeft) {
  fw::HallRobots robots;
  robots.InitViewPoints();
  ASSERT_EQ(robots.mStations.size(), 11u);
  EXPECT_TRUE(robots.mStations[0].Links.empty());
  // Following links from station 1 reaches all ten, and none is a dead end.
  std::set<int32_t> seen{1};
  std::vector<int32_t> todo{1};
  while (!todo.empty()) {
    const int32_t s = todo.back();
    todo.pop_back();
    EXPECT_FALSE(robots.mStations[static_cast<size_t>(s)].Links.empty()) << s;
    for (int32_t l : robots.mStations[static_cast<size_t>(s)].Links) {
      ASSERT_TRUE(l >= 1 && l <= 10) << s;
      if (seen.insert(l).second) todo.push_back(l);
    }
  }
  EXPECT_EQ(seen.size(), 10u);
}

TEST_F(HallRobotsTest, RobotsStartOnTheirStationsAndTheFirstFrameGivesLinkedTargets) {
  const std::set<int32_t> allowed[] = {{2}, {3, 5}, {10, 4}, {3, 6, 7}};
  std::set<int32_t> seen[4];
  for (uint32_t seed = 1; seed < 60; ++seed) {
    plat::FixRandom(seed * 7919u);
    fw::HallRobots robots = Hall();
    for (int i = 0; i < 4; ++i) {
      const MotionRecord r = robots.mMotions.Motion(i);
      const auto& start = robots.mStations[static_cast<size_t>(i + 1)];
      EXPECT_EQ(r.Station, i + 1);
      EXPECT_EQ(r.NextStation, i + 1);
      EXPECT_EQ(r.Position.x, start.Center.x);
      EXPECT_EQ(r.Position.z, start.Center.z);
      EXPECT_EQ(r.Position.y, 2.1f);
      EXPECT_EQ(r.HeadingOffset, i == 0 ? 180.0f : -90.0f);
    }
    robots.ObjMotion();
    for (int i = 0; i < 4; ++i) {
      const MotionRecord r = robots.mMotions.Motion(i);
      EXPECT_TRUE(allowed[i].count(r.NextStation)) << i << " heads for " << r.NextStation;
      seen[i].insert(r.NextStation);
      const auto& s = robots.mStations[static_cast<size_t>(r.NextStation)];
      EXPECT_LE(std::fabs(r.Target.x - s.Center.x), s.Extent.x / 2);
      EXPECT_LE(std::fabs(r.Target.z - s.Center.z), s.Extent.z / 2);
      EXPECT_EQ(r.Target.y, 0.0f);
    }
  }
  // Over many seeds every link is taken.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(seen[i], allowed[i]) << i;
}

TEST_F(HallRobotsTest, ARobotAtItsTargetArrivesAndIsGivenTheNextInTheSameFrame) {
  fw::HallRobots robots = Hall();
  robots.ObjMotion();
  MotionRecord r = robots.mMotions.Motion(0);
  ASSERT_EQ(r.NextStation, 2);
  r.Target = {r.Position.x + 0.3f, 0, r.Position.z};
  robots.mMotions.Motion(0, r);
  robots.ObjMotion();
  r = robots.mMotions.Motion(0);
  EXPECT_EQ(r.Station, 2);
  EXPECT_TRUE(r.NextStation == 3 || r.NextStation == 5) << r.NextStation;
  // A station outside the table, or one without links, keeps the robot's
  // course instead of failing.
  r.Station = r.NextStation = 0;
  const plat::D3DVECTOR target = r.Target;
  robots.mMotions.Motion(0, r);
  robots.ObjMotion();
  EXPECT_EQ(robots.mMotions.Motion(0).NextStation, 0);
  EXPECT_EQ(robots.mMotions.Motion(0).Target.x, target.x);
  r.Station = r.NextStation = 99;
  robots.mMotions.Motion(0, r);
  robots.ObjMotion();
  EXPECT_EQ(robots.mMotions.Motion(0).NextStation, 99);
}

// How far a floor point lies outside the way between two stations: the
// band joining their rectangles, as wide as the rectangles at each end.
float OutsideTheWay(const plat::D3DVECTOR& p, const fw::RouteStation& a, const fw::RouteStation& b) {
  const float ra = std::hypot(a.Extent.x, a.Extent.z) / 2, rb = std::hypot(b.Extent.x, b.Extent.z) / 2;
  const float ex = b.Center.x - a.Center.x, ez = b.Center.z - a.Center.z;
  const float len2 = ex * ex + ez * ez;
  float t = len2 > 0 ? ((p.x - a.Center.x) * ex + (p.z - a.Center.z) * ez) / len2 : 0;
  t = std::clamp(t, 0.0f, 1.0f);
  const float d = std::hypot(p.x - (a.Center.x + t * ex), p.z - (a.Center.z + t * ez));
  return std::max(0.0f, d - (ra + t * (rb - ra)));
}

TEST_F(HallRobotsTest, ThousandsOfFramesKeepToTheRoutesAndRobotsThatMeetPartAgain) {
  int touches = 0;
  for (uint32_t seed : {1u, 5u, 11u, 15u, 77u, 4242u}) {
    SCOPED_TRACE(seed);
    plat::FixRandom(seed);
    fw::HallRobots robots = Hall();
    float worstOff = 0;
    int arrivals = 0;
    std::set<int32_t> visited;
    std::vector<int32_t> last(4, 0), since(4, 0);
    int longestLeg = 0, longestTouch = 0;
    int touching[4][4] = {};
    std::vector<MotionRecord> before = robots.mMotions.Motions();
    for (int frame = 0; frame < 6000; ++frame) {
      robots.ObjMotion();
      const auto& all = robots.mMotions.Motions();
      ASSERT_EQ(all.size(), 4u);
      for (size_t i = 0; i < all.size(); ++i) {
        const MotionRecord& r = all[i];
        ASSERT_FALSE(std::isnan(r.Position.x) || std::isnan(r.Position.z) || std::isnan(r.Heading));
        ASSERT_TRUE(r.Heading >= 0 && r.Heading <= 360) << r.Heading;
        ASSERT_EQ(r.Position.y, 2.1f);
        // Every robot moves a whole step every frame, touching or not.
        ASSERT_NEAR(std::hypot(r.Position.x - before[i].Position.x, r.Position.z - before[i].Position.z), 0.1f, 1e-4);
        // The next station is always one the reached station links to.
        const auto& links = robots.mStations[static_cast<size_t>(r.Station)].Links;
        ASSERT_NE(std::find(links.begin(), links.end(), r.NextStation), links.end())
            << "robot " << i << " from " << r.Station << " to " << r.NextStation;
        worstOff = std::max(worstOff, OutsideTheWay(r.Position, robots.mStations[static_cast<size_t>(r.Station)],
                                                    robots.mStations[static_cast<size_t>(r.NextStation)]));
        longestLeg = std::max(longestLeg, ++since[i]);
        if (r.Station != last[i]) {
          since[i] = 0;
          ++arrivals;
          visited.insert(r.Station);
          last[i] = r.Station;
        }
        for (size_t j = i + 1; j < all.size(); ++j) {
          int& t = touching[i][j];
          const bool touch = std::hypot(r.Position.x - all[j].Position.x, r.Position.z - all[j].Position.z) < 8;
          touches += touch && t == 0;
          t = touch ? t + 1 : 0;
          longestTouch = std::max(longestTouch, t);
        }
      }
      before = all;
    }
    // Robots that touch swing aside, and one swinging round another may
    // carry it off its way for a while.
    EXPECT_LT(worstOff, 30.0f);
    // Nobody circles a target or stays tangled with another for ever: the
    // longest way (to the far station and back) takes under 1,500 frames,
    // a tangle on the way a while longer.
    EXPECT_LT(longestLeg, 4000);
    EXPECT_LT(longestTouch, 1000);
    // They really walk: many stations reached, most of the floor seen.
    EXPECT_GT(arrivals, 20);
    EXPECT_GE(visited.size(), 6u);
  }
  // The robots do meet.
  EXPECT_GT(touches, 20);
}

// ------------------------------------------------------ robots in the hall

class RobotsInTheHallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
    plat::FixClock(1000);
    plat::FixRandom(2024);
    fwtest::OpenSampleFactory();
  }
  void TearDown() override {
    factory.reset();
    fw::Users.Release();
    fw::DataPack.Release();
    plat::UnfixRandom();
    plat::UnfixClock();
  }
  fw::FrmFactoryClass& Enter() {
    factory = std::make_unique<fw::FrmFactoryClass>();
    factory->Present = std::make_shared<plat::Surface>(640, 480);
    factory->ShowMessage = [](const std::string&) {};
    EXPECT_TRUE(factory->Enter());
    return *factory;
  }
  fwtest::TempProgramFolder dir;
  std::unique_ptr<fw::FrmFactoryClass> factory;
};

TEST_F(RobotsInTheHallTest, FramesFollowTheRecordsAndFaceTheWayTheyWalk) {
  auto& f = Enter();
  ASSERT_EQ(f.Robots().mMotions.Motions().size(), 4u);
  for (int i = 0; i < 200; ++i) f.RenderFrame();
  auto& hall = f.Hall();
  for (const MotionRecord& r : f.Robots().mMotions.Motions()) {
    SCOPED_TRACE(r.Key);
    const auto node = hall.Objects->Item(r.Key);
    ASSERT_TRUE(node);
    const plat::D3DVECTOR at = node->Frame->GetPosition(hall.D3DFrameScene);
    EXPECT_NEAR(at.x, r.Position.x, 1e-3);
    EXPECT_NEAR(at.y, 2.1f, 1e-3);
    EXPECT_NEAR(at.z, r.Position.z, 1e-3);
    // The walker's model looks along -z, the carts' along +x; turned by
    // their model turn, both look where the heading leads.
    const plat::D3DMATRIX& m = node->Frame->GetTransform();
    const float fx = r.Key == "Robot1" ? -m.m[2][0] : m.m[0][0];
    const float fz = r.Key == "Robot1" ? -m.m[2][2] : m.m[0][2];
    EXPECT_NEAR(fx, std::sin(r.Heading * kRad), 1e-3);
    EXPECT_NEAR(fz, std::cos(r.Heading * kRad), 1e-3);
  }
  // Only the walker is animated, at its record's time.
  const auto walker = hall.Objects->Item("Robot1");
  ASSERT_TRUE(walker->Animation);
  EXPECT_GT(walker->Animation->TrackCount(), 0u);
  EXPECT_EQ(walker->Animation->GetTime(), f.Robots().mMotions.Motion(0).AnimTime);
  EXPECT_GT(walker->Animation->GetTime(), 10.0f);
  EXPECT_FALSE(hall.Objects->Item("Robot2")->Animation);
}

TEST_F(RobotsInTheHallTest, RobotsWalkOnBehindAPage) {
  fw::Users->NowItem()->Money = 5000;
  auto& f = Enter();
  f.RenderFrame();
  // Straight to the weapon shop's area, as the pointer would turn there.
  int16_t button = 0, shift = 0;
  float x = 320 - (88 - 20) * 4, y = 240 + (275 - 297) * 4;
  f.MouseMove(button, shift, x, y);
  ASSERT_EQ(f.HoverArea(), "Weap");
  button = 1;
  f.MouseDown(button, shift, x, y);
  ASSERT_EQ(f.State(), "Weap");
  for (int i = 0; i < 20; ++i) {
    const plat::D3DVECTOR before = f.Robots().mMotions.Motion(1).Position;
    f.RenderFrame();
    const plat::D3DVECTOR after = f.Robots().mMotions.Motion(1).Position;
    EXPECT_NEAR(std::hypot(after.x - before.x, after.z - before.z), 0.1f, 1e-4);
  }
}

TEST_F(RobotsInTheHallTest, ARobotWhoseModelCannotBeReadIsLeftOutWhileTheOthersWalk) {
  fw::DataPack->PackFiles->Remove("Root01.x");
  auto& f = Enter();
  EXPECT_FALSE(f.Hall().Objects->Item("Robot1"));
  const auto& records = f.Robots().mMotions.Motions();
  ASSERT_EQ(records.size(), 3u);
  // The carts keep their own start stations.
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(records[i].Key, "Robot" + std::to_string(i + 2));
    EXPECT_EQ(records[i].Station, static_cast<int32_t>(i) + 2);
  }
  for (int i = 0; i < 50; ++i) f.RenderFrame();
  const plat::D3DVECTOR at = f.Robots().mMotions.Motion(0).Position;
  EXPECT_GT(std::hypot(at.x + 64, at.z - 11), 3.5f);
}

TEST_F(RobotsInTheHallTest, WithNoRobotModelsTheHallStillRuns) {
  fw::DataPack->PackFiles->Remove("Root01.x");
  fw::DataPack->PackFiles->Remove("Car.x");
  auto& f = Enter();
  EXPECT_TRUE(f.Robots().mMotions.Motions().empty());
  for (int i = 0; i < 5; ++i) f.RenderFrame();
  EXPECT_EQ(f.State(), "RUN");
}

}  // namespace

namespace {

// The whole visit's loop, driven pass by pass: the walk keys move the
// camera only in the debug mode, which also draws its lines.
TEST_F(RobotsInTheHallTest, TheWalkKeysMoveTheCameraOnlyInTheDebugMode) {
  for (int debug : {0, 1}) {
    SCOPED_TRACE(debug);
    fw::DebugOn = static_cast<uint8_t>(debug);
    factory = std::make_unique<fw::FrmFactoryClass>();
    auto& f = *factory;
    f.Present = std::make_shared<plat::Surface>(640, 480);
    f.ShowMessage = [](const std::string&) {};
    int pass = 0;
    plat::D3DVECTOR start, held;
    int yellow = 0;
    plat::SetTestDriver([&] {
      int16_t key = 0, shift = 0;
      if (++pass == 2) {
        start = f.Camera();
        key = 'E';
        f.KeyDown(key, shift);
        key = 'A';
        f.KeyDown(key, shift);
      } else if (pass == 40) {
        held = f.Camera();
        key = 'E';
        f.KeyUp(key, shift);
        for (int y = 0; y < 60; ++y)
          for (int x = 0; x < 100; ++x) yellow += f.Present->Row(y)[x] == 0xFFE0;
        key = 27;
        f.KeyPress(key);
      }
    });
    f.Load();
    plat::SetTestDriver(nullptr);
    fw::DebugOn = 0;
    EXPECT_EQ(f.Walk().mWalkForward, 0);
    EXPECT_NEAR(held.y - start.y, 0.5f, debug ? 1.0f : 1e-4f);  // A in any mode
    const float walked = std::hypot(held.x - start.x, held.z - start.z);
    if (debug) {
      // Heading 88: almost straight along +x, about 0.1 more per frame.
      EXPECT_GT(walked, 30.0f);
      EXPECT_GT(held.x - start.x, 0.99f * walked);
      EXPECT_GT(f.Walk().Speed, 2.0f);
      EXPECT_GT(yellow, 50);  // the debug lines
    } else {
      EXPECT_EQ(walked, 0.0f);
      EXPECT_EQ(f.Walk().Speed, 0.0f);
      EXPECT_EQ(yellow, 0);
    }
    factory.reset();
  }
}

}  // namespace

namespace {

TEST_F(RobotsInTheHallTest, AnObjectWhoseTextureCannotBeReadIsLeftOutAndToldOf) {
  // The robots' skin serves the walker and the carts; the door's picture
  // only the exit.
  fw::DataPack->PackFiles->Remove("RobotBody.bmp");
  fw::DataPack->PackFiles->Remove("HallExit.bmp");
  testing::internal::CaptureStderr();
  auto& f = Enter();
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(f.MissingObjects(), 5);
  for (const char* key : {"EXITOUT", "Robot1", "Robot2", "Robot3", "Robot4"}) {
    EXPECT_FALSE(f.Hall().Objects->Item(key)) << key;
    EXPECT_NE(told.find(std::string("\"") + key + "\" is left out"), std::string::npos) << key;
  }
  EXPECT_NE(told.find("HallExit.bmp"), std::string::npos);
  EXPECT_TRUE(f.Hall().Objects->Item("EQUTank"));  // shares the frame's place, not the picture
  EXPECT_TRUE(f.Robots().mMotions.Motions().empty());
  for (int i = 0; i < 3; ++i) f.RenderFrame();
  EXPECT_EQ(f.State(), "RUN");
}

}  // namespace
