// Buying and selling in the five shops.
#include <gtest/gtest.h>

#include <limits>

#include "factory/rules/shop.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

namespace {

class Shop : public ::testing::Test {
 protected:
  void SetUp() override { factorytest::Player(users, 1000); }
  int32_t Money() { return users.NowItem()->Money; }
  // Selects the catalogue row of that name and buys it.
  bool BuyNamed(const std::string& name) {
    for (int32_t r = 1; r <= shop.ShopList.Count(); ++r)
      if (shop.ShopList.Item(r) == name) shop.ShopList.SelectedItem = r;
    return shop.Buy();
  }
  fw::FactoryCatalogs catalogs = factorytest::Catalogs();
  fw::UsersClass users;
  fw::Shop shop{catalogs, users};
};

TEST_F(Shop, PagesListTheirKindAndTheOwnedItemsOfIt) {
  users.UserEQU->Add("", fw::kKindShield, "Basic Shield", 0);
  users.UserEQU->Add("", fw::kKindWeapon, "Laser", 0);
  users.UserEQU->Add("", fw::kKindShield, "Strong Shield", 0);
  ASSERT_TRUE(shop.Open("Shd"));
  EXPECT_EQ(shop.ShopList.Rows, (std::vector<std::string>{"Basic Shield", "Strong Shield"}));
  EXPECT_EQ(shop.OwnedList.Rows, (std::vector<std::string>{"Basic Shield", "Strong Shield"}));
  ASSERT_TRUE(shop.Open("Weap"));
  EXPECT_EQ(shop.ShopList.Count(), 8);  // launchers and ammunition included
  EXPECT_EQ(shop.OwnedList.Rows, (std::vector<std::string>{"Laser"}));
  ASSERT_TRUE(shop.Open("Tank"));
  EXPECT_EQ(shop.ShopList.Rows, (std::vector<std::string>{"Scout Tank", "Heavy Tank", "Titan Tank"}));
  EXPECT_FALSE(shop.Open("Hall"));
  EXPECT_EQ(fw::Shop::ScrollMax(13), 1);
  EXPECT_EQ(fw::Shop::ScrollMax(14), 2);
  EXPECT_EQ(fw::Shop::ScrollMax(20), 8);
}

TEST_F(Shop, BuyNeedsASelectionAndTheMoney) {
  shop.Open("Eng");
  EXPECT_FALSE(shop.Buy());  // nothing selected
  EXPECT_TRUE(BuyNamed("Turbo Engine"));
  EXPECT_EQ(Money(), 300);
  EXPECT_FALSE(BuyNamed("Turbo Engine"));  // 700 > 300
  EXPECT_EQ(Money(), 300);
  EXPECT_TRUE(BuyNamed("Small Engine"));  // exactly the price
  EXPECT_EQ(Money(), 0);
  EXPECT_EQ(factorytest::Lists(users), "O 2 Turbo Engine\nO 2 Small Engine\n");
  EXPECT_EQ(shop.OwnedList.Rows, (std::vector<std::string>{"Turbo Engine", "Small Engine"}));
}

TEST_F(Shop, BuyingTwiceGivesTwoItemsAndSellRefundsTheFullPrice) {
  shop.Open("Weap");
  EXPECT_TRUE(BuyNamed("Laser"));
  EXPECT_TRUE(BuyNamed("Laser"));
  EXPECT_EQ(Money(), 700);
  EXPECT_EQ(shop.OwnedList.Count(), 2);
  shop.OwnedList.SelectedItem = 2;
  EXPECT_TRUE(shop.Sell());
  EXPECT_EQ(Money(), 850);
  EXPECT_EQ(factorytest::Lists(users), "O 1 Laser\n");
  EXPECT_EQ(shop.OwnedList.SelectedItem, 0);  // the selected last row went
  EXPECT_FALSE(shop.Sell());
}

TEST_F(Shop, SellTakesOnlyAnItemOfTheShopsKind) {
  // A weapon and a shield of one name: the shield shop sells the shield.
  auto c = factorytest::Catalogs(std::string(factorytest::kWeapons) + "\"Odd Shield\",1,0,1,1,1,0,0,1,0,5,1,1,\"x\"\r\n");
  fw::Shop s(c, users);
  users.UserEQU->Add("", fw::kKindWeapon, "Odd Shield", 0);
  users.UserEQU->Add("", fw::kKindShield, "Basic Shield", 0);
  s.Open("Shd");
  s.OwnedList.SelectedItem = 1;
  EXPECT_TRUE(s.Sell());
  EXPECT_EQ(factorytest::Lists(users), "O 1 Odd Shield\n");
  EXPECT_EQ(Money(), 1400);
}

TEST_F(Shop, SellingASpareHullKeepsTheFittedOneAndSellingTheLastTakesItOff) {
  users.UserEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  users.UserEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  users.NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  users.NowEQU->Add("", fw::kKindWeapon, "Laser", 1);
  shop.Open("Tank");
  shop.OwnedList.SelectedItem = 1;
  ASSERT_TRUE(shop.Sell());
  EXPECT_EQ(factorytest::Lists(users), "O 5 Scout Tank\nF 5 Scout Tank 0\nF 1 Laser 1\n");
  EXPECT_TRUE(shop.CanLeave());
  shop.OwnedList.SelectedItem = 1;
  ASSERT_TRUE(shop.Sell());
  EXPECT_EQ(factorytest::Lists(users), "F 1 Laser 1\n");
  EXPECT_EQ(Money(), 3000);
  EXPECT_FALSE(shop.CanLeave());  // no hull left
}

TEST_F(Shop, SalesThatWouldOverflowTheMoneyOrHaveNoPriceAreRefused) {
  users.NowItem()->Money = std::numeric_limits<int32_t>::max() - 100;
  users.UserEQU->Add("", fw::kKindWeapon, "Laser", 0);
  users.UserEQU->Add("", fw::kKindWeapon, "Withdrawn Gun", 0);
  shop.Open("Weap");
  shop.OwnedList.SelectedItem = 1;
  EXPECT_FALSE(shop.Sell());
  shop.OwnedList.SelectedItem = 2;
  EXPECT_FALSE(shop.Sell());
  EXPECT_EQ(factorytest::Lists(users), "O 1 Laser\nO 1 Withdrawn Gun\n");
  EXPECT_EQ(Money(), std::numeric_limits<int32_t>::max() - 100);
}

TEST_F(Shop, ReopeningRebuildsTheListsWithNoRowSelected) {
  users.UserEQU->Add("", fw::kKindReactor, "Fusion Reactor", 0);
  users.UserEQU->Add("", fw::kKindEngine, "Small Engine", 0);
  shop.Open("ReA");
  shop.ShopList.SelectedItem = 1;
  shop.OwnedList.SelectedItem = 1;
  shop.Open("Eng");
  EXPECT_EQ(shop.ShopList.SelectedItem, 0);
  EXPECT_EQ(shop.OwnedList.Count(), 1);
  EXPECT_EQ(shop.OwnedList.SelectedItem, 0);
  // SELL sells nothing the player did not pick on this visit.
  EXPECT_FALSE(shop.Sell());
  EXPECT_EQ(factorytest::Lists(users), "O 4 Fusion Reactor\nO 2 Small Engine\n");
}

// The tank shop holds a player without a hull only while the money buys one.
TEST_F(Shop, TheTankShopWithoutAHullIsLeftOnlyWhenNoHullIsAffordable) {
  struct Case {
    int32_t money;
    bool ownsHull;
    bool canLeave;
  };
  // The cheapest hull of the catalogue costs 1000.
  for (const Case& c : {Case{1000, false, false}, Case{999, false, true}, Case{0, false, true},
                        Case{0, true, true}, Case{5000, true, true}}) {
    fw::UsersClass u;
    factorytest::Player(u, c.money);
    if (c.ownsHull) u.UserEQU->Add("", fw::kKindTank, "Scout Tank", 0);
    fw::Shop s{catalogs, u};
    s.Open("Tank");
    EXPECT_EQ(s.CanLeave(), c.canLeave) << c.money << " " << c.ownsHull;
    s.Open("Weap");
    EXPECT_TRUE(s.CanLeave());
  }
}

}  // namespace
