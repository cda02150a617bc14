// One factory visit: the ways between the hall and the pages, the ways
// out, and random play that must never create or lose the player's goods.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

#include "factory/rules/factory_rules.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

namespace {

using R = fw::FactoryRules;

class FactoryVisit : public ::testing::Test {
 protected:
  void SetUp() override { factorytest::Player(users, 5000); }
  void Own(int32_t kind, const std::string& name) { users.UserEQU->Add("", kind, name, 0); }
  void Fitted(int32_t kind, const std::string& name, int32_t color = 0) { users.NowEQU->Add("", kind, name, color); }
  fw::FactoryCatalogs catalogs = factorytest::Catalogs();
  fw::UsersClass users;
  R visit{catalogs, users};
};

TEST_F(FactoryVisit, TheAssemblyOpensOnlyWithAHullOwnedOrFitted) {
  EXPECT_EQ(visit.ClickArea(R::kAssemblyPage), R::AreaResult::NeedTank);
  EXPECT_EQ(visit.State(), "RUN");
  Fitted(fw::kKindTank, "Scout Tank");
  EXPECT_EQ(visit.ClickArea(R::kAssemblyPage), R::AreaResult::Opened);
  EXPECT_EQ(visit.State(), "EQUTank");
  EXPECT_EQ(visit.ClickArea("Weap"), R::AreaResult::Nothing);  // only from the hall
}

TEST_F(FactoryVisit, ShopsCloseByExitOrEscExceptTheTankShopWithoutAHull) {
  ASSERT_EQ(visit.ClickArea("Shd"), R::AreaResult::Opened);
  EXPECT_EQ(visit.State(), "Shd");
  EXPECT_TRUE(visit.Escape());
  EXPECT_EQ(visit.State(), "RUN");
  ASSERT_EQ(visit.ClickArea("Tank"), R::AreaResult::Opened);
  EXPECT_FALSE(visit.CloseShop());
  EXPECT_FALSE(visit.Escape());
  EXPECT_EQ(visit.State(), "Tank");
  visit.Shops().ShopList.SelectedItem = 1;
  ASSERT_TRUE(visit.Shops().Buy());
  EXPECT_TRUE(visit.CloseShop());
  EXPECT_EQ(visit.State(), "RUN");
  EXPECT_EQ(visit.ClickArea("Nowhere"), R::AreaResult::Nothing);
}

TEST_F(FactoryVisit, EscOnTheAssemblyKeepsTheWeightLimitAndTheListsInStep) {
  Own(fw::kKindTank, "Scout Tank");
  Own(fw::kKindWeapon, "Heavy Cannon");
  Own(fw::kKindWeapon, "Heavy Cannon");
  Own(fw::kKindShield, "Strong Shield");
  ASSERT_EQ(visit.ClickArea(R::kAssemblyPage), R::AreaResult::Opened);
  fw::Assembly& a = visit.Assembler();
  a.Fit(fw::Assembly::kWeapons, 1);
  a.Fit(fw::Assembly::kWeapons, 1);
  a.Fit(fw::Assembly::kShields, 1);  // 100 - 40 - 40 - 50
  EXPECT_FALSE(visit.Escape());
  EXPECT_EQ(visit.State(), "EQUTank");
  a.RemoveSlot(fw::Assembly::kShieldRow);
  EXPECT_TRUE(visit.Escape());
  EXPECT_EQ(visit.State(), "RUN");
  EXPECT_EQ(factorytest::Lists(users),
            "O 5 Scout Tank\nO 3 Strong Shield\nF 5 Scout Tank 0\nF 1 Heavy Cannon 1\nF 1 Heavy Cannon 2\n");
  // The battle tank follows the screen's close, as after EXIT.
  EXPECT_EQ(users.NowTank->Key, "Scout Tank");
  EXPECT_EQ(users.NowTank->Weapon->Count(), 2);
}

TEST_F(FactoryVisit, EveryWayOutRebuildsTheBattleTank) {
  Own(fw::kKindTank, "Scout Tank");
  Fitted(fw::kKindTank, "Scout Tank");
  users.NowTank->Key = "Scout Tank";  // built before the visit
  visit.ClickArea("Tank");
  visit.Shops().OwnedList.SelectedItem = 1;
  ASSERT_TRUE(visit.Shops().Sell());
  visit.Shops().ShopList.SelectedItem = 2;
  ASSERT_TRUE(visit.Shops().Buy());
  ASSERT_TRUE(visit.CloseShop());
  EXPECT_TRUE(visit.Escape());  // Esc in the hall leaves the factory
  EXPECT_EQ(visit.State(), "EXIT");
  EXPECT_EQ(users.NowTank->Key, "");  // the sold hull stays at home

  R again(catalogs, users);
  ASSERT_EQ(again.ClickArea(R::kAssemblyPage), R::AreaResult::Opened);
  ASSERT_TRUE(again.CloseAssembly());
  ASSERT_EQ(again.ClickArea(R::kExitArea), R::AreaResult::Left);
  EXPECT_EQ(users.NowTank->Key, "Heavy Tank");
}

TEST_F(FactoryVisit, LeavingFromAnOpenAssemblyCommitsOrRevertsByTheWeight) {
  Own(fw::kKindTank, "Scout Tank");
  Own(fw::kKindWeapon, "Laser");
  Own(fw::kKindShield, "Strong Shield");
  Own(fw::kKindWeapon, "Heavy Cannon");
  Own(fw::kKindWeapon, "Heavy Cannon");
  visit.ClickArea(R::kAssemblyPage);
  visit.Assembler().Fit(fw::Assembly::kWeapons, 2);
  visit.Leave();
  EXPECT_EQ(users.NowTank->Weapon->Count(), 1);

  const std::string before = factorytest::Lists(users);
  R overloaded(catalogs, users);
  overloaded.ClickArea(R::kAssemblyPage);
  overloaded.Assembler().Fit(fw::Assembly::kWeapons, 2);
  overloaded.Assembler().Fit(fw::Assembly::kShields, 1);
  ASSERT_LT(overloaded.Assembler().CalWeight(), 0);
  overloaded.Leave();
  EXPECT_EQ(overloaded.State(), "EXIT");
  EXPECT_EQ(factorytest::Lists(users), before);
}

// ---------------------------------------------------------------------------
// Random play.

using factorytest::Goods;
using factorytest::GoodsOf;

using Entry = std::tuple<int32_t, std::string, int32_t>;
std::vector<Entry> Entries(const fw::MapIndexClass& list) {
  std::vector<Entry> out;
  for (const auto& i : list) out.emplace_back(i->Index, i->ID, i->color);
  return out;
}

class Play {
 public:
  Play(const fw::FactoryCatalogs& catalogs, uint32_t seed) : catalogs_(catalogs), rng_(seed) {
    factorytest::Player(users_, static_cast<int32_t>(Pick(40000)));
    // A starting kit, so the assembly has something to work with from the
    // first visit: any items of the catalogues, hulls included.
    for (uint32_t n = Pick(16); n > 0; --n) {
      if (Pick(2) == 0) {
        const auto& w = *catalogs_.WeaponCatalog.Item(1 + static_cast<int>(Pick(catalogs_.WeaponCatalog.Count())));
        users_.UserEQU->Add("", fw::kKindWeapon, w.Key, 0);
      } else {
        const auto& e = *catalogs_.EquipmentCatalog.Item(1 + static_cast<int>(Pick(catalogs_.EquipmentCatalog.Count())));
        const int32_t kind = e.Key.find("Tank") != std::string::npos     ? fw::kKindTank
                             : e.Key.find("Shield") != std::string::npos ? fw::kKindShield
                             : e.Key.find("Engine") != std::string::npos ? fw::kKindEngine
                                                                         : fw::kKindReactor;
        users_.UserEQU->Add("", kind, e.Key, 0);
      }
    }
    visit_ = std::make_unique<R>(catalogs_, users_);
  }

  void Step() {
    const Goods goods = GoodsOf(users_);
    const int32_t money = users_.NowItem()->Money;
    const std::string state = visit_->State();
    Goods expected = goods;
    int64_t expectedMoney = money;
    bool assemblyClosed = false;
    bool left = false;

    if (state == "RUN") {
      static const char* const kAreas[] = {"Weap", "Weap", "Shd", "Eng", "ReA", "Tank", "Tank",
                                           "EQUTank", "EQUTank", "EQUTank", "EQUTank", "EXITOUT"};
      const uint32_t n = Pick(20);
      if (n == 0) {
        visit_->Escape();
        left = true;
      } else {
        const std::string area = kAreas[Pick(12)];
        if (area == "EQUTank") {
          openOwned_ = Entries(*users_.UserEQU);
          openFitted_ = Entries(*users_.NowEQU);
        }
        left = visit_->ClickArea(area) == R::AreaResult::Left;
      }
    } else if (state == "EQUTank") {
      fw::Assembly& a = visit_->Assembler();
      switch (Pick(16)) {
        case 0: case 1: case 2: case 3: case 4: case 5: {
          // Mostly real rows, now and then a click past the last one.
          const int list = 1 + static_cast<int>(Pick(5));
          a.Fit(list, static_cast<int32_t>(Pick(static_cast<uint32_t>(a.Lists(list).Count() + 2))));
          break;
        }
        case 6: case 7: a.RemoveSlot(static_cast<int32_t>(Pick(15))); break;
        case 8: a.ChooseSlot(static_cast<int32_t>(Pick(15))); break;
        case 9: case 10: {
          // A fitted row, then (as a player would) a load from its list.
          std::vector<int32_t> filled;
          for (int32_t r = fw::Assembly::kTankRow; r <= fw::Assembly::kReactorRow; ++r)
            if (!a.Slot(r).empty()) filled.push_back(r);
          if (filled.empty()) break;
          a.ChooseSlot(filled[Pick(static_cast<uint32_t>(filled.size()))]);
          if (a.Lists(fw::Assembly::kAmmunition).Count() > 0)
            a.Fit(fw::Assembly::kAmmunition,
                  1 + static_cast<int32_t>(Pick(static_cast<uint32_t>(a.Lists(fw::Assembly::kAmmunition).Count()))));
          break;
        }
        case 11: a.ChangeTank(Pick(2) ? 1 : -1); break;
        case 12: assemblyClosed = visit_->CloseAssembly(); break;
        case 13: assemblyClosed = visit_->Escape(); break;
        default:
          if (Pick(6) == 0) {
            visit_->Leave();
            left = true;
          } else {
            a.Choose(1 + static_cast<int>(Pick(5)), static_cast<int32_t>(Pick(4)));
          }
      }
    } else {
      fw::Shop& s = visit_->Shops();
      switch (Pick(9)) {
        case 0: case 1: case 2: case 8: {
          s.ShopList.SelectedItem = static_cast<int32_t>(Pick(static_cast<uint32_t>(s.ShopList.Count() + 1)));
          const std::string name = s.ShopList.SelectedItem > 0 ? s.ShopList.Item(s.ShopList.SelectedItem) : "";
          int64_t price = 0;
          if (s.Buy()) {
            EXPECT_TRUE(s.Price(name, price));
            ++expected[{s.Kind(), name}];
            expectedMoney -= price;
          }
          break;
        }
        case 3: {
          s.OwnedList.SelectedItem = static_cast<int32_t>(Pick(static_cast<uint32_t>(s.OwnedList.Count() + 1)));
          const std::string name = s.OwnedList.SelectedItem > 0 ? s.OwnedList.Item(s.OwnedList.SelectedItem) : "";
          int64_t price = 0;
          if (s.Sell()) {
            EXPECT_TRUE(s.Price(name, price));
            if (--expected[{s.Kind(), name}] == 0) expected.erase({s.Kind(), name});
            expectedMoney += price;
          }
          break;
        }
        case 4: case 5: visit_->CloseShop(); break;
        default:
          if (Pick(3) == 0) {
            visit_->Leave();
            left = true;
          } else {
            visit_->Escape();
          }
      }
    }

    ASSERT_EQ(GoodsOf(users_), expected) << "seed step " << steps_;
    ASSERT_EQ(users_.NowItem()->Money, expectedMoney);
    CheckHullsAreOwned();
    if (left || steps_ % 5 == 0) CheckSaveReadsBack();
    if (assemblyClosed) {
      ASSERT_GE(fw::LoadLeft(catalogs_, *users_.NowEQU), 0);
    }
    if (left) {
      // Leaving from an overloaded assembly gives back the lists it opened
      // with; otherwise the fitted set is within the hull's capacity.
      const bool reverted = state == "EQUTank" && Entries(*users_.UserEQU) == openOwned_ &&
                            Entries(*users_.NowEQU) == openFitted_;
      if (state == "EQUTank" && !reverted) {
        ASSERT_GE(fw::LoadLeft(catalogs_, *users_.NowEQU), 0);
      }
      // The battle tank is the fitted hull, and only an owned one.
      const std::string& hull = users_.NowTank->Key;
      bool fitted = false;
      for (const auto& i : *users_.NowEQU) fitted = fitted || (i->Index == fw::kKindTank && i->ID == hull);
      ASSERT_TRUE(hull.empty() || fitted);
      ASSERT_EQ(visit_->State(), "EXIT");
      visit_ = std::make_unique<R>(catalogs_, users_);  // the next visit
      ++visits_;
    }
    ++steps_;
  }

  int Visits() const { return visits_; }

 private:
  uint32_t Pick(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(rng_() % n); }

  void CheckHullsAreOwned() {
    int hulls = 0;
    for (const auto& f : *users_.NowEQU) {
      if (f->Index != fw::kKindTank) continue;
      ++hulls;
      bool owned = false;
      for (const auto& o : *users_.UserEQU) owned = owned || (o->Index == fw::kKindTank && o->ID == f->ID);
      ASSERT_TRUE(owned) << f->ID;
    }
    ASSERT_LE(hulls, 1);
  }

  void CheckSaveReadsBack() {
    const std::string saved = users_.EncodeEquipment();
    fw::UsersClass back;
    plat::TextRecordReader r(saved);
    back.ReadEquipment(r);
    ASSERT_EQ(Entries(*back.UserEQU), Entries(*users_.UserEQU));
    ASSERT_EQ(Entries(*back.NowEQU), Entries(*users_.NowEQU));
  }

  const fw::FactoryCatalogs& catalogs_;
  std::mt19937 rng_;
  fw::UsersClass users_;
  std::unique_ptr<R> visit_;
  std::vector<Entry> openOwned_, openFitted_;
  int steps_ = 0;
  int visits_ = 0;
};

TEST(FactoryRandomPlay, GoodsAndMoneyChangeOnlyByPurchaseAndSale) {
  const fw::FactoryCatalogs catalogs = factorytest::Catalogs();
  int visits = 0;
  for (uint32_t seed = 1; seed <= 2000; ++seed) {
    Play play(catalogs, seed);
    for (int i = 0; i < 80 && !::testing::Test::HasFatalFailure(); ++i) play.Step();
    ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "seed " << seed;
    visits += play.Visits();
  }
  EXPECT_GT(visits, 2000);  // the sequences do leave and come back
}

}  // namespace
