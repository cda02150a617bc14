#include <gtest/gtest.h>

#include <climits>

#include "engine/sheet_cell.hpp"
#include "platform/runtime/error.hpp"

TEST(SheetCell, FramesRunAlongRowsAndPastTheLastRow) {
  // 3 by 2 cells of 10 by 20: frame 4 starts the second row, frame 7 a third
  // row the sheet does not have.
  const fw::SheetCell fourth = fw::CellOfFrame(30, 40, 3, 2, 4);
  EXPECT_EQ(fourth.left, 0);
  EXPECT_EQ(fourth.top, 20);
  EXPECT_EQ(fourth.width, 10);
  EXPECT_EQ(fourth.height, 20);
  const plat::RECT seventh = fw::CellOfFrame(30, 40, 3, 2, 7).Rect();
  EXPECT_EQ(seventh.Top, 40);
  EXPECT_EQ(seventh.Bottom, 60);
  // Frame 0 stands left of the first cell, as the runtime's remainder has it.
  EXPECT_EQ(fw::CellOfFrame(30, 40, 3, 2, 0).left, -10);
}

TEST(SheetCell, ExtremeFramesAndRepeatsNeitherOverflowNorCrash) {
  const fw::SheetCell low = fw::CellOfFrame(640, 480, -1, 1, INT_MIN);
  EXPECT_EQ(low.width, -640);
  const fw::SheetCell high = fw::CellOfFrame(640, 480, 1, 1, INT_MAX);
  EXPECT_EQ(high.top, int64_t{INT_MAX - 1} * 480);
  EXPECT_THROW(high.Rect(), plat::RuntimeError);  // beyond any 32-bit position
  EXPECT_THROW(fw::CellOfFrame(640, 480, 0, 1, 1), plat::RuntimeError);
  EXPECT_THROW(fw::CellOfFrame(640, 480, 1, 0, 1), plat::RuntimeError);
}
