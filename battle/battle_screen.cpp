// The battle screen's visit: loading behind the progress screen, the loop,
// the frame clock, and the sinks through which the world makes sounds and
// paints wrecks.
#include "battle/battle_screen.hpp"

#include <charconv>

#include "battle/battle_sim.hpp"
#include "battle/loaders.hpp"
#include "battle/sim_math.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/joystick.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

// Sounds go to the mixer; wrecks are painted for good into the background
// tiles, which the map drawing stretches to the screen.
class FrmMainClass::ScreenOutput : public BattleOutput {
 public:
  explicit ScreenOutput(FrmMainClass& screen) : s_(screen) {}
  void PlayEffectSound(int32_t effect, int32_t attenuation) override { fw::PlayEffectSound(effect, attenuation); }
  void PlaySoundKey(std::string_view key) override {
    if (!Sounds->Work) return;
    if (auto c = Sounds->Find(key)) c->Play(false);
  }
  void PaintWreck(int32_t column, int32_t row, int32_t wreck, int32_t cell, const RECT& dest) override {
    const BattleState& w = s_.world_;
    if (column < 0 || row < 0 || column >= w.TileColumns || row >= w.TileRows) return;
    if (wreck < 0 || static_cast<size_t>(wreck) >= w.Wrecks.size()) return;
    const auto tile = s_.pictures_.Surface(PictureList::Tiles, row * w.TileColumns + column);
    const auto picture = s_.pictures_.Surface(PictureList::Wrecks, wreck);
    if (!tile || !picture) return;
    const ImageRecord& r = w.Wrecks[static_cast<size_t>(wreck)];
    if (r.RepeatX <= 0 || r.RepeatY <= 0) return;
    RECT src;
    GetCellRect(src, picture, r.RepeatX, r.RepeatY, cell);
    tile->Blt(&dest, picture.get(), &src, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
  }

 private:
  FrmMainClass& s_;
};

// The loaders' lines and bars, straight onto the visible screen.
class FrmMainClass::ScreenProgress : public LoadProgress {
 public:
  void Line(int32_t x, int32_t y, std::string_view text) override {
    if (Primary) Primary->DrawText(x, y, std::string(text));
  }
  void Bar(const RECT& r, uint16_t color565) override {
    if (Primary) Primary->BltColorFill(&r, color565);
  }
};

uint8_t ChooseDrawMode(int32_t deviceTextureMode, const plat::DDCAPS& hardware) {
  uint8_t mode = 0;
  if (deviceTextureMode == 0) mode = 1;
  if (!(hardware.ddsCaps.lCaps & plat::DDSCAPS_ALPHA)) mode = 0;
  if (mode == 0) {
    for (int32_t word : hardware.lRops)
      if (word == 0) mode = 3;
    if (mode == 0) mode = 2;
  }
  return mode;
}

FrmMainClass::FrmMainClass()
    : output_(std::make_unique<ScreenOutput>(*this)), env_{*output_, rules_} {}

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
    Finish();
  }
  GameState = ScreenState::EndScreen;
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

  ScreenProgress progress;
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
    if (!r) failure = r.Message;
    if (failure.empty()) {
      script_ = MakeMissionScript();
      if (script_) script_->RunMission(battle, 0);
      failure = battle.LoadError;
    }
  } catch (const plat::RuntimeError& e) {
    failure = e.what();
  }
  if (!failure.empty()) {
    // Nothing was played: nothing is booked or saved, and the end screen
    // shows the mission as not won.
    ShowLoadError(failure);
    EndResult.MisIndex = world_.Mission;
    EndResult.WinState = false;
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
  RunScript(1);
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
  if (!Users->SaveUser() && Primary) ShowMessageBox(LastError, plat::RGB(255, 0, 0));
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

void FrmMainClass::TestCoop() {
  if (!DDraw) return;
  bool waited = false;
  while (DDraw->TestCooperativeLevel() != plat::DD_OK) {
    waited = true;
    plat::DoEvents();
    plat::WaitForRefresh();
  }
  if (waited) DDraw->RestoreAllSurfaces();
}

std::string DebugNumber(double v) {
  char buf[48];
  std::to_chars_result r;
  if (v == static_cast<double>(static_cast<int64_t>(v)) && v > -1e15 && v < 1e15)
    r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(v));
  else
    r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(v));
  std::string s(buf, r.ptr);
  return v >= 0 ? " " + s : s;
}

void FrmMainClass::DebugModeP(const plat::SurfacePtr& surface) {
  if (!surface) return;
  surface->SetFont("Small Fonts", 5.0f, false);
  surface->DrawText(0, 112, DebugNumber(world_.ScrollX) + DebugNumber(world_.ScrollY));
  surface->DrawText(0, 136, DebugNumber(GetFreeVideoMemory() / 1024));
}

void FrmMainClass::SetQuadRect(const RECT& r) {
  quad_[0].sx = static_cast<float>(r.Left);
  quad_[0].sy = static_cast<float>(r.Bottom);
  quad_[1].sx = static_cast<float>(r.Left);
  quad_[1].sy = static_cast<float>(r.Top);
  quad_[2].sx = static_cast<float>(r.Right);
  quad_[2].sy = static_cast<float>(r.Bottom);
  quad_[3].sx = static_cast<float>(r.Right);
  quad_[3].sy = static_cast<float>(r.Top);
}

}  // namespace fw
