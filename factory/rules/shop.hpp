#pragma once
// The five shops of the factory: what each sells, what the player owns of
// its kind, and buying and selling at the catalogue price.
#include <cstdint>
#include <string>

#include "data/users.hpp"
#include "factory/rules/catalogs.hpp"
#include "factory/rules/row_list.hpp"

namespace fw {

class Shop {
 public:
  Shop(const FactoryCatalogs& catalogs, UsersClass& users);

  // The page of a hall area: "Weap", "Shd", "Eng", "ReA" or "Tank"; false
  // for any other name. Fills ShopList with the catalogue entries of the
  // page's kind and OwnedList with the player's items of that kind; no row
  // of either is selected.
  bool Open(const std::string& page);
  const std::string& Page() const { return page_; }
  int32_t Kind() const { return kind_; }

  RowList ShopList;
  RowList OwnedList;

  // BUY: the selected catalogue entry, when the money reaches its price.
  // No weight test. False when nothing was bought.
  bool Buy();
  // SELL: the selected owned item, for its full catalogue price. Selling
  // the last owned hull of a name also takes it off the tank. False when
  // nothing was sold (no selection, an item in no catalogue, or money that
  // would pass the largest sum a profile holds).
  bool Sell();
  // EXIT and Esc: the tank shop is not left without a hull while the money
  // buys one.
  bool CanLeave() const;

  // The price of an item of this page's kind, as Buy and Sell take it.
  bool Price(const std::string& name, int64_t& price) const;

  // A scroll bar's maximum for a list of that many rows (13 fit).
  static int32_t ScrollMax(int32_t rows) { return rows > 13 ? rows - 12 : 1; }

 private:
  const FactoryCatalogs& catalogs_;
  UsersClass& users_;
  std::string page_;
  int32_t kind_ = 0;
};

}  // namespace fw
