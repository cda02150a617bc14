#include "multiplayer/battle/game_modes.hpp"

#include <algorithm>
#include <cmath>

#include "data/tank.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {

constexpr int32_t kTerritoryWidth = 1280;
constexpr int32_t kTerritoryHeight = 960;
// A joiner's clock set further back than this would wrap the millisecond
// clock; no battle runs for weeks.
constexpr int32_t kMaxElapsed = 2000000;

// Position 1 is the own team, whatever its number: a record whose team is
// not 0 plays for team 1.
size_t TeamSlot(uint8_t team) { return team == 0 ? 0 : 1; }

// A point of the map, rounded as the runtime rounds, inside an inclusive
// rectangle; done in doubles so a position far off the map cannot overflow.
bool Inside(float x, float y, const RECT& r) {
  const double px = plat::RoundHalfEven(x);
  const double py = plat::RoundHalfEven(y);
  return r.Left <= px && px <= r.Right && r.Top <= py && py <= r.Bottom;
}

// Score modes rank by Score, territory modes by HeldTime. A place counts as a
// win only strictly above every other player: a tie at the top is no win.
bool AloneOnTop(const std::vector<PlayerRecord>& players, GameMode mode) {
  if (players.empty()) return false;
  const bool byTime = IsTerritoryMode(mode);
  const PlayerRecord& own = players[0];
  for (size_t i = 1; i < players.size(); ++i) {
    const bool below = byTime ? players[i].HeldTime < own.HeldTime : players[i].Score < own.Score;
    if (!below) return false;
  }
  return true;
}

}  // namespace

GameMode ModeOf(std::string_view modeName) {
  if (modeName == kModeDeathBattle) return GameMode::DeathBattle;
  if (modeName == kModeTerritory) return GameMode::Territory;
  if (modeName == kModeGroupBattle) return GameMode::GroupBattle;
  if (modeName == kModeGroupTerritory) return GameMode::GroupTerritory;
  if (modeName == kModeBaseDefensing) return GameMode::BaseDefensing;
  return GameMode::Other;
}

bool IsTeamMode(GameMode mode) {
  return mode == GameMode::GroupBattle || mode == GameMode::GroupTerritory || mode == GameMode::BaseDefensing;
}

bool IsTerritoryMode(GameMode mode) { return mode == GameMode::Territory || mode == GameMode::GroupTerritory; }

RECT TerritoryFor(int32_t mapWidth, int32_t mapHeight) {
  const int32_t w = std::clamp(mapWidth, 0, kTerritoryWidth);
  const int32_t h = std::clamp(mapHeight, 0, kTerritoryHeight);
  RECT r{};
  r.Left = (std::max(mapWidth, 0) - w) / 2;
  r.Top = (std::max(mapHeight, 0) - h) / 2;
  r.Right = r.Left + w;
  r.Bottom = r.Top + h;
  return r;
}

int32_t GetBuildIndex(const BattleState& world, int32_t number) {
  for (size_t i = 0; i < world.Builds.size(); ++i) {
    if (LeadingNumber(world.Builds[i].TypeKey) == number) return static_cast<int32_t>(i);
  }
  return -1;
}

std::string RemainingTimeText(int32_t limTimeMinutes, int32_t battleTime) {
  const int64_t remaining = std::max<int64_t>(int64_t{limTimeMinutes} * 60 - battleTime, 0);
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  return " " + std::to_string(remaining / 60) + ":" + std::to_string(remaining % 60);
  FW_LIBRARY_FALSE_ALARM_END
}

SideScores FromOwnSide(const PlayerTable& table) {
  const size_t own = TeamSlot(table.Players.empty() ? 0 : table.Players[0].Team);
  return SideScores{table.TeamScore[own], table.TeamScore[1 - own]};
}

void BookNetKill(SingleUser& profile) {
  if (profile.mKill < INT32_MAX) ++profile.mKill;
}

void BookNetDeath(SingleUser& profile) {
  if (profile.mDeath < INT32_MAX) ++profile.mDeath;
}

void BookNetResult(SingleUser& profile, bool won) {
  int32_t& count = won ? profile.mWon : profile.mLost;
  if (count < INT32_MAX) ++count;
}

namespace {

// One frame of the modes, over the world, the table and the settings.
class ModeStep {
 public:
  ModeStep(GameModeState& s, const BattleState& world, PlayerTable& table, const GameSettingRecord& setting,
           NetResultBook& book)
      : s_(s), world_(world), table_(table), setting_(setting), book_(book), now_(plat::timeGetTime()) {}

  void Run() {
    const GameMode mode = ModeOf(setting_.ModeName);
    switch (mode) {
      case GameMode::DeathBattle:
      case GameMode::GroupBattle:
        ScoreModes(mode);
        break;
      case GameMode::Territory:
      case GameMode::GroupTerritory:
        HoldTerritory();
        if (mode == GameMode::GroupTerritory) TeamHeldTimes();
        table_.SortPlayerByTime();
        if (TimeUp()) {
          End(mode);
          s_.TimeText = RemainingTimeText(setting_.LimTime, s_.BattleTime);
        }
        break;
      case GameMode::BaseDefensing:
        BaseStep();
        break;
      case GameMode::Other:
        break;
    }
    s_.LastStep = now_;
  }

 private:
  void ScoreModes(GameMode mode) {
    // The ranking follows the live table even when a player left since the
    // last score message.
    table_.SortPlayer();
    if (mode == GameMode::GroupBattle) table_.TeamScore[2] = 1;
    if (setting_.WinRule == 0) {
      if (TimeUp()) End(mode);
      s_.TimeText = RemainingTimeText(setting_.LimTime, s_.BattleTime);
      return;
    }
    const bool reached = mode == GameMode::DeathBattle
                             ? !table_.SortedPlayers.empty() && table_.SortedPlayers[0].Score >= setting_.LimTank
                             : std::max(table_.TeamScore[0], table_.TeamScore[1]) >= setting_.LimTank;
    if (reached) End(mode);
  }

  bool TimeUp() {
    // Unsigned difference: right across the clock's wrap as across midnight.
    s_.BattleTime = static_cast<int32_t>((now_ - s_.ClockStart) / 1000u);
    return int64_t{s_.BattleTime} >= int64_t{setting_.LimTime} * 60;
  }

  // Only the own player's time is counted here, on the clock; every other
  // player's comes from its owner's score messages, so all machines agree.
  void HoldTerritory() {
    s_.TerritoryRect = TerritoryFor(world_.MapWidth, world_.MapHeight);
    if (table_.Players.empty()) return;
    PlayerRecord& own = table_.Players[0];
    const uint32_t held = now_ - s_.LastStep.value_or(now_);
    // A clock set back (only a test does that) adds nothing.
    if (held >= 0x80000000u) return;
    if (own.TankID < 0 || static_cast<size_t>(own.TankID) >= world_.Units.size()) return;
    const BattleUnit& unit = world_.Units[static_cast<size_t>(own.TankID)];
    if (Inside(unit.PosX, unit.PosY, s_.TerritoryRect)) own.HeldTime += static_cast<float>(held / 1000.0);
  }

  void TeamHeldTimes() {
    std::array<int32_t, 3>& totals = table_.TeamScore;
    totals[2] = 1;
    totals[0] = 0;
    totals[1] = 0;
    for (const PlayerRecord& p : table_.Players) {
      int32_t& total = totals[TeamSlot(p.Team)];
      total = SaturatedLong(static_cast<double>(total) + p.HeldTime);
    }
  }

  void BaseStep() {
    const int64_t upper = static_cast<int64_t>(world_.Builds.size()) - 1;
    const uint8_t ownTeam = table_.Players.empty() ? 0 : table_.Players[0].Team;
    if (!s_.BaseBuildCount) {
      table_.TeamScore[2] = 1;
      const int32_t enemy = GetBuildIndex(world_, ownTeam != 0 ? kTeam0Base : kTeam1Base);
      if (enemy >= 0) {
        s_.EnemyBaseX = world_.Builds[static_cast<size_t>(enemy)].X;
        s_.EnemyBaseY = world_.Builds[static_cast<size_t>(enemy)].Y;
      }
      s_.BaseBuildCount = upper;
    }
    if (upper == *s_.BaseBuildCount) return;
    // Team 1's base gone: team 0 has won; else team 0's base gone: team 1 has.
    if (GetBuildIndex(world_, kTeam1Base) < 0) {
      End(GameMode::BaseDefensing, ownTeam == 0);
    } else if (GetBuildIndex(world_, kTeam0Base) < 0) {
      End(GameMode::BaseDefensing, ownTeam != 0);
    }
  }

  void End(GameMode mode, std::optional<bool> baseResult = std::nullopt) {
    // Score ranks are taken afresh: a player may have left since the last
    // score message. Territory modes ranked themselves this frame.
    if (!IsTerritoryMode(mode)) table_.SortPlayer();
    s_.Ended = true;
    s_.Frozen = table_;
    if (baseResult) {
      s_.Won = *baseResult;
    } else if (mode == GameMode::GroupBattle) {
      const SideScores sides = FromOwnSide(s_.Frozen);
      s_.Won = sides.Allied > sides.Enemy;
    } else {
      // "Group Territy Hegemonist" too: its result is the player's own.
      s_.Won = AloneOnTop(s_.Frozen.Players, mode);
    }
    book_.Book(s_.Won);
  }

  GameModeState& s_;
  const BattleState& world_;
  PlayerTable& table_;
  const GameSettingRecord& setting_;
  NetResultBook& book_;
  const uint32_t now_;
};

}  // namespace

void StartClock(GameModeState& s, int32_t elapsed) {
  const uint32_t ms = static_cast<uint32_t>(std::clamp(elapsed, 0, kMaxElapsed)) * 1000u;
  s.ClockStart = plat::timeGetTime() - ms;
  s.ClockStarted = true;
}

void WinState(GameModeState& s, const BattleState& world, PlayerTable& table, const GameSettingRecord& setting,
              int32_t elapsed, NetResultBook& book) {
  if (elapsed != 0) {
    StartClock(s, elapsed);
    return;
  }
  if (s.Ended) return;
  if (!s.ClockStarted) {
    s.ClockStart = plat::timeGetTime();
    s.ClockStarted = true;
  }
  ModeStep(s, world, table, setting, book).Run();
}

void ResumeAfterHold(GameModeState& s) { s.LastStep = plat::timeGetTime(); }

}  // namespace fw
