#include "multiplayer/game_modes.hpp"

#include "platform/runtime/clock.hpp"

namespace fw {

void WinState(GameModeState& s, const BattleState&, PlayerTable& table, const GameSettingRecord& setting,
              int32_t elapsed, NetResultBook& book) {
  const uint32_t now = plat::timeGetTime();
  if (elapsed != 0) {
    s.ClockStart = now - static_cast<uint32_t>(elapsed) * 1000u;
    s.ClockStarted = true;
    return;
  }
  if (!s.ClockStarted) {
    s.ClockStart = now;
    s.ClockStarted = true;
  }
  if (s.Ended) return;
  s.BattleTime = static_cast<int32_t>((now - s.ClockStart) / 1000u);
  const bool team = setting.ModeName == "Group Life-and-Death Battle";
  if (!team && setting.ModeName != "Death Battle") return;
  table.SortPlayer();
  const bool byTime = setting.WinRule == 0;
  bool end = byTime && s.BattleTime >= setting.LimTime * 60;
  if (!byTime) {
    if (team) end = table.TeamScore[0] >= setting.LimTank || table.TeamScore[1] >= setting.LimTank;
    else end = table.SortedPlayers[0].Score >= setting.LimTank;
  }
  if (!end) return;
  s.Ended = true;
  s.Frozen = table;
  const PlayerRecord& own = table.Players[0];
  if (team) {
    const int32_t mine = table.TeamScore[own.Team == 0 ? 0 : 1], theirs = table.TeamScore[own.Team == 0 ? 1 : 0];
    s.Won = mine > theirs;
  } else {
    s.Won = true;
    for (const PlayerRecord& p : table.Players)
      if (p.PlayerID != own.PlayerID && p.Score >= own.Score) s.Won = false;
  }
  book.Book(s.Won);
}

}  // namespace fw
