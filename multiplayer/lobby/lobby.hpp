#pragma once
// The network lobby, screen state 3: the connection page (LAN search, typed
// TCP/IP address, modem, serial cable) and, once connected, the session page
// with the games found and NEW, JOIN, Refresh and Cancel. NEW opens the
// new-game page (new_game_page.cpp); the address dialogs are in
// address_dialogs.cpp.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/rects.hpp"
#include "engine/screen.hpp"
#include "engine/sprite_sheets.hpp"
#include "frontend/widgets/list_box.hpp"
#include "multiplayer/lobby/lobby_button_repeat.hpp"
#include "multiplayer/lobby/lobby_list.hpp"
#include "multiplayer/lobby/new_game_page.hpp"
#include "multiplayer/session/session_types.hpp"

namespace fw {

// Leaves the network session, if any: every way back to the lobby or the
// menus that does not go on into a battle ends it.
void LeaveNetworkSession();

class FrmMultiMenuClass : public Screen, private NewGameLobby {
 public:
  enum Slot { kIPX = 0, kTCP = 1, kModem = 2, kSerial = 3 };
  struct ConnectSlot {
    bool Available = false;
    int32_t ProviderIndex = 0;  // 1-based in the session object's provider list
  };

  // Every lobby starts the limits and the money afresh.
  FrmMultiMenuClass();
  ~FrmMultiMenuClass() override;

  void Load() override;
  void KeyPress(int16_t& keyAscii) override;
  void MouseDown(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseMove(int16_t& button, int16_t& shift, float& x, float& y) override;
  void MouseUp(int16_t& button, int16_t& shift, float& x, float& y) override;

  // Empties the list and fills it with the MissionPack's maps for the mode
  // GameSetting names; a map a network game cannot be played on is left
  // out, with a line on standard error.
  void LoadMapList(qelListBox& list) override;
  // The new-game page; result True when it ended with an accepted OK.
  void NewMultiGame(bool& result);
  void ChkClick();
  // The typed address; "" when cancelled, when nothing was typed, or when
  // what was typed is no address (the failed path has then told it).
  std::string GetTCPAddress();
  bool GetModemAddress();
  bool GetSerialAddress();
  void PaintIT();
  void DrawConnectB();
  void DrawSessionB();
  void TestCoop() override;
  void DebugModeP();
  void SetConnect();
  void UpdateSession();
  // Places where piece occurs in text, overlapping ones counted.
  static int32_t GetStrCount(const std::string& text, const std::string& piece);

  // For the tests and the benchmark.
  const std::array<ConnectSlot, 4>& Connects() const { return connects_; }
  int32_t Page() const { return page_; }
  const std::string& RunState() const { return runState_; }
  qelListBox& SessionList() { return *sessionList_; }
  qelListBox& AddressList() { return *addressList_; }
  const std::string& ClickName() const { return clickName_; }
  OBJRECTClass& Buttons() { return buttons_; }
  NewGamePage* Setting() const { return setting_.get(); }
  // The text of the notice on screen over the page ("" for none).
  const std::string& Notice() const { return notice_; }
  // Loads the pictures and sets up the page as Load does, without its loop.
  void Open();

 private:
  OBJRECTClass& SettingButtons() override { return settingButtons_; }
  ButtonRepeat& Repeat() override { return repeat_; }
  float PointerX() const override { return lastX_; }
  float PointerY() const override { return lastY_; }
  void ForgetPress() override;
  void EndPage() override;
  std::shared_ptr<Clip> DialogFrame() const override;

  void Run();
  void LoadPictures();
  // What ChkClick runs for the button name.
  void RunCommand(const std::string& name);
  // A failed connect, create or join: the notice, a wait for a press or a
  // key; `modem` keeps the modem dialog's clicks from reaching the buttons.
  void ShowConnectFail(bool modem);
  // Connected or failed path after OpenConnection.
  void OpenProvider(int32_t providerIndex, bool modem, const std::string& notice = "");
  // The failed path: the notice, then a fresh lobby.
  void ConnectFailed(bool modem);
  void HostGame();
  void JoinGame();
  // Runs a waiting call of the session object with the notice over the
  // page; the call pumps the lobby's frames while it waits, and no press
  // meanwhile counts as a click.
  bool WhileDrawing(const std::string& notice, const std::function<bool(const WaitPump&)>& work);
  // The dialog frame on the primary surface with a line of text.
  void DialogText(const std::string& line);
  // The pages' buttons sliding in; first and last button of the page.
  void DrawPageButtons(int32_t first, int32_t last, double centre);
  void DrawAddressDialog();
  // Leaves the lobby's session unless the lobby goes on to the battle.
  void LeaveUnlessBattle();

  SufClips clips_;
  std::string runState_;
  bool keyHit_ = false;
  OBJRECTClass buttons_;
  std::shared_ptr<qelListBox> sessionList_;
  std::shared_ptr<qelListBox> addressList_;
  OBJRECTClass settingButtons_;
  int16_t lastButton_ = 0;
  int16_t lastShift_ = 0;
  float lastX_ = 0.0f, lastY_ = 0.0f;
  int32_t moveX_ = 0, moveY_ = 0;
  std::string clickName_;
  uint8_t page_ = 1;
  int32_t connIndex_ = 0;
  uint8_t slideStage_ = 0;
  std::array<int32_t, 9> slideX_{};
  std::array<ConnectSlot, 4> connects_{};

  std::unique_ptr<NewGamePage> setting_;
  ButtonRepeat repeat_;
  std::string notice_;
  bool refreshing_ = false;
  // A notice waits for a press or a key to close it.
  bool awaitingPress_ = false;
  // Why each map of the archive is not offered ("" when it is), by member
  // and, for "Base Defensing", its own look.
  std::map<std::string, std::string> mapFaults_;
};

}  // namespace fw
