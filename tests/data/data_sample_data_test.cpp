// The sample data set's map tables and building types, read by the game's
// own readers: every row reads, and every picture they name is there with
// the grid the tables give it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "data/building.hpp"
#include "data/map_control.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/temp_folder.hpp"
#include "tests/common/test_support.hpp"

namespace {

class DataSampleData : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
    fwtest::WriteSampleData(dir.Path());
    fw::DataPack.Release();
    fw::DataPack->FilePath = fw::AppPath;
    fw::DataPack->TempPath = plat::GameTempFolder();
    fw::DataPack->LoadInf("Data");
    fw::LastError.clear();
  }
  void TearDown() override {
    fw::DataPack.Release();
    fw::MapCtl.Release();
    fw::ObjClips.Release();
  }
  // The picture of an archive member, loaded as the battles load it.
  plat::SurfacePtr Picture(const std::string& member) {
    fw::DataPack->Extract(member);
    auto s = plat::LoadPictureFile(plat::NativePath(fw::DataPack->TempPath + member));
    fw::DataPack->RemoveTempFile();
    return s;
  }
  fwtest::TempProgramFolder dir;
};

TEST_F(DataSampleData, MapTablesReadWholeAndTheirSheetsExist) {
  fw::LoadMapData();
  EXPECT_EQ(fw::LastError, "");
  fw::MapControl& control = *fw::MapCtl;
  ASSERT_GE(control.MapClips->Count(), 2);
  ASSERT_GE(control.MapIndexs->Count(), 2);
  for (const auto& sheet : *control.MapClips) {
    EXPECT_EQ(control.GetKeyIndex(sheet->Index), sheet->Key);
    auto picture = Picture(sheet->FileName);
    ASSERT_TRUE(picture) << sheet->FileName;
    EXPECT_EQ(picture->Width(), sheet->mWidth);
    EXPECT_EQ(picture->Height(), sheet->mHeight);
    // A transition sheet has a row for each edge code.
    EXPECT_EQ(sheet->RepeatY, sheet->Key.size() == 2 ? 1 : 15) << sheet->Key;
  }
}

TEST_F(DataSampleData, BuildingTypesNameCataloguedPicturesAndTheirFrames) {
  fw::Buildings types;
  ASSERT_TRUE(fw::ReadObjInfoIni(types)) << fw::LastError;
  ASSERT_TRUE(fw::ReadObjIni(*fw::ObjClips));
  // The missions count factories, helicopter bases and base buildings by
  // these type numbers.
  for (const char* key : {"577", "578", "579", "580", "587", "601", "612", "661", "672"})
    EXPECT_NO_THROW(types.Item(key)) << key;
  // A row in the code page of the original data reads as it is written.
  EXPECT_EQ(types.Item("587")->Name, plat::FromUtf8("司令部"));
  for (const auto& type : types) {
    auto clip = fw::ObjClips->Item(type->ClipStyle);
    ASSERT_TRUE(clip) << type->Key;
    EXPECT_EQ(type->DescRECT().Right, clip->mWidth);
    EXPECT_EQ(type->DescRECT().Bottom, clip->mHeight);
    for (int16_t frame : type->GetData()) {
      EXPECT_GE(frame, 1) << type->Key;
      EXPECT_LE(frame, clip->RepeatX * clip->RepeatY) << type->Key;
    }
    EXPECT_GT(type->HP, 0);
  }
  for (const auto& clip : *fw::ObjClips) {
    auto picture = Picture(clip->FileName);
    ASSERT_TRUE(picture) << clip->FileName;
    EXPECT_EQ(picture->Width(), clip->RepeatX * clip->mWidth);
    EXPECT_EQ(picture->Height(), clip->RepeatY * clip->mHeight);
    // Black is the battles' colour key: the corners stay see-through.
    EXPECT_EQ(picture->Row(0)[0], 0) << clip->FileName;
  }
}

TEST_F(DataSampleData, MembersWithChineseNamesAreFoundAndExtracted) {
  const std::string bell = plat::FromUtf8("锣初1.wav");
  ASSERT_TRUE(fw::DataPack->PackFiles->Find(bell));
  EXPECT_TRUE(fw::DataPack->PackFiles->Find(plat::FromUtf8("訊息框.bmp")));
  // The archive's directory holds the code page's bytes.
  const auto inf = plat::ReadAllText(fw::AppPath + "\\Data.INF");
  ASSERT_TRUE(inf);
  EXPECT_NE(inf->find("\"" + bell + "\""), std::string::npos);
  // Its copy is a file named in UTF-8, as the system names files.
  fw::DataPack->Extract(bell);
  const std::string copy = plat::NativePath(fw::DataPack->TempPath + bell);
  EXPECT_TRUE(copy.ends_with("/锣初1.wav")) << copy;
  EXPECT_TRUE(std::filesystem::is_regular_file(copy));
  fw::DataPack->RemoveTempFile();
  EXPECT_FALSE(std::filesystem::exists(copy));
}

}  // namespace
