// Building types and the reading of "objinfo.ini".
#include <gtest/gtest.h>

#include "data/building.hpp"
#include "engine/globals.hpp"
#include "platform/runtime/random.hpp"
#include "tests/data/data_test_support.hpp"

namespace {

using fw::RECT;

std::string Row(const std::string& key, int count, const std::string& frames = "5,6,7,8,9", int size = 1,
                const std::string& speed = "0.5") {
  return "\"" + key + "\",\"Pic" + key + "\",\"Base\",\"Depot " + key + "\",120,90," + std::to_string(size) + "," +
         speed + "," + std::to_string(count) + "," + frames + ",300,50,0.25\r\n";
}

TEST(DataBuilding, OffsetsFollowTheFootprint) {
  fw::Building b;
  b.SingleW = 80;
  b.SingleH = 40;
  b.DescRECT(RECT{0, 0, 120, 90});
  const struct {
    uint8_t size;
    int x, y;
  } cases[] = {{1, -20, -50}, {2, 0, -50}, {4, -60, -30}, {6, -40, -30},
               {8, 20, -10},  {9, -20, -10}, {12, 0, -10}, {16, 20, 10}};
  for (const auto& c : cases) {
    b.Size(c.size);
    EXPECT_EQ(b.OffsetX, c.x) << int(c.size);
    EXPECT_EQ(b.OffsetY, c.y) << int(c.size);
  }
  b.Size(3);  // no placement: offsets unchanged
  EXPECT_EQ(b.OffsetX, 20);
  EXPECT_EQ(b.OffsetY, 10);
  b.Size(1);
  b.DescRECT(RECT{0, 0, 81, 91});  // 40 - 40.5 rounds to even
  EXPECT_EQ(b.OffsetX, 0);
  EXPECT_EQ(b.OffsetY, -51);
}

TEST(DataBuilding, FrameArrayBounds) {
  fw::Building b;
  b.TotalData(3);
  EXPECT_EQ(b.TotalData(), 3);
  b.SetSingleData(0, 4);
  b.SetSingleData(3, 9);  // one past the last: ignored
  b.SetSingleData(-1, 9);
  EXPECT_EQ(b.GetData(), (std::vector<int16_t>{4, 0, 0}));
  EXPECT_THROW(b.GetSingleData(3), plat::RuntimeError);
  b.TotalData(2);  // earlier frames are not kept
  EXPECT_EQ(b.GetData(), (std::vector<int16_t>{0, 0}));
  EXPECT_THROW(b.TotalData(0), plat::RuntimeError);
  b.SetData({7, 8, 9, 10});
  EXPECT_EQ(b.TotalData(), 4);
  EXPECT_EQ(b.GetSingleData(3), 10);
}

TEST(DataBuilding, SequenceEndsEachCycleWithZero) {
  fw::Building b;
  b.SetData({1, 2, 3});
  b.StyleSpeed = 1;
  std::vector<int16_t> seen;
  for (int i = 0; i < 8; ++i) seen.push_back(b.SEQStyle());
  EXPECT_EQ(seen, (std::vector<int16_t>{1, 2, 3, 0, 1, 2, 3, 0}));
  b.Style = 0;
  b.StyleSpeed = 0.5f;
  seen.clear();
  for (int i = 0; i < 7; ++i) seen.push_back(b.SEQStyle());
  EXPECT_EQ(seen, (std::vector<int16_t>{1, 1, 2, 2, 3, 3, 0}));
}

TEST(DataBuilding, RandomFrameIsOneOfTheFrames) {
  plat::FixRandom(12345);
  fw::Building b;
  b.SetData({4, 5, 6});
  for (int i = 0; i < 20; ++i) {
    const int16_t f = b.RNDStyle();
    EXPECT_TRUE(f >= 4 && f <= 6);
  }
  plat::UnfixRandom();
}

TEST(DataBuildings, AddSetsFieldsInOrderAndRefusesDuplicates) {
  fw::Buildings types;
  auto b = types.Add("501", 2, 4.0, 3, RECT{0, 0, 120, 90}, "House");
  EXPECT_EQ(b->Style, 2.0f);
  EXPECT_EQ(b->Size(), 4);
  EXPECT_EQ(b->TotalData(), 3);
  EXPECT_EQ(b->ClipStyle, "House");
  EXPECT_EQ(b->OffsetX, -60);  // no cell size yet
  EXPECT_THROW(types.Add("501", 0, 1, 1, RECT{}, "X"), plat::RuntimeError);
  EXPECT_THROW(types.Add("502", 0, 256, 1, RECT{}, "X"), plat::RuntimeError);
  EXPECT_THROW(types.Item("999"), plat::RuntimeError);
  EXPECT_EQ(types.Count(), 1);
  b->Check = 3;
  types.ClearChk();
  EXPECT_EQ(b->Check, 0);
  types.Remove("501");  // types have no hit rectangle: nothing else to remove
  EXPECT_EQ(types.Count(), 0);
  EXPECT_THROW(types.Remove(1), plat::RuntimeError);
}

class DataObjInfo : public ::testing::Test {
 protected:
  void SetUp() override { fw::LastError.clear(); }
  void TearDown() override { fw::DataPack.Release(); }
  fwtest::TempProgramFolder dir;
};

TEST_F(DataObjInfo, ReadsRowsWithCellSizeAndFrames) {
  datatest::MakeDataArchive(dir, {{"objinfo.ini", Row("501", 3) + Row("502", 6, "1,2,3,4,5", 9)}});
  fw::Buildings types;
  types.Add("old", 0, 1, 1, RECT{}, "");
  ASSERT_TRUE(fw::ReadObjInfoIni(types));
  EXPECT_TRUE(fw::LastError.empty());
  ASSERT_EQ(types.Count(), 2);
  auto a = types.Item("501");
  EXPECT_EQ(a->GetData(), (std::vector<int16_t>{5, 6, 7}));
  EXPECT_EQ(a->ClipStyle, "Pic501");
  EXPECT_EQ(a->Kind, "Base");
  EXPECT_EQ(a->Name, "Depot 501");
  EXPECT_EQ(a->SingleW, 80);
  EXPECT_EQ(a->SingleH, 40);
  EXPECT_EQ(a->OffsetX, -20);
  EXPECT_EQ(a->OffsetY, -50);
  EXPECT_EQ(a->StyleSpeed, 0.5f);
  EXPECT_EQ(a->HP, 300);
  EXPECT_EQ(a->ShieldFull, 50);
  EXPECT_EQ(a->ShieldSpeed, 0.25f);
  EXPECT_EQ(a->DescRECT().Bottom, 90);
  auto b = types.Item("502");
  EXPECT_EQ(b->GetData(), (std::vector<int16_t>{1, 2, 3, 4, 5, 0}));
  EXPECT_EQ(b->OffsetY, -10);
  EXPECT_EQ(datatest::LooseFiles(dir), 0);  // the extracted copy is gone
}

TEST_F(DataObjInfo, BadRowsKeepTheTypesBeforeThemAndCleanUp) {
  const std::string bad[] = {
      Row("501", 2) + Row("501", 2),                        // duplicate key
      Row("501", 2) + Row("502", 7),                        // more frames than the row holds
      Row("501", 2) + Row("502", 2, "1,2,3,4,5", 300),      // footprint not a byte
      Row("501", 2) + Row("502", 0),                        // no frames
      Row("501", 2) + "\"502\",\"P\",\"K\",\"N\",120,90,1\r\n",  // short row
      Row("501", 2) + Row("502", 2, "1,x,3,4,5"),           // not a number
  };
  for (const std::string& text : bad) {
    datatest::MakeDataArchive(dir, {{"objinfo.ini", text}});
    fw::Buildings types;
    fw::LastError.clear();
    EXPECT_FALSE(fw::ReadObjInfoIni(types)) << text;
    EXPECT_EQ(fw::LastError, "Unable to Read OBJInfo.ini");
    ASSERT_EQ(types.Count(), 1) << text;
    EXPECT_EQ(types.Item(1)->Key, "501");
    EXPECT_EQ(datatest::LooseFiles(dir), 0) << text;
  }
}

TEST_F(DataObjInfo, MissingTableLeavesTheTypesAsTheyWere) {
  datatest::MakeDataArchive(dir, {{"other.ini", "x"}});
  fw::Buildings types;
  types.Add("kept", 0, 1, 1, RECT{}, "");
  EXPECT_FALSE(fw::ReadObjInfoIni(types));
  EXPECT_EQ(fw::LastError, "Unable to Read OBJInfo.ini");
  EXPECT_EQ(types.Count(), 1);
}

}  // namespace
