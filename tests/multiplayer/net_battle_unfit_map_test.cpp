// Maps a joiner cannot play, and the largest that the settings carry: a map
// that loads empty or a "Base Defensing" map without its two bases sends
// the joiner back to the lobby with the archive and the member named; a
// network map of 1,000 buildings plays with every one on the joiner.
#include "multiplayer/battle/game_modes.hpp"
#include "tests/battle/world_data.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

// The description's building table replaced by `rows`.
std::string WithBuildings(std::string inf, const std::vector<std::string>& rows) {
  const size_t at = inf.find("\"Building\",");
  EXPECT_NE(at, std::string::npos);
  const size_t countEnd = inf.find('\n', at);
  const int n = std::stoi(inf.substr(at + 11, countEnd - at - 11));
  size_t end = countEnd + 1;
  for (int i = 0; i < n; ++i) end = inf.find('\n', end) + 1;
  std::string table = "\"Building\"," + std::to_string(rows.size()) + "\r\n";
  for (const std::string& r : rows) table += r + "\r\n";
  return inf.replace(at, end - at, table);
}

class UnfitMaps : public NetBattleTest {
 protected:
  void SetUp() override {
    NetBattleTest::SetUp();
    auto members = worldtest::Members(fwtest::SampleDataFolder(), "MissionPack", AppPath);
    members["Junk.Inf"] = "\x01\x7f garbage, not a map\r\n";
    members["Junk.msk"] = members["MapA.msk"];
    std::vector<std::string> noBases;
    for (int k = 0; k < 6; ++k) noBases.push_back("\"510\"," + std::to_string(1500 + 400 * k) + ",2700");
    members["NoBase.Inf"] = WithBuildings(members["MapN1.Inf"], noBases);
    members["NoBase.msk"] = members["MapN1.msk"];
    std::vector<std::string> many;
    for (int r = 0; r < 25; ++r)
      for (int c = 0; c < 40; ++c)
        many.push_back(std::string(c % 2 ? "\"520\"," : "\"510\",") + std::to_string(100 + 120 * c) + "," +
                       std::to_string(100 + 140 * r));
    members["Many.Inf"] = WithBuildings(members["MapA.Inf"], many);
    members["Many.msk"] = members["MapA.msk"];
    worldtest::PackArchive(scratch.Path(), "MissionPack", members);
    worldtest::OpenArchive(MissionPack, scratch.Path(), "MissionPack");
  }

  // A host on `map` and a joiner through its wait; the joiner's LoadMap
  // result.
  bool JoinMap(const std::string& map, const std::string& mode, Machine*& joiner) {
    GameSettingRecord s = HostSetting(mode);
    s.MapName = map;
    machines.push_back(std::make_unique<Machine>(hub, "Host", s));
    Machine& host = *machines.back();
    NullLoadProgress progress;
    EXPECT_TRUE(host.battle.LoadMap(progress)) << map << ": " << host.battle.LastError;
    host.battle.UserTK = *worldtest::SampleWorld().Templates.Item(1);
    host.battle.Start();
    machines.push_back(std::make_unique<Machine>(hub, "Bob", JoinSetting()));
    joiner = machines.back().get();
    joiner->battle.BeginJoinWait();
    for (int pass = 0; pass < 100 && joiner->battle.PollJoinWait() == NetBattle::Wait::Waiting; ++pass) Step(15, joiner);
    EXPECT_EQ(joiner->settings.Role, "Go");
    return joiner->battle.LoadMap(progress);
  }
};

struct UnfitCase {
  const char* map;
  const char* mode;
  const char* named;  // besides the archive and the member
};

class UnfitMap : public UnfitMaps, public ::testing::WithParamInterface<UnfitCase> {};

TEST_P(UnfitMap, SendsTheJoinerBackToTheLobbyNamingArchiveAndMember) {
  const UnfitCase& c = GetParam();
  Machine* b = nullptr;
  EXPECT_FALSE(JoinMap(c.map, c.mode, b));
  EXPECT_EQ(b->battle.GameState, 3);
  const std::string& why = b->battle.LastError;
  for (const std::string& named : {std::string("\"") + c.map + ".Inf\"", std::string("\"MissionPack\""),
                                  std::string(c.named)})
    EXPECT_NE(why.find(named), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(Maps, UnfitMap,
                         ::testing::Values(UnfitCase{"Junk", kModeDeathBattle, "no spawn areas"},
                                           UnfitCase{"NoBase", kModeBaseDefensing, "580"}),
                         [](const auto& info) { return std::string(info.param.map); });

TEST_F(UnfitMaps, TheSameMapsPlayInOtherModesAndWithBases) {
  Machine* b = nullptr;
  EXPECT_TRUE(JoinMap("NoBase", kModeDeathBattle, b)) << b->battle.LastError;
  machines.clear();
  hub.~TestHub();
  new (&hub) TestHub();
  EXPECT_TRUE(JoinMap("MapN1", kModeBaseDefensing, b)) << b->battle.LastError;
}

TEST_F(UnfitMaps, ANetworkMapOfAThousandBuildingsPlaysWithEveryOneOnTheJoiner) {
  Machine* b = nullptr;
  ASSERT_TRUE(JoinMap("Many", kModeDeathBattle, b)) << b->battle.LastError;
  Machine& host = *machines.front();
  ASSERT_EQ(host.battle.World.Builds.size(), 1000u);
  b->profile.armWith = SampleTank(host.battle);
  ASSERT_EQ(b->battle.EquTank(), NetBattle::Armed::Yes);
  b->battle.Start();
  Run(3000);
  ASSERT_EQ(b->battle.World.Builds.size(), 1000u);
  for (size_t i = 0; i < 1000; ++i) {
    const BuildingInstance &h = host.battle.World.Builds[i], &j = b->battle.World.Builds[i];
    EXPECT_EQ(j.TypeKey, h.TypeKey) << i;
    EXPECT_EQ(j.X, h.X) << i;
    EXPECT_EQ(j.Y, h.Y) << i;
    EXPECT_EQ(j.HP, h.HP) << i;
  }
  EXPECT_TRUE(b->battle.Refused().empty()) << b->battle.Refused().begin()->first;
}

}  // namespace
}  // namespace fw::nettest
