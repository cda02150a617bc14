#pragma once
// What a player does in the factory of a network game, through the rules the
// factory's clicks call: buys a hull and a weapon and fits both.
#include "factory/rules/assembly.hpp"
#include "factory/rules/factory_rules.hpp"

namespace fwtest {

// False when a step was refused.
inline bool ShopForANetworkTank(fw::FactoryRules& rules) {
  auto buy = [&](const char* page, const char* name) {
    if (rules.ClickArea(page) != fw::FactoryRules::AreaResult::Opened) return false;
    auto& list = rules.Shops().ShopList;
    for (int32_t i = 1; i <= list.Count(); ++i)
      if (list.Item(i) == name) list.Click(i);
    return rules.Shops().Buy() && rules.CloseShop();
  };
  if (!buy("Tank", "Scout Tank") || !buy("Weap", "Pulse Laser")) return false;
  if (rules.ClickArea(fw::FactoryRules::kAssemblyPage) != fw::FactoryRules::AreaResult::Opened) return false;
  rules.Assembler().Fit(fw::Assembly::kWeapons, 1);
  return rules.CloseAssembly();
}

}  // namespace fwtest
