#include <gtest/gtest.h>

#include <cmath>

#include "engine/globals.hpp"
#include "engine/startup.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace {
struct MediaPath : ::testing::Test {
  fwtest::TempProgramFolder dir;
  void TearDown() override { fw::MountTableFile = "/proc/self/mounts"; }
  void Mounts(const std::string& table) {
    dir.Write("mounts", table);
    fw::MountTableFile = dir.File("mounts");
  }
};
}  // namespace

TEST_F(MediaPath, NoDiscMeansTheProgramFolder) {
  Mounts("/dev/sda1 / ext4 rw 0 0\n");
  EXPECT_EQ(fw::FindMediaPath(), "");
  EXPECT_EQ(fw::MediaPath, dir.Path());
}

TEST_F(MediaPath, TheFirstDiscWithTheMarkerWins) {
  dir.Write("cd1/readme.txt", "");          // a disc without the marker
  dir.Write("cd 2/Ferrowind", "");          // the first with it (a blank in its name)
  dir.Write("cd3/Ferrowind", "");
  dir.Write("hd/Ferrowind", "");            // not a disc: skipped
  Mounts("/dev/sdb1 " + dir.File("hd") + " ext4 rw 0 0\n" +
         "/dev/sr0 " + dir.File("cd1") + " iso9660 ro 0 0\n" +
         "/dev/sr1 " + dir.Path() + "/cd\\0402 udf ro 0 0\n" +
         "/dev/sr2 " + dir.File("cd3") + " iso9660 ro 0 0\n");
  EXPECT_EQ(fw::FindMediaPath(), dir.File("cd 2") + "/");
  EXPECT_EQ(fw::MediaPath, dir.File("cd 2"));
}

TEST_F(MediaPath, AMarkerFolderIsNotTheMarkerFile) {
  dir.Write("cd1/Ferrowind/x", "");
  Mounts("/dev/sr0 " + dir.File("cd1") + " iso9660 ro 0 0\n");
  EXPECT_EQ(fw::FindMediaPath(), "");
  EXPECT_EQ(fw::MediaPath, dir.Path());
}

TEST(StartupTables, CosSinCoversBothEndsOfTheCircle) {
  fw::InitCosSin();
  EXPECT_EQ(fw::CosSin[0].Cos, 1.0f);
  EXPECT_EQ(fw::CosSin[0].Sin, 0.0f);
  EXPECT_FLOAT_EQ(fw::CosSin[360].Cos, 1.0f);
  EXPECT_NEAR(fw::CosSin[360].Sin, 0.0f, 1e-6f);
  EXPECT_FLOAT_EQ(fw::CosSin[90].Sin, 1.0f);
  EXPECT_NEAR(fw::CosSin[180].Cos, -1.0f, 1e-7f);
  // The game's pi is short of the real one: sin(180) is not exactly zero.
  EXPECT_EQ(fw::CosSin[180].Sin, static_cast<float>(std::sin(3.141592653589)));
}

TEST(StartupTables, FontScaleFollowsTheDotsPerInch) {
  EXPECT_FLOAT_EQ(fw::ComputeFontScale(15.0f), 1.0f);
  EXPECT_FLOAT_EQ(fw::ComputeFontScale(12.0f), 1.25f);
}

TEST(StartupCursor, RestoreLeavesTheCounterAtOne) {
  for (int start : {-3, 0, 4}) {
    // Bring the counter to the start value from wherever it is.
    int c = plat::ShowCursor(true);
    while (c > start) c = plat::ShowCursor(false);
    while (c < start) c = plat::ShowCursor(true);
    fw::RestoreCursor();
    EXPECT_EQ(plat::ShowCursor(true), 2) << start;
    plat::ShowCursor(false);
  }
}
