#include "factory/rules/shop.hpp"

#include <limits>

#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {

struct PageKind {
  const char* page;
  int32_t kind;
  const char* word;  // the catalogue entries listed: names holding it
};

constexpr PageKind kPages[] = {{"Weap", kKindWeapon, ""},
                               {"Eng", kKindEngine, "Engine"},
                               {"Shd", kKindShield, "Shield"},
                               {"ReA", kKindReactor, "Reactor"},
                               {"Tank", kKindTank, "Tank"}};

}  // namespace

Shop::Shop(const FactoryCatalogs& catalogs, UsersClass& users) : catalogs_(catalogs), users_(users) {}

bool Shop::Open(const std::string& page) {
  const PageKind* found = nullptr;
  for (const auto& p : kPages)
    if (page == p.page) found = &p;
  if (!found) return false;
  page_ = found->page;
  kind_ = found->kind;
  ShopList.RemoveAll();
  ShopList.SelectedItem = 0;
  if (kind_ == kKindWeapon) {
    for (const auto& w : catalogs_.WeaponCatalog) ShopList.Add(w->Key);
  } else {
    // The shelves sort by the word as written; the catalogue reader's kind
    // test ignores case, so an oddly written name has values but no shelf.
    for (const auto& t : catalogs_.EquipmentCatalog)
      if (t->Key.find(found->word) != std::string::npos) ShopList.Add(t->Key);
  }
  OwnedList.RemoveAll();
  for (const auto& item : *users_.UserEQU)
    if (item->Index == kind_) OwnedList.Add(item->ID);
  // A row chosen on an earlier visit, perhaps of another shop, must not be
  // what SELL takes before the player picks one here.
  OwnedList.SelectedItem = 0;
  return true;
}

bool Shop::Price(const std::string& name, int64_t& price) const {
  double p = 0;
  if (!catalogs_.Price(kind_, name, p)) return false;
  // The equipment catalogue keeps prices as Singles; the money changes by
  // the nearest whole number.
  price = static_cast<int64_t>(plat::RoundHalfEven(p));
  return true;
}

bool Shop::Buy() {
  if (ShopList.SelectedItem < 1 || ShopList.SelectedItem > ShopList.Count()) return false;
  const std::string name = ShopList.Item(ShopList.SelectedItem);
  int64_t price = 0;
  if (!Price(name, price)) return false;
  SingleUser& user = *users_.NowItem();
  if (user.Money < price) return false;
  users_.UserEQU->Add("", kind_, name, 0);
  user.Money = static_cast<int32_t>(user.Money - price);
  OwnedList.Add(name);
  return true;
}

bool Shop::Sell() {
  if (OwnedList.SelectedItem < 1 || OwnedList.SelectedItem > OwnedList.Count()) return false;
  const std::string name = OwnedList.Item(OwnedList.SelectedItem);
  int64_t price = 0;
  if (!Price(name, price)) return false;
  SingleUser& user = *users_.NowItem();
  if (user.Money + price > std::numeric_limits<int32_t>::max()) return false;
  // Only an item of this shop's kind is sold: a weapon and a shield may
  // share a name.
  MapIndexClass& owned = *users_.UserEQU;
  int32_t at = 0;
  for (int32_t i = 1; i <= owned.Count() && at == 0; ++i)
    if (owned.Item(i)->Index == kind_ && owned.Item(i)->ID == name) at = i;
  if (at == 0) return false;
  owned.Remove(at);
  user.Money = static_cast<int32_t>(user.Money + price);
  if (kind_ == kKindTank) {
    // The fitted hull is one of the owned ones: it goes only with the last
    // owned hull of its name, so selling a spare keeps the tank as fitted.
    bool stillOwned = false;
    for (const auto& item : owned) stillOwned = stillOwned || (item->Index == kKindTank && item->ID == name);
    MapIndexClass& fitted = *users_.NowEQU;
    for (int32_t i = fitted.Count(); i >= 1 && !stillOwned; --i)
      if (fitted.Item(i)->Index == kKindTank && fitted.Item(i)->ID == name) fitted.Remove(i);
  }
  OwnedList.Remove(OwnedList.SelectedItem);
  return true;
}

bool Shop::CanLeave() const {
  if (kind_ != kKindTank || OwnedList.Count() > 0) return true;
  // The refusal asks for a hull the money can buy; where it buys none the
  // player must be able to leave and sell goods elsewhere.
  const int64_t money = users_.NowItem()->Money;
  for (const std::string& name : ShopList.Rows) {
    int64_t price = 0;
    if (Price(name, price) && price <= money) return false;
  }
  return true;
}

}  // namespace fw
