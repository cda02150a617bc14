#include "engine/key_config.hpp"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "engine/globals.hpp"
#include "engine/keep_aside.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/game_files.hpp"
#include "platform/runtime/save_together.hpp"
#include "platform/runtime/strings.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

std::array<int16_t, 18> KeyTable{};
int16_t MusicOn = 0;
int32_t SoundVol = 0;
int32_t MusicVol = 0;

namespace {
constexpr int32_t kMaxVolume = 10;
// The file's order, which is not the table's.
constexpr std::pair<const char*, int> kBindingKeys[] = {
    {"FORWARD", KEY_FORWARD},      {"BACKWARD", KEY_BACKWARD}, {"LEFT", KEY_LEFT},         {"RIGHT", KEY_RIGHT},
    {"FREESCROLL", KEY_FREESCROLL}, {"SMALLMAP", KEY_SMALLMAP}, {"STOP", KEY_STOP},         {"WEAPON0", KEY_WEAPON0},
    {"WEAPON1", KEY_WEAPON0 + 1},  {"WEAPON2", KEY_WEAPON0 + 2}, {"WEAPON3", KEY_WEAPON0 + 3}, {"WEAPON4", KEY_WEAPON0 + 4},
    {"WEAPON5", KEY_WEAPON0 + 5},  {"WEAPON6", KEY_WEAPON0 + 6}, {"WEAPON7", KEY_WEAPON0 + 7}, {"WEAPON8", KEY_WEAPON0 + 8},
    {"WEAPON9", KEY_WEAPON0 + 9},  {"TURRENT", KEY_TURRENT},
};
// Far above the 21 records the file holds.
constexpr uint64_t kMostKeyConfigBytes = uint64_t{1} << 20;

// The settings held did not all come from the file as it stands: a read of
// it failed or stopped since it last read whole, and it was not kept aside
// since, so it is kept aside before a save replaces it.
bool g_keepAside = false;
std::string g_told;    // the last notice given of the file, "" once it reads whole
std::string g_notice;  // for the screen that reads or saves the file next
// What the game found at the name when it last read it, or what its own
// save wrote there (nothing before any read): a save over another file
// keeps that aside first. NotLookedAt where the read's look failed.
plat::FoundAtName g_found = plat::FoundAtName::Nothing();

std::string FileName(const std::string& name) { return name.substr(name.find_first_not_of("\\/")); }

// One record of the file: its key in upper case, and its value.
struct Record {
  std::string key;
  int32_t value = 0;
};
// The records of a file up to the first that cannot be read; whole when no
// record stopped the reading.
struct Records {
  std::vector<Record> read;
  bool whole = true;
};

const std::pair<const char*, int>* BindingOf(const std::string& key) {
  const auto* found = std::find_if(std::begin(kBindingKeys), std::end(kBindingKeys),
                                   [&key](const auto& binding) { return key == binding.first; });
  return found == std::end(kBindingKeys) ? nullptr : found;
}

Records ParseRecords(std::string text) {
  Records records;
  plat::TextRecordReader reader(std::move(text));
  try {
    while (!reader.AtEnd()) {
      std::string key = plat::UCase(reader.ReadString());
      const int32_t value = reader.ReadLong();
      if (BindingOf(key) &&
          (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max()))
        throw plat::RuntimeError(plat::ErrorCode::Overflow, "Overflow");
      records.read.push_back({std::move(key), value});
    }
  } catch (const plat::RuntimeError&) {
    records.whole = false;
  }
  return records;
}

void ApplyRecords(const std::vector<Record>& records) {
  for (const auto& [key, value] : records) {
    if (const auto* binding = BindingOf(key))
      KeyTable[static_cast<size_t>(binding->second)] = static_cast<int16_t>(value);
    // The setup screen's bars run from 0 to 10; a volume past them from a
    // hand-edited file overflows the bar's and the mixer's arithmetic.
    else if (key == "SOUNDVOL")
      SoundVol = std::clamp(value, 0, kMaxVolume);
    else if (key == "MUSICVOL")
      MusicVol = std::clamp(value, 0, kMaxVolume);
    else if (key == "VOLUME")
      MusicOn = value != 0 ? -1 : 0;
  }
}

// Whether the file a save finds at the name is kept aside before it is
// replaced: decided from the file as it stands then, so that whatever came
// there since the profile screen read it is kept too. A file that cannot be
// read whole is kept, and so is one whose settings were not read whole
// since; nothing at the name, or no regular file, holds nothing to keep,
// and one the judge knew for the game's own (mine: its bytes, or where
// they could not be read, the very file recorded) is no damaged file
// because the save's own read of it failed.
bool KeepsAsideBeforeSaving(const std::optional<std::string>& text, int error, bool mine) {
  if (!text) return g_keepAside || (!mine && !plat::NoRegularFile(error) && error != plat::kLinkToNoFile);
  return g_keepAside || !ParseRecords(*text).whole;
}
}  // namespace

bool SaveKeyConfig(const std::string& name) {
  const std::string path = AppPath + name;
  const std::string file = FileName(name);
  // A copy kept aside before a save that then failed is told with it: what
  // became of the file, and the copy's name.
  std::string keptWhy, keptAs;
  const auto refused = [&name, &keptWhy, &keptAs](int error, const std::string& leadsTo,
                                                  const std::string& refusingFolder = "") {
    const std::string cause = plat::ReplaceRefusal{error, leadsTo}.Why();
    // A folder that takes no new file (a link's target's, where the new
    // file is written) is what the player mends, not the file.
    const std::string folder =
        refusingFolder.empty() ? "" : plat::FolderNamed(AppPath, refusingFolder).Named() + ": ";
    LastError = "Unable to Save " + name + (error != 0 ? ": " + folder + cause : "");
    if (!keptAs.empty()) LastError += "; " + keptWhy + " and is kept aside as " + keptAs;
    return false;
  };
  // Read before the judge of what the save may replace, and checked once
  // more just before the rename: an edit of the player's that lands after
  // this read is seen by the one or refuses the other.
  const plat::SavedFileRead now = plat::ReadSavedFile(path, kMostKeyConfigBytes);
  // Another of the game's files reached through a link is neither kept
  // aside nor written. A file at the name that holds other bytes than the
  // game found there (come since, or changed since) is the player's: kept
  // aside, and told, before the settings just set replace it.
  // The bytes just read decide, without a second read that could fail.
  const plat::ReplaceRefusal may = plat::MayReplace(path, g_found, AppPath, &now);
  if (may.error == plat::kLinkToGameFile) return refused(may.error, may.leadsTo);
  const bool changed = may.error == plat::kChangedSinceRead;
  const bool keep = changed || KeepsAsideBeforeSaving(now.text, now.error, may.error == 0 && g_found.IsFile());
  // A judge that could not tell (a failed look, or a file not the game's
  // that cannot be read) lets nothing be written over what it could not
  // see, but a file the save keeps aside as it stands.
  if (may.error != 0 && !keep) return refused(may.error, may.leadsTo);
  std::string notice;
  if (keep) {
    const bool toldAtRead = g_keepAside;
    // No copy, no save: the old file stays.
    const KeptCopy kept =
        changed ? KeepAside(AppPath, file, "changed", "changed") : KeepAside(AppPath, file, "unreadable", "damaged");
    if (!kept.refusal.empty()) {
      LastError = kept.refusal;
      return false;
    }
    // Kept once, whatever becomes of the save.
    if (!kept.name.empty()) g_keepAside = false;
    // A copy that no read of the file told of is told by the save.
    if (!kept.name.empty() && (changed || (!now.text && !toldAtRead))) {
      keptAs = kept.name;
      keptWhy = changed ? ChangedSinceRead(file) : CannotBeRead(AppPath, file, now.error);
      notice = keptWhy + ": " + KeptAsideAs(keptAs) + ", and the settings are saved.";
    }
  }
  plat::TextRecordWriter w;
  for (const auto& [key, index] : kBindingKeys) w.String(key).Number(KeyTable[static_cast<size_t>(index)]).EndRecord();
  w.String("SOUNDVOL").Number(SoundVol).EndRecord();
  w.String("MUSICVOL").Number(MusicVol).EndRecord();
  w.String("VOLUME").Number(MusicOn != 0 ? 1 : 0).EndRecord();
  int error = 0;
  bool replaced = false, folderRefused = false;
  std::string leadsTo, refusingFolder;
  plat::FoundAtName landed;
  // Replaces only what this save found there, and never another of the
  // game's files through a link.
  const std::optional<plat::StagedFile> staged =
      plat::StageFileAtomic(path, w.Text(),
                            {.onlyOver = now.found,
                             .gameFolder = AppPath,
                             .error = &error,
                             .folderRefused = &folderRefused,
                             .refusingFolder = &refusingFolder,
                             .leadsTo = &leadsTo});
  if (!staged || !plat::CommitStagedFile(*staged, &error, &replaced, &landed)) {
    if (!replaced) return refused(error, leadsTo, folderRefused ? refusingFolder : "");
    // The file holds the settings: only the folder did not say they reached
    // the disk.
    notice += (notice.empty() ? "" : " ") + file + " was replaced, but its folder could not be synced (the game folder: " +
              plat::SystemErrorText(error) + ")";
  }
  g_found = landed;
  g_keepAside = false;
  if (!notice.empty()) g_notice = notice;
  return true;
}

void ReadKeyConfig(const std::string& name) {
  const std::string path = AppPath + name;
  plat::SavedFileRead read = plat::ReadSavedFile(path, kMostKeyConfigBytes);
  const int error = read.error;
  std::optional<std::string>& text = read.text;
  // What a save may replace without keeping it aside: the file read, or
  // none where the read found no file.
  g_found = read.found.LookedAt() || !(plat::NoRegularFile(error) || error == plat::kLinkToNoFile)
                ? read.found
                : plat::FoundAtName::Nothing();
  std::string notice;
  const std::string stay = ": the keys and volumes stay as they are";
  if (!text) {
    LastError = "Unable to Read " + name;
    // A missing file is a first run, and nothing is said of it. One that is
    // there leaves the keys unset without a word, and a save would replace
    // it: the player hears of each new cause once, and a file is kept aside
    // first.
    if (plat::NotThere(error)) {
      g_told.clear();
      return;
    }
    FileCause cause = CauseOf(AppPath, FileName(name), error);
    if (error == plat::kLinkToNoFile) cause.remedy = "it leads to a file";
    if (error == EISDIR || error == plat::kNotAFile) {
      notice = FileName(name) + (error == EISDIR ? " is a folder, not a file" : " is not a regular file") + stay + ".";
    } else if (!cause.remedy.empty()) {
      // Nothing to keep: what stands there cannot be reached.
      notice = "Unable to Read " + FileName(name) + " (" + cause.text + ")" + stay +
               "; nothing is saved over it until " + cause.remedy + ".";
    } else {
      g_keepAside = true;
      notice = "Unable to Read " + FileName(name) + " (" + cause.text + ")" + stay +
               ", and the file is kept aside at the next save of the settings.";
    }
  } else {
    const Records records = ParseRecords(std::move(*text));
    ApplyRecords(records.read);
    if (records.whole) {
      g_keepAside = false;
      g_told.clear();
      return;
    }
    LastError = "Unable to Read " + name;
    g_keepAside = true;
    notice = FileName(name) + " holds a line that cannot be read: the keys and volumes from there on stay as they "
             "are, and the file is kept aside at the next save of the settings.";
  }
  if (notice != g_told) g_notice = g_told = notice;
}

std::string TakeKeyConfigNotice() { return std::exchange(g_notice, std::string()); }

std::string KeyCodeName(int16_t code) {
  if (code >= 48 && code <= 57) return std::string(1, static_cast<char>(code));
  if (code >= 65 && code <= 90) return std::string(1, static_cast<char>(code));
  // Appending to the prefix rather than "Pad" + text, which GCC 12 in
  // Release warns about falsely (-Wrestrict).
  if (code >= 97 && code <= 105) return std::string("Pad").append(std::to_string(code - 96));
  if (code >= 112 && code <= 123) return std::string("F").append(std::to_string(code - 111));
  switch (code) {
    case 8: return "BackSpace";
    case 9: return "Tab";
    case 12: return "Clear";
    case 13: return "Enter";
    case 16: return "Shift";
    case 17: return "Ctrl";
    case 18: return "Alt";
    case 19: return "Pause";
    case 20: return "CapsLock";
    case 27: return "Esc";
    case 32: return "Space";
    case 33: return "PageUp";
    case 34: return "PageDown";
    case 35: return "End";
    case 36: return "Home";
    case 37: return "Left";
    case 38: return "UP";
    case 39: return "Right";
    case 40: return "Down";
    case 41: return "Select";
    case 42: return "Print";
    case 45: return "Insert";
    case 46: return "Delete";
    case 91:
    case 92: return "StartMenu";
    case 93: return "Option";
    case 106: return "Pad*";
    case 107: return "Pad+";
    case 109: return "Pad-";
    case 111: return "Pad/";
    case 144: return "NumLock";
    case 145: return "ScrollLock";
    case 186: return ";";
    case 187: return "=";
    case 188: return ",";
    case 189: return "-";
    case 190: return ".";
    case 191: return "/";
    case 192: return "`";
    case 219: return "[";
    case 220: return "\\";
    case 221: return "]";
    case 222: return "'";
    default: return "";
  }
}

}  // namespace fw
