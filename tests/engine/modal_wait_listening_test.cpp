// What a test driver learns of a wait for a key or button: whether one is
// under way, and whether it would take a press that began now. A driver
// that pressed in the wait's first moments would see its press ignored and
// the wait go on.
#include <gtest/gtest.h>

#include <vector>

#include "engine/fresh_press.hpp"
#include "engine/modal_wait.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"

namespace {
constexpr int16_t kEnter = 13;

struct Look {
  bool waiting, takes;
};

TEST(ModalWaitListening, TellsTheFirstMomentsFromAWaitThatTakesAPressAndIsClearAfterwards) {
  EXPECT_FALSE(fw::WaitingForKeyOrButton());
  EXPECT_FALSE(fw::TakesKeyOrButtonNow());
  plat::FixClock(90000);
  std::vector<Look> looks;
  // The driver presses as soon as the wait says it takes a press: that
  // press must end the wait.
  plat::SetTestDriver([&looks] {
    looks.push_back({fw::WaitingForKeyOrButton(), fw::TakesKeyOrButtonNow()});
    if (looks.back().takes) {
      fw::NoteKeyDown(kEnter);
      fw::NoteKeyUp(kEnter);
    } else {
      plat::AdvanceClock(100);
    }
    if (looks.size() > 50) std::abort();  // the wait never ended
  });
  const int16_t key = fw::WaitForKeyOrButton();
  plat::SetTestDriver(nullptr);
  plat::UnfixClock();

  EXPECT_EQ(key, kEnter);
  ASSERT_EQ(looks.size(), fw::kFreshPressDelayMs / 100 + 1);
  for (size_t i = 0; i + 1 < looks.size(); ++i) {
    EXPECT_TRUE(looks[i].waiting) << i;
    EXPECT_FALSE(looks[i].takes) << i;
  }
  EXPECT_TRUE(looks.back().waiting);
  EXPECT_TRUE(looks.back().takes);
  EXPECT_FALSE(fw::WaitingForKeyOrButton());
  EXPECT_FALSE(fw::TakesKeyOrButtonNow());
}

}  // namespace
