// libs: fw_battle
// Loading mission map A with its tables and pictures, against two floors of
// that work: extracting the same members from the archives and reading
// their bytes, and extracting and decoding the same pictures alone. The
// load should stay within three times the first; the second shows how much
// of the rest is decoding.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include <unistd.h>

#include "battle/loaders.hpp"
#include "bench/sample_data.hpp"
#include "battle/surface_pictures.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/startup.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/files.hpp"

namespace {

// The sample data, made once, with both archives opened from it.
void OpenSample() { fwbench::OpenSampleData(); }

std::string MemberOf(const std::string& path) {
  const size_t p = path.find_last_of('\\');
  return p == std::string::npos ? path : path.substr(p + 1);
}

// Every member a load of map A reads, by archive.
struct Members {
  std::set<std::string> data{"sound.ini", "EnemyWeapon.ini", "tank.ini", "Weapon.ini", "obj.ini", "objinfo.ini"};
  std::set<std::string> mission{"MapA.msk", "MapA.Inf"};
  std::set<std::string> dataPictures, missionPictures;
};

const Members& MembersRead() {
  static const Members m = [] {
    Members m;
    fw::BattleState w;
    if (!fw::LoadHeadlessWorld(w, "MapA")) std::abort();
    for (const auto* list : {&w.Images, &w.Textures, &w.Wrecks})
      for (const fw::ImageRecord& r : *list)
        if (!r.FileName.empty()) m.dataPictures.insert(MemberOf(r.FileName));
    m.dataPictures.insert(MemberOf(w.Girl.FileName));
    for (const std::string& t : w.TileNames) m.missionPictures.insert(MemberOf(t));
    m.data.insert(m.dataPictures.begin(), m.dataPictures.end());
    m.mission.insert(m.missionPictures.begin(), m.missionPictures.end());
    return m;
  }();
  return m;
}

void BM_ReadMembersFromArchives(benchmark::State& state) {
  OpenSample();
  const Members& m = MembersRead();
  size_t bytes = 0;
  for (auto _ : state) {
    for (auto [pack, names] : {std::pair{&fw::DataPack, &m.data}, std::pair{&fw::MissionPack, &m.mission}})
      for (const std::string& name : *names) {
        (*pack)->Extract(name);
        const auto b = plat::ReadAllBytes((*pack)->TempPath + name);
        bytes += b ? b->size() : 0;
        (*pack)->RemoveTempFile();
      }
  }
  benchmark::DoNotOptimize(bytes);
  state.counters["members"] = static_cast<double>(m.data.size() + m.mission.size());
}
BENCHMARK(BM_ReadMembersFromArchives)->Unit(benchmark::kMillisecond);

void BM_DecodePicturesFromArchives(benchmark::State& state) {
  OpenSample();
  const Members& m = MembersRead();
  size_t pixels = 0;
  for (auto _ : state) {
    for (auto [pack, names] :
         {std::pair{&fw::DataPack, &m.dataPictures}, std::pair{&fw::MissionPack, &m.missionPictures}})
      for (const std::string& name : *names) {
        (*pack)->Extract(name);
        const auto s = plat::LoadPictureFile(plat::NativePath((*pack)->TempPath + name));
        pixels += s ? static_cast<size_t>(s->Width()) * s->Height() : 0;
        (*pack)->RemoveTempFile();
      }
  }
  benchmark::DoNotOptimize(pixels);
}
BENCHMARK(BM_DecodePicturesFromArchives)->Unit(benchmark::kMillisecond);

void BM_LoadMapAWithPictures(benchmark::State& state) {
  OpenSample();
  for (auto _ : state) {
    fw::BattleState w;
    fw::SurfacePictures pictures;
    fw::NullLoadProgress progress;
    if (!fw::LoadBattleWorld(w, pictures, progress, "MapA")) std::abort();
    benchmark::DoNotOptimize(w.Builds.size());
  }
}
BENCHMARK(BM_LoadMapAWithPictures)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
