// Several files saved as one step through a journal.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/test_support.hpp"

namespace {

class SaveTogether : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.File("save"));
    dir.Write("A.INI", "old a");
    dir.Write("save/b.DAT", "old b");
  }
  std::string Both() const { return dir.Read("A.INI") + "|" + dir.Read("save/b.DAT"); }
  fwtest::TempProgramFolder dir;
};

TEST_F(SaveTogether, FilesOutsideTheFolderAreRefusedUnwritten) {
  for (const std::string& outside : {dir.Path() + "\\..\\x.INI", std::string("/tmp/elsewhere.INI"), dir.Path()}) {
    SCOPED_TRACE(outside);
    EXPECT_FALSE(plat::WriteFilesTogether(dir.Path() + "\\save", {{dir.Path() + "\\save\\b.DAT", "x"}, {outside, "x"}}));
    EXPECT_EQ(Both(), "old a|old b");
  }
}

TEST(SaveJournal, OnlyAWholeJournalWithPathsInsideItsFolderDecodes) {
  const std::string good = plat::EncodeSaveJournal({{"User.INI", std::string("a\0b", 3)}, {"save/user1.DAT", ""}});
  const auto back = plat::DecodeSaveJournal(good);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ((*back)[0].bytes, std::string("a\0b", 3));
  EXPECT_EQ((*back)[1].gamePath, "save/user1.DAT");

  std::string flipped = good;
  flipped[20] ^= 1;
  const std::string damaged[] = {
      "", good.substr(0, good.size() - 1), flipped, good + "x", "FWSAVEJ1",
      plat::EncodeSaveJournal({}),
      plat::EncodeSaveJournal({{"../User.INI", "x"}}),
      plat::EncodeSaveJournal({{"/etc/passwd", "x"}}),
      plat::EncodeSaveJournal({{"save//b", "x"}}),
      plat::EncodeSaveJournal({{"save/./b", "x"}}),
      plat::EncodeSaveJournal({{"a\\..\\b", "x"}}),
      plat::EncodeSaveJournal({{"", "x"}}),
  };
  for (const std::string& bytes : damaged) EXPECT_FALSE(plat::DecodeSaveJournal(bytes)) << bytes.size();
}

TEST_F(SaveTogether, AJournalThisGameDidNotWriteWholeIsRemovedAndTheFilesStay) {
  dir.Write(std::string(plat::kSaveJournalName), plat::EncodeSaveJournal({{"../A.INI", "evil"}}));
  EXPECT_EQ(plat::RecoverFilesWrittenTogether(dir.Path()), "");
  EXPECT_EQ(Both(), "old a|old b");
  EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
}

TEST_F(SaveTogether, AFolderRemovedSinceIsMadeAgain) {
  std::filesystem::remove_all(dir.File("save"));
  dir.Write(std::string(plat::kSaveJournalName), plat::EncodeSaveJournal({{"A.INI", "new a"}, {"save/b.DAT", "new b"}}));
  EXPECT_EQ(plat::RecoverFilesWrittenTogether(dir.Path()), "");
  EXPECT_EQ(Both(), "new a|new b");
  EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
}

TEST_F(SaveTogether, ACopyIsKeptAsideUnderTheFirstUnusedName) {
  dir.Write("save/b.DAT.damaged-1", "someone's");
  EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\b.DAT", "damaged"), "b.DAT.damaged-2");
  EXPECT_EQ(dir.Read("save/b.DAT.damaged-1"), "someone's");
  EXPECT_EQ(dir.Read("save/b.DAT.damaged-2"), "old b");
  EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\none.DAT", "damaged"), "");
}

}  // namespace
