#pragma once
// Several files saved as one step. The new contents go first into a journal
// beside them, written atomically; then each file is replaced atomically;
// then the journal goes. A game killed at any moment leaves either no
// journal (every file old, or every file new) or a whole journal, which the
// next start plays to its end before anything reads the files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

struct FileContent {
  std::string gamePath;  // inside the journal's folder or below it
  std::string bytes;
};

// The journal's name in the folder it serves.
inline constexpr std::string_view kSaveJournalName = "SaveJournal.bin";

// Writes every file or, on failure, returns false. A failure before the
// journal stands changes nothing; one after it leaves the journal, so the
// next start finishes the step. Files outside the folder are refused.
bool WriteFilesTogether(std::string_view gameFolder, const std::vector<FileContent>& files);

// Finishes a step a killed game left in gameFolder. Returns "" when there
// was nothing to do or the step is now complete; otherwise the reason, and
// the journal stays for the next try. A journal that is not one this game
// wrote whole is removed unread, and the files are left as they are.
std::string RecoverFilesWrittenTogether(std::string_view gameFolder);

// The journal's format, for the functions above and for tests. Paths in it
// are relative to its folder, "/"-separated.
std::string EncodeSaveJournal(const std::vector<FileContent>& relativeFiles);
// nullopt for anything that is not a whole journal with safe relative paths.
std::optional<std::vector<FileContent>> DecodeSaveJournal(std::string_view bytes);

}  // namespace plat
