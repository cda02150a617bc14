#include <gtest/gtest.h>

#include <cmath>

#include "engine/helpers.hpp"
#include "platform/runtime/code_page.hpp"

TEST(Colour565, PackingClampsAndWritesBack) {
  int32_t r = 255, g = 255, b = 255;
  EXPECT_EQ(fw::RGBTo565(r, g, b), 0xFFFF);
  EXPECT_EQ(r, 31);
  EXPECT_EQ(g, 63);
  EXPECT_EQ(b, 31);
  r = 300, g = 0, b = 0;
  EXPECT_EQ(fw::RGBTo565(r, g, b), 0xF800);
  r = 0, g = 80, b = 0;
  EXPECT_EQ(fw::RGBTo565(r, g, b), 0x0280);
  r = 40, g = 70, b = 40;
  EXPECT_EQ(fw::Pack565(r, g, b), 0xFFFF);
  EXPECT_EQ(r, 31);
  EXPECT_EQ(g, 63);
}

TEST(Colour565, AddSaturatesEachChannel) {
  EXPECT_EQ(fw::Add565(0xF800, 0x0800), 0xF800);
  EXPECT_EQ(fw::Add565(0x07E0, 0x0020), 0x07E0);
  EXPECT_EQ(fw::Add565(0x0010, 0x0010), 0x001F);
  EXPECT_EQ(fw::Add565(0x0841, 0x0841), 0x1082);  // no carry between channels
}

TEST(MapCellBytes, SplitWithTheRuntimesRounding) {
  EXPECT_EQ(fw::HiByte(0), 128);
  EXPECT_EQ(fw::LoByte(0), 0);
  EXPECT_EQ(fw::HiByte(-32768), 0);
  EXPECT_EQ(fw::HiByte(100), 128);
  EXPECT_EQ(fw::LoByte(100), 100);
  EXPECT_EQ(fw::HiByte(-32768 + 129), 1);    // low byte above 128 rounds up
  EXPECT_EQ(fw::HiByte(-32768 + 128), 0);    // exactly half: the even one
  EXPECT_EQ(fw::HiByte(-32768 + 384), 2);    // 1.5 rounds to 2
  EXPECT_EQ(fw::HiByte(32767), 255);         // would be 256: kept in a byte
  EXPECT_EQ(fw::LoByte(-32768 + 255), 255);
}

TEST(ArcSin, EndsAndOutOfRange) {
  EXPECT_FLOAT_EQ(fw::ArcSin(0.5f), static_cast<float>(3.141592653589 / 6));
  EXPECT_FLOAT_EQ(fw::ArcSin(1.0f), static_cast<float>(3.141592653589 / 2));
  EXPECT_FLOAT_EQ(fw::ArcSin(-1.0f), static_cast<float>(-3.141592653589 / 2));
  EXPECT_EQ(fw::ArcSin(2.0f), 0.0f);
  EXPECT_EQ(fw::ArcSin(std::nanf("")), 0.0f);
}

TEST(AnsiByteLen, DoubleByteCharactersCountTwo) {
  EXPECT_EQ(fw::AnsiByteLen("Arial"), 5);
  EXPECT_EQ(fw::AnsiByteLen(plat::FromUtf8("戰車") + "A"), 5);
  EXPECT_EQ(fw::AnsiByteLen(""), 0);
}

TEST(FindRecordIndexByName, FirstMatchIgnoringCaseElseZero) {
  struct Rec {
    std::string Name;
  };
  std::vector<Rec> recs{{"Smoke"}, {"EXP01"}, {"exp01"}};
  EXPECT_EQ(fw::FindRecordIndexByName("exp01", recs), 1);
  EXPECT_EQ(fw::FindRecordIndexByName("none", recs), 0);
}
