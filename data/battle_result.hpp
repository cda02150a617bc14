#pragma once
// The result of the last battle that the end screen shows: written by the
// battle and its missions' result stage before they open the end screen,
// read by the end screen, which sits above them.
#include <cstdint>

namespace fw {

struct BattleResult {
  int32_t MisIndex = 0;    // the mission played, 1 to 20
  bool WinState = false;   // the battle counts as won
  bool Multiplay = false;  // a network battle: the end screen shows no texts
};

extern BattleResult EndResult;

}  // namespace fw
