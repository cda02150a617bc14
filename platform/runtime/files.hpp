#pragma once
// Files as the game names them: Windows-style paths ("\" separators) under
// the program folder, with names matched without regard to letter case.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The folder of the executable, without a trailing separator. Tests may
// point it elsewhere.
const std::string& ProgramFolder();
void SetProgramFolder(std::string folder);

// A game path as a path on this machine: "\" becomes "/", and each part that
// does not exist with its own spelling is matched against the existing
// entries without regard to case. Parts that match nothing keep their
// spelling, so the result is also right for a file about to be created.
std::string NativePath(std::string_view gamePath);

bool FileExists(std::string_view gamePath);  // a regular file
bool DirExists(std::string_view gamePath);
// The runtime's Dir for one name: the name found (without folder), or "".
// Only plain files count, as with normal attributes: no folders and no
// hidden (dot) files.
std::string Dir(std::string_view gamePath);
// Plain files directly in a folder, in name order.
std::vector<std::string> ListFiles(std::string_view gameFolder);

std::optional<std::vector<uint8_t>> ReadAllBytes(std::string_view gamePath);
std::optional<std::string> ReadAllText(std::string_view gamePath);
// Writes beside the target and renames over it, so the old file survives any
// failure. Returns false (and leaves the old file) when anything fails.
bool WriteFileAtomic(std::string_view gamePath, const void* data, size_t size);
inline bool WriteFileAtomic(std::string_view gamePath, std::string_view text) {
  return WriteFileAtomic(gamePath, text.data(), text.size());
}
// Plain write (temporary copies, captures); false on failure.
bool WriteFile(std::string_view gamePath, const void* data, size_t size);
// Deletes a file; true when it is gone afterwards (also when it never was).
bool RemoveFile(std::string_view gamePath);
bool MakeDir(std::string_view gamePath);
// File length in bytes, or -1 when there is no such file.
int64_t FileLen(std::string_view gamePath);

// Test hook: makes the next atomic write fail after writing its temporary
// file and before the rename, as a crash there would.
void FailNextAtomicRename();

}  // namespace plat
