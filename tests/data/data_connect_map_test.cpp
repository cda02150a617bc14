// Tile connection: copying a cell's neighbourhood and painting a terrain
// at its upper corner.
#include <gtest/gtest.h>

#include "data/map_control.hpp"

namespace {

int16_t Cell(int keyByte, int frame) { return static_cast<int16_t>(keyByte * 256 + frame - 32768); }

class DataConnectMap : public ::testing::Test {
 protected:
  void SetUp() override {
    control.UsedMap->Add("GR", 1, 2, 15, "", "", 160, 600);
    control.UsedMap->Add("SA", 2, 2, 15, "", "", 160, 600);
    control.UsedMap->Add("GRSA", 3, 2, 15, "", "", 160, 600);
    control.SetKeyIndex(1, "GR");
    control.SetKeyIndex(2, "SA");
    control.SetKeyIndex(3, "GRSA");
  }
  // Four tiles of one sheet and edge code, as MapControl.Add leaves them.
  static void Fill(fw::ConnectMap& c, const std::string& key, int16_t code) {
    for (auto [i, j] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
      c.SetMap(i, j, code);
      c.SetMapKey(i, j, key);
    }
  }
  fw::MapControl control;
};

TEST_F(DataConnectMap, AddReadsTheNeighbourhoodOfAnEvenRow) {
  fw::CellMap map(5, 6);
  // Edge code = row of the frame: frame f of a 2-wide sheet is row (f+1)/2.
  map.Set(2, 4, Cell(1, 1));  // the cell: code 1
  map.Set(2, 2, Cell(2, 3));  // above: code 2
  map.Set(2, 3, Cell(3, 6));  // upper right: code 3
  map.Set(1, 3, Cell(3, 8));  // upper left: code 4
  auto c = control.Add("k", 2, 4, map);
  EXPECT_EQ(c->Key, "k");
  EXPECT_EQ(c->GetMap(1, 1), 1);
  EXPECT_EQ(c->GetMapKey(1, 1), "GR");
  EXPECT_EQ(c->GetMap(0, 0), 2);
  EXPECT_EQ(c->GetMapKey(0, 0), "SA");
  EXPECT_EQ(c->GetMap(1, 0), 3);
  EXPECT_EQ(c->GetMap(0, 1), 4);
  EXPECT_EQ(c->GetMapKey(0, 1), "GRSA");
  EXPECT_EQ(c->GetMap(2, 2), 0);  // not filled
  EXPECT_EQ(control.Item("K").get(), c.get());
}

TEST_F(DataConnectMap, AddReadsTheNeighbourhoodOfAnOddRow) {
  fw::CellMap map(5, 6);
  map.Set(2, 3, Cell(1, 1));
  map.Set(2, 1, Cell(1, 3));
  map.Set(2, 2, Cell(1, 5));  // upper left for odd rows
  map.Set(3, 2, Cell(1, 7));  // upper right for odd rows
  auto c = control.Add("k", 2, 3, map);
  EXPECT_EQ(c->GetMap(1, 1), 1);
  EXPECT_EQ(c->GetMap(0, 0), 2);
  EXPECT_EQ(c->GetMap(0, 1), 3);
  EXPECT_EQ(c->GetMap(1, 0), 4);
}

TEST_F(DataConnectMap, AddSkipsCellsItCannotRead) {
  fw::CellMap map(1, 1);
  map.Set(0, 1, Cell(9, 1));  // key byte with no sheet
  auto c = control.Add("edge", 0, 1, map);
  EXPECT_EQ(c->GetMap(1, 1), 0);
  EXPECT_EQ(c->GetMapKey(1, 1), "");
  EXPECT_EQ(c->GetMap(0, 0), 0);  // above the map
  auto again = control.Add("edge", 0, 1, map);  // taken key: returned, not kept
  EXPECT_EQ(control.Count(), 1);
  EXPECT_NE(again.get(), control.Item(1).get());
}

TEST_F(DataConnectMap, PaintingTheSameTerrainChangesNothing) {
  fw::ConnectMap c;
  Fill(c, "GR", 1);
  c.BuildItem(control, "GR");
  for (auto [i, j] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
    EXPECT_EQ(c.ReturnMapKey(i, j), "GR");
    EXPECT_EQ(c.ReturnMap(i, j), 1);
  }
  EXPECT_EQ(c.Count(), 0);  // the corner points live only while it runs
}

TEST_F(DataConnectMap, PaintingAnotherTerrainUsesTheTransitionSheet) {
  fw::ConnectMap c;
  Fill(c, "GR", 1);
  c.BuildItem(control, "SA");
  EXPECT_EQ(c.ReturnMapKey(0, 0), "GRSA");
  EXPECT_EQ(c.ReturnMap(0, 0), 13);  // top: "1011"
  EXPECT_EQ(c.ReturnMap(1, 0), 7);   // upper right: "1101"
  EXPECT_EQ(c.ReturnMap(0, 1), 11);  // upper left: "1110"
  EXPECT_EQ(c.ReturnMap(1, 1), 5);   // own cell: "0111"
  EXPECT_EQ(c.ReturnMapKey(1, 1), "GRSA");
}

TEST_F(DataConnectMap, ATileLeftWithoutItsFirstTerrainTakesThePlainSheet) {
  fw::ConnectMap c;
  // The top tile has grass only at its lower corner, the painted point.
  c.SetMap(0, 0, fw::MapControl::UDLR2Index("0100"));
  c.SetMapKey(0, 0, "GRSA");
  c.BuildItem(control, "SA");
  EXPECT_EQ(c.ReturnMap(0, 0), 1);
  EXPECT_EQ(c.ReturnMapKey(0, 0), "SA");

  control.UsedMap->Remove("SA");  // no plain sheet: the old key stays
  c.BuildItem(control, "SA");
  EXPECT_EQ(c.ReturnMap(0, 0), 1);
  EXPECT_EQ(c.ReturnMapKey(0, 0), "GRSA");
}

TEST_F(DataConnectMap, GridAccessorsIgnoreIndexesOutsideTheGrid) {
  fw::ConnectMap c;
  c.SetMap(-1, 0, 5);
  c.SetMapKey(0, 3, "X");
  EXPECT_EQ(c.GetMap(3, 0), 0);
  EXPECT_EQ(c.GetMapKey(0, 3), "");
  EXPECT_EQ(c.ReturnMap(0, -1), 0);
  EXPECT_EQ(c.ReturnMapKey(5, 5), "");
  c.SetMap(2, 2, 9);
  EXPECT_EQ(c.GetMap(2, 2), 9);
  EXPECT_EQ(fw::ConnectMap::InvertUDRL("0110"), "1001");
  EXPECT_EQ(fw::ConnectMap::InvertUDRL(""), "1111");
}

TEST_F(DataConnectMap, CornerPointsAreKeyedAndNumbered) {
  fw::ConnectMap c;
  c.Add("1", "GR", "");
  auto p = c.Add("2", "SA", "x");
  EXPECT_EQ(p->Index, 1);
  EXPECT_EQ(p->OldID, "SA");
  EXPECT_EQ(p->ID, "x");
  EXPECT_THROW(c.Add("2", "", ""), plat::RuntimeError);
  EXPECT_THROW(c.Item("9"), plat::RuntimeError);
  c.RemoveAll();
  EXPECT_EQ(c.Count(), 0);
}

}  // namespace
