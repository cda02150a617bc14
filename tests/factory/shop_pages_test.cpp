// The shop pages on the sample data, driven the way the player drives
// them: open a shop from the hall, press and drag over its lists, bars and
// buttons, and see the money, the goods and the frame follow.
#include "factory/shop_pages.hpp"

#include "tests/factory/factory_fixture.hpp"

namespace {

class ShopPageTest : public fwtest::FactoryScreenTest {
 protected:
  // Turns the view to a shop's area and presses there.
  void OpenShop(const char* page) {
    static const struct {
      const char* page;
      float yaw, pitch;
    } kAreas[] = {{"Weap", 20, 275}, {"Shd", 150, 275}, {"Eng", 200, 275}, {"ReA", 340, 275}, {"Tank", 90, 310}};
    for (const auto& a : kAreas)
      if (std::string(a.page) == page) LookAt(a.yaw, a.pitch);
    Click();
    ASSERT_EQ(factory->State(), page);
  }
  fw::FactoryOverlay& O() { return factory->Overlay(); }
  // The middle of a visible row of a list.
  static float RowY(const fw::qelListBox& list, int row) {
    return static_cast<float>(list.Top + (row - list.ListIndex) * list.TextHeight + list.TextHeight / 2);
  }
  void PressRow(fw::qelListBox& list, int row) { Click(1, 60, RowY(list, row)); }
  void Press(const char* button) {
    auto b = O().Button(1, button);
    Click(1, static_cast<float>(b->Left() + 10), static_cast<float>(b->Top() + 10));
  }
  void Move(int16_t button, float x, float y) {
    int16_t shift = 0;
    factory->MouseMove(button, shift, x, y);
  }
  int32_t& Money() { return fw::Users->NowItem()->Money; }
  int64_t PriceOf(int32_t kind, const std::string& name) {
    double p = 0;
    EXPECT_TRUE(factory->Catalogs().Price(kind, name, p)) << name;
    return static_cast<int64_t>(p);
  }
  int Count(const std::string& name, fw::MapIndexClass& list) {
    int n = 0;
    for (const auto& item : list) n += item->ID == name;
    return n;
  }
  std::vector<uint16_t> Pixels(int x0, int y0, int x1, int y1) const {
    std::vector<uint16_t> out;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) out.push_back(factory->Present->Row(y)[x]);
    return out;
  }
  // Pixels of a region that are mostly red / mostly green on screen.
  int Tinted(int x0, int y0, int x1, int y1, bool red) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint16_t p = factory->Present->Row(y)[x];
        const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        n += red ? (r > 24 && g < 16 && b < 8) : (g > 44 && r < 8 && b < 8);
      }
    return n;
  }
};

TEST_F(ShopPageTest, EachShopListsItsGoodsAndThePlayersItemsOfItsKind) {
  fw::Users->UserEQU->Add("", fw::kKindShield, "Light Shield", 0);
  fw::Users->UserEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  Enter();
  const struct {
    const char* page;
    int goods;
    int owned;
  } kPages[] = {{"Weap", 14, 1}, {"Shd", 3, 1}, {"Eng", 3, 0}, {"ReA", 3, 0}, {"Tank", 4, 1}};
  for (const auto& p : kPages) {
    SCOPED_TRACE(p.page);
    OpenShop(p.page);
    EXPECT_EQ(O().ShopListA.Count(), p.goods);
    EXPECT_EQ(O().ShopListB.Count(), p.owned);
    EXPECT_EQ(O().ShopListA.SelectedItem, 0);
    EXPECT_EQ(O().ShopListA.ListIndex, 1);
    // Fourteen goods need a bar of two steps; thirteen fit.
    EXPECT_EQ(O().ShopScrollA.Max, p.goods > 13 ? p.goods - 12 : 1);
    factory->RenderFrame();
    Press("EXIT");
    EXPECT_EQ(factory->State(), "RUN");
  }
}

TEST_F(ShopPageTest, BuyingAndSellingChangeMoneyAndGoodsAsTheRulesSay) {
  Enter();
  OpenShop("Weap");
  PressRow(O().ShopListA, 2);
  const std::string name = O().ShopListA.Item(2)->Text;
  EXPECT_TRUE(factory->Preview().Objects->Item("WPLOOK"));
  const int64_t price = PriceOf(fw::kKindWeapon, name);

  // Short by one: only the sound.
  Money() = static_cast<int32_t>(price - 1);
  Press("BUY");
  EXPECT_EQ(Money(), price - 1);
  EXPECT_EQ(Count(name, *fw::Users->UserEQU), 0);
  // Exactly the price, twice over: two rows of the same name.
  Money() = static_cast<int32_t>(2 * price);
  Press("BUY");
  Press("BUY");
  EXPECT_EQ(Money(), 0);
  EXPECT_EQ(Count(name, *fw::Users->UserEQU), 2);
  ASSERT_EQ(O().ShopListB.Count(), 3);
  EXPECT_EQ(O().ShopListB.Item(3)->Text, name);

  // SELL refunds the full price of the row chosen in the player's list.
  PressRow(O().ShopListB, 3);
  Press("SELL");
  EXPECT_EQ(Money(), price);
  EXPECT_EQ(Count(name, *fw::Users->UserEQU), 1);
  EXPECT_EQ(O().ShopListB.Count(), 2);
  // Nothing chosen in the player's list: SELL does nothing.
  O().ShopListB.SelectedItem = 0;
  Press("SELL");
  EXPECT_EQ(Money(), price);

  // A press outside every list, bar and button changes nothing.
  Click(1, 620, 20);
  EXPECT_EQ(factory->State(), "Weap");
  EXPECT_EQ(Count(name, *fw::Users->UserEQU), 1);

  // EXIT takes the preview away and lights the hall again.
  Press("EXIT");
  EXPECT_EQ(factory->State(), "RUN");
  EXPECT_FALSE(factory->Preview().Objects->Item("WPLOOK"));
  // What was bought is saved on the way out.
  Esc();
  EXPECT_TRUE(factory->Leave());
  EXPECT_NE(dir.Read("user1.DAT").find(name), std::string::npos);
}

TEST_F(ShopPageTest, DraggingActsOnListsAndBarsOnlyWithTheLeftButtonHeld) {
  Enter();
  OpenShop("Weap");
  auto& goods = O().ShopListA;
  Move(0, 60, RowY(goods, 3));
  EXPECT_EQ(goods.SelectedItem, 0);
  Move(1, 60, RowY(goods, 3));
  EXPECT_EQ(goods.SelectedItem, 3);
  Move(1, 60, RowY(goods, 5));
  EXPECT_EQ(goods.SelectedItem, 5);
  // Held down the bar's lower arrow, the list scrolls to the bar's value.
  const fw::RECT bar = O().ShopScrollA.DesRECT();
  Move(1, static_cast<float>(bar.Left + 5), static_cast<float>(bar.Bottom - 3));
  EXPECT_EQ(O().ShopScrollA.Value, 2);
  EXPECT_EQ(goods.ListIndex, 2);
  // Dragging over BUY lights it but buys nothing.
  const int32_t money = Money();
  auto buy = O().Button(1, "BUY");
  Move(1, static_cast<float>(buy->Left() + 10), static_cast<float>(buy->Top() + 10));
  EXPECT_EQ(Money(), money);
  EXPECT_EQ(buy->State, 1);
  Move(0, 10, 10);
  EXPECT_EQ(buy->State, 3);
  // Only the left button presses on a page.
  Click(2, 60, RowY(goods, 4));
  EXPECT_EQ(goods.SelectedItem, 5);
}

TEST_F(ShopPageTest, TheTankShopIsNotLeftWithoutAHullAndSellingTheLastTakesItOffTheTank) {
  fw::Users->UserEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  Enter();
  OpenShop("Tank");
  ASSERT_EQ(O().ShopListB.Count(), 1);
  const int32_t money = Money();
  PressRow(O().ShopListB, 1);
  Press("SELL");
  EXPECT_EQ(Money(), money + PriceOf(fw::kKindTank, "Scout Tank"));
  EXPECT_EQ(Count("Scout Tank", *fw::Users->NowEQU), 0);
  Press("EXIT");
  EXPECT_EQ(factory->State(), "Tank");
  EXPECT_EQ(shown, "One Tank Needed At Least!\n");
  Esc();
  EXPECT_EQ(factory->State(), "Tank");
  PressRow(O().ShopListA, 1);
  Press("BUY");
  Press("EXIT");
  EXPECT_EQ(factory->State(), "RUN");
}

TEST_F(ShopPageTest, TheFrameShowsMoneyPreviewAndABlinkingWarningWhereTheyBelong) {
  Enter();
  OpenShop("Weap");
  factory->RenderFrame();
  // Nothing chosen: the money line, no preview, no warning.
  EXPECT_GT(Tinted(340, 240, 480, 256, false), 20);
  EXPECT_EQ(Tinted(470, 260, 620, 276, true), 0);
  const auto before = Pixels(300, 40, 600, 227), beside = Pixels(602, 40, 640, 227);

  PressRow(O().ShopListA, 1);
  Money() = static_cast<int32_t>(PriceOf(fw::kKindWeapon, O().ShopListA.Item(1)->Text) - 1);
  // Shown on the first ten frames of every twenty-one.
  std::string shownOn;
  for (int frame = 0; frame < 42; ++frame) {
    factory->RenderFrame();
    shownOn += Tinted(470, 260, 620, 276, true) > 20 ? '#' : '.';
  }
  EXPECT_EQ(shownOn, "##########...........##########...........");
  // The turning item stands in the preview's place.
  const auto after = Pixels(300, 40, 600, 227);
  int changed = 0;
  for (size_t i = 0; i < before.size(); ++i) changed += before[i] != after[i];
  EXPECT_GT(changed, 300);
  EXPECT_EQ(Pixels(602, 40, 640, 227), beside);
  // Money equal to the price: no warning, the figures in green.
  Money() += 1;
  factory->RenderFrame();
  EXPECT_EQ(Tinted(470, 260, 620, 276, true), 0);
  EXPECT_GT(Tinted(320, 275, 420, 291, false), 20);
  // A choice in the player's list comes first: its figures, not the goods'.
  PressRow(O().ShopListB, 1);
  EXPECT_EQ(O().ShopListA.SelectedItem, 1);
  std::vector<fw::AttributeLine> lines;
  double price = 0;
  ASSERT_TRUE(fw::ShopAttributes(factory->Catalogs(), fw::kKindWeapon, "Pulse Laser", lines, price));
  EXPECT_EQ(lines.front().Text.rfind("Speed: ", 0), 0u);
}

TEST(ShopPages, FiguresNameTheirPathAndLeaveUnknownItemsOut) {
  EXPECT_STREQ(fw::PathName(4), "Automatic Guidance");
  EXPECT_STREQ(fw::PathName(0), "");
  EXPECT_STREQ(fw::PathName(5), "");
  fw::FactoryCatalogs catalogs;
  std::vector<fw::AttributeLine> lines{{"old", 1, 1}};
  double price = 7;
  EXPECT_FALSE(fw::ShopAttributes(catalogs, fw::kKindWeapon, "Nothing", lines, price));
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(fw::ShopKind("Weap"), fw::kKindWeapon);
  EXPECT_EQ(fw::ShopKind("EQUTank"), 0);
  EXPECT_EQ(fw::ShopKind("weap"), 0);
  // The warning: ten frames on, eleven off, from a fresh page.
  fw::ShopPageAnimation a;
  std::string seen;
  for (int i = 0; i < 21; ++i) seen += a.BlinkWarning() ? '#' : '.';
  EXPECT_EQ(seen, "##########...........");
}

}  // namespace

namespace {

TEST_F(ShopPageTest, TheHallsMessageStandsOnItsPlateForThirtyFramesOnly) {
  fw::Users->NowEQU->RemoveAll();
  Enter();
  LookAt(280, 305);
  Click();
  ASSERT_EQ(factory->Message(), "Plesase purchase a tank first!");
  factory->RenderFrame();
  // The plate's light rim runs down its left edge.
  const uint16_t rim = plat::ColorTo565(plat::RGB(150, 230, 180));
  EXPECT_EQ(factory->Present->Row(400)[190], rim);
  EXPECT_GT(Tinted(195, 350, 480, 366, true), 20);
  for (int i = 1; i < 30; ++i) factory->RenderFrame();
  EXPECT_GT(Tinted(195, 350, 480, 366, true), 20);
  factory->RenderFrame();
  EXPECT_EQ(Tinted(195, 350, 480, 366, true), 0);
  EXPECT_NE(factory->Present->Row(400)[190], rim);
}

}  // namespace
