// mkdata <program folder>: writes the complete sample data set.
#include "tools/mkdata/mkdata.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "engine/pack.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/temp_folder.hpp"
#include "tools/mkdata/program_folder.hpp"

namespace mkdata {
namespace fs = std::filesystem;

namespace {
struct Registered {
  const char* name;
  int order;
  StepFn fn;
};
std::vector<Registered>& Steps() {
  static std::vector<Registered> steps;
  return steps;
}

void WriteBytes(const fs::path& p, const void* data, size_t size) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!f) throw std::runtime_error("cannot write " + p.string());
}
}  // namespace

Step::Step(const char* name, int order, StepFn fn) { Steps().push_back({name, order, fn}); }

Context::Context(std::string programFolder)
    : out_(std::move(programFolder)), work_(std::make_unique<plat::ScratchFolder>(kScratchPrefix)),
      loose_(work_->Path() + "/loose") {
  // The program folder's own spelling stands, whatever characters it holds.
  plat::SetProgramFolder(out_);
  fs::create_directories(loose_);
  fs::create_directories(Packed());
  // Both archives exist whatever the steps put in them: start-up opens both.
  for (const std::string& a : kArchives) {
    archives_.push_back(a);
    fs::create_directories(Staging(a));
  }
}

Context::~Context() = default;

std::string Context::Staging(const std::string& archive) const { return work_->Path() + "/staging/" + archive; }

std::string Context::Packed() const { return work_->Path() + "/packed"; }

void Context::Member(const std::string& archive, const std::string& name, const void* data, size_t size) {
  if (std::find(archives_.begin(), archives_.end(), archive) == archives_.end()) archives_.push_back(archive);
  WriteBytes(fs::path(Staging(archive)) / name, data, size);
}

void Context::Loose(const std::string& rel, const void* data, size_t size) { WriteBytes(fs::path(loose_) / rel, data, size); }

std::string Context::Scratch(const std::string& name) const {
  fs::path p = fs::path(work_->Path()) / "scratch";
  fs::create_directories(p);
  return (p / name).string();
}

bool Context::PackArchives() {
  for (const std::string& archive : archives_) {
    fw::qelPackage pack;
    pack.FilePath = Staging(archive);
    pack.TempPath = Packed();
    if (!pack.AddArchive(archive)) return false;
    std::printf("mkdata: %s: %d members\n", archive.c_str(), pack.PackFiles->Count());
  }
  return true;
}

Verdict Context::Install() const { return mkdata::Install(out_, loose_, Packed(), archives_); }

std::string Quote(std::string_view s) {
  std::string q(1, '"');
  q.append(s).push_back('"');
  return q;
}

std::string Records(const std::vector<std::string>& lines) {
  std::string out;
  // The tables are in the game's code page, as the original data is.
  for (const auto& l : lines) out += plat::FromUtf8(l) + "\r\n";
  return out;
}

}  // namespace mkdata

int main(int argc, char** argv) {
  const bool state = argc == 3 && std::string_view(argv[1]) == "--state";
  // An option it does not know is no folder to write the set into; a folder
  // whose name begins with "-" is named "./-x".
  if ((argc != 2 && !state) || argv[argc - 1][0] == '-') {
    std::fprintf(stderr, "usage: mkdata [--state] <program folder>\n");
    return 2;
  }
  std::string folder = std::filesystem::absolute(argv[argc - 1]).string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  // A run killed while it made the set left its working folder: any run
  // takes those of runs no longer running, whatever it finds in the folder.
  plat::RemoveEndedScratchFolders(mkdata::kScratchPrefix);
  try {
    if (state) {
      std::printf("%s\n", mkdata::FolderState(folder).c_str());
      return 0;
    }
    // Before the set is made: a folder with game data gets nothing.
    const mkdata::Judgement judged = mkdata::Judge(folder);
    const mkdata::Verdict verdict = judged.verdict;
    if (verdict == mkdata::Verdict::GiveUp) {
      mkdata::GiveUp(folder, judged);
      return 0;
    }
    if (verdict == mkdata::Verdict::Write)
      std::printf("No game data in %s: writing the sample data set.\n", folder.c_str());
    else if (verdict == mkdata::Verdict::Doubled)
      std::printf("Archives stand beside others of their names in %s: making the sample data set to tell its own.\n",
                  folder.c_str());
    else
      std::printf("The sample data set in %s was cut short: finishing it.\n", folder.c_str());
    std::fflush(stdout);
    mkdata::Context ctx(folder);
    auto steps = mkdata::Steps();
    std::sort(steps.begin(), steps.end(),
              [](const auto& a, const auto& b) { return std::tie(a.order, a.name) < std::tie(b.order, b.name); });
    for (const auto& s : steps) s.fn(ctx);
    if (!ctx.PackArchives()) {
      std::fprintf(stderr, "mkdata: packing the archives failed\n");
      return 1;
    }
    ctx.Install();
  } catch (const mkdata::Refusal& e) {
    if (!state) mkdata::RemoveStagingLeftovers(folder);
    std::fprintf(stderr, "mkdata: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdata: %s\n", e.what());
    return 1;
  }
  return 0;
}
