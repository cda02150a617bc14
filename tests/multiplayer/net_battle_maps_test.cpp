// Every map the lobby offers plays as a network battle, host and joiner
// alike; the network maps let every spawn area reach the bases and the
// territory; a smaller map keeps everything inside itself. Moves only the
// game's fixed clock.
#include "multiplayer/battle/game_modes.hpp"
#include "tests/battle/map_reach.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

std::vector<std::string> ListedMaps() {
  std::vector<std::string> maps;
  const auto& members = *MissionPack->PackFiles;
  for (int32_t i = 1; i <= members.Count(); ++i) {
    const std::string& name = members.Item(i)->Key;
    if (name.size() > 4 && (name.substr(name.size() - 4) == ".Inf" || name.substr(name.size() - 4) == ".INF" ||
                            name.substr(name.size() - 4) == ".inf"))
      maps.push_back(name.substr(0, name.size() - 4));
  }
  return maps;
}

TEST_F(NetBattleTest, EveryListedMapPlaysForHostAndJoiner) {
  const std::vector<std::string> maps = ListedMaps();
  ASSERT_GE(maps.size(), 3u);
  for (const std::string& map : maps) {
    machines.clear();
    paused.clear();
    hub.~TestHub();
    new (&hub) TestHub();
    GameSettingRecord s = HostSetting(map == "MapN1" || map == "MapM1" ? "Base Defensing" : "Death Battle");
    s.MapName = map;
    machines.push_back(std::make_unique<Machine>(hub, "Host", s));
    Machine& host = *machines.back();
    NullLoadProgress progress;
    ASSERT_TRUE(host.battle.LoadMap(progress)) << map << ": " << host.battle.LastError;
    host.battle.UserTK = SampleTank(host.battle);
    host.battle.Start();
    Machine& b = Joiner("Bob");
    Run(3000);
    EXPECT_EQ(b.battle.World.Builds.size(), host.battle.World.Builds.size()) << map;
    for (auto& m : machines) {
      EXPECT_EQ(m->battle.World.Units.size(), 2u) << map;
      EXPECT_TRUE(m->battle.Refused().empty()) << map << ": " << m->battle.Refused().begin()->first;
      for (const BattleUnit& u : m->battle.World.Units) {
        EXPECT_GE(u.PosX, 0.0f) << map;
        EXPECT_LT(u.PosX, m->battle.World.MapWidth) << map;
      }
    }
  }
}

TEST_F(NetBattleTest, NetworkMapsReachBasesAndTerritoryFromEverySpawnArea) {
  for (const std::string map : {"NetA", "MapN1", "MapM1"}) {
    machines.clear();
    GameSettingRecord s = HostSetting();
    s.MapName = map;
    machines.push_back(std::make_unique<Machine>(hub, map, s));
    NetBattle& n = machines.back()->battle;
    NullLoadProgress progress;
    ASSERT_TRUE(n.LoadMap(progress)) << map << ": " << n.LastError;
    const BattleState& w = n.World;
    ASSERT_GE(w.Terrains.size(), 5u) << map << " has four spawn areas";
    const RECT land = TerritoryFor(w.MapWidth, w.MapHeight);
    for (int32_t a = 1; a <= 4; ++a) {
      const RECT& r = w.Terrains[static_cast<size_t>(a)].Area;
      // A tank lands with its corner anywhere in the area: its centre 40, 30 further.
      const reach::Reach from(w, reach::CellAt((r.Left + r.Right) / 2.0f + 40.0f, (r.Top + r.Bottom) / 2.0f + 30.0f));
      for (int32_t x = r.Left; x <= r.Right; x += kMaskCell)
        for (int32_t y = r.Top; y <= r.Bottom; y += kMaskCell)
          EXPECT_TRUE(from.At(reach::CellAt(x + 40.0f, y + 30.0f))) << map << " area " << a << " at " << x << "," << y;
      EXPECT_TRUE(from.Near((land.Left + land.Right) / 2.0f, (land.Top + land.Bottom) / 2.0f, kMaskCell))
          << map << ": the territory from area " << a;
      for (const int32_t base : {kTeam0Base, kTeam1Base}) {
        const int32_t i = GetBuildIndex(w, base);
        if (map == std::string("NetA")) continue;
        ASSERT_GE(i, 0) << map << " lacks base " << base;
        const BuildingInstance& bi = w.Builds[static_cast<size_t>(i)];
        EXPECT_TRUE(from.Near(static_cast<float>(bi.X), static_cast<float>(bi.Y), 160.0f))
            << map << ": base " << base << " from area " << a;
      }
    }
  }
}

TEST(NetBattleMapSize, ASmallerMapKeepsItsViewAndTerritoryInside) {
  struct Case {
    int32_t columns, rows, width, height;
  };
  for (const Case& c : {Case{4, 4, 5120, 3840}, Case{2, 2, 2560, 1920}, Case{1, 3, 1280, 2880}, Case{9, 9, 5120, 3840},
                        Case{0, 0, 1280, 960}}) {
    BattleState w;
    w.TileColumns = c.columns;
    w.TileRows = c.rows;
    FitMapSize(w);
    EXPECT_EQ(w.MapWidth, c.width) << c.columns;
    EXPECT_EQ(w.MapHeight, c.height) << c.rows;
    const RECT t = TerritoryFor(w.MapWidth, w.MapHeight);
    EXPECT_TRUE(t.Left >= 0 && t.Right <= w.MapWidth && t.Top >= 0 && t.Bottom <= w.MapHeight) << c.columns;
  }
}

}  // namespace
}  // namespace fw::nettest
