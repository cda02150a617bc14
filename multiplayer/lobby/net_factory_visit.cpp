#include "multiplayer/lobby/net_factory_visit.hpp"

#include <memory>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"

namespace fw {

Lazy<MapIndexClass> NetEQU;
std::function<void()> RunNetFactory = [] { RunNestedScreen(ScreenState::Factory); };

namespace {

// The profile's own belongings while the visit borrows the profile. The
// lists and the tank are moved aside as they are, not copied entry by entry,
// so every field of every entry comes back untouched; the destructor puts
// them back on every way out, an exception from the factory included.
class LentProfile {
 public:
  explicit LentProfile(int32_t money) : user_(Users->NowItem()), ownMoney_(user_->Money) {
    ownOwned_ = Users->UserEQU.Shared();
    ownFitted_ = Users->NowEQU.Shared();
    ownTank_ = Users->NowTank.Shared();
    // NetUsers shows the set-aside lists to anyone who looks during the visit.
    NetUsers->UserEQU.Set(ownOwned_);
    NetUsers->NowEQU.Set(ownFitted_);
    Users->UserEQU.Set(std::make_shared<MapIndexClass>());
    Users->NowEQU.Set(std::make_shared<MapIndexClass>());
    Users->NowTank.Set(std::make_shared<Tank>());
    user_->Money = money;
  }
  ~LentProfile() {
    user_->Money = ownMoney_;
    Users->UserEQU.Set(ownOwned_);
    Users->NowEQU.Set(ownFitted_);
    Users->NowTank.Set(ownTank_);
  }
  LentProfile(const LentProfile&) = delete;
  LentProfile& operator=(const LentProfile&) = delete;

 private:
  std::shared_ptr<SingleUser> user_;
  int32_t ownMoney_;
  std::shared_ptr<MapIndexClass> ownOwned_, ownFitted_;
  std::shared_ptr<Tank> ownTank_;
};

}  // namespace

bool NetFactoryVisit(int32_t money) {
  const int32_t state = GameState;
  {
    LentProfile lent(money);
    // What the factory holds when it is left is borrowed: it must not reach
    // the player's files.
    FactoryGoodsSavingScope noSaving(GoodsSaving::Nothing);
    try {
      if (RunNetFactory) RunNetFactory();
    } catch (...) {
      GameState = state;
      throw;
    }
    NetTank.Set(Users->NowTank.Shared());
    NetEQU.Set(Users->NowEQU.Shared());
  }
  GameState = state;
  return !NetTank->Key.empty();
}

}  // namespace fw
