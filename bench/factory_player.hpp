#pragma once
// The player a factory benchmark visits with.
#include <cstdint>

#include "data/users.hpp"
#include "factory/rules/catalogs.hpp"

namespace fwbench {

// Profile 1 with the money given, a weapon owned and a hull fitted: what a
// factory visit needs to show every page.
inline void GiveFactoryPlayer(int32_t money) {
  fw::Users->NowUser = 1;
  fw::Users->NowItem()->Money = money;
  fw::Users->UserEQU->Add("", fw::kKindWeapon, "Pulse Laser", 0);
  fw::Users->NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
}

}  // namespace fwbench
