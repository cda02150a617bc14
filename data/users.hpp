#pragma once
// The six player profiles ("User.INI", binary) and the current profile's
// owned and fitted equipment ("save\user<n>.DAT", text), its fitted tank
// and the results of the last campaign battle.
#include <array>
#include <map>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/collection.hpp"
#include "data/map_tables.hpp"
#include "data/tank.hpp"
#include "engine/lazy.hpp"
#include "engine/profile_record.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

class SingleUser {
 public:
  std::string Key;
  std::string Name;  // at most 20 bytes on disk
  int32_t Money = 0;
  int32_t Kill = 0;
  int32_t Death = 0;
  int32_t mKill = 0;  // network game
  int32_t mDeath = 0;
  int32_t mWon = 0;
  int32_t mLost = 0;
  int32_t Mission = 0;  // 0: never set up
  std::string CtlFile;  // 12 bytes on disk, kept as it stands
};

// One profile as stored in "User.INI" (laid out in engine/profile_record).
struct UserRecord {
  static constexpr size_t kSize = kProfileRecordBytes;
  static constexpr size_t kNameBytes = kProfileNameBytes;
  static constexpr size_t kCtlFileBytes = kProfileCtlFileBytes;

  std::array<char, kNameBytes> Name{};
  int32_t Money = 0, Kill = 0, Death = 0, mKill = 0, mDeath = 0, mWon = 0, mLost = 0, Mission = 0;
  std::array<char, kCtlFileBytes> CtlFile{};

  // A record of spaces and zeros: what a file too short to hold it reads as.
  static UserRecord Blank();
  // Bytes past size are taken from the blank record.
  static UserRecord Decode(const uint8_t* bytes, size_t size);
  void Encode(uint8_t* out) const;
  // The name is cut at 20 bytes without splitting a character.
  static UserRecord From(const SingleUser& user);
  void To(SingleUser& user) const;
};

// The profile screen's name rule: a typed character is added while the name
// is shorter than the 20-byte field, and only when it fits there whole, so
// the name shown is the name saved.
bool NameHasRoomFor(std::string_view name, std::string_view character);

class UsersClass : public DataCollection<SingleUser> {
 public:
  static constexpr int32_t kProfiles = kProfilesInFile;

  int32_t WinMoney = 0;
  int32_t KillTank = 0;
  int32_t KillMoney = 0;
  std::string File;  // "User.INI"
  int32_t NowUser = 0;
  Lazy<MapIndexClass> UserEQU;  // owned items
  std::string EQUFile;
  Lazy<MapIndexClass> NowEQU;  // fitted items
  Lazy<Tank> NowTank;

  // The six profiles, keyed " 1" to " 6".
  UsersClass();

  // A taken key raises.
  Ptr Add(const std::string& key);
  // Absent profiles raise.
  Ptr Item(int position) const { return Get(position); }
  Ptr Item(std::string_view key) const { return Get(key); }
  void Remove(int position) { RemoveOrRaise(position); }
  void Remove(std::string_view key) { RemoveOrRaise(key); }
  // The profile at NowUser; raises when there is none.
  Ptr NowItem() const { return Get(NowUser); }

  // Resets profile n to "New User<n>" with nothing, and empties both
  // equipment lists. Writes no file.
  void NewUser(int32_t n);
  // Reads the six profiles from File, creating it empty when it is missing.
  // A file that cannot be read or created raises plat::RuntimeError.
  // Numbers no game writes (a negative mission, money, kill or death
  // count) are mended; the result is then false and LastError says so.
  // Goods waiting from a failed save stay only where their money is in the
  // file: for a profile whose record there is one a failed step that
  // changed the file went with. The others are dropped, as the file holds
  // the money of the goods on disk: a step that wrote nothing cannot land,
  // and one whose journal stands without the file changed lands only at a
  // start.
  bool ReadUser();
  // Writes the six profiles over File in one step, keeping any bytes past
  // the sixth record. Goods waiting from a failed save are written with
  // them. On failure LastError names the cause, the result is false and
  // the goods (still) wait. A file at either name that holds other bytes
  // than the game read or wrote there, or that cannot be read, is kept
  // aside first (TakeSaveNotice then tells); where no copy can be made,
  // nothing is written.
  bool SaveUser();
  // Reads the equipment file into UserEQU and NowEQU (both emptied first; a
  // missing file leaves them empty); goods waiting for the file are read
  // instead, whatever the file holds now. Lines that do not parse are left out
  // and the rest is used; the result is then false, LastError says how many
  // and the file is kept aside, whole, before a save replaces it.
  bool LoadEQUFile();
  // Writes both lists to EQUFile in one step; false (old file kept,
  // LastError naming the cause) on failure. While goods of a failed save
  // wait (this profile's or another's), it is SaveMoneyAndGoods: they never
  // go out without User.INI.
  bool SaveEQUFile();
  // Money (File) and goods (EQUFile) as one step: after a failure or a kill
  // at any moment, the next start finds both old or both new. The factory's
  // exit save. A failure before the journal is in place changes no file; one
  // after it is finished by the next start, unless a later save comes
  // first. On failure (LastError set) the goods wait, and later saves of the
  // profiles write them with User.INI while it holds the money they went
  // with (see ReadUser). Over a goods file the player changed since the
  // game read it, the purchase is given up instead, unless goods whose
  // money User.INI holds went before it: the profiles and the file are read
  // again, as choosing the profile reads them, and nothing of it waits
  // (goods whose money the profiles read again hold still do).
  bool SaveMoneyAndGoods();
  // The profiles with profile n's equipment file removed, as one step: a
  // deleted profile's save. Goods waiting for it are dropped once it lands.
  // A folder that will not let the file go refuses the step before it
  // changes anything. An equipment file the game read or wrote that holds
  // other bytes now, or cannot be read, is kept aside first; one it never
  // read goes as it stands. On failure (LastError set) the step is finished
  // by the next start once its journal is in place, unless a later save
  // comes first; the caller reads the profiles again (ReadUser), which shows
  // which of the two User.INI holds and, where it holds the new one, makes
  // the removal wait for the next save.
  bool SaveUserRemovingEQU(int32_t n, const std::string& equFile);
  // The name a damaged equipment file was last kept under, "" when none.
  const std::string& KeptAside() const { return keptAside_; }
  // What the player hears of a save that landed: the files kept aside
  // before it replaced them. "" when nothing was kept; taken once.
  std::string TakeSaveNotice() { return std::exchange(notice_, std::string()); }
  // Removes the last item whose name is exactly the given one.
  void RemoveEQU(const std::string& name);
  void RemoveNOWEQU(const std::string& name);

  // The formats without the files, for the readers above and for tests.
  void DecodeUsers(const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> EncodeUsers() const;
  // The number of non-empty lines that did not parse and were left out.
  int32_t ReadEquipment(plat::TextRecordReader& reader);
  std::string EncodeEquipment();
  // Brings numbers no game writes back into range; the number of profiles
  // changed.
  int32_t MendProfiles();

 private:
  // One profile's goods as a save writes them: its equipment file's text,
  // or none when the save removes the file.
  struct Goods {
    int32_t profile = 0;
    std::string file;
    std::optional<std::string> text;
    // Their money is in User.INI: a failed step replaced it with the
    // record they go with. They are owed, never dropped but by a deletion.
    bool owed = false;
  };
  // What a failed save would have left for one profile: its record in
  // User.INI (64 bytes) beside its goods.
  struct Unsaved {
    std::string record;
    Goods goods;
  };
  enum class Step { Profiles, Purchase, Deletion };
  // The profiles file as a save writes it, or nullopt (error set) where
  // what follows the six records cannot be read; held gets the read of what
  // the file holds now.
  std::optional<std::string> UsersFileBytes(int* error, plat::SavedFileRead* held) const;
  // Keeps a damaged equipment file aside before it is first replaced.
  bool KeepDamagedAside(const std::string& file);
  // What a save of a file may replace (see found_).
  plat::FoundAtName OnlyOver(const std::string& file) const;
  void DropWaitingGoods(const std::string& file);
  // A file about to be replaced (or removed: goods without text) by the
  // save `head` names, and what the save may replace there: nullopt
  // (LastError set, nothing written) where it is a link to another of the
  // game's files, or where a copy that must be kept aside first cannot be
  // made. Given `purchase`, the goods are the purchase saved now: over a
  // file the player changed they are refused, and it is set. The head names
  // the file alone in a step of one. held: the save's own read of the file,
  // whose bytes then decide.
  std::optional<plat::FoundAtName> ReadyToReplace(const std::string& file, const std::string& head,
                                                  const Goods* goods, size_t files, bool* purchase = nullptr,
                                                  const plat::SavedFileRead* held = nullptr);
  // Records what a step's files now are at their names.
  void Landed(const std::vector<plat::FileContent>& files, const std::vector<plat::FoundAtName>& landed);
  // The profiles and the goods as one step; on failure what it would have
  // left is remembered (waiting_ is the caller's but for a purchase, whose
  // goods wait or are given up), and LastError says what failed: the save of
  // the step's files, or the deletion of a profile. Each goods' owed flag is
  // brought up to date on failure. A purchase is the step's last goods.
  bool SaveTogether(std::vector<Goods>& goods, Step step = Step::Profiles);
  // After a purchase refused over the player's file: the profiles and the
  // current profile's goods read again, nothing of the purchase waiting.
  void GiveUpPurchase();
  // "profile 2 (name)", the name in UTF-8, as the boards draw it.
  std::string ProfileNamed(int32_t n) const;
  // Which goods wait after the profiles were read again from `disk`.
  void MatchWaitingGoods(const std::vector<uint8_t>& disk);

  std::string damagedEQU_;  // an equipment file read with lines left out
  // What the game found at each file's name (the goods', User.INI) when it
  // last read it, or what its own save left there: a save replaces only
  // that. NotLookedAt where a look failed on a file that is there: it is
  // kept aside before it is replaced instead. A goods file never read
  // counts as none found.
  std::map<std::string, plat::FoundAtName> found_;
  std::string keptAside_;
  std::string notice_;
  std::vector<Goods> waiting_;    // goods of failed saves, one entry per file
  std::vector<Unsaved> unsaved_;  // every failed save's, since the last one that landed
};

// Whether leaving the factory saves the profile's money and goods. The
// network game's factory visit shops with borrowed money out of an empty
// stock and puts the player's own back afterwards: what the factory holds
// when it is left is not the player's, so it sets Nothing for the visit.
enum class GoodsSaving { Save, Nothing };
extern GoodsSaving FactoryGoodsSaving;

// Sets FactoryGoodsSaving for its lifetime and puts the old mode back.
class FactoryGoodsSavingScope {
 public:
  explicit FactoryGoodsSavingScope(GoodsSaving mode) : old_(FactoryGoodsSaving) { FactoryGoodsSaving = mode; }
  ~FactoryGoodsSavingScope() { FactoryGoodsSaving = old_; }
  FactoryGoodsSavingScope(const FactoryGoodsSavingScope&) = delete;
  FactoryGoodsSavingScope& operator=(const FactoryGoodsSavingScope&) = delete;

 private:
  GoodsSaving old_;
};

// The profiles, created by the profile screen; the network game's copy of
// the current profile's lists; the network game's fitted tank.
extern Lazy<UsersClass> Users;
extern Lazy<UsersClass> NetUsers;
extern Lazy<Tank> NetTank;

}  // namespace fw
