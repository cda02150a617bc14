#pragma once
// The sample data writer. Each source file of the tool registers the steps
// that write what its part of the game reads. Everything is made in a
// private working folder first: members of the archives in staging folders
// that the game's own packer turns into "<archive>.INF" and "<archive>.PAK",
// the loose files in a folder of their own; only at the end does the set go
// into the program folder, around what the player has there
// (program_folder.hpp).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/mkdata/program_folder.hpp"

namespace plat {
class ScratchFolder;
}

namespace mkdata {

// The private working folder of a run is a ScratchFolder of this prefix:
// each run removes those of runs no longer running (killed part-way).
inline const std::string kScratchPrefix = "mkdata-";

class Context {
 public:
  explicit Context(std::string programFolder);
  ~Context();

  // Where the loose files gather before they go into the program folder
  // (native path, no trailing slash): a step that writes one with the
  // game's own writer points it here.
  const std::string& LooseFolder() const { return loose_; }
  // A member of "Data" or "MissionPack".
  void Member(const std::string& archive, const std::string& name, const void* data, size_t size);
  void Member(const std::string& archive, const std::string& name, std::string_view text) {
    Member(archive, name, text.data(), text.size());
  }
  // A file under the program folder; relative path with "/" separators.
  // One the player has under any spelling stays as it is.
  void Loose(const std::string& relativePath, const void* data, size_t size);
  void Loose(const std::string& relativePath, std::string_view text) { Loose(relativePath, text.data(), text.size()); }
  // A scratch file name for encoders that write to files.
  std::string Scratch(const std::string& name) const;
  // Packs every staged archive with the game's packer; false on failure.
  bool PackArchives();
  // Puts the loose files and the packed archives into the program folder
  // (Install in program_folder.hpp).
  Verdict Install() const;

 private:
  std::string Staging(const std::string& archive) const;
  std::string Packed() const;
  std::string out_;
  std::unique_ptr<plat::ScratchFolder> work_;
  std::string loose_;
  std::vector<std::string> archives_;
};

using StepFn = void (*)(Context&);

// Registers a step; steps run in ascending order, then by name.
struct Step {
  Step(const char* name, int order, StepFn fn);
};

// Text records as the game's tables hold them: written here in UTF-8, stored
// in the game's code page with CR LF line ends.
std::string Records(const std::vector<std::string>& lines);
std::string Quote(std::string_view s);

}  // namespace mkdata
