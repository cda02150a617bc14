#include "tests/common/test_support.hpp"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <cstdlib>
#include <stdexcept>

#include "engine/globals.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/temp_folder.hpp"

namespace fwtest {
namespace fs = std::filesystem;

TempProgramFolder::TempProgramFolder() {
  std::string tmpl = (fs::temp_directory_path() / "fwtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  plat::SetProgramFolder(path_);
  fw::AppPath = path_;
}

TempProgramFolder::~TempProgramFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempProgramFolder::Write(const std::string& rel, const std::string& bytes) const {
  fs::create_directories(fs::path(File(rel)).parent_path());
  std::ofstream f(File(rel), std::ios::binary | std::ios::trunc);
  f << bytes;
}

std::string TempProgramFolder::Read(const std::string& rel) const {
  std::ifstream f(File(rel), std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool TempProgramFolder::Exists(const std::string& rel) const { return fs::exists(File(rel)); }

void WriteSampleData(const std::string& folder) {
  // The tool's own leaks at exit are none of the tests' business.
  const std::string cmd = "ASAN_OPTIONS=detect_leaks=0 '" + MkdataPath() + "' '" + folder + "' >/dev/null";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("mkdata failed for " + folder);
}

const std::string& SampleDataFolder() {
  struct Folder {
    std::string path;
    pid_t owner = getpid();
    Folder() {
      std::string tmpl = (fs::temp_directory_path() / "fwsample-XXXXXX").string();
      if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
      path = tmpl;
      WriteSampleData(path);
    }
    // Death tests' children exit through here too: only the process that
    // wrote the folder removes it.
    ~Folder() {
      if (getpid() != owner) return;
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  };
  static Folder folder;
  return folder.path;
}

namespace {
// Takes the file powers out of this thread's effective set, or puts back
// those of them it is permitted.
void SetFilePowers(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) throw std::runtime_error("capget failed");
  for (const int power : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
    __user_cap_data_struct& d = data[power / 32];
    const uint32_t bit = 1u << (power % 32);
    d.effective = on ? d.effective | (d.permitted & bit) : d.effective & ~bit;
  }
  if (::syscall(SYS_capset, &header, data) != 0) throw std::runtime_error("capset failed");
}
}  // namespace

void DropFilePowers() { SetFilePowers(false); }

WithoutFilePowers::~WithoutFilePowers() { SetFilePowers(true); }

void WithoutHardLinks() {
  constexpr uint32_t kDenied = SECCOMP_RET_ERRNO | EPERM, kUnsupported = SECCOMP_RET_ERRNO | EINVAL;
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#ifdef __NR_link
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_link, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, kDenied),
#endif
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_linkat, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, kDenied),
      // renameat2 with any flags; its flags are its fifth argument (the low
      // word, which holds them all, on a little-endian machine).
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args) + 4 * sizeof(uint64_t)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, kUnsupported),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) != 0)
    throw std::runtime_error("the system refuses a file-call filter");
}

std::optional<std::string> AnswerInChild(const std::function<std::string()>& body,
                                         std::chrono::milliseconds deadline) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    ::close(ends[0]);
    std::string answer;
    try {
      answer = body();
    } catch (const std::exception& e) {
      answer = std::string("raised: ") + e.what();
    }
    for (size_t done = 0; done < answer.size();) {
      const ssize_t n = ::write(ends[1], answer.data() + done, answer.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ::_exit(1);
      done += static_cast<size_t>(n);
    }
    ::_exit(0);  // no exit handlers of the test program: they belong to the parent
  }
  ::close(ends[1]);
  std::string answer;
  bool ended = false;
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!ended) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    pollfd p{ends[0], POLLIN, 0};
    const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buf[4096];
    const ssize_t n = ::read(ends[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    ended = n == 0;
    answer.append(buf, static_cast<size_t>(std::max<ssize_t>(n, 0)));
  }
  ::close(ends[0]);
  if (!ended) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return answer;
}

WorkingFolders::WorkingFolders(std::string temporaryFolder, const std::string& prefix)
    : root_(std::move(temporaryFolder)) {
  const auto write = [this](const std::string& relative, const std::string& bytes) {
    fs::create_directories(fs::path(root_ + "/" + relative).parent_path());
    std::ofstream(root_ + "/" + relative, std::ios::binary) << bytes;
  };
  // First: making one clears what ended processes left.
  running_ = std::make_unique<plat::ScratchFolder>(prefix);
  const std::string running = fs::path(running_->Path()).filename().string() + "/data";
  write(running + "/x", "in use");
  // Left behind on purpose by processes that end at once.
  const auto byEnded = [&](const std::string& of) {
    const auto made = AnswerInChild([&] { return (new plat::ScratchFolder(of))->Path(); });
    if (!made || fs::path(*made).parent_path() != root_) throw std::runtime_error("no folder made in a child");
    const std::string name = fs::path(*made).filename().string();
    write(name + "/data/x", "left");
    return name;
  };
  const std::string killed = byEnded(prefix), anothers = byEnded("fwy-") + "/data";
  // Killed with its mark written beside its name, before it was given it.
  const pid_t unnamed = ::fork();
  if (unnamed == 0) {
    plat::FailNextFileCall(plat::FileCall::Rename, 0);
    plat::ScratchFolder never(prefix);
    ::_exit(1);
  }
  while (::waitpid(unnamed, nullptr, 0) < 0 && errno == EINTR) {
  }
  std::string killedBeforeNaming;
  for (const auto& e : fs::directory_iterator(root_))
    if (e.path().filename().string().starts_with(prefix + std::to_string(unnamed) + "-"))
      killedBeforeNaming = e.path().filename().string();
  if (killedBeforeNaming.empty() || fs::exists(root_ + "/" + killedBeforeNaming + "/" + plat::kMakerMark))
    throw std::runtime_error("no folder left with its mark unnamed");
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  while (::waitpid(ended, nullptr, 0) < 0 && errno == EINTR) {
  }
  const std::string dead = std::to_string(ended), mine = std::to_string(::getpid());
  const std::string mark = std::string("/") + plat::kMakerMark;
  write(prefix + mine + "-earlier" + mark, mine + " 1\n");  // an ended process of this number
  write(prefix + mine + "-earlier/data/x", "left");
  write(prefix + dead + "-notes/keep", "player's");
  fs::create_directory(root_ + "/" + prefix + dead + "-empty");
  fs::create_directory(root_ + "/" + prefix + mine + "-fresh");
  write(prefix + dead + "-notamark" + mark, "the player's notes\n");
  write(prefix + dead + "-file", "player's");
  write(prefix + dead + "/keep", "player's");
  write("elsewhere/keep", "player's");
  fs::create_directory_symlink(root_ + "/elsewhere", root_ + "/" + prefix + dead + "-link");
  rows_ = {
      {killed, false},                      // its maker's mark, and its maker has ended
      {running, true},                      // its maker's mark, and its maker runs
      {prefix + mine + "-earlier", false},  // the mark of a process that started before this one
      {prefix + dead + "-notes", true},     // no mark and files in it: a player's
      {prefix + dead + "-empty", false},    // no mark and empty: its maker was killed before it marked it
      {killedBeforeNaming, false},          // no mark but the one its maker was killed before naming
      {prefix + mine + "-fresh", true},     // no mark yet, and its maker runs
      {prefix + dead + "-notamark", true},  // a player's file at the mark's name
      {prefix + dead + "-file", true},
      {prefix + dead + "/keep", true},
      {prefix + dead + "-link", true},
      {"elsewhere/keep", true},
      {anothers, true},  // another program's prefix
  };
}

WorkingFolders::~WorkingFolders() {
  std::error_code ec;
  for (const Row& row : rows_) fs::remove_all(root_ + "/" + fs::path(row.entry).begin()->string(), ec);
}

std::string BuildProgramFolder() { return FW_PROGRAM_DIR; }
std::string MkdataPath() { return FW_MKDATA_PATH; }
std::string SourceFolder() { return FW_SOURCE_DIR; }

}  // namespace fwtest
