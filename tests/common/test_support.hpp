#pragma once
// Shared test helpers: a scratch program folder per test.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plat {
class ScratchFolder;
}

namespace fwtest {

// A fresh folder under the system's temporary folder, made the program
// folder (and AppPath) for the test's life, and removed afterwards.
class TempProgramFolder {
 public:
  TempProgramFolder();
  ~TempProgramFolder();
  TempProgramFolder(const TempProgramFolder&) = delete;
  TempProgramFolder& operator=(const TempProgramFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Native path of a file in the folder (relative path with "/").
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

 private:
  std::string path_;
};

// Writes the sample data set into a folder with the real mkdata; raises
// std::runtime_error when the tool fails.
void WriteSampleData(const std::string& folder);
// The sample data set, written once per test program into a temporary
// folder that is removed at exit.
const std::string& SampleDataFolder();

// Takes from this process the powers by which root writes into any folder
// whatever its mode (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER), so
// that a folder's mode refuses it as it refuses a player. For a child
// process only (a death test's); raises std::runtime_error when the system
// refuses.
void DropFilePowers();
// The same for this thread while the object lives, the powers raised again
// afterwards (they stay permitted): the main thread, and a screen running
// on it, meets a folder's mode as a player would without a child process.
class WithoutFilePowers {
 public:
  WithoutFilePowers() { DropFilePowers(); }
  ~WithoutFilePowers();
  WithoutFilePowers(const WithoutFilePowers&) = delete;
  WithoutFilePowers& operator=(const WithoutFilePowers&) = delete;
};

// Makes this process's file system one without hard links and without
// renames that refuse to replace, as some FUSE mounts are: link and linkat
// fail with EPERM, renameat2 with flags with EINVAL. For a child process
// only (it cannot be undone); raises std::runtime_error when the system
// refuses.
void WithoutHardLinks();

// What body answers, worked out in a forked child of this process, so that a
// call that might wait forever fails its test instead of hanging the run:
// nullopt when the child has not answered in full by the deadline (it is
// killed then) or died first. What body raises is its answer, prefixed
// "raised: ".
std::optional<std::string> AnswerInChild(const std::function<std::string()>& body,
                                         std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Folders of the form "<prefix><pid>-<anything>", and some that are not of
// it, in a temporary folder, as processes and players leave them there:
// made for real by processes that end where the mark is theirs, and by this
// one, which keeps one of its own of the prefix while the object lives.
// Each row names an entry and whether it stays when a process of the prefix
// clears the folder; what is left of them goes with the object.
class WorkingFolders {
 public:
  struct Row {
    std::string entry;  // relative to the temporary folder
    bool stays;
  };
  WorkingFolders(std::string temporaryFolder, const std::string& prefix);
  ~WorkingFolders();
  WorkingFolders(const WorkingFolders&) = delete;
  WorkingFolders& operator=(const WorkingFolders&) = delete;

  const std::vector<Row>& Rows() const { return rows_; }

 private:
  std::string root_;
  std::unique_ptr<plat::ScratchFolder> running_;
  std::vector<Row> rows_;
};

// The folder where the build put the executables (ferrowind, mkdata).
std::string BuildProgramFolder();
std::string MkdataPath();
// The repository's root (where run.sh and tools/ are).
std::string SourceFolder();

}  // namespace fwtest
