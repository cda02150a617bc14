#include "platform/runtime/game_files.hpp"

namespace plat {

std::string GoodsFile(int profile) { return "save\\user" + std::to_string(profile) + ".DAT"; }

std::string LinkToGameFileText(std::string_view reached) {
  return "a link to " + std::string(reached) + ", another of the game's files";
}

std::vector<std::string> GameFiles() {
  std::vector<std::string> files{std::string(kProfilesFile)};
  for (int n = 1; n <= kGoodsFiles; ++n) files.push_back(GoodsFile(n));
  files.emplace_back(kSettingsFile);
  return files;
}

}  // namespace plat
