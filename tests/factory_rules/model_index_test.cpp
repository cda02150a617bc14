// The model index: companions of the archive's models.
#include <gtest/gtest.h>

#include "engine/globals.hpp"
#include "factory/rules/model_index.hpp"
#include "tests/data/data_test_support.hpp"

namespace {

TEST(ModelIndex, RecordsRunAcrossLineEndsAndACountOfZeroSetsNothing) {
  fw::PackFileClass files;
  files.Add("tank.x", 1, 1);
  files.Add("gun.x", 1, 1);
  files.Add("hull.bmp", 1, 1);
  files.Add("track.bmp", 1, 1);
  plat::TextRecordReader r(
      "\"tank.x\",3,\"hull.bmp\",\r\n\"..\\\\User.INI\",\"track.bmp\"\r\n"
      "\"gun.x\",0\r\n"
      "\"absent.x\",1,\"x.bmp\"\r\n"
      "\"hull.bmp\",-3\r\n");
  std::string problem;
  ASSERT_TRUE(fw::ReadModelIndex(r, files, problem));
  // Only companions the archive holds.
  EXPECT_EQ(files.Item("tank.x")->AddOnCount(), 2);
  EXPECT_EQ(files.Item("tank.x")->GetFileEx(1), "hull.bmp");
  EXPECT_EQ(files.Item("tank.x")->GetFileEx(2), "track.bmp");
  EXPECT_EQ(files.Item("gun.x")->AddOnCount(), 0);
  EXPECT_EQ(files.Item("hull.bmp")->AddOnCount(), 0);
}

TEST(ModelIndex, ARecordCutShortStopsTheReadingKeepingWhatCameBefore) {
  fw::PackFileClass files;
  files.Add("a.x", 1, 1);
  files.Add("b.x", 1, 1);
  files.Add("a.bmp", 1, 1);
  for (const char* bad : {"\"a.x\",1,\"a.bmp\"\r\n\"b.x\",3,\"one\"\r\n",
                          "\"a.x\",1,\"a.bmp\"\r\n\"b.x\",2147483647,\"\",\"\"\r\n",
                          "\"a.x\",1,\"a.bmp\"\r\n\"b.x\",many,\"x\"\r\n"}) {
    files.Item("b.x")->AddOnCount(0);
    plat::TextRecordReader r(bad);
    std::string problem;
    EXPECT_FALSE(fw::ReadModelIndex(r, files, problem));
    EXPECT_NE(problem.find("Index.txt line 2"), std::string::npos) << problem;
    EXPECT_EQ(files.Item("a.x")->GetFileEx(1), "a.bmp");
    EXPECT_EQ(files.Item("b.x")->AddOnCount(), 0);
  }
}

TEST(ModelIndex, LoadXIndexMakesAModelBringItsTexturesAndCleansUp) {
  fwtest::TempProgramFolder dir;
  datatest::MakeDataArchive(dir, {{"Index.txt", "\"robot.x\",2,\"skin.bmp\",\"eyes.bmp\"\r\n"},
                                  {"robot.x", "model"},
                                  {"skin.bmp", "skin"},
                                  {"eyes.bmp", "eyes"}});
  ASSERT_TRUE(fw::LoadXIndex());
  EXPECT_EQ(datatest::LooseFiles(dir), 0);
  fw::DataPack->Extract("robot.x");
  EXPECT_EQ(datatest::LooseFiles(dir), 3);
  fw::DataPack->RemoveTempFile();
  EXPECT_EQ(datatest::LooseFiles(dir), 0);
}

TEST(ModelIndex, AMissingIndexIsNotedAndTheGameGoesOn) {
  fwtest::TempProgramFolder dir;
  datatest::MakeDataArchive(dir, {{"robot.x", "model"}});
  fw::LastError.clear();
  EXPECT_FALSE(fw::LoadXIndex());
  EXPECT_EQ(fw::LastError, "Unable to Read Index.txt");
}

}  // namespace
