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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/files.hpp"
#include "platform/runtime/strings.hpp"
#include "tests/common/test_support.hpp"
#include "tools/mkdata/program_folder.hpp"

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

// Every entry under a folder, with the bytes of the files and where the
// links lead.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(folder)) return tree;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_symlink()) {
      tree[e.path().lexically_relative(folder).string()] = "(link to " + fs::read_symlink(e.path()).string() + ")";
      continue;
    }
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

// The run command's data step, as run.sh calls it.
Ran DataStep(const std::string& game, const std::string& mkdata, bool asPlayer) {
  return Shell((asPlayer ? AsPlayer() : "") + "env ASAN_OPTIONS=detect_leaks=0 bash -c 'set -euo pipefail; " +
               "source \"$0\"; fw_sample_data \"$1\" \"$2\"' " +
               Quoted(fwtest::SourceFolder() + "/tools/setup.sh") + " " + Quoted(game) + " " + Quoted(mkdata));
}

const std::string kMarker = "the player's own, line 1\r\n";

// The archives' files, in the order they go in.
const std::vector<std::string> kArchiveFiles{"MissionPack.PAK", "MissionPack.INF", "Data.PAK", "Data.INF"};
// The same as a CD gives them.
const std::vector<std::string> kCdArchiveFiles{"MISSIONPACK.PAK", "MISSIONPACK.INF", "DATA.PAK", "DATA.INF"};

// A sample set as mkdata makes it before it goes in, small: loose files
// and packed archives, each holding what + its name.
struct SmallSet {
  std::string loose, packed;
  SmallSet(const std::string& folder, const std::string& what) : loose(folder + "/loose"), packed(folder + "/packed") {
    for (const char* sample : {"User.INI", "save/user1.DAT", "BG1.MP3"}) WriteFile(loose + "/" + sample, what + sample);
    for (const std::string& archive : kArchiveFiles) WriteFile(packed + "/" + archive, what + archive);
  }
};

// The list of a set cut short as mkdata writes it, of a set whose archives
// are none of those a test writes.
const std::string kListOfAnotherSet =
    "mkdata was putting in the sample data set; running it again finishes it.\n"
    "MissionPack.PAK 10566062 0123456789abcdef\nMissionPack.INF 5738 0123456789abcdef\n"
    "Data.PAK 20044913 0123456789abcdef\nData.INF 5749 0123456789abcdef\n";

// A player's file named as a staging file of a process no longer running
// (beyond the largest process number), beside none that mkdata writes.
const std::string kNotMkdatas = ".notes.txt.99999999.fwsave";

// The staging files left under a folder, but kNotMkdatas.
std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& [path, bytes] : Tree(folder))
    if (path.ends_with(".fwsave") && path != kNotMkdatas) found.push_back(path);
  return found;
}

std::string WithFolder(std::string message, const std::string& folder) {
  for (size_t at; (at = message.find("{}")) != std::string::npos;) message.replace(at, 2, folder);
  return message;
}

// ---------------------------------------------------------------- mkdata refuses

struct Refused {
  const char* name;
  std::vector<std::string> files;  // the player's, each holding kMarker
  const char* unlistable;          // an entry made unreadable for the run ("" none, "." the program folder)
  const char* fifo;                // a FIFO made in the program folder ("" none)
  std::string message;             // what the refusal says, "{}" for the program folder
  std::string list = "";           // the text of mkdata-unfinished.txt ("" none)
  const char* link = "";           // a link to nowhere made in the program folder ("" none)
  // Refused where the set goes in, once made: run on a SmallSet in a child,
  // whose archive of this name stands in the folder ("" none).
  bool madeSet = false;
  const char* sample = "";
  const char* linkTo = "";  // what the link leads to, a name in the program folder ("" nowhere)
  bool runCommand = false;  // run as run.sh runs it: asked its state, then called
};

const char kPartOfData[] = " are there but MissionPack.INF and MissionPack.PAK are not: move them out of {}, or put "
                           "the rest of the game data in; nothing written";

const Refused kRefused[] = {
    {"ExactDataInf", {"Data.INF"}, "", "",
     "Data.INF is there but Data.PAK, MissionPack.INF and MissionPack.PAK are not: move it out of {}, or put the "
     "rest of the game data in; nothing written"},
    {"DataPakInCapitals", {"DATA.PAK", "DATA.INF", "User.INI"}, "", "",
     std::string("DATA.INF and DATA.PAK") + kPartOfData},
    {"OnlyAPakInCapitals", {"DATA.PAK"}, "", "", "DATA.PAK is there but Data.INF, MissionPack.INF and"},
    {"MissionPackInLowerCase", {"missionpack.inf"}, "", "", "missionpack.inf is there but Data.INF, Data.PAK and"},
    {"MissionPackAlone", {"MissionPack.INF", "MissionPack.PAK", "User.INI"}, "", "",
     "MissionPack.INF and MissionPack.PAK are there but Data.INF and Data.PAK are not: move them out of {}, or put "
     "the rest of the game data in; nothing written"},
    {"CompleteSet", {"Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK"}, "", "",
     "{}/Data.INF is there: the folder holds game data; nothing written"},
    {"CompleteSetInMixedCase", {"DATA.PAK", "data.inf", "missionPack.inf", "MISSIONPACK.PAK"}, "", "",
     "{}/data.inf is there: the folder holds game data; nothing written"},
    // The list of a set cut short whose bytes are none of the archives there.
    {"ListOfAnotherSet", {"Data.INF", "Data.PAK"}, "", "",
     "Data.INF and Data.PAK are not of the sample data set that {}/mkdata-unfinished.txt says was cut short: move "
     "them out of {} to have the set finished, or put the rest of the game data in; nothing written",
     kListOfAnotherSet},
    // A list of names only, as written before the bytes were: the set made tells.
    {"ListOfNamesOnlyAndAnArchiveNotOfTheSetMade", {"Data.PAK"}, "", "",
     "Data.PAK is not of the sample data set that {}/mkdata-unfinished.txt says was cut short",
     "mkdata was putting in the sample data set; running it again finishes it.\nMissionPack.PAK\nMissionPack.INF\n"
     "Data.PAK\nData.INF\n",
     "", true, "Data.INF"},
    // Not mkdata's list, under any spelling: never replaced nor removed.
    {"PlayersFileAtTheListsName", {"MKDATA-Unfinished.TXT"}, "", "",
     "{}/MKDATA-Unfinished.TXT was not written by mkdata: move it out of {}; nothing written"},
    {"PlayersFileAtTheListsNameBesideTheGameData",
     {"mkdata-unfinished.txt", "Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK"}, "", "",
     "{}/mkdata-unfinished.txt was not written by mkdata: move it out of {}; nothing written"},
    {"ListThatCannotBeRead", {"mkdata-unfinished.txt", "MissionPack.PAK"}, "mkdata-unfinished.txt", "",
     "cannot read {}/mkdata-unfinished.txt (Permission denied); nothing written"},
    // Its exact name looked at alone is not there.
    {"ProgramFolderThatCannotBeListed", {"data.inf"}, ".", "", "in {} (Permission denied)"},
    {"SaveFolderThatCannotBeListed", {"Save/USER1.DAT"}, "Save", "", "save/user1.DAT in {}/Save (Permission denied)"},
    // Written into by the set: each would stop it part-way.
    {"FifoAtSave", {"Default.cfg"}, "", "Save", "{}/Save is a FIFO, not a folder; nothing written"},
    {"FileAtSave", {"save"}, "", "", "{}/save is a file, not a folder; nothing written"},
    {"LinkToNoFolderAtSave", {}, "", "", "{}/save is a link that leads to no folder; nothing written", "", "save",
     true},
    {"FifoAtAnArchiveTheListNames", {}, "", "Data.PAK", "{}/Data.PAK is a FIFO, not a file; nothing written",
     kListOfAnotherSet},
    {"FolderAtAnArchiveTheListNames", {"MissionPack.INF/x"}, "", "",
     "{}/MissionPack.INF is a folder, not a file; nothing written", kListOfAnotherSet},
    // Named as it is spelt, before the set is made.
    {"LinkToNoFileAtAnArchiveTheListNames", {}, "", "", "{}/DATA.PAK is a link that leads to no file; nothing written",
     kListOfAnotherSet, "DATA.PAK"},
    // A link at the list's name that cannot be read as mkdata's is none of its own.
    {"LinkToNoFileAtTheListsNameBesideTheGameData", kArchiveFiles, "", "",
     "{}/mkdata-unfinished.txt was not written by mkdata: move it out of {}; nothing written", "",
     "mkdata-unfinished.txt", false, "", "", true},
    {"LinkToNoFileAtTheListsNameInAnEmptyFolder", {}, "", "",
     "{}/MKDATA-Unfinished.txt was not written by mkdata: move it out of {}; nothing written", "",
     "MKDATA-Unfinished.txt", false, "", "", true},
    {"LinkLoopAtTheListsName", {}, "", "",
     "{}/mkdata-unfinished.txt was not written by mkdata: move it out of {}; nothing written", "",
     "mkdata-unfinished.txt", false, "", "mkdata-unfinished.txt"},
    // A list that would have a file outside the folder taken for the set's.
    {"ListOfAFileOutsideTheFolder", {}, "", "",
     "{}/mkdata-unfinished.txt was not written by mkdata: move it out of {}; nothing written",
     kListOfAnotherSet + "loose 24 0123456789abcdef ../User.INI\n"},
    // A set given up where a file the set put in beside the player's cannot be read: it may be the player's.
    {"SetGivenUpBesideALooseFileThatCannotBeRead", {"User.INI", "USER.INI", "DATA.INF", "DATA.PAK", "MISSIONPACK.INF",
     "MISSIONPACK.PAK"}, "User.INI", "", "cannot read {}/User.INI (Permission denied); nothing written",
     kListOfAnotherSet + "loose 24 0123456789abcdef User.INI\n"},
};

void PrintTo(const Refused& row, std::ostream* os) { *os << row.name; }

class MkdataRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(MkdataRefuses, NamesWhatItRefusedAndWritesNothing) {
  const Refused& row = GetParam();
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game";
  fs::create_directory(game);
  for (const std::string& f : row.files) WriteFile(game + "/" + f, kMarker);
  if (!row.list.empty()) WriteFile(game + "/mkdata-unfinished.txt", row.list);
  if (*row.fifo) {
    ASSERT_EQ(::mkfifo((game + "/" + row.fifo).c_str(), 0644), 0);
  }
  if (*row.link) fs::create_symlink(*row.linkTo ? row.linkTo : dir.Path() + "/nowhere", game + "/" + row.link);
  const SmallSet set(dir.Path(), "sample ");
  if (*row.sample) fs::copy_file(set.packed + "/" + row.sample, game + "/" + row.sample);
  const bool needsPlayer = *row.unlistable != '\0';
  if (needsPlayer && !ModesRefuse(dir.Path())) GTEST_SKIP() << "a folder's mode does not refuse this user here";
  const auto before = Tree(game);
  const std::string unlistable = game + "/" + row.unlistable;
  if (needsPlayer) ::chmod(unlistable.c_str(), 0300);
  Ran ran;
  if (row.madeSet) {
    const auto answer = fwtest::AnswerInChild([&] {
      mkdata::Install(game, set.loose, set.packed, mkdata::kArchives);
      return std::string("written");
    });
    ran = {answer && answer->starts_with("raised: ") ? 1 : 0, answer.value_or("no answer")};
  } else {
    ran = row.runCommand ? DataStep(game, fwtest::MkdataPath(), needsPlayer) : Mkdata(game, needsPlayer);
  }
  if (needsPlayer) ::chmod(unlistable.c_str(), 0755);

  EXPECT_EQ(ran.status, 1) << ran.output;
  EXPECT_NE(ran.output.find(WithFolder(row.message, game)), std::string::npos) << ran.output;
  EXPECT_EQ(Tree(game), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, MkdataRefuses, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

// An option mkdata does not know is no folder to write the set into.
const std::vector<std::string> kUnknownOptions[] = {{"--help"}, {"--state"}, {"-x"}, {"--state", "--help"}};

TEST(MkdataRefuses, AnOptionItDoesNotKnowWithItsUsageAndWritesNothing) {
  for (const std::vector<std::string>& options : kUnknownOptions) {
    SCOPED_TRACE(options.back());
    fwtest::TempProgramFolder dir;
    std::string command = "env -C " + Quoted(dir.Path()) + " ASAN_OPTIONS=detect_leaks=0 " + Quoted(fwtest::MkdataPath());
    for (const std::string& option : options) command += " " + Quoted(option);
    const Ran ran = Shell(command);
    EXPECT_EQ(ran.status, 2) << ran.output;
    EXPECT_EQ(ran.output.rfind("usage: mkdata", 0), 0u) << ran.output;
    EXPECT_TRUE(Tree(dir.Path()).empty());
  }
}

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

// A save folder the player may not write would stop the set part-way: it
// is refused before the first write, and a run once it takes files fills it.
TEST(MkdataKeeps, NothingWhereAFolderTakesNoFilesAndARerunFillsIt) {
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game";
  fs::create_directories(game + "/SAVE");
  if (!ModesRefuse(dir.Path())) GTEST_SKIP() << "a folder's mode does not refuse this user here";
  ::chmod((game + "/SAVE").c_str(), 0555);
  const Ran refused = Mkdata(game, true);
  ::chmod((game + "/SAVE").c_str(), 0755);
  ASSERT_EQ(refused.status, 1) << refused.output;
  EXPECT_NE(refused.output.find("cannot write into " + game + "/SAVE (Permission denied); nothing written"),
            std::string::npos)
      << refused.output;
  EXPECT_EQ(Tree(game), (std::map<std::string, std::string>{{"SAVE", "(folder)"}}));

  const Ran rerun = Mkdata(game, false);
  ASSERT_EQ(rerun.status, 0) << rerun.output;
  for (const char* archive : {"Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK"})
    EXPECT_TRUE(fs::is_regular_file(game + "/" + archive)) << archive;
  EXPECT_TRUE(fs::is_regular_file(game + "/SAVE/user1.DAT"));
  EXPECT_EQ(Spellings(game, "save"), std::vector<std::string>{"SAVE"});
}

// The set is in and the list removed when the folder's sync fails after
// the removal: the folder is named, the removal not told as failed.
TEST(MkdataKeeps, TheSetWhenTheFolderIsNotSyncedAfterTheListIsRemoved) {
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game", told = dir.Path() + "/told";
  const SmallSet set(dir.Path(), "sample ");
  const auto answer = fwtest::AnswerInChild([&] {
    if (!std::freopen(told.c_str(), "w", stderr)) return std::string("stderr not redirected");
    // Synced before: the list, the three loose files and the four archives.
    plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO, 8);
    mkdata::Install(game, set.loose, set.packed, mkdata::kArchives);
    std::fflush(stderr);
    return std::string("in");
  });
  ASSERT_TRUE(answer);
  EXPECT_EQ(*answer, "in");
  std::stringstream text;
  text << std::ifstream(told).rdbuf();
  EXPECT_EQ(text.str(), "mkdata: " + game + "/mkdata-unfinished.txt removed, but its folder " + game +
                            " could not be synced (Input/output error)\n");
  EXPECT_FALSE(fs::exists(game + "/mkdata-unfinished.txt"));
  EXPECT_EQ(Tree(game).at("Data.INF"), "sample Data.INF");
}

// A run killed while the archives go in, and the run command after it: the
// list of the set stands from before the first rename to after the last, so
// the run command hands the folder to mkdata, which takes the archives there
// that hold its bytes for its own and completes the set around the player's
// files. Archives the player copied in after the kill are not its own: where
// each archive's name holds one, in any spelling, the set is given up and
// its own archives beside them go; where some do, the folder is refused,
// naming its own as well. Either way the staging files the killed runs left
// go, and a set given up takes with it the loose files the killed runs put
// in where the player's stand under other spellings, so that the game reads
// the player's. A working folder in the temporary folder goes only where it
// is a run's that no longer runs.
struct KilledAgain {
  plat::FileCall call;    // the next run, on a set of its own, killed at this call
  int skip;               // calls of that kind before the kill
  bool afterThePlayers;   // the player's files are in before it runs
  bool listGone = true;   // killed once its list is gone, else while it takes out what goes
};

struct Killed {
  const char* name;
  plat::FileCall call;  // killed at a staged write, a rename (of an archive) or at the list's removal
  int skip;             // calls of that kind before the kill
  int archivesIn;       // renames of archives before the kill
  std::vector<std::string> players = {};  // archives the player copies in after the kill
  const char* refusal = "";               // what the run says where it refuses, "{}" for the program folder
  // The player's own loose files come with the archives, spelt as a CD
  // gives them, beside those the killed run put in; else they stand before.
  bool looseAfter = false;
  std::optional<KilledAgain> again = std::nullopt;
  // Where the player's loose files come after: which, and what of the
  // killed run's a set given up takes out ("" nothing, beside the list).
  std::vector<std::string> cdLoose = {"USER.INI", "SAVE/USER1.DAT", "DEFAULT.CFG"};
  const char* removed = "User.INI and save/user1.DAT";
};

// The player's loose files before the kill; a profile without goods.
const std::vector<std::string> kPlayersLoose{"user.ini", "Save/USER1.DAT", "DEFAULT.CFG"};
const std::vector<std::string> kCdProfileAlone{"USER.INI", "DEFAULT.CFG"};

// The staged writes before the archives': the check that the folder takes
// new files, the list and BG1.MP3; the renames: the list and BG1.MP3 (and
// User.INI and save/user1.DAT where the player's come after). The syncs of
// a run that finishes the set: the list, the four archives, the list's
// removal; of one that gives it up: the removals of its own archives, then
// the list's.
const Killed kKilled[] = {
    {"WhileStagingMissionPackInf", plat::FileCall::WriteTemporary, 4, 0},
    {"BeforeTheFirstArchive", plat::FileCall::Rename, 2, 0},
    {"BeforeMissionPackInf", plat::FileCall::Rename, 3, 1},
    {"BeforeDataPak", plat::FileCall::Rename, 4, 2},
    {"BeforeDataInf", plat::FileCall::Rename, 5, 3},
    {"BeforeTheListIsRemoved", plat::FileCall::Remove, 0, 4},
    {"BeforeTheFirstArchiveThenTheGameData", plat::FileCall::Rename, 2, 0, kArchiveFiles},
    {"BeforeDataPakThenPartOfTheGameData", plat::FileCall::Rename, 4, 2, {"Data.PAK", "Data.INF"},
     "Data.INF and Data.PAK are not of the sample data set that {}/mkdata-unfinished.txt says was cut short, and "
     "MissionPack.INF and MissionPack.PAK are: move Data.INF and Data.PAK out of {} to have the set finished, or move "
     "MissionPack.INF and MissionPack.PAK out of it and put the rest of the game data in; nothing written"},
    {"BeforeTheFirstArchiveThenTheCdsGameData", plat::FileCall::Rename, 2, 0, kCdArchiveFiles},
    {"BeforeMissionPackInfThenTheCdsGameData", plat::FileCall::Rename, 3, 1, kCdArchiveFiles},
    {"BeforeDataPakThenTheCdsGameData", plat::FileCall::Rename, 4, 2, kCdArchiveFiles},
    {"BeforeDataInfThenTheCdsGameData", plat::FileCall::Rename, 5, 3, kCdArchiveFiles},
    {"BeforeTheListIsRemovedThenTheCdsGameData", plat::FileCall::Remove, 0, 4, kCdArchiveFiles},
    {"BeforeDataPakThenTheCdsGameDataButMissionPackPak", plat::FileCall::Rename, 4, 2,
     {"DATA.PAK", "DATA.INF", "MISSIONPACK.INF"},
     "DATA.INF, DATA.PAK and MISSIONPACK.INF are not of the sample data set that {}/mkdata-unfinished.txt says was "
     "cut short, and MissionPack.INF and MissionPack.PAK are: move DATA.INF, DATA.PAK and MISSIONPACK.INF out of {} "
     "to have the set finished, or move MissionPack.INF and MissionPack.PAK out of it and put the rest of the game "
     "data in; nothing written"},
    {"LooseFilesInThenTheCdsGameData", plat::FileCall::Rename, 4, 0, kCdArchiveFiles, "", true},
    {"LooseFilesInThenAnotherRunBeforeItsArchivesThenTheCdsGameData", plat::FileCall::Rename, 4, 0, kCdArchiveFiles,
     "", true, KilledAgain{plat::FileCall::Rename, 1, false}},
    // Killed right after the list's removal: what it leaves has no run to clear it.
    {"BeforeDataPakThenTheFinishingRunOnceItsListIsGone", plat::FileCall::Rename, 4, 2, {}, "", false,
     KilledAgain{plat::FileCall::SyncFolder, 5, false}},
    {"BeforeDataPakThenTheCdsGameDataThenTheGiveUpOnceItsListIsGone", plat::FileCall::Rename, 4, 2, kCdArchiveFiles,
     "", false, KilledAgain{plat::FileCall::SyncFolder, 2, true}},
    // save/ made, its file not named yet: the set's spelling would hide the player's SAVE.
    {"SaveFolderMadeThenTheCdsGameData", plat::FileCall::Rename, 3, 0, kCdArchiveFiles, "", true, std::nullopt,
     {"USER.INI", "SAVE/USER1.DAT", "DEFAULT.CFG"}, "User.INI"},
    // The give-up cut after it took save/user1.DAT out, before the folder: the next one takes it.
    {"LooseFilesInThenTheCdsGameDataThenTheGiveUpBeforeTheSaveFolder", plat::FileCall::Rename, 4, 0, kCdArchiveFiles,
     "", true, KilledAgain{plat::FileCall::SyncFolder, 1, true, false}, {"USER.INI", "SAVE/USER1.DAT", "DEFAULT.CFG"},
     ""},
    // The player's profile without goods: the set's goods go with the set's profile.
    {"LooseFilesInThenTheCdsGameDataWithoutGoods", plat::FileCall::Rename, 4, 0, kCdArchiveFiles, "", true,
     std::nullopt, kCdProfileAlone},
    // No archives of the player's: the set is finished, and what it put in beside the player's goes.
    {"LooseFilesInThenTheCdsProfileGoodsAndKeys", plat::FileCall::Rename, 4, 0, {}, "", true},
    {"LooseFilesInThenTheCdsProfileGoodsAndKeysThenTheFinishBeforeTheSaveFolder", plat::FileCall::Rename, 4, 0, {}, "",
     true, KilledAgain{plat::FileCall::SyncFolder, 1, true, false}},
    {"SaveFolderMadeThenTheCdsProfileGoodsAndKeys", plat::FileCall::Rename, 3, 0, {}, "", true},
    {"LooseFilesInThenTheCdsProfileAndKeys", plat::FileCall::Rename, 4, 0, {}, "", true, std::nullopt,
     kCdProfileAlone},
};

void PrintTo(const Killed& row, std::ostream* os) { *os << row.name; }

class MkdataKeeps : public ::testing::TestWithParam<Killed> {};

// The game reads the player's profile, and goods only where the player
// brought them: none of the set's beside them, nor a folder of the set's
// spelling before the player's. What a set given up took out leaves the
// tree expected of it.
void ExpectThePlayersLooseFilesRead(const std::string& game, const std::vector<std::string>& mine,
                                    std::map<std::string, std::string>& expected) {
  for (const char* own : {"User.INI", "save/user1.DAT"}) expected.erase(own);
  if (std::find(mine.begin(), mine.end(), "SAVE/USER1.DAT") != mine.end()) expected.erase("save");
  plat::SetProgramFolder(game);
  EXPECT_EQ(plat::ReadAllText(game + "\\User.INI"), kMarker + "USER.INI");
  const bool goods = std::find(mine.begin(), mine.end(), "SAVE/USER1.DAT") != mine.end();
  EXPECT_EQ(plat::ReadAllText(game + "\\save\\user1.DAT"),
            goods ? std::optional<std::string>(kMarker + "SAVE/USER1.DAT") : std::nullopt);
}

// The working folders in the temporary folder after a run of mkdata.
void ExpectWorkingFolders(const fwtest::WorkingFolders& working, const std::string& output) {
  for (const auto& row : working.Rows())
    EXPECT_EQ(fs::exists(std::string(std::getenv("TMPDIR")) + "/" + row.entry), row.stays) << row.entry << "\n"
                                                                                           << output;
}

TEST_P(MkdataKeeps, ThePlayersFilesWhereARunIsKilledAndTheRunCommandFinishesTheSet) {
  const Killed& row = GetParam();
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game", list = game + "/mkdata-unfinished.txt";
  if (!row.looseAfter)
    for (const std::string& mine : kPlayersLoose) WriteFile(game + "/" + mine, kMarker + mine);
  WriteFile(game + "/" + kNotMkdatas, kMarker);
  const auto players = Tree(game);
  // Only BG1.MP3 is copied in where the player's loose files stand.
  const SmallSet set(dir.Path(), "killed run's ");

  const auto answer = fwtest::AnswerInChild(
      [&] {
        plat::FailNextFileCall(row.call, 0, row.skip);
        mkdata::Install(game, set.loose, set.packed, mkdata::kArchives);
        return std::string("not killed");
      },
      std::chrono::seconds(60));
  ASSERT_FALSE(answer) << *answer;
  std::vector<std::string> in;
  for (const std::string& archive : kArchiveFiles)
    if (fs::exists(game + "/" + archive)) in.push_back(archive);
  ASSERT_EQ(in, std::vector<std::string>(kArchiveFiles.begin(), kArchiveFiles.begin() + row.archivesIn));
  ASSERT_TRUE(fs::is_regular_file(list));
  if (row.call != plat::FileCall::Remove) {
    ASSERT_FALSE(Leftovers(game).empty()) << "the killed run left no staging file";
  }
  // Of the same sizes as the killed run's: only the bytes tell them apart.
  const auto playersComeIn = [&] {
    for (const std::string& archive : row.players) WriteFile(game + "/" + archive, "player's own " + archive);
    if (row.looseAfter)
      for (const std::string& mine : row.cdLoose) WriteFile(game + "/" + mine, kMarker + mine);
  };
  if (row.again && row.again->afterThePlayers) playersComeIn();
  if (row.again) {
    const SmallSet next(dir.Path() + "/next", "next run's ");
    const auto again = fwtest::AnswerInChild(
        [&] {
          plat::FailNextFileCall(row.again->call, 0, row.again->skip);
          mkdata::Install(game, next.loose, next.packed, mkdata::kArchives);
          return std::string("not killed");
        },
        std::chrono::seconds(60));
    ASSERT_FALSE(again) << *again;
    ASSERT_EQ(fs::exists(list), row.again->call != plat::FileCall::SyncFolder || !row.again->listGone);
  }
  if (!row.again || !row.again->afterThePlayers) playersComeIn();
  auto beforeRun = Tree(game);
  for (const std::string& leftover : Leftovers(game)) beforeRun.erase(leftover);
  const fwtest::WorkingFolders working(std::getenv("TMPDIR"), "mkdata-");
  const bool listStood = fs::exists(list);

  const Ran ran = DataStep(game, fwtest::MkdataPath(), false);
  EXPECT_TRUE(Leftovers(game).empty()) << ran.output;
  ExpectWorkingFolders(working, ran.output);
  if (!listStood) {  // the folder reads complete: the run command leaves it
    EXPECT_EQ(ran.status, 0) << ran.output;
    EXPECT_EQ(Tree(game), beforeRun);
    return;
  }
  if (row.players.size() == kArchiveFiles.size()) {
    EXPECT_EQ(ran.status, 0) << ran.output;
    EXPECT_NE(ran.output.find("the game data is kept as the player's"), std::string::npos) << ran.output;
    beforeRun.erase("mkdata-unfinished.txt");
    // The killed run's archives the player's did not take the place of.
    for (const std::string& archive : in)
      if (std::find(row.players.begin(), row.players.end(), archive) == row.players.end()) beforeRun.erase(archive);
    if (row.looseAfter) {
      // The killed run's loose files beside the player's go, and its goods
      // with its profile; BG1.MP3, the player's lacking, stays.
      const std::string removed = *row.removed ? std::string("and the set's own ") + row.removed : "";
      EXPECT_NE(ran.output.find("player's, mkdata-unfinished.txt " + removed + (*row.removed ? " " : "") + "removed"),
                std::string::npos)
          << ran.output;
      ExpectThePlayersLooseFilesRead(game, row.cdLoose, beforeRun);
    }
    EXPECT_EQ(Tree(game), beforeRun);
    return;
  }
  if (!row.players.empty()) {
    EXPECT_EQ(ran.status, 1) << ran.output;
    EXPECT_NE(ran.output.find(WithFolder(row.refusal, game)), std::string::npos) << ran.output;
    EXPECT_EQ(Tree(game), beforeRun);
    return;
  }
  ASSERT_EQ(ran.status, 0) << ran.output;
  EXPECT_NE(ran.output.find("was cut short: finishing it"), std::string::npos) << ran.output;
  EXPECT_EQ(ran.output.find("kept " + game + "/BG1.MP3"), std::string::npos) << ran.output;
  EXPECT_FALSE(fs::exists(list));
  if (row.looseAfter) {
    std::map<std::string, std::string> unused;
    ExpectThePlayersLooseFilesRead(game, row.cdLoose, unused);
  }
  const auto after = Tree(game);
  // The set is one run's: none of the killed run's archives is left beside the new ones.
  for (const std::string& archive : kArchiveFiles) {
    ASSERT_TRUE(after.count(archive)) << archive;
    EXPECT_NE(after.at(archive), "killed run's " + archive);
  }
  for (const auto& [path, bytes] : players) EXPECT_EQ(after.at(path), bytes) << path;
  for (const std::string& mine : row.looseAfter ? row.cdLoose : kPlayersLoose) {
    const fs::path p(mine);
    if (p.has_parent_path()) {
      EXPECT_EQ(Spellings(game, "save"), std::vector<std::string>{p.parent_path().string()});
    }
    EXPECT_EQ(Spellings((game / p.parent_path()).string(), p.filename().string()),
              std::vector<std::string>{p.filename().string()});
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, MkdataKeeps, ::testing::ValuesIn(kKilled),
                         [](const auto& info) { return std::string(info.param.name); });

// The player's archives copied in beside a whole sample set, as a CD spells
// them: the run command never plays the set beside them without a word. Where
// each name holds the player's, the set's own archives go as a set given up
// takes them (its profile beside the player's, and its goods with it);
// otherwise it refuses, naming what to move out.
struct BesideAWholeSet {
  const char* name;
  std::vector<std::string> players;
  int status;
  const char* says;  // "{}" for the program folder
  std::vector<std::string> gone;
};

const BesideAWholeSet kBesideAWholeSet[] = {
    {"TheCdsGameDataAndProfile", {"DATA.INF", "DATA.PAK", "MISSIONPACK.INF", "MISSIONPACK.PAK", "USER.INI"}, 0,
     "the archives in {} beside the sample data set's are the player's: the game data is kept as the player's, the "
     "set's own Data.INF, Data.PAK, MissionPack.INF, MissionPack.PAK, User.INI and save/user1.DAT removed, nothing "
     "written",
     {"Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK", "User.INI", "save/user1.DAT"}},
    {"PartOfTheCdsGameData", {"DATA.INF", "DATA.PAK"}, 1,
     "DATA.INF and DATA.PAK are there beside the sample data set's Data.INF, Data.PAK, MissionPack.INF and "
     "MissionPack.PAK: move DATA.INF and DATA.PAK out of {} to play the sample data set, or move Data.INF, Data.PAK, "
     "MissionPack.INF and MissionPack.PAK out of it and put the rest of the game data in; nothing written",
     {}},
};

TEST(MkdataKeeps, ThePlayersArchivesBesideAWholeSampleSet) {
  fwtest::TempProgramFolder whole;
  const Ran made = Mkdata(whole.Path() + "/game", false);
  ASSERT_EQ(made.status, 0) << made.output;
  for (const BesideAWholeSet& row : kBesideAWholeSet) {
    SCOPED_TRACE(row.name);
    fwtest::TempProgramFolder dir;
    const std::string game = dir.Path() + "/game";
    fs::copy(whole.Path() + "/game", game, fs::copy_options::recursive);
    for (const std::string& mine : row.players) WriteFile(game + "/" + mine, "player's own " + mine);
    // Sizes and hashes: a whole set's bytes are too many to show.
    const auto summary = [&] {
      std::map<std::string, std::string> tree;
      for (const auto& [path, bytes] : Tree(game))
        tree[path] = std::to_string(bytes.size()) + " " + std::to_string(plat::HashOfBytes(bytes));
      return tree;
    };
    auto expected = summary();
    for (const std::string& gone : row.gone) expected.erase(gone);

    const Ran ran = DataStep(game, fwtest::MkdataPath(), false);
    EXPECT_EQ(ran.status, row.status) << ran.output;
    EXPECT_NE(ran.output.find(WithFolder(row.says, game)), std::string::npos) << ran.output;
    EXPECT_EQ(summary(), expected);
    if (row.status == 0) {
      EXPECT_EQ(Shell(Quoted(fwtest::MkdataPath()) + " --state " + Quoted(game)).output, "complete\n");
    }
  }
}

// Every run of mkdata, whatever the program folder holds and whatever the
// run does (the run command asks its state first, and asks no more of a
// folder with the whole game data), takes the working folders that runs no
// longer running left in the temporary folder, and nothing else there.
struct WorkingFolderCase {
  const char* name;
  std::vector<std::string> files;  // in the program folder
  std::string list = "";           // the text of mkdata-unfinished.txt ("" none)
  int status = 0;
};

const WorkingFolderCase kWorkingFolderCases[] = {
    {"WholeGameData", kArchiveFiles},
    {"PartOfTheGameData", {"Data.INF"}, "", 1},
    {"SetGivenUp", kCdArchiveFiles, kListOfAnotherSet},
};

TEST(MkdataKeeps, OnlyTheWorkingFoldersOfRunsNoLongerRunningWhateverTheProgramFolderHolds) {
  for (const WorkingFolderCase& row : kWorkingFolderCases) {
    SCOPED_TRACE(row.name);
    fwtest::TempProgramFolder dir;
    const std::string game = dir.Path() + "/game";
    for (const std::string& f : row.files) WriteFile(game + "/" + f, kMarker);
    if (!row.list.empty()) WriteFile(game + "/mkdata-unfinished.txt", row.list);
    const fwtest::WorkingFolders working(std::getenv("TMPDIR"), "mkdata-");

    const Ran ran = DataStep(game, fwtest::MkdataPath(), false);
    EXPECT_EQ(ran.status, row.status) << ran.output;
    ExpectWorkingFolders(working, ran.output);
  }
}

// ---------------------------------------------------------------- the run command

struct RunCase {
  const char* name;
  bool made;                        // the program folder exists
  std::vector<std::string> files;  // in it
  mode_t mode;                      // its mode for the run
  bool callsMkdata;
  int status;                       // 3 is mkdata's, passed on
  const char* state = "";           // what mkdata answers as the folder's state ("" the real mkdata's word)
};

const RunCase kRunCases[] = {
    {"EmptyFolder", true, {}, 0755, true, 3},
    {"FolderNotMadeYet", false, {}, 0755, true, 3},
    {"WholeData", true, kArchiveFiles, 0755, false, 0},
    {"WholeDataInCapitals", true, {"DATA.INF", "DATA.PAK", "MISSIONPACK.INF", "MISSIONPACK.PAK"}, 0755, false, 0},
    // Part of the archives: mkdata refuses the folder and says what to move out.
    {"ExactDataInf", true, {"Data.INF"}, 0755, true, 3},
    {"OnlyDataPakInLowerCase", true, {"data.pak"}, 0755, true, 3},
    {"MissionPackAlone", true, {"MissionPack.INF", "MissionPack.PAK"}, 0755, true, 3},
    // A set cut short after its last archive went in.
    {"WholeDataWithTheListOfASetCutShort", true, {"Data.INF", "Data.PAK", "MissionPack.INF", "MissionPack.PAK",
     "MKDATA-unfinished.txt"}, 0755, true, 3},
    {"NamesThatOnlyHoldTheName", true, {"Data.INF.bak", "MyData.PAK", "User.INI"}, 0755, true, 3},
    // A look at Data.INF fails (EACCES) with the file there.
    {"FolderThatCannotBeSearched", true, kArchiveFiles, 0644, false, 0},
    {"FolderThatCannotBeListed", true, {"data.inf"}, 0300, false, 1},
    // mkdata alone judges the folder.
    {"EmptyFolderMkdataTakesForWholeData", true, {}, 0755, false, 0, "complete"},
    {"WholeDataMkdataTakesForPartOfIt", true, kArchiveFiles, 0755, true, 3, "partial"},
};

void PrintTo(const RunCase& row, std::ostream* os) { *os << row.name; }

class RunCommandSampleData : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunCommandSampleData, CallsMkdataUnlessTheListingShowsTheWholeGameData) {
  const RunCase& row = GetParam();
  fwtest::TempProgramFolder dir;
  const std::string game = dir.Path() + "/game", calls = dir.Path() + "/calls", fake = dir.Path() + "/mkdata";
  const std::string state = *row.state ? std::string("echo ") + row.state + "; exit 0"
                                        : "exec " + Quoted(fwtest::MkdataPath()) + " \"$@\"";
  WriteFile(fake, "#!/bin/sh\n[ \"$1\" = --state ] && { " + state + "; }\necho \"$1\" >> " + Quoted(calls) +
                      "\nexit 3\n");
  fs::permissions(fake, fs::perms::owner_all);
  if (row.made) fs::create_directory(game);
  for (const std::string& f : row.files) WriteFile(game + "/" + f, kMarker);
  const bool needsPlayer = row.mode != 0755;
  if (needsPlayer && !ModesRefuse(dir.Path())) GTEST_SKIP() << "a folder's mode does not refuse this user here";
  if (needsPlayer) ::chmod(game.c_str(), row.mode);
  const Ran ran = DataStep(game, fake, needsPlayer);
  if (needsPlayer) ::chmod(game.c_str(), 0755);

  EXPECT_EQ(ran.status, row.status) << ran.output;
  std::stringstream called;
  called << std::ifstream(calls).rdbuf();
  EXPECT_EQ(called.str(), row.callsMkdata ? game + "\n" : "") << ran.output;
  if (row.status == 1) {
    EXPECT_NE(ran.output.find("in " + game + " (Permission denied)"), std::string::npos) << ran.output;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RunCommandSampleData, ::testing::ValuesIn(kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
