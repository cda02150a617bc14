#pragma once
// The factory's assembly screen: the player's owned items in five lists,
// the slot list of the fitted set, the turning previews of the hull and of
// the item chosen, the attribute lines and the load left. Every move of
// equipment goes through the rules' Assembly; this page shows its lists in
// the overlay's widgets and turns clicks on them into its operations.
#include <cstdint>
#include <string>

#include "engine/rm_class.hpp"
#include "factory/assembly_texts.hpp"
#include "factory/overlay.hpp"
#include "factory/rules/factory_rules.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class AssemblyPage {
 public:
  // The screen's lists and texts live in the overlay; the hull and the item
  // chosen turn in the preview scene as "WPLOOK" and "EQULOOK".
  AssemblyPage(FactoryRules& rules, const FactoryCatalogs& catalogs, FactoryOverlay& overlay, RMClass& preview);
  AssemblyPage(const AssemblyPage&) = delete;
  AssemblyPage& operator=(const AssemblyPage&) = delete;

  // After the rules opened the screen: the lists, the slot list, the hull
  // on show and the attribute lines as the fitted set stands.
  void Open();

  enum class ClickResult { Stayed, Closed };
  // A press on the open screen (1 left, 2 right). Closed when EXIT took the
  // fitted set: the battle tank is rebuilt and the hall is next; the caller
  // puts the new tank on the platform and lights the hall again.
  ClickResult Click(int16_t button, float x, float y);
  // The pointer moved over the open screen: the buttons light up under it.
  void MouseMove(int16_t button, float x, float y);
  // Over a list or a scroll bar, where dragging with the left button held
  // repeats the press; never over LEFT, RIGHT or EXIT, whose repeats would
  // switch hulls or leave.
  bool RepeatsPressAt(float x, float y) const;
  // The screen has been left some other way (Esc): the previews go.
  void Closed();

  // The whole screen over what the target holds (the hall's still picture).
  // The cursor places the hover hints.
  void Draw(const plat::SurfacePtr& target, int32_t cursorX, int32_t cursorY);

  // The load left as last drawn; below 0 the tank is overloaded.
  int32_t EquLoadLeft() const { return loadLeft_; }
  const AttributeLines& TextA() const { return textA_; }

 private:
  Assembly& assembly() { return rules_.Assembler(); }
  // False when the press ends at once.
  bool ClickLeft(float x, float y, ClickResult& result);
  void ClickRight(float x, float y);
  void ScrollStep(float x, float y);
  // The widgets show the rules' lists as they now stand.
  void SyncLists();
  void ShowTank();
  void SetAttrib();
  void SetText(int32_t panel, const std::string& name, const std::string& ammunition);
  void PublishTexts();
  void DrawPreview(const plat::SurfacePtr& target, const char* shown, const char* other, const RECT& into);

  FactoryRules& rules_;
  const FactoryCatalogs& catalogs_;
  FactoryOverlay& overlay_;
  RMClass& preview_;
  AttributeLines textA_;
  int32_t loadLeft_ = 0;
  // Counts the frames of the blinking overload warning; it keeps its count
  // for the whole visit.
  int32_t blink_ = 0;
};

}  // namespace fw
