// Several files saved as one step through a journal.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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

// A journal whose files cannot stand where it names them would stop every
// start: it is kept aside whole, nothing of it is written, and the next
// start meets no journal.
TEST_F(SaveTogether, AJournalThatCannotBeFinishedIsKeptAsideUnappliedUnderAnUnusedName) {
  using Outcome = plat::JournalRecovery::Outcome;
  const std::string journal(plat::kSaveJournalName);
  dir.Write(journal + ".unfinished-1", "an older one");
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::vector<plat::FileContent> files;
    plat::JournalCheck check;
    std::string why;
  } cases[] = {
      {"a file where the folder should be", [&] {
         std::filesystem::remove_all(dir.File("save"));
         dir.Write("save", "x");
       },
       {{"A.INI", "new a"}, {"save/b.DAT", "new b"}}, nullptr, "save is a file, not a folder"},
      {"a folder where a file should be", [&] { std::filesystem::create_directory(dir.File("save/c.DAT")); },
       {{"A.INI", "new a"}, {"save/c.DAT", "new c"}}, nullptr, "save/c.DAT is a folder, not a file"},
      {"a journal its owner refuses", [] {}, {{"A.INI", "new a"}, {"save/b.DAT", "new b"}},
       [](const std::vector<plat::FileContent>& files) { return files.size() == 2 ? "two files" : ""; }, "two files"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.arrange();
    const std::string bytes = plat::EncodeSaveJournal(c.files);
    dir.Write(journal, bytes);
    const plat::JournalRecovery r = plat::FinishOrKeepAsideJournal(dir.Path(), c.check);
    EXPECT_EQ(r.outcome, Outcome::KeptAside);
    EXPECT_EQ(r.why, c.why);
    EXPECT_EQ(r.keptAs, journal + ".unfinished-2");
    EXPECT_EQ(dir.Read(journal + ".unfinished-2"), bytes);
    EXPECT_EQ(dir.Read(journal + ".unfinished-1"), "an older one");
    EXPECT_FALSE(dir.Exists(journal));
    EXPECT_EQ(dir.Read("A.INI"), "old a");
    EXPECT_EQ(plat::FinishOrKeepAsideJournal(dir.Path(), c.check).outcome, Outcome::None);
    std::filesystem::remove(dir.File(journal + ".unfinished-2"));
    std::filesystem::remove_all(dir.File("save"));
  }
}

// Where not even a copy can be made, the journal stays for a start that
// can finish it.
TEST_F(SaveTogether, AJournalThatCanNeitherBeFinishedNorKeptAsideStays) {
  const std::string journal(plat::kSaveJournalName);
  for (int k = 1; k <= 999; ++k) dir.Write(journal + ".unfinished-" + std::to_string(k), "");
  std::filesystem::remove_all(dir.File("save"));
  dir.Write("save", "x");
  dir.Write(journal, plat::EncodeSaveJournal({{"save/b.DAT", "new b"}}));
  const plat::JournalRecovery r = plat::FinishOrKeepAsideJournal(dir.Path(), nullptr);
  EXPECT_EQ(r.outcome, plat::JournalRecovery::Outcome::Stuck);
  EXPECT_EQ(r.why, "save is a file, not a folder");
  EXPECT_TRUE(dir.Exists(journal));
}

TEST_F(SaveTogether, AFolderNamedLikeTheJournalIsNamedInTheFailure) {
  std::filesystem::create_directory(dir.File(std::string(plat::kSaveJournalName)));
  std::string why;
  EXPECT_FALSE(plat::WriteFilesTogether(dir.Path(), {{dir.Path() + "\\A.INI", "new a"}}, &why));
  EXPECT_EQ(why, "SaveJournal.bin in the game folder is a folder, not a file");
  EXPECT_EQ(Both(), "old a|old b");
}

TEST_F(SaveTogether, ACopyIsKeptAsideUnderTheFirstUnusedName) {
  dir.Write("save/b.DAT.damaged-1", "someone's");
  EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\b.DAT", "damaged"), "b.DAT.damaged-2");
  EXPECT_EQ(dir.Read("save/b.DAT.damaged-1"), "someone's");
  EXPECT_EQ(dir.Read("save/b.DAT.damaged-2"), "old b");
  EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\none.DAT", "damaged"), "");
}

}  // namespace
