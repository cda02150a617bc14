// What the sample data writer and the run command may write where a player
// has files: the game matches names without regard to letter case, so a
// player's file under any spelling is the one it reads, and a folder that
// cannot be listed may hold anything.
//
// A folder that refuses a look is made with its mode. Root's powers pass
// over modes, so as root the commands run under setpriv with those powers
// out of their bounding set, which no exec gives back; where that cannot be
// done, the rows that need it skip and say so.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/strings.hpp"
#include "tests/common/test_support.hpp"

namespace {
namespace fs = std::filesystem;

struct Ran {
  int status = -1;
  std::string output;
};

// The command's deadline is timeout's.
Ran Shell(const std::string& command) {
  Ran ran;
  FILE* p = ::popen(("timeout 600 " + command + " 2>&1").c_str(), "r");
  if (!p) return ran;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) ran.output.append(buffer, n);
  const int status = ::pclose(p);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ran;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// The prefix that runs a command as a player meets folders.
std::string AsPlayer() {
  return ::geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search,-fowner " : "";
}

// Whether a folder's mode refuses commands run AsPlayer here (and they run).
bool ModesRefuse(const std::string& scratch) {
  if (Shell(AsPlayer() + "true").status != 0) return false;
  const std::string probe = scratch + "/probe";
  fs::create_directory(probe);
  ::chmod(probe.c_str(), 0300);
  const bool refused = Shell(AsPlayer() + "ls " + Quoted(probe)).status != 0;
  ::chmod(probe.c_str(), 0755);
  fs::remove(probe);
  return refused;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Every entry under a folder, with the bytes of the files.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(folder)) return tree;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    std::stringstream bytes;
    if (e.is_regular_file()) bytes << std::ifstream(e.path(), std::ios::binary).rdbuf();
    tree[e.path().lexically_relative(folder).string()] = e.is_regular_file() ? bytes.str() : "(folder)";
  }
  return tree;
}

// The entries of a folder named name under any spelling.
std::vector<std::string> Spellings(const std::string& folder, const std::string& name) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(folder))
    if (plat::EqualNoCase(e.path().filename().string(), name)) found.push_back(e.path().filename().string());
  return found;
}

Ran Mkdata(const std::string& folder, bool asPlayer) {
  return Shell("env ASAN_OPTIONS=detect_leaks=0 " + (asPlayer ? AsPlayer() : "") + Quoted(fwtest::MkdataPath()) +
               " " + Quoted(folder));
}

const std::string kMarker = "the player's own, line 1\r\n";

// ---------------------------------------------------------------- mkdata refuses

struct Refused {
  const char* name;
  std::vector<std::string> files;  // the player's, each holding kMarker
  const char* unlistable;          // a folder made unlistable for the run ("" none, "." the program folder)
  const char* message;             // what the refusal says, "{}" for the program folder
};

const Refused kRefused[] = {
    {"ExactDataInf", {"Data.INF"}, "", "{}/Data.INF is there"},
    {"DataPakInCapitals", {"DATA.PAK", "DATA.INF", "User.INI"}, "", "{}/DATA.INF is there"},
    {"OnlyAPakInCapitals", {"DATA.PAK"}, "", "{}/DATA.PAK is there"},
    {"MissionPackInLowerCase", {"missionpack.inf"}, "", "{}/missionpack.inf is there"},
    // Its exact name looked at alone is not there.
    {"ProgramFolderThatCannotBeListed", {"data.inf"}, ".", "in {} (Permission denied)"},
    {"SaveFolderThatCannotBeListed", {"Save/USER1.DAT"}, "Save", "save/user1.DAT in {}/Save (Permission denied)"},
};

void PrintTo(const Refused& row, std::ostream* os) { *os << row.name; }

class MkdataRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(MkdataRefuses, NamesWhatItRefusedAndWritesNothing) {
  const Refused& row = GetParam();
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game";
  fs::create_directory(game);
  for (const std::string& f : row.files) WriteFile(game + "/" + f, kMarker);
  const bool needsPlayer = *row.unlistable != '\0';
  if (needsPlayer && !ModesRefuse(dir.Path())) GTEST_SKIP() << "a folder's mode does not refuse this user here";
  const auto before = Tree(game);
  const std::string unlistable = game + "/" + row.unlistable;
  if (needsPlayer) ::chmod(unlistable.c_str(), 0300);
  const Ran ran = Mkdata(game, needsPlayer);
  if (needsPlayer) ::chmod(unlistable.c_str(), 0755);

  EXPECT_EQ(ran.status, 1) << ran.output;
  std::string message = row.message;
  message.replace(message.find("{}"), 2, game);
  EXPECT_NE(ran.output.find(message), std::string::npos) << ran.output;
  EXPECT_EQ(Tree(game), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, MkdataRefuses, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- mkdata keeps

// A player's files under the names the sample set writes, each in another
// spelling but one, and the spelling the sample set would write.
const std::pair<const char*, const char*> kKept[] = {
    {"user.ini", "User.INI"},   {"DEFAULT.CFG", "Default.cfg"},      {"Save/USER1.DAT", "save/user1.DAT"},
    {"bg1.mp3", "BG1.MP3"},     {"INTRO.AVI", "Intro.avi"},          {"Create(gb).JPG", "create(GB).jpg"},
    {"Menu.mp3", "Menu.mp3"},
};

TEST(MkdataKeeps, EveryFileOfThePlayersUnderAnySpellingAndWritesNoTwin) {
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game";
  for (const auto& [mine, sample] : kKept) WriteFile(game + "/" + mine, kMarker + mine);
  const Ran ran = Mkdata(game, false);
  ASSERT_EQ(ran.status, 0) << ran.output;

  for (const auto& [mine, sample] : kKept) {
    SCOPED_TRACE(mine);
    std::ifstream in(game + "/" + mine, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), kMarker + mine);
    const fs::path path(mine), samplePath(sample);
    const std::string folder = path.has_parent_path() ? game + "/" + path.parent_path().string() : game;
    EXPECT_EQ(Spellings(folder, samplePath.filename().string()).size(), 1u);
    if (path.has_parent_path()) {
      EXPECT_EQ(Spellings(game, samplePath.parent_path().string()).size(), 1u);
    }
  }
  // What the player lacked is written.
  for (const char* file : {"Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK", "logo.avi", "BG2.MP3"})
    EXPECT_TRUE(fs::is_regular_file(game + "/" + file)) << file;
}

// An interrupted first run: a write that fails part-way (a save folder the
// player may not write) stands for a run cut short.
TEST(MkdataKeeps, WhatARunCutShortWroteAndARerunFinishesIt) {
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game";
  fs::create_directories(game + "/SAVE");
  if (!ModesRefuse(dir.Path())) GTEST_SKIP() << "a folder's mode does not refuse this user here";
  ::chmod((game + "/SAVE").c_str(), 0555);
  const Ran cut = Mkdata(game, true);
  ::chmod((game + "/SAVE").c_str(), 0755);
  ASSERT_EQ(cut.status, 1) << cut.output;
  EXPECT_NE(cut.output.find(game + "/SAVE/user1.DAT"), std::string::npos) << cut.output;
  ASSERT_TRUE(fs::is_regular_file(game + "/BG1.MP3")) << "the run did not get as far as the loose files";
  for (const char* archive : {"Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK"})
    EXPECT_TRUE(Spellings(game, archive).empty()) << archive << " would have the next run refuse the folder";
  const std::string music = Tree(game).at("BG1.MP3");

  const Ran rerun = Mkdata(game, false);
  ASSERT_EQ(rerun.status, 0) << rerun.output;
  for (const char* archive : {"Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK"})
    EXPECT_TRUE(fs::is_regular_file(game + "/" + archive)) << archive;
  EXPECT_TRUE(fs::is_regular_file(game + "/SAVE/user1.DAT"));
  EXPECT_EQ(Spellings(game, "save"), std::vector<std::string>{"SAVE"});
  EXPECT_EQ(Tree(game).at("BG1.MP3"), music);
}

// ---------------------------------------------------------------- the run command

struct RunCase {
  const char* name;
  bool made;                        // the program folder exists
  std::vector<std::string> files;  // in it
  mode_t mode;                      // its mode for the run
  bool writes;                      // the sample set is written
  int status;
};

const RunCase kRunCases[] = {
    {"EmptyFolder", true, {}, 0755, true, 0},
    {"FolderNotMadeYet", false, {}, 0755, true, 0},
    {"ExactDataInf", true, {"Data.INF"}, 0755, false, 0},
    {"DataInfInCapitals", true, {"DATA.INF"}, 0755, false, 0},
    {"OnlyDataPakInLowerCase", true, {"data.pak"}, 0755, false, 0},
    {"NamesThatOnlyHoldTheName", true, {"Data.INF.bak", "MyData.PAK", "User.INI"}, 0755, true, 0},
    // A look at Data.INF fails (EACCES) with the file there.
    {"FolderThatCannotBeSearched", true, {"Data.INF"}, 0644, false, 0},
    {"FolderThatCannotBeListed", true, {"data.inf"}, 0300, false, 1},
};

void PrintTo(const RunCase& row, std::ostream* os) { *os << row.name; }

class RunCommandSampleData : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunCommandSampleData, WritesOnlyWhereTheListingShowsNoDataArchive) {
  const RunCase& row = GetParam();
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game", calls = dir.Path() + "/calls", fake = dir.Path() + "/mkdata";
  WriteFile(fake, "#!/bin/sh\necho \"$1\" >> " + Quoted(calls) + "\n");
  fs::permissions(fake, fs::perms::owner_all);
  if (row.made) fs::create_directory(game);
  for (const std::string& f : row.files) WriteFile(game + "/" + f, kMarker);
  const bool needsPlayer = row.mode != 0755;
  if (needsPlayer && !ModesRefuse(dir.Path())) GTEST_SKIP() << "a folder's mode does not refuse this user here";
  if (needsPlayer) ::chmod(game.c_str(), row.mode);
  // As run.sh calls it.
  const Ran ran = Shell((needsPlayer ? AsPlayer() : "") + "bash -c 'set -euo pipefail; source \"$0\"; " +
                        "fw_sample_data \"$1\" \"$2\"' " + Quoted(fwtest::SourceFolder() + "/tools/setup.sh") + " " +
                        Quoted(game) + " " + Quoted(fake));
  if (needsPlayer) ::chmod(game.c_str(), 0755);

  EXPECT_EQ(ran.status, row.status) << ran.output;
  std::stringstream called;
  called << std::ifstream(calls).rdbuf();
  EXPECT_EQ(called.str(), row.writes ? game + "\n" : "") << ran.output;
  if (row.status != 0) {
    EXPECT_NE(ran.output.find("Cannot list " + game), std::string::npos) << ran.output;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RunCommandSampleData, ::testing::ValuesIn(kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
