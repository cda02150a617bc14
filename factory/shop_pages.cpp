// The shop pages: their drawing, their clicks (buying and selling go
// through the rules), and the preview of the item chosen.
#include "factory/shop_pages.hpp"

#include <cstdio>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/sound.hpp"
#include "factory/assembly_texts.hpp"
#include "factory/factory_screen.hpp"
#include "frontend/menu_common.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {

constexpr const char* kPreviewNode = "WPLOOK";
// Radians per tick of the preview scene's clock.
constexpr float kPreviewSpin = 0.02f;
constexpr int32_t kKeyed = plat::DDBLT_KEYSRC | plat::DDBLT_WAIT;
constexpr int32_t kFastKeyed = plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT;

int32_t PageColor(int32_t kind) {
  return kind == kKindEngine || kind == kKindTank ? plat::RGB(0, 255, 0) : plat::RGB(0, 200, 0);
}

}  // namespace

void ShopPageAnimation::MoveMarks() {
  static constexpr int32_t kBase[3][2] = {{320, 60}, {450, 20}, {470, 140}};
  for (size_t i = 0; i < Marks.size(); ++i) {
    WordMark& m = Marks[i];
    if (m.Frames > 0) {
      --m.Frames;
      continue;
    }
    m.X = kBase[i][0] + static_cast<int32_t>(plat::Int(plat::Rnd() * 20));
    m.Y = kBase[i][1] + static_cast<int32_t>(plat::Int(plat::Rnd() * 20));
    m.Frames = static_cast<int32_t>(plat::Int(plat::Rnd() * 50)) + 20;
    m.Frame = static_cast<int32_t>(plat::Int(plat::Rnd() * 6)) + 1;
  }
}

bool ShopPageAnimation::BlinkWarning() {
  if (++Blink > 10) Blink = -10;
  return Blink > 0;
}

int32_t ShopKind(const std::string& state) {
  if (state == "Weap") return kKindWeapon;
  if (state == "Shd") return kKindShield;
  if (state == "Eng") return kKindEngine;
  if (state == "ReA") return kKindReactor;
  if (state == "Tank") return kKindTank;
  return 0;
}

const char* PathName(int32_t path) {
  switch (path) {
    case 1: return "Shoot Directly";
    case 2: return "Trace";
    case 3: return "Cruise";
    case 4: return "Automatic Guidance";
    default: return "";
  }
}

bool ShopAttributes(const FactoryCatalogs& catalogs, int32_t kind, const std::string& name,
                    std::vector<AttributeLine>& lines, double& price) {
  lines.clear();
  auto line = [&](const char* label, const std::string& value, int32_t x, int32_t y) {
    lines.push_back({std::string(label) + value, x, y});
  };
  if (kind == kKindWeapon) {
    auto w = catalogs.WeaponCatalog.Item(name);
    if (!w) return false;
    line("Speed:", SingleStr(w->Speed), 320, 275);
    line("Sensitvity", SingleStr(w->Agile), 320, 295);
    line("Range:", WholeStr(w->Range), 320, 315);
    line("Destructiveness:", WholeStr(w->FirePower), 320, 335);
    line("Shooting Rate:", SingleStr(w->FireSpeed), 320, 355);
    line("Energy Loss:", SingleStr(w->Energy), 320, 375);
    line("Type: ", PathName(w->Path), 320, 395);
    line("Ammunition Number:", WholeStr(w->Ammo), 440, 275);
    line("Price:", WholeStr(w->Cost), 440, 295);
    line("Weight:", WholeStr(w->Weight), 440, 315);
    price = w->Cost;
    return true;
  }
  auto t = catalogs.EquipmentCatalog.Item(name);
  if (!t) return false;
  switch (kind) {
    case kKindShield:
      line("Energy Limitation:", WholeStr(t->ShieldFull), 320, 275);
      line("Replenishement Rate", SingleStr(t->ShieldSpeed), 320, 295);
      break;
    case kKindEngine:
      line("Speed Limit:", SingleStr(t->TopSpeed), 320, 275);
      line("Acceleration:", SingleStr(t->Accelerate), 320, 295);
      break;
    case kKindReactor:
      line("Energy Limitation:", WholeStr(t->EnergyFull), 320, 275);
      line("Replenishement Rate", SingleStr(t->EnergySpeed), 320, 295);
      break;
    case kKindTank:
      line("Weapon Number:", SingleStr(t->HeadAngle()), 320, 275);
      line("Mobility", SingleStr(t->Agile), 320, 295);
      break;
    default:
      return false;
  }
  line(kind == kKindTank ? "Price" : "Price:", SingleStr(t->Energy), 320, 315);
  line("Weight:", SingleStr(t->Shield), 320, 335);
  price = t->Energy;
  return true;
}

void FrmFactoryClass::DrawWeap(const plat::SurfacePtr& surface) { DrawShopPage(surface, kKindWeapon); }
void FrmFactoryClass::DrawShield(const plat::SurfacePtr& surface) { DrawShopPage(surface, kKindShield); }
void FrmFactoryClass::DrawEngine(const plat::SurfacePtr& surface) { DrawShopPage(surface, kKindEngine); }
void FrmFactoryClass::DrawReactor(const plat::SurfacePtr& surface) { DrawShopPage(surface, kKindReactor); }
void FrmFactoryClass::DrawTank(const plat::SurfacePtr& surface) { DrawShopPage(surface, kKindTank); }

void FrmFactoryClass::DrawShopPage(const plat::SurfacePtr& surface, int32_t kind) {
  FactoryOverlay& o = overlay_;
  ShopPageAnimation& anim = shopAnimation_[static_cast<size_t>(kind)];
  plat::Randomize();
  const int32_t color = PageColor(kind);
  // The page's own green from the start, so the money line never takes a
  // colour left over from the message plate.
  SetSurfaceFont4(surface, "Arial", 12.0f / FontScale, color, false);
  anim.MoveMarks();
  o.ShopListA.Blt4(surface, kKeyed);
  o.ShopListB.Blt4(surface, kKeyed);

  if (mPreviewRM.Objects->Item(kPreviewNode)) {
    mPreviewRM.Update(true, 7);
    const plat::RECT whole = mPreviewRM.BackBufferRECT();
    surface->BltFast(300, 40, mPreviewRM.BackBuffer4.get(), &whole, kFastKeyed);
    if (auto words = o.OverlayClips.Item("TXT1"))
      for (const WordMark& m : anim.Marks) words->BltFast4(surface, kFastKeyed, m.X, m.Y, m.Frame);
    std::string name;
    if (o.ShopListA.SelectedItem > 0 && o.ShopListA.SelectedItem <= o.ShopListA.Count())
      name = o.ShopListA.Item(o.ShopListA.SelectedItem)->Text;
    // A choice among the player's own items comes first.
    if (o.ShopListB.SelectedItem > 0 && o.ShopListB.SelectedItem <= o.ShopListB.Count())
      name = o.ShopListB.Item(o.ShopListB.SelectedItem)->Text;
    std::vector<AttributeLine> lines;
    double price = 0;
    if (!name.empty() && ShopAttributes(catalogs_, kind, name, lines, price)) {
      surface->SetForeColor(color);
      for (const auto& l : lines) surface->DrawText(l.X, l.Y, l.Text);
      if (Users->NowItem()->Money < price && anim.BlinkWarning()) {
        surface->SetForeColor(plat::RGB(255, 0, 0));
        surface->DrawText(470, 260, "Money Insufficient");
      }
    }
  }
  surface->DrawText(340, 240, "Money In Hand: " + WholeStr(Users->NowItem()->Money));

  o.ShopScrollA.Blt4(surface, kFastKeyed);
  o.ShopScrollB.Blt4(surface, kFastKeyed);
  if (auto frame = o.OverlayClips.Item("BD1")) {
    frame->Blt4(surface, kKeyed, 30, 30, 0);
    frame->Blt4(surface, kKeyed, 30, 250, 0);
  }
  if (auto frame = o.OverlayClips.Item("BD2")) frame->Blt4(surface, kKeyed, 290, 227, 0);
  if (auto sheet = o.OverlayClips.Item("BU1"))
    for (const char* key : {"BUY", "SELL", "EXIT"})
      if (auto b = o.Button(1, key)) sheet->Blt4(surface, kKeyed, b->Left(), b->Top(), b->GetID());
}

void FrmFactoryClass::FillShopLists() {
  FactoryOverlay& o = overlay_;
  Shop& shop = rules_.Shops();
  ShowRows(shop.ShopList, o.ShopListA);
  o.ShopListA.ListIndex = 1;
  o.ShopListA.SelectedItem = 0;
  o.ShopScrollA.Value = 1;
  o.ShopScrollA.Max = Shop::ScrollMax(o.ShopListA.Count());
  ShowRows(shop.OwnedList, o.ShopListB);
  o.ShopScrollB.Max = Shop::ScrollMax(o.ShopListB.Count());
}

void FrmFactoryClass::WeapClick(int16_t& button, int16_t& /*shift*/, float& x, float& y) { ShopClick(button, x, y); }

void FrmFactoryClass::ShieldClick(int16_t& button, int16_t& /*shift*/, float& x, float& y) { ShopClick(button, x, y); }

void FrmFactoryClass::ShopClick(int16_t button, float x, float y) {
  FactoryOverlay& o = overlay_;
  Shop& shop = rules_.Shops();
  // The rules act on what the player last chose in the lists.
  shop.ShopList.SelectedItem = o.ShopListA.SelectedItem;
  shop.OwnedList.SelectedItem = o.ShopListB.SelectedItem;

  OBJRECTClass& buttons = o.ButtonSets[1];
  if (buttons.MouseCheck(button, x, y) && buttons.SelectedRect->Count() > 0) {
    const std::string key = buttons.SelectedRect->Item(1)->Key;
    if (key == "BUY" || key == "SELL") {
      PlaySoundKey(2, false);
      if (key == "BUY" ? shop.Buy() : shop.Sell()) {
        ShowRows(shop.ShopList, o.ShopListA);
        ShowRows(shop.OwnedList, o.ShopListB);
        o.ShopScrollB.Max = Shop::ScrollMax(o.ShopListB.Count());
      }
    } else if (key == "EXIT") {
      if (!shop.CanLeave()) {
        ShowMessage(FactoryRules::kOneTankNeeded);
      } else {
        PlaySoundKey(2, false);
        LeftShopPage();
        rules_.CloseShop();
      }
    }
  }

  const int32_t px = plat::CLng(x), py = plat::CLng(y);
  const int32_t kind = shop.Kind();
  if (PtInRECT(px, py, o.ShopListA.DesRECT())) {
    const int32_t row = o.ShopListA.Click(px, py);
    shop.ShopList.SelectedItem = row;
    if (row > 0) ShowPreviewModel(mPreviewRM, kPreviewNode, catalogs_.Model(kind, o.ShopListA.Item(row)->Text),
                                  kPreviewSpin, true);
  }
  if (PtInRECT(px, py, o.ShopListB.DesRECT())) {
    const int32_t row = o.ShopListB.Click(px, py);
    shop.OwnedList.SelectedItem = row;
    if (row > 0) {
      ShowPreviewModel(mPreviewRM, kPreviewNode, catalogs_.Model(kind, o.ShopListB.Item(row)->Text), kPreviewSpin,
                       true);
      o.ShopScrollB.Max = Shop::ScrollMax(o.ShopListB.Count());
    }
  }
  if (o.ShopScrollA.Click(px, py) > 0) o.ShopListA.ListIndex = o.ShopScrollA.Value;
  if (o.ShopScrollB.Click(px, py) > 0) o.ShopListB.ListIndex = o.ShopScrollB.Value;
  if (DataPack->ExtractFiles->Count() > 0) DataPack->RemoveTempFile();
}

void FrmFactoryClass::LeftShopPage() {
  SetLight(true);
  RemovePreviewModel(mPreviewRM, kPreviewNode);
}

}  // namespace fw
