#include "engine/key_config.hpp"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <utility>

#include "engine/globals.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
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
// it failed or stopped since it last read whole, so it is kept aside before
// a save replaces it.
bool g_keepAside = false;
std::string g_told;    // the last notice given of the file, "" once it reads whole
std::string g_notice;  // for the profile screen

std::string FileName(const std::string& name) { return name.substr(name.find_first_not_of("\\/")); }

// Reads the records of the file in turn, each into its setting where
// `apply`: false at the first it cannot read, those before it read.
bool ReadRecords(std::string text, bool apply) {
  plat::TextRecordReader reader(std::move(text));
  try {
    while (!reader.AtEnd()) {
      const std::string key = plat::UCase(reader.ReadString());
      const int32_t value = reader.ReadLong();
      bool matched = false;
      for (const auto& [fileKey, index] : kBindingKeys) {
        if (key != fileKey) continue;
        if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
          throw plat::RuntimeError(plat::ErrorCode::Overflow, "Overflow");
        if (apply) KeyTable[static_cast<size_t>(index)] = static_cast<int16_t>(value);
        matched = true;
        break;
      }
      if (matched || !apply) continue;
      // The setup screen's bars run from 0 to 10; a volume past them from a
      // hand-edited file overflows the bar's and the mixer's arithmetic.
      if (key == "SOUNDVOL")
        SoundVol = std::clamp(value, 0, kMaxVolume);
      else if (key == "MUSICVOL")
        MusicVol = std::clamp(value, 0, kMaxVolume);
      else if (key == "VOLUME")
        MusicOn = value != 0 ? -1 : 0;
    }
  } catch (const plat::RuntimeError&) {
    return false;
  }
  return true;
}
}  // namespace

bool SaveKeyConfig(const std::string& name) {
  const std::string path = AppPath + name;
  // Decided from the file as it stands just before it is replaced, so that
  // whatever came there since the profile screen read it is kept too.
  int error = 0;
  const std::optional<std::string> text = plat::ReadAllText(path, &error, kMostKeyConfigBytes);
  if (text ? g_keepAside || !ReadRecords(*text, false) : !plat::NoRegularFile(error)) {
    const std::string kept = plat::KeepCopyAside(path, "damaged", &error);
    // Gone since, or no regular file, it leaves nothing to keep (and the
    // save below refuses anything but a file); otherwise no copy, no save.
    if (kept.empty() && !plat::NoRegularFile(error)) {
      LastError = "Unable to keep the unreadable " + FileName(name) + " aside (" +
                  (error == EEXIST ? "every name " + FileName(name) + ".damaged-1 to -999 is taken"
                                   : plat::SystemErrorText(error)) +
                  "): nothing was saved";
      return false;
    }
  }
  plat::TextRecordWriter w;
  for (const auto& [key, index] : kBindingKeys) w.String(key).Number(KeyTable[static_cast<size_t>(index)]).EndRecord();
  w.String("SOUNDVOL").Number(SoundVol).EndRecord();
  w.String("MUSICVOL").Number(MusicVol).EndRecord();
  w.String("VOLUME").Number(MusicOn != 0 ? 1 : 0).EndRecord();
  if (!plat::WriteFileAtomic(path, w.Text(), {.error = &error})) {
    LastError = "Unable to Save " + name + (error != 0 ? ": " + plat::SystemErrorText(error) : "");
    return false;
  }
  g_keepAside = false;
  return true;
}

void ReadKeyConfig(const std::string& name) {
  const std::string path = AppPath + name;
  int error = 0;
  std::optional<std::string> text = plat::ReadAllText(path, &error, kMostKeyConfigBytes);
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
    if (error == EISDIR || error == plat::kNotAFile) {
      notice = FileName(name) + (error == EISDIR ? " is a folder, not a file" : " is not a regular file") + stay + ".";
    } else {
      g_keepAside = true;
      notice = "Unable to Read " + FileName(name) + " (" + plat::SystemErrorText(error) + ")" + stay +
               ", and the file is kept aside at the next save of the settings.";
    }
  } else if (!ReadRecords(std::move(*text), true)) {
    LastError = "Unable to Read " + name;
    g_keepAside = true;
    notice = FileName(name) + " holds a line that cannot be read: the keys and volumes from there on stay as they "
             "are, and the file is kept aside at the next save of the settings.";
  } else {
    g_keepAside = false;
    g_told.clear();
    return;
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
