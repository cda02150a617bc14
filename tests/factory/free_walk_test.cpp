// The debug mode's free-walk camera: speeding up and braking, walking along
// the view's heading, several keys at once, and the head bob.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "factory/free_walk.hpp"
#include "factory/hall_debug.hpp"
#include "platform/runtime/clock.hpp"

namespace {

constexpr float kRad = 3.141592653589f / 180.0f;

struct Camera {
  float x = -8.8f, y = 11.0f, z = 6.0f;
};

TEST(FreeWalkTest, OnlyTheWalkKeysSetFlags) {
  fw::FreeWalk walk;
  EXPECT_TRUE(walk.Key('E', true));
  EXPECT_TRUE(walk.Key('S', true));
  EXPECT_TRUE(walk.Key('F', true));
  EXPECT_TRUE(walk.Key('C', true));
  EXPECT_EQ(walk.mWalkForward + walk.mWalkLeft + walk.mWalkRight + walk.mWalkBack, 4);
  for (int other : {65, 90, 49, 101, 27}) EXPECT_FALSE(walk.Key(static_cast<int16_t>(other), true)) << other;
  walk.Key('S', false);
  EXPECT_EQ(walk.mWalkLeft, 0);
  EXPECT_EQ(walk.mWalkForward, 1);
}

TEST(FreeWalkTest, HoldingAKeySpeedsUpToThreeAndLettingGoBrakesToRest) {
  fw::FreeWalk walk;
  Camera c;
  walk.Key('E', true);
  // The first step is taken at the speed before it: from rest, no move.
  walk.ViewMove(90, c.x, c.y, c.z);
  EXPECT_FLOAT_EQ(c.x, -8.8f);
  EXPECT_NEAR(walk.Speed, 0.1f, 1e-6);
  float top = 0;
  for (int i = 0; i < 100; ++i) {
    const float x0 = c.x, z0 = c.z, v = walk.Speed;
    walk.ViewMove(90, c.x, c.y, c.z);
    // Heading 90 walks along +x only.
    EXPECT_NEAR(c.x - x0, v, 1e-4);
    EXPECT_NEAR(c.z - z0, 0, 1e-4);
    top = std::max(top, walk.Speed);
  }
  EXPECT_FLOAT_EQ(top, 3.0f);
  walk.Key('E', false);
  int frames = 0;
  const float x = c.x;
  while (walk.Speed > 0 && frames < 100) {
    walk.ViewMove(90, c.x, c.y, c.z);
    ++frames;
  }
  EXPECT_NEAR(frames, 30, 1);
  EXPECT_EQ(walk.Speed, 0.0f);
  EXPECT_EQ(c.x, x);  // no key, no step
  walk.ViewMove(90, c.x, c.y, c.z);
  EXPECT_EQ(walk.Speed, 0.0f);
}

TEST(FreeWalkTest, TwoKeysWalkBothWaysAndGainTwiceAsFast) {
  fw::FreeWalk walk;
  Camera c;
  walk.Key('E', true);
  walk.Key('S', true);
  walk.Speed = 1.0f;
  walk.ViewMove(0, c.x, c.y, c.z);
  // Forward along +z at 1.0, then left (heading -90, so -x) at 1.2.
  EXPECT_NEAR(c.z - 6.0f, 1.0f, 1e-4);
  EXPECT_NEAR(c.x + 8.8f, -1.2f, 1e-4);
  EXPECT_NEAR(walk.Speed, 1.3f, 1e-5);  // +0.4, then -0.1
  // Back and right follow the heading too.
  fw::FreeWalk back;
  Camera b;
  back.Key('C', true);
  back.Key('F', true);
  back.Speed = 1.0f;
  back.ViewMove(30, b.x, b.y, b.z);
  // Right is taken before back, so back walks at the raised speed.
  EXPECT_NEAR(b.x + 8.8f, std::sin(120 * kRad) + 1.2f * std::sin(210 * kRad), 1e-4);
  EXPECT_NEAR(b.z - 6.0f, std::cos(120 * kRad) + 1.2f * std::cos(210 * kRad), 1e-4);
  EXPECT_NEAR(back.Speed, 1.3f, 1e-5);
}

TEST(FreeWalkTest, TheHeadBobsAboutItsHeightWhileWalking) {
  fw::FreeWalk walk;
  Camera c;
  walk.Key('E', true);
  float low = c.y, high = c.y;
  for (int i = 0; i < 2000; ++i) {
    const float y0 = c.y;
    walk.ViewMove(45, c.x, c.y, c.z);
    EXPECT_NEAR(c.y - y0, 0.3f * std::sin(walk.Bob), 1e-4);
    low = std::min(low, c.y);
    high = std::max(high, c.y);
  }
  EXPECT_EQ(walk.Bob, 2000.0f);
  // It bobs, and does not drift away over a long walk.
  EXPECT_GT(high - low, 0.3f);
  EXPECT_LT(high - low, 1.5f);
  EXPECT_GT(low, 10.0f);
}

}  // namespace

namespace {

TEST(HallDebugTest, NumberTextsAndTheFrameRate) {
  EXPECT_EQ(fw::SingleText(320), " 320");
  EXPECT_EQ(fw::SingleText(-8.8f), "-8.8");
  EXPECT_EQ(fw::SingleText(0.5f), " .5");
  EXPECT_EQ(fw::SingleText(0), " 0");
  EXPECT_EQ(fw::SingleText(11.3f), " 11.3");  // seven digits: no float noise
  EXPECT_EQ(fw::OneDecimal(-8.8f), "-8.8");
  EXPECT_EQ(fw::OneDecimal(6.0f), "6.");
  EXPECT_EQ(fw::OneDecimal(0.46f), ".5");
  EXPECT_EQ(fw::OneDecimal(297.0f), "297.");
  EXPECT_EQ(fw::OneDecimal(0.0f), ".");
  EXPECT_EQ(fw::OneDecimal(-0.02f), ".");

  plat::FixClock(1000, 100.0f);
  fw::FrameRate rate;
  EXPECT_EQ(rate.CalFPS(), 1);  // the first frame stands for a whole second
  for (int i = 0; i < 30; ++i) EXPECT_EQ(rate.CalFPS(), 1);
  plat::FixClock(2000, 101.0f);
  EXPECT_EQ(rate.CalFPS(), 31);
  // Past midnight the count goes on.
  for (int i = 0; i < 4; ++i) rate.CalFPS();
  plat::FixClock(3000, 0.2f);
  EXPECT_EQ(rate.CalFPS(), 5);
  plat::UnfixClock();
}

}  // namespace
