#pragma once
// The files the game writes in its program folder, named once: the
// profiles, each profile's goods and the settings. A save of one never
// writes another through a link, and the start clears what a killed save
// left beside each.
#include <string>
#include <string_view>
#include <vector>

namespace plat {

inline constexpr std::string_view kProfilesFile = "User.INI";
inline constexpr std::string_view kSettingsFile = "Default.cfg";
inline constexpr std::string_view kSaveFolder = "save";  // the goods' folder
inline constexpr int kGoodsFiles = 6;
// The journal of a save of the profiles and goods, in the folder it serves
// (see save_together.hpp): never reached through a link of its own.
inline constexpr std::string_view kSaveJournalName = "SaveJournal.bin";

// Profile n's goods (1 to kGoodsFiles), relative to the program folder,
// with the game's separator: "save\user<n>.DAT".
std::string GoodsFile(int profile);
// Every one of them, relative to the program folder ("User.INI",
// "save\user1.DAT" ..., "Default.cfg").
std::vector<std::string> GameFiles();
// The game file (as GameFiles names it, "/"-separated) whose entry a link at
// gamePath leads to, its links followed the same way, when that is not
// gamePath's own, or the journal's entry by its own name; "" otherwise. A
// name that is no link reaches only itself.
std::string OtherGameFileReached(std::string_view gameFolder, std::string_view gamePath);
// Removes what saves of games no longer running left: in the game folder,
// in its save folder, and beside each file a link among the game's files
// leads to (that file's own temporary names only).
void RemoveStaleGameSaveFiles(std::string_view gameFolder);

}  // namespace plat
