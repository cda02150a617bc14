#include "platform/runtime/game_files.hpp"

#include "platform/runtime/files.hpp"

namespace plat {

std::string GoodsFile(int profile) {
  return std::string(kSaveFolder).append("\\user").append(std::to_string(profile)).append(".DAT");
}

void RemoveStaleGameSaveFiles(std::string_view gameFolder) {
  const std::string folder(gameFolder);
  RemoveStaleSaveFiles(folder);
  RemoveStaleSaveFiles(folder + "\\" + std::string(kSaveFolder));
  // A save through a player's link stages its file beside the file the link
  // leads to.
  for (const std::string& file : GameFiles()) RemoveStaleSaveFilesOf(folder + "\\" + file);
}

std::vector<std::string> GameFiles() {
  std::vector<std::string> files{std::string(kProfilesFile)};
  for (int n = 1; n <= kGoodsFiles; ++n) files.push_back(GoodsFile(n));
  files.emplace_back(kSettingsFile);
  return files;
}

}  // namespace plat
