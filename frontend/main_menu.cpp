#include "frontend/main_menu.hpp"

#include <exception>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/joystick.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/program_end.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "platform/input/window.hpp"
#include "platform/display/message_box.hpp"

namespace fw {
namespace {
const char* const kButtons[] = {"Campaign", "MultiPlayer", "Setting", "Player"};

}  // namespace

void FrmMainMenuClass::Load() {
  try {
    Run();
  } catch (const std::exception&) {
    plat::MsgBox("MainMenu Error!");
    EndProgram(1);
  }
}

void FrmMainMenuClass::Run() {
  AddPicture(mClips, "Back", "\\pic\\MainMenu.jpg", 1, 1, false, true);
  const auto button = AddPicture(mClips, "Button", "\\pic\\MainMenuB.bmp", 2, 4, true);
  const RECT cell = SetRECT(0, 0, button->w / button->RepeatX, button->H / button->RepeatY);
  for (const char* key : kButtons) mRects.OrgRECT->Add(key, cell);
  mRects.OrgRECT->Add("Quit", SetRECT(626, 0, 638, 16));
  if (MusicOn != 0) MediaPlay->PlayBackSound(3);
  LoadMenuSounds();
  PlaySoundKey(1, false);
  mClickName.clear();
  mState = "Loop";
  while (mState != "EXIT") {
    plat::DoEvents();
    EmptyHook();
    MenuTestCoop();
    MediaPlay->CheckLoop();
    ChkClick();
    if (mState != "EXIT") PaintIT();
  }
}

void FrmMainMenuClass::MouseMove(int16_t&, int16_t&, float& x, float& y) {
  mCursorX = WholePixel(x);
  mCursorY = WholePixel(y);
  HoverAt(mRects, mCursorX, mCursorY);
}

void FrmMainMenuClass::MouseDown(int16_t& button, int16_t&, float&, float&) {
  if (button != 1) return;
  mClickName = FirstHovered(mRects);
  if (!mClickName.empty()) PlaySoundKey(2, false);
}

void FrmMainMenuClass::ChkClick() {
  static const struct {
    const char* key;
    int32_t state;
  } kTargets[] = {{"Campaign", ScreenState::Briefing},
                     {"MultiPlayer", ScreenState::NetworkLobby},
                     {"Setting", ScreenState::Setup},
                     {"Player", ScreenState::Profiles},
                     {"Quit", ScreenState::Profiles}};
  for (const auto& t : kTargets)
    if (mClickName == t.key) {
      GameState = t.state;
      mState = "EXIT";
    }
  mClickName.clear();
}

void FrmMainMenuClass::KeyPress(int16_t& keyAscii) {
  if (keyAscii == 27) {
    GameState = ScreenState::Profiles;
    mState = "EXIT";
  } else if (keyAscii == 13 && DebugOn == 1) {
    auto user = Users->NowItem();
    user->Mission = LongSum(user->Mission, 1);
  }
}

void FrmMainMenuClass::PaintIT() {
  mClips.Item("Back")->BltFast(BackBuffer, plat::DDBLTFAST_WAIT, 0, 0, 1);
  SetSurfaceFont(BackBuffer, "", 12.0f / FontScale, plat::RGB(200, 200, 200), false);
  BackBuffer->DrawText(540, 460, "Version 1.0");
  DrawButton();
  if (DebugOn == 1) DebugModeP();
  PresentMenuFrame();
}

void FrmMainMenuClass::DrawButton() {
  if (!buttonsPlaced_) {
    buttonX_ = {-246, -446, -646, -846, -846};
    buttonsPlaced_ = true;
    return;
  }
  const auto button = mClips.Item("Button");
  const int32_t w = button->w / button->RepeatX;
  const int32_t keyed = plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT;
  for (int32_t i = 1; i <= 4; ++i) {
    int32_t& x = buttonX_[static_cast<size_t>(i - 1)];
    SlideStep(x, 320.0 - w / 2.0, 10);
    const int32_t slice = x < 0 ? -x : 0;
    if (slice < w) button->BltFast(BackBuffer, keyed, x + slice, 70 * i, 2 * i, slice);
    MoveHotSpot(mRects, kButtons[i - 1], x, 70 * i);
  }
  const std::string hovered = FirstHovered(mRects);
  for (int32_t i = 1; i <= 4; ++i)
    if (hovered == kButtons[i - 1]) {
      const int32_t x = buttonX_[static_cast<size_t>(i - 1)];
      const int32_t slice = x < 0 ? -x : 0;
      if (slice < w) button->BltFast(BackBuffer, keyed, x + slice, 70 * i, 2 * i - 1, slice);
    }
}

void FrmMainMenuClass::DebugModeP() {
  BackBuffer->DrawText(0, 12, Str(mCursorX) + "-" + Str(mCursorY));
  if (!mClickName.empty()) BackBuffer->DrawText(0, 12, mClickName);
  BackBuffer->DrawText(0, 0, FirstHovered(mRects));
  DInput->Poll();
  BackBuffer->DrawText(0, 24, Str(Users->NowItem()->Mission));
  BackBuffer->DrawText(0, 36, Str(JoyState.lX) + Str(JoyState.lY));
}

}  // namespace fw
