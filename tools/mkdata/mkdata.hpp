#pragma once
// The sample data writer. Each source file of the tool registers the steps
// that write what its part of the game reads; members of the archives are
// written into staging folders that the game's own packer turns into
// "<archive>.INF" and "<archive>.PAK" at the end.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mkdata {

class Context {
 public:
  explicit Context(std::string programFolder);

  // The program folder being filled (native path, no trailing slash).
  const std::string& Out() const { return out_; }
  // A member of "Data" or "MissionPack".
  void Member(const std::string& archive, const std::string& name, const void* data, size_t size);
  void Member(const std::string& archive, const std::string& name, std::string_view text) {
    Member(archive, name, text.data(), text.size());
  }
  // A file under the program folder; relative path with "/" separators.
  void Loose(const std::string& relativePath, const void* data, size_t size);
  void Loose(const std::string& relativePath, std::string_view text) { Loose(relativePath, text.data(), text.size()); }
  // True when the program folder already holds a file of this name, in any
  // letter case: the player's own, which the sample set never replaces.
  bool HasLoose(std::string_view name) const;
  // A scratch file name for encoders that write to files.
  std::string Scratch(const std::string& name) const;
  // Packs every staged archive with the game's packer; false on failure.
  bool PackArchives();

 private:
  std::string Staging(const std::string& archive) const;
  std::string out_;
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
