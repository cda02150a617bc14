#pragma once
// A scrollable list of text rows drawn on a surface of its own and copied
// onto the screen. It has no window: the owner forwards clicks, sets the
// first visible row (from a paired scroll bar) and draws it every frame.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/rects.hpp"
#include "engine/surfaces.hpp"
#include "platform/runtime/keyed_collection.hpp"

namespace fw {

class TextItem {
 public:
  std::string Key;
  int32_t Index = 0;  // the row count plus one when added; never renumbered
  std::string Text;
};

class qelListBox {
 public:
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Top = 0;
  int32_t Left = 0;
  int32_t ForeColor = 65793;  // applied by Blt4 only
  int32_t BackColor = 0;      // fill, and the back surface's colour key
  int32_t SelectColor = 0;
  plat::Font Font{"Arial", 12.0f, false};
  int32_t MaxCol = 0;  // visible rows minus one
  int32_t ListIndex = 1;
  int32_t TextHeight = 0;
  int32_t SelectedItem = 0;
  plat::SurfacePtr BackSurface;
  plat::SurfacePtr BackSurface4;

  void Init(const DisplayPtr& dd) { dd7_ = dd; }
  void Init4(const DisplayPtr& dd4) { dd4_ = dd4; }

  // Sizes the list, works out its rows from the font (set the font first)
  // and makes a new back surface keyed on BackColor.
  void DesRECT(const RECT& r);
  const RECT& DesRECT() const { return desRect_; }

  // A key already present raises DuplicateKey; before and after, when
  // given (position, or 0 for none), place the row as the collection does.
  std::shared_ptr<TextItem> Add(const std::string& text, const std::string& key, int32_t before = 0,
                                int32_t after = 0);
  // Raise for a row that does not exist.
  std::shared_ptr<TextItem> Item(int32_t position) const { return items_.Item(position); }
  std::shared_ptr<TextItem> Item(std::string_view key) const { return items_.Item(key); }
  int32_t Count() const { return items_.Count(); }
  void Remove(int32_t position);
  void Remove(std::string_view key);
  void RemoveAll();
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // Selects the row under the point, or clears the selection; returns it.
  int32_t Click(int32_t x, int32_t y);
  // Moves the first visible row by one, held within 1..Count - MaxCol.
  void Scroll(bool down);

  int32_t Blt(const plat::SurfacePtr& target, int32_t flags);
  int32_t Blt4(const plat::SurfacePtr& target, int32_t flags);

 private:
  void CalcTextMetrics();
  void AfterRemove();
  int32_t Draw(const plat::SurfacePtr& back, const plat::SurfacePtr& target, int32_t flags, bool setForeColor);

  plat::KeyedCollection<TextItem> items_;
  DisplayPtr dd7_;
  DisplayPtr dd4_;
  RECT desRect_{};
};

}  // namespace fw
