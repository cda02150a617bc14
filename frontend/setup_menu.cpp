#include "frontend/setup_menu.hpp"

#include <exception>

#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/game_files.hpp"

namespace fw {
namespace {
constexpr int16_t kEscape = 27;
constexpr int32_t kPanelY = 150;
const RECT kEffectBar{20, 47, 240, 67};
const RECT kMusicBar{20, 117, 240, 137};
const char* const kPage1[] = {"Key", "Sound", "Save"};

int32_t CellWidth(const Clip& c) { return c.w / c.RepeatX; }
RECT CellAtOrigin(const Clip& c) { return SetRECT(0, 0, c.w / c.RepeatX, c.H / c.RepeatY); }
}  // namespace

int FrmSetupMenuClass::FieldBinding(int32_t field) {
  static const int kBindings[kFields] = {KEY_FORWARD,   KEY_BACKWARD,   KEY_RIGHT,       KEY_LEFT,        KEY_STOP,
                                         KEY_FREESCROLL, KEY_TURRENT,   KEY_SMALLMAP,    KEY_WEAPON0,     KEY_WEAPON0 + 1,
                                         KEY_WEAPON0 + 2, KEY_WEAPON0 + 3, KEY_WEAPON0 + 4, KEY_WEAPON0 + 5, KEY_WEAPON0 + 6,
                                         KEY_WEAPON0 + 7, KEY_WEAPON0 + 8, KEY_WEAPON0 + 9};
  return kBindings[field - 1];
}

void FrmSetupMenuClass::Load() {
  try {
    Run();
  } catch (const std::exception& e) {
    // Left in state 6, the loop would open this screen again at once, for
    // ever: go back to the main menu and say why.
    if (GameState == ScreenState::Setup) {
      GameState = ScreenState::MainMenu;
      plat::MsgBoxUtf8("The setup screen cannot be shown: " + plat::Utf8Of(e));
    }
  }
}

void FrmSetupMenuClass::Run() {
  BackBuffer->SetFont("Arial", 12.0f / FontScale, false);
  LoadPictures();
  plat::SurfacePtr sheet;
  LoadSurfaceFromPack(AppPath + "\\pic\\Scroll1.BMP", sheet, DDraw);
  const int32_t volumes[2] = {SoundVol, MusicVol};
  const RECT bars[2] = {kEffectBar, kMusicBar};
  for (size_t i = 0; i < 2; ++i) {
    qelScrollBarClass& bar = mVolumeBars[i];
    bar.Init(bars[i], DDraw);
    bar.HScroll = false;
    bar.SetBackClip(sheet, 2, 8);
    bar.Max = 10;
    bar.Value = volumes[i];
  }
  for (int32_t i = 1; i <= kFields; ++i) {
    qelTextBox& box = mKeyBoxes[static_cast<size_t>(i - 1)];
    const int32_t row = i <= 9 ? i : i - 9;
    const int32_t left = i <= 9 ? 150 : 385;
    box.DesRECT(SetRECT(left, 45 * row + 10, left + 100, 45 * row + 25));
    box.MaxLen = 10;
    box.ForeColor = -1;
    box.BackColor = plat::RGB(0, 200, 0);
    box.Font = plat::Font{"Arial", 12.0f / FontScale, true};
  }
  mKeyCopy = KeyTable;
  GetKeyName();
  BackBuffer->SetForeColor(plat::RGB(255, 255, 255));
  LoadMenuSounds();
  PlaySoundKey(1, false);
  mClickName.clear();
  mState = "Loop";
  mPage = 1;
  while (mState != "EXIT") {
    plat::DoEvents();
    EmptyHook();
    MenuTestCoop();
    ChkClick();
    if (mState != "EXIT") PaintIT();
    MediaPlay->CheckLoop();
  }
  if (!mSaveOnExit) return;
  KeyTable = mKeyCopy;
  SoundVol = mVolumeBars[0].Value;
  MusicVol = mVolumeBars[1].Value;
  Sounds->Work = MusicOn != 0;
  if (!SaveKeyConfig(std::string("\\").append(plat::kSettingsFile))) {
    ShowSaveFailure();
  } else if (const std::string notice = TakeKeyConfigNotice(); !notice.empty()) {
    LastError = notice;  // what the player reads now
    ShowMessageBox(notice, plat::RGB(255, 0, 0));
  }
}

void FrmSetupMenuClass::LoadPictures() {
  AddPicture(mClips, "Back", "\\pic\\SetupMenu.jpg", 1, 1, false, true);
  const auto button1 = AddPicture(mClips, "Button1", "\\pic\\SetupMenuB1.BMP", 2, 3, true);
  AddPicture(mClips, "Button2", "\\pic\\SetupMenuB2.BMP", 2, 2, true);
  const auto panel = AddPicture(mClips, "SndVOL", "\\pic\\SoundVol.BMP", 1, 1, true);
  mClips.Add("Snd", panel->Surface, 1, 1);
  const auto umb = AddPicture(mClips, "UMB", "\\pic\\UserMenuB.BMP", 2, 3, true);
  AddPicture(mClips, "KeySet", "\\pic\\keysetup.jpg", 1, 1, true);
  const auto yesNo = AddPicture(mClips, "YESNO", "\\pic\\yesno.bmp", 2, 2, true);

  const RECT quit = SetRECT(626, 0, 638, 16);
  for (const char* key : kPage1) mPageRects[0].OrgRECT->Add(key, CellAtOrigin(*button1));
  mPageRects[0].OrgRECT->Add("Quit", quit);
  mPageRects[1].OrgRECT->Add("OK", CellAtOrigin(*yesNo));
  mPageRects[1].OrgRECT->Add("Quit", quit);
  mPageRects[2].OrgRECT->Add("SoundON", CellAtOrigin(*button1));
  mPageRects[2].OrgRECT->Add("SoundOFF", CellAtOrigin(*button1));
  mPageRects[2].OrgRECT->Add("OK", CellAtOrigin(*umb));
  mPageRects[2].OrgRECT->Add("Cancel", CellAtOrigin(*button1));
  mPageRects[2].OrgRECT->Add("Quit", quit);
}

void FrmSetupMenuClass::KeyPress(int16_t& keyAscii) {
  if (mState == "GETKEY" || keyAscii != kEscape) return;
  if (mPage == 1) {
    GameState = ScreenState::MainMenu;
    mState = "EXIT";
  } else {
    mPage = 1;
  }
}

void FrmSetupMenuClass::KeyDown(int16_t& keyCode, int16_t&) {
  if (mState == "GETKEY") mCapturedKey = keyCode;
}

void FrmSetupMenuClass::MouseMove(int16_t& button, int16_t& shift, float& x, float& y) {
  mCursorX = WholePixel(x);
  mCursorY = WholePixel(y);
  HoverAt(PageRects(), mCursorX, mCursorY);
  // Dragging with the button held moves the volume bars.
  if (mPage == 3) MouseDown(button, shift, x, y);
}

void FrmSetupMenuClass::MouseDown(int16_t& button, int16_t&, float& x, float& y) {
  if (button != 1) return;
  mClickName = FirstHovered(PageRects());
  if (!mClickName.empty()) PlaySoundKey(2, false);
  const int32_t px = WholePixel(x), py = WholePixel(y);
  if (mPage == 3) {
    for (auto& bar : mVolumeBars) bar.Click(LongSum(px, -int64_t{mSlideX[3]}), LongSum(py, -kPanelY));
  } else if (mPage == 2) {
    int32_t hit = 0;
    for (int32_t i = 1; i <= kFields; ++i)
      if (mKeyBoxes[static_cast<size_t>(i - 1)].Click(px, py) && hit == 0) hit = i;
    if (hit == 0) {
      // A click beside the fields keeps a running wait's field marked.
      if (waitingField_ != 0) mKeyBoxes[static_cast<size_t>(waitingField_ - 1)].InputMode = true;
      return;
    }
    if (waitingField_ != 0) {
      // A second field clicked during a wait takes the wait over: the key
      // that ends it is bound to the field clicked last, and no wait is
      // left behind unanswered.
      mKeyBoxes[static_cast<size_t>(waitingField_ - 1)].ForeColor = -1;
      waitingField_ = hit;
      return;
    }
    WaitForKey(hit);
  }
}

void FrmSetupMenuClass::WaitForKey(int32_t field) {
  waitingField_ = field;
  mState = "GETKEY";
  bool blink = false;
  for (;;) {
    plat::DoEvents();
    qelTextBox& box = mKeyBoxes[static_cast<size_t>(waitingField_ - 1)];
    blink = !blink;
    box.ForeColor = blink ? -1 : 0;
    box.Blt(Primary);
    if (mCapturedKey >= 1 && mCapturedKey != kEscape) break;
    plat::Rest(40);  // the field blinks at a pace the eye can follow
  }
  qelTextBox& box = mKeyBoxes[static_cast<size_t>(waitingField_ - 1)];
  SetKeyName(waitingField_, mCapturedKey);
  mCapturedKey = 0;
  mState = "LOOP";
  box.ForeColor = -1;
  box.InputMode = false;
  waitingField_ = 0;
  GetKeyName();
}

void FrmSetupMenuClass::SetKeyName(int32_t field, int16_t code) {
  for (int16_t bound : mKeyCopy)
    if (bound == code) return;
  mKeyCopy[static_cast<size_t>(FieldBinding(field))] = code;
}

void FrmSetupMenuClass::GetKeyName() {
  for (int32_t i = 1; i <= kFields; ++i)
    mKeyBoxes[static_cast<size_t>(i - 1)].Text = KeyCodeName(mKeyCopy[static_cast<size_t>(FieldBinding(i))]);
  mKeyBoxes[7].Text = "Right Button";
  mKeyBoxes[8].Text = "Left Button";
}

void FrmSetupMenuClass::ChkClick() {
  const std::string name = mClickName;
  mClickName.clear();
  if (name == "OK" || name == "Key" || name == "Sound") {
    PlaySoundKey(1, false);
    mPage = name == "OK" ? 1 : name == "Key" ? 2 : 3;
    mSlideState = 0;
  } else if (name == "Save") {
    GameState = ScreenState::MainMenu;
    mState = "EXIT";
    if (MusicOn == 0) MediaPlay->CleanUp();
    mSaveOnExit = true;
  } else if (name == "Quit") {
    if (mPage == 1) {
      GameState = ScreenState::MainMenu;
      mState = "EXIT";
    } else {
      mPage = 1;
    }
  } else if (name == "SoundON") {
    MusicOn = -1;
  } else if (name == "SoundOFF") {
    MusicOn = 0;
  } else if (name == "Cancel") {
    mPage = static_cast<uint8_t>(mPage - 1);
    if (mPage == 0) {
      mPage = 1;
      GameState = ScreenState::MainMenu;
      mState = "EXIT";
    }
    mSlideState = 0;
  }
}

void FrmSetupMenuClass::PaintIT() {
  mClips.Item("Back")->BltFast(BackBuffer, plat::DDBLTFAST_WAIT, 0, 0, 1);
  if (mPage == 1) DrawB1();
  if (mPage == 2) DrawB2();
  if (mPage == 3) DrawB3();
  if (DebugOn == 1) DebugModeP();
  PresentMenuFrame();
}

void FrmSetupMenuClass::SlidePicture(const char* clipKey, int32_t slot, int32_t centre, int32_t y, int32_t frame,
                                     OBJRECTClass* spots, const char* spot) {
  const auto clip = mClips.Item(clipKey);
  const int32_t w = CellWidth(*clip);
  int32_t& x = mSlideX[static_cast<size_t>(slot)];
  SlideStep(x, centre - w / 2.0, 10);
  const int32_t slice = x < 0 ? -x : 0;
  if (slice < w) clip->BltFast(BackBuffer, plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT, x + slice, y, frame, slice);
  if (spots) MoveHotSpot(*spots, spot, x, y);
}

// On the frame that starts a page's slide-in the pictures are placed left
// of the screen and nothing of the page is drawn.
bool FrmSetupMenuClass::StartSlide(bool withSlot7) {
  if (mSlideState != 0) return false;
  mSlideX[1] = -246;
  mSlideX[2] = -446;
  mSlideX[3] = -646;
  if (withSlot7) mSlideX[7] = -846;
  mSlideState = 1;
  return true;
}

void FrmSetupMenuClass::DrawB1() {
  if (StartSlide(false)) return;
  const std::string hovered = FirstHovered(mPageRects[0]);
  for (int32_t i = 1; i <= 3; ++i) {
    const bool lit = hovered == kPage1[i - 1];
    SlidePicture("Button1", i, 320, 50 + 70 * i, lit ? 2 * i - 1 : 2 * i, &mPageRects[0], kPage1[i - 1]);
  }
}

void FrmSetupMenuClass::DrawB2() {
  if (StartSlide(true)) return;
  const bool lit = FirstHovered(mPageRects[1]) == "OK";
  SlidePicture("KeySet", 1, 270, 30, 1);
  SlidePicture("YESNO", 2, 580, 400, lit ? 1 : 2, &mPageRects[1], "OK");
  for (auto& box : mKeyBoxes) box.Blt(BackBuffer);
}

void FrmSetupMenuClass::DrawB3() {
  if (StartSlide(true)) return;
  OBJRECTClass& spots = mPageRects[2];
  SlidePicture("Button2", 1, 320, 50, MusicOn != 0 ? 1 : 2, &spots, "SoundON");
  SlidePicture("Button2", 2, 320, 100, MusicOn == 0 ? 3 : 4, &spots, "SoundOFF");
  const auto panel = mClips.Item("SndVOL")->Surface;
  for (auto& bar : mVolumeBars) bar.Blt(panel, plat::DDBLTFAST_WAIT);
  SlidePicture("SndVOL", 3, 320, kPanelY, 1);
  SlidePicture("UMB", 7, 320, 350, FirstHovered(spots) == "OK" ? 3 : 4, &spots, "OK");
}

void FrmSetupMenuClass::DebugModeP() {
  BackBuffer->DrawText(0, 0, Str(mCursorX) + Str(mCursorY));
  BackBuffer->DrawText(0, 20, Str(mPage));
  if (!mClickName.empty()) BackBuffer->DrawText(0, 12, mClickName);
  for (int i = 0; i < 3; ++i) BackBuffer->DrawText(0, 12 * (i + 1), FirstHovered(mPageRects[static_cast<size_t>(i)]));
}

}  // namespace fw
