#include "frontend/end_screen.hpp"

#include <algorithm>

#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "platform/input/window.hpp"

namespace fw {
namespace {

int32_t Mod20(int32_t m) { return ((m % 20) + 20) % 20; }
}  // namespace

FrmEndScreenClass::FrmEndScreenClass()
    : MisIndex(EndResult.MisIndex), WinState(EndResult.WinState), Multiplay(EndResult.Multiplay) {}

int32_t FrmEndScreenClass::PictureGroup(int32_t mission) { return std::min(Mod20(mission) / 5 + 1, 4); }

const char* FrmEndScreenClass::Objective(int32_t mission) {
  switch (Mod20(mission)) {
    case 1: return "Rescue the leader and get to the appointed spot.";
    case 3: return "Destroy the main buikdings in the rebel's base.";
    case 6: return "Destroy conveyance vehicles.";
    case 9: return "Rescue the scientist and Annihilate all rebels.";
    case 11: return "Destroy the magazine and all rebels.";
    case 13: return "Destroy all rebels or the tank factory.";
    case 14: return "Destroy all rebels or the helicopter base.";
    case 15: return "Rescue the hostage and leave for the appointed spot.";
    case 0: return "Destroy all tank factories and rebels.";
    default: return "Destroy all rebels.";
  }
}

void FrmEndScreenClass::ReadBackGround() {
  const int32_t g = PictureGroup(Users->NowItem()->Mission);
  const std::string name = std::string(WinState ? "\\Temp\\MissionWin0" : "\\Temp\\MissionLost0") + std::to_string(g) + ".jpg";
  LoadSurfaceFromPack(AppPath + name, mPicture, DDraw);
}

void FrmEndScreenClass::Load() {
  // The result is taken; the next battle leaves its own.
  EndResult = BattleResult{};
  ReadBackGround();
  opened_.Open();
  mState = "Loop";
  while (mState != "EXIT") {
    plat::DoEvents();
    EmptyHook();
    MenuTestCoop();
    if (mState != "EXIT") PaintIT();
    MediaPlay->CheckLoop();
  }
  auto user = Users->NowItem();
  const int32_t m = user->Mission;
  if (Mod20(m) == 0 && WinState) {
    GameState = ScreenState::CampaignWon;
    return;
  }
  GameState = ScreenState::Briefing;
  if (WinState) {
    user->Mission = LongSum(m, 1);
    if (!Users->SaveUser()) ShowSaveFailure();
    else if (const std::string kept = Users->TakeSaveNotice(); !kept.empty()) ShowMessageBox(kept, plat::RGB(255, 0, 0));
  }
}

void FrmEndScreenClass::KeyPress(int16_t& keyAscii) {
  if ((keyAscii == 13 || keyAscii == 27) && opened_.TakenNow()) mState = "EXIT";
}

void FrmEndScreenClass::MouseDown(int16_t&, int16_t&, float&, float&) {
  if (opened_.TakenNow()) mState = "EXIT";
}

void FrmEndScreenClass::MouseMove(int16_t&, int16_t&, float& x, float& y) {
  mCursorX = WholePixel(x);
  mCursorY = WholePixel(y);
}

void FrmEndScreenClass::PaintIT() {
  const RECT whole = SetRECT(0, 0, 640, 480);
  BackBuffer->BltFast(0, 0, mPicture.get(), &whole, plat::DDBLTFAST_WAIT);
  if (Multiplay)
    DrawMultiInfo();
  else
    DrawInfo();
  if (DebugOn == 1) {
    BackBuffer->SetForeColor(plat::RGB(255, 255, 255));
    BackBuffer->DrawText(0, 0, Str(mCursorX) + Str(mCursorY));
  }
  PresentMenuFrame();
}

void FrmEndScreenClass::DrawInfo() {
  SetSurfaceFont(BackBuffer, "Arial", 12.0f / FontScale, plat::RGB(0, 10, 0), true);
  const auto user = Users->NowItem();
  BackBuffer->DrawText(180, 85, Str(user->Mission));
  if (WinState) {
    BackBuffer->DrawText(236, 182, Str(Users->KillTank));
    BackBuffer->DrawText(236, 234, Str(Users->KillMoney));
    BackBuffer->DrawText(236, 277, Str(Users->WinMoney));
    BackBuffer->DrawText(480, 184, Str(user->Kill));
    BackBuffer->DrawText(480, 235, Str(user->Money));
    BackBuffer->DrawText(480, 280, Str(user->Death));
  } else {
    BackBuffer->DrawText(480, 170, Str(user->Kill));
    BackBuffer->DrawText(480, 230, Str(user->Money));
    BackBuffer->DrawText(480, 290, Str(user->Death));
    BackBuffer->DrawText(100, 200, Objective(user->Mission));
  }
}

}  // namespace fw
