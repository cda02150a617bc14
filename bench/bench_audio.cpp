// libs: fw_engine
// The per-frame cost of a battle's effect sounds: 32 requests, each with its
// distance attenuation, most of them dropped because a louder copy of the
// sound is already playing; against an empty loop of 32 steps. The
// frame_share_ppm counter is the share of a 15 ms battle frame, in parts per
// million (10000 would be 1%).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_main.hpp"
#include "bench/scratch.hpp"
#include "engine/key_config.hpp"
#include "engine/sound.hpp"
#include "tests/platform/audio_test_media.hpp"

namespace {

constexpr int kRequestsPerFrame = 32;
constexpr double kFrameSeconds = 0.015;
const int kEffects[] = {41, 1, 31, 101, 200, 11, 21, 61, 3, 42, 5, 102, 7, 104, 13, 32};

void SetFrameShare(benchmark::State& state) {
  state.counters["frame_share_ppm"] = benchmark::Counter(
      kFrameSeconds / 1e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_EmptyFrame(benchmark::State& state) {
  for (auto _ : state)
    for (int i = 0; i < kRequestsPerFrame; ++i) {
      int step = i;
      benchmark::DoNotOptimize(step);
    }
  SetFrameShare(state);
}
BENCHMARK(BM_EmptyFrame);

void BM_EffectSoundRequests(benchmark::State& state) {
  // Explosions and shots around the view: the first of each key plays loud,
  // the farther ones that follow are dropped while it sounds.
  int n = 0;
  for (auto _ : state)
    for (int i = 0; i < kRequestsPerFrame; ++i, ++n) {
      const int x = 200 + (n * 97) % 2400, y = 150 + (n * 61) % 1800;
      const int32_t v = fw::SoundVolumeByDistance(0, 0, x, y);
      if (v > -10000) fw::PlayEffectSound(kEffects[n % 16], v);
    }
  SetFrameShare(state);
}
BENCHMARK(BM_EffectSoundRequests);

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::filesystem::path dir = fwbench::NewFolder("audio");
  {
    std::ofstream(dir / "effect.wav", std::ios::binary) << audiotest::Wav(30.0);
  }
  fw::SoundVol = 8;
  fw::Sounds->Init(nullptr, nullptr);
  if (!fw::Sounds->Work) return 1;
  for (int effect : kEffects) {
    const std::string key = fw::EffectSoundKey(effect);
    if (!fw::Sounds->Find(key)) fw::Sounds->Add(key, (dir / "effect.wav").string());
  }
  const int status = fwbench::RunWithDeadline(argc, argv);
  fw::Sounds.Release();
  return status;
}
