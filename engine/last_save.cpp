#include "engine/last_save.hpp"

#include <cerrno>

#include "engine/keep_aside.hpp"
#include "engine/profile_record.hpp"
#include "platform/display/message_box.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {
namespace {
constexpr std::string_view kJournal = plat::kSaveJournalName;

// Like every message of the last save, in UTF-8: they name the game folder
// and its entries as the system spells them.
std::string g_notice;

// The profile number of "save/user<n>.DAT", or 0 for any other path.
int EquipmentProfile(const std::string& lowerPath) {
  constexpr std::string_view kStart = "save/user", kEnd = ".dat";
  if (lowerPath.size() != kStart.size() + 1 + kEnd.size() || lowerPath.compare(0, kStart.size(), kStart) != 0 ||
      lowerPath.compare(kStart.size() + 1, kEnd.size(), kEnd) != 0)
    return 0;
  const char n = lowerPath[kStart.size()];
  return n >= '1' && n <= '6' ? n - '0' : 0;
}
}  // namespace

plat::JournalVerdict ProfileJournalProblem(const std::vector<plat::FileContent>& files,
                                          const std::vector<plat::FileNow>& now) {
  const plat::FileContent* profiles = nullptr;
  const plat::FileNow* profilesNow = nullptr;
  bool seen[7] = {};
  for (size_t i = 0; i < files.size(); ++i) {
    const plat::FileContent& f = files[i];
    const std::string lower = plat::LCase(f.gamePath);
    if (lower == "user.ini") {
      if (profiles) return {std::string(kJournal) + " names User.INI twice"};
      if (f.remove) return {std::string(kJournal) + " removes User.INI"};
      profiles = &f;
      profilesNow = &now[i];
    } else if (const int n = EquipmentProfile(lower); n > 0) {
      if (seen[n]) return {std::string(kJournal) + " names " + f.gamePath + " twice"};
      seen[n] = true;
    } else {
      return {std::string(kJournal) + " names " + f.gamePath + ", which is no profile's file"};
    }
  }
  if (!profiles) return {};
  if (profiles->bytes.size() != kProfilesBytes) {
    const std::string& bytes = profiles->bytes;
    // The game writes the six records and keeps what follows them in the
    // file; anything else is no save of this game's. Only the file tells.
    if (profilesNow->Unreadable()) return {"", profiles};
    std::string tail;
    if (profilesNow->bytes && profilesNow->bytes->size() > kProfilesBytes)
      tail = profilesNow->bytes->substr(kProfilesBytes);
    if (bytes.size() != kProfilesBytes + tail.size() || bytes.compare(kProfilesBytes, tail.size(), tail) != 0)
      return {"User.INI in " + std::string(kJournal) + " holds " + std::to_string(bytes.size()) +
              " bytes where the six profiles take " + std::to_string(kProfilesBytes)};
  }
  // Where User.INI holds the step's record of a profile, the money its goods
  // were paid with was spent: they are owed, as the running game owes them
  // (by the same record), whatever became of their files or of the rest of
  // User.INI since. A refit leaving the money as it was pays for nothing.
  plat::JournalVerdict verdict;
  if (!plat::StepChanges(*profiles)) return verdict;
  const plat::Holds holds = plat::WhatItHolds(*profiles, *profilesNow);
  bool goods = false, anyOther = false, allRecordsNew = true;
  for (size_t i = 0; i < files.size(); ++i) {
    const int n = EquipmentProfile(plat::LCase(files[i].gamePath));
    if (n == 0) continue;
    goods = true;
    const bool other = plat::WhatItHolds(files[i], now[i]) == plat::Holds::Other && !now[i].NoFile();
    anyOther = anyOther || other;
    const bool recordNew =
        holds == plat::Holds::NewContent ||
        (profilesNow->bytes && ProfileRecordAt(*profilesNow->bytes, n) == ProfileRecordAt(profiles->bytes, n));
    allRecordsNew = allRecordsNew && recordNew;
    if (other && recordNew) verdict.owed.push_back(&files[i]);
  }
  // Whether a goods file the player changed is owed turns on the record: the
  // start waits until it can be read. Any other unreadable file is kept
  // aside and the step finished.
  if (holds == plat::Holds::Unreadable && anyOther) verdict.unread = profiles;
  // The rest of User.INI is the player's: it stays as it stands.
  if (holds == plat::Holds::Other && goods && allRecordsNew) verdict.landed.push_back(profiles);
  return verdict;
}

namespace {
// The profiles whose goods the step saves where User.INI may hold the money
// they were paid with: the step changed it, and it no longer holds what it
// held before the step.
std::vector<int> MoneyMayHaveLanded(const std::vector<plat::FileContent>& files,
                                    const std::vector<plat::FileNow>& now) {
  std::vector<int> profiles;
  bool changed = false;
  for (size_t i = 0; i < files.size(); ++i) {
    if (const int n = EquipmentProfile(plat::LCase(files[i].gamePath)); n > 0) {
      profiles.push_back(n);
    } else if (plat::LCase(files[i].gamePath) == "user.ini" && plat::StepChanges(files[i])) {
      const plat::Holds holds = plat::WhatItHolds(files[i], now[i]);
      changed = holds != plat::Holds::OldContent && holds != plat::Holds::Unknown;
    }
  }
  if (!changed) profiles.clear();
  return profiles;
}

// When a start that stopped can go on: what the cause asks of the player,
// about the entry that refused.
std::string Remedy(const plat::JournalRecovery& r, const std::string& gameFolder) {
  const std::string folder = "the game folder " + plat::NativePath(gameFolder);
  const std::string place = r.entry.IsTheFolder() ? folder : r.entry.path + " in " + folder;
  const std::string entry = r.entry.IsTheFolder() ? gameFolder : gameFolder + "\\" + r.entry.path;
  const bool anotherUsers = plat::OwnedByAnotherUser(entry);
  // A link the game cannot follow is mended at the link, not at any file.
  const std::string link = "the link " + place + " leads to a file or is removed";
  // A file that stays unreadable for good must not lock the player out: the
  // last save can be given up, at a price worth telling.
  const std::string giveUp = r.unreadable ? "; moving " + std::string(kJournal) +
                                                " out of the game folder gives the last save up, after which a "
                                                "profile's money and goods may no longer belong together"
                                          : "";
  // A folder the game may not search refuses every look inside it, whatever
  // else it allows: being readable or writable does not mend that.
  if (r.error == EACCES && plat::LookAtFile(entry + "\\.") == EACCES)
    return (anotherUsers ? "the owner of " + place + ", or an administrator, lets the game search it"
                         : place + " can be searched (chmod u+x)") +
           giveUp;
  if (r.unreadable) {
    if (r.error == EIO) return "the disk of " + folder + " reads and writes without errors" + giveUp;
    if (r.error == ELOOP) return link + giveUp;
    if (anotherUsers) return "the owner of " + place + ", or an administrator, gives it back" + giveUp;
    return place + " can be read" + giveUp;
  }
  switch (r.error) {
    case ENOSPC:
    case EDQUOT: return "the disk of " + folder + " has room";
    // The disk may have room: a limit set on the session refuses the size.
    case EFBIG: return "the file size limit (ulimit -f) lets it write its files";
    case EIO: return "the disk of " + folder + " reads and writes without errors";
    case EISDIR:
    case ENOTDIR:
    case plat::kNotAFile:
    case plat::kTooLargeToKeep: return "what stands in the way is moved out of " + folder;
    case EEXIST:
      if (!r.entry.IsTheFolder()) return "the copies kept of " + r.entry.path + " are moved out of " + folder;
      return "the kept " + std::string(kJournal) + ".unfinished files are moved out of " + folder;
    // An immutable file, or another user's file in a folder only owners may
    // remove from: no mode the player sets lets the game change it.
    case EPERM:
      return "the owner of " + place + ", or an administrator, lets the game change it (chattr -i, or gives the file back)";
    case ELOOP:
    case plat::kLinkToNoFile: return link;
    default:
      // Another user's entry that refuses by its mode: the player cannot
      // change that mode, its owner can.
      if (anotherUsers) return "the owner of " + place + ", or an administrator, lets the game write it";
      return place + " can be written";
  }
}

// "profile 2 (Ann)", by the name its record holds in records (User.INI's
// bytes), without one where it holds none.
std::string ProfileNamed(int n, const std::string& records) {
  const std::string name = ProfileNameIn(ProfileRecordAt(records, n));
  return "profile " + std::to_string(n) + (name.empty() ? "" : " (" + plat::ToUtf8(name) + ")");
}

// A copy the start kept of a file of the step, as the player is told of it;
// where the step is finished, by the profile whose save it was, named as the
// profiles (the step's own, else those in the folder) name it.
std::string CopiesKept(const plat::JournalRecovery& r, const std::string& gameFolder, const std::string& profiles,
                       bool finished) {
  std::string told;
  for (const plat::JournalRecovery::KeptFile& k : r.kept) {
    told += (told.empty() ? "" : " ") +
            (k.readError != 0 ? CannotBeRead(gameFolder, k.file, k.readError)
                              : k.file + " changed after the save began") +
            ": " + KeptAsideAs(k.copy);
    if (!finished) {
      told += ".";
      continue;
    }
    const int n = EquipmentProfile(plat::LCase(k.file));
    if (n == 0) {
      told += ", and the last save is finished.";
      continue;
    }
    const std::string records =
        !profiles.empty() ? profiles : plat::ReadAllText(gameFolder + "\\User.INI").value_or("");
    told += ", and the save of " + ProfileNamed(n, records) + " is finished.";
  }
  return told;
}
}  // namespace

bool FinishLastSave(const std::string& gameFolder) {
  using Outcome = plat::JournalRecovery::Outcome;
  g_notice.clear();
  std::string profiles;  // the step's User.INI, which names the profiles told of
  std::vector<int> atRisk;
  const plat::JournalRecovery r = plat::FinishOrKeepAsideJournal(
      gameFolder, [&](const std::vector<plat::FileContent>& files, const std::vector<plat::FileNow>& now) {
        for (const plat::FileContent& f : files)
          if (plat::LCase(f.gamePath) == "user.ini") profiles = f.bytes;
        atRisk = MoneyMayHaveLanded(files, now);
        return ProfileJournalProblem(files, now);
      });
  const bool finished = r.outcome == Outcome::Finished;
  const std::string copies = CopiesKept(r, gameFolder, profiles, finished);
  const std::string andCopies = copies.empty() ? "" : " " + copies;
  if (finished) g_notice = copies;
  if (r.outcome == Outcome::KeptAside) {
    // Told once the window shows: before it, a message reaches only a
    // terminal. A damaged journal may have been cut after the killed game
    // replaced one of its files, and a step that began may have had its
    // other file changed since: either may leave a pair that never was.
    // Where the money of the step's goods may have landed, they are nowhere
    // but in the kept journal.
    std::string whose;
    for (size_t i = 0; i < atRisk.size(); ++i)
      whose += (i == 0 ? "" : i + 1 == atRisk.size() ? " and " : ", ") + ProfileNamed(atRisk[i], profiles);
    g_notice = "The last save cannot be finished (" + r.why + "): " + KeptAsideAs(r.keptAs) +
               " in the game folder, and the game starts with the files as they stand" +
               (!whose.empty() ? ", in which the money and goods of " + whose +
                                     " may no longer belong together: the goods of the save are kept in " + r.keptAs +
                                     "."
                : r.mixed ? ", in which a profile's money and goods may no longer belong together."
                          : ".") +
               andCopies;
  } else if (r.outcome == Outcome::LinkRemoved) {
    g_notice = std::string(kJournal) + " was a link to " + r.why +
               ": removed unread; if it led to an unfinished save, money and goods may not belong together.";
  } else if (r.outcome == Outcome::Finished && !r.asideWhy.empty()) {
    // The files are whole, but every later save replaces the journal.
    g_notice = (copies.empty() ? "" : copies + " ") + "The last save is finished, but " + std::string(kJournal) +
               " stays (" + r.asideWhy + "): saves may fail until " + Remedy(r, gameFolder) + ".";
  } else if (r.outcome == Outcome::Waiting) {
    // A file of the step is already new: a game started now would play the
    // new one beside the old others.
    plat::MsgBoxUtf8("The last save cannot be finished (" + r.why + "): the game starts once " +
                     Remedy(r, gameFolder) + "." + andCopies);
    return false;
  } else if (r.outcome == Outcome::Stuck) {
    plat::MsgBoxUtf8("The last save cannot be finished (" + r.why + ") nor kept aside (" + r.asideWhy +
                     "): the game starts once " + Remedy(r, gameFolder) + "." + andCopies);
    return false;
  }
  return true;
}

const std::string& LastSaveNotice() { return g_notice; }

void TellOfLastSave() {
  if (g_notice.empty()) return;
  plat::MsgBoxUtf8(g_notice);
  g_notice.clear();
}

}  // namespace fw
