// The battle screen's visit: the frame clock and its bound, the loop's
// order, the exit question, the hidden chord and what the visit leaves
// behind (the result stage, the saved profiles, the next state).
#include <gtest/gtest.h>

#include <functional>

#include "battle/battle_sim.hpp"
#include "battle/masks.hpp"
#include "engine/fresh_press.hpp"
#include "platform/runtime/files.hpp"
#include "tests/battle/sim_world.hpp"
#include "tests/battle/screen_fixture.hpp"
#include "tests/data/kept_copy.hpp"
#include "tests/engine/display_support.hpp"

namespace fw::screentest {
namespace {

constexpr int16_t kEsc = 27, kY = 89, kN = 78, kSpace = 32, kEnter = 13, kUp = 38, kF2 = 113, kF3 = 114, kF4 = 115;
constexpr int16_t kAltShift = 5;

class FrameClockTest : public BattleScreenTest {
 protected:
  FrameClockTest() { load_ = false; }
};

// The whole visit, loading included: a mission whose step fails mid-battle
// ends the battle as a failed load does, with nothing booked or saved.
TEST_F(FrameClockTest, AMissionStepThatFailsEndsTheBattleUnbookedAndNotWon) {
  hook_.Stage1Error = "the wave's template \"Ghost\" does not exist";
  Users->Item(1)->Money = 777;
  Users->Item(1)->Kill = 5;
  // The message is answered once it has been read.
  plat::SetTestDriver([] {
    plat::AdvanceClock(100);
    if (!LastError.empty()) {
      Board->Form_KeyDown(kEnter, 0);
      Board->Form_KeyUp(kEnter, 0);
    }
  });
  screen_->Load();
  EXPECT_TRUE(screen_->Failed());
  EXPECT_EQ(GameState, ScreenState::EndScreen);
  EXPECT_NE(LastError.find("Ghost"), std::string::npos) << LastError;
  EXPECT_FALSE(EndResult.WinState);
  EXPECT_EQ(EndResult.MisIndex, 1);
  EXPECT_EQ(hook_.Last->Stage1Runs, 1);
  EXPECT_EQ(Users->Item(1)->Money, 777);
  EXPECT_EQ(Users->Item(1)->Kill, 5);
  EXPECT_FALSE(plat::FileExists(AppPath + "\\User.INI")) << "nothing saved";
}

TEST_F(FrameClockTest, FactorIsElapsedOverFifteenAndBoundedAtFourUnits) {
  screen_->CalFPS();
  plat::AdvanceClock(30);
  screen_->CalFPS();
  EXPECT_FLOAT_EQ(W().FrameFactor, 2.0f);
  screen_->CalFPS();
  EXPECT_FLOAT_EQ(W().FrameFactor, 0.0f) << "a frame of 0 ms moves nothing";
  plat::AdvanceClock(2000);
  screen_->CalFPS();
  EXPECT_FLOAT_EQ(W().FrameFactor, kMaxFrameFactor) << "a stall counts as one long frame, no more";
  plat::AdvanceClock(60);
  screen_->CalFPS();
  EXPECT_FLOAT_EQ(W().FrameFactor, 4.0f);
}

TEST_F(FrameClockTest, FramesPerSecondChangesOnlyAfterAWholeSecond) {
  // The first call finds the last whole second at 0, long past.
  screen_->CalFPS();
  EXPECT_EQ(W().FramesPerSecond, 1.0f);
  uint32_t t = plat::timeGetTime();
  for (int i = 1; i <= 9; ++i) {
    plat::FixClock(t += 100, 1000.0f + 0.1f * static_cast<float>(i));
    screen_->CalFPS();
    ASSERT_EQ(W().FramesPerSecond, 1.0f) << i;
  }
  plat::FixClock(t += 100, 1001.0f);
  screen_->CalFPS();
  EXPECT_EQ(W().FramesPerSecond, 10.0f) << "ten calls in the second from 1000.0 to 1001.0";
  // Past midnight the clock restarts at 0: that too closes the second.
  plat::FixClock(t += 15, 0.2f);
  screen_->CalFPS();
  EXPECT_EQ(W().FramesPerSecond, 1.0f);
}

TEST_F(FrameClockTest, TwoSecondStallsMoveNoUnitThroughAWall) {
  BattleState& w = W();
  InitCosSin();
  // A wall one cell thick across the map at x 1400..1419.
  for (int32_t row = 0; row < kMaskRows; ++row) w.LandMask[BattleState::CellIndex(70, row)] = kBlockedLand;
  BattleUnit u = simtest::MakeUnit(1000.0f, 1000.0f, 0);
  // Slow enough that one unbounded 2-second step would not yet reach the
  // wall: only the bound keeps that step short.
  u.TopSpeed = 2.5f;
  u.Speed = 2.5f;
  u.PerSpeed = 100;
  u.Accelerate = 0.01f;
  u.MoveFB = 1;
  w.Units.push_back(u);
  w.PlayerUnit = 0;
  screen_->CalFPS();
  float furthest = 0.0f, longestStep = 0.0f;
  for (int frame = 0; frame < 40; ++frame) {
    plat::AdvanceClock(2000);
    screen_->CalFPS();
    const float before = w.Units[0].PosX;
    StepWorld(w, screen_->Env());
    longestStep = std::max(longestStep, w.Units[0].PosX - before);
    furthest = std::max(furthest, w.Units[0].PosX + w.Units[0].CenterX);
  }
  EXPECT_LE(longestStep, 4.0f * 2.5f + 0.01f) << "a stalled frame moves as far as 60 ms, no further";
  EXPECT_GT(furthest, 1300.0f) << "the unit drove up to the wall";
  EXPECT_LT(furthest, 1400.0f) << "the unit's centre never passed the wall";
}

class LoopTest : public BattleScreenTest {};

TEST_F(LoopTest, StageOneRunsAfterTheFrameAndTheVisitEndsInTheEndScreenWithProfilesSaved) {
  Users->Item(1)->Money = 777;
  // Every enemy gone: the script's stage 1 ends the battle as won in the
  // first pass, after that pass's frame was drawn.
  W().Units.resize(1);
  plat::AdvanceClock(15);
  screen_->RunPass();
  EXPECT_EQ(hook_.Last->Stage1Runs, 1);
  EXPECT_EQ(W().RunState, "EXIT");
  EXPECT_GT(plat::Window::Instance().FramesPresented(), 0u);
  screen_->Finish();
  EXPECT_TRUE(EndResult.WinState);
  EXPECT_EQ(EndResult.MisIndex, 1);
  UsersClass saved;
  saved.File = AppPath + "\\User.INI";
  saved.ReadUser();
  EXPECT_EQ(saved.Item(1)->Money, 777);
}

TEST_F(LoopTest, APlayerDyingInTheFrameTheLastEnemyFallsLoses) {
  W().Units.resize(2);
  W().Units[1].HP = -1;  // the last enemy dies in this frame's unit step
  W().Units[0].HP = -1;  // and so does the player
  plat::AdvanceClock(15);
  screen_->RunPass();
  EXPECT_EQ(W().PlayerUnit, -1);
  EXPECT_EQ(W().RunState, "EXIT");
  screen_->Finish();
  EXPECT_FALSE(EndResult.WinState) << "the loss is tested after the win, so it stands";
}

// What the save after a lost battle has to say is on the board: its
// failure, or a player's file it kept aside first (the owing profile named
// as the boards spell it).
TEST_F(LoopTest, WhatTheSaveAfterALostBattleSaysIsOnTheBoard) {
  W().Units[0].HP = -1;
  plat::AdvanceClock(15);
  screen_->RunPass();
  ASSERT_EQ(W().RunState, "EXIT");
  const struct {
    const char* what;
    std::function<bool()> before;  // false where the save could not be set up
    std::string told;
  } cases[] = {
      {"a failed save", [] {
         plat::FailNextAtomicRename();
         return true;
       }, "Unable to Save User.INI"},
      {"a copy kept aside", [] { return datatest::OweGoodsOverThePlayersFile(*Users); }, datatest::kKeptForOwedGoods},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MsgBoard.TextSurface.reset();
    // The player reads the message, then presses a key.
    int misspelt = -1;
    AtPumps({[&] {
      misspelt = fwtest::BoardMisspellings(c.told, plat::RGB(255, 0, 0));
      plat::AdvanceClock(kFreshPressDelayMs);
      Down(kY);
      Up(kY);
    }});
    ASSERT_TRUE(c.before());
    screen_->Finish();
    EXPECT_FALSE(EndResult.WinState);
    EXPECT_EQ(misspelt, 0);
  }
}

TEST_F(LoopTest, LeavingByTheQuestionStillBooksTheKillsAndEndsAsNotWon) {
  W().KillTank = 0;
  AtPumps({[] {}, [&] { Down(kEsc); }, [] { Down(kY); }});
  screen_->RunPass();  // a frame before the question
  W().KillTank = 2;
  while (W().RunState != "EXIT") screen_->RunPass();
  screen_->Finish();
  EXPECT_EQ(Users->KillTank, 2);
  EXPECT_FALSE(EndResult.WinState) << "leaving by the question books no win";
  EXPECT_EQ(EndResult.MisIndex, 1);
}

class ExitPromptTest : public BattleScreenTest {};

TEST_F(ExitPromptTest, OtherKeysReturnAndTheAnsweringKeyDoesNotReachTheBattle) {
  for (int16_t answer : {kN, kSpace, kEnter, kUp, kF2}) {
    AtPumps({[answer] { Down(answer); }});
    int16_t esc = kEsc, shift = 0;
    screen_->KeyDown(esc, shift);
    EXPECT_EQ(W().RunState, "Loop") << answer;
    EXPECT_FALSE(screen_->Prompting());
  }
  EXPECT_EQ(Player().MoveFB, 0) << "Up answered the question and did not drive";
  EXPECT_EQ(Player().Fire, 0) << "Enter answered the question and did not fire";
  EXPECT_EQ(W().StickSwitch, 0) << "F2 answered the question and did not switch the stick";
}

TEST_F(ExitPromptTest, YOrEscAtTheQuestionLeavesWithoutASecondQuestion) {
  for (int16_t answer : {kY, kEsc}) {
    W().RunState = "Loop";
    int questions = 0;
    AtPumps({[&] { questions += screen_->Prompting(); }, [answer] { Down(answer); },
             [&] { questions += screen_->Prompting(); }});
    int16_t esc = kEsc, shift = 0;
    screen_->KeyDown(esc, shift);
    EXPECT_EQ(W().RunState, "EXIT") << answer;
    EXPECT_EQ(questions, 1) << "the question's own pumps ended with the answer";
  }
}

TEST_F(ExitPromptTest, MouseButtonsDoNotAnswerAndTheTimeSpentDoesNotReachTheFactor) {
  AtPumps({[] { Board->Form_MouseDown(1, 0, 100 * 15.0f, 100 * 15.0f); },
           [] { plat::AdvanceClock(5000); }, [] { Down(kN); }});
  int16_t esc = kEsc, shift = 0;
  screen_->KeyDown(esc, shift);
  EXPECT_EQ(W().RunState, "Loop");
  screen_->CalFPS();
  EXPECT_FLOAT_EQ(W().FrameFactor, 0.0f) << "the question's own frame clock took the five seconds";
}

TEST_F(ExitPromptTest, ChordSecondKeyEndsTheBattleAsWonWithoutAQuestion) {
  EndResult.WinState = false;
  int16_t f4 = kF4, shift = kAltShift;
  screen_->KeyDown(f4, shift);
  EXPECT_EQ(W().RunState, "EXIT");
  EXPECT_TRUE(EndResult.WinState);
  EXPECT_FALSE(screen_->Prompting());
  int16_t f3 = kF3;
  W().RunState = "Loop";
  const int32_t money = Users->Item(1)->Money;
  screen_->KeyDown(f3, shift);
  EXPECT_EQ(Users->Item(1)->Money, money + 10000);
  EXPECT_EQ(W().MessageText, "10000 dollars obtained");
  EXPECT_FLOAT_EQ(W().MessageTime, 300.0f);
  // Without Alt the same keys do nothing; without a player neither.
  W().PlayerUnit = -1;
  screen_->KeyDown(f3, shift);
  EXPECT_EQ(Users->Item(1)->Money, money + 10000);
}

}  // namespace
}  // namespace fw::screentest
