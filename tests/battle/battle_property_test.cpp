// Whole battles run headless: walls hold, indices stay inside the roster
// and follow their units, objectives are marked when destroyed, and the
// same seed and frame factors replay the same world.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "tests/battle/sim_world.hpp"
#include "tests/battle/world_data.hpp"

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

// Does the way from (x0, y0) over (x1, y1) to (x2, y2), in straight
// legs, pass a blocked cell other than the cells it starts and ends in?
bool PathBlocked(const BattleState& w, float x0, float y0, float x1, float y1, float x2, float y2) {
  const auto cell = [](float v) { return static_cast<int32_t>(std::floor(v / 20)); };
  const int32_t c0 = cell(x0), r0 = cell(y0), c2 = cell(x2), r2 = cell(y2);
  for (auto [ax, ay, bx, by] : {std::array<float, 4>{x0, y0, x1, y1}, std::array<float, 4>{x1, y1, x2, y2}}) {
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(bx - ax), std::fabs(by - ay)) / 2.0f)) + 1;
    for (int k = 0; k <= steps; ++k) {
      const int32_t c = cell(ax + (bx - ax) * k / steps), r = cell(ay + (by - ay) * k / steps);
      if ((c != c0 || r != r0) && (c != c2 || r != r2) && BlockedCell(w, c, r)) return true;
    }
  }
  return false;
}

// Units are followed by the number in their name ("u<n>").
int32_t Id(const BattleUnit& u) { return std::atoi(u.ClipID.c_str() + 1); }

struct Watch {
  std::vector<int32_t> landSide, buildSide;  // by unit number
  std::vector<int32_t> leaderOf;             // escort -> leader number, -1 none
  std::vector<bool> wasFree;                 // centre in a free cell last frame
  std::vector<std::pair<float, float>> centre;  // last frame's centre
  std::vector<std::pair<int32_t, int32_t>> objectiveUnit;        // position, unit number
  std::vector<std::pair<int32_t, std::string>> objectiveBuild;   // position, building key
  size_t startUnits = 0;
  bool rings = false;  // the world has the two rings of wall
  int64_t enteredBlocked = 0;
  float deepest = 0;  // how far past a blocked cell's edge a centre went
};

Watch StartWatching(const BattleState& w) {
  Watch watch;
  const size_t n = w.Units.size();
  watch.startUnits = n;
  watch.landSide.assign(n, 0);
  watch.buildSide.assign(n, 0);
  watch.leaderOf.assign(n, -1);
  watch.wasFree.assign(n, true);
  watch.centre.assign(n, {0.0f, 0.0f});
  for (const BattleUnit& u : w.Units) {
    const size_t id = static_cast<size_t>(Id(u));
    const int32_t c = CellOfCentre(u.PosX, u.CenterX), r = CellOfCentre(u.PosY, u.CenterY);
    watch.landSide[id] = RingSide(kLandRing, c, r);
    watch.buildSide[id] = RingSide(kBuildRing, c, r);
    watch.wasFree[id] = !BlockedCell(w, c, r);
    watch.centre[id] = {u.PosX + u.CenterX, u.PosY + u.CenterY};
    if (u.LeaderTank >= 0) watch.leaderOf[id] = Id(w.Units[static_cast<size_t>(u.LeaderTank)]);
  }
  for (size_t p = 1; p < w.ObjectiveUnits.size(); ++p)
    watch.objectiveUnit.emplace_back(static_cast<int32_t>(p), Id(w.Units[static_cast<size_t>(w.ObjectiveUnits[p])]));
  for (size_t p = 1; p < w.ObjectiveBuilds.size(); ++p)
    watch.objectiveBuild.emplace_back(static_cast<int32_t>(p), w.Builds[static_cast<size_t>(w.ObjectiveBuilds[p])].TypeKey);
  return watch;
}

// Checks the world after a frame; returns the first broken rule, "" when
// all hold.
std::string Check(const BattleState& w, Watch& watch) {
  const int32_t n = static_cast<int32_t>(w.Units.size());
  auto inRoster = [&](int32_t i) { return i >= -1 && i < n; };
  std::vector<bool> alive(watch.startUnits, false);
  for (const BattleUnit& u : w.Units) alive[static_cast<size_t>(Id(u))] = true;
  if (!inRoster(w.PlayerUnit) || !inRoster(w.PickedUnit) || !inRoster(w.HoveredUnit)) return "view index";
  for (const BattleUnit& u : w.Units) {
    const size_t id = static_cast<size_t>(Id(u));
    if (!inRoster(u.TargetTank) || !inRoster(u.LeaderTank)) return u.ClipID + " holds an index past the roster";
    const int32_t c = CellOfCentre(u.PosX, u.CenterX), r = CellOfCentre(u.PosY, u.CenterY);
    const struct {
      const int32_t* ring;
      std::vector<int32_t>& sides;
      const char* name;
    } rings[] = {{kLandRing, watch.landSide, "land"}, {kBuildRing, watch.buildSide, "building"}};
    for (const auto& g : rings) {
      if (!watch.rings) break;
      const int32_t side = RingSide(g.ring, c, r);
      int32_t& was = g.sides[id];
      if (side != 0 && was != 0 && side != was) return u.ClipID + " crossed the " + g.name + " ring";
      if (side != 0) was = side;
    }
    // Units move one axis at a time, so between last frame's centre and
    // this one's lies a way along x then y, or along y then x; at least one
    // of the two must keep clear of blocked cells between its ends.
    const auto [fx, fy] = watch.centre[id];
    const float tx = u.PosX + u.CenterX, ty = u.PosY + u.CenterY;
    if (PathBlocked(w, fx, fy, tx, fy, tx, ty) && PathBlocked(w, fx, fy, fx, ty, tx, ty))
      return u.ClipID + " passed through a blocked cell from (" + std::to_string(fx) + "," + std::to_string(fy) +
             ") to (" + std::to_string(tx) + "," + std::to_string(ty) + ")";
    watch.centre[id] = {tx, ty};
    const bool free = !BlockedCell(w, c, r);
    if (!free && watch.wasFree[id]) {
      ++watch.enteredBlocked;
      const float cx = tx - c * 20.0f, cy = ty - r * 20.0f;
      watch.deepest = std::max(watch.deepest, std::min({cx, 20.0f - cx, cy, 20.0f - cy}));
    }
    watch.wasFree[id] = free;
    const int32_t leader = watch.leaderOf[id];
    if (u.LeaderTank >= 0) {
      if (leader < 0 || Id(w.Units[static_cast<size_t>(u.LeaderTank)]) != leader) return u.ClipID + " escorts the wrong unit";
    } else if (leader >= 0 && alive[static_cast<size_t>(leader)]) {
      return u.ClipID + " lost a leader that lives";
    }
  }
  for (const WeaponSlot& s : w.Shots)
    if (!inRoster(s.FireTank) || !inRoster(s.TargetTank)) return "a shot holds an index past the roster";
  int32_t live = 0;
  for (const auto& [p, id] : watch.objectiveUnit) {
    const int32_t i = w.ObjectiveUnits[static_cast<size_t>(p)];
    const bool lives = alive[static_cast<size_t>(id)];
    if (i >= 0) ++live;
    if (i >= 0 && (i >= n || Id(w.Units[static_cast<size_t>(i)]) != id)) return "objective unit renumbered wrong";
    if (i < 0 && (i != -1 || lives)) return "objective unit marked dead while alive";
    if (i >= 0 && !lives) return "destroyed objective unit not marked";
  }
  if (static_cast<size_t>(n) < watch.startUnits && w.ObjectiveUnits[0] != live) return "live objective count";
  for (const auto& [p, key] : watch.objectiveBuild) {
    const int32_t i = w.ObjectiveBuilds[static_cast<size_t>(p)];
    bool standing = false;
    for (const BuildingInstance& b : w.Builds) standing = standing || b.TypeKey == key;
    if (i >= 0 && (static_cast<size_t>(i) >= w.Builds.size() || w.Builds[static_cast<size_t>(i)].TypeKey != key))
      return "objective building renumbered wrong";
    if (i < 0 && standing) return "standing objective building marked destroyed";
    if (i >= 0 && !standing) return "destroyed objective building not marked";
  }
  return "";
}

struct Tally {
  int64_t deaths = 0, buildingsDown = 0, wrecks = 0, entered = 0;
  float deepest = 0;
};

// Runs one battle frame by frame at factor 1, checking the rules after
// each frame.
void RunChecked(BattleState w, uint32_t seed, int32_t frames, Tally& t, bool rings) {
  const size_t units = w.Units.size(), builds = w.Builds.size();
  RecordingBattleOutput out;
  BattleRules rules;
  BattleEnv env{out, rules};
  Watch watch = StartWatching(w);
  watch.rings = rings;
  for (int32_t f = 0; f < frames; ++f) {
    RunHeadless(w, env, 1, [](int32_t) { return 1.0f; });
    const std::string broken = Check(w, watch);
    ASSERT_EQ(broken, "") << "seed " << seed << " frame " << f;
  }
  t.deaths += static_cast<int64_t>(units - w.Units.size());
  t.buildingsDown += static_cast<int64_t>(builds - w.Builds.size());
  t.wrecks += static_cast<int64_t>(out.Wrecks.size());
  t.entered += watch.enteredBlocked;
  t.deepest = std::max(t.deepest, watch.deepest);
}

void Report(const char* what, const Tally& t) {
  std::printf("%s: destroyed %lld units, %lld buildings; %lld steps into a blocked cell, at most %.2f px deep\n", what,
              static_cast<long long>(t.deaths), static_cast<long long>(t.buildingsDown),
              static_cast<long long>(t.entered), t.deepest);
}

// Closed rings of blocked land and of building cells, one cell thick: no
// unit gets from one side to the other.
TEST(BattlePropertyTest, RandomBattlesInsideAndOutsideRingsOfWall) {
  constexpr uint32_t kBattles = 100;
  Tally t;
  for (uint32_t seed = 0; seed < kBattles; ++seed) {
    simtest::FixedChance chance(seed * 7919u + 1u);
    // Every fifth battle is crowded enough for the steps to sort units
    // into cells.
    RunChecked(simtest::RandomBattle(seed, seed % 5 == 0 ? 64 : 24), seed, 250, t, true);
    if (HasFatalFailure()) return;
  }
  // The battles must actually fight, or the rules above prove nothing.
  EXPECT_GT(t.deaths, static_cast<int64_t>(kBattles));
  EXPECT_GT(t.buildingsDown, 0);
  EXPECT_GE(t.wrecks, t.deaths);
  // A centre may stand in a blocked cell only where the movement rules let
  // it (a diagonal step past a wall's corner) and never past the cell's
  // middle, so one cell of wall always holds.
  EXPECT_LE(t.deepest, 10.0f);
  Report("rings", t);
}

// Battles on the sample map: its river, its wall one cell thick, its rocks,
// buildings and drift areas.
TEST(BattlePropertyTest, RandomBattlesOnTheSampleMap) {
  constexpr uint32_t kBattles = 240;
  const BattleState& map = worldtest::SampleWorld();
  Tally t;
  for (uint32_t seed = 0; seed < kBattles; ++seed) {
    simtest::FixedChance chance(seed * 104729u + 7u);
    RunChecked(simtest::MapBattle(map, seed, 24), seed, 160, t, false);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(t.deaths, static_cast<int64_t>(kBattles / 4));
  EXPECT_LE(t.deepest, 10.0f);
  Report("map A", t);
}

TEST(BattleReplayTest, SameSeedAndFactorsGiveTheSameWorldAfter3000Frames) {
  auto run = [](RecordingBattleOutput& out) {
    simtest::FixedChance chance(2026);
    BattleState w = simtest::RandomBattle(17, 60, 8);  // a crowd: units found through cells
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
  EXPECT_LT(a.Units.size(), 60u);  // it was a battle
  // A different frame rhythm gives a different battle.
  RecordingBattleOutput outC;
  simtest::FixedChance chance(2026);
  BattleState c = simtest::RandomBattle(17, 60, 8);
  BattleRules rules;
  BattleEnv env{outC, rules};
  RunHeadless(c, env, 3000, [](int32_t) { return 1.0f; });
  EXPECT_FALSE(a == c);
}

}  // namespace
}  // namespace fw
