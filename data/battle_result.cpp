#include "data/battle_result.hpp"

namespace fw {
BattleResult EndResult;
}  // namespace fw
