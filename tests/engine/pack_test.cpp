#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/pack.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace {

// An archive built from hand-written files, as the loaders see it.
struct ArchiveFixture : ::testing::Test {
  fwtest::TempProgramFolder dir;
  fw::qelPackage pack;

  void Open(const std::string& inf, const std::string& pak) {
    dir.Write("T.INF", inf);
    dir.Write("T.PAK", pak);
    pack.FilePath = dir.Path();
    pack.TempPath = dir.Path() + "\\tmp";
    dir.Write("tmp/.keep", "");
    pack.LoadInf("T");
  }
};

}  // namespace

TEST_F(ArchiveFixture, MembersExtractByteExactUnderTheNameAsGiven) {
  Open("\"abc.txt\",1,3\r\n\"Pic.BMP\",5,2\r\n", std::string("abc\0xy\0", 7));
  ASSERT_EQ(pack.PackFiles->Count(), 2);
  pack.Extract("ABC.TXT");
  pack.Extract("pic.bmp");
  EXPECT_EQ(dir.Read("tmp/ABC.TXT"), "abc");
  EXPECT_EQ(dir.Read("tmp/pic.bmp"), "xy");
  EXPECT_TRUE(pack.RemoveTempFile());
  EXPECT_FALSE(dir.Exists("tmp/ABC.TXT"));
  EXPECT_FALSE(dir.Exists("tmp/pic.bmp"));
  EXPECT_EQ(pack.ExtractFiles->Count(), 0);
}

TEST_F(ArchiveFixture, UnknownEmptyAndOutOfRangeMembersLeaveNothing) {
  Open("\"a\",1,1\r\n\"empty\",3,0\r\n\"past\",3,100\r\n", std::string("a\0\0", 3));
  // Read in place, the same members give the same bytes or nothing.
  EXPECT_EQ(pack.ReadMember("A"), std::vector<uint8_t>{'a'});
  for (const char* none : {"missing", "empty", "past", ""}) EXPECT_FALSE(pack.ReadMember(none)) << none;
  EXPECT_EQ(pack.ExtractFiles->Count(), 0);
  pack.Extract("a");
  pack.Extract("missing");
  pack.Extract("empty");
  pack.Extract("past");
  EXPECT_FALSE(dir.Exists("tmp/missing"));
  EXPECT_FALSE(dir.Exists("tmp/empty"));
  EXPECT_FALSE(dir.Exists("tmp/past"));
  EXPECT_EQ(pack.ExtractFiles->Count(), 1);
  pack.RemoveTempFile();
  EXPECT_FALSE(dir.Exists("tmp/a"));
}

TEST_F(ArchiveFixture, ExtractingTwiceRecordsOnceAndCleanupToleratesGoneCopies) {
  Open("\"a\",1,1\r\n\"b\",3,1\r\n", std::string("a\0b\0", 4));
  pack.Extract("a");
  pack.Extract("a");
  pack.Extract("b");
  EXPECT_EQ(pack.ExtractFiles->Count(), 2);
  std::remove(dir.File("tmp/a").c_str());  // already gone: not an error
  EXPECT_TRUE(pack.RemoveTempFile());
  EXPECT_FALSE(dir.Exists("tmp/b"));
}

TEST_F(ArchiveFixture, AFailedDeletionDoesNotPoisonLaterCleanups) {
  Open("\"a\",1,1\r\n\"b\",3,1\r\n", std::string("a\0b\0", 4));
  pack.Extract("a");
  // A folder where the copy should be cannot be deleted as a file.
  pack.ExtractFiles->Add("stuck", 0, 0);
  dir.Write("tmp/stuck/x", "1");
  EXPECT_FALSE(pack.RemoveTempFile());
  EXPECT_FALSE(dir.Exists("tmp/a"));
  pack.Extract("b");
  EXPECT_TRUE(pack.RemoveTempFile());
  EXPECT_FALSE(dir.Exists("tmp/b"));
}

TEST_F(ArchiveFixture, CompanionsComeAlongAndCyclesEnd) {
  Open("\"model.x\",1,1\r\n\"tex.bmp\",3,1\r\n\"more.bmp\",5,1\r\n", std::string("m\0t\0o\0", 6));
  auto model = pack.PackFiles->Item("MODEL.X");
  model->AddOnCount(1);
  model->SetFileEx(1, "tex.bmp");
  auto tex = pack.PackFiles->Item("tex.bmp");
  tex->AddOnCount(2);
  tex->SetFileEx(1, "more.bmp");
  tex->SetFileEx(2, "model.x");  // a cycle back to the model
  pack.Extract("model.x");
  EXPECT_EQ(dir.Read("tmp/tex.bmp"), "t");
  EXPECT_EQ(dir.Read("tmp/more.bmp"), "o");
  EXPECT_EQ(pack.ExtractFiles->Count(), 3);
  pack.RemoveTempFile();
}

TEST(FileAttribs, CompanionIndexIsClamped) {
  fw::FileAttribs a;
  a.AddOnCount(2);
  a.SetFileEx(1, "one");
  a.SetFileEx(2, "two");
  EXPECT_EQ(a.GetFileEx(5), "two");
  EXPECT_EQ(a.GetFileEx(0), "one");
  a.AddOnCount(3);  // growing keeps what is there
  EXPECT_EQ(a.GetFileEx(2), "two");
  EXPECT_EQ(a.GetFileEx(3), "");
  fw::FileAttribs none;
  EXPECT_EQ(none.GetFileEx(1), "");
}

TEST(PackFileClass, DuplicateNamesKeepTheFirst) {
  fw::PackFileClass files;
  ASSERT_NE(files.Add("A.bmp", 1, 2), nullptr);
  EXPECT_EQ(files.Add("a.BMP", 9, 9), nullptr);
  EXPECT_EQ(files.Count(), 1);
  EXPECT_EQ(files.Item("A.BMP")->StartPos, 1);
  EXPECT_THROW(files.Item("nothing"), plat::RuntimeError);
}

TEST(Packer, RoundTripThroughLoadInfIsExact) {
  fwtest::TempProgramFolder dir;
  dir.Write("src/b.txt", "hello");
  dir.Write("src/a.bin", std::string("\0\1\2", 3));
  dir.Write("src/empty.dat", "");
  fw::qelPackage packer;
  packer.FilePath = dir.Path() + "\\src";
  packer.TempPath = dir.Path();
  ASSERT_TRUE(packer.AddArchive("Data"));
  EXPECT_EQ(dir.Read("Data.PAK"), std::string("\0\1\2\0hello\0\0", 11));  // sorted, each with its zero byte
  fw::qelPackage reader;
  reader.FilePath = dir.Path();
  reader.TempPath = dir.Path() + "\\out";
  dir.Write("out/.keep", "");
  reader.LoadInf("Data");
  ASSERT_EQ(reader.PackFiles->Count(), packer.PackFiles->Count());
  for (int i = 1; i <= reader.PackFiles->Count(); ++i) {
    EXPECT_EQ(reader.PackFiles->Item(i)->Key, packer.PackFiles->Item(i)->Key);
    EXPECT_EQ(reader.PackFiles->Item(i)->StartPos, packer.PackFiles->Item(i)->StartPos);
    EXPECT_EQ(reader.PackFiles->Item(i)->FileSize, packer.PackFiles->Item(i)->FileSize);
  }
  reader.Extract("b.txt");
  reader.Extract("a.bin");
  EXPECT_EQ(dir.Read("out/b.txt"), "hello");
  EXPECT_EQ(dir.Read("out/a.bin"), std::string("\0\1\2", 3));
}

// Only a directory or list that is not there is not found: one that is there
// and cannot be read says why. Each names the file and its folder as the
// system spells them, letters the code page lacks included.
TEST(Packer, MissingOrDamagedDirectoryNamesTheFileAndFolder) {
  fwtest::TempProgramFolder dir;
  const std::string folder = dir.File("Spiele-Über-遊戲");
  const auto fifo = [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); };
  const auto file = [](const std::string& bytes) {
    return [bytes](const std::string& path) { std::ofstream(path, std::ios::binary) << bytes; };
  };
  const std::string record = "\"a\",1,1\r\n";
  const auto unreadable = [&](const std::string& path) { file(record)(path); ::chmod(path.c_str(), 0); };
  const auto folderThere = [](const std::string& path) { std::filesystem::create_directory(path); };
  const auto fails = [](plat::FileCall call) { return [call] { plat::FailNextFileCall(call, EIO); }; };
  const std::string inf = "\"Data.INF\" in " + folder, list = folder + "/List.txt", unread = "Unable to read " + inf;
  const struct {
    const char* what;
    const char* file;
    std::function<void(const std::string&)> plant;
    std::function<void()> fault;
    std::string says;
  } cases[] = {
      {"nothing there", "Data.INF", nullptr, nullptr, "File not found: " + inf},
      {"a FIFO", "Data.INF", fifo, nullptr, unread + ": " + plat::SystemErrorText(plat::kNotAFile)},
      {"a folder", "Data.INF", folderThere, nullptr, unread + ": " + plat::SystemErrorText(EISDIR)},
      {"no right to read", "Data.INF", unreadable, nullptr, unread + ": " + plat::SystemErrorText(EACCES)},
      {"a look that fails", "Data.INF", file(record), fails(plat::FileCall::Look), unread + ": Input/output error"},
      {"a read that fails", "Data.INF", file(record), fails(plat::FileCall::Read), unread + ": Input/output error"},
      {"a damaged record", "Data.INF", file("\"a\",notanumber,3\r\n"), nullptr, "Damaged archive directory " + inf},
      // A member's name is the game's text: shown in its own letters.
      {"a member name with a folder", "Data.INF", file("\"\x81\x5c/x\",1,1\r\n"), nullptr,
       "Damaged archive directory " + inf + ": the member name \"\xe4\xb9\x97/x\" is not a bare file name"},
      {"no companion list", "List.txt", nullptr, nullptr, "File not found: " + list},
      {"a companion list that cannot be read", "List.txt", file("\"a\",0\r\n"), fails(plat::FileCall::Read),
       "Unable to read " + list + ": " + plat::SystemErrorText(EIO)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    if (c.plant) c.plant(folder + "/" + c.file);
    const std::optional<std::string> answer = fwtest::AnswerInChild([&]() -> std::string {
      fwtest::DropFilePowers();
      if (c.fault) c.fault();
      try {
        fw::qelPackage pack;
        pack.FilePath = folder;
        if (std::string(c.file) == "List.txt")
          pack.SetFileExt(folder + "\\List.txt");
        else
          pack.LoadInf("Data");
        return "read";
      } catch (const plat::RuntimeError& e) {
        return "shown: " + e.Utf8();
      }
    });
    ASSERT_TRUE(answer) << "no answer";
    EXPECT_EQ(answer->substr(0, 7 + c.says.size()), "shown: " + c.says);
  }
}

TEST(PathSplitting, SplitsAtTheLastSeparator) {
  using P = fw::qelPackage;
  EXPECT_EQ(P::GetFileName("pic\\Target.bmp"), "Target.bmp");
  EXPECT_EQ(P::GetFilePath("pic\\Target.bmp"), "pic\\");
  EXPECT_EQ(P::GetMainName("pic\\Target.bmp"), "pic\\Target");
  EXPECT_EQ(P::GetExtName("pic\\Target.bmp"), "bmp");
  EXPECT_EQ(P::GetExtName("noext"), "noext");
  EXPECT_EQ(P::GetFilePath("noslash"), "");
  EXPECT_EQ(P::GetFileName("noslash"), "noslash");
  EXPECT_EQ(P::GetMainName("dir.v2\\file"), "dir");  // the last dot anywhere
}
