// The battle screen's visit: loading behind the progress screen, the loop,
// the frame clock, and the sinks through which the world makes sounds and
// paints wrecks.
#include "battle/battle_screen.hpp"

#include <charconv>
#include <exception>

#include "battle/battle_sim.hpp"
#include "battle/loaders.hpp"
#include "battle/sim_math.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/joystick.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

FrmMainClass::FrmMainClass()
    : output_(std::make_unique<ScreenBattleOutput>(&world_, pictures_)), env_{*output_, rules_}, view_(world_, pictures_) {}

FrmMainClass::~FrmMainClass() = default;

BattleOutput& FrmMainClass::Output() { return *output_; }

namespace {
constexpr float kFramePeriodMs = 15.0f;

void ProgressLine(int32_t x, int32_t y, const char* text) {
  if (Primary) Primary->DrawText(x, y, text);
}

// The progress screen's font; the timed message puts it back after using
// the back surface's.
void ProgressFont() {
  if (Primary) SetSurfaceFont(Primary, "Fixedsys", 6.0f / FontScale, plat::RGB(0, 255, 0), false);
}
}  // namespace

void FrmMainClass::ShowLoadError(const std::string& message) {
  LastError = message;
  if (Primary) ShowMessageBox(message, plat::RGB(255, 255, 0));
}

void FrmMainClass::Load() {
  if (Prepare()) {
    while (world_.RunState != "EXIT") RunPass();
    if (!failed_) Finish();
  }
  GameState = ScreenState::EndScreen;
}

void FrmMainClass::EndAsNotPlayed(const std::string& message) {
  // Nothing is booked or saved, and the end screen shows the mission as
  // not won.
  ShowLoadError(message);
  EndResult.MisIndex = world_.Mission;
  EndResult.WinState = false;
  failed_ = true;
  world_.RunState = "EXIT";
}

bool FrmMainClass::Prepare() {
  Users->WinMoney = 0;
  Users->KillTank = 0;

  // A missing loading picture leaves the screen black: the lines still
  // show, and nothing the battle needs is lost.
  try {
    plat::SurfacePtr picture;
    LoadSurfaceFromPack(AppPath + "\\ProcessPic.jpg", picture, DDraw);
    const RECT whole{0, 0, 640, 480};
    if (Primary && picture) Primary->BltFast(0, 0, picture.get(), &whole, plat::DDBLTFAST_WAIT);
  } catch (const plat::RuntimeError&) {
    if (Primary) Primary->BltColorFill(nullptr, 0);
  }
  ProgressFont();

  PrimaryProgress progress;
  MissionBattle battle{world_, pictures_, progress, env_, {}};
  std::string failure;
  try {
    ProgressLine(60, 40, "Initialize Setting...");
    SetIMState();
    ProgressLine(60, 56, "Initialize Sound Setting...");
    LoadResult r = LoadSound(world_);
    if (r) r = LoadSoundChannels(world_);
    ProgressLine(60, 72, "Reading Images Info");
    if (r) r = LoadEmyWeap(world_);
    if (r) r = LoadImageInfo(world_);
    if (r) r = LoadBuildingTypes(world_);
    // The loaders name data files in the game's code page.
    if (!r) failure = plat::ToUtf8(r.Message);
    if (failure.empty()) {
      script_ = MakeMissionScript();
      if (script_) script_->RunMission(battle, 0);
      failure = plat::ToUtf8(battle.LoadError);
    }
  } catch (const plat::RuntimeError& e) {
    failure = plat::Utf8Of(e);
  }
  if (!failure.empty()) {
    EndAsNotPlayed(failure);
    return false;
  }
  world_.ShotSwitch = true;
  ProgressLine(60, 200, "Set All Units");
  ProgressLine(60, 216, "Launch Game");
  if (MusicOn) MediaPlay->PlayBackSound(0);
  world_.RunState = "Loop";
  CalFPS();
  return true;
}

void FrmMainClass::RunPass() {
  plat::DoEvents();
  EmptyHook();
  TestCoop();
  GetMousePos();
  if (world_.PlayerUnit >= 0 && world_.StickSwitch != 0 &&
      static_cast<size_t>(world_.PlayerUnit) < world_.Units.size())
    ReadJoystick(world_.Units[static_cast<size_t>(world_.PlayerUnit)]);
  CalFPS();
  Paint();
  MediaPlay->CheckLoop();
  // A mission that fails mid-battle ends the battle as a failed load
  // does, not the program.
  try {
    RunScript(1);
  } catch (const std::exception& e) {
    EndAsNotPlayed(plat::Utf8Of(e));
    return;
  }
  DInput->Poll();
}

void FrmMainClass::RunScript(uint8_t stage) {
  if (!script_) return;
  NullLoadProgress quiet;
  MissionBattle running{world_, pictures_, quiet, env_, {}};
  script_->RunMission(running, stage);
}

void FrmMainClass::Finish() {
  Users->KillTank = world_.KillTank;
  RunScript(2);
  // After a lost battle this is the only save of its death and kills.
  const bool saved = Users->SaveUser();
  const std::string told = saved ? Users->TakeSaveNotice() : LastError;
  if (!told.empty() && Primary) ShowMessageBox(told, plat::RGB(255, 0, 0));
}

void FrmMainClass::Paint() {
  StepWorld(world_, env_);
  const plat::SurfacePtr back = view_.Device().BackSurface;
  if (!back) {
    // Without a frame the effects still age, as they would on screen.
    StepEffects(world_);
    return;
  }
  view_.Device().ClearBackSurface();
  view_.MakeBackMap(back);
  view_.DrawOBJ(back);
  view_.DrawEffects();
  if (DebugOn == 1) DrawDebugTexts(back);
  view_.DrawMessage(back);
  view_.DrawPanel(back);
  DrawCursor(back, RoundL(world_.MouseX), RoundL(world_.MouseY));
  if (paced_) plat::WaitForRefresh();
  if (Primary) {
    const RECT whole{0, 0, 640, 480};
    Primary->BltFast(0, 0, back.get(), &whole, plat::DDBLTFAST_WAIT);
  }
}

void FrmMainClass::DrawDebugTexts(const plat::SurfacePtr& t) {
  DrawDebugCounters(*t, world_, world_.FramesPerSecond);
  DebugModeP(t);
}

void FrmMainClass::CalFPS() {
  const uint32_t now = plat::timeGetTime();
  // Unsigned difference: the tick count wraps after 49 days. The bound
  // keeps a stall (the exit question, a lost display, a slow disk) from
  // moving anything further in one step than the steps can check.
  const float factor = static_cast<float>(now - lastTick_) / kFramePeriodMs;
  world_.FrameFactor = std::min(factor, kMaxFrameFactor);
  lastTick_ = plat::timeGetTime();
  const float second = plat::Timer();
  ++frameCounter_;
  // Past midnight the clock starts again from 0: count that as a new second
  // too, or the counter would not move for a day.
  if (lastSecond_ + 1.0f <= second || second < lastSecond_) {
    world_.FramesPerSecond = static_cast<float>(frameCounter_);
    frameCounter_ = 0;
    lastSecond_ = plat::Timer();
  }
}

void FrmMainClass::TestCoop() { WaitWhileDisplayLost(); }

void FrmMainClass::DebugModeP(const plat::SurfacePtr& surface) {
  if (!surface) return;
  surface->SetFont("Small Fonts", 5.0f, false);
  surface->DrawText(0, 112, DebugNumber(world_.ScrollX) + DebugNumber(world_.ScrollY));
  surface->DrawText(0, 136, DebugNumber(GetFreeVideoMemory() / 1024));
}

}  // namespace fw
