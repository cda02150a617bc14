#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/runtime/files.hpp"
#include "platform/runtime/folder_lock.hpp"
#include "platform/runtime/keyed_collection.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"
#include "platform/runtime/strings.hpp"
#include "tests/common/test_support.hpp"

TEST(Files, GamePathsMatchNamesWithoutRegardToCase) {
  fwtest::TempProgramFolder dir;
  dir.Write("Data/EnemyWeapon.ini", "x");
  const std::string game = dir.Path() + "\\data\\Enemyweapon.INI";
  EXPECT_TRUE(plat::FileExists(game));
  EXPECT_EQ(plat::NativePath(game), dir.File("Data/EnemyWeapon.ini"));
  EXPECT_EQ(plat::Dir(game), "EnemyWeapon.ini");
  // A file about to be created keeps its spelling in an existing folder.
  EXPECT_EQ(plat::NativePath(dir.Path() + "\\DATA\\new.txt"), dir.File("Data/new.txt"));
  EXPECT_EQ(plat::Dir(dir.Path() + "\\data"), "");  // folders are not plain files
}

TEST(Files, AtomicWriteKeepsTheOldFileWhenInterrupted) {
  fwtest::TempProgramFolder dir;
  const std::string target = dir.Path() + "\\User.INI";
  ASSERT_TRUE(plat::WriteFileAtomic(target, std::string_view("old")));
  plat::FailNextAtomicRename();
  EXPECT_FALSE(plat::WriteFileAtomic(target, std::string_view("new contents")));
  EXPECT_EQ(dir.Read("User.INI"), "old");
  EXPECT_TRUE(plat::WriteFileAtomic(target, std::string_view("new")));
  EXPECT_EQ(dir.Read("User.INI"), "new");
  // A target folder that does not exist fails without creating anything.
  EXPECT_FALSE(plat::WriteFileAtomic(dir.Path() + "\\nofolder\\x", std::string_view("y")));
}

namespace {
// How long a forked child may take to answer before the test gives it up.
constexpr int kAnswerMs = 10000;

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (::pipe(fd) != 0) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    Close(0);
    Close(1);
  }
  void Close(int end) {
    if (fd[end] >= 0) ::close(fd[end]);
    fd[end] = -1;
  }
  void Write(char c) { (void)!::write(fd[1], &c, 1); }
  // The next byte; 0 once the writers are gone or the deadline has passed.
  char Read() {
    pollfd p{fd[0], POLLIN, 0};
    char c = 0;
    return ::poll(&p, 1, kAnswerMs) == 1 && ::read(fd[0], &c, 1) == 1 ? c : 0;
  }
};

char Letter(plat::FolderLock::State s) {
  switch (s) {
    case plat::FolderLock::State::Held: return 'H';
    case plat::FolderLock::State::HeldElsewhere: return 'E';
    case plat::FolderLock::State::NotTaken: return 'N';
  }
  return '?';
}

template <class Body>
pid_t Forked(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

// A lock file left by a run as another user (with sudo) opens read-only for
// the player, or not at all; a folder the player may not write has none. The
// folder's own lock keeps a second game out all the same.
TEST(FolderLock, ASecondGameIsRefusedWhateverTheLockFileOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving the lock file to another user needs root";
  struct Case {
    const char* what;
    uid_t owner;
    mode_t mode;  // of the lock file; 0: there is none
    mode_t folderMode;
    char first, second;
  };
  for (const Case& c : {Case{"the player's own file", 0, 0644, 0755, 'H', 'E'},
                        Case{"another user's file others may read", 65534, 0644, 0755, 'H', 'E'},
                        Case{"another user's file others may not read", 65534, 0600, 0755, 'H', 'E'},
                        Case{"no file, in a folder the player may not write", 0, 0, 0555, 'H', 'E'}}) {
    SCOPED_TRACE(c.what);
    fwtest::TempProgramFolder dir;
    const std::string lockFile(plat::kFolderLockName);
    if (c.mode != 0) {
      dir.Write(lockFile, "");
      ASSERT_EQ(::chown(dir.File(lockFile).c_str(), c.owner, c.owner), 0);
      ASSERT_EQ(::chmod(dir.File(lockFile).c_str(), c.mode), 0);
    }
    ASSERT_EQ(::chmod(dir.Path().c_str(), c.folderMode), 0);
    Pipe answers, release;
    // Each game opens the file as a player would and tells what it got; the
    // first holds on until released.
    const auto game = [&](bool holdOn) {
      return Forked([&] {
        release.Close(1);
        try {
          fwtest::DropFilePowers();
        } catch (const std::runtime_error&) {
          answers.Write('x');
          return 1;
        }
        const plat::FolderLock lock(dir.Path());
        answers.Write(Letter(lock.state()));
        if (holdOn) release.Read();
        return 0;
      });
    };
    const pid_t first = game(true);
    EXPECT_EQ(answers.Read(), c.first);
    const pid_t second = game(false);
    EXPECT_EQ(answers.Read(), c.second);
    release.Close(1);
    EXPECT_EQ(ExitCode(first), 0);
    EXPECT_EQ(ExitCode(second), 0);
  }
}

// A folder by the lock file's name, which no game can lock, leaves the
// program folder's own lock to keep a second game out.
TEST(FolderLock, AFolderAtTheLockFileNameStillKeepsASecondGameOut) {
  fwtest::TempProgramFolder dir;
  std::filesystem::create_directory(dir.File(std::string(plat::kFolderLockName)));
  const plat::FolderLock lock(dir.Path());
  EXPECT_EQ(Letter(lock.state()), 'H');
  Pipe answers;
  const pid_t second = Forked([&] {
    answers.Write(Letter(plat::FolderLock(dir.Path()).state()));
    return 0;
  });
  EXPECT_EQ(answers.Read(), 'E');
  EXPECT_EQ(ExitCode(second), 0);
}

// A game on another machine sharing the folder over the network holds only
// the file's lock there: that refuses this game, which keeps nothing it
// took, so it can start once the other has ended.
TEST(FolderLock, TheLockFileAloneKeepsASecondGameOut) {
  fwtest::TempProgramFolder dir;
  const int otherMachine = ::open(dir.File(std::string(plat::kFolderLockName)).c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(::flock(otherMachine, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Letter(plat::FolderLock(dir.Path()).state()), 'E');
  ::close(otherMachine);
  EXPECT_EQ(Letter(plat::FolderLock(dir.Path()).state()), 'H');
}

// The game forks children (the model reader) that may outlive it: starting
// one leaves the game's lock held, and the lock ends with the game.
TEST(FolderLock, AForkedChildNeitherReleasesNorKeepsTheLock) {
  fwtest::TempProgramFolder dir;
  Pipe answers, releaseHolder, releaseChild;
  const pid_t holder = Forked([&] {
    releaseHolder.Close(1);
    const plat::FolderLock lock(dir.Path());
    const pid_t child = Forked([&] {
      releaseChild.Close(1);
      answers.Write('c');
      releaseChild.Read();
      return 0;
    });
    answers.Write(child > 0 ? Letter(lock.state()) : 'x');
    releaseHolder.Read();
    return 0;
  });
  std::string answered{answers.Read(), answers.Read()};
  std::sort(answered.begin(), answered.end());
  EXPECT_EQ(answered, "Hc");
  EXPECT_EQ(Letter(plat::FolderLock(dir.Path()).state()), 'E');
  releaseHolder.Close(1);
  EXPECT_EQ(ExitCode(holder), 0);
  // The child lives on until releaseChild goes, at the end of the test.
  EXPECT_EQ(Letter(plat::FolderLock(dir.Path()).state()), 'H');
}

TEST(Files, RemovingAMissingFileIsNotAFailure) {
  fwtest::TempProgramFolder dir;
  dir.Write("a.tmp", "1");
  EXPECT_TRUE(plat::RemoveFile(dir.Path() + "\\A.TMP"));
  EXPECT_FALSE(dir.Exists("a.tmp"));
  EXPECT_TRUE(plat::RemoveFile(dir.Path() + "\\a.tmp"));
}

TEST(KeyedCollection, KeysIgnoreCaseAndPositionsAreOneBased) {
  plat::KeyedCollection<int> c;
  EXPECT_TRUE(c.Add(std::make_shared<int>(1), "Alpha"));
  EXPECT_TRUE(c.Add(std::make_shared<int>(2), "beta"));
  EXPECT_TRUE(c.Add(std::make_shared<int>(3)));  // no key
  EXPECT_FALSE(c.Add(std::make_shared<int>(4), "ALPHA"));
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(*c.Item("BETA"), 2);
  EXPECT_EQ(*c.Item(1), 1);
  EXPECT_EQ(c.Find("gamma"), nullptr);
  EXPECT_THROW(c.Item("gamma"), plat::RuntimeError);
  EXPECT_THROW(c.Item(4), plat::RuntimeError);
  EXPECT_TRUE(c.Remove("alpha"));
  EXPECT_EQ(*c.Item(1), 2);
  EXPECT_TRUE(c.Add(std::make_shared<int>(5), "Alpha"));  // the key is free again
  int sum = 0;
  for (const auto& p : c) sum += *p;
  EXPECT_EQ(sum, 2 + 3 + 5);
  c.RemoveAll();
  EXPECT_EQ(c.Count(), 0);
}

TEST(Numeric, ConversionsFollowTheRuntime) {
  EXPECT_EQ(plat::CLng(2.5), 2);
  EXPECT_EQ(plat::CLng(-3.5), -4);
  EXPECT_EQ(plat::Int(-2.5), -3);
  EXPECT_EQ(plat::Fix(-2.5), -2);
  EXPECT_THROW(plat::CInt(32767.5), plat::RuntimeError);
  EXPECT_EQ(plat::CInt(32766.5), 32766);
  EXPECT_THROW(plat::CByte(-0.6), plat::RuntimeError);
  EXPECT_EQ(plat::CByte(-0.4), 0);
}

TEST(Random, FixedSourceRepeatsAndStaysInRange) {
  plat::FixRandom(12345);
  float first[5];
  for (float& f : first) f = plat::Rnd();
  plat::FixRandom(12345);
  plat::Randomize();  // reseeding is ignored while a test holds the source
  for (float f : first) EXPECT_EQ(plat::Rnd(), f);
  for (int i = 0; i < 10000; ++i) {
    const float f = plat::Rnd();
    ASSERT_GE(f, 0.0f);
    ASSERT_LT(f, 1.0f);
  }
  plat::UnfixRandom();
}

TEST(Strings, InStrIgnoresCase) {
  EXPECT_EQ(plat::InStrNoCase("C:\\Game\\pic\\x.bmp", "c:\\game"), 1u);
  EXPECT_EQ(plat::InStrNoCase("abc", "d"), 0u);
}
