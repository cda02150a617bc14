// The rule of the screens a single press ends: only a press that began
// after the screen opened, and not in its first moments.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/fresh_press.hpp"
#include "platform/runtime/clock.hpp"

namespace {
constexpr int16_t kSpace = ' ', kEnter = 13, kA = 'A';

struct Event {
  uint32_t atMs;  // after the screen opened; negative times are not needed
  enum { Down, Up, Button } kind;
  int16_t key;
};

struct Case {
  const char* what;
  std::vector<int16_t> heldBefore;  // keys down before the screen opened
  std::vector<Event> events;
  bool taken;
  int16_t key;     // of the press taken
  bool takenNow;   // the latest event is itself a fresh press
};

class FreshPressRule : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { plat::FixClock(70000); }
  void TearDown() override {
    // No key stays held for the next case.
    for (int16_t k : {kSpace, kEnter, kA}) fw::NoteKeyUp(k);
    plat::UnfixClock();
  }
};

TEST_P(FreshPressRule, Decides) {
  const Case& c = GetParam();
  for (int16_t k : c.heldBefore) fw::NoteKeyDown(k);
  plat::AdvanceClock(1000);
  const fw::FreshPress press;
  uint32_t now = 0;
  for (const Event& e : c.events) {
    plat::AdvanceClock(e.atMs - now);
    now = e.atMs;
    if (e.kind == Event::Down) fw::NoteKeyDown(e.key);
    if (e.kind == Event::Up) fw::NoteKeyUp(e.key);
    if (e.kind == Event::Button) fw::NoteButtonDown(1);
  }
  EXPECT_EQ(press.Taken(), c.taken) << c.what;
  EXPECT_EQ(press.Key(), c.key) << c.what;
  EXPECT_EQ(press.TakenNow(), c.takenNow) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FreshPressRule,
    ::testing::Values(
        Case{"nothing pressed", {}, {}, false, 0, false},
        Case{"a press just inside the first moments", {}, {{299, Event::Down, kEnter}}, false, 0, false},
        Case{"a press just after them", {}, {{300, Event::Down, kEnter}}, true, kEnter, true},
        Case{"a held key's repeats", {kSpace}, {{400, Event::Down, kSpace}, {900, Event::Down, kSpace}}, false, 0,
             false},
        Case{"a held key released and pressed anew",
             {kSpace},
             {{400, Event::Down, kSpace}, {500, Event::Up, kSpace}, {600, Event::Down, kSpace}},
             true, kSpace, true},
        Case{"a key pressed too soon and still repeating", {}, {{100, Event::Down, kA}, {700, Event::Down, kA}},
             false, 0, false},
        Case{"a mouse button", {}, {{350, Event::Button, 0}}, true, 0, true},
        Case{"a fresh press, then a held key's repeat",
             {kSpace},
             {{400, Event::Down, kEnter}, {450, Event::Down, kSpace}},
             true, kEnter, false},
        Case{"a press too soon, then one in time",
             {},
             {{100, Event::Down, kA}, {150, Event::Up, kA}, {310, Event::Button, 0}},
             true, 0, true}));

TEST(FreshPress, OpeningAgainForgetsTheEarlierPresses) {
  plat::FixClock(4294967000u);  // the clock wraps while the screen shows
  fw::FreshPress press;
  plat::AdvanceClock(400);
  fw::NoteButtonDown(1);
  EXPECT_TRUE(press.Taken());
  press.Open();
  EXPECT_FALSE(press.Taken());
  plat::AdvanceClock(300);
  fw::NoteButtonDown(1);
  EXPECT_TRUE(press.Taken());
  plat::UnfixClock();
}

}  // namespace
