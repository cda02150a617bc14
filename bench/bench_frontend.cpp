// libs: fw_frontend
// One frame of each menu screen (its loop's pass: events, clicks, drawing
// and the page flip, the display's wait left out), against copying one
// full 640x480 frame in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "bench/frame_copy.hpp"
#include "bench/bench_main.hpp"
#include "bench/scratch.hpp"
#include "data/users.hpp"
#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/screen.hpp"
#include "engine/surfaces.hpp"
#include "frontend/brief.hpp"
#include "frontend/end_screen.hpp"
#include "frontend/main_menu.hpp"
#include "frontend/setup_menu.hpp"
#include "frontend/user_menu.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/files.hpp"

namespace {

struct Done {};

// The sample data and a display, made once for the whole run.
void Prepare() {
  static const bool ready = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string& t = fwbench::SampleDataFolder();
    plat::SetProgramFolder(t);
    fw::AppPath = t;
    // The display's refresh wait is not the screens' cost.
    plat::FixClock(1000);
    fw::DDraw = std::make_shared<plat::DirectDraw>();
    fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    if (!fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw)) std::abort();
    for (fw::Lazy<fw::qelPackage>* pack : {&fw::DataPack, &fw::MissionPack}) {
      (*pack)->FilePath = t;
      (*pack)->TempPath = t;
    }
    fw::DataPack->LoadInf("Data");
    fw::MissionPack->LoadInf("MissionPack");
    fw::Users->File = t + "\\User.INI";
    fw::Users->ReadUser();
    fw::Users->NowUser = 1;
    fw::Users->NowItem()->Mission = 1;
    return true;
  }();
  (void)ready;
}

// Runs the screen's own loop; every pass of it is one timed iteration. A
// first few passes let the pictures slide in and the page open.
template <typename S>
void FramesOf(benchmark::State& state, int screenState, const std::function<void(int)>& atPass = nullptr) {
  Prepare();
  auto screen = std::make_shared<S>();
  fw::ScreenSlot* slot = fw::ScreenForState(screenState);
  slot->SetFactory([screen] { return screen; });
  slot->SetEvents(0xFF);
  slot->Shared();
  fw::GameState = screenState;
  int pass = 0;
  plat::SetTestDriver([&] {
    if (atPass) atPass(pass);
    if (++pass <= 100) return;
    if (!state.KeepRunning()) throw Done{};
  });
  try {
    screen->Load();
  } catch (const Done&) {
  }
  plat::SetTestDriver(nullptr);
  slot->Release();
  slot->SetFactory(nullptr);
}

using fwbench::BM_FullFrameCopy;
BENCHMARK(BM_FullFrameCopy);

void BM_ProfileScreenFrame(benchmark::State& state) { FramesOf<fw::FrmUserMenuClass>(state, 5); }
BENCHMARK(BM_ProfileScreenFrame);

void BM_MainMenuFrame(benchmark::State& state) { FramesOf<fw::FrmMainMenuClass>(state, 1); }
BENCHMARK(BM_MainMenuFrame);

void BM_SetupKeyPageFrame(benchmark::State& state) {
  FramesOf<fw::FrmSetupMenuClass>(state, 6, [](int pass) {
    if (pass == 60) {
      fw::Board->Form_MouseMove(0, 0, 320 * 15, 148 * 15);
      fw::Board->Form_MouseDown(1, 0, 320 * 15, 148 * 15);
    }
  });
}
BENCHMARK(BM_SetupKeyPageFrame);

void BM_BriefingPageFrame(benchmark::State& state) {
  FramesOf<fw::FrmBriefClass>(state, 7, [](int pass) {
    if (pass == 2) fw::Board->Form_MouseDown(1, 0, 300 * 15, 300 * 15);
    if (pass == 3) fw::Board->Form_MouseMove(0, 0, 300 * 15, 300 * 15);
  });
}
BENCHMARK(BM_BriefingPageFrame);

void BM_EndScreenFrame(benchmark::State& state) { FramesOf<fw::FrmEndScreenClass>(state, 9); }
BENCHMARK(BM_EndScreenFrame);

}  // namespace

FW_BENCHMARK_MAIN()
