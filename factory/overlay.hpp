#pragma once
// The factory's 2D overlay: every sprite sheet, button, list box, scroll
// bar and text position the shop pages and the assembly screen draw on the
// hall's back buffer. Built once per visit, after the 3D scenes, on the
// hall scene's own display object.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/rects.hpp"
#include "engine/rm_class.hpp"
#include "engine/sprite_sheets.hpp"
#include "engine/surfaces.hpp"
#include "frontend/widgets/list_box.hpp"
#include "frontend/widgets/scroll_bar.hpp"
#include "factory/rules/row_list.hpp"

namespace fw {

// A positioned line of text of the assembly screen.
struct EquSlot {
  std::string Name;
  int32_t X = 0;
  int32_t Y = 0;
  plat::Font Font;
};

class FactoryOverlay {
 public:
  SufClips OverlayClips;
  qelListBox ShopListA;  // a shop's goods for sale
  qelListBox ShopListB;  // the player's own items of the shop's kind
  qelScrollBarClass ShopScrollA;
  qelScrollBarClass ShopScrollB;
  std::array<qelListBox, 8> EquLists;
  // Entries 1 to 5 pair with EquLists 1 to 5; entry 0 is never set up.
  std::array<qelScrollBarClass, 6> EquScrolls;
  // Entry 1 the shop pages' buttons, entry 2 the assembly screen's.
  std::array<OBJRECTClass, 3> ButtonSets;
  std::array<EquSlot, 17> EquTextA;
  std::array<EquSlot, 17> EquTextB;
  std::array<EquSlot, 14> EquSlots;
  // The scroll bars' picture, shared by every bar.
  plat::SurfacePtr ScrollSheet;

  // The assembly screen's headline texts, written when the overlay is
  // built; the assembly page sets this before the factory is entered.
  std::function<void(FactoryOverlay&)> SetEQUTextBInfo;

  // Builds everything above on the display object. A picture missing from
  // the archive raises plat::RuntimeError; what was built stays.
  void LoadWeapScreen(const DisplayPtr& dd4);
  // Keeps EquScrolls(i)'s range in step with EquLists(i)'s rows; only 1 to
  // 5 have a bar, any other index raises SubscriptOutOfRange.
  void ListChange(int32_t i);

  // A button of a set by key, null when there is none.
  std::shared_ptr<OBJRECT> Button(int set, const std::string& key);

 private:
  void AddSheet(const DisplayPtr& dd4, const std::string& key, const std::string& picture, int32_t columns,
                int32_t rows);
  void AddButton(int set, const std::string& key, int32_t x, int32_t y, const std::string& sheet, int32_t normal,
                 int32_t down, int32_t over);
};

// A list box shows the rules' rows as they now stand: rebuilt only when the
// rows changed (so its view stays put), with the rules' selection.
void ShowRows(const RowList& from, qelListBox& to);

// A model from "Data" turning in the preview scene under its key, in place
// of what the key showed; an empty name only takes the old one away. A
// model that cannot be read leaves the key empty and is told on standard
// error. Rendered once at once when asked.
void ShowPreviewModel(RMClass& preview, const char* key, const std::string& model, float radiansPerTick,
                      bool update);
void RemovePreviewModel(RMClass& preview, const char* key);

// Member names of the overlay's pictures in "Data".
namespace overlay_pictures {
inline constexpr const char* kScroll = "\\pic\\Scroll2.BMP";
inline constexpr const char* kListFrame = "\\bolder1.BMP";
inline constexpr const char* kWords = "\\Word-.BMP";
inline constexpr const char* kButtons = "\\ShopButtons.jpg";
inline constexpr const char* kPreviewFrame = "\\PreviewFrame.BMP";
inline constexpr const char* kPlates[4] = {"\\PlateSlots.BMP", "\\PlateList.BMP", "\\PlateText.BMP",
                                           "\\PlateTitles.BMP"};
inline constexpr const char* kArrows = "\\Arrows.BMP";
}  // namespace overlay_pictures

}  // namespace fw
