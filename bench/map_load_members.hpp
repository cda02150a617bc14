#pragma once
// What a map's load reads from the two archives, and the floors its time is
// measured against: reading those members' bytes, by a copy extracted the
// way the archives hand members to their readers or straight from the
// archives' data files, and decoding its pictures one after another.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "battle/loaders.hpp"
#include "battle/surface_pictures.hpp"
#include "bench/sample_data.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/surfaces.hpp"
#include "platform/display/surface.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/files.hpp"

namespace fwbench {

struct MapMembers {
  std::set<std::string> data{"sound.ini", "EnemyWeapon.ini", "tank.ini", "Weapon.ini", "obj.ini", "objinfo.ini"};
  std::set<std::string> mission;
  std::set<std::string> dataPictures, missionPictures;
};

inline std::string MemberOf(const std::string& path) {
  const size_t p = path.find_last_of('\\');
  return p == std::string::npos ? path : path.substr(p + 1);
}

// Found by loading the map once.
inline const MapMembers& MembersOfLoad(const std::string& map) {
  static std::map<std::string, MapMembers> known;
  if (auto it = known.find(map); it != known.end()) return it->second;
  OpenSampleData();
  MapMembers m;
  m.mission = {map + ".msk", map + ".Inf"};
  fw::BattleState w;
  if (!fw::LoadHeadlessWorld(w, map)) std::abort();
  for (const auto* list : {&w.Images, &w.Textures, &w.Wrecks})
    for (const fw::ImageRecord& r : *list)
      if (!r.FileName.empty()) m.dataPictures.insert(MemberOf(r.FileName));
  m.dataPictures.insert(MemberOf(w.Girl.FileName));
  for (const std::string& t : w.TileNames) m.missionPictures.insert(MemberOf(t));
  m.data.insert(m.dataPictures.begin(), m.dataPictures.end());
  m.mission.insert(m.missionPictures.begin(), m.missionPictures.end());
  return known.emplace(map, std::move(m)).first->second;
}

// f(archive, member) for the members of both archives.
template <typename F>
void EachMember(const std::set<std::string>& data, const std::set<std::string>& mission, F f) {
  for (auto [pack, names] : {std::pair{&fw::DataPack, &data}, std::pair{&fw::MissionPack, &mission}})
    for (const std::string& name : *names) f(**pack, name);
}

// Each member copied out and read back, as every reader of the archives
// gets its member.
inline void ReadMembersByCopies(benchmark::State& state, const std::string& map) {
  const MapMembers& m = MembersOfLoad(map);
  size_t bytes = 0;
  for (auto _ : state)
    EachMember(m.data, m.mission, [&](fw::qelPackage& pack, const std::string& name) {
      pack.Extract(name);
      const auto b = plat::ReadAllBytes(pack.TempPath + name);
      bytes += b ? b->size() : 0;
      pack.RemoveTempFile();
    });
  benchmark::DoNotOptimize(bytes);
  state.counters["members"] = static_cast<double>(m.data.size() + m.mission.size());
}

// Each member read straight from the archive's data file.
inline void ReadMembersInPlace(benchmark::State& state, const std::string& map) {
  const MapMembers& m = MembersOfLoad(map);
  size_t bytes = 0;
  for (auto _ : state)
    EachMember(m.data, m.mission, [&](fw::qelPackage& pack, const std::string& name) {
      const auto b = pack.ReadMember(name);
      bytes += b ? b->size() : 0;
    });
  benchmark::DoNotOptimize(bytes);
}

// Every picture decoded one after another on this thread.
inline void DecodePicturesInTurn(benchmark::State& state, const std::string& map) {
  const MapMembers& m = MembersOfLoad(map);
  size_t pixels = 0;
  for (auto _ : state)
    EachMember(m.dataPictures, m.missionPictures, [&](fw::qelPackage& pack, const std::string& name) {
      const auto b = pack.ReadMember(name);
      if (!b) std::abort();
      const auto s = plat::DecodePicture(b->data(), b->size());
      pixels += s ? static_cast<size_t>(s->Width()) * s->Height() : 0;
    });
  benchmark::DoNotOptimize(pixels);
}

// The loading screen's lines and bars on the primary surface, which shows
// each one in the window as it is drawn, as the battle screen draws them.
class PrimaryProgress : public fw::LoadProgress {
 public:
  PrimaryProgress() {
    plat::Window& window = plat::Window::Instance();
    if (!window.IsOpen() && window.Create("bench")) window.Show();
    if (!fw::DDraw) {
      fw::DDraw = std::make_shared<plat::DirectDraw>();
      fw::DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    }
    if (!fw::Primary && !fw::CreatePrimaryAndBackBuffer(fw::Primary, fw::BackBuffer, fw::DDraw)) std::abort();
    fw::SetSurfaceFont(fw::Primary, "Fixedsys", 6.0f, plat::RGB(0, 255, 0), false);
  }
  void Line(int32_t x, int32_t y, std::string_view text) override { fw::Primary->DrawText(x, y, std::string(text)); }
  void Bar(const fw::RECT& r, uint16_t color565) override { fw::Primary->BltColorFill(&r, color565); }
};

// The whole load as the campaign battle does it, into real surfaces, with
// the loading screen drawn or not.
template <typename Progress = fw::NullLoadProgress>
void LoadMapWithPictures(benchmark::State& state, const std::string& map) {
  OpenSampleData();
  size_t buildings = 0;
  Progress progress;
  for (auto _ : state) {
    fw::BattleState w;
    fw::SurfacePictures pictures;
    if (!fw::LoadBattleWorld(w, pictures, progress, map)) std::abort();
    buildings = w.Builds.size();
    benchmark::DoNotOptimize(buildings);
  }
  state.counters["buildings"] = static_cast<double>(buildings);
}

}  // namespace fwbench
