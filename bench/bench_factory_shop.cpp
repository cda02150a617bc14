// libs: fw_factory
// One frame of a factory shop page with its turning preview (the hall's
// still, both lists, the preview scene rendered and copied, the figures,
// the money line, frames and buttons, and the frame's copy to the screen)
// against copying one full 640x480 frame in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "bench/factory_player.hpp"
#include "bench/frame_copy.hpp"
#include "bench/sample_data.hpp"
#include "bench/bench_main.hpp"
#include "data/users.hpp"
#include "engine/surfaces.hpp"
#include "factory/factory_screen.hpp"
#include "platform/runtime/clock.hpp"

namespace {

void Prepare() {
  static const bool ready = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fwbench::OpenSampleData();
    plat::FixClock(1000);
    fw::DDraw = std::make_shared<plat::DirectDraw>();
    fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    if (!fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw)) std::abort();
    // Short of every price: the warning blinks too.
    fwbench::GiveFactoryPlayer(100);
    return true;
  }();
  (void)ready;
}

using fwbench::BM_FullFrameCopy;
BENCHMARK(BM_FullFrameCopy);

void BM_WeaponShopFrame(benchmark::State& state) {
  Prepare();
  fw::FrmFactoryClass factory;
  factory.Present = std::make_shared<plat::Surface>(640, 480);
  factory.ShowMessage = [](const std::string&) {};
  if (!factory.Enter()) std::abort();
  // Look at the weapon shop's area (yaw 88 to 20, pitch 297 to 275), open
  // it and choose the second weapon so its model turns in the preview.
  int16_t button = 0, shift = 0;
  float x = 48, y = 152;
  factory.MouseMove(button, shift, x, y);
  button = 1;
  factory.MouseDown(button, shift, x, y);
  if (factory.State() != "Weap") std::abort();
  const auto& list = factory.Overlay().ShopListA;
  x = 60;
  y = static_cast<float>(list.Top + list.TextHeight + list.TextHeight / 2);
  factory.MouseDown(button, shift, x, y);
  if (!factory.Preview().Objects->Item("WPLOOK")) std::abort();
  for (auto _ : state) factory.RenderFrame();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WeaponShopFrame)->Unit(benchmark::kMillisecond);

}  // namespace

FW_BENCHMARK_MAIN()
