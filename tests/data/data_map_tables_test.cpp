// The map tables: collections, the tile-kind control and the three readers.
#include <gtest/gtest.h>

#include "data/map_control.hpp"
#include "engine/globals.hpp"
#include "platform/runtime/random.hpp"
#include "tests/data/data_test_support.hpp"

namespace {

class DataMapTables : public ::testing::Test {
 protected:
  void SetUp() override { fw::LastError.clear(); }
  void TearDown() override {
    fw::DataPack.Release();
    fw::MapCtl.Release();
    fw::ObjClips.Release();
  }
  fwtest::TempProgramFolder dir;
};

TEST_F(DataMapTables, MapInfoRowBecomesATileSheet) {
  datatest::MakeDataArchive(dir, {{"MapInfo.ini", "5,\"GR\",4,2,\"grass.bmp\",\"Grass\"\r\n"}});
  fw::MapControl control;
  ASSERT_TRUE(fw::ReadMapInfoIni(control));
  auto sheet = control.MapClips->Item("GR");
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->Index, 5);
  EXPECT_EQ(sheet->RepeatX, 4);
  EXPECT_EQ(sheet->RepeatY, 2);
  EXPECT_EQ(sheet->mWidth, 320);
  EXPECT_EQ(sheet->mHeight, 80);
  EXPECT_EQ(sheet->FileName, "grass.bmp");
  EXPECT_EQ(sheet->ClipID, "Grass");
  EXPECT_EQ(control.GetKeyIndex(5), "GR");
  EXPECT_EQ(datatest::LooseFiles(dir), 0);
}

TEST_F(DataMapTables, MapInfoStopsAtABadRowKeepingTheRowsBefore) {
  const std::string good = "1,\"GR\",1,1,\"g.bmp\",\"\"\r\n";
  const std::string bad[] = {
      good + "2,\"gr\",1,1,\"h.bmp\",\"\"\r\n",          // existing key
      good + "0,\"SA\",1,1,\"s.bmp\",\"\"\r\n",          // no slot for key byte 0
      good + "256,\"SA\",1,1,\"s.bmp\",\"\"\r\n",        // not a byte
      good + "2,\"SA\",99999999,1,\"s.bmp\",\"\"\r\n",   // width overflows
      good + "2,\"SA\",1\r\n",                           // short row
  };
  for (const std::string& text : bad) {
    datatest::MakeDataArchive(dir, {{"MapInfo.ini", text}});
    fw::MapControl control;
    fw::LastError.clear();
    EXPECT_FALSE(fw::ReadMapInfoIni(control)) << text;
    EXPECT_EQ(fw::LastError, "Unable to Read MapINFO.ini");
    EXPECT_EQ(control.MapClips->Count(), 1) << text;
    EXPECT_EQ(control.GetKeyIndex(2), "") << text;
    EXPECT_EQ(datatest::LooseFiles(dir), 0);
  }
}

TEST_F(DataMapTables, MapIniFieldsReachTheEntryThroughItsKey) {
  datatest::MakeDataArchive(dir, {{"map.ini", "3,\"GR\",\"Grass\",2016,1.5\r\n7,\"WA\",\"Water\",31,9\r\n"}});
  fw::MapControl control;
  control.MapIndexs->Add("old", 0, "", 0);
  ASSERT_TRUE(fw::ReadMapIni(control));
  ASSERT_EQ(control.MapIndexs->Count(), 2);
  auto e = control.MapIndexs->Item("gr");
  EXPECT_EQ(e->Index, 3);
  EXPECT_EQ(e->ID, "Grass");
  EXPECT_EQ(e->color, 2016);
  EXPECT_EQ(e->Resistance, 1.5f);

  datatest::MakeDataArchive(dir, {{"map.ini", "3,\"GR\",\"Grass\",2016,1.5\r\n4,\"\",\"None\",0,0\r\n"}});
  EXPECT_FALSE(fw::ReadMapIni(control));
  EXPECT_EQ(fw::LastError, "Unable to Read Map.ini");
  EXPECT_EQ(control.MapIndexs->Count(), 1);
}

TEST_F(DataMapTables, ObjIniNumbersItsEntriesInFileOrder) {
  datatest::MakeDataArchive(dir, {{"obj.ini", "\"House\",1,1,\"house.bmp\",120,90\r\n"
                                              "\"Radar\",1,4,\"radar.bmp\",80,70\r\n"
                                              "\"Tower\",2,1,\"tower.bmp\",60,100\r\n"}});
  fw::MapClipIndex clips;
  ASSERT_TRUE(fw::ReadObjIni(clips));
  ASSERT_EQ(clips.Count(), 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(clips.Item(i)->Index, i - 1);
    EXPECT_EQ(clips.Item(i)->ClipID, "");
  }
  EXPECT_EQ(clips.Item("radar")->RepeatY, 4);
  EXPECT_EQ(clips.Item("radar")->mHeight, 70);
  EXPECT_EQ(clips.Item("missing"), nullptr);
  EXPECT_EQ(clips.Item(4), nullptr);
}

TEST_F(DataMapTables, LoadMapDataFillsTheGlobalsAndRefillsThemNextTime) {
  datatest::MakeDataArchive(dir, {{"MapInfo.ini", "1,\"GR\",1,1,\"g.bmp\",\"\"\r\n"},
                                  {"map.ini", "1,\"GR\",\"Grass\",1,1\r\n"},
                                  {"obj.ini", "\"House\",1,1,\"house.bmp\",120,90\r\n"}});
  fw::LoadMapData();
  fw::LoadMapData();
  EXPECT_TRUE(fw::LastError.empty());
  EXPECT_EQ(fw::MapCtl->MapClips->Count(), 1);
  EXPECT_EQ(fw::MapCtl->MapIndexs->Count(), 1);
  EXPECT_EQ(fw::ObjClips->Count(), 1);
  EXPECT_EQ(datatest::LooseFiles(dir), 0);
}

TEST_F(DataMapTables, MissingTablesLeaveWhatWasThere) {
  datatest::MakeDataArchive(dir, {{"unrelated", "x"}});
  fw::ObjClips->Add("Kept", 0, 1, 1, "", "k.bmp", 1, 1);
  fw::LoadMapData();
  EXPECT_EQ(fw::LastError, "Unable to Read OBJ.ini");
  EXPECT_EQ(fw::ObjClips->Count(), 1);
}

TEST(DataMapCollections, DuplicateAndMissingKeys) {
  fw::MapIndexClass list;
  list.Add("", 1, "a", 0);
  list.Add("", 2, "b", 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(2)->ID, "b");
  list.Add("K", 3, "c", 0);
  EXPECT_THROW(list.Add("k", 4, "d", 0), plat::RuntimeError);
  EXPECT_THROW(list.Item("nothing"), plat::RuntimeError);
  EXPECT_THROW(list.Remove(9), plat::RuntimeError);
  list.Item(1)->Check = 1;
  list.ClearCheck();
  EXPECT_EQ(list.Item(1)->Check, 0);
  list.RemoveAll();
  list.RemoveAll();
  EXPECT_EQ(list.Count(), 0);

  fw::MapClipIndex clips;
  clips.Add("A", 0, 1, 1, "", "", 0, 0);
  EXPECT_THROW(clips.Add("a", 0, 1, 1, "", "", 0, 0), plat::RuntimeError);
  EXPECT_THROW(clips.Remove("b"), plat::RuntimeError);
  EXPECT_THROW(clips.Add("", 0, 1, 1, "", "", 0, 0), plat::RuntimeError);  // a sheet is found by key
  EXPECT_EQ(clips.Count(), 1);
}

TEST(DataMapControl, EdgeCodesAndFlags) {
  EXPECT_EQ(fw::MapControl::UDLR2Index("1011"), 13);
  EXPECT_EQ(fw::MapControl::Index2UDRL(13), "1011");
  EXPECT_EQ(fw::MapControl::UDLR2Index("101"), 0);
  EXPECT_EQ(fw::MapControl::UDLR2Index("0000"), 0);
  EXPECT_EQ(fw::MapControl::UDLR2Index("10x1"), 0);
  EXPECT_EQ(fw::MapControl::Index2UDRL(0), "");
  EXPECT_EQ(fw::MapControl::Index2UDRL(16), "");
  for (int16_t code = 1; code <= 15; ++code)
    EXPECT_EQ(fw::MapControl::UDLR2Index(fw::MapControl::Index2UDRL(code)), code);
}

TEST(DataMapControl, KeyIndexHasNoSlotForZero) {
  fw::MapControl control;
  control.SetKeyIndex(255, "ZZ");
  EXPECT_EQ(control.GetKeyIndex(255), "ZZ");
  EXPECT_THROW(control.SetKeyIndex(0, "X"), plat::RuntimeError);
  EXPECT_THROW(control.GetKeyIndex(256), plat::RuntimeError);
}

TEST(DataMapControl, UsedSheetsAndRandomVariants) {
  fw::MapControl control;
  EXPECT_EQ(control.CheckUsedMap("GR", "SA"), "");
  EXPECT_EQ(control.TransFormIndex("GR", 1), 0);
  control.UsedMap->Add("GR", 3, 4, 15, "", "", 320, 600);
  control.UsedMap->Add("GRSA", 4, 4, 15, "", "", 320, 600);
  EXPECT_EQ(control.CheckUsedMap("GR", ""), "GR");
  EXPECT_EQ(control.CheckUsedMap("GR", "GR"), "GR");
  EXPECT_EQ(control.CheckUsedMap("SA", "GR"), "GRSA");  // the reversed try
  EXPECT_EQ(control.CheckUsedMap("GR", "WA"), "");
  EXPECT_EQ(control.CheckUsedMap("gr", ""), "");  // letter case counts
  EXPECT_EQ(control.CheckUsedMap("", "GR"), "");

  plat::FixRandom(99);
  for (int i = 0; i < 50; ++i) {
    const int16_t v = control.TransFormIndex("gr", 2);
    EXPECT_GE(v, -31995);
    EXPECT_LE(v, -31992);
  }
  const int16_t v = control.TransFormIndex("GRSA", 15);
  EXPECT_GE(v, 4 * 256 + 57 - 32768);
  EXPECT_LE(v, 4 * 256 + 60 - 32768);
  EXPECT_EQ(control.TransFormIndex("GRWA", 1), 0);  // no such sheet
  EXPECT_EQ(control.TransFormIndex("G", 1), 0);
  EXPECT_EQ(control.TransFormIndex("GR", 0), 3 * 256 - 32768);  // frame out of range counts as 0
  control.UsedMap->Add("WA", 200, 1, 1, "", "", 80, 40);
  EXPECT_EQ(control.TransFormIndex("WA", 1), 0);  // key byte beyond the cell encoding
  plat::UnfixRandom();
}

}  // namespace
