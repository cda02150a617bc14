#pragma once
// The network battle's five game modes and their win rules. Once a frame the
// battle calls WinState(0): it runs the battle clock, keeps the mode's
// running totals (held territory time, team totals, the two bases), decides
// whether the battle is over and, when it is, freezes the ranking and the
// team totals and books the result from that frozen copy; the battle then
// shows its end screen and leaves its loop. Each machine decides by itself from its own copy
// of scores, held times and buildings.
//
// All timing is on the game's monotonic clock (plat::timeGetTime), which
// tests fix and move.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "battle/battle_state.hpp"
#include "data/users.hpp"
#include "engine/rects.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/battle/player_table.hpp"

namespace fw {

inline constexpr const char* kModeDeathBattle = "Death Battle";
inline constexpr const char* kModeTerritory = "Territy Hegemonist";
inline constexpr const char* kModeGroupBattle = "Group Life-and-Death Battle";
inline constexpr const char* kModeGroupTerritory = "Group Territy Hegemonist";
inline constexpr const char* kModeBaseDefensing = "Base Defensing";

enum class GameMode { Other, DeathBattle, Territory, GroupBattle, GroupTerritory, BaseDefensing };
// By the exact name; any other text is Other, which only runs the clock.
GameMode ModeOf(std::string_view modeName);
// The three modes played in two teams.
bool IsTeamMode(GameMode mode);
// The modes ranked by time held in the territory.
bool IsTerritoryMode(GameMode mode);

// The territory: a 1280 x 960 block in the middle of the map, edges
// inclusive (1920, 1440, 3200, 2400 on a 5120 x 3840 map); on a smaller map
// the block shrinks to fit and stays in the middle.
RECT TerritoryFor(int32_t mapWidth, int32_t mapHeight);

// The index of the first building whose type key reads as the number; -1
// when none.
int32_t GetBuildIndex(const BattleState& world, int32_t number);

// The remaining time "m:s" of a time-limited battle: minutes with the
// runtime's leading blank, seconds plain (19 minutes 5 seconds read " 19:5").
// A battle past its limit reads " 0:0".
std::string RemainingTimeText(int32_t limTimeMinutes, int32_t battleTime);

// Team totals as the own player sees them: its own team's and the other's.
struct SideScores {
  int32_t Allied = 0;
  int32_t Enemy = 0;
};
SideScores FromOwnSide(const PlayerTable& table);

// Where a battle's result goes: the profile in the game, a recorder in tests.
class NetResultBook {
 public:
  virtual ~NetResultBook() = default;
  virtual void Book(bool won) = 0;
};

// The profile's network statistics (mWon, mLost, mKill, mDeath), each held
// within a Long.
void BookNetKill(SingleUser& profile);
void BookNetDeath(SingleUser& profile);
void BookNetResult(SingleUser& profile, bool won);

// Books a result into one profile.
class ProfileResultBook final : public NetResultBook {
 public:
  explicit ProfileResultBook(SingleUser& profile) : profile_(profile) {}
  void Book(bool won) override { BookNetResult(profile_, won); }

 private:
  SingleUser& profile_;
};

// The modes' state of one battle: zero when the battle screen is made.
struct GameModeState {
  int32_t BattleTime = 0;  // whole seconds since the battle clock started
  std::string TimeText;    // remaining time, for the time rule
  RECT TerritoryRect{};
  int32_t EnemyBaseX = 0;  // (0, 0): no mark on the radar
  int32_t EnemyBaseY = 0;
  bool ClockStarted = false;
  uint32_t ClockStart = 0;  // plat::timeGetTime of the clock's start
  // The last mode step (or the end of a hold), for the territory time.
  std::optional<uint32_t> LastStep;
  std::optional<int64_t> BaseBuildCount;  // the upper bound of Builds when "Base Defensing" began
  // Set once, in the frame the battle ends, and never changed after: the end
  // screen shows Frozen (ranking, team totals, team-game flag) and the result
  // was booked from it, whatever messages arrive later.
  bool Ended = false;
  bool Won = false;
  PlayerTable Frozen;
};

// elapsed non-zero: the clock reads that many seconds now (a joiner takes the
// host's time) and nothing else runs. 0: the frame's mode step; when the
// battle ends there, the result is frozen and booked once, and the caller
// leaves its loop after showing the end screen. Once ended, nothing more.
void WinState(GameModeState& s, const BattleState& world, PlayerTable& table, const GameSettingRecord& setting,
              int32_t elapsed, NetResultBook& book);
// The clock reads `elapsed` seconds now, whatever it read before; 0 starts
// it afresh. A joiner starts it so when the host's settings arrive, even in
// the host's first second.
void StartClock(GameModeState& s, int32_t elapsed);
// After the loop was held (exit question, end screen): the held stretch adds
// no territory time.
void ResumeAfterHold(GameModeState& s);

}  // namespace fw
