#include "frontend/brief.hpp"

#include <cstdio>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {
const FrmBriefClass::Point kMarks[20] = {{480, 114}, {525, 84}, {553, 76}, {536, 117}, {537, 137},
                                         {534, 157}, {506, 136}, {499, 163}, {476, 152}, {434, 184},
                                         {432, 130}, {536, 117}, {393, 93},  {492, 76},  {452, 68},
                                         {378, 76},  {396, 187}, {389, 99},  {480, 114}, {488, 94}};
const int32_t kButtonX[3] = {320, 420, 520};
constexpr int32_t kButtonY = 422;

}  // namespace

int32_t FrmBriefClass::MissionSlot(int32_t mission) {
  // A damaged profile may hold a negative number: keep it on the map too.
  const int32_t m = ((mission % 20) + 20) % 20;
  return m == 0 ? 20 : m;
}

std::string FrmBriefClass::BriefPicture(int32_t mission) {
  const int32_t m = MissionSlot(mission);
  if (m == 1) return "\\MapA\\MissionBriefA.jpg";
  if (m == 2) return "\\MapB\\MissionBriefB.jpg";
  return std::string("\\MapC\\MissionBrief") + static_cast<char>('A' + m - 1) + ".jpg";
}

std::string FrmBriefClass::StatePicture(int32_t mission) {
  char name[40];
  std::snprintf(name, sizeof name, "\\Temp\\MissionState%02d.jpg", MissionSlot(mission));
  return name;
}

FrmBriefClass::Point FrmBriefClass::MarkCentre(int32_t mission) { return kMarks[MissionSlot(mission) - 1]; }

void FrmBriefClass::Load() {
  CallBuildBattleTank();
  FactoryScreen.Release();
  ReadBackPic();
  ForgetHeldLeftButton();
  if (MusicOn != 0) MediaPlay->PlayBackSound(2);
  LoadMenuSounds();
  PlaySoundKey(1, false);
  statePage_.Open();
  mState = "Loop";
  while (mState != "EXIT") {
    plat::DoEvents();
    EmptyHook();
    MenuTestCoop();
    if (mState != "EXIT") PaintIT();
    MediaPlay->CheckLoop();
  }
}

void FrmBriefClass::ReadBackPic() {
  const int32_t mission = Users->NowItem()->Mission;
  LoadSurfaceFromMissionPack(AppPath + BriefPicture(mission), mPictures[0], DDraw, true, 0, 0, true);
  LoadSurfaceFromMissionPack(AppPath + StatePicture(mission), mPictures[2], DDraw, true, 0, 0, true);
  LoadSurfaceFromPack(AppPath + "\\Temp\\fbriefcmd1.bmp", mPictures[1], DDraw);
  SetSurfaceColorKey(mPictures[1], plat::DDCKEY_SRCBLT, 0, 0);
  LoadSurfaceFromPack(AppPath + "\\Temp\\MsgBoard.bmp", mBoard, DDraw);
  mButtons = {SetRECT(627, 0, 639, 15), SetRECT(320, 422, 410, 460), SetRECT(420, 422, 510, 460),
              SetRECT(520, 422, 610, 460)};
}

void FrmBriefClass::MouseMove(int16_t& button, int16_t&, float& x, float& y) {
  mPressed = heldLeftCleared_ ? static_cast<int16_t>(button & ~1) : button;
  mCursorX = WholePixel(x);
  mCursorY = WholePixel(y);
}

void FrmBriefClass::MouseDown(int16_t& button, int16_t&, float& x, float& y) {
  if (button & 1) heldLeftCleared_ = false;
  mPressed = button;
  mCursorX = WholePixel(x);
  mCursorY = WholePixel(y);
}

void FrmBriefClass::KeyPress(int16_t& keyAscii) {
  if (mWaiting != 0) return;
  if (mPage == 0 && !statePage_.TakenNow()) return;
  if (keyAscii == 27) {
    if (mPage == 0) {
      GameState = ScreenState::MainMenu;
      mState = "EXIT";
    } else {
      mPage = 0;
      statePage_.Open();
    }
  } else {
    mPressed = 1;
  }
}

void FrmBriefClass::PaintIT() {
  const RECT whole = SetRECT(0, 0, 640, 480);
  if (mPage != 0) {
    BackBuffer->BltFast(0, 0, mPictures[0].get(), &whole, plat::DDBLTFAST_WAIT);
    for (int32_t n = 1; n <= 3; ++n) {
      RECT cell;
      GetCellRect(cell, mPictures[1], 3, 2, n);
      BackBuffer->BltFast(kButtonX[n - 1], kButtonY, mPictures[1].get(), &cell, plat::DDBLTFAST_SRCCOLORKEY);
    }
    DrawFullMap();
    CheckClick();
  } else {
    BackBuffer->BltFast(0, 0, mPictures[2].get(), &whole, plat::DDBLTFAST_WAIT);
    CheckClick2();
  }
  if (mState == "EXIT") return;
  if (DebugOn == 1) {
    BackBuffer->DrawText(0, 0, Str(mCursorX) + Str(mCursorY));
    BackBuffer->DrawText(0, 12, Str(mPressed));
    BackBuffer->DrawText(0, 24, Str(mPressed & 1 ? 1 : 0) + Str(mPressed & 2 ? 1 : 0) + Str(mPressed & 4 ? 1 : 0));
  }
  PresentMenuFrame();
}

void FrmBriefClass::CheckClick2() {
  if (mPressed <= 0) return;
  if (!statePage_.Taken()) {
    mPressed = 0;
    return;
  }
  if (PtInRECT(mCursorX, mCursorY, mButtons[0])) {
    GameState = ScreenState::MainMenu;
    mState = "EXIT";
  } else {
    mPage = 1;
    mPressed = 0;
  }
}

void FrmBriefClass::CheckClick() {
  int32_t i = 5;
  for (int32_t n = 1; n <= 4; ++n)
    if (PtInRECT(mCursorX, mCursorY, mButtons[static_cast<size_t>(n - 1)])) {
      i = n;
      break;
    }
  if (mPressed == 1) {
    if (i == 1 || i == 4) {
      PlaySoundKey(2, false);
      mPage = 0;
      statePage_.Open();
      mPressed = 0;
    } else if (i == 2) {
      PlaySoundKey(2, false);
      // The factory writes the briefing's state again on its way out.
      RunNestedScreen(ScreenState::Factory);
      ForgetHeldLeftButton();
      mPressed = 0;
    } else if (i == 3) {
      if (!Users->NowTank->Key.empty()) {
        PlaySoundKey(2, false);
        GameState = ScreenState::CampaignBattle;
        mState = "EXIT";
      } else {
        Refuse();
      }
    }
  }
  if (mPressed == 0 && i >= 2 && i <= 4) {
    RECT cell;
    GetCellRect(cell, mPictures[1], 3, 2, i + 2);
    BackBuffer->BltFast(kButtonX[i - 2], kButtonY, mPictures[1].get(), &cell, plat::DDBLTFAST_SRCCOLORKEY);
  }
}

void FrmBriefClass::Refuse() {
  const RECT whole = GetSurfaceSize(mBoard);
  Primary->BltFast(195, 180, mBoard.get(), &whole, plat::DDBLTFAST_WAIT);
  SetSurfaceFont(Primary, "Arial", 12.0f / FontScale, plat::RGB(255, 50, 50), false);
  Primary->DrawText(210, 200, "Please arm the tank in the ");
  Primary->DrawText(210, 220, " maintenance factory.");
  const FreshPress press;
  while (!press.Taken()) {
    mWaiting = -1;
    plat::DoEvents();
    if (!press.Taken()) plat::Rest(5);
  }
  mWaiting = 0;
  // The press that ended the message is not also a click on the page.
  mPressed = 0;
}

void FrmBriefClass::DrawFullMap() {
  radius_ += 0.4f;
  if (radius_ >= 6.0f) radius_ = 0.1f;
  BackBuffer->SetForeColor(plat::RGB(255, 0, 0));
  const Point c = MarkCentre(Users->NowItem()->Mission);
  BackBuffer->DrawCircle(c.x, c.y, plat::CLng(radius_));
}

}  // namespace fw
