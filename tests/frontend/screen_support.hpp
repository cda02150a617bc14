#pragma once
// Runs a front-end screen's own loop on a copy of the sample data, driven
// by a script that the event pump plays one step at a time: the steps call
// the window's handlers as the system would deliver a player's input.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/cursor.hpp"
#include "engine/form_board.hpp"
#include "engine/fresh_press.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/pack.hpp"
#include "engine/screen.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "tests/common/test_support.hpp"

namespace fwtest {

// Thrown by the pump when a script waits for something that never comes.
struct ScriptGaveUp {
  std::string what;
};

using Step = std::function<bool()>;

inline Step Do(std::function<void()> f) {
  return [f] {
    f();
    return true;
  };
}
inline Step Until(std::function<bool()> f) { return f; }
// The fixed clock moves past the moments in which a newly opened wait
// ignores every press.
inline Step Settle() { return Do([] { plat::AdvanceClock(fw::kFreshPressDelayMs); }); }
inline Step Wait(int pumps) {
  auto left = std::make_shared<int>(pumps);
  return [left] { return --*left <= 0; };
}
inline void MoveTo(float x, float y, int16_t buttons = 0) { fw::Board->Form_MouseMove(buttons, 0, x * 15, y * 15); }
inline Step Click(float x, float y, int16_t button = 1) {
  return Do([=] {
    MoveTo(x, y);
    fw::Board->Form_MouseDown(button, 0, x * 15, y * 15);
    fw::Board->Form_MouseUp(button, 0, x * 15, y * 15);
  });
}
// A key as the window delivers it: down, the character (when it gives
// one), up.
inline void PressKey(int16_t virtualKey, int16_t character) {
  fw::Board->Form_KeyDown(virtualKey, 0);
  if (character != 0) fw::Board->Form_KeyPress(character);
  fw::Board->Form_KeyUp(virtualKey, 0);
}
inline Step Key(int16_t virtualKey, int16_t character) { return Do([=] { PressKey(virtualKey, character); }); }
inline Step Key(char c) { return Key(static_cast<int16_t>(c >= 'a' && c <= 'z' ? c - 32 : c), c); }
inline Step Type(const std::string& text) {
  return Do([text] {
    for (char c : text) PressKey(static_cast<int16_t>(c >= 'a' && c <= 'z' ? c - 32 : c), c);
  });
}
constexpr int16_t kEnter = 13, kEsc = 27, kBackspace = 8;
inline Step Esc() { return Key(kEsc, kEsc); }
inline Step Enter() { return Key(kEnter, kEnter); }
// An answer to a question box, given once the box has been read.
inline Step Answer(int16_t virtualKey, int16_t character) {
  return Do([=] {
    plat::AdvanceClock(fw::kFreshPressDelayMs);
    PressKey(virtualKey, character);
  });
}
inline Step Yes() { return Answer('Y', 'y'); }
inline Step No() { return Answer('N', 'n'); }

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(SampleDataFolder(), folder_.Path(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    plat::FixClock(1000);
    ResetGlobals();
    fw::DDraw = std::make_shared<plat::DirectDraw>();
    fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    ASSERT_TRUE(fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw));
    for (fw::Lazy<fw::qelPackage>* pack : {&fw::DataPack, &fw::MissionPack}) {
      (*pack)->FilePath = fw::AppPath;
      (*pack)->TempPath = fw::AppPath;
    }
    fw::DataPack->LoadInf("Data");
    fw::MissionPack->LoadInf("MissionPack");
  }
  void TearDown() override {
    plat::SetTestDriver(nullptr);
    fw::ClearScreens();
    ResetGlobals();
    plat::UnfixClock();
  }
  static void ResetGlobals() {
    fw::Users.Release();
    fw::Sounds.Release();
    fw::MediaPlay.Release();
    fw::DataPack.Release();
    fw::MissionPack.Release();
    fw::CursorSurface.reset();
    fw::MsgBoard = fw::MsgBoardRecord{};
    fw::Primary.reset();
    fw::BackBuffer.reset();
    fw::DDraw.reset();
    fw::KeyTable = {};
    fw::MusicOn = 0;
    fw::SoundVol = 0;
    fw::MusicVol = 0;
    fw::DebugOn = 0;
    fw::GameState = 0;
    fw::LastError.clear();
    fw::EndResult = fw::BattleResult{};
    fw::BuildBattleTank = nullptr;
  }

  // Profiles as User.INI holds them, written before the screen reads them.
  void WriteProfiles(const std::function<void(fw::UsersClass&)>& fill) {
    fw::UsersClass users;
    users.File = fw::AppPath + "\\User.INI";
    fill(users);
    ASSERT_TRUE(users.SaveUser());
  }
  // The six profiles as saved on disk now.
  std::shared_ptr<fw::UsersClass> SavedProfiles() {
    auto users = std::make_shared<fw::UsersClass>();
    users->File = fw::AppPath + "\\User.INI";
    users->ReadUser();
    return users;
  }

  // Runs the screen as the loop would for its state, playing the steps; the
  // screen must end before the script runs out of pumps.
  template <typename S>
  void Run(const std::shared_ptr<S>& screen, int state, std::vector<Step> steps, long maxPumps = 3000) {
    fw::ScreenSlot* slot = fw::ScreenForState(state);
    slot->Release();
    slot->SetFactory([screen] { return screen; });
    slot->Shared();
    // Every screen hears every event here; the program's own routing is the
    // program's test.
    for (int s = 1; s <= 9; ++s) fw::ScreenForState(s)->SetEvents(0xFF);
    fw::GameState = state;
    auto pending = std::make_shared<std::vector<Step>>(std::move(steps));
    auto pumps = std::make_shared<long>(0);
    plat::SetTestDriver([pending, pumps, maxPumps] {
      if (++*pumps > maxPumps) throw ScriptGaveUp{std::to_string(pending->size()) + " steps left"};
      if (pending->empty()) return;
      // Taken off first: a step may wait inside the screen (a question), and
      // the pumps of that wait play the steps after it.
      Step step = pending->front();
      pending->erase(pending->begin());
      if (!step()) pending->insert(pending->begin(), step);
    });
    try {
      screen->Load();
    } catch (const ScriptGaveUp& e) {
      plat::SetTestDriver(nullptr);
      FAIL() << "the screen did not end: " << e.what;
    }
    plat::SetTestDriver(nullptr);
    EXPECT_TRUE(pending->empty()) << pending->size() << " steps were not played";
  }

  TempProgramFolder folder_;
};

}  // namespace fwtest
