#pragma once
// One visit of the factory as the rules see it: the hall, the five shops
// and the assembly screen, the ways between them and the ways out. The
// screen draws and routes clicks; every change to the player's money and
// equipment goes through here.
#include <string>

#include "data/users.hpp"
#include "factory/rules/assembly.hpp"
#include "factory/rules/catalogs.hpp"
#include "factory/rules/shop.hpp"

namespace fw {

class FactoryRules {
 public:
  // Hall areas and page states.
  static constexpr const char* kHall = "RUN";
  static constexpr const char* kAssemblyPage = "EQUTank";
  static constexpr const char* kExitArea = "EXITOUT";
  static constexpr const char* kLeft = "EXIT";
  // What the screen shows when a way is refused.
  static constexpr const char* kNeedTank = "Plesase purchase a tank first!";
  static constexpr const char* kOneTankNeeded = "One Tank Needed At Least!";

  FactoryRules(const FactoryCatalogs& catalogs, UsersClass& users);

  // "RUN" in the hall, the page's name on a page, "EXIT" once left.
  const std::string& State() const { return state_; }

  enum class AreaResult { Nothing, Opened, NeedTank, Left };
  // A left click on a hall area: a shop or the assembly screen opens (the
  // assembly only while the player owns or has fitted a hull), or the exit
  // area leaves the factory.
  AreaResult ClickArea(const std::string& area);

  Shop& Shops() { return shop_; }
  Assembly& Assembler() { return assembly_; }

  // A shop's EXIT button: back to the hall, except from the tank shop
  // without a hull (false: show kOneTankNeeded).
  bool CloseShop();
  // The assembly screen's EXIT button: back to the hall with the battle
  // tank rebuilt, unless the tank is overloaded (false: the screen stays).
  bool CloseAssembly();
  // Esc: a page closes as by its EXIT button, with the same checks; in the
  // hall it leaves the factory. False when the state did not change.
  bool Escape();
  // Every way out of the factory, however it is left: an open assembly is
  // taken as fitted, or as it was when it opened if the tank is
  // overloaded, and the battle tank is rebuilt from the fitted list.
  void Leave();

 private:
  const FactoryCatalogs& catalogs_;
  UsersClass& users_;
  Shop shop_;
  Assembly assembly_;
  std::string state_ = kHall;
};

}  // namespace fw
