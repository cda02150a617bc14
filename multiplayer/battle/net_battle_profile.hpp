#pragma once
// The network battle's profile in the game: the current user's network
// statistics, the six profiles' save, and the joiner's factory visit with
// the game's money (the lobby's lending routine).
#include <functional>
#include <string>

#include "multiplayer/battle/game_modes.hpp"
#include "multiplayer/battle/net_battle.hpp"

namespace fw {

class UserNetProfile final : public NetBattleProfile {
 public:
  // money: what the factory visit lends (GameSetting.Money).
  explicit UserNetProfile(const GameSettingRecord& setting) : setting_(setting) {}
  std::string Name() override;
  void AddKill() override;
  void AddDeath() override;
  bool Save() override;
  NetResultBook& Results() override;
  // The first visit that builds no tank is answered with a notice and
  // another visit; leaving that one without a tank as well is the player's
  // Esc: the battle is left.
  Visit VisitFactory() override;
  void Notice(const std::string& text) override;

  // Where the screen shows a notice; the last one is kept either way.
  std::function<void(const std::string&)> ShowNotice;
  std::string LastNotice;

 private:
  const GameSettingRecord& setting_;
  std::unique_ptr<ProfileResultBook> book_;
  bool told_ = false;
};

}  // namespace fw
