#pragma once
// A battle screen loaded on the sample data with the test script: the
// archives opened in place, a display, the profiles in a scratch folder,
// and the screen placed in state 2's slot so the window's events reach it.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

#include "battle/battle_screen.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/cursor.hpp"
#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/message_box.hpp"
#include "engine/screen.hpp"
#include "engine/surfaces.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/random.hpp"
#include "tests/battle/screen_support.hpp"
#include "tests/battle/world_data.hpp"

namespace fw::screentest {

constexpr ScreenEvents kBattleEvents =
    kScreenKeyDown | kScreenKeyUp | kScreenMouseDown | kScreenMouseMove | kScreenMouseUp;

class BattleScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::FixClock(100000, 1000.0f);
    plat::FixRandom(12345);
    worldtest::OpenSampleArchives();
    DDraw = std::make_shared<plat::DirectDraw>();
    DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    ASSERT_TRUE(CreatePrimaryAndBackBuffer(Primary, BackBuffer, DDraw));
    Users.Release();
    Users->File = AppPath + "\\User.INI";
    Users->NowUser = 1;
    Users->Item(1)->Mission = 1;
    KeyTable = {};
    EndResult = BattleResult{};
    screen_ = std::make_shared<FrmMainClass>();
    ScreenSlot* slot = ScreenForState(ScreenState::CampaignBattle);
    slot->Release();
    slot->SetEvents(kBattleEvents);
    slot->SetFactory([s = screen_] { return s; });
    slot->Shared();
    GameState = ScreenState::CampaignBattle;
    if (load_) {
      ASSERT_TRUE(screen_->Prepare()) << LastError;
      screen_->SetPaced(false);
    }
  }
  void TearDown() override {
    plat::SetTestDriver(nullptr);
    ScreenSlot* slot = ScreenForState(ScreenState::CampaignBattle);
    slot->Release();
    slot->SetFactory(nullptr);
    screen_.reset();
    Users.Release();
    worldtest::CloseArchives();
    CursorSurface.reset();
    MsgBoard = MsgBoardRecord{};
    Primary.reset();
    BackBuffer.reset();
    DDraw.reset();
    GameState = 0;
    DebugOn = 0;
    plat::UnfixClock();
  }

  // Events the window delivers at the coming pumps, one action per pump.
  void AtPumps(std::vector<std::function<void()>> actions) {
    auto queue = std::make_shared<std::deque<std::function<void()>>>(actions.begin(), actions.end());
    plat::SetTestDriver([queue] {
      if (queue->empty()) return;
      auto a = queue->front();
      queue->pop_front();
      a();
    });
  }
  static void Down(int16_t key, int16_t shift = 0) { Board->Form_KeyDown(key, shift); }
  static void Up(int16_t key, int16_t shift = 0) { Board->Form_KeyUp(key, shift); }

  BattleState& W() { return screen_->World(); }
  BattleUnit& Player() { return W().Units.at(static_cast<size_t>(W().PlayerUnit)); }
  const plat::Surface& Back() { return *screen_->Device().BackSurface; }
  plat::SurfacePtr Picture(int32_t index) { return screen_->Pictures().Surface(PictureList::Images, index); }

  bool load_ = true;
  fwtest::TempProgramFolder folder_;
  ScriptHook hook_;
  std::shared_ptr<FrmMainClass> screen_;
};

}  // namespace fw::screentest
