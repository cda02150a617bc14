#include "multiplayer/lobby/lobby.hpp"

#include <cctype>
#include <exception>
#include <iostream>
#include <span>
#include <string>
#include <utility>

#include "battle/battle_view.hpp"
#include "data/users.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/pack.hpp"
#include "engine/sound.hpp"
#include "engine/surfaces.hpp"
#include "frontend/menu_common.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/lobby/network_maps.hpp"
#include "multiplayer/lobby/new_game_page.hpp"
#include "multiplayer/session/direct_play.hpp"
#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"

namespace fw {
namespace {

const char* const kButtonKeys[] = {"IPX", "TCP", "Modem", "Serial", "OK", "NEW", "JOIN", "Refresh", "Cancel"};

// One button of a page: its rectangle (1-based), its SlideX element, row,
// frames and whether it lights only when its provider exists.
struct PageButton {
  int32_t rect;
  int32_t slide;
  int32_t y;
  int32_t normal;
  int32_t lit;
  int32_t slot;  // -1: always lights
};
constexpr PageButton kConnectButtons[] = {
    {1, 0, 70, 2, 1, 0}, {2, 1, 140, 4, 3, 1}, {3, 2, 210, 6, 5, 2}, {4, 3, 280, 8, 7, 3}, {9, 4, 350, 18, 17, -1}};
constexpr PageButton kSessionButtons[] = {{6, 5, 50, 10, 9, -1}, {7, 6, 100, 12, 11, -1}, {8, 7, 150, 14, 13, -1},
                                          {9, 8, 200, 18, 17, -1}};
constexpr int32_t kConnectStart[] = {-246, -446, -646, -846, -1046};
constexpr int32_t kSessionStart[] = {-246, -446, -646, -846};

constexpr int32_t kDialogX = 190, kDialogY = 100;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

FrmMultiMenuClass::FrmMultiMenuClass()
    : sessionList_(std::make_shared<qelListBox>()), addressList_(std::make_shared<qelListBox>()) {
  GameSetting.LimTime = 20;
  GameSetting.LimTank = 50;
  GameSetting.Money = 10000;
}

FrmMultiMenuClass::~FrmMultiMenuClass() = default;

void FrmMultiMenuClass::Load() {
  try {
    Run();
  } catch (const std::exception& e) {
    // A lobby that cannot run (a picture missing, say) would only start
    // again and fail the same way: say why and go back to the main menu.
    // The error itself names the archive and the member, as at start-up;
    // the last error would only name where the program looked.
    const std::string why = "Network lobby: " + plat::Utf8Of(e);
    runState_ = "EXIT";
    GameState = ScreenState::MainMenu;
    LeaveUnlessBattle();
    try {
      // The board shows it to the player; standard error keeps it for a
      // script that runs the game, as the runtime's own messages do.
      std::cerr << why << '\n';
      ShowMessageBox(why, plat::RGB(255, 0, 0));
    } catch (const std::exception&) {
      plat::MsgBoxUtf8(why);
    }
  }
}

void FrmMultiMenuClass::Open() {
  if (BackBuffer) {
    BackBuffer->SetFont("Arial", 12.0f / FontScale, false);
  }
  // Whatever session a way back into the lobby left behind (the network
  // battle's Esc) ends here.
  LeaveNetworkSession();
  // A session object that cannot start says so itself; the providers it
  // then lists decide which buttons work.
  DPlay().Init();
  SetConnect();
  SetUpLobbyList(*sessionList_, SetRECT(274, 75, 588, 427), 12.0f / FontScale, true, plat::RGB(255, 255, 255));
  LoadPictures();
  const auto button = clips_.Item("Button");
  const RECT cell = button->DescRECT();
  buttons_.OrgRECT->RemoveAll();
  for (const char* key : kButtonKeys) buttons_.OrgRECT->Add(key, cell);
  buttons_.OrgRECT->Add("Quit", SetRECT(626, 0, 638, 16));
  for (int32_t i = 5; i <= 8; ++i) buttons_.OrgRECT->Item(i)->Enabled = false;
  if (BackBuffer) BackBuffer->SetForeColor(plat::RGB(255, 255, 255));
  LoadMenuSounds();
  PlaySoundKey(1, false);
  clickName_.clear();
  runState_ = "Loop";
  page_ = 1;
}

void FrmMultiMenuClass::LoadPictures() {
  // A picture that cannot be loaded raises: the lobby needs all five.
  AddPicture(clips_, "Back", plat::FromUtf8("\\pic\\\u250F\u74DC-4-640.jpg"), 1, 1, false);
  AddPicture(clips_, "Back2", plat::FromUtf8("\\pic\\\u250F\u74DC-3-640.jpg"), 1, 1, false);
  AddPicture(clips_, "Button", "\\pic\\MultiMenuB.BMP", 2, 9, true);
  AddPicture(clips_, "CFail", "\\pic\\ConnectFail01.BMP", 1, 1, true);
  AddPicture(clips_, "Frame", plat::FromUtf8("\\pic\\\u6746\u79F0\u3231\uE710\u59AE\u2526\uE1AF.BMP"), 1, 1, true);
}

void FrmMultiMenuClass::Run() {
  Open();
  // A join the battle gave up on is told here, where the player can try
  // again, as a failed connection is.
  if (std::exchange(PendingLobbyNotice, std::string()) == "CFail") {
    PaintIT();
    ShowConnectFail(false);
  }
  while (runState_ != "EXIT") {
    plat::DoEvents();
    EmptyHook();
    TestCoop();
    ChkClick();
    if (runState_ != "EXIT") PaintIT();
    MediaPlay->CheckLoop();
  }
  LeaveUnlessBattle();
}

void LeaveNetworkSession() {
  if (DPlayExists()) DPlay().CloseDownDPlay();
}

void FrmMultiMenuClass::LeaveUnlessBattle() {
  if (GameState != ScreenState::NetworkBattle) LeaveNetworkSession();
}

void FrmMultiMenuClass::KeyPress(int16_t& keyAscii) {
  if (keyAscii == 27 && (runState_ == "RUN" || runState_ == "Loop")) {
    if (page_ == 1) GameState = ScreenState::MainMenu;
    runState_ = "EXIT";
    return;
  }
  keyHit_ = true;
}

void FrmMultiMenuClass::SetConnect() {
  static const char* const kWords[] = {"IPX", "TCP", "MODEM", "SERIAL"};
  const auto& providers = DPlay().EnumConnections;
  for (size_t i = 0; i < providers.size(); ++i) {
    const std::string name = Upper(providers[i].Name);
    for (int slot = 0; slot < 4; ++slot)
      if (name.find(kWords[slot]) != std::string::npos) {
        connects_[static_cast<size_t>(slot)] = {true, static_cast<int32_t>(i + 1)};
        break;
      }
  }
}

void FrmMultiMenuClass::UpdateSession() {
  qelDirectPlay& dp = DPlay();
  // The search waits a moment for answers; the lobby keeps drawing.
  WhileDrawing("", [&dp](const WaitPump& pump) { return dp.UpdateSession(pump); });
  sessionList_->RemoveAll();
  const int32_t n = static_cast<int32_t>(dp.DPEnumSessions.size());
  for (int32_t i = 1; i <= n; ++i) {
    const SessionEntry s = dp.GetSessionData(i);
    sessionList_->Add(s.SessionName + "   (" + std::to_string(s.CurrentPlayers) + ")", "");
  }
}

void FrmMultiMenuClass::LoadMapList(qelListBox& list) {
  list.RemoveAll();
  const bool bases = GameSetting.ModeName == "Base Defensing";
  const auto& members = *MissionPack->PackFiles;
  for (int32_t i = 1; i <= members.Count(); ++i) {
    const std::string& name = members.Item(i)->Key;
    if (Upper(qelPackage::GetExtName(name)) != "INF") continue;
    const std::string up = Upper(name);
    // The campaign's own maps MapN and MapM are not laid out for two bases.
    if (bases && ((up.find("MAPN") == std::string::npos && up.find("MAPM") == std::string::npos) ||
                  up == "MAPM.INF" || up == "MAPN.INF"))
      continue;
    // Each map is read once a lobby, and a map left out is told once.
    const std::string key = bases ? name + "\n" : name;
    auto fault = mapFaults_.find(key);
    if (fault == mapFaults_.end()) {
      fault = mapFaults_.emplace(key, NetworkMapFault(*MissionPack, name, bases)).first;
      if (!fault->second.empty()) std::cerr << "Map not offered: " << fault->second << '\n';
    }
    if (fault->second.empty()) list.Add(qelPackage::GetMainName(name), "");
  }
}

void FrmMultiMenuClass::NewMultiGame(bool& result) {
  result = false;
  // Whatever an earlier page of this run armed, this page arms its own.
  GameSetting.Role.clear();
  setting_ = std::make_unique<NewGamePage>(static_cast<NewGameLobby&>(*this));
  repeat_.Release();
  while (runState_ != "EXIT") {
    plat::DoEvents();
    setting_->Pass(result);
    if (runState_ == "EXIT") break;
    setting_->Draw();
  }
  setting_.reset();
  repeat_.Release();
}

int32_t FrmMultiMenuClass::GetStrCount(const std::string& text, const std::string& piece) {
  int32_t n = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text.compare(i, piece.size(), piece) == 0) ++n;
  return n;
}

// --- commands ---------------------------------------------------------------

void FrmMultiMenuClass::ChkClick() {
  RunCommand(std::exchange(clickName_, std::string()));
  // The presses made inside the command's dialog or page were meant for
  // them, not for the lobby's buttons beneath: none is kept, however the
  // command ended.
  clickName_.clear();
}

void FrmMultiMenuClass::RunCommand(const std::string& name) {
  auto available = [this](Slot s) { return connects_[s].Available; };
  if (name == "Quit" || name == "Cancel") {
    if (page_ == 1) {
      GameState = ScreenState::MainMenu;
      runState_ = "EXIT";
    } else if (page_ == 2) {
      runState_ = "EXIT";
    }
  } else if (name == "Refresh") {
    refreshing_ = true;
    UpdateSession();
    refreshing_ = false;
  } else if (name == "NEW") {
    HostGame();
  } else if (name == "JOIN") {
    if (sessionList_->SelectedItem >= 1) JoinGame();
  } else if (name == "IPX") {
    if (!available(kIPX)) return;
    DPlay().DPAddress.reset();
    OpenProvider(connects_[kIPX].ProviderIndex, false);
  } else if (name == "TCP") {
    if (!available(kTCP)) return;
    const std::string address = GetTCPAddress();
    if (address.empty()) return;
    DPlay().CreateIP(address);
    OpenProvider(connects_[kTCP].ProviderIndex, false, "Trying to Connect.  Please Wait.");
  } else if (name == "Modem") {
    if (!available(kModem) || !GetModemAddress()) return;
    OpenProvider(connects_[kModem].ProviderIndex, true);
  } else if (name == "Serial") {
    if (!available(kSerial) || !GetSerialAddress()) return;
    OpenProvider(connects_[kSerial].ProviderIndex, false);
  }
}

void FrmMultiMenuClass::OpenProvider(int32_t providerIndex, bool modem, const std::string& notice) {
  connIndex_ = providerIndex;
  const int32_t index = connIndex_;
  if (WhileDrawing(notice, [index](const WaitPump& pump) { return DPlay().OpenConnection(index, pump); })) {
    page_ = 2;
    slideStage_ = 0;
    UpdateSession();
    return;
  }
  ConnectFailed(modem);
}

void FrmMultiMenuClass::ConnectFailed(bool modem) {
  ShowConnectFail(modem);
  runState_ = "EXIT";
}

void FrmMultiMenuClass::ShowConnectFail(bool modem) {
  if (Primary) clips_.Item("CFail")->BltFast(Primary, plat::DDBLTFAST_SRCCOLORKEY, kDialogX, kDialogY, 1);
  notice_ = "CFail";
  const std::string state = runState_;
  keyHit_ = false;
  // The press that closes the notice only closes it: taken as a click on
  // the button under it, it would start the same join again.
  awaitingPress_ = true;
  while (!keyHit_) {
    if (modem) runState_ = "Modem";
    plat::DoEvents();
    if (!keyHit_) plat::Rest(5);
  }
  awaitingPress_ = false;
  if (modem) runState_ = state;
  notice_.clear();
}

void FrmMultiMenuClass::HostGame() {
  bool accepted = false;
  NewMultiGame(accepted);
  if (!accepted) return;
  // A session that did not come about is told here, not in the battle.
  if (!DPlay().CreateNew(Users->NowItem()->Name, 0)) {
    ShowConnectFail(false);
    runState_ = "Loop";
    repeat_.Release();
    return;
  }
  GameState = ScreenState::NetworkBattle;
  runState_ = "EXIT";
  GameSetting.Role = "New";
}

void FrmMultiMenuClass::JoinGame() {
  const int32_t row = sessionList_->SelectedItem;
  const std::string name = Users->NowItem()->Name;
  const bool joined = WhileDrawing("Trying to Connect.  Please Wait.",
                                   [row, name](const WaitPump& pump) { return DPlay().Join(row, name, pump); });
  if (!joined) {
    ShowConnectFail(false);
    return;
  }
  GameState = ScreenState::NetworkBattle;
  runState_ = "EXIT";
  GameSetting.Role = "Join";
}

bool FrmMultiMenuClass::WhileDrawing(const std::string& notice, const std::function<bool(const WaitPump&)>& work) {
  // The session object's calls wait for the network (a join up to a few
  // seconds, a search a moment). They wait in short slices and between two
  // slices hand the game thread back to the lobby for one frame, as a modal
  // loop calls DoEvents: the window stays alive, the notice stays drawn, and
  // the Busy state keeps presses from becoming clicks. The frame touches no
  // session object.
  const std::string state = runState_;
  runState_ = "Busy";
  notice_ = refreshing_ ? std::string("The system is updating. ") : notice;
  const WaitPump frame = [this] {
    plat::DoEvents();
    TestCoop();
    PaintIT();
  };
  // The notice is up before the wait begins, however short it turns out.
  frame();
  const bool ok = work(frame);
  notice_.clear();
  runState_ = state;
  clickName_.clear();
  return ok;
}

// --- drawing and pointer ----------------------------------------------------

void FrmMultiMenuClass::PaintIT() {
  const bool sessions = page_ == 2;
  clips_.Item(sessions ? "Back2" : "Back")->BltFast(BackBuffer, plat::DDBLTFAST_WAIT, 0, 0, 1);
  for (int32_t i = 1; i <= 8; ++i) buttons_.OrgRECT->Item(i)->Enabled = (i <= 4) != sessions;
  if (sessions) {
    DrawSessionB();
    sessionList_->Blt(BackBuffer, plat::DDBLT_KEYSRC);
  } else {
    DrawConnectB();
  }
  if (!notice_.empty() && notice_ != "CFail") {
    clips_.Item("Frame")->BltFast(BackBuffer, plat::DDBLTFAST_WAIT, kDialogX, kDialogY, 1);
    SetSurfaceFont(BackBuffer, "Arial", 12.0f / FontScale, plat::RGB(200, 200, 200), false);
    BackBuffer->DrawText(200, 105, notice_);
    if (refreshing_) BackBuffer->DrawText(200, 121, "Please wait...");
  }
  if (DebugOn == 1) DebugModeP();
  PresentMenuFrame();
}

void FrmMultiMenuClass::DrawConnectB() {
  const auto button = clips_.Item("Button");
  DrawPageButtons(0, 4, 320.0 - button->DescRECT().Right / 2.0);
}

void FrmMultiMenuClass::DrawSessionB() {
  const auto button = clips_.Item("Button");
  DrawPageButtons(5, 8, 120.0 - button->DescRECT().Right / 2.0);
}

void FrmMultiMenuClass::DrawPageButtons(int32_t first, int32_t last, double centre) {
  const bool connectPage = first == 0;
  if (slideStage_ == 0) {
    for (int32_t i = first; i <= last; ++i)
      slideX_[static_cast<size_t>(i)] = connectPage ? kConnectStart[i] : kSessionStart[i - 5];
    slideStage_ = 1;
    return;
  }
  const auto button = clips_.Item("Button");
  const int32_t w = button->DescRECT().Right;
  const std::string hovered = FirstHovered(buttons_);
  for (const PageButton& b : connectPage ? std::span<const PageButton>(kConnectButtons)
                                         : std::span<const PageButton>(kSessionButtons)) {
    int32_t& x = slideX_[static_cast<size_t>(b.slide)];
    SlideStep(x, centre, 10);
    const int32_t slice = x < 0 ? -x : 0;
    if (slice < w) button->Blt(BackBuffer, plat::DDBLT_KEYSRC, x, b.y, b.normal, slice);
    buttons_.OrgRECT->Item(b.rect)->ABSXY(x, b.y);
  }
  for (const PageButton& b : connectPage ? std::span<const PageButton>(kConnectButtons)
                                         : std::span<const PageButton>(kSessionButtons)) {
    const std::string& key = buttons_.OrgRECT->Item(b.rect)->Key;
    if (hovered != key || (b.slot >= 0 && !connects_[static_cast<size_t>(b.slot)].Available)) continue;
    button->Blt(BackBuffer, plat::DDBLT_KEYSRC, slideX_[static_cast<size_t>(b.slide)], b.y, b.lit);
    break;
  }
}

void FrmMultiMenuClass::MouseDown(int16_t& button, int16_t& shift, float& x, float& y) {
  keyHit_ = true;
  lastX_ = x;
  lastY_ = y;
  lastButton_ = button;
  lastShift_ = shift;
  if (awaitingPress_) return;
  const int32_t px = WholePixel(x), py = WholePixel(y);
  if (runState_ == "Modem" || runState_ == "Serial") {
    if (PtInRECT(px, py, addressList_->DesRECT())) addressList_->Click(px, py);
    return;
  }
  if (button != 1) return;
  if (runState_ == "Busy") return;
  if (buttons_.SelectedRect->Count() > 0) {
    clickName_ = FirstHovered(buttons_);
    if (!clickName_.empty()) PlaySoundKey(2, false);
  }
  if (page_ == 2 && PtInRECT(px, py, sessionList_->DesRECT())) sessionList_->Click(px, py);
  if (setting_) repeat_.Press(setting_->TargetAt(px, py), plat::timeGetTime());
}

void FrmMultiMenuClass::MouseMove(int16_t& button, int16_t& shift, float& x, float& y) {
  moveX_ = WholePixel(x);
  moveY_ = WholePixel(y);
  lastX_ = x;
  lastY_ = y;
  lastButton_ = button;
  lastShift_ = shift;
  HoverAt(buttons_, moveX_, moveY_);
  if (setting_) repeat_.Over((button & 1) ? setting_->TargetAt(moveX_, moveY_) : std::string());
}

void FrmMultiMenuClass::MouseUp(int16_t& button, int16_t&, float&, float&) {
  if (button & 1) repeat_.Release();
}

void FrmMultiMenuClass::TestCoop() { WaitWhileDisplayLost(); }

// --- what the new-game page asks of the lobby --------------------------------

void FrmMultiMenuClass::ForgetPress() {
  repeat_.Release();
  lastButton_ = 0;
}

void FrmMultiMenuClass::EndPage() { runState_ = "EXIT"; }

std::shared_ptr<Clip> FrmMultiMenuClass::DialogFrame() const { return clips_.Item("Frame"); }

void FrmMultiMenuClass::DebugModeP() {
  if (!clickName_.empty()) BackBuffer->DrawText(0, 12, clickName_);
  if (buttons_.SelectedRect->Count() > 0) {
    BackBuffer->DrawText(0, 0, FirstHovered(buttons_));
    BackBuffer->DrawText(0, 20, Str(page_));
    if (sessionList_->SelectedItem > 0) BackBuffer->DrawText(0, 12, Str(sessionList_->SelectedItem));
  }
}

void FrmMultiMenuClass::DialogText(const std::string& line) {
  if (!Primary) return;
  clips_.Item("Frame")->BltFast(Primary, plat::DDBLTFAST_WAIT, kDialogX, kDialogY, 1);
  SetSurfaceFont(Primary, "Arial", 12.0f / FontScale, plat::RGB(200, 200, 200), false);
  Primary->DrawText(200, 105, line);
}

}  // namespace fw
