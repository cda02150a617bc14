// libs: fw_engine
// The save journal from arbitrary bytes: only a whole journal whose paths
// stay inside its folder decodes, and it encodes back to the same files;
// the start applies only one that holds at most User.INI of six records
// and equipment files of profiles 1 to 6, each once.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/last_save.hpp"
#include "engine/profile_record.hpp"
#include "platform/runtime/save_together.hpp"

namespace {
std::string Lower(std::string_view path) {
  std::string lower;
  for (const char c : path) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bool overUnfinished = false;
  const auto files = plat::DecodeSaveJournal(bytes, &overUnfinished);
  if (!files) return 0;
  for (const plat::FileContent& f : *files) {
    // Every part a plain name: nothing reaches outside the folder.
    std::string_view rest = f.gamePath;
    while (true) {
      const size_t slash = rest.find('/');
      const std::string_view part = rest.substr(0, slash);
      if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string_view::npos) __builtin_trap();
      if (slash == std::string_view::npos) break;
      rest.remove_prefix(slash + 1);
    }
  }
  // Journals of this version encode back to the same bytes; earlier ones
  // at least to the same files.
  const std::string again = plat::EncodeSaveJournal(*files, overUnfinished);
  if ((bytes.starts_with("FWSAVEJ2") || bytes.starts_with("FWSAVEJ3")) && again != bytes) __builtin_trap();
  bool againOverUnfinished = false;
  const auto back = plat::DecodeSaveJournal(again, &againOverUnfinished);
  if (!back || back->size() != files->size() || againOverUnfinished != overUnfinished) __builtin_trap();
  for (size_t i = 0; i < files->size(); ++i) {
    const plat::FileContent &a = (*files)[i], &b = (*back)[i];
    if (a.gamePath != b.gamePath || a.bytes != b.bytes || a.remove != b.remove || a.before != b.before)
      __builtin_trap();
    if (a.remove && !a.bytes.empty()) __builtin_trap();
  }
  // No file stands on the disk: no tail to keep.
  const std::vector<plat::FileNow> absent(files->size(), plat::FileNow{std::nullopt, ENOENT});
  const plat::JournalVerdict verdict = fw::ProfileJournalProblem(*files, absent);
  if (verdict.unread) __builtin_trap();
  if (verdict.problem.empty()) {
    int profiles = 0;
    unsigned seen = 0;
    for (const plat::FileContent& f : *files) {
      const std::string lower = Lower(f.gamePath);
      if (lower == "user.ini") {
        ++profiles;
        if (f.bytes.size() != fw::kProfilesBytes || f.remove) __builtin_trap();
        continue;
      }
      if (lower.size() != 14 || lower.compare(0, 9, "save/user") != 0 || lower.compare(10, 4, ".dat") != 0 ||
          lower[9] < '1' || lower[9] > '6' || (seen & (1u << (lower[9] - '0'))))
        __builtin_trap();
      seen |= 1u << (lower[9] - '0');
    }
    if (profiles > 1) __builtin_trap();
  }
  // Every file there with its last byte changed since (User.INI may still
  // hold the step's records), or User.INI unreadable: only User.INI waits
  // or stays as it stands, and only goods are owed.
  for (const bool unreadable : {false, true}) {
    std::vector<plat::FileNow> now;
    for (const plat::FileContent& f : *files) {
      if (Lower(f.gamePath) == "user.ini" && unreadable) {
        now.push_back({std::nullopt, EIO});
        continue;
      }
      std::string bytes = f.bytes.empty() ? "x" : f.bytes;
      bytes.back() ^= 1;
      now.push_back({bytes});
    }
    const plat::JournalVerdict changed = fw::ProfileJournalProblem(*files, now);
    const auto isProfiles = [](const plat::FileContent* f) { return Lower(f->gamePath) == "user.ini"; };
    if (changed.unread && (!unreadable || !isProfiles(changed.unread))) __builtin_trap();
    for (const plat::FileContent* f : changed.landed)
      if (!isProfiles(f) || unreadable) __builtin_trap();
    for (const plat::FileContent* f : changed.owed)
      if (isProfiles(f)) __builtin_trap();
  }
  return 0;
}
