#pragma once
// The network battle's screen (state 4): the joiner's wait for the host's
// settings, the loading screen, the battle loop that runs the network
// world's frame and draws it with the campaign's view in the network look,
// the score board, the remaining time, the exit question and the end
// screen. The world (messages, players, modes, respawn, the way out) is the
// NetBattle; this class adds the window, the device and the pictures.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_view.hpp"
#include "battle/surface_pictures.hpp"
#include "engine/screen.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/battle/net_battle.hpp"
#include "multiplayer/battle/net_link.hpp"
#include "multiplayer/battle/player_table.hpp"

namespace fw {

// One line of text of the screen: where, what, in which font and colour.
struct ScreenText {
  int32_t X = 0;
  int32_t Y = 0;
  std::string Text;
  int32_t Color = 0;  // as plat::RGB gives it
  bool Bold = false;
  bool operator==(const ScreenText&) const = default;
};

// A whole number as the runtime's Str writes it: a blank before zero and
// positive numbers, the minus sign before negative ones.
std::string StrNumber(int64_t n);
// Held seconds as the score board shows them: "m:s" with the minutes'
// leading blank and the seconds unpadded (125 s read " 2:5").
std::string HeldTimeText(float seconds);
// The score board (F3): the team line when the team-game flag is set, from
// the own side, then one row per ranked player, as far as the ranking
// reaches and at most 11, with the held time in the territory modes.
std::vector<ScreenText> ScoreBoardTexts(const PlayerTable& table, const std::string& modeName);
// The end screen's texts from the frozen ranking: the team line, then up to
// 15 rows " 1 Player:name" and "score:12".
std::vector<ScreenText> EndScreenTexts(const PlayerTable& frozen);
// Draws the texts in Arial 12 / FontScale, each in its colour and weight.
void DrawScreenTexts(plat::Surface& target, const std::vector<ScreenText>& texts);

// The joystick switch's two messages, in the code page the game draws.
extern const char* const kStickOnText;
extern const char* const kStickOffText;

// The current profile as the network battle books into it, and the
// factory visit with the game's money.
class UserNetProfile final : public NetBattleProfile {
 public:
  UserNetProfile();
  ~UserNetProfile() override;
  std::string Name() override;
  void AddKill() override;
  void AddDeath() override;
  bool Save() override;
  NetResultBook& Results() override;
  Visit VisitFactory() override;
  void Notice(const std::string& text) override;

 private:
  class ResultBook;
  std::unique_ptr<ResultBook> book_;
  bool escape_ = false;  // the notice after an empty visit was answered with Esc
};

class FrmMultiClass : public Screen {
 public:
  // The game's: the session object, the current profile, GameSetting.
  FrmMultiClass();
  // Tests and benchmarks bring their own session, profile and settings.
  FrmMultiClass(NetLink& link, NetBattleProfile& profile, GameSettingRecord& setting);
  ~FrmMultiClass() override;

  void Load() override;

  // --- the visit in its parts, public for tests ---
  // The joiner's wait and factory visit; false when the battle does not
  // go on (Esc, the host never answered, the factory left with Esc).
  bool JoinWait();
  // The loading screen and the map; false (after saying why) when the
  // battle cannot start.
  bool Prepare();
  // One pass of the battle loop.
  void RunPass();
  // The way out after the loop: the departure announced, the session left,
  // the profiles saved.
  void Finish();

  // --- the frame's drawing ---
  void Paint();
  void DrawScore(const plat::SurfacePtr& target);
  void DebugMode2(const plat::SurfacePtr& target);
  // The final scores until a key or a mouse button; the battle is held.
  void EndScreen();

  // --- input ---
  void KeyDown(int16_t& keyCode, int16_t& shift) override;
  void KeyUp(int16_t& keyCode, int16_t& shift) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseUp(int16_t& button, int16_t& shift, float& x, float& y) override;
  // Once a frame: the view and the own tank's aim point.
  void GetMousePos();

  NetBattle& Battle() { return *battle_; }
  BattleState& World() { return battle_->World; }
  BattleView& View() { return *view_; }
  SurfacePictures& Pictures() { return pictures_; }
  bool Prompting() const { return prompting_; }
  void SetPaced(bool paced) { paced_ = paced; }

  int16_t LastKey = 0;
  bool ShowInfo = false;

 private:
  void ExitPrompt();
  // Each wait of the screen holds the world: messages drained, nobody
  // dropped, nothing stepped.
  void HeldPass();
  // A picture of the screen is missing: say so, leave the battle with the
  // profile saved, back to the lobby.
  void LeaveForMissingPicture(const std::string& name);
  void SetLook();

  std::unique_ptr<DirectPlayLink> ownLink_;
  std::unique_ptr<UserNetProfile> ownProfile_;
  SurfacePictures pictures_;
  ScreenBattleOutput output_;
  std::unique_ptr<NetBattle> battle_;
  std::unique_ptr<BattleView> view_;
  bool prompting_ = false;
  bool paced_ = true;
};

}  // namespace fw
