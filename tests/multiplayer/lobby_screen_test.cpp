// The lobby played as a player would: its ways out, the TCP dialog's Esc,
// and the new-game page's limits, steps and refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "multiplayer/lobby/net_factory_visit.hpp"
#include "multiplayer/lobby/new_game_page.hpp"
#include "tests/frontend/screen_support.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace {

using namespace fwtest;

constexpr int kSlideIn = 80;
// Where the buttons rest once slid in (the sheet's cells are 200 x 44).
Step ConnectButton(int row) { return Click(300, 70.0f * row + 22); }
Step SessionButton(int row) { return Click(100, 50.0f * row + 22); }
Step Setting(float x, float y) { return Click(x, y); }

class LobbyScreen : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    fw::Users->NowUser = 1;
    fw::DPlay().EnumConnections = {{"LAN search (IPX)"}, {"Internet TCP/IP"}, {"Serial cable"}};
    fw::GameSetting = {};
  }
  void TearDown() override {
    fw::ReleaseDPlay();
    ScreenTest::TearDown();
  }
  int RunWith(std::vector<Step> steps) {
    Run(lobby, 3, std::move(steps), 6000);
    return fw::GameState;
  }
  // The session page, its search done.
  Step OnSessionPage() {
    return Until([this] { return lobby->Page() == 2 && lobby->RunState() == "Loop"; });
  }
  // Through the LAN search to the session page, then NEW.
  std::vector<Step> ToNewGamePage() {
    return {Wait(kSlideIn), ConnectButton(1), OnSessionPage(), Wait(kSlideIn),
            SessionButton(1), Until([this] { return lobby->Setting() != nullptr; })};
  }
  // The lobby's page, state, session rows and selected row.
  using Look = std::tuple<int32_t, std::string, int32_t, int32_t>;
  Look Looks() const {
    return {lobby->Page(), lobby->RunState(), lobby->SessionList().Count(), lobby->SessionList().SelectedItem};
  }
  // Kept before a command, for StaysIdle.
  Step Remember() {
    return Do([this] { before_ = Looks(); });
  }
  // For `pumps` pumps the lobby stays idle as it was at Remember: no notice
  // (so no second "CFail"), no page over it, no command under way.
  Step StaysIdle(int pumps) {
    auto left = std::make_shared<int>(pumps);
    return [this, left] {
      if (lobby->Notice() != "" || Looks() != before_ || lobby->Setting()) {
        ADD_FAILURE() << "the lobby is not idle: notice \"" << lobby->Notice() << "\", state " << lobby->RunState()
                      << ", page " << lobby->Page() << ", selected row " << lobby->SessionList().SelectedItem
                      << (lobby->Setting() ? ", new-game page open" : "");
        return true;
      }
      return --*left <= 0;
    };
  }
  Look before_;
  // The LAN search runs on this machine's loopback with ports of its own.
  LoopbackNetwork net;
  std::shared_ptr<fw::FrmMultiMenuClass> lobby = std::make_shared<fw::FrmMultiMenuClass>();
};

TEST_F(LobbyScreen, WaysOutOfTheConnectionPage) {
  EXPECT_EQ(RunWith({Wait(3), Esc()}), 1);
  lobby = std::make_shared<fw::FrmMultiMenuClass>();
  EXPECT_EQ(RunWith({Wait(3), Click(632, 8)}), 1);
  lobby = std::make_shared<fw::FrmMultiMenuClass>();
  EXPECT_EQ(RunWith({Wait(kSlideIn), ConnectButton(5)}), 1);
}

TEST_F(LobbyScreen, TheAddressDialogOpensNothingOrTellsTheFailure) {
  // Esc and an empty Enter leave the connection page as it was, and the
  // lobby's own Esc after them still has a lobby to leave; what is typed
  // and is no address shows the failure.
  const struct {
    std::vector<Step> typed;
    bool fails;
  } cases[] = {
      {{Key('1'), Esc()}, false},
      {{Enter()}, false},
      {{ConnectButton(2), Esc()}, false},  // a press in the dialog over the TCP button
      {{Key('1'), Key(190, '.'), Key(190, '.'), Key('2'), Enter()}, true},
  };
  for (const auto& c : cases) {
    lobby = std::make_shared<fw::FrmMultiMenuClass>();
    std::vector<Step> steps = {Wait(kSlideIn), Remember(), ConnectButton(2), Wait(3)};
    steps.insert(steps.end(), c.typed.begin(), c.typed.end());
    if (c.fails)
      steps.insert(steps.end(), {Until([this] { return lobby->Notice() == "CFail"; }), Key('x')});
    else
      steps.insert(steps.end(), {Wait(3), Do([this] { EXPECT_EQ(Looks(), before_); }), Esc()});
    EXPECT_EQ(RunWith(std::move(steps)), c.fails ? 3 : 1);
  }
}

TEST_F(LobbyScreen, LimitsStopAtTheirEndsAndMoneyStepsByTen) {
  struct Case {
    int32_t fw::GameSettingRecord::*field;
    int32_t start;
    float x, y;  // the step button
    int presses;
    int32_t expected;
  };
  const Case cases[] = {
      {&fw::GameSettingRecord::LimTime, 998, 232, 117, 3, 999}, {&fw::GameSettingRecord::LimTime, 6, 232, 125, 3, 5},
      {&fw::GameSettingRecord::LimTank, 998, 232, 144, 3, 999}, {&fw::GameSettingRecord::LimTank, 4, 232, 153, 3, 3},
      {&fw::GameSettingRecord::Money, 10000, 178, 352, 1, 10010}, {&fw::GameSettingRecord::Money, 29990, 178, 352, 2, 30000},
      {&fw::GameSettingRecord::Money, 1010, 178, 361, 2, 1000},
  };
  for (const Case& c : cases) {
    lobby = std::make_shared<fw::FrmMultiMenuClass>();
    std::vector<Step> steps = ToNewGamePage();
    steps.push_back(Do([&c] { fw::GameSetting.*c.field = c.start; }));
    for (int i = 0; i < c.presses; ++i) {
      steps.push_back(Setting(c.x, c.y));
      steps.push_back(Wait(2));
    }
    steps.push_back(Do([&c] { EXPECT_EQ(fw::GameSetting.*c.field, c.expected); }));
    steps.push_back(Setting(550, 449));  // Cancel
    EXPECT_EQ(RunWith(std::move(steps)), 3);
  }
}

TEST_F(LobbyScreen, OkNeedsAnArmedTankAndTheRoleStartsEmpty) {
  fw::GameSetting.Role = "New";  // from an earlier game of this run
  std::vector<Step> steps = ToNewGamePage();
  steps.push_back(Setting(600, 450));  // OK
  steps.push_back(Wait(2));
  steps.push_back(Do([this] {
    EXPECT_EQ(lobby->Setting()->Refusal, "Please arm your tank first.");
    EXPECT_GT(lobby->Setting()->ArmNotice, 0.0f);
  }));
  steps.push_back(Esc());
  EXPECT_EQ(RunWith(std::move(steps)), 3);
  EXPECT_NE(fw::GameSetting.Role, "New");
}

TEST_F(LobbyScreen, OkWithNoMapForTheModeIsRefusedWithAMessage) {
  // An archive without maps: the page lists none, and an older map name
  // must not go to the battle.
  for (int32_t i = fw::MissionPack->PackFiles->Count(); i >= 1; --i) {
    const std::string& key = fw::MissionPack->PackFiles->Item(i)->Key;
    if (fw::qelPackage::GetExtName(key).size() == 3 && (key.ends_with(".Inf") || key.ends_with(".INF") || key.ends_with(".inf")))
      fw::MissionPack->PackFiles->Remove(i);
  }
  fw::GameSetting.MapName = "MapA";
  std::vector<Step> steps = ToNewGamePage();
  steps.push_back(Setting(600, 450));  // OK
  steps.push_back(Wait(2));
  steps.push_back(Do([this] {
    EXPECT_EQ(lobby->Setting()->MapList->Count(), 0);
    EXPECT_EQ(lobby->Setting()->Refusal, "There is no map for this game mode.");
  }));
  steps.push_back(Setting(550, 449));  // Cancel
  EXPECT_EQ(RunWith(std::move(steps)), 3);
}

TEST_F(LobbyScreen, AHeldStepButtonRepeatsUntilReleased) {
  // Held on UP1 for a second of the game's clock: once at the press, then
  // from 0.4 s ten times a second; nothing after the release.
  std::vector<Step> steps = ToNewGamePage();
  steps.push_back(Do([] {
    fw::GameSetting.LimTime = 20;
    MoveTo(232, 117);
    fw::Board->Form_MouseDown(1, 0, 232 * 15, 117 * 15);
  }));
  for (int t = 0; t < 20; ++t) steps.push_back(Do([] { plat::AdvanceClock(50); }));
  steps.push_back(Do([] { fw::Board->Form_MouseUp(1, 0, 232 * 15, 117 * 15); }));
  steps.push_back(Wait(2));
  steps.push_back(Do([] { EXPECT_EQ(fw::GameSetting.LimTime, 20 + 1 + 7); }));
  for (int t = 0; t < 10; ++t) steps.push_back(Do([] { plat::AdvanceClock(50); }));
  steps.push_back(Do([] { EXPECT_EQ(fw::GameSetting.LimTime, 28); }));
  steps.push_back(Setting(550, 449));  // Cancel
  EXPECT_EQ(RunWith(std::move(steps)), 3);
}

TEST_F(LobbyScreen, AGameThatCannotBeHostedShowsTheNoticeAndStaysInTheLobby) {
  // Every game port of this machine is taken, so no session can be made.
  std::vector<plat::UdpSocket> taken(8);
  for (size_t i = 0; i < taken.size(); ++i)
    ASSERT_TRUE(taken[i].Open(plat::Ipv4{0}, static_cast<uint16_t>(net.gamePort + i), false));
  // The factory visit builds a tank without the 3D hall.
  fw::RunNetFactory = [] { fw::Users->NowTank->Key = "Scout Tank"; };
  std::vector<Step> steps = ToNewGamePage();
  steps.push_back(Setting(166, 458));  // EQU
  steps.push_back(Wait(2));
  steps.push_back(Setting(600, 450));  // OK
  steps.push_back(Until([this] { return lobby->Notice() == "CFail"; }));
  steps.push_back(Key('x'));
  steps.push_back(Wait(3));
  steps.push_back(Do([this] {
    EXPECT_EQ(lobby->Page(), 2);
    EXPECT_EQ(lobby->RunState(), "Loop");
    EXPECT_EQ(fw::GameState, 3);
    EXPECT_FALSE(fw::DPlay().InSession());
  }));
  // Again, closing the notice with a click where NEW is, after a press on
  // SINGLE, which lies over NEW: the page does not open again.
  steps.push_back(Wait(kSlideIn));
  steps.push_back(Remember());
  steps.push_back(SessionButton(1));
  steps.push_back(Until([this] { return lobby->Setting() != nullptr; }));
  steps.push_back(Setting(80, 63));    // SINGLE
  steps.push_back(Setting(166, 458));  // EQU
  steps.push_back(Wait(2));
  steps.push_back(Setting(600, 450));  // OK
  steps.push_back(Until([this] { return lobby->Notice() == "CFail"; }));
  steps.push_back(SessionButton(1));
  steps.push_back(StaysIdle(100));
  steps.push_back(Esc());
  EXPECT_EQ(RunWith(std::move(steps)), 3);
  fw::RunNetFactory = [] { fw::RunNestedScreen(fw::ScreenState::Factory); };
  fw::NetTank.Release();
}

TEST_F(LobbyScreen, AJoinTheBattleGaveUpOnIsToldWhenTheLobbyOpens) {
  fw::PendingLobbyNotice = "CFail";
  EXPECT_EQ(RunWith({Until([this] { return lobby->Notice() == "CFail"; }), Key('x'), Wait(3),
                     Do([this] {
                       EXPECT_EQ(lobby->Notice(), "");
                       EXPECT_EQ(lobby->Page(), 1);
                       EXPECT_EQ(fw::PendingLobbyNotice, "");
                     }),
                     Esc()}),
            1);
}

TEST_F(LobbyScreen, BaseDefensingOffersOnlyTheTwoBaseMaps) {
  fw::GameSetting.ModeName = "Base Defensing";
  fw::qelListBox maps;
  lobby->LoadMapList(maps);
  std::vector<std::string> rows;
  for (const auto& item : maps) rows.push_back(item->Text);
  EXPECT_EQ(rows, (std::vector<std::string>{"MapM1", "MapN1"}));
  fw::GameSetting.ModeName = "Death Battle";
  lobby->LoadMapList(maps);
  EXPECT_GT(maps.Count(), 2);
}

TEST_F(LobbyScreen, AMissingPictureEndsTheLobbyWithAMessageBackToTheMainMenu) {
  folder_.Write("pic/MultiMenuB.BMP", "not a picture");
  EXPECT_EQ(RunWith({Wait(1), Answer('A', 'a')}), 1);
}

TEST_F(LobbyScreen, AMissingPictureIsNamedByItsArchiveAndMember) {
  auto& members = *fw::DataPack->PackFiles;
  for (int32_t i = members.Count(); i >= 1; --i)
    if (members.Item(i)->Key == "ConnectFail01.BMP") members.Remove(i);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunWith({Wait(1), Answer('A', 'a')}), 1);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Network lobby: "), std::string::npos) << said;
  EXPECT_NE(said.find("ConnectFail01.BMP is not listed in Data.INF"), std::string::npos) << said;
  EXPECT_EQ(said.find("Faild"), std::string::npos) << said;
}

}  // namespace

// --- the modem and serial dialogs, run on their own over an opened lobby ---

class AddressDialogs : public LobbyScreen {
 protected:
  // Runs a dialog with the steps played at the pumps of its own loop.
  template <typename F>
  auto RunDialog(F dialog, std::vector<Step> steps) {
    for (int s = 1; s <= 9; ++s) fw::ScreenForState(s)->SetEvents(0xFF);
    fw::ScreenForState(3)->Release();
    fw::ScreenForState(3)->SetFactory([this] { return lobby; });
    fw::GameState = 3;
    lobby->Open();
    auto pending = std::make_shared<std::vector<Step>>(std::move(steps));
    auto pumps = std::make_shared<int>(0);
    plat::SetTestDriver([pending, pumps] {
      if (++*pumps > 500) throw ScriptGaveUp{"the dialog did not end"};
      if (pending->empty()) return;
      Step step = pending->front();
      pending->erase(pending->begin());
      if (!step()) pending->insert(pending->begin(), step);
    });
    auto result = dialog();
    plat::SetTestDriver(nullptr);
    EXPECT_TRUE(pending->empty());
    return result;
  }
};

TEST_F(AddressDialogs, TheModemListComesFromTheProvidersAndAnythingElseCancels) {
  const struct {
    std::vector<std::string> modems;
    std::vector<Step> steps;
    bool chosen;
    const char* runState;
  } cases[] = {
      {{}, {}, false, "Loop"},                                               // no modem: no dialog
      {{"Modem A", "Modem B"}, {Wait(2), Click(300, 134)}, true, "RUN"},     // a row chosen
      {{"Modem A", "Modem B"}, {Wait(2), Click(500, 400)}, false, "RUN"},    // a click elsewhere
      {{"Modem A"}, {Wait(2), Key('x')}, false, "RUN"},                      // any key
  };
  for (const auto& c : cases) {
    lobby = std::make_shared<fw::FrmMultiMenuClass>();
    fw::DPlay().DPLobby.modems = c.modems;
    fw::DPlay().DPAddress.reset();
    EXPECT_EQ(RunDialog([this] { return lobby->GetModemAddress(); }, c.steps), c.chosen);
    EXPECT_EQ(lobby->RunState(), c.runState);
    EXPECT_EQ(fw::DPlay().DPAddress.has_value(), c.chosen);
  }
}

TEST_F(AddressDialogs, TheSerialDialogEndsOnAPortOrOnEscOnly) {
  fw::DPlay().DPAddress.reset();
  // A click beside the rows and a key do not end it; the second row does.
  EXPECT_TRUE(RunDialog([this] { return lobby->GetSerialAddress(); },
                        {Wait(2), Click(500, 400), Key('x'), Wait(2), Click(300, 134)}));
  ASSERT_TRUE(fw::DPlay().DPAddress.has_value());
  EXPECT_EQ(fw::DPlay().DPAddress->kind, fw::PlayAddress::Kind::Serial);
  EXPECT_EQ(fw::DPlay().DPAddress->comPort, 2);
  EXPECT_EQ(fw::DPlay().DPAddress->baud, 57600);
  lobby = std::make_shared<fw::FrmMultiMenuClass>();
  EXPECT_FALSE(RunDialog([this] { return lobby->GetSerialAddress(); }, {Wait(2), Esc()}));
  EXPECT_EQ(lobby->RunState(), "Loop");
}

// --- joining a game hosted on this machine -----------------------------------

TEST_F(LobbyScreen, JoinEntersTheBattleAndAFailedJoinStaysInTheLobby) {
  auto host = std::make_unique<fw::qelDirectPlay>();
  ASSERT_TRUE(host->Init());
  ASSERT_TRUE(host->OpenConnection(1));
  ASSERT_TRUE(host->CreateNew("Ann", 0));
  fw::Users->NowItem()->Name = "Bob";
  // Fresh steps for each run: a waiting step counts down only once.
  auto toSessions = [this] {
    return std::vector<Step>{Wait(kSlideIn), ConnectButton(1), OnSessionPage(),
                             Wait(kSlideIn)};
  };
  // Row 1 of the session list, then JOIN.
  auto join = [this] { return std::vector<Step>{Click(300, 82), Wait(2), Remember(), SessionButton(2)}; };

  std::vector<Step> steps = toSessions();
  steps.push_back(Do([this] {
    ASSERT_EQ(lobby->SessionList().Count(), 1);
    EXPECT_EQ(lobby->SessionList().Item(1)->Text, "Ann   (1)");
  }));
  for (Step& st : join()) steps.push_back(st);
  EXPECT_EQ(RunWith(std::move(steps)), 4);
  EXPECT_EQ(fw::GameSetting.Role, "Join");
  EXPECT_TRUE(fw::DPlay().InSession());
  fw::LeaveNetworkSession();

  // The host goes after the list was made: JOIN shows the notice and the
  // lobby stays on its session page, out of any session.
  lobby = std::make_shared<fw::FrmMultiMenuClass>();
  fw::GameSetting.Role.clear();
  steps = toSessions();
  steps.push_back(Do([&host] { host.reset(); }));
  for (Step& st : join()) steps.push_back(st);
  // A press on NEW while the join waits is not a click, then or later.
  steps.push_back(SessionButton(1));
  // The lobby goes on drawing while the join waits for its answer.
  auto framesAtJoin = std::make_shared<uint64_t>(0);
  steps.push_back(Until([this, framesAtJoin] {
    if (lobby->Notice() == "Trying to Connect.  Please Wait." && *framesAtJoin == 0)
      *framesAtJoin = plat::Window::Instance().FramesPresented();
    return lobby->Notice() == "CFail";
  }));
  steps.push_back(Do([framesAtJoin] {
    EXPECT_GT(*framesAtJoin, 0u);
    EXPECT_GE(plat::Window::Instance().FramesPresented(), *framesAtJoin + 10);
  }));
  steps.push_back(Key('x'));
  steps.push_back(Wait(3));
  steps.push_back(Do([this] {
    EXPECT_EQ(lobby->Page(), 2);
    EXPECT_EQ(lobby->RunState(), "Loop");
    EXPECT_EQ(lobby->Setting(), nullptr);
  }));
  // JOIN again, and the notice closed by a click where JOIN is: that click
  // only closes it, and no second join starts.
  for (Step& st : join()) steps.push_back(st);
  steps.push_back(Until([this] { return lobby->Notice() == "CFail"; }));
  steps.push_back(SessionButton(2));
  steps.push_back(StaysIdle(100));
  steps.push_back(Esc());
  EXPECT_EQ(RunWith(std::move(steps)), 3);
  EXPECT_TRUE(fw::GameSetting.Role.empty());
  EXPECT_FALSE(fw::DPlay().InSession());
}
