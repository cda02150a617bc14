// The network battle screen: its texts, the network look of the shared
// drawing, the keys, and the waits that hold the world, on screens joined
// in one process.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "battle/battle_input.hpp"
#include "battle/sim_math.hpp"
#include "engine/cursor.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/message_box.hpp"
#include "engine/surfaces.hpp"
#include "multiplayer/battle/net_battle_screen.hpp"
#include "platform/input/window.hpp"
#include "tests/data/kept_copy.hpp"
#include "tests/multiplayer/net_battle_support.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"

namespace fw::nettest {
namespace {

PlayerRecord Rec(const std::string& name, int32_t score, uint8_t team = 0, float held = 0.0f) {
  PlayerRecord p;
  p.Name = name;
  p.Score = score;
  p.Team = team;
  p.HeldTime = held;
  return p;
}

// The table as the screen sees it: players, a ranking (maybe shorter), the
// team totals and the team-game flag.
PlayerTable Table(std::vector<PlayerRecord> players, size_t ranked, std::array<int32_t, 3> teams = {}) {
  PlayerTable t;
  t.Players = players;
  t.SortedPlayers.assign(players.begin(), players.begin() + static_cast<long>(ranked));
  t.TeamScore = teams;
  return t;
}

std::vector<std::string> TextsAt(const std::vector<ScreenText>& texts, int32_t x) {
  std::vector<std::string> out;
  for (const auto& t : texts)
    if (t.X == x) out.push_back(t.Text);
  return out;
}

TEST(NetScreenTextTest, NumbersAndHeldTimeAsTheRuntimeWritesThem) {
  EXPECT_EQ(StrNumber(12), " 12");
  EXPECT_EQ(StrNumber(0), " 0");
  EXPECT_EQ(StrNumber(-5), "-5");
  const struct {
    float seconds;
    const char* text;
  } held[] = {{125.0f, " 2:5"}, {0.0f, " 0:0"}, {1145.0f, " 19:5"}, {61.5f, " 1:2"}, {60.5f, " 1:0"},
              {-3.0f, " 0:0"}};
  for (const auto& c : held) EXPECT_EQ(HeldTimeText(c.seconds), c.text) << c.seconds;
}

TEST(NetScreenTextTest, ScoreBoardRows) {
  std::vector<PlayerRecord> twelve;
  for (int i = 0; i < 12; ++i) twelve.push_back(Rec("P" + std::to_string(i), i));
  const struct {
    const char* what;
    PlayerTable table;
    std::string mode;
    std::vector<std::string> left;   // x 50
    std::vector<std::string> right;  // x 200
    size_t timeRows;                 // x 400
  } cases[] = {
      {"a team game from team 0's side", Table({Rec("Ann", 12), Rec("Bob", 0, 1)}, 2, {12, 3, 1}),
       "Group Life-and-Death Battle", {"Score of Allied Forces:  12", "Player: Ann", "Player: Bob"},
       {"Score of Enemy:  3", "score:  12", "score:  0"}, 0},
      {"team 1 sees its own total as allied", Table({Rec("Bob", 3, 1), Rec("Ann", 12, 0)}, 2, {12, 3, 1}),
       "Base Defensing", {"Score of Allied Forces:  3", "Player: Bob", "Player: Ann"},
       {"Score of Enemy:  12", "score:  3", "score:  12"}, 0},
      {"a ranking shorter than the table after a join", Table({Rec("Ann", 1), Rec("New", 0)}, 1),
       "Death Battle", {"Player: Ann"}, {"score:  1"}, 0},
      {"at most eleven rows", Table(twelve, 12), "Death Battle", {}, {}, 0},
      {"the held time in the territory modes", Table({Rec("Ann", 0, 0, 125.0f)}, 1), "Group Territy Hegemonist",
       {"Player: Ann"}, {"score:  0"}, 1},
  };
  for (const auto& c : cases) {
    const auto texts = ScoreBoardTexts(c.table, c.mode);
    if (!c.left.empty()) {
      EXPECT_EQ(TextsAt(texts, 50), c.left) << c.what;
      EXPECT_EQ(TextsAt(texts, 200), c.right) << c.what;
    } else {
      EXPECT_EQ(TextsAt(texts, 50).size(), 11u) << c.what;
      EXPECT_EQ(texts.back().Y, 50 + 20 * 10) << c.what;
    }
    EXPECT_EQ(TextsAt(texts, 400).size(), c.timeRows) << c.what;
  }
  EXPECT_EQ(TextsAt(ScoreBoardTexts(Table({Rec("Ann", 0, 0, 125.0f)}, 1), "Territy Hegemonist"), 400),
            std::vector<std::string>{"Time   2:5"});
}

TEST(NetScreenTextTest, EndScreenRowsFromTheFrozenRanking) {
  std::vector<PlayerRecord> sixteen;
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  for (int i = 0; i < 16; ++i) sixteen.push_back(Rec("P" + std::to_string(i), i == 0 ? 12 : -1));
  FW_LIBRARY_FALSE_ALARM_END
  const auto texts = EndScreenTexts(Table(sixteen, 16));
  const auto names = TextsAt(texts, 100), scores = TextsAt(texts, 350);
  ASSERT_EQ(names.size(), 15u);
  EXPECT_EQ(names.front(), " 1 Player:P0");
  EXPECT_EQ(names.back(), " 15 Player:P14");
  EXPECT_EQ(scores.front(), "score:12");
  EXPECT_EQ(scores.back(), "score:-1");
  EXPECT_EQ(texts.front().Y, 60);
  const auto team = EndScreenTexts(Table({Rec("Bob", 3, 1)}, 1, {12, 3, 1}));
  EXPECT_EQ(team[0].Text, "Score of Allied Forces:  3");
  EXPECT_EQ(team[0].Color, plat::RGB(0, 255, 0));
  EXPECT_EQ(team[1].Text, "Score of Enemy:  12");
  EXPECT_EQ(team[1].Color, plat::RGB(255, 0, 0));
}

// Screens joined through the in-memory hub, with a display.
class NetScreenTest : public NetBattleTest {
 protected:
  struct Player {
    Player(TestHub& hub, const std::string& name, GameSettingRecord s)
        : link(hub.Join(name)), profile(name), settings(std::move(s)), screen(link, profile, settings) {
      screen.SetPaced(false);
    }
    TestHub::Link& link;
    TestProfile profile;
    GameSettingRecord settings;
    FrmMultiClass screen;
  };

  void SetUp() override {
    NetBattleTest::SetUp();
    DDraw = std::make_shared<plat::DirectDraw>();
    DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    ASSERT_TRUE(CreatePrimaryAndBackBuffer(Primary, BackBuffer, DDraw));
    KeyTable = {};
  }
  void TearDown() override {
    plat::SetTestDriver(nullptr);
    players.clear();
    Users.Release();
    CursorSurface.reset();
    MsgBoard = MsgBoardRecord{};
    Primary.reset();
    BackBuffer.reset();
    DDraw.reset();
    KeyCode = 0;
    NetBattleTest::TearDown();
  }

  Player& HostScreen(GameSettingRecord s = HostSetting()) {
    players.push_back(std::make_unique<Player>(hub, "Host", s));
    Player& p = *players.back();
    EXPECT_TRUE(p.screen.JoinWait());
    EXPECT_TRUE(p.screen.Prepare()) << p.screen.Battle().LastError;
    p.screen.Battle().UserTK = *p.screen.World().Templates.Item(1);
    return p;
  }
  // A joiner through the screen's wait; the others' frames run at its pumps.
  Player& JoinScreen(const std::string& name) {
    players.push_back(std::make_unique<Player>(hub, name, JoinSetting()));
    Player& p = *players.back();
    p.profile.armWith = *players.front()->screen.World().Templates.Item(1);
    plat::SetTestDriver([this, me = &p] { StepOthers(me); });
    EXPECT_TRUE(p.screen.JoinWait());
    EXPECT_TRUE(p.screen.Prepare()) << p.screen.Battle().LastError;
    plat::SetTestDriver(nullptr);
    return p;
  }
  void StepOthers(Player* me, uint32_t ms = 15) {
    plat::AdvanceClock(ms);
    for (auto& p : players)
      if (p.get() != me && p->screen.Battle().RunState == "Loop") p->screen.Battle().Frame();
  }
  void RunAll(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 15) StepOthers(nullptr);
  }
  const plat::Surface& Back(Player& p) { return *p.screen.View().Device().BackSurface; }
  // Pixels of colour c inside the rectangle of the back surface.
  static int Count(const plat::Surface& s, const RECT& r, uint16_t c) {
    int n = 0;
    for (int y = std::max(0, r.Top); y < std::min(s.Height(), r.Bottom); ++y)
      for (int x = std::max(0, r.Left); x < std::min(s.Width(), r.Right); ++x) n += s.Row(y)[x] == c;
    return n;
  }

  std::vector<std::unique_ptr<Player>> players;
};

constexpr uint16_t kRed565 = 0xF800, kGreen565 = 0x07E0, kYellow565 = 0xFFE0, kCyan565 = 0x07FF;

TEST_F(NetScreenTest, EachTankCarriesItsOwnersNameBySideAndBlackWhileTheOwnTankIsDead) {
  Player& host = HostScreen();
  Player& joiner = JoinScreen("Bea");
  RunAll(3000);
  BattleState& w = host.screen.World();
  const int32_t other = host.screen.Battle().Table.Players.at(1).TankID;
  ASSERT_GE(host.screen.Battle().OwnTank(), 0);
  ASSERT_GE(other, 0) << "the joiner's tank reached the host";
  ASSERT_EQ(w.Units[other].Key, "Bea");
  // Both tanks on screen, the joiner's at a known place.
  BattleUnit& mine = w.Units[host.screen.Battle().OwnTank()];
  w.ScrollX = RoundL(mine.PosX) - 200;
  w.ScrollY = RoundL(mine.PosY) - 200;
  w.Units[other].PosX = mine.PosX + 200;
  w.Units[other].PosY = mine.PosY;
  w.Units[other].Speed = 0;
  mine.Speed = 0;
  const struct {
    const char* what;
    bool ownAlive;
    int32_t unit;
    uint16_t color;
  } cases[] = {{"the other side in red", true, other, kRed565},
               {"the own tank in green", true, host.screen.Battle().OwnTank(), kGreen565},
               {"black without an own tank", false, other, 0x0000}};
  const int32_t own = w.PlayerUnit;
  for (const auto& c : cases) {
    w.PlayerUnit = c.ownAlive ? own : -1;
    const BattleUnit& u = w.Units[c.unit];
    plat::Surface ref(640, 480);
    ref.SetFont("Arial", 7.0f, false);
    ref.SetForeColor(plat::RGB(255, 255, 255));
    const int32_t x = RoundL(u.PosX) - w.ScrollX, y = RoundL(u.PosY) - w.ScrollY;
    ref.DrawText(x, y + 4, u.Key);
    plat::FixRandom(3);  // the jitter of a moving tank: none at speed 0
    host.screen.View().Device().ClearBackSurface();
    host.screen.Paint();
    int lit = 0, right = 0;
    for (int py = 0; py < 480; ++py)
      for (int px = 0; px < 640; ++px)
        if (ref.Row(py)[px] != 0) {
          ++lit;
          right += Back(host).Row(py)[px] == c.color;
        }
    ASSERT_GT(lit, 10) << c.what;
    EXPECT_EQ(right, lit) << c.what;
  }
  w.PlayerUnit = own;
  EXPECT_EQ(joiner.screen.World().Units.size(), 2u);
}

TEST_F(NetScreenTest, TimeTextOnlyUnderTheTimeRuleAndTheTerritoryBoxOnTheRadar) {
  GameSettingRecord s = HostSetting();
  s.LimTime = 20;
  Player& host = HostScreen(s);
  for (int second = 0; second < 100 && host.screen.Battle().Mode.TimeText != " 19:5"; ++second) RunAll(1000);
  ASSERT_EQ(host.screen.Battle().Mode.TimeText, " 19:5");
  host.screen.Paint();
  plat::Surface ref(640, 480);
  ref.SetFont("Arial", 12.0f, false);
  ref.SetForeColor(plat::RGB(255, 255, 255));
  ref.DrawText(550, 10, " 19:5");
  int lit = 0, right = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 540; x < 640; ++x)
      if (ref.Row(y)[x]) ++lit, right += Back(host).Row(y)[x] == kYellow565;
  EXPECT_GT(lit, 10);
  EXPECT_EQ(right, lit);
  // The own tank near the territory: its box shows on the radar.
  BattleState& w = host.screen.World();
  // As the territory modes set it.
  const RECT t = host.screen.Battle().Mode.TerritoryRect = TerritoryFor(w.MapWidth, w.MapHeight);
  w.Units[w.PlayerUnit].PosX = static_cast<float>(t.Left - 400);
  w.Units[w.PlayerUnit].PosY = static_cast<float>(t.Top - 400);
  host.screen.Paint();
  const RECT radar{560, 381, 620, 451};
  EXPECT_GT(Count(Back(host), radar, kCyan565), 20);
  host.settings.WinRule = 1;
  host.screen.Battle().Mode.TerritoryRect = RECT{};
  host.screen.Paint();
  EXPECT_EQ(Count(Back(host), RECT{540, 0, 640, 40}, kYellow565), 0) << "no time under the score rule";
  EXPECT_EQ(Count(Back(host), radar, kCyan565), 0) << "no territory, no box";
}

TEST_F(NetScreenTest, KeysActOnlyWithAnOwnTank) {
  Player& host = HostScreen();
  RunAll(100);
  FrmMultiClass& s = host.screen;
  BattleState& w = s.World();
  ASSERT_GE(w.PlayerUnit, 0);
  KeyTable[KEY_TURRENT] = 84;
  auto press = [&](int16_t k) {
    int16_t shift = 0;
    s.KeyDown(k, shift);
  };
  const struct {
    int16_t key;
    uint8_t radarBefore, radarAfter;
  } radar[] = {{vk::kAdd, 1, 1}, {vk::kAdd, 3, 2}, {vk::kSubtract, 4, 4}, {vk::kSubtract, 2, 3}};
  for (const auto& c : radar) {
    w.RadarLevel = c.radarBefore;
    press(c.key);
    EXPECT_EQ(w.RadarLevel, c.radarAfter) << c.key;
  }
  press(vk::kF3);
  EXPECT_TRUE(s.ShowInfo);
  press(84);
  EXPECT_EQ(w.Units[w.PlayerUnit].Style, 1) << "the turret key hands the tank to the patrol";
  press(84);
  EXPECT_EQ(w.Units[w.PlayerUnit].Style, 0);
  press(vk::kF2);
  EXPECT_EQ(w.MessageText, kStickOnText);
  press(vk::kF2);
  EXPECT_EQ(w.MessageText, kStickOffText);
  // Without an own tank no key acts, Esc included: no question opens.
  const int32_t own = w.PlayerUnit;
  w.PlayerUnit = -1;
  press(vk::kF3);
  press(vk::kEscape);
  EXPECT_TRUE(s.ShowInfo);
  EXPECT_FALSE(s.Prompting());
  EXPECT_EQ(s.LastKey, vk::kEscape) << "the last key is kept all the same";
  w.PlayerUnit = own;
}

TEST_F(NetScreenTest, TheExitQuestionHoldsTheBattleAndNobodyIsDropped) {
  Player& host = HostScreen();
  Player& joiner = JoinScreen("Bea");
  RunAll(2000);
  BattleState& jw = joiner.screen.World();
  const float x = jw.Units[jw.PlayerUnit].PosX;
  jw.Units[jw.PlayerUnit].PerSpeed = 100;
  jw.Units[jw.PlayerUnit].MoveFB = 1;
  for (const int16_t answer : {int16_t{78}, vk::kY}) {
    // Seventy seconds at the question, the host playing on meanwhile.
    int pumps = 0;
    plat::SetTestDriver([&] {
      StepOthers(&joiner, 1000);
      if (++pumps == 70) KeyCode = answer;
    });
    int16_t esc = vk::kEscape, shift = 0;
    joiner.screen.KeyDown(esc, shift);
    plat::SetTestDriver(nullptr);
    EXPECT_EQ(jw.Units[jw.PlayerUnit].PosX, x) << "the world did not step";
    EXPECT_EQ(host.screen.Battle().Table.Players.size(), 2u) << "the host still has the joiner";
    EXPECT_EQ(joiner.screen.Battle().Table.Players.size(), 2u) << "the joiner still has the host";
    EXPECT_FALSE(joiner.screen.Battle().Held());
    EXPECT_EQ(joiner.screen.Battle().RunState, answer == vk::kY ? "EXIT" : "Loop");
  }
  joiner.screen.Finish();
  EXPECT_EQ(joiner.profile.saves, 1);
  RunAll(2000);
  EXPECT_EQ(host.screen.Battle().Table.Players.size(), 1u) << "the host drops the player who left";
}

TEST_F(NetScreenTest, TheEndScreenShowsTheFrozenResultUntilAKeyAndTheFrameFactorStaysBounded) {
  GameSettingRecord s = HostSetting();
  s.LimTime = 1;
  Player& host = HostScreen(s);
  Player& joiner = JoinScreen("Bea");
  plat::AdvanceClock(2000);
  joiner.screen.Battle().Frame();
  EXPECT_FLOAT_EQ(joiner.screen.World().FrameFactor, kMaxFrameFactor);
  int pumps = 0;
  plat::SetTestDriver([&] {
    StepOthers(&host, 1000);
    if (++pumps == 80) KeyCode = 13;
  });
  while (host.screen.Battle().RunState != "EXIT" && pumps < 200) host.screen.RunPass();
  plat::SetTestDriver(nullptr);
  EXPECT_GE(pumps, 80) << "the end screen waited for its key";
  EXPECT_EQ(host.profile.won + host.profile.lost, 1);
  EXPECT_GT(Count(*Primary, RECT{100, 60, 300, 100}, kYellow565), 20) << "the rows are on screen";
  EXPECT_EQ(joiner.screen.Battle().Table.Players.size(), 2u) << "nobody was dropped while it waited";
}

// A save that fails on the way out is told once, in the save's own words,
// a folder named as the system spells it.
TEST_F(NetScreenTest, AMissingPictureLeavesTheBattleWithTheProfileSavedForTheLobby) {
  players.push_back(std::make_unique<Player>(hub, "Host", HostSetting()));
  Player& p = *players.back();
  const int32_t id = p.link.MyId();
  p.profile.saveOk = false;
  p.profile.failure = "Unable to Save User.INI: Fremd-\u00d6rdner-\u5916\u90e8: Permission denied";
  worldtest::CloseArchives();
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(p.screen.JoinWait());
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(told.find("Ferrowind: " + p.profile.failure + "\n"), std::string::npos) << told;
  EXPECT_EQ(told.find("could not be saved"), std::string::npos) << told;
  EXPECT_EQ(p.profile.saves, 1);
  EXPECT_EQ(p.screen.Battle().GameState, ScreenState::NetworkLobby);
  EXPECT_FALSE(hub.Member(id)) << "the session was left";
  worldtest::OpenSampleArchives();
}

// The save on the way out tells a player's file it kept aside first in
// UTF-8, the owing profile named as the boards spell it.
TEST_F(NetScreenTest, ACopyKeptAsideByTheSaveOnTheWayOutIsToldAsSpelt) {
  Users->File = AppPath + "\\User.INI";
  Users->NowUser = 1;
  ASSERT_TRUE(datatest::OweGoodsOverThePlayersFile(*Users));
  UserNetProfile profile;
  GameSettingRecord settings = HostSetting();
  FrmMultiClass screen(hub.Join("Host"), profile, settings);
  ::testing::internal::CaptureStderr();
  screen.Finish();
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(told.find("Ferrowind: " + datatest::kKeptForOwedGoods + "\n"), std::string::npos) << told;
  EXPECT_EQ(scratch.Read("save/user2.DAT.changed-1"), "\"Mine\",1,0\r\n");
}

}  // namespace
}  // namespace fw::nettest
