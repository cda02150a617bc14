#include "factory/assembly_page.hpp"

#include <algorithm>
#include <cctype>

#include "engine/globals.hpp"
#include "engine/message_box.hpp"
#include "engine/sound.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {

namespace {
constexpr const char* kTankNode = "WPLOOK";
constexpr const char* kItemNode = "EQULOOK";
constexpr float kListSpin = 0.02f;
constexpr float kSlotSpin = 3.141592653589f / 180.0f;
constexpr int32_t kSlotList = 7;

int32_t Whole(float v) {
  return static_cast<int32_t>(std::clamp(plat::RoundHalfEven(static_cast<double>(v)), -1e9, 1e9));
}

}  // namespace

AssemblyPage::AssemblyPage(FactoryRules& rules, const FactoryCatalogs& catalogs, FactoryOverlay& overlay,
                           RMClass& preview)
    : rules_(rules), catalogs_(catalogs), overlay_(overlay), preview_(preview) {
  overlay_.SetEQUTextBInfo = [](FactoryOverlay& o) {
    AttributeLines b;
    fw::SetEQUTextBInfo(b);
    for (size_t k = 1; k < b.size(); ++k) o.EquTextB[k].Name = b[k];
  };
}

void AssemblyPage::Open() {
  SyncLists();
  RemovePreviewModel(preview_, kItemNode);
  ShowTank();
  SetAttrib();
  for (int32_t i = 1; i <= 5; ++i) overlay_.ListChange(i);
  // Every button in its plain frame until the pointer moves.
  MouseMove(0, -1, -1);
}

void AssemblyPage::MouseMove(int16_t button, float x, float y) { overlay_.ButtonSets[2].MouseCheck(button, x, y); }

bool AssemblyPage::RepeatsPressAt(float x, float y) const {
  const int32_t px = Whole(x), py = Whole(y);
  if (PtInRECT(px, py, overlay_.EquLists[kSlotList].DesRECT())) return true;
  for (int32_t i = 1; i <= 5; ++i)
    if (PtInRECT(px, py, overlay_.EquLists[static_cast<size_t>(i)].DesRECT()) ||
        PtInRECT(px, py, overlay_.EquScrolls[static_cast<size_t>(i)].DesRECT()))
      return true;
  return false;
}

void AssemblyPage::SyncLists() {
  Assembly& a = assembly();
  for (int32_t i = Assembly::kTanks; i <= Assembly::kAmmunition; ++i)
    ShowRows(a.Lists(i), overlay_.EquLists[static_cast<size_t>(i)]);
  ShowRows(a.SlotList(), overlay_.EquLists[kSlotList]);
  for (int32_t r = 1; r <= Assembly::kReactorRow; ++r) overlay_.EquSlots[static_cast<size_t>(r)].Name = a.Slot(r);
}

void AssemblyPage::ShowTank() { ShowPreviewModel(preview_, kTankNode, assembly().TankModel(), kListSpin, true); }

void AssemblyPage::PublishTexts() {
  for (size_t k = 1; k < textA_.size(); ++k) overlay_.EquTextA[k].Name = textA_[k];
}

void AssemblyPage::SetAttrib() {
  fw::SetEQUAttrib(textA_, catalogs_, assembly());
  PublishTexts();
}

void AssemblyPage::SetText(int32_t panel, const std::string& name, const std::string& ammunition) {
  fw::SetEQUTextInfo(textA_, catalogs_, panel, name, ammunition);
  PublishTexts();
}

void AssemblyPage::Closed() {
  RemovePreviewModel(preview_, kTankNode);
  RemovePreviewModel(preview_, kItemNode);
}

AssemblyPage::ClickResult AssemblyPage::Click(int16_t button, float x, float y) {
  ClickResult result = ClickResult::Stayed;
  if (button == 1) {
    // LEFT or RIGHT without a hull ends the press before the bars move.
    if (!ClickLeft(x, y, result)) return result;
  } else if (button == 2) {
    ClickRight(x, y);
  }
  ScrollStep(x, y);
  return result;
}

bool AssemblyPage::ClickLeft(float x, float y, ClickResult& result) {
  const int32_t px = Whole(x), py = Whole(y);
  OBJRECTClass& buttons = overlay_.ButtonSets[2];
  if (buttons.HitCheck(SetRECT(px, py, px + 1, py + 1))) {
    std::string key = buttons.SelectedRect->At(1)->Key;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    if (key == "LEFT" || key == "RIGHT") {
      PlaySoundKey(2, false);
      if (!assembly().ChangeTank(key == "RIGHT" ? 1 : -1)) return false;
      SyncLists();
      ShowTank();
      SetAttrib();
    } else if (key == "EXIT") {
      PlaySoundKey(2, false);
      if (rules_.CloseAssembly()) {
        Closed();
        result = ClickResult::Closed;
      }
    }
  }

  Assembly& a = assembly();
  for (int32_t i = Assembly::kWeapons; i <= Assembly::kAmmunition; ++i) {
    qelListBox& list = overlay_.EquLists[static_cast<size_t>(i)];
    if (!PtInRECT(px, py, list.DesRECT())) continue;
    list.SelectedItem = 0;
    const int32_t s = list.Click(px, py);
    a.Choose(i, s);
    if (s > 0) {
      ShowPreviewModel(preview_, kItemNode, a.ItemModel(), kListSpin, true);
      if (i == Assembly::kWeapons) SetText(kPanelWeapon, a.Lists(i).Item(s), "");
    }
    SyncLists();
  }

  qelListBox& slots = overlay_.EquLists[kSlotList];
  if (PtInRECT(px, py, slots.DesRECT())) {
    const int32_t r = slots.Click(px, py);
    a.ChooseSlot(r);
    if (r > Assembly::kTankRow && !a.Slot(r).empty()) {
      ShowPreviewModel(preview_, kItemNode, a.ItemModel(), kSlotSpin, false);
      if (r <= Assembly::kLastWeaponRow) SetText(kPanelWeapon, a.Slot(r), a.Ammo(r));
    }
    SyncLists();
  }
  return true;
}

void AssemblyPage::ClickRight(float x, float y) {
  const int32_t px = Whole(x), py = Whole(y);
  Assembly& a = assembly();
  for (int32_t i = Assembly::kWeapons; i <= Assembly::kAmmunition; ++i) {
    qelListBox& list = overlay_.EquLists[static_cast<size_t>(i)];
    if (!PtInRECT(px, py, list.DesRECT())) continue;
    const int32_t s = list.Click(px, py);
    if (s == 0) continue;
    const int32_t target = a.SlotList().SelectedItem;
    const bool fitted = a.Fit(i, s);
    if (i != Assembly::kAmmunition) SetAttrib();
    else if (fitted) SetText(kPanelWeapon, a.Slot(target), a.Ammo(target));
    SyncLists();
  }

  qelListBox& slots = overlay_.EquLists[kSlotList];
  if (PtInRECT(px, py, slots.DesRECT())) {
    const int32_t r = slots.Click(px, py);
    a.RemoveSlot(r);
    if (r > 0) SetAttrib();
    SyncLists();
  }
}

void AssemblyPage::ScrollStep(float x, float y) {
  const int32_t px = Whole(x), py = Whole(y);
  for (int32_t i = 1; i <= 5; ++i) {
    qelScrollBarClass& bar = overlay_.EquScrolls[static_cast<size_t>(i)];
    if (PtInRECT(px, py, bar.DesRECT()) && bar.Click(px, py) != 0)
      overlay_.EquLists[static_cast<size_t>(i)].ListIndex = bar.Value;
  }
  for (int32_t i = 1; i <= 5; ++i) overlay_.ListChange(i);
}

void AssemblyPage::DrawPreview(const plat::SurfacePtr& target, const char* shown, const char* other,
                               const RECT& into) {
  auto node = preview_.Objects->Item(shown);
  if (!node || !preview_.BackBuffer4) return;
  // One scene holds both models: the one not on show stands out of view.
  if (auto away = preview_.Objects->Item(other)) away->Frame->SetPosition(nullptr, 100, 100, 100);
  node->Frame->SetPosition(nullptr, 0, 0, 0);
  preview_.Update(true, 7);
  const RECT all = preview_.BackBufferRECT();
  target->Blt(&into, preview_.BackBuffer4.get(), &all, plat::DDBLT_KEYSRC);
}

void AssemblyPage::Draw(const plat::SurfacePtr& target, int32_t cursorX, int32_t cursorY) {
  if (!target) return;
  SufClips& clips = overlay_.OverlayClips;
  const auto plate = [&](const char* key, int32_t x, int32_t y, int32_t frame) {
    if (auto c = clips.Item(key)) c->Blt4(target, plat::DDBLT_KEYSRC, x, y, frame);
  };
  plate("BOLD03", 190, 344, 0);
  plate("BOLD01", 464, 163, 0);
  for (const auto& [x, y] : {std::pair{16, 40}, {16, 150}, {16, 260}, {16, 370}, {186, 40}}) plate("BOLD02", x, y, 0);

  for (int32_t i = 1; i <= 5; ++i) overlay_.EquLists[static_cast<size_t>(i)].Blt4(target, plat::DDBLT_KEYSRC);

  for (const char* key : {"LEFT", "RIGHT"})
    if (auto b = overlay_.Button(2, key)) plate(b->ClipID.c_str(), b->Left(), b->Top(), b->GetID());
  if (auto b = overlay_.Button(2, "EXIT"))
    if (auto c = clips.Item("BU1")) c->Blt4(target, plat::DDBLT_WAIT, b->Left(), b->Top(), b->GetID());

  const std::pair<int32_t, int32_t> titles[] = {{6, 16}, {6, 126}, {6, 236}, {6, 346}, {175, 16}};
  for (int32_t f = 1; f <= 5; ++f) plate("BOLD04", titles[f - 1].first, titles[f - 1].second, f);

  overlay_.EquLists[kSlotList].Blt4(target, plat::DDBLT_KEYSRC);

  DrawPreview(target, kTankNode, kItemNode, SetRECT(165, 140, 465, 340));
  DrawPreview(target, kItemNode, kTankNode, SetRECT(390, 20, 600, 160));

  plat::Font font = overlay_.EquTextA[1].Font;
  font.Size = 9.0f / FontScale;
  target->SetFont(font);
  // The labels go over the valued lines in their own colour. A line that
  // shows the ammunition's figures carries a label of its own, which the
  // weapon's label would write across; that line keeps its one colour.
  target->SetForeColor(plat::RGB(255, 255, 0));
  for (size_t k = 1; k < overlay_.EquTextA.size(); ++k)
    target->DrawText(overlay_.EquTextA[k].X, overlay_.EquTextA[k].Y, overlay_.EquTextA[k].Name);
  target->SetForeColor(plat::RGB(128, 128, 0));
  for (size_t k = 1; k < overlay_.EquTextB.size(); ++k) {
    const std::string& label = overlay_.EquTextB[k].Name;
    const std::string& shown = overlay_.EquTextA[k].Name;
    if (shown.rfind(label, 0) == 0 || label.rfind(shown, 0) == 0)
      target->DrawText(overlay_.EquTextB[k].X, overlay_.EquTextB[k].Y, label);
  }

  // Each fitted name stands on its row of the slot list, whose rows are as
  // high as the list's font makes them, not the fixed step of the rows'
  // own positions, which would drift off the labels further down.
  const qelListBox& slotList = overlay_.EquLists[kSlotList];
  target->SetForeColor(plat::RGB(0, 255, 0));
  for (int32_t r = 1; r < static_cast<int32_t>(overlay_.EquSlots.size()); ++r) {
    const EquSlot& slot = overlay_.EquSlots[static_cast<size_t>(r)];
    const int32_t y = slotList.DesRECT().Top + (r - slotList.ListIndex) * slotList.TextHeight;
    if (!slot.Name.empty()) target->DrawText(slot.X + 5, y + 3, slot.Name);
  }

  for (int32_t i = 1; i <= 5; ++i) overlay_.EquScrolls[static_cast<size_t>(i)].Blt4(target, 0);

  const int64_t left = assembly().CalWeight();
  loadLeft_ = static_cast<int32_t>(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX));
  target->SetForeColor(plat::RGB(0, 200, 0));
  if (const int32_t weight = assembly().EquViewWeight(); weight > 0)
    target->DrawText(552, 112, "Weight:" + WholeStr(weight));
  target->DrawText(482, 393, "Capacity" + WholeStr(loadLeft_));

  if (loadLeft_ < 0) {
    // Nine frames shown, seven hidden, starting shown.
    if (++blink_ >= 10) blink_ = -6;
    target->SetForeColor(plat::RGB(255, 0, 0));
    if (blink_ > 0) target->DrawText(482, 405, "Overloaded");
  }

  // The hints are labels of their own, the same whatever colour the
  // warning above left on the target.
  for (int32_t i = 1; i <= 5; ++i)
    if (PtInRECT(cursorX, cursorY, overlay_.EquLists[static_cast<size_t>(i)].DesRECT()))
      DrawTextSurface4(target, cursorX + 4, cursorY - 10, "Press the right button to arm.");
  if (PtInRECT(cursorX, cursorY, overlay_.EquLists[kSlotList].DesRECT()))
    DrawTextSurface4(target, cursorX - 20, cursorY - 20, "Press the right button to remove it.");
}

}  // namespace fw
