// Archives are data from outside: a member name can never make Extract or
// RemoveTempFile reach outside the temporary folder, and no companion graph
// (long chains, shared branches, cycles) can exhaust the stack or the time.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "engine/pack.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/error.hpp"
#include "tests/common/test_support.hpp"

namespace {

// An archive of one-byte members named m0, m1, ... whose byte is the last
// character of the name's number.
struct Members : ::testing::Test {
  fwtest::TempProgramFolder dir;
  fw::qelPackage pack;

  void Open(int count) {
    std::string inf, pak;
    for (int i = 0; i < count; ++i) {
      inf += "\"m" + std::to_string(i) + "\"," + std::to_string(2 * i + 1) + ",1\r\n";
      pak += std::to_string(i).back();
      pak += '\0';
    }
    dir.Write("T.INF", inf);
    dir.Write("T.PAK", pak);
    dir.Write("app/tmp/.keep", "");
    pack.FilePath = dir.Path();
    pack.TempPath = dir.Path() + "\\app\\tmp";
    pack.LoadInf("T");
  }
  // Tens of thousands of copies: on a memory file system where there is
  // one, since creating files just deleted is slow on some disk ones.
  std::string fastTemp;
  ~Members() override {
    if (!fastTemp.empty()) std::filesystem::remove_all(fastTemp);
  }
  std::string UseFastTemp() {
    std::string tmpl = "/dev/shm/fwpack-XXXXXX";
    if (!std::filesystem::is_directory("/dev/shm") || !mkdtemp(tmpl.data())) return dir.File("app/tmp");
    fastTemp = tmpl;
    pack.TempPath = fastTemp;
    return fastTemp;
  }
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  std::shared_ptr<fw::FileAttribs> M(int i) { return pack.PackFiles->Item("m" + std::to_string(i)); }
  FW_LIBRARY_FALSE_ALARM_END
  void Link(int from, std::initializer_list<int> to) {
    M(from)->AddOnCount(static_cast<int32_t>(to.size()));
    int32_t k = 1;
    FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
    for (int t : to) M(from)->SetFileEx(k++, "m" + std::to_string(t));
    FW_LIBRARY_FALSE_ALARM_END
  }
  // Everything in the scratch folder but the archive, the temporary folder
  // and its contents: where an escaped copy would land.
  int FilesOutsideTheTemporaryFolder() const {
    int n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
      const std::string rel = std::filesystem::relative(e.path(), dir.Path()).string();
      if (rel != "T.INF" && rel != "T.PAK" && rel != "app" && rel.rfind("app/tmp", 0) != 0) ++n;
    }
    return n;
  }
};

}  // namespace

TEST_F(Members, ADirectoryWithAFolderInANameIsRefusedWhole) {
  for (const char* bad : {"..\\\\..\\\\x", "../x", "/etc/x", "sub\\\\x", "..", "."}) {
    dir.Write("B.INF", std::string("\"ok\",1,1\r\n\"") + bad + "\",1,1\r\n");
    dir.Write("B.PAK", std::string("a\0", 2));
    fw::qelPackage p;
    p.FilePath = dir.Path();
    try {
      p.LoadInf("B");
      ADD_FAILURE() << bad << " was accepted";
    } catch (const plat::RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find("not a bare file name"), std::string::npos) << e.what();
    }
  }
}

TEST_F(Members, TraversalNamesAreRefusedAndNothingEscapes) {
  Open(3);
  dir.Write("app/victim", "player's");
  // Names that reach the directory another way (the factory sets
  // companions directly) meet the same rule.
  pack.PackFiles->Add("..\\victim", 1, 1);
  pack.PackFiles->Add("../victim", 1, 1);
  EXPECT_THROW(pack.Extract("..\\victim"), plat::RuntimeError);
  EXPECT_THROW(pack.Extract("../victim"), plat::RuntimeError);
  EXPECT_THROW(pack.Extract("/tmp/x"), plat::RuntimeError);
  EXPECT_THROW(pack.ReadMember("..\\victim"), plat::RuntimeError);
  EXPECT_THROW(pack.ReadMember("../victim"), plat::RuntimeError);
  Link(0, {1, 2});
  M(1)->AddOnCount(1);
  M(1)->SetFileEx(1, "..\\victim");
  try {
    pack.Extract("m0");
    ADD_FAILURE() << "a companion with a folder part was followed";
  } catch (const plat::RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("..\\victim"), std::string::npos) << e.what();
  }
  EXPECT_EQ(dir.Read("app/victim"), "player's");
  EXPECT_EQ(FilesOutsideTheTemporaryFolder(), 1);  // the victim alone
  // A record of a copy with a folder part is not deleted through.
  pack.ExtractFiles->Add("..\\victim", 0, 0);
  EXPECT_FALSE(pack.RemoveTempFile());
  EXPECT_EQ(dir.Read("app/victim"), "player's");
  EXPECT_EQ(pack.ExtractFiles->Count(), 0);
  EXPECT_FALSE(dir.Exists("app/tmp/m0"));
}

TEST_F(Members, ADoubleByteCharacterEndingInASeparatorByteIsNoFolder) {
  Open(1);
  const std::string name = "\x81\x5c.bmp";  // one character of the code page, then ".bmp"
  pack.PackFiles->Add(name, 1, 1);
  pack.Extract(name);
  EXPECT_EQ(dir.Read("app/tmp/\xe4\xb9\x97.bmp"), "0");  // the copy's name on disk is UTF-8
  EXPECT_EQ(FilesOutsideTheTemporaryFolder(), 0);
  EXPECT_TRUE(pack.RemoveTempFile());
  EXPECT_FALSE(dir.Exists("app/tmp/\xe4\xb9\x97.bmp"));
}

TEST_F(Members, UnsetCompanionsNameNothing) {
  Open(2);
  M(0)->AddOnCount(3);
  M(0)->SetFileEx(2, "m1");
  pack.Extract("m0");
  EXPECT_EQ(pack.ExtractFiles->Count(), 2);
  pack.RemoveTempFile();
}

TEST_F(Members, CompanionsFollowInTheOrderOfARecursiveWalkEachOnce) {
  Open(6);
  Link(0, {1, 4});
  Link(1, {2, 3});
  Link(2, {0, 1});  // back up the chain
  Link(4, {3, 5});  // shared with m1's branch
  pack.Extract("m0");
  std::string order;
  for (const auto& copy : *pack.ExtractFiles) order += copy->Key + " ";
  EXPECT_EQ(order, "m0 m1 m2 m3 m4 m5 ");
  EXPECT_EQ(dir.Read("app/tmp/m5"), "5");
  // A member whose copy fails keeps its companions back, as the walk
  // stops there.
  pack.RemoveTempFile();
  M(1)->FileSize = 0;
  pack.Extract("m0");
  order.clear();
  for (const auto& copy : *pack.ExtractFiles) order += copy->Key + " ";
  EXPECT_EQ(order, "m0 m4 m3 m5 ");
  pack.RemoveTempFile();
}

TEST_F(Members, LongChainsAndWideDiamondsExtractEachMemberOnce) {
  // 20,000 in a chain: no recursion, so no stack to overflow.
  constexpr int kChain = 20000;
  Open(kChain);
  const std::string temp = UseFastTemp();
  for (int i = 0; i + 1 < kChain; ++i) Link(i, {i + 1});
  pack.Extract("m0");
  EXPECT_EQ(pack.ExtractFiles->Count(), kChain);
  EXPECT_TRUE(std::filesystem::exists(temp + "/m19999"));
  EXPECT_TRUE(pack.RemoveTempFile());
  EXPECT_FALSE(std::filesystem::exists(temp + "/m19999"));

  // 16 levels of two members, each naming both of the next level: 2^16
  // paths but 32 members.
  constexpr int kLevels = 16;
  for (int level = 0; level + 1 < kLevels; ++level)
    for (int side = 0; side < 2; ++side) Link(2 * level + side, {2 * level + 2, 2 * level + 3});
  M(2 * kLevels - 1)->AddOnCount(0);
  M(2 * kLevels - 2)->AddOnCount(0);
  pack.Extract("m0");
  EXPECT_EQ(pack.ExtractFiles->Count(), 2 * kLevels - 1);  // m1 is reached by no one
  pack.RemoveTempFile();

  // One member with 5,000 companions.
  for (int i = 0; i < kChain; ++i) M(i)->AddOnCount(0);
  M(0)->AddOnCount(5000);
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  for (int i = 1; i <= 5000; ++i) M(0)->SetFileEx(i, "m" + std::to_string(i));
  FW_LIBRARY_FALSE_ALARM_END
  pack.Extract("m0");
  EXPECT_EQ(pack.ExtractFiles->Count(), 5001);
  EXPECT_TRUE(pack.RemoveTempFile());
}
