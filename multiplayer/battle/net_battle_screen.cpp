// The network battle screen's visit: the joiner's wait, the loading
// screen, the loop, the waits that hold the world, the way out, and the
// keys and mouse.
#include "multiplayer/battle/net_battle_screen.hpp"

#include "battle/battle_input.hpp"
#include "battle/mission_hooks.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/joystick.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/message_box.hpp"
#include "engine/surfaces.hpp"
#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/battle/game_modes.hpp"
#include "multiplayer/lobby/net_factory_visit.hpp"
#include "platform/display/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr float kStickMessageTime = 300.0f;
constexpr const char* kProcessPicture = "\\ProcessPic.jpg";
constexpr const char* kWaitText = "Trying to Connect.  Please Wait.";

void ProgressLine(int32_t x, int32_t y, const char* text) {
  if (Primary) Primary->DrawText(x, y, text);
}
}  // namespace

// The joystick's on and off words as the game stores them.
const char* const kStickOnText = "\xa8\xcf\xa5\xce\xb7n\xb1\xec";
const char* const kStickOffText = "\xa4\xa3\xa8\xcf\xa5\xce\xb7n\xb1\xec";

// --- the current profile ---

class UserNetProfile::ResultBook final : public NetResultBook {
 public:
  void Book(bool won) override {
    if (auto user = Users->NowItem()) BookNetResult(*user, won);
  }
};

UserNetProfile::UserNetProfile() = default;
UserNetProfile::~UserNetProfile() = default;

std::string UserNetProfile::Name() {
  auto user = Users->NowItem();
  return user ? user->Name : std::string();
}

void UserNetProfile::AddKill() {
  if (auto user = Users->NowItem()) BookNetKill(*user);
}

void UserNetProfile::AddDeath() {
  if (auto user = Users->NowItem()) BookNetDeath(*user);
}

bool UserNetProfile::Save() {
  const bool saved = Users->SaveUser();
  // Told as the battle's failures are once it is left, and like them in
  // UTF-8: the notice names profiles as the boards spell them.
  if (const std::string kept = saved ? Users->TakeSaveNotice() : std::string(); !kept.empty()) plat::MsgBoxUtf8(kept);
  return saved;
}

NetResultBook& UserNetProfile::Results() {
  if (!book_) book_ = std::make_unique<ResultBook>();
  return *book_;
}

NetBattleProfile::Visit UserNetProfile::VisitFactory() {
  if (escape_) return Visit{true, std::nullopt};
  const bool armed = NetFactoryVisit(GameSetting.Money);
  // The press that left the factory is not a shot in the battle.
  MouseButton = 0;
  if (!armed) return Visit{};
  return Visit{false, *NetTank};
}

void UserNetProfile::Notice(const std::string& text) {
  // Esc on the notice leaves the battle instead of opening the factory again.
  escape_ = ShowMessageBox(text, plat::RGB(255, 255, 0)) == vk::kEscape;
}

// --- the screen ---

FrmMultiClass::FrmMultiClass()
    : ownLink_(std::make_unique<DirectPlayLink>(DPlay())), ownProfile_(std::make_unique<UserNetProfile>()),
      output_(nullptr, pictures_),
      battle_(std::make_unique<NetBattle>(*ownLink_, *ownProfile_, pictures_, output_, GameSetting)),
      view_(std::make_unique<BattleView>(battle_->World, pictures_)) {
  output_.SetWorld(&battle_->World);
  battle_->AgeEffects = false;  // the drawing ages them
}

FrmMultiClass::FrmMultiClass(NetLink& link, NetBattleProfile& profile, GameSettingRecord& setting)
    : output_(nullptr, pictures_),
      battle_(std::make_unique<NetBattle>(link, profile, pictures_, output_, setting)),
      view_(std::make_unique<BattleView>(battle_->World, pictures_)) {
  output_.SetWorld(&battle_->World);
  battle_->AgeEffects = false;
}

FrmMultiClass::~FrmMultiClass() = default;

void FrmMultiClass::Load() {
  plat::Randomize();
  if (JoinWait() && Prepare()) {
    while (battle_->RunState != "EXIT") RunPass();
    Finish();
  }
  GameState = battle_->GameState;
}

void FrmMultiClass::LeaveForMissingPicture(const std::string& name) {
  LastError = "Load File:" + name + " Faild";
  plat::MsgBox("The network battle cannot show its screen: " + name + " is missing.");
  if (!battle_->Leave()) plat::MsgBoxUtf8(LastError);
  battle_->GameState = ScreenState::NetworkLobby;
  battle_->RunState = "EXIT";
}

bool FrmMultiClass::JoinWait() {
  plat::SurfacePtr board;
  try {
    LoadSurfaceFromPack(AppPath + BoardPicture(), board, DDraw);
  } catch (const plat::RuntimeError&) {
    board = nullptr;
  }
  if (!board) {
    LeaveForMissingPicture(BoardPicture());
    return false;
  }
  if (Primary) Primary->SetForeColor(plat::RGB(255, 0, 0));
  battle_->World.PlayerUnit = -1;
  GameSettingRecord& setting = battle_->Setting();
  if (setting.Role == "New" && !battle_->UserTK && !NetTank->Key.empty()) battle_->UserTK = *NetTank;
  if (setting.Role != "Join") return true;

  LastKey = 0;
  battle_->BeginJoinWait();
  int32_t shown = -1;
  for (;;) {
    const int32_t seconds = battle_->WaitSeconds();
    if (seconds != shown && Primary) {
      shown = seconds;
      const RECT whole = GetSurfaceSize(board);
      Primary->BltFast(190, 100, board.get(), &whole, plat::DDBLTFAST_WAIT);
      Primary->DrawText(200, 105, kWaitText + StrNumber(seconds));
    }
    plat::DoEvents();
    if (LastKey == vk::kEscape) {
      // Back to the lobby, which leaves the session when it opens.
      battle_->AbandonJoinWait();
      return false;
    }
    const NetBattle::Wait w = battle_->PollJoinWait();
    if (w == NetBattle::Wait::GaveUp) return false;
    if (w == NetBattle::Wait::Go) break;
    plat::WaitForRefresh();
  }
  return battle_->EquTank() == NetBattle::Armed::Yes;
}

bool FrmMultiClass::Prepare() {
  plat::SurfacePtr picture;
  try {
    LoadSurfaceFromPack(AppPath + kProcessPicture, picture, DDraw);
  } catch (const plat::RuntimeError&) {
    picture = nullptr;
  }
  if (!picture) {
    LeaveForMissingPicture(kProcessPicture);
    return false;
  }
  const RECT whole{0, 0, 640, 480};
  if (Primary) {
    Primary->Blt(&whole, picture.get(), &whole, plat::DDBLT_WAIT);
    SetSurfaceFont(Primary, "Fixedsys", 6.0f / FontScale, plat::RGB(0, 255, 0), false);
  }
  ProgressLine(60, 40, "Initialize Setting...");
  view_->SetIMState();
  PrimaryProgress progress;
  if (!battle_->LoadMap(progress)) {
    const bool noMap = battle_->Setting().MapName.empty();
    if (!noMap) plat::MsgBox("The network battle cannot load its map: " + battle_->LastError);
    const int32_t next = battle_->GameState;
    // The others must not wait for a player who never comes.
    if (!battle_->Leave()) plat::MsgBoxUtf8(LastError);
    battle_->GameState = next;
    return false;
  }
  if (MusicOn) MediaPlay->PlayBackSound(0);
  LastError = "LOOP";
  battle_->Start();
  return true;
}

void FrmMultiClass::RunPass() {
  plat::DoEvents();
  EmptyHook();
  WaitWhileDisplayLost();
  BattleState& w = battle_->World;
  if (w.StickSwitch != 0) {
    if (BattleUnit* p = PlayerOf(w)) ReadJoystick(*p);
  }
  GetMousePos();
  battle_->Frame();
  if (battle_->Ended() && battle_->RunState != "EXIT") {
    EndScreen();
    battle_->RunState = "EXIT";
  }
  if (battle_->RunState != "EXIT") Paint();
  MediaPlay->CheckLoop();
  DInput->Poll();
}

void FrmMultiClass::Finish() {
  if (!battle_->Leave()) plat::MsgBoxUtf8(LastError);
}

void FrmMultiClass::HeldPass() {
  plat::DoEvents();
  battle_->Frame();
  plat::WaitForRefresh();
}

void FrmMultiClass::ExitPrompt() {
  prompting_ = true;
  battle_->SetHold(true);
  if (Primary) DrawTextBoard(Primary, 190, 100, "Are you sure to exit? (Y/n)");
  KeyCode = 0;
  while (KeyCode <= 0 && battle_->RunState != "EXIT") HeldPass();
  if (KeyCode == vk::kY || KeyCode == vk::kEscape) battle_->RunState = "EXIT";
  KeyCode = 0;
  battle_->SetHold(false);
  ResumeAfterHold(battle_->Mode);
  prompting_ = false;
}

// --- input ---

void FrmMultiClass::KeyDown(int16_t& keyCode, int16_t& /*shift*/) {
  LastKey = keyCode;
  // The key that answers a question is the question's alone.
  if (prompting_ || battle_->RunState != "Loop" || battle_->OwnTank() < 0) return;
  BattleState& w = battle_->World;
  const int16_t k = keyCode;
  if (k == vk::kF2) {
    w.StickSwitch = w.StickSwitch ? 0 : -1;
    output_.PlaySoundKey("Bleep01");
    ShowMsg(w, w.StickSwitch ? kStickOnText : kStickOffText, kStickMessageTime);
  } else if (k == vk::kF3) {
    ShowInfo = !ShowInfo;
  } else if (k == vk::kEscape) {
    ExitPrompt();
  } else {
    BattleKeyDown(w, output_, k, true);
  }
  // Whatever changed reaches the others with the world's next frame.
}

void FrmMultiClass::KeyUp(int16_t& keyCode, int16_t& /*shift*/) {
  if (prompting_ || battle_->RunState != "Loop" || battle_->OwnTank() < 0) return;
  BattleKeyUp(battle_->World, keyCode);
}

void FrmMultiClass::MouseDown(int16_t& button, int16_t& /*shift*/, float& x, float& y) {
  if (prompting_ || battle_->RunState != "Loop") return;
  BattleMouseDown(battle_->World, button, x, y);
}

void FrmMultiClass::MouseUp(int16_t& button, int16_t& /*shift*/, float& /*x*/, float& /*y*/) {
  if (prompting_ || battle_->RunState != "Loop") return;
  BattleMouseUp(battle_->World, button);
}

void FrmMultiClass::MouseMove(int16_t& /*button*/, int16_t& /*shift*/, float& x, float& y) {
  if (battle_->RunState != "Loop") return;
  BattleMouseMove(battle_->World, x, y);
}

void FrmMultiClass::GetMousePos() {
  ScrollView(battle_->World, true);
  battle_->ClampView();
}

}  // namespace fw
