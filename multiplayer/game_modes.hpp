#pragma once
// Stand-in until the game modes of the network game land: the battle clock
// and the end of the two battle modes, booked once.
#include <cstdint>
#include <string>

#include "battle/battle_state.hpp"
#include "multiplayer/game_setting.hpp"
#include "multiplayer/player_table.hpp"

namespace fw {

class NetResultBook {
 public:
  virtual ~NetResultBook() = default;
  virtual void Book(bool won) = 0;
};

struct GameModeState {
  int32_t BattleTime = 0;
  std::string TimeText;
  RECT TerritoryRect{};
  int32_t EnemyBaseX = 0, EnemyBaseY = 0;
  bool ClockStarted = false;
  uint32_t ClockStart = 0;
  bool Ended = false;
  bool Won = false;
  PlayerTable Frozen;
};

void WinState(GameModeState& s, const BattleState& world, PlayerTable& table, const GameSettingRecord& setting,
              int32_t elapsed, NetResultBook& book);

}  // namespace fw
