// libs: fw_app
// Start-up to the first frame of the profile screen, against SDL's own
// window set-up; and extracting a 16 MiB archive member, against copying the
// same bytes with std::filesystem::copy_file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_main.hpp"
#include "bench/scratch.hpp"
#include "app/registry.hpp"
#include "engine/fresh_press.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/startup.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/temp_folder.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Past the moments in which a screen that one press ends ignores presses.
constexpr uint32_t kAMoment = fw::kFreshPressDelayMs + 50;

void BM_StartupToProfileScreen(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  plat::SetProgramFolder(fwbench::SampleDataFolder());
  // The game's own folder inside the program's: one killed mid-start goes
  // with the program's leftovers.
  plat::SetTempRoot(fwbench::NewFolder("game"));
  fw::RegisterScreens();
  for (auto _ : state) {
    const auto t0 = Clock::now();
    Clock::time_point firstFrame{};
    uint64_t framesBefore = 0;
    bool atProfiles = false;
    fw::KeyCode = 0;
    fw::MouseButton = 0;
    fw::GameState = 0;
    // The intro film ends on Return, which passes the splash too. The quit
    // question and the closing film take only a press made a moment after
    // they open, so after Esc a press follows every such moment: Y for the
    // question, then clicks for the film.
    uint32_t lastPressAt = 0;
    bool quitting = false;
    plat::SetTestDriver([&] {
      plat::Window& w = plat::Window::Instance();
      if (!atProfiles && fw::GameState == 0 && w.FramesPresented() > 0 && fw::KeyCode == 0) plat::PushKeyStroke(13);
      if (fw::GameState == 5 && !atProfiles) {
        atProfiles = true;
        framesBefore = w.FramesPresented();
      } else if (atProfiles && !quitting && w.FramesPresented() > framesBefore) {
        firstFrame = Clock::now();
        quitting = true;
        lastPressAt = plat::timeGetTime();
        plat::PushKeyStroke(27);  // the profile screen asks before the program ends
      } else if (quitting && plat::timeGetTime() - lastPressAt >= kAMoment) {
        const bool answered = fw::GameState == 0;
        lastPressAt = plat::timeGetTime();
        if (answered)
          plat::PushMouseDown(1, 320, 240);
        else
          plat::PushKeyStroke(89);
      }
    });
    fw::Main();
    plat::SetTestDriver(nullptr);
    plat::QuitPlatform();
    state.SetIterationTime(std::chrono::duration<double>(firstFrame - t0).count());
  }
}
BENCHMARK(BM_StartupToProfileScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(fwbench::Times(10));

void BM_SdlWindowSetup(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  for (auto _ : state) {
    plat::Window::Instance().Create("bench");
    plat::Window::Instance().Show();
    plat::Window::Instance().Destroy();
    plat::QuitPlatform();
  }
}
BENCHMARK(BM_SdlWindowSetup)->Unit(benchmark::kMillisecond)->Iterations(fwbench::Times(10));

struct BigArchive {
  std::string folder;
  BigArchive() : folder(fwbench::NewFolder("big")) {
    std::string payload(16 << 20, '\0');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 131 + (i >> 12));
    fs::create_directories(folder + "/src");
    std::ofstream(folder + "/src/big.bin", std::ios::binary) << payload;
    fw::qelPackage packer;
    packer.FilePath = folder + "/src";
    packer.TempPath = folder;
    if (!packer.AddArchive("Big")) std::abort();
    fs::create_directories(folder + "/out");
  }
};

BigArchive& Big() {
  static BigArchive a;
  return a;
}

void BM_Extract16MiB(benchmark::State& state) {
  fw::qelPackage pack;
  pack.FilePath = Big().folder;
  pack.TempPath = Big().folder + "/out";
  pack.LoadInf("Big");
  for (auto _ : state) {
    pack.Extract("big.bin");
    pack.RemoveTempFile();
  }
}
BENCHMARK(BM_Extract16MiB)->Unit(benchmark::kMillisecond);

void BM_CopyFile16MiB(benchmark::State& state) {
  const std::string from = Big().folder + "/src/big.bin", to = Big().folder + "/out/copy.bin";
  for (auto _ : state) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::remove(to);
  }
}
BENCHMARK(BM_CopyFile16MiB)->Unit(benchmark::kMillisecond);

}  // namespace

FW_BENCHMARK_MAIN()
