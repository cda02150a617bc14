#include "factory/rules/factory_rules.hpp"

#include "factory/rules/combin_all.hpp"

namespace fw {

FactoryRules::FactoryRules(const FactoryCatalogs& catalogs, UsersClass& users)
    : catalogs_(catalogs), users_(users), shop_(catalogs, users), assembly_(catalogs, users) {}

FactoryRules::AreaResult FactoryRules::ClickArea(const std::string& area) {
  if (state_ != kHall) return AreaResult::Nothing;
  if (area == kExitArea) {
    Leave();
    return AreaResult::Left;
  }
  if (area == kAssemblyPage) {
    if (!GetEQUStyle(users_, kKindTank)) return AreaResult::NeedTank;
    assembly_.Open();
    state_ = kAssemblyPage;
    return AreaResult::Opened;
  }
  if (!shop_.Open(area)) return AreaResult::Nothing;
  state_ = area;
  return AreaResult::Opened;
}

bool FactoryRules::CloseShop() {
  if (state_ == kHall || state_ == kAssemblyPage || state_ == kLeft || !shop_.CanLeave()) return false;
  state_ = kHall;
  return true;
}

bool FactoryRules::CloseAssembly() {
  if (state_ != kAssemblyPage || !assembly_.Exit()) return false;
  CombinAll(catalogs_, users_);
  state_ = kHall;
  return true;
}

bool FactoryRules::Escape() {
  if (state_ == kHall) {
    Leave();
    return true;
  }
  // Esc closes the assembly screen as EXIT does, with the same weight
  // check, so no way off the screen skips it.
  if (state_ == kAssemblyPage) return CloseAssembly();
  return CloseShop();
}

void FactoryRules::Leave() {
  if (state_ == kAssemblyPage && !assembly_.Exit()) assembly_.Revert();
  // Whichever way the factory is left, the battle tank is built anew, so a
  // hull sold on this visit never goes into battle.
  CombinAll(catalogs_, users_);
  state_ = kLeft;
}

}  // namespace fw
