#include "factory/factory_screen.hpp"

#include <cmath>
#include <cstdio>
#include <exception>

#include "data/users.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/pack.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "factory/rules/combin_all.hpp"
#include "factory/rules/model_index.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {

namespace {
constexpr float kRadian = 3.141592653589f / 180.0f;
constexpr int16_t kEsc = 27;

bool SameText(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && !b[i];
}

void Complain(const std::string& what) { std::fprintf(stderr, "factory: %s\n", what.c_str()); }
}  // namespace

FrmFactoryClass::FrmFactoryClass() : rules_(catalogs_, *Users) {
  catalogs_.Read();
  ReportCatalogProblems(catalogs_);
  ShowMessage = [this](const std::string& text) {
    mBusy = -1;
    ShowMessageBox4(Present ? Present : Primary, RM.DirectDraw_4 ? RM.DirectDraw_4 : DDraw, text,
                    plat::RGB(255, 0, 0));
    mBusy = 0;
  };
}

FrmFactoryClass::~FrmFactoryClass() = default;

void FrmFactoryClass::LoadingText(int32_t y, const std::string& text) {
  if (Present) Present->DrawText(80, y, text);
}

bool FrmFactoryClass::Enter() {
  if (!Present) Present = Primary;
  view_ = HallView{};
  mCamY = 11.0f;
  LoadMenuSounds();
  robots_.InitViewPoints();

  // The loading screen; its text shows at once on the primary surface.
  if (Present) {
    plat::SurfacePtr picture;
    try {
      LoadSurfaceFromPack("\\pic\\ProcessPic.jpg", picture, DDraw);
      const plat::RECT all{0, 0, 640, 480};
      Present->BltFast(0, 0, picture.get(), &all, plat::DDBLTFAST_WAIT);
    } catch (const std::exception& e) {
      Complain(plat::Utf8Of(e));
      Present->BltColorFill(nullptr, 0);
    }
    SetSurfaceFont(Present, "Fixedsys", 12.0f / FontScale, plat::RGB(0, 204, 0), false);
  }
  LoadingText(60, "Loading 3D Model...");
  LoadXIndex();
  LoadingText(80, "Start 3D Scene");
  if (!StartPreview()) return false;

  RM.UseHardWare = true;
  RM.DefaultLight = false;
  if (!RM.Start(0, 8, 640, 480)) {
    RM.UseHardWare = false;
    if (!RM.Start(0, 8, 640, 480)) {
      Complain("the hall's 3D scene cannot be started");
      return false;
    }
  }
  // The menus that draw on the back buffer after a visit keep this colour.
  if (BackBuffer) BackBuffer->SetForeColor(50000);

  LoadingText(100, "Add 3D Objects to Scene");
  ADDObjects();
  LoadingText(300, "Add Lights to Scene");
  AddLight();
  RM.D3DViewport->SetFront(1.0f);
  RM.D3DViewport->SetBack(1000.0f);

  CreateOffscreenSurface4(640, 480, mHallStill, RM.DirectDraw_4, false);
  try {
    overlay_.LoadWeapScreen(RM.DirectDraw_4);
  } catch (const std::exception& e) {
    // Without its pictures no page could be shown or left: say why and let
    // the visit save and end rather than open pages that cannot be seen.
    Complain(plat::Utf8Of(e));
    if (ShowMessage) ShowMessage("The factory cannot be shown: " + plat::Utf8Of(e));
    return false;
  }
  try {
    LoadSurface4FromPack("\\pic\\PopupHelp2.bmp", mHelpSheet, RM.DirectDraw_4);
  } catch (const std::exception& e) {
    Complain(plat::Utf8Of(e));
  }
  // The factory's own pointer, kept for later visits.
  if (!CursorSurface4) {
    try {
      LoadSurface4FromPack(kCursorPicture, CursorSurface4, RM.DirectDraw_4);
      SetSurfaceColorKey4(CursorSurface4, plat::DDCKEY_SRCBLT, 0, 0);
    } catch (const std::exception& e) {
      Complain(plat::Utf8Of(e));
    }
  }
  plat::Window::Instance().WarpPointer(320, 240);
  mCursorX = 320;
  mCursorY = 240;
  entered_ = true;
  return true;
}

bool FrmFactoryClass::StartPreview() {
  mPreviewRM.UseHardWare = false;
  mPreviewRM.DefaultLight = true;
  if (!mPreviewRM.Start(0, 8, 300, 200)) {
    Complain("the preview's 3D scene cannot be started");
    return false;
  }
  mPreviewRM.D3DFrameCamera->AddRotation(plat::D3DRMCOMBINE_REPLACE, 1, 0, 0, 30.0f * kRadian);
  mPreviewRM.D3DFrameCamera->SetPosition(mPreviewRM.D3DFrameScene, 0, 7, -14);
  // Black is left out, so the preview stands over the page.
  mPreviewRM.BackBuffer4->SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  // The models come out of the archive into its private folder.
  mPreviewRM.D3DRM3->SetSearchPath(DataPack->TempPath);
  return true;
}

void FrmFactoryClass::Load() {
  const bool shown = Enter();
  if (shown) {
    if (MusicOn != 0) MediaPlay->PlayBackSound(1);
    RunFrames();
  }
  // Whichever way the visit ended, the briefing is next unless the caller
  // that ran the factory sets its own state.
  GameState = 7;
  Leave();
}

void FrmFactoryClass::RunFrames() {
  while (true) {
    plat::DoEvents();
    if (State() == FactoryRules::kLeft) break;
    if (DebugOn == 1) walk_.ViewMove(view_.Yaw, mCamX, mCamY, mCamZ);
    RenderFrame();
    MediaPlay->CheckLoop();
    plat::WaitForRefresh();
  }
}

bool FrmFactoryClass::Leave() {
  try {
    if (State() != FactoryRules::kLeft) rules_.Leave();
  } catch (const std::exception& e) {
    Complain(plat::Utf8Of(e));
  }
  if (FactoryGoodsSaving == GoodsSaving::Nothing) return true;
  // Both files are written whole or not at all; a failure keeps the old
  // files and the goods in memory, and the player is told.
  bool saved = false;
  try {
    const std::string goods = Users->EncodeEquipment();
    saved = Users->SaveMoneyAndGoods();
    // A purchase given up for the player's goods file leaves the profile
    // with the goods read again: the battle tank is built from them. Any
    // other failure keeps the goods, and the tank the rules built stands.
    if (!saved && Users->EncodeEquipment() != goods) CombinAll(catalogs_, *Users);
  } catch (const std::exception& e) {
    LastError = "Save Failed! " + plat::Utf8Of(e);
  }
  // The save's own message says what failed, and why.
  // Files kept aside before the save replaced them are told the same way.
  const std::string kept = saved ? Users->TakeSaveNotice() : std::string();
  if (ShowMessage && (!saved || !kept.empty())) ShowMessage(saved ? kept : LastError);
  return saved;
}

void FrmFactoryClass::RenderFrame() {
  const bool walking = State() == FactoryRules::kHall;
  if (walking) {
    lightPhase_ += 0.1f;
    if (auto l3 = RM.Objects->Item("L3"))
      l3->Light->SetColorRGB(0.5f + 0.2f * std::sin(lightPhase_), 0.5f + 0.1f * std::sin(lightPhase_), 0.3f);
  }
  if (RM.D3DFrameCamera) {
    RM.D3DFrameCamera->AddRotation(plat::D3DRMCOMBINE_REPLACE, 0, 1, 0, view_.Yaw * kRadian);
    RM.D3DFrameCamera->AddRotation(plat::D3DRMCOMBINE_BEFORE, 1, 0, 0, (view_.Pitch + 90.0f) * kRadian);
    RM.D3DFrameCamera->SetPosition(nullptr, mCamX, mCamY, mCamZ);
  }
  robots_.ObjMotion(RM);
  const plat::SurfacePtr& back = RM.BackBuffer4;
  if (!back) return;
  if (walking) {
    back->SetForeColor(plat::RGB(0, 200, 0));
    RM.Update(true, 7);
    back->DrawLine(320, 236, 320, 245);
    back->DrawLine(316, 240, 325, 240);
    if (const int cell = HelpCell(view_.Area); cell && mHelpSheet) {
      RECT r;
      GetCellRect4(r, mHelpSheet, 1, 7, cell);
      back->BltFast(330, 230, mHelpSheet.get(), &r, plat::DDBLTFAST_WAIT);
    }
  } else {
    // The scene still moves behind a page; only its picture stands still.
    RM.Tick();
    const plat::RECT all{0, 0, 640, 480};
    back->BltFast(0, 0, mHallStill.get(), &all, plat::DDBLTFAST_WAIT);
    DrawPage(back);
  }
  if (DebugOn == 1)
    DrawHallDebug(*back, {view_.LastX, view_.LastY, view_.Area, fps_.CalFPS(), mCamX, mCamY, mCamZ, view_.Yaw,
                          view_.Pitch, mTankPosX, mTankPosY, mTankPosZ});
  if (mMessageFrames > 0) {
    --mMessageFrames;
    if (auto plate = overlay_.OverlayClips.Item("BOLD03"))
      plate->Blt4(back, plat::DDBLT_KEYSRC | plat::DDBLT_WAIT, 190, 344, 0);
    SetSurfaceFont4(back, "Arial", 12.0f / FontScale, plat::RGB(255, 0, 0), false);
    if (!mMessage.empty()) back->DrawText(195, 350, mMessage);
  }
  if (!walking) DrawCursor4(back, static_cast<int32_t>(MouseX), static_cast<int32_t>(MouseY));
  if (Present) {
    const plat::RECT all = RM.BackBufferRECT();
    Present->BltFast(0, 0, back.get(), &all, plat::DDBLTFAST_WAIT);
  }
}

void FrmFactoryClass::DrawPage(const plat::SurfacePtr& back) {
  switch (ShopKind(State())) {
    case kKindWeapon: DrawWeap(back); return;
    case kKindShield: DrawShield(back); return;
    case kKindEngine: DrawEngine(back); return;
    case kKindReactor: DrawReactor(back); return;
    case kKindTank: DrawTank(back); return;
    default: break;
  }
  if (State() == FactoryRules::kAssemblyPage) assembly_.Draw(back, mCursorX, mCursorY);
}

void FrmFactoryClass::ShowText(const std::string& text) {
  mMessage = text;
  mMessageFrames = 30;
}

void FrmFactoryClass::OpenPage() {
  PlaySoundKey(2, false);
  SetLight(false);
  view_.Hold();
  // The dimmed hall, rendered once, stands behind the page.
  RM.Update(true, 7);
  if (mHallStill && RM.BackBuffer4) {
    const plat::RECT all = RM.BackBufferRECT();
    mHallStill->BltFast(0, 0, RM.BackBuffer4.get(), &all, plat::DDBLTFAST_WAIT);
  }
}

void FrmFactoryClass::KeyDown(int16_t& keyCode, int16_t& /*shift*/) {
  auto placeTank = [this] {
    if (auto tank = RM.Objects->Item("Tank")) tank->Frame->SetPosition(nullptr, mTankPosX, mTankPosY, mTankPosZ);
  };
  if (walk_.Key(keyCode, true)) return;
  switch (keyCode) {
    case 'A': mCamY += 0.5f; break;
    case 'Z': mCamY -= 0.5f; break;
    case '1': mTankPosX += 0.1f; placeTank(); break;
    case '2': mTankPosX -= 0.1f; placeTank(); break;
    case '5': mTankPosY += 0.1f; placeTank(); break;
    case '6': mTankPosY -= 0.1f; placeTank(); break;
    case '3': mTankPosZ += 0.1f; placeTank(); break;
    case '4': mTankPosZ -= 0.1f; placeTank(); break;
    default: break;
  }
}

void FrmFactoryClass::KeyUp(int16_t& keyCode, int16_t& /*shift*/) { walk_.Key(keyCode, false); }

void FrmFactoryClass::KeyPress(int16_t& keyAscii) {
  if (keyAscii != kEsc || mBusy != 0) return;
  const std::string state = State();
  if (SameText(state, "RUN")) {
    GameState = 7;
    rules_.Escape();
    return;
  }
  if (rules_.Escape()) {
    // Esc leaves a page as its EXIT button does: the hall lit again.
    if (SameText(state, FactoryRules::kAssemblyPage)) {
      assembly_.Closed();
      AddShowTank();
      SetLight(true);
    } else {
      LeftShopPage();
    }
    return;
  }
  // Only the tank shop without a hull, or an overloaded tank, holds a page.
  if (SameText(state, "Tank")) ShowMessage(FactoryRules::kOneTankNeeded);
}

void FrmFactoryClass::MouseDown(int16_t& button, int16_t& shift, float& x, float& y) {
  const std::string state = State();
  if (state != FactoryRules::kHall) {
    // A page takes its presses whole; only the assembly screen takes the
    // right button too.
    if (button == 1 && state == "Weap") {
      WeapClick(button, shift, x, y);
    } else if (button == 1 && ShopKind(state) != 0) {
      ShieldClick(button, shift, x, y);
    } else if ((button == 1 || button == 2) && state == FactoryRules::kAssemblyPage) {
      if (assembly_.Click(button, x, y) == AssemblyPage::ClickResult::Closed) {
        AddShowTank();
        SetLight(true);
      }
    }
    return;
  }
  if (button != 1) return;
  const std::string area = view_.Area;
  if (area.empty()) return;
  const bool exit = area == FactoryRules::kExitArea;
  switch (rules_.ClickArea(area)) {
    case FactoryRules::AreaResult::NeedTank:
      ShowText(FactoryRules::kNeedTank);
      break;
    case FactoryRules::AreaResult::Left:
      if (exit) GameState = 7;
      break;
    case FactoryRules::AreaResult::Opened:
      OpenPage();
      if (ShopKind(State()) != 0) FillShopLists();
      if (State() == FactoryRules::kAssemblyPage) assembly_.Open();
      break;
    case FactoryRules::AreaResult::Nothing:
      break;
  }
}

void FrmFactoryClass::MouseMove(int16_t& button, int16_t& shift, float& x, float& y) {
  const std::string state = State();
  if (state == FactoryRules::kHall) {
    const float wasX = x, wasY = y;
    view_.Move(x, y);
    // The pointer that reached an edge goes back with the view's centre, so
    // the view keeps turning.
    if (x != wasX || y != wasY) plat::Window::Instance().WarpPointer(x, y);
  } else if (ShopKind(state) != 0) {
    // Dragging over a list or a bar acts as repeated presses there.
    const FactoryOverlay& o = overlay_;
    const int32_t px = plat::CLng(x), py = plat::CLng(y);
    if (button == 1 && (PtInRECT(px, py, o.ShopListA.DesRECT()) || PtInRECT(px, py, o.ShopListB.DesRECT()) ||
                        PtInRECT(px, py, o.ShopScrollA.DesRECT()) || PtInRECT(px, py, o.ShopScrollB.DesRECT())))
      MouseDown(button, shift, x, y);
    overlay_.ButtonSets[1].MouseCheck(button, x, y);
  } else if (state == FactoryRules::kAssemblyPage) {
    if (button == 1 && assembly_.RepeatsPressAt(x, y)) MouseDown(button, shift, x, y);
    assembly_.MouseMove(button, x, y);
  }
  if (state != FactoryRules::kHall) {
    view_.LastX = static_cast<int>(std::lrint(x));
    view_.LastY = static_cast<int>(std::lrint(y));
  }
  mCursorX = static_cast<int32_t>(std::lrint(x));
  mCursorY = static_cast<int32_t>(std::lrint(y));
}

}  // namespace fw
