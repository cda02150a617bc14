#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <system_error>
#include <string>
#include <vector>

#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace {
struct KeyConfig : ::testing::Test {
  fwtest::TempProgramFolder dir;
  void SetUp() override {
    fw::KeyTable.fill(0);
    fw::MusicOn = 0;
    fw::SoundVol = fw::MusicVol = 0;
    fw::LastError.clear();
    fw::TakeKeyConfigNotice();
  }
};
}  // namespace

TEST_F(KeyConfig, SavedSettingsReadBackAndTheFileKeepsItsOrder) {
  for (size_t i = 0; i < fw::KeyTable.size(); ++i) fw::KeyTable[i] = static_cast<int16_t>(65 + i);
  fw::SoundVol = 7;
  fw::MusicVol = 3;
  fw::MusicOn = 5;
  ASSERT_TRUE(fw::SaveKeyConfig("\\Default.cfg"));
  const std::string text = dir.Read("Default.cfg");
  EXPECT_EQ(text.substr(0, 40), "\"FORWARD\",65\r\n\"BACKWARD\",66\r\n\"LEFT\",67\r\n");
  EXPECT_NE(text.find("\"RIGHT\",68\r\n\"FREESCROLL\",81\r\n\"SMALLMAP\",80\r\n\"STOP\",69\r\n\"WEAPON0\",70\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"TURRENT\",82\r\n\"SOUNDVOL\",7\r\n\"MUSICVOL\",3\r\n\"VOLUME\",1\r\n"), std::string::npos);

  const auto saved = fw::KeyTable;
  SetUp();
  fw::ReadKeyConfig("\\Default.cfg");
  EXPECT_EQ(fw::KeyTable, saved);
  EXPECT_EQ(fw::SoundVol, 7);
  EXPECT_EQ(fw::MusicVol, 3);
  EXPECT_EQ(fw::MusicOn, -1);
  EXPECT_EQ(fw::LastError, "");
}

TEST_F(KeyConfig, KeysAnyCaseAnyOrderUnknownSkipped) {
  dir.Write("Default.cfg", "\"volume\",-1\r\n\"bogus\",3\r\n\"forward\",87\r\n\"Forward\",88\r\n");
  fw::ReadKeyConfig("\\Default.cfg");
  EXPECT_EQ(fw::KeyTable[fw::KEY_FORWARD], 88);  // the last occurrence wins
  EXPECT_EQ(fw::MusicOn, -1);
  dir.Write("Default.cfg", "\"VOLUME\",0\r\n");
  fw::ReadKeyConfig("\\Default.cfg");
  EXPECT_EQ(fw::MusicOn, 0);
  EXPECT_EQ(fw::KeyTable[fw::KEY_FORWARD], 88);  // absent keys keep their values
}

TEST_F(KeyConfig, ABadValueStopsReadingAndKeepsWhatWasRead) {
  dir.Write("Default.cfg", "\"LEFT\",37\r\n\"RIGHT\",70000\r\n\"STOP\",32\r\n");
  fw::ReadKeyConfig("\\Default.cfg");
  EXPECT_EQ(fw::KeyTable[fw::KEY_LEFT], 37);
  EXPECT_EQ(fw::KeyTable[fw::KEY_RIGHT], 0);
  EXPECT_EQ(fw::KeyTable[fw::KEY_STOP], 0);
  EXPECT_EQ(fw::LastError, "Unable to Read \\Default.cfg");
}

TEST_F(KeyConfig, VolumesAreBroughtIntoTheBarsRange) {
  const struct {
    const char* text;
    int32_t sound, music;
  } cases[] = {
      {"\"MUSICVOL\",-2147483648\r\n\"SOUNDVOL\",2147483647\r\n", 10, 0},
      {"\"SOUNDVOL\",-1\r\n\"MUSICVOL\",11\r\n", 0, 10},
      {"\"SOUNDVOL\",0\r\n\"MUSICVOL\",10\r\n", 0, 10},
      {"\"SOUNDVOL\",6\r\n\"MUSICVOL\",4\r\n", 6, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    dir.Write("Default.cfg", c.text);
    fw::ReadKeyConfig("\\Default.cfg");
    EXPECT_EQ(fw::SoundVol, c.sound);
    EXPECT_EQ(fw::MusicVol, c.music);
    EXPECT_EQ(fw::LastError, "");
  }
}

TEST_F(KeyConfig, AMissingFileLeavesEverythingAsItWas) {
  fw::KeyTable[0] = 38;
  fw::ReadKeyConfig("\\Default.cfg");
  EXPECT_EQ(fw::KeyTable[0], 38);
  EXPECT_EQ(fw::LastError, "Unable to Read \\Default.cfg");
}

TEST(KeyCodeName, NamesTheBoundKeys) {
  EXPECT_EQ(fw::KeyCodeName(65), "A");
  EXPECT_EQ(fw::KeyCodeName(48), "0");
  EXPECT_EQ(fw::KeyCodeName(97), "Pad1");
  EXPECT_EQ(fw::KeyCodeName(123), "F12");
  EXPECT_EQ(fw::KeyCodeName(38), "UP");
  EXPECT_EQ(fw::KeyCodeName(37), "Left");
  EXPECT_EQ(fw::KeyCodeName(91), "StartMenu");
  EXPECT_EQ(fw::KeyCodeName(92), "StartMenu");
  EXPECT_EQ(fw::KeyCodeName(192), "`");
  EXPECT_EQ(fw::KeyCodeName(220), "\\");
  for (int16_t none : {0, 7, 96, 108, 110, 223, 300, -5}) EXPECT_EQ(fw::KeyCodeName(none), "") << none;
  int named = 0;
  for (int c = 0; c < 256; ++c) named += fw::KeyCodeName(static_cast<int16_t>(c)).empty() ? 0 : 1;
  EXPECT_EQ(named, 100);
}

// A named step, not a lambda, for the rows' defaults: Clang gives two lambdas
// among one local struct's defaults the same mangled name.
static void Nothing() {}

// A Default.cfg that is there and cannot be read, whole or from a line on,
// is told once for each cause, and kept aside before the settings are saved
// over it: a copy of the player's bytes, with their permissions, even behind
// a link. A missing one is a first run and nothing is said; what is no
// regular file holds nothing to keep, and its save is refused. One fault a
// row, then what stands at the name.
TEST_F(KeyConfig, AFileThatIsThereAndCannotBeReadIsToldOnceAndKeptAside) {
  namespace fs = std::filesystem;
  const std::string keys = "\"FORWARD\",38\r\n";
  const std::string stay = "): the keys and volumes stay as they are, and the file is kept aside at the next save of the settings.";
  const std::string noFile = "Default.cfg is not a regular file: the keys and volumes stay as they are.";
  const auto fail = [](plat::FileCall call, int error, int skip = 0) {
    return [=] { plat::FailNextFileCall(call, error, skip); };
  };
  const auto instead = [this](const std::function<void(const std::string&)>& make) {
    return [this, make] {
      fs::remove_all(dir.File("Default.cfg"));
      make(dir.File("Default.cfg"));
    };
  };
  // The file kept elsewhere, a link at its name.
  const auto linked = [this](const std::function<void(const std::string&)>& then) {
    return [this, then] {
      fs::create_directory(dir.File("real"));
      fs::rename(dir.File("Default.cfg"), dir.File("real/Default.cfg"));
      fs::create_symlink("real/Default.cfg", dir.File("Default.cfg"));
      then(dir.File("real/Default.cfg"));
    };
  };
  const std::string badLine = "\"BACKWARD\",x\r\n";
  const auto withBadLine = [&badLine, &keys](const std::string& at) {
    std::ofstream(at, std::ios::binary | std::ios::trunc) << keys << badLine;
  };
  const std::function<void()> none = [] {};
  const struct {
    const char* what;
    std::function<void()> fault;
    std::string notice;
    fs::file_type kept;  // what the save keeps aside; none: no copy
    bool saves = true;
    bool withoutPowers = false;
    std::function<void()> between = Nothing;  // before the second read
    std::string again = "";                 // what the second read tells
    std::function<void()> atSave = Nothing;
    std::string refusal = "";  // what a refused save says, where the row names it
  } cases[] = {
      {"missing", [this] { fs::remove(dir.File("Default.cfg")); }, "", fs::file_type::not_found},
      // Once only: read again, the file reads and nothing is left to keep.
      {"a read failing once", fail(plat::FileCall::Read, EIO), "Unable to Read Default.cfg (Input/output error" + stay,
       fs::file_type::not_found},
      {"a look answering EINVAL", fail(plat::FileCall::Look, EINVAL),
       "Unable to Read Default.cfg (Invalid argument" + stay, fs::file_type::not_found},
      {"mode 000", [this] { fs::permissions(dir.File("Default.cfg"), fs::perms::none); },
       "Unable to Read Default.cfg (Permission denied" + stay, fs::file_type::regular, true, true},
      {"a FIFO", instead([](const std::string& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); }), noFile,
       fs::file_type::not_found, false},
      {"a link to a device", instead([](const std::string& at) { fs::create_symlink("/dev/null", at); }), noFile,
       fs::file_type::not_found, false},
      {"more than the reader takes", [this] { fs::resize_file(dir.File("Default.cfg"), (1 << 20) + 1); },
       "Unable to Read Default.cfg (larger than the game reads" + stay, fs::file_type::regular},
      {"a folder", instead([](const std::string& at) { fs::create_directory(at); }),
       "Default.cfg is a folder, not a file: the keys and volumes stay as they are.", fs::file_type::not_found, false},
      {"a line that cannot be read", [&, this] { withBadLine(dir.File("Default.cfg")); },
       "Default.cfg holds a line that cannot be read: the keys and volumes from there on stay as they are, and the "
       "file is kept aside at the next save of the settings.",
       fs::file_type::regular},
      {"behind a link, its file mode 000", linked([](const std::string& at) { fs::permissions(at, fs::perms::none); }),
       "Unable to Read Default.cfg (Permission denied" + stay, fs::file_type::regular, true, true},
      {"behind a link, a line that cannot be read, no hard link beside it",
       linked([&](const std::string& at) {
         withBadLine(at);
         fs::permissions(at, fs::perms(0640));
       }),
       "Default.cfg holds a line that cannot be read: the keys and volumes from there on stay as they are, and the "
       "file is kept aside at the next save of the settings.",
       fs::file_type::regular, true, false, none, "", fail(plat::FileCall::Link, EXDEV)},
      // The read's own cause, never the hard link's.
      {"behind a link, its file mode 000, no hard link beside it",
       linked([](const std::string& at) { fs::permissions(at, fs::perms::none); }),
       "Unable to Read Default.cfg (Permission denied" + stay, fs::file_type::not_found, false, true, none, "",
       fail(plat::FileCall::Link, EXDEV),
       "Unable to keep the unreadable Default.cfg aside (Permission denied): nothing was saved"},
      // A link that leads to no file holds nothing to keep: told at the read
      // and at the save, which it refuses.
      {"a link that leads nowhere", instead([](const std::string& at) { fs::create_symlink("nowhere.cfg", at); }),
       "Unable to Read Default.cfg (a link that leads to no regular file): the keys and volumes stay as they are; "
       "nothing is saved over it until it leads to a file.",
       fs::file_type::not_found, false, false, none, "", none,
       "Unable to Save \\Default.cfg: a link that leads to no regular file"},
      {"a link loop", instead([](const std::string& at) { fs::create_symlink("Default.cfg", at); }),
       "Unable to Read Default.cfg (a link that leads to no regular file): the keys and volumes stay as they are; "
       "nothing is saved over it until it leads to a file.",
       fs::file_type::not_found, false, false, none, "", none,
       "Unable to Save \\Default.cfg: a link that leads to no regular file"},
      // Within a run: a new cause is told, and the latest read decides.
      // Read whole in between, it is the game's own, whose bytes the judge
      // reads where the save's own read failed: nothing to keep.
      {"a folder, then a file the save cannot read", instead([](const std::string& at) { fs::create_directory(at); }),
       "Default.cfg is a folder, not a file: the keys and volumes stay as they are.", fs::file_type::not_found, true,
       false,
       [this, &keys] {
         fs::remove(dir.File("Default.cfg"));
         dir.Write("Default.cfg", keys);
       },
       "", fail(plat::FileCall::Read, EIO)},
      {"a folder, then a file that cannot be read", instead([](const std::string& at) { fs::create_directory(at); }),
       "Default.cfg is a folder, not a file: the keys and volumes stay as they are.", fs::file_type::regular, true,
       false,
       [this, &keys] {
         fs::remove(dir.File("Default.cfg"));
         dir.Write("Default.cfg", keys);
         plat::FailNextFileCall(plat::FileCall::Read, EIO);
       },
       "Unable to Read Default.cfg (Input/output error" + stay},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* entry : {"Default.cfg", "Default.cfg.damaged-1", "real"}) fs::remove_all(dir.File(entry));
    dir.Write("Default.cfg", keys);
    fw::ReadKeyConfig("\\Default.cfg");  // read whole: nothing told or owed of the rows before
    SetUp();
    c.fault();
    const fs::file_type standing = fs::symlink_status(dir.File("Default.cfg")).type();
    std::unique_ptr<fwtest::WithoutFilePowers> player;
    if (c.withoutPowers) player = std::make_unique<fwtest::WithoutFilePowers>();
    fw::ReadKeyConfig("\\Default.cfg");
    EXPECT_EQ(fw::LastError, "Unable to Read \\Default.cfg");
    EXPECT_EQ(fw::TakeKeyConfigNotice(), c.notice);
    c.between();
    fw::ReadKeyConfig("\\Default.cfg");
    EXPECT_EQ(fw::TakeKeyConfigNotice(), c.again);
    std::error_code loop;  // a link loop has no status
    const fs::perms mode = fs::status(dir.File("Default.cfg"), loop).permissions();
    fw::KeyTable[fw::KEY_FORWARD] = 87;
    c.atSave();
    EXPECT_EQ(fw::SaveKeyConfig("\\Default.cfg"), c.saves) << fw::LastError;
    if (!c.refusal.empty()) {
      EXPECT_EQ(fw::LastError, c.refusal);
    }
    player.reset();
    EXPECT_EQ(fs::symlink_status(dir.File("Default.cfg.damaged-1")).type(), c.kept);
    if (c.kept == fs::file_type::regular) {
      EXPECT_EQ(dir.Read("Default.cfg.damaged-1").substr(0, keys.size()), keys);
      EXPECT_EQ(fs::status(dir.File("Default.cfg.damaged-1")).permissions(), mode);
    }
    if (c.saves) {
      EXPECT_EQ(dir.Read("Default.cfg").substr(0, 14), "\"FORWARD\",87\r\n");
    } else {
      EXPECT_EQ(fs::symlink_status(dir.File("Default.cfg")).type(), standing);
    }
  }
}

// A file that cannot be read whole is kept aside once, whatever becomes of
// the saves after it: refused ones do not keep it again, nor does a save
// over a file the player put there since, and the game's own saved file is
// never kept. Each save is told as it landed: refused with its cause after
// "Unable to Save \Default.cfg", or saved with its folder not synced.
TEST_F(KeyConfig, AFileIsKeptAsideOnceAndEachSaveIsToldAsItLanded) {
  namespace fs = std::filesystem;
  const std::string keys = "\"FORWARD\",38\r\n";
  const std::function<void()> none = [] {};
  const auto fail = [](plat::FileCall call, int error) { return [=] { plat::FailNextFileCall(call, error); }; };
  const std::string noRoom = "Unable to Save \\Default.cfg: No space left on device";
  const std::string changed =
      "Default.cfg changed since the game read it: it is kept aside as Default.cfg.changed-1, and the settings are "
      "saved.";
  struct Save {
    std::function<void()> before;
    std::string told = "";  // LastError of a refused save, else its notice
    bool saves = true;
    bool withoutPowers = false;  // saved as a player, whom a folder's mode refuses
  };
  // The file kept in a folder of the player's, a link at its name.
  const std::string elsewhere = "Fremd-\u00d6rdner-\u5916\u90e8";
  const auto playersFile = [this, &keys, &elsewhere] {
    fs::create_directory(dir.File(elsewhere));
    dir.Write(elsewhere + "/Default.cfg", keys);
    fs::remove(dir.File("Default.cfg"));
    fs::create_symlink(elsewhere + "/Default.cfg", dir.File("Default.cfg"));
  };
  const auto playersUnreadable = [this](const std::string& bytes) {
    return [this, bytes] {
      fs::remove(dir.File("Default.cfg"));
      dir.Write("Default.cfg", bytes);
      fs::permissions(dir.File("Default.cfg"), fs::perms::none);
    };
  };
  const struct {
    const char* what;
    std::function<void()> atRead;
    std::vector<Save> saves;
    std::set<std::string> kept;  // the copies that stand afterwards
  } cases[] = {
      {"a line that cannot be read, three saves refused for room",
       [this, &keys] { dir.Write("Default.cfg", keys + "\"BACKWARD\",x\r\n"); },
       {{fail(plat::FileCall::WriteTemporary, ENOSPC), noRoom, false},
        {fail(plat::FileCall::WriteTemporary, ENOSPC), noRoom, false},
        {fail(plat::FileCall::WriteTemporary, ENOSPC), noRoom, false},
        {none},
        {none}},
       {"Default.cfg.damaged-1"}},
      {"a read failing once, a save refused, the copy moved out", fail(plat::FileCall::Read, EIO),
       {{fail(plat::FileCall::WriteTemporary, ENOSPC), noRoom, false},
        {[this] { fs::remove(dir.File("Default.cfg.damaged-1")); }}},
       {}},
      {"a read failing once, the file gone by the save", fail(plat::FileCall::Read, EIO),
       {{[this] { fs::remove(dir.File("Default.cfg")); }}, {none}}, {}},
      {"the folder not synced once the file is replaced", none,
       {{fail(plat::FileCall::SyncFolder, EIO),
         "Default.cfg was replaced, but its folder could not be synced (the game folder: Input/output error)"},
        {none}},
       {}},
      // Not the file the game read: the player's, kept and told.
      {"a file of the player's put there since the read", none,
       {{[this] {
           fs::remove(dir.File("Default.cfg"));
           dir.Write("Default.cfg", "\"STOP\",32\r\n");
         },
         changed},
        {none}},
       {"Default.cfg.changed-1"}},
      // The same where the status-change time follows the modification
      // time, the read of the save's judge failing: the bytes the save has
      // read decide, not the identity.
      {"rewritten at its size, its time put back, the status-change time following it, the judge's read failing",
       [] { plat::StatusChangeFollowsModification(true); },
       {{[this] {
           const auto time = fs::last_write_time(dir.File("Default.cfg"));
           dir.Write("Default.cfg", "\"FORWARD\",39\r\n");
           fs::last_write_time(dir.File("Default.cfg"), time);
           plat::FailNextFileCall(plat::FileCall::Read, EIO, 1);
         },
         changed},
        {none}},
       {"Default.cfg.changed-1"}},
      {"rewritten at its size, its time put back",
       none,
       {{[this] {
           const auto time = fs::last_write_time(dir.File("Default.cfg"));
           dir.Write("Default.cfg", "\"FORWARD\",39\r\n");
           fs::last_write_time(dir.File("Default.cfg"), time);
         },
         changed},
        {none}},
       {"Default.cfg.changed-1"}},
      // The player's file put there since, which the save cannot read: at
      // the size read, only its bytes could tell, so it is kept as one that
      // cannot be read; at another, as the player's. With no copy made,
      // nothing is saved over it.
      {"a file of the player's at its size put there since the read, unreadable by the save", none,
       {{playersUnreadable("\"FORWARD\",39\r\n"),
         "Default.cfg cannot be read (Permission denied): it is kept aside as Default.cfg.damaged-1, and the "
         "settings are saved.",
         true, true},
        {none}},
       {"Default.cfg.damaged-1"}},
      {"a file of the player's of another size put there since the read, unreadable by the save", none,
       {{playersUnreadable("\"STOP\",32\r\n"), changed, true, true}, {none}},
       {"Default.cfg.changed-1"}},
      {"a file of the player's at its size put there since the read, unreadable by the save, no hard link", none,
       {{[&] {
           playersUnreadable("\"FORWARD\",39\r\n")();
           plat::FailNextFileCall(plat::FileCall::Link, EXDEV);
         },
         "Unable to keep the unreadable Default.cfg aside (Permission denied): nothing was saved", false, true},
        {none, changed}},
       {"Default.cfg.changed-1"}},
      // Holding the bytes read, it is the game's own.
      {"touched, and its mode changed and put back",
       none,
       {{[this] {
           const std::string file = dir.File("Default.cfg");
           fs::last_write_time(file, fs::last_write_time(file) + std::chrono::hours(1));
           fs::permissions(dir.File("Default.cfg"), fs::perms(0600));
           fs::permissions(dir.File("Default.cfg"), fs::perms(0644));
         }},
        {none}},
       {}},
      {"a link that led nowhere at the read, leading to a file by the save",
       [this] {
         fs::remove(dir.File("Default.cfg"));
         fs::create_symlink("real.cfg", dir.File("Default.cfg"));
       },
       {{[this] { dir.Write("real.cfg", "\"STOP\",32\r\n"); }, changed}, {none}},
       {"Default.cfg.changed-1"}},
      // A copy that stands is told as kept, whatever its folder's sync
      // said; the file it keeps is replaced once the disk holds its name.
      {"a line that cannot be read, the copy's folder not synced",
       [this, &keys] { dir.Write("Default.cfg", keys + "\"BACKWARD\",x\r\n"); },
       {{fail(plat::FileCall::SyncFolder, EIO),
         "Default.cfg is kept aside as Default.cfg.damaged-1, but its folder could not be synced (the game folder: "
         "Input/output error): nothing was saved",
         false},
        {none}},
       {"Default.cfg.damaged-1"}},
      // The copy of the player's file is told by the refused save itself:
      // read again afterwards, nothing else tells it.
      {"a file of the player's put there since the read, the save refused for room", none,
       {{[this] {
           fs::remove(dir.File("Default.cfg"));
           dir.Write("Default.cfg", "\"STOP\",32\r\n");
           plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC);
         },
         noRoom + "; Default.cfg changed since the game read it and is kept aside as Default.cfg.changed-1", false},
        {[] { fw::ReadKeyConfig("\\Default.cfg"); }}},
       {"Default.cfg.changed-1"}},
      // The folder the link leads to takes no new file: it is named, as the
      // system spells it.
      {"a link to a file whose folder takes no new file",
       [&, this] {
         playersFile();
         fs::permissions(dir.File(elsewhere), fs::perms(0555));
       },
       {{none, "Unable to Save \\Default.cfg: " + elsewhere + ": Permission denied", false, true},
        {[&, this] { fs::permissions(dir.File(elsewhere), fs::perms(0755)); }}},
       {}},
      {"a link to the profiles",
       [this] {
         dir.Write("User.INI", "\"P1\",x" + std::string(378, ' '));
         fs::remove(dir.File("Default.cfg"));
         fs::create_symlink("User.INI", dir.File("Default.cfg"));
       },
       {{none, "Unable to Save \\Default.cfg: a link to User.INI, another of the game's files", false}},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    plat::StatusChangeFollowsModification(false);
    if (fs::exists(dir.File(elsewhere))) fs::permissions(dir.File(elsewhere), fs::perms(0755));
    for (const auto& e : fs::directory_iterator(dir.Path())) fs::remove_all(e.path());
    dir.Write("Default.cfg", keys);
    fw::ReadKeyConfig("\\Default.cfg");
    SetUp();
    c.atRead();
    fw::ReadKeyConfig("\\Default.cfg");
    fw::TakeKeyConfigNotice();
    for (size_t i = 0; i < c.saves.size(); ++i) {
      SCOPED_TRACE("save " + std::to_string(i + 1));
      const Save& s = c.saves[i];
      s.before();
      fw::KeyTable[fw::KEY_FORWARD] = static_cast<int16_t>(60 + i);
      {
        std::unique_ptr<fwtest::WithoutFilePowers> player;
        if (s.withoutPowers) player = std::make_unique<fwtest::WithoutFilePowers>();
        EXPECT_EQ(fw::SaveKeyConfig("\\Default.cfg"), s.saves);
      }
      EXPECT_EQ(s.saves ? fw::TakeKeyConfigNotice() : fw::LastError, s.told);
      if (s.saves) {
        EXPECT_EQ(dir.Read("Default.cfg").substr(0, 14), "\"FORWARD\"," + std::to_string(60 + i) + "\r\n");
      }
    }
    std::set<std::string> kept;
    for (const auto& e : fs::directory_iterator(dir.Path()))
      if (e.path().filename().string().starts_with("Default.cfg.")) kept.insert(e.path().filename().string());
    EXPECT_EQ(kept, c.kept);
  }
  plat::StatusChangeFollowsModification(false);
}

// Every look, and every read, a save of the settings makes, in turn until
// the save makes no more, fails or meets the player's edit. The game's own
// save is its own whatever a look or a read said (saved again, nothing is
// kept, as damaged or otherwise), and the player's
// edit, made before that save, during it or after it, is kept aside and
// told, or refuses the save and stands until the next keeps it: never
// replaced unkept.
TEST_F(KeyConfig, NoLookOfASaveLosesThePlayersEdit) {
  namespace fs = std::filesystem;
  const std::string keys = "\"FORWARD\",38\r\n";
  const std::string changed =
      "Default.cfg changed since the game read it: it is kept aside as Default.cfg.changed-1, and the settings are "
      "saved.";
  const auto atItsSize = [this] {
    const std::string file = dir.File("Default.cfg");
    const auto time = fs::last_write_time(file);
    std::string text = dir.Read("Default.cfg");
    text[text.find(',') + 1] ^= 1;  // another digit
    dir.Write("Default.cfg", text);
    fs::last_write_time(file, time);
  };
  const auto appended = [this] {
    std::ofstream(dir.File("Default.cfg"), std::ios::binary | std::ios::app) << "\"STOP\",32\r\n";
  };
  // When the player's edit comes: at look k of the first save, which then
  // goes on; else that look fails, the edit coming before or after it.
  enum class When { BeforeTheSave, AtTheLook, AfterTheSave };
  const struct {
    const char* what;
    When when;
    std::function<void()> edit;  // none: the game's own file is saved again
    plat::FileCall call = plat::FileCall::Look;
  } cases[] = {
      {"a failed read, then the game's own file saved again", When::AfterTheSave, nullptr, plat::FileCall::Read},
      {"a failed read, then the player's edit at its size, its time put back", When::AfterTheSave, atItsSize,
       plat::FileCall::Read},
      {"the player's edit at its size, its time put back, then a failed read", When::BeforeTheSave, atItsSize,
       plat::FileCall::Read},
      {"the player's edit appended, landing at the read", When::AtTheLook, appended, plat::FileCall::Read},
      {"a failed look, then the game's own file saved again", When::AfterTheSave, nullptr},
      {"a failed look, then the player's edit at its size, its time put back", When::AfterTheSave, atItsSize},
      {"a failed look, then the player's edit appended", When::AfterTheSave, appended},
      {"the player's edit at its size, its time put back, then a failed look", When::BeforeTheSave, atItsSize},
      {"the player's edit appended, then a failed look", When::BeforeTheSave, appended},
      {"the player's edit at its size, its time put back, landing at the look", When::AtTheLook, atItsSize},
      {"the player's edit appended, landing at the look", When::AtTheLook, appended},
  };
  for (const auto& c : cases) {
    bool everyLook = false;
    int k = 0;
    for (; !everyLook && k < 64; ++k) {
      SCOPED_TRACE(std::string(c.what) + " " + std::to_string(k));
      for (const auto& e : fs::directory_iterator(dir.Path())) fs::remove_all(e.path());
      dir.Write("Default.cfg", keys);
      fw::ReadKeyConfig("\\Default.cfg");
      SetUp();
      std::string players;  // the player's bytes, once edited
      const auto edit = [&] {
        if (!c.edit) return;
        c.edit();
        players = dir.Read("Default.cfg");
      };
      if (c.when == When::BeforeTheSave) edit();
      if (c.when == When::AtTheLook) {
        plat::ActAtNextFileCall(c.call, edit, k);
      } else {
        plat::FailNextFileCall(c.call, EIO, k);
      }
      fw::KeyTable[fw::KEY_FORWARD] = 60;
      const bool first = fw::SaveKeyConfig("\\Default.cfg");
      const std::string firstTold = first ? fw::TakeKeyConfigNotice() : fw::LastError;
      everyLook = plat::FileCallPlanned(c.call);
      plat::ForgetPlannedFileCallFailures();
      if (everyLook) {
        EXPECT_TRUE(first);
        break;
      }
      if (c.when == When::AfterTheSave) edit();
      fw::KeyTable[fw::KEY_FORWARD] = 61;
      EXPECT_TRUE(fw::SaveKeyConfig("\\Default.cfg")) << fw::LastError;
      const std::string secondTold = fw::TakeKeyConfigNotice();
      EXPECT_EQ(dir.Read("Default.cfg").substr(0, 14), "\"FORWARD\",61\r\n");
      std::set<std::string> kept;
      for (const auto& e : fs::directory_iterator(dir.Path()))
        if (e.path().filename().string().starts_with("Default.cfg.")) kept.insert(e.path().filename().string());
      if (!c.edit) {
        EXPECT_EQ(kept, std::set<std::string>{});
        EXPECT_EQ(secondTold, "");
        continue;
      }
      ASSERT_FALSE(players.empty());
      EXPECT_EQ(kept, std::set<std::string>{"Default.cfg.changed-1"});
      EXPECT_EQ(dir.Read("Default.cfg.changed-1"), players);
      // Told by the save that kept it, or, after a refused one that said
      // why, by the next.
      if (c.when == When::AfterTheSave || !first) {
        EXPECT_EQ(secondTold, changed);
      } else {
        EXPECT_EQ(firstTold, changed);
      }
      if (!first) {
        EXPECT_TRUE(firstTold.starts_with("Unable to Save \\Default.cfg: ")) << firstTold;
      }
    }
    EXPECT_TRUE(everyLook) << c.what << ": still failing at look " << k;
    // The save's read, the judge's look and read, and the same again just
    // before the rename; of reads, the save's and the one before the rename.
    EXPECT_GE(k, c.call == plat::FileCall::Look ? 4 : 2) << c.what;
  }
}
