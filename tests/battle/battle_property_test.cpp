// Whole battles run headless: walls hold, indices stay inside the roster
// and follow their units, objectives are marked when destroyed, and the
// same seed and frame factors replay the same world.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/battle/sim_world.hpp"

namespace fw {
namespace {

using simtest::kBuildRing;
using simtest::kLandRing;
using simtest::RingSide;

int32_t CellOfCentre(float pos, float centre) { return static_cast<int32_t>(std::floor((pos + centre) / 20.0f)); }

bool BlockedCell(const BattleState& w, int32_t c, int32_t r) {
  if (!BattleState::InGrid(c, r)) return false;
  const size_t k = static_cast<size_t>(BattleState::CellIndex(c, r));
  return w.LandMask[k] == kBlockedLand || w.BuildMask[k] > 0;
}

struct Watch {
  std::map<std::string, int32_t> landSide, buildSide;  // by unit name
  std::map<std::string, std::string> leaderOf;         // escort -> leader name
  std::map<int32_t, std::string> objectiveUnit;        // position -> unit name
  std::map<int32_t, std::string> objectiveBuild;       // position -> building key
  std::map<std::string, bool> wasFree;                 // centre in a free cell last frame
  int64_t enteredBlocked = 0;
  float deepest = 0;  // how far past a blocked cell's edge a centre went
};

Watch StartWatching(const BattleState& w) {
  Watch watch;
  for (const BattleUnit& u : w.Units) {
    const int32_t c = CellOfCentre(u.PosX, u.CenterX), r = CellOfCentre(u.PosY, u.CenterY);
    watch.landSide[u.ClipID] = RingSide(kLandRing, c, r);
    watch.buildSide[u.ClipID] = RingSide(kBuildRing, c, r);
    watch.wasFree[u.ClipID] = !BlockedCell(w, c, r);
    if (u.LeaderTank >= 0) watch.leaderOf[u.ClipID] = w.Units[static_cast<size_t>(u.LeaderTank)].ClipID;
  }
  for (size_t p = 1; p < w.ObjectiveUnits.size(); ++p)
    watch.objectiveUnit[static_cast<int32_t>(p)] = w.Units[static_cast<size_t>(w.ObjectiveUnits[p])].ClipID;
  for (size_t p = 1; p < w.ObjectiveBuilds.size(); ++p)
    watch.objectiveBuild[static_cast<int32_t>(p)] = w.Builds[static_cast<size_t>(w.ObjectiveBuilds[p])].TypeKey;
  return watch;
}

// Checks the world after a frame; returns the first broken rule, "" when
// all hold.
std::string Check(const BattleState& w, Watch& watch) {
  const int32_t n = static_cast<int32_t>(w.Units.size());
  auto inRoster = [&](int32_t i) { return i >= -1 && i < n; };
  std::set<std::string> alive;
  for (const BattleUnit& u : w.Units) alive.insert(u.ClipID);
  if (!inRoster(w.PlayerUnit) || !inRoster(w.PickedUnit) || !inRoster(w.HoveredUnit)) return "view index";
  for (const BattleUnit& u : w.Units) {
    if (!inRoster(u.TargetTank) || !inRoster(u.LeaderTank)) return u.ClipID + " holds an index past the roster";
    const int32_t c = CellOfCentre(u.PosX, u.CenterX), r = CellOfCentre(u.PosY, u.CenterY);
    for (auto [ring, sides, name] : {std::tuple{kLandRing, &watch.landSide, "land"},
                                     std::tuple{kBuildRing, &watch.buildSide, "building"}}) {
      const int32_t side = RingSide(ring, c, r);
      int32_t& was = (*sides)[u.ClipID];
      if (side != 0 && was != 0 && side != was) return u.ClipID + " crossed the " + name + " ring";
      if (side != 0) was = side;
    }
    const bool free = !BlockedCell(w, c, r);
    if (!free && watch.wasFree[u.ClipID]) {
      ++watch.enteredBlocked;
      const float cx = u.PosX + u.CenterX - c * 20.0f, cy = u.PosY + u.CenterY - r * 20.0f;
      watch.deepest = std::max(watch.deepest, std::min({cx, 20.0f - cx, cy, 20.0f - cy}));
    }
    watch.wasFree[u.ClipID] = free;
    if (u.LeaderTank >= 0) {
      auto it = watch.leaderOf.find(u.ClipID);
      if (it == watch.leaderOf.end() || w.Units[static_cast<size_t>(u.LeaderTank)].ClipID != it->second)
        return u.ClipID + " escorts the wrong unit";
    } else if (watch.leaderOf.count(u.ClipID) && alive.count(watch.leaderOf[u.ClipID])) {
      return u.ClipID + " lost a leader that lives";
    }
  }
  for (const WeaponSlot& s : w.Shots)
    if (!inRoster(s.FireTank) || !inRoster(s.TargetTank)) return "a shot holds an index past the roster";
  int32_t live = 0;
  for (const auto& [p, name] : watch.objectiveUnit) {
    const int32_t i = w.ObjectiveUnits[static_cast<size_t>(p)];
    if (i >= 0) ++live;
    if (i >= 0 && (i >= n || w.Units[static_cast<size_t>(i)].ClipID != name)) return "objective unit renumbered wrong";
    if (i < 0 && (i != -1 || alive.count(name))) return "objective unit " + name + " marked dead while alive";
    if (i >= 0 && !alive.count(name)) return "destroyed objective unit not marked";
  }
  if (alive.size() < watch.landSide.size() && w.ObjectiveUnits[0] != live) return "live objective count";
  std::set<std::string> standing;
  for (const BuildingInstance& b : w.Builds) standing.insert(b.TypeKey);
  for (const auto& [p, key] : watch.objectiveBuild) {
    const int32_t i = w.ObjectiveBuilds[static_cast<size_t>(p)];
    if (i >= 0 && (static_cast<size_t>(i) >= w.Builds.size() || w.Builds[static_cast<size_t>(i)].TypeKey != key))
      return "objective building renumbered wrong";
    if (i < 0 && standing.count(key)) return "standing objective building marked destroyed";
    if (i >= 0 && !standing.count(key)) return "destroyed objective building not marked";
  }
  return "";
}

TEST(BattlePropertyTest, RandomBattlesKeepWallsIndicesAndObjectives) {
  constexpr uint32_t kBattles = 300;
  constexpr int32_t kFrames = 400;
  int64_t deaths = 0, wrecks = 0, entered = 0, buildingsDown = 0;
  float deepest = 0;
  for (uint32_t seed = 0; seed < kBattles; ++seed) {
    simtest::FixedChance chance(seed * 7919u + 1u);
    BattleState w = simtest::RandomBattle(seed);
    const size_t units = w.Units.size(), builds = w.Builds.size();
    RecordingBattleOutput out;
    BattleRules rules;
    BattleEnv env{out, rules};
    Watch watch = StartWatching(w);
    for (int32_t f = 0; f < kFrames; ++f) {
      RunHeadless(w, env, 1, [](int32_t) { return 1.0f; });
      const std::string broken = Check(w, watch);
      ASSERT_EQ(broken, "") << "seed " << seed << " frame " << f;
    }
    deaths += static_cast<int64_t>(units - w.Units.size());
    buildingsDown += static_cast<int64_t>(builds - w.Builds.size());
    wrecks += static_cast<int64_t>(out.Wrecks.size());
    entered += watch.enteredBlocked;
    deepest = std::max(deepest, watch.deepest);
  }
  // The battles must actually fight, or the rules above prove nothing.
  EXPECT_GT(deaths, static_cast<int64_t>(kBattles));
  EXPECT_GT(buildingsDown, 0);
  EXPECT_GE(wrecks, deaths);
  // A centre may stand in a blocked cell only where the movement rules let
  // it (a diagonal step past a wall's corner) and never more than half a
  // cell deep, so one cell of wall always holds.
  EXPECT_LE(deepest, 10.0f);
  RecordProperty("units_destroyed", static_cast<int>(deaths));
  RecordProperty("centres_into_blocked_cells", static_cast<int>(entered));
  std::printf("destroyed %lld units, %lld buildings; %lld steps into a blocked cell, at most %.2f px deep\n",
              static_cast<long long>(deaths), static_cast<long long>(buildingsDown), static_cast<long long>(entered),
              deepest);
}

TEST(BattleReplayTest, SameSeedAndFactorsGiveTheSameWorldAfter3000Frames) {
  auto run = [](RecordingBattleOutput& out) {
    simtest::FixedChance chance(2026);
    BattleState w = simtest::RandomBattle(17, 40, 8);
    BattleRules rules;
    BattleEnv env{out, rules};
    // Uneven frames, as a real loop has them.
    RunHeadless(w, env, 3000, [](int32_t f) { return 0.5f + static_cast<float>((f * 37) % 11) / 7.0f; });
    return w;
  };
  RecordingBattleOutput outA, outB;
  const BattleState a = run(outA);
  const BattleState b = run(outB);
  EXPECT_TRUE(a == b);
  EXPECT_EQ(outA.EffectSounds, outB.EffectSounds);
  EXPECT_EQ(outA.Wrecks, outB.Wrecks);
  EXPECT_LT(a.Units.size(), 40u);  // it was a battle
  // A different frame rhythm gives a different battle.
  RecordingBattleOutput outC;
  simtest::FixedChance chance(2026);
  BattleState c = simtest::RandomBattle(17, 40, 8);
  BattleRules rules;
  BattleEnv env{outC, rules};
  RunHeadless(c, env, 3000, [](int32_t) { return 1.0f; });
  EXPECT_FALSE(a == c);
}

}  // namespace
}  // namespace fw
