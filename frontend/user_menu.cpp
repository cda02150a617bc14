#include "frontend/user_menu.hpp"

#include <cmath>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "frontend/widgets/ansi_text.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/game_files.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {
constexpr int32_t kMaxNameBytes = 20;
constexpr int16_t kAnswerYes = 89;

std::string EquipmentFileOf(int32_t slot) { return AppPath + "\\" + plat::GoodsFile(slot); }

int32_t CellWidth(const Clip& c) { return c.w / c.RepeatX; }
}  // namespace

void FrmUserMenuClass::Load() {
  ReadKeyConfig(std::string("\\").append(plat::kSettingsFile));
  // Without a sound device the channels stay silent whatever the switch says.
  Sounds->Work = MusicOn != 0;
  Users->NowEQU->RemoveAll();
  mSlot = Users->NowUser;
  if (mSlot == 0) {
    mSlot = 1;
    Users->NowUser = 1;
  }
  BackBuffer->SetFont("Arial", 14.0f / FontScale, false);
  if (!plat::DirExists(AppPath + "\\Save")) plat::MakeDir(AppPath + "\\save");
  Users->File = (AppPath + "\\").append(plat::kProfilesFile);
  const bool readAsWritten = Users->ReadUser();
  LoadPictures();
  if (const std::string keys = TakeKeyConfigNotice(); !keys.empty()) Tell(keys);
  if (!readAsWritten) Tell(LastError);
  if (MusicOn != 0) MediaPlay->PlayBackSound(3);
  LoadMenuSounds();
  PlaySoundKey(1, false);
  mClickName.clear();
  mState = "Loop";
  while (mState != "EXIT") {
    plat::DoEvents();
    EmptyHook();
    MenuTestCoop();
    ChkClick();
    if (mState != "EXIT") PaintIT();
    MediaPlay->CheckLoop();
  }
}

void FrmUserMenuClass::LoadPictures() {
  AddPicture(mClips, "Back", "\\pic\\UserMenu.jpg", 1, 1, false, true);
  const auto button = AddPicture(mClips, "Button", "\\pic\\UserMenuB.bmp", 2, 3, true);
  const auto board = AddPicture(mClips, "Board", "\\pic\\Board.bmp", 1, 1, true);
  plat::SurfacePtr temp, tempB;
  CreateOffscreenSurface(CellWidth(*button), button->H / button->RepeatY, temp, DDraw, false);
  SetSurfaceColorKey(temp, plat::DDCKEY_SRCBLT, 0, 0);
  temp->SetFont("Arial", 12.0f / FontScale, true);
  mClips.Add("Temp", temp, 1, 1);
  CreateOffscreenSurface(board->w, board->H, tempB, DDraw, false);
  SetSurfaceColorKey(tempB, plat::DDCKEY_SRCBLT, 0, 0);
  tempB->SetFont("Arial", 11.0f / FontScale, true);
  mClips.Add("TempB", tempB, 1, 1);
  const RECT whole = GetSurfaceSize(board->Surface);
  tempB->BltFast(0, 0, board->Surface.get(), &whole, plat::DDBLTFAST_WAIT);

  const RECT cell = SetRECT(0, 0, CellWidth(*button), button->H / button->RepeatY);
  for (int i = 1; i <= 6; ++i) mRects.OrgRECT->Add("PLAYER" + std::to_string(i), cell);
  mRects.OrgRECT->Add("YES", cell);
  mRects.OrgRECT->Add("DEL", cell);
  mRects.OrgRECT->Add("Quit", SetRECT(626, 0, 638, 16));
}

void FrmUserMenuClass::MouseMove(int16_t&, int16_t&, float& x, float& y) {
  mCursorX = WholePixel(x);
  mCursorY = WholePixel(y);
  HoverAt(mRects, mCursorX, mCursorY);
}

void FrmUserMenuClass::MouseDown(int16_t& button, int16_t&, float&, float&) {
  if (button != 1) return;
  mClickName = FirstHovered(mRects);
  if (!mClickName.empty()) PlaySoundKey(2, false);
  mEditBuffer.clear();
}

bool FrmUserMenuClass::Ask(const std::string& question) {
  mAsking = true;
  const bool yes = ShowMessageBox(question, plat::RGB(255, 0, 0)) == kAnswerYes;
  mAsking = false;
  return yes;
}

void FrmUserMenuClass::Tell(const std::string& text) {
  LastError = text;  // the error the player reads now
  mAsking = true;
  ShowMessageBox(text, plat::RGB(255, 0, 0));
  mAsking = false;
}

void FrmUserMenuClass::SaveUsers() {
  if (!Users->SaveUser()) Tell(LastError);
  else if (const std::string kept = Users->TakeSaveNotice(); !kept.empty()) Tell(kept);
}

void FrmUserMenuClass::ChkClick() {
  const std::string name = mClickName;
  if (name.rfind("PLAYER", 0) == 0 && name.size() == 7) {
    const int32_t n = name[6] - '0';
    mEditing = false;
    if (n == mSlot) {
      mEditing = true;
      mOriginalName = Users->Item(n)->Name;
    }
    mSlot = n;
    mEditBuffer.clear();
  } else if (name == "YES") {
    SaveUsers();
    Users->NowUser = mSlot;
    Users->EQUFile = EquipmentFileOf(mSlot);
    // What could be read is used; the player hears about the rest.
    if (!Users->LoadEQUFile()) Tell(LastError);
    CallBuildBattleTank();
    GameState = ScreenState::MainMenu;
    mState = "EXIT";
  } else if (name == "DEL") {
    if (Ask("Are you sure to delete it? (y/N)") && mSlot >= 1) {
      // A rename under way ends with the profile: giving it up afterwards
      // would bring the deleted name back.
      mEditing = false;
      const int32_t nowBefore = Users->NowUser;
      Users->NewUser(mSlot);
      Users->NowUser = mSlot;
      Users->NowItem()->Mission = 1;
      Users->NowItem()->Money = 1500;
      // The profile and its equipment file go in one step, whatever the
      // file's permission bits say. A folder that will not let the file go
      // changes nothing; a step that failed once its journal was in place
      // is finished by the next start unless a later save comes first. The
      // old profile is not put back from memory, where its goods are not:
      // the board shows the profiles as User.INI holds them, and where that
      // is the new one, the removal waits for the next save.
      if (!Users->SaveUserRemovingEQU(mSlot, EquipmentFileOf(mSlot))) {
        // Read before the player is told, so that the board behind the
        // message shows the profile the file holds; the reading's own word
        // comes after the deletion's.
        const std::string failure = LastError;
        Users->NowUser = nowBefore;
        const bool readAsWritten = Users->ReadUser();
        const std::string reading = LastError;
        Tell(failure);
        if (!readAsWritten) Tell(reading);
      } else if (const std::string kept = Users->TakeSaveNotice(); !kept.empty()) {
        Tell(kept);
      }
      mShownSlot = 0;
    }
  } else if (name == "Quit") {
    if (Ask("Are you sure to exit? (Y/n)")) {
      GameState = ScreenState::Quit;
      mState = "EXIT";
    }
  }
  mClickName.clear();
}

void FrmUserMenuClass::KeyPress(int16_t& keyAscii) {
  if (mAsking) return;
  switch (keyAscii) {
    case 13: mShownSlot = 0; return;
    case 27:
      if (mSlot >= 1 && mEditing) {
        if (Ask("Do you want to give up the alteration? (Y/N)")) {
          Users->Item(mSlot)->Name = mOriginalName;
          mEditBuffer.clear();
          mEditing = false;
        }
      } else if (Ask("Are you sure to exit? (Y/n)")) {
        GameState = ScreenState::Quit;
        mState = "EXIT";
      }
      return;
    case 8:
      // Only a name being typed loses characters; the selected profile's
      // name is never emptied by a stray Backspace.
      if (!mEditing) return;
      RemoveLastAnsiChar(mEditBuffer);
      Users->Item(mSlot)->Name = mEditBuffer;
      return;
    default:
      if (mSlot < 1 || !mEditing) return;
      // A character that would pass the 20 bytes kept on disk is refused
      // whole, so a saved name never ends in half a character.
      if (AnsiLength(mEditBuffer) + AnsiCharLength(keyAscii) <= kMaxNameBytes) AppendAnsiChar(mEditBuffer, keyAscii);
      Users->Item(mSlot)->Name = mEditBuffer;
      return;
  }
}

void FrmUserMenuClass::ComposeBoard() {
  const auto tempB = mClips.Item("TempB")->Surface;
  const auto board = mClips.Item("Board")->Surface;
  const auto user = Users->Item(mSlot);
  tempB->SetForeColor(plat::RGB(0, 200, 200));
  const RECT whole = GetSurfaceSize(board);
  tempB->BltFast(0, 0, board.get(), &whole, plat::DDBLTFAST_WAIT);
  const int32_t mission = user->Mission - 1;
  // The alarm is reported at the function's closing brace.
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  const struct {
    std::string text;
    int32_t x, y;
  } texts[] = {
      {user->Name, 100, 36},
      {std::to_string(user->Money), 152, 85},
      {std::to_string(user->Kill), 152, 105},
      {std::to_string(user->Death), 152, 126},
      {(mission >= 0 ? " " : "") + std::to_string(mission), 152, 147},
      {std::to_string(user->mKill), 152, 206},
      {std::to_string(user->mDeath), 152, 226},
      {std::to_string(user->mWon), 152, 277},
      {std::to_string(user->mLost), 152, 299},
  };
  for (const auto& t : texts) tempB->DrawText(t.x, t.y, t.text);
}
FW_LIBRARY_FALSE_ALARM_END

void FrmUserMenuClass::PaintIT() {
  const auto back = mClips.Item("Back");
  back->BltFast(BackBuffer, plat::DDBLTFAST_WAIT, 0, 0, 1);
  DrawButton();
  if (mShownSlot != mSlot) {
    mShownSlot = mSlot;
    swing_ = 3.0f;
  }
  float x = 300.0f;
  if (swing_ > 0.0f) {
    x = static_cast<float>(350.0 * std::sin(static_cast<double>(swing_)) + 300.0);
    swing_ = swing_ - 0.2f;
  }
  boardX_ = x;
  if (x > 640.0f) ComposeBoard();
  const int32_t slice = x + 300.0f > 640.0f ? WholePixel(x + 300.0f - 640.0f) : 0;
  const auto tempB = mClips.Item("TempB");
  tempB->DescRECT(SetRECT(0, 0, 300, 356));
  if (slice < 300) tempB->BltFast(BackBuffer, plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT, WholePixel(x), 12, 1, 0, 0, slice, 0);
  PresentMenuFrame();
}

void FrmUserMenuClass::DrawButton() {
  if (++blink_ >= 20) blink_ = -20;
  if (!boardsPlaced_) {
    boardX6_ = {-246, -446, -646, -846, -1046, -1246};
    boardsPlaced_ = true;
    return;
  }
  const auto button = mClips.Item("Button");
  const auto temp = mClips.Item("Temp");
  const double target = 160.0 - CellWidth(*button) / 2.0;
  const int32_t keyed = plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT;
  for (int32_t i = 1; i <= 6; ++i) {
    int32_t& x = boardX6_[static_cast<size_t>(i - 1)];
    SlideStep(x, target, 8);
    const int32_t slice = x < 0 ? -x : 0;
    const auto user = Users->Item(i);
    const bool selected = i == mSlot;
    button->BltFast(temp->Surface, plat::DDBLTFAST_WAIT, 0, 0, selected ? 1 : 2);
    temp->Surface->SetForeColor(selected ? plat::RGB(20, 20, 20) : plat::RGB(25, 25, 25));
    temp->Surface->DrawText(41, 16, user->Name);
    temp->Surface->SetForeColor(selected ? plat::RGB(255, 255, 0) : plat::RGB(160, 160, 0));
    const bool caret = selected && mEditing && blink_ >= 1;
    temp->Surface->DrawText(42, 17, caret ? user->Name + "_" : user->Name);
    const int32_t y = 60 * i - 50;
    // The part left of the screen is cut off; the rest starts at the edge.
    if (slice < CellWidth(*button)) temp->BltFast(BackBuffer, keyed, x + slice, y, 1, slice);
    MoveHotSpot(mRects, "PLAYER" + std::to_string(i), x, y);
  }
  button->BltFast(BackBuffer, keyed, 360, 400, 4);
  MoveHotSpot(mRects, "YES", 360, 400);
  button->BltFast(BackBuffer, keyed, 40, 400, 6);
  MoveHotSpot(mRects, "DEL", 40, 400);
  const std::string hovered = FirstHovered(mRects);
  if (hovered == "YES") button->BltFast(BackBuffer, keyed, 360, 400, 3);
  if (hovered == "DEL") button->BltFast(BackBuffer, keyed, 40, 400, 5);
}

}  // namespace fw
