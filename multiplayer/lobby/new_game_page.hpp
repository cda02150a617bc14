#pragma once
// The new-game page a host fills in before creating a session: single or
// team play, the mode, the map, the win rule and its limit, the money, and
// the network tank armed in the factory. Its choices go into GameSetting.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/rects.hpp"
#include "engine/sprite_sheets.hpp"
#include "frontend/widgets/list_box.hpp"
#include "frontend/widgets/scroll_bar.hpp"
#include "multiplayer/lobby/lobby_button_repeat.hpp"
#include "platform/display/surface.hpp"

namespace fw {

// The lobby as the page sees it. The page runs inside the lobby's loop and
// shares its pointer, its held press, its button rectangles and its dialog
// frame; it reaches them only through here.
class NewGameLobby {
 public:
  // Empties the list and fills it with the maps offered for the mode
  // GameSetting names.
  virtual void LoadMapList(qelListBox& list) = 0;
  virtual OBJRECTClass& SettingButtons() = 0;
  virtual ButtonRepeat& Repeat() = 0;
  // Where the last press or move left the pointer, in pixels.
  virtual float PointerX() const = 0;
  virtual float PointerY() const = 0;
  // Forgets the press and its button: one that opened another screen ended
  // there.
  virtual void ForgetPress() = 0;
  // Ends the page, and the lobby's loop with it.
  virtual void EndPage() = 0;
  virtual void TestCoop() = 0;
  virtual std::shared_ptr<Clip> DialogFrame() const = 0;

 protected:
  ~NewGameLobby() = default;
};

// The help lines shown for a mode name (empty for any other name).
std::array<std::string, 3> ModeHelpFor(const std::string& modeName);

struct NewGamePage {
  explicit NewGamePage(NewGameLobby& lobby);

  // What a press at the point acts on: a button's upper-cased key, "MAPSCROLL",
  // "EQUIPSCROLL", "MODELIST", "MAPLIST", or "" for nothing.
  std::string TargetAt(int32_t x, int32_t y) const;
  // Whether a held press on the target repeats (the steps and the bars).
  static bool Repeats(const std::string& target);
  // One pass of the page's loop after DoEvents.
  void Pass(bool& result);
  void Draw();

  NewGameLobby& Lobby;
  std::shared_ptr<qelListBox> ModeList, MapList, EquipList;
  qelScrollBarClass MapScroll, EquipScroll;
  plat::SurfacePtr PagePicture, LitButtons, ScrollSheet, LitCancel;
  std::array<std::string, 3> ModeHelp;
  float ArmNotice = 0.0f;
  // The notice ArmNotice shows.
  std::string Refusal;
  // Whether the factory visit of this page built a tank.
  bool Armed = false;

 private:
  void Act(const std::string& target, int32_t x, int32_t y, bool& result);
  void FillModes(bool team);
  void Refuse(const std::string& why);
  // The mode row chosen into GameSetting (a row that exists).
  void TakeMode();
  void Equip();
};

}  // namespace fw
