// The battle's tables and mission map read from the archives: the sample
// data in full, damaged copies of it, and the parsers on texts of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>

#include "battle/loaders.hpp"
#include "battle/roster.hpp"
#include "battle/surface_pictures.hpp"
#include "engine/helpers.hpp"
#include "engine/sound.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/random.hpp"
#include "tests/battle/world_data.hpp"

namespace fw {
namespace {

using worldtest::SampleWorld;

plat::TextRecordReader Text(const std::string& s) { return plat::TextRecordReader(s); }

// ---------------------------------------------------------------- parsers

TEST(MapDescription, SectionsComeInAnyOrderAndAnUnknownKeywordEndsTheReading) {
  auto r = Text(
      "\"Terrain\",2\r\n10,20,30,40,1,0.5\r\n50,60,70,80,4,2\r\n"
      "\"Map\",2,1\r\n\"a.jpg\",\"b.jpg\"\r\n"
      "\"Building\",1\r\n\"501\",100,200\r\n"
      "\"map\",1,1\r\n\"c.jpg\"\r\n"
      "\"Navigation Spot\",1\r\n\"x\",1\r\n1,2\r\n");
  const MapDescription d = ParseMapDescription(r);
  ASSERT_EQ(d.Terrains.size(), 2u);
  EXPECT_EQ(d.Terrains[1].Area, (RECT{50, 60, 70, 80}));
  EXPECT_EQ(d.Terrains[1].Kind, 4);
  EXPECT_EQ(d.Terrains[1].Value, 2);
  EXPECT_EQ(d.Columns, 2);
  EXPECT_EQ(d.Tiles, (std::vector<std::string>{"a.jpg", "b.jpg"}));
  ASSERT_EQ(d.BuildingRows.size(), 1u);
  EXPECT_EQ(d.BuildingRows[0].Y, 200);
  EXPECT_EQ(d.BuildingRows[0].Line, 7);
  // "map" in other letters is no keyword: nothing after it is read.
  EXPECT_FALSE(d.HasSpots);
  EXPECT_FALSE(d.HasTankModels);
}

TEST(MapDescription, TemplatesCarryTheirWeaponRows) {
  auto r = Text(
      "\"Tank Model\",2\r\n"
      "\"Light\",\"Tank02\",3.5,2.5,0.1,60,0.05,100,0.5,2\r\n\"Laser Gun\",-2\r\n\"Laser Gun\",2\r\n"
      "\"Bare\",\"Tank01\",1,1,1,1,1,1,1,0\r\n"
      "\"Navigation Spot\",2\r\n\"a\",0\r\n\"b\",2\r\n5,6\r\n7,8\r\n");
  const MapDescription d = ParseMapDescription(r);
  ASSERT_EQ(d.TankModels.size(), 2u);
  EXPECT_EQ(d.TankModels[0].ClipID, "Tank02");
  EXPECT_FLOAT_EQ(d.TankModels[0].TopSpeed, 3.5f);
  EXPECT_EQ(d.TankModels[0].EnergyFull, 100);
  ASSERT_EQ(d.TankModels[0].Weapons.size(), 2u);
  EXPECT_EQ(d.TankModels[0].Weapons[1].OffsetX, 2);
  EXPECT_TRUE(d.TankModels[1].Weapons.empty());
  ASSERT_EQ(d.Spots.size(), 2u);
  EXPECT_TRUE(d.Spots[0].Points.empty());
  EXPECT_EQ(d.Spots[1].Points, (std::vector<PointL>{{5, 6}, {7, 8}}));
}

TEST(MapDescription, BadRowsAreErrorsNamingTheirLine) {
  const char* bad[] = {
      "\"Building\",2\r\n\"501\",1,2\r\n\"502\",3\r\n",          // a short row at the end
      "\"Building\",-1\r\n",                                      // a negative count
      "\"Map\",0,4\r\n",                                          // no tiles
      "\"Map\",200,200\r\n",                                      // more tiles than a map holds
      "\"Map\",13,5\r\n",                                         // 65 full-size tiles
      "\"Terrain\",1\r\n1,2,3,4,300,1\r\n",                       // a kind beyond a byte
      "\"Terrain\",1\r\n1,2,3,4,1,nan\r\n",                       // not a number
      "\"Tank Model\",1\r\n\"A\",\"B\",1,1,1,99999,1,1,1,0\r\n",  // beyond an Integer
      "\"Building\",1\r\n\"501\",\"x\",2\r\n",                    // text for a number
  };
  for (const char* text : bad) {
    auto r = Text(text);
    try {
      ParseMapDescription(r);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const plat::RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find("line "), std::string::npos) << e.what();
    }
  }
}

TEST(BattleTables, EnemyWeaponsRoundTheirWholeNumberColumns) {
  auto r = Text("\"Laser\",7.6,2,400,8,0.05,5.5,30,1,3\r\n\"Missile\",6,4,700,30,0.01,16,60,2,21\r\n");
  WeaponClass w;
  ParseEnemyWeapons(r, w);
  ASSERT_EQ(w.Count(), 2);
  EXPECT_EQ(w.Item("Laser")->Speed, 8);
  EXPECT_EQ(w.Item("Laser")->Energy, 6);  // 5.5 rounds to even
  EXPECT_FLOAT_EQ(w.Item("Laser")->FireSpeed, 0.05f);
  EXPECT_EQ(w.Item("Missile")->Path, 2);
  EXPECT_EQ(w.Item("Missile")->ClipID, 21);

  auto twice = Text("\"Laser\",1,1,1,1,1,1,1,1,1\r\n\"laser\",1,1,1,1,1,1,1,1,1\r\n");
  WeaponClass w2;
  EXPECT_THROW(ParseEnemyWeapons(twice, w2), plat::RuntimeError);
  auto shortRow = Text("\"Laser\",1,1,1,1,1,1,1,1\r\n");
  WeaponClass w3;
  EXPECT_THROW(ParseEnemyWeapons(shortRow, w3), plat::RuntimeError);
}

TEST(BattleTables, CatalogueKeysAreUniqueAcrossItsThreeFilesAndGridsAreReal) {
  MapClipIndex c;
  auto tanks = Text("\"Tank01\",12,6,\"Tank01.bmp\",80,60\r\n");
  ParseCatalogue(tanks, c, kUnitPictures);
  auto shots = Text("\"LASER01\",10,3,\"LASER01.bmp\",24,18\r\n\"tank01\",1,1,\"x.bmp\",1,1\r\n");
  try {
    ParseCatalogue(shots, c, kShotPictures);
    ADD_FAILURE();
  } catch (const plat::RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
  EXPECT_EQ(c.Item("LASER01")->Index, kShotPictures);
  EXPECT_EQ(c.Item("Tank01")->Index, kUnitPictures);
  EXPECT_EQ(c.Item("Tank01")->FileName, "Tank01.bmp");
  auto noGrid = Text("\"X\",0,1,\"x.bmp\",1,1\r\n");
  EXPECT_THROW(ParseCatalogue(noGrid, c, kObjectPictures), plat::RuntimeError);
}

TEST(BattleTables, SoundRowsArePairsWithUniqueKeys) {
  std::vector<SoundRow> rows;
  auto ok = Text("\"Laser01\",\"Laser01.wav\"\r\n\"EXP01\",\"EXP01.wav\"\r\n\r\n");
  ParseSoundTable(ok, rows);
  EXPECT_EQ(rows.size(), 2u);
  std::vector<SoundRow> more;
  auto odd = Text("\"Laser01\",\"Laser01.wav\"\r\n\"EXP01\"\r\n");
  EXPECT_THROW(ParseSoundTable(odd, more), plat::RuntimeError);
  auto twice = Text("\"A\",\"a.wav\"\r\n\"a\",\"b.wav\"\r\n");
  std::vector<SoundRow> dup;
  EXPECT_THROW(ParseSoundTable(twice, dup), plat::RuntimeError);
}

TEST(BattleTables, TheLandMaskIsExactly256By192Bytes) {
  std::vector<uint8_t> mask(5, 9);
  EXPECT_FALSE(ParseLandMask(std::string(kMaskBytes - 1, '\0'), mask));
  EXPECT_FALSE(ParseLandMask(std::string(kMaskBytes + 1, '\0'), mask));
  EXPECT_EQ(mask.size(), 5u);
  EXPECT_TRUE(ParseLandMask(std::string(kMaskBytes, '\x07'), mask));
  EXPECT_EQ(mask.size(), static_cast<size_t>(kMaskBytes));
  EXPECT_EQ(mask[kMaskBytes - 1], 7);
}

// ---------------------------------------------------------------- the sample data

class SampleMap : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::FixRandom(99);
    worldtest::OpenSampleArchives();
  }
  void TearDown() override {
    worldtest::CloseArchives();
    plat::UnfixRandom();
  }
  fwtest::TempProgramFolder dir;
};

TEST_F(SampleMap, LoadsWholeWithEveryTableAndPicture) {
  BattleState w;
  SurfacePictures pictures;
  RecordingLoadProgress progress;
  const LoadResult r = LoadBattleWorld(w, pictures, progress, "MapA");
  ASSERT_TRUE(r) << r.Message;

  EXPECT_EQ(w.Sounds.size(), 25u);
  EXPECT_GE(w.EnemyWeapons.Count(), 6);
  EXPECT_GE(w.BuildingTypes.Count(), 10);
  EXPECT_EQ(w.Catalogue.Item("Tank01")->Index, kUnitPictures);
  EXPECT_EQ(w.Catalogue.Item("EXP02")->Index, kShotPictures);

  EXPECT_EQ(w.TileColumns, 4);
  EXPECT_EQ(w.TileRows, 4);
  ASSERT_EQ(w.Tiles.size(), 16u);
  for (const ImageRecord& t : w.Tiles) {
    EXPECT_EQ(t.Width, 640);
    EXPECT_EQ(t.Height, 480);
  }
  EXPECT_TRUE(pictures.Surface(PictureList::Tiles, 15));

  ASSERT_GE(w.Builds.size(), 2u);
  bool shared = false;
  for (size_t i = 0; i < w.Builds.size(); ++i) {
    const BuildingInstance& b = w.Builds[i];
    const ImageRecord& pic = w.Images[std::stoi(b.ImageIndex)];
    EXPECT_EQ(b.Footprint.Right, pic.Width / pic.RepeatX) << b.TypeKey;
    EXPECT_EQ(b.DrawX, b.X - b.Footprint.Right / 2);
    EXPECT_GT(b.HP, 0);
    EXPECT_EQ(b.HP, b.HPFull);
    EXPECT_EQ(b.Frames.size(), static_cast<size_t>(b.FrameCount) + 1);
    EXPECT_TRUE(pictures.Surface(PictureList::Images, std::stoi(b.ImageIndex)));
    for (size_t j = 0; j < i; ++j) shared = shared || (w.Builds[j].TypeKey == b.TypeKey && w.Builds[j].ImageIndex == b.ImageIndex);
  }
  EXPECT_TRUE(shared) << "two buildings of one type share one picture";
  EXPECT_GT(std::count_if(w.BuildMask.begin(), w.BuildMask.end(), [](uint8_t c) { return c > 0; }), 20);
  EXPECT_GT(std::count(w.LandMask.begin(), w.LandMask.end(), kBlockedLand), 100);

  ASSERT_GE(w.Templates.Count(), 2);
  for (const auto& t : w.Templates) {
    EXPECT_TRUE(w.Catalogue.Item(t->ClipID)) << t->Key;
    EXPECT_GE(t->Weapon->Count(), 1) << t->Key;
    for (const auto& wp : *t->Weapon) {
      const auto from = w.EnemyWeapons.Item(wp->Key);
      ASSERT_TRUE(from) << wp->Key;
      EXPECT_EQ(wp->Range, from->Range);
      EXPECT_EQ(wp->ClipID, from->ClipID);
      EXPECT_GT(wp->Energy, 0) << "enemy weapons carry no ammunition";
    }
  }
  ASSERT_GE(w.Spots.size(), 2u);
  EXPECT_TRUE(w.Spots[0].Points.empty());
  EXPECT_FALSE(w.Spots[1].Points.empty());
  std::vector<bool> kinds(5);
  for (size_t a = 1; a < w.Terrains.size(); ++a)
    if (w.Terrains[a].Kind < 5) kinds[w.Terrains[a].Kind] = true;
  EXPECT_EQ(kinds, std::vector<bool>(5, true)) << "terrain areas of every kind";
  // Every terrain value painted into the mask names an existing area.
  for (uint8_t m : w.LandMask)
    if (m != 0 && m != kBlockedLand) {
      EXPECT_LT(m + 1u, w.Terrains.size());
    }

  for (int32_t i : {w.Named.Panel, w.Named.Panel2, w.Named.Grid1, w.Named.Grid2, w.Named.Grid3, w.Named.Target,
                    w.Named.Popup1, w.Named.WeaponID, w.Named.Ball01, w.Named.AC01, w.Named.MIS01, w.Named.MIS02,
                    w.Named.EXP02})
    EXPECT_GT(i, 0);
  for (int32_t i : w.Named.Laser) EXPECT_GT(i, 0);
  EXPECT_EQ(w.Images[w.Named.Target].RepeatX, 7);
  EXPECT_EQ(w.Images[w.Named.Target].RepeatY, 2);
  EXPECT_EQ(w.Images[w.Named.Panel].Width, 640);
  EXPECT_EQ(w.Girl.RepeatX, 33);
  ASSERT_EQ(w.Wrecks.size(), 3u);
  EXPECT_EQ(w.Wrecks[1].RepeatY, 4);
  for (const char* fx : {"EXP01", "EXP05", "FOG01", "FOG03", "ENG01", "SHOCKWAVE", "FIRE01"})
    EXPECT_GT(FindRecordIndexByName(fx, w.Textures), 0) << fx;

  ASSERT_FALSE(progress.Lines.empty());
  EXPECT_EQ(progress.Lines[0].S, "Set Map System");
  EXPECT_EQ(progress.Lines[0].X, 60);
  EXPECT_EQ(progress.Lines[0].Y, 88);
  // Sixteen tiles end the tile bar at 520, as does the last building.
  RECT lastTile{}, lastBuilding{};
  for (const RECT& b : progress.Bars) (b.Top == 95 ? lastTile : lastBuilding) = b;
  EXPECT_EQ(lastTile.Right, 520);
  EXPECT_EQ(lastBuilding.Right, 520);
}

// The picture store and the bars writing into one log, to see that the
// bars go on moving while the pictures arrive.
struct LoadLog : LoadProgress, BattlePictures {
  explicit LoadLog(SurfacePictures& store) : store(store) {}
  void Line(int32_t, int32_t, std::string_view) override {}
  void Bar(const RECT& r, uint16_t) override {
    events.push_back((r.Top == 95 ? "tile bar " : "building bar ") + std::to_string(r.Right));
  }
  std::optional<Size> Load(PictureList list, int32_t index, const std::string& gamePath,
                           PictureArchive archive) override {
    if (list == PictureList::Tiles) events.push_back("tile " + std::to_string(index));
    return store.Load(list, index, gamePath, archive);
  }
  void Expect(const std::vector<Expected>& pictures) override {
    ++expectCalls;
    store.Expect(pictures);
  }
  void ForgetExpected() override { store.ForgetExpected(); }
  SurfacePictures& store;
  std::vector<std::string> events;
  int expectCalls = 0;
};

size_t Threads() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                           std::filesystem::directory_iterator()));
}

TEST_F(SampleMap, TheLargestMapsBarsMoveWhileItsPicturesArrive) {
  BattleState w;
  SurfacePictures store;
  LoadLog log(store);
  const size_t threads = Threads();
  const LoadResult r = LoadBattleWorld(w, log, log, "MapC");  // the most buildings
  ASSERT_TRUE(r) << r.Message;
  EXPECT_EQ(Threads(), threads) << "the decoding workers end with the load";
  ASSERT_GE(w.Builds.size(), 400u);
  EXPECT_EQ(log.expectCalls, 1);

  // Each tile's step of the bar is drawn just before that tile is taken,
  // in order, and the building bar passes through every one of its steps.
  std::vector<std::string> tiles;
  std::set<std::string> buildingSteps;
  for (const std::string& e : log.events)
    if (e.rfind("building bar ", 0) == 0) buildingSteps.insert(e);
    else tiles.push_back(e);
  ASSERT_EQ(tiles.size(), 2 * w.Tiles.size());
  for (size_t k = 0; k < w.Tiles.size(); ++k) {
    EXPECT_EQ(tiles[2 * k], "tile bar " + std::to_string(std::min<size_t>(200 + 20 * (k + 1), 640)));
    EXPECT_EQ(tiles[2 * k + 1], "tile " + std::to_string(k));
  }
  EXPECT_EQ(buildingSteps.size(), 17u);

  // Decoded ahead or not, every ground tile holds its archive picture.
  for (size_t k = 0; k < w.Tiles.size(); k += 5) {
    plat::SurfacePtr direct;
    LoadSurfaceFromMissionPack(AppPath + "\\" + w.TileNames[k], direct, DDraw, false, 0, 0, true);
    const plat::SurfacePtr got = store.Surface(PictureList::Tiles, static_cast<int32_t>(k));
    ASSERT_TRUE(got && direct) << k;
    ASSERT_EQ(got->Width(), direct->Width());
    EXPECT_TRUE(std::equal(got->Pixels(), got->Pixels() + got->Width() * got->Height(), direct->Pixels())) << k;
    EXPECT_TRUE(got->HasColorKey());
  }
}

TEST_F(SampleMap, EverySoundTheBattlePlaysIsInTheSoundTable) {
  BattleState w;
  ASSERT_TRUE(LoadSound(w));
  ASSERT_TRUE(LoadSoundChannels(w));
  EXPECT_EQ(Sounds->Count(), static_cast<int32_t>(w.Sounds.size()));
  for (int32_t effect = 0; effect <= 300; ++effect)
    if (const char* key = EffectSoundKey(effect)) {
      EXPECT_TRUE(Sounds->Find(key)) << effect << " " << key;
    }
  EXPECT_TRUE(Sounds->Find("Bleep01"));
  Sounds->RemoveAll();
}

TEST_F(SampleMap, UnitsArePlacedFromTheMapsTemplates) {
  BattleState w = SampleWorld();
  SurfacePictures pictures(false);
  Tank& heavy = *w.Templates.Item("Heavy");
  const int32_t a = AddTank(w, pictures, heavy, 1, 1, 3, 7);
  const int32_t b = AddTank(w, pictures, *w.Templates.Item("Light"), 1, 1, 1, 8);
  const int32_t c = AddTank(w, pictures, *w.Templates.Item("Medium"), 1, 1, 1, 8);
  EXPECT_EQ(w.Units[a].Weapon.size(), static_cast<size_t>(heavy.Weapon->Count()));
  EXPECT_EQ(w.Units[b].ClipID, w.Units[c].ClipID);  // one picture, one record
  EXPECT_NE(w.Units[a].ClipID, w.Units[b].ClipID);
  const RECT& area = w.Terrains[7].Area;
  EXPECT_GE(w.Units[a].PosX, area.Left);
  EXPECT_LT(w.Units[a].PosX, area.Right);
  EXPECT_EQ(w.Units[a].WayPoint, w.Spots[3].Points);
}

TEST_F(SampleMap, TheTemplatesPicturesLoadWithTheMap) {
  BattleState w = SampleWorld();
  ASSERT_GT(w.Templates.Count(), 0);
  for (int32_t t = 1; t <= w.Templates.Count(); ++t) {
    const std::string& clip = w.Templates.Item(t)->ClipID;
    bool loaded = false;
    for (const ImageRecord& r : w.Images) loaded = loaded || r.Name == clip;
    EXPECT_TRUE(loaded) << clip;
  }
}

// A copy of the sample's "MissionPack" with the map's members changed.
class DamagedMap : public SampleMap {
 protected:
  void SetUp() override {
    SampleMap::SetUp();
    members = worldtest::Members(fwtest::SampleDataFolder(), "MissionPack", AppPath);
  }
  LoadResult Load() {
    worldtest::PackArchive(dir.Path(), "MissionPack", members);
    worldtest::OpenArchive(MissionPack, dir.Path(), "MissionPack");
    BattleState w = base;
    SurfacePictures pictures(false);
    const LoadResult r = ReadAllImage(w, pictures, progress, AppPath + "\\MapA\\MapA");
    loaded = w;
    return r;
  }
  // The description with one text replaced.
  void Edit(const std::string& from, const std::string& to) {
    std::string& inf = members["MapA.Inf"];
    const size_t p = inf.find(from);
    ASSERT_NE(p, std::string::npos) << from;
    inf.replace(p, from.size(), to);
  }
  // Tables as the battle loads them before the map.
  BattleState base = [] {
    BattleState w = SampleWorld();
    w.Builds.clear();
    w.BuildMask.assign(kMaskBytes, 0);
    w.Terrains.resize(1);
    w.Spots.clear();
    return w;
  }();
  std::map<std::string, std::string> members;
  RecordingLoadProgress progress;
  BattleState loaded;
};

TEST_F(DamagedMap, AMaskOfTheWrongSizeOrAMissingMemberEndsTheLoad) {
  members["MapA.msk"].pop_back();
  LoadResult r = Load();
  EXPECT_FALSE(r);
  EXPECT_NE(r.Message.find("MapA.msk"), std::string::npos) << r.Message;
  members.erase("MapA.msk");
  r = Load();
  EXPECT_FALSE(r);
  EXPECT_NE(r.Message.find("MapA.msk"), std::string::npos) << r.Message;
  members["MapA.msk"] = std::string(kMaskBytes, '\0');
  members.erase("MapA.Inf");
  r = Load();
  EXPECT_FALSE(r);
  EXPECT_NE(r.Message.find("MapA.Inf"), std::string::npos) << r.Message;
}

TEST_F(DamagedMap, NamesThatDoNotExistEndTheLoadNamingFileAndLine) {
  const struct {
    const char* from;
    const char* to;
    const char* says;
  } cases[] = {
      {"\"580\",4400,1900", "\"999\",4400,1900", "building type \"999\""},
      {"\"Heavy\",\"Tank03\"", "\"Heavy\",\"NoSuchTank\"", "NoSuchTank"},
      {"\"Short Laser\",0", "\"Death Ray\",0", "Death Ray"},
      {"\"MapA11.jpg\"", "\"NoTile.jpg\"", "NoTile.jpg"},
  };
  const std::string original = members["MapA.Inf"];
  for (const auto& c : cases) {
    members["MapA.Inf"] = original;
    Edit(c.from, c.to);
    const LoadResult r = Load();
    EXPECT_FALSE(r) << c.from;
    EXPECT_NE(r.Message.find("MapA.Inf, line "), std::string::npos) << r.Message;
    EXPECT_NE(r.Message.find(c.says), std::string::npos) << r.Message;
  }
}

TEST_F(DamagedMap, ARowWithTooFewFieldsEndsTheLoad) {
  std::string& inf = members["MapA.Inf"];
  inf = inf.substr(0, inf.find("\"Navigation Spot\"")) + "\"Navigation Spot\",1\r\n\"x\",2\r\n1,2\r\n3\r\n";
  const LoadResult r = Load();
  EXPECT_FALSE(r);
  EXPECT_NE(r.Message.find("MapA.Inf, line "), std::string::npos) << r.Message;
}

TEST_F(DamagedMap, OneBuildingFillsItsBarAndManyTilesAreClippedToTheScreen) {
  std::string& inf = members["MapA.Inf"];
  const size_t b = inf.find("\"Building\"");
  const size_t t = inf.find("\"Tank Model\"");
  inf = inf.substr(0, b) + "\"Building\",1\r\n\"510\",3000,3000\r\n" + inf.substr(t);
  // Thirty tiles, every one a tile of the sample.
  const size_t m = inf.find("\"Map\"");
  const size_t mEnd = inf.find("\"Building\"");
  std::string map = "\"Map\",6,5\r\n";
  for (int k = 0; k < 30; ++k) map += "\"MapA0" + std::to_string(k % 4) + ".jpg\"" + (k % 6 == 5 ? "\r\n" : ",");
  inf = inf.substr(0, m) + map + inf.substr(mEnd);
  const LoadResult r = Load();
  ASSERT_TRUE(r) << r.Message;
  ASSERT_EQ(loaded.Builds.size(), 1u);
  EXPECT_EQ(loaded.Tiles.size(), 30u);
  EXPECT_EQ(loaded.TileColumns, 6);
  int32_t widest = 0;
  for (const RECT& bar : progress.Bars) {
    EXPECT_LE(bar.Right, 640);
    EXPECT_GE(bar.Right, 200);
    widest = std::max(widest, bar.Right);
    if (bar.Top == 125) {
      EXPECT_EQ(bar.Right, 520);
    }
  }
  EXPECT_EQ(widest, 640);
}

TEST(MapDescription, SixtyFourTilesAreTheMost) {
  std::string text = "\"Map\",8,8\r\n";
  for (int k = 0; k < 64; ++k) text += "\"T.jpg\"\r\n";
  auto r = Text(text);
  EXPECT_EQ(ParseMapDescription(r).Tiles.size(), 64u);
}

TEST_F(DamagedMap, AnAreaWhollyOutsideTheMapIsRefusedNamingItsLine) {
  const struct {
    const char* row;
    bool refused;
  } cases[] = {
      {"5200,100,5300,200", true},    // right of the map
      {"-300,100,-1,200", true},      // left of it
      {"100,-90,200,-10", true},      // above
      {"100,3900,200,4000", true},    // below
      {"5300,100,5200,200", true},    // right of it, corners swapped
      {"5000,3700,5300,4000", false}, // a corner on the map
      {"-50,-50,10,10", false},
  };
  const std::string original = members["MapA.Inf"];
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    members["MapA.Inf"] = original + "\"Terrain\",1\r\n" + c.row + ",1,0\r\n";
    const LoadResult r = Load();
    EXPECT_EQ(!r, c.refused) << r.Message;
    if (c.refused) {
      EXPECT_NE(r.Message.find("MapA.Inf, line "), std::string::npos) << r.Message;
      EXPECT_NE(r.Message.find("lies wholly outside the map"), std::string::npos) << r.Message;
    }
  }
}

TEST_F(DamagedMap, ADescriptionWithoutTerrainOrSpotsLeavesOnlyTheEmptyRecords) {
  std::string& inf = members["MapA.Inf"];
  inf = inf.substr(inf.find("\"Map\""));
  inf = inf.substr(0, inf.find("\"Navigation Spot\""));
  const LoadResult r = Load();
  ASSERT_TRUE(r) << r.Message;
  EXPECT_EQ(loaded.Terrains.size(), 1u);
  EXPECT_TRUE(loaded.Spots.empty());
}

// Tables of "Data" changed: a small archive of the tables alone.
class DamagedTables : public SampleMap {
 protected:
  LoadResult LoadTables() {
    worldtest::PackArchive(dir.Path(), "Data", tables);
    worldtest::OpenArchive(DataPack, dir.Path(), "Data");
    BattleState w;
    for (auto load : {LoadSound, LoadEmyWeap, LoadImageInfo}) {
      LoadResult r = load(w);
      if (!r) return r;
    }
    return {};
  }
  std::map<std::string, std::string> tables = [] {
    std::map<std::string, std::string> all = worldtest::Members(fwtest::SampleDataFolder(), "Data", AppPath);
    std::map<std::string, std::string> t;
    for (const char* name : {"sound.ini", "EnemyWeapon.ini", "tank.ini", "Weapon.ini", "obj.ini"}) t[name] = all[name];
    return t;
  }();
};

TEST_F(DamagedTables, MissingMembersAndDuplicateKeysAreErrorsNamingTheFile) {
  ASSERT_TRUE(LoadTables());
  tables["obj.ini"] += "\"Tank02\",1,1,\"x.bmp\",1,1\r\n";
  LoadResult r = LoadTables();
  EXPECT_FALSE(r);
  EXPECT_NE(r.Message.find("obj.ini, line "), std::string::npos) << r.Message;
  tables.erase("EnemyWeapon.ini");
  r = LoadTables();
  EXPECT_FALSE(r);
  EXPECT_NE(r.Message.find("Enemyweapon.ini"), std::string::npos) << r.Message;
  EXPECT_EQ(LastError, "Unable to Read Enemyweapon.ini");
}

}  // namespace
}  // namespace fw
