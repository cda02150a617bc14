#include "factory/overlay.hpp"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

namespace {

constexpr int32_t kWhite = plat::RGB(255, 255, 255);

// Fonts are sized twice: the whole size first, so the rows follow it, then
// the size scaled for the screen once the rectangle is set.
void SetUpList(qelListBox& list, const DisplayPtr& dd4, const RECT& r, float rowSize, float shownSize,
               int32_t foreColor, int32_t selectColor) {
  list.Init4(dd4);
  list.Font = plat::Font{"Arial", rowSize, false};
  list.DesRECT(r);
  list.Font.Size = shownSize;
  list.ForeColor = foreColor;
  list.SelectColor = selectColor;
  if (list.BackSurface4) list.BackSurface4->SetForeColor(kWhite);
}

void SetUpBar(qelScrollBarClass& bar, const DisplayPtr& dd4, const RECT& r, const plat::SurfacePtr& sheet) {
  bar.Init4(r, dd4);
  bar.HScroll = true;
  bar.SetBackClip4(sheet, 2, 8);
}

}  // namespace

void FactoryOverlay::AddSheet(const DisplayPtr& dd4, const std::string& key, const std::string& picture,
                              int32_t columns, int32_t rows) {
  plat::SurfacePtr surface;
  LoadSurface4FromPack(picture, surface, dd4);
  SetSurfaceColorKey4(surface, plat::DDCKEY_SRCBLT, 0, 0);
  OverlayClips.Add4(key, surface, columns, rows);
}

void FactoryOverlay::AddButton(int set, const std::string& key, int32_t x, int32_t y, const std::string& sheet,
                               int32_t normal, int32_t down, int32_t over) {
  auto clip = OverlayClips.Item(sheet);
  if (!clip) throw plat::RuntimeError(plat::ErrorCode::KeyNotFound, "no sheet \"" + sheet + "\" for a button");
  auto button = ButtonSets[static_cast<size_t>(set)].OrgRECT->Add(key, clip->DescRECT());
  button->ABSXY(x, y);
  button->SetClip(sheet, normal, down, over);
  // Drawn as not pointed at until the pointer first moves; untested, every
  // button would show the sheet's first frame.
  button->State = 3;
}

std::shared_ptr<OBJRECT> FactoryOverlay::Button(int set, const std::string& key) {
  if (set < 1 || set > 2) return nullptr;
  auto& rects = *ButtonSets[static_cast<size_t>(set)].OrgRECT;
  for (const auto& r : rects)
    if (r->Key == key) return r;
  return nullptr;
}

void FactoryOverlay::LoadWeapScreen(const DisplayPtr& dd4) {
  using namespace overlay_pictures;
  const float scale = FontScale;
  SetUpList(ShopListA, dd4, SetRECT(40, 40, 240, 220), 10, 10 / scale, kWhite, plat::RGB(0, 80, 80));
  SetUpList(ShopListB, dd4, SetRECT(40, 260, 240, 440), 10, 10 / scale, kWhite, plat::RGB(0, 64, 64));

  LoadSurface4FromPack(kScroll, ScrollSheet, dd4);
  SetSurfaceColorKey4(ScrollSheet, plat::DDCKEY_SRCBLT, 0, 0);
  SetUpBar(ShopScrollA, dd4, SetRECT(240, 40, 260, 220), ScrollSheet);
  SetUpBar(ShopScrollB, dd4, SetRECT(240, 260, 260, 440), ScrollSheet);
  for (int32_t i = 1; i <= 4; ++i)
    SetUpBar(EquScrolls[static_cast<size_t>(i)], dd4, SetRECT(153, 47 + 110 * (i - 1), 163, 113 + 110 * (i - 1)),
             ScrollSheet);
  SetUpBar(EquScrolls[5], dd4, SetRECT(323, 47, 333, 113), ScrollSheet);

  AddSheet(dd4, "BD1", kListFrame, 1, 1);
  OverlayClips.Item("BD1")->DescRECT(SetRECT(0, 0, 240, 200));
  AddSheet(dd4, "TXT1", kWords, 1, 6);
  AddSheet(dd4, "BU1", kButtons, 2, 3);
  AddSheet(dd4, "BD2", kPreviewFrame, 1, 1);

  AddButton(1, "BUY", 300, 438, "BU1", 2, 2, 1);
  AddButton(1, "SELL", 412, 438, "BU1", 4, 4, 3);
  AddButton(1, "EXIT", 521, 438, "BU1", 6, 6, 5);

  AddSheet(dd4, "BOLD01", kPlates[0], 1, 1);
  AddSheet(dd4, "BOLD02", kPlates[1], 1, 1);
  AddSheet(dd4, "BOLD03", kPlates[2], 1, 1);
  AddSheet(dd4, "BOLD04", kPlates[3], 1, 5);
  AddSheet(dd4, "Allow1", kArrows, 2, 2);

  const int32_t green = plat::RGB(0, 80, 80);
  for (auto& list : EquLists) SetUpList(list, dd4, SetRECT(0, 0, 100, 100), 9, 9 / scale, kWhite, green);
  for (int32_t i = 1; i <= 4; ++i)
    SetUpList(EquLists[static_cast<size_t>(i)], dd4,
              SetRECT(35, 50 + 110 * (i - 1), 147, 112 + 110 * (i - 1)), 9 / scale, 9 / scale, kWhite, green);
  SetUpList(EquLists[5], dd4, SetRECT(205, 50, 317, 112), 9 / scale, 9 / scale, kWhite, green);
  SetUpList(EquLists[7], dd4, SetRECT(475, 215, 620, 400), 9 / scale, 10 / scale, plat::RGB(0, 128, 0), green);

  AddButton(2, "LEFT", 180, 230, "Allow1", 1, 1, 2);
  AddButton(2, "RIGHT", 440, 230, "Allow1", 3, 3, 4);
  AddButton(2, "EXIT", 512, 430, "BU1", 6, 6, 5);

  for (auto* lines : {&EquTextA, &EquTextB})
    for (int32_t k = 1; k <= 16; ++k) {
      EquSlot& line = (*lines)[static_cast<size_t>(k)];
      line.X = k <= 8 ? 200 : 340;
      line.Y = 355 + 12 * ((k - 1) % 8);
    }
  if (SetEQUTextBInfo) SetEQUTextBInfo(*this);
  for (int32_t i = 1; i <= 13; ++i) {
    EquSlots[static_cast<size_t>(i)].X = 530;
    EquSlots[static_cast<size_t>(i)].Y = 215 + 13 * (i - 1);
  }
}

void FactoryOverlay::ListChange(int32_t i) {
  if (i < 1 || i > 5) throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range");
  const int32_t n = EquLists[static_cast<size_t>(i)].Count();
  EquScrolls[static_cast<size_t>(i)].Max = n < 6 ? 1 : n - 4;
}

void ShowRows(const RowList& from, qelListBox& to) {
  bool same = from.Count() == to.Count();
  for (int32_t r = 1; same && r <= from.Count(); ++r) same = to.Item(r)->Text == from.Item(r);
  if (!same) {
    to.RemoveAll();
    for (const auto& text : from.Rows) to.Add(text, "");
    // Rows that went keep the view on rows that are still there.
    const int32_t lastTop = std::max(1, to.Count() - to.MaxCol);
    to.ListIndex = std::clamp(to.ListIndex, 1, lastTop);
  }
  to.SelectedItem = from.SelectedItem;
}

void RemovePreviewModel(RMClass& preview, const char* key) {
  if (preview.Objects->Item(key)) preview.Objects->Remove(key);
}

void ShowPreviewModel(RMClass& preview, const char* key, const std::string& model, float radiansPerTick,
                      bool update) {
  RemovePreviewModel(preview, key);
  if (model.empty() || !preview.D3DRM3) return;
  try {
    DataPack->Extract(model);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "factory: the model \"%s\" cannot be extracted: %s\n", model.c_str(), e.what());
    return;
  }
  if (auto node = preview.Objects->Add(key, model)) {
    node->Frame->SetRotation(nullptr, 0, 1, 0, radiansPerTick);
    if (update) preview.Update(true, 7);
  } else {
    std::fprintf(stderr, "factory: the model \"%s\" cannot be read; the preview stays empty\n", model.c_str());
  }
  DataPack->RemoveTempFile();
}

}  // namespace fw
