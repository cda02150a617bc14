#include "multiplayer/battle/net_battle_profile.hpp"

#include "data/users.hpp"
#include "multiplayer/lobby/net_factory_visit.hpp"

namespace fw {

std::string UserNetProfile::Name() { return Users->NowItem()->Name; }

void UserNetProfile::AddKill() { BookNetKill(*Users->NowItem()); }

void UserNetProfile::AddDeath() { BookNetDeath(*Users->NowItem()); }

bool UserNetProfile::Save() { return Users->SaveUser(); }

NetResultBook& UserNetProfile::Results() {
  if (!book_) book_ = std::make_unique<ProfileResultBook>(*Users->NowItem());
  return *book_;
}

NetBattleProfile::Visit UserNetProfile::VisitFactory() {
  Visit v;
  if (NetFactoryVisit(setting_.Money) && NetTank.Exists()) {
    v.Armed = *NetTank;
    told_ = false;
    return v;
  }
  v.Escaped = told_;
  return v;
}

void UserNetProfile::Notice(const std::string& text) {
  told_ = true;
  LastNotice = text;
  if (ShowNotice) ShowNotice(text);
}

}  // namespace fw
