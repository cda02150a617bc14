#include "data/users.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/globals.hpp"
#include "engine/helpers.hpp"
#include "engine/keep_aside.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/game_files.hpp"
#include "platform/runtime/save_together.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {

Lazy<UsersClass> Users;
Lazy<UsersClass> NetUsers;
Lazy<Tank> NetTank;
GoodsSaving FactoryGoodsSaving = GoodsSaving::Save;

namespace {

int32_t GetLong(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutLong(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

// The text cut to the field without splitting a character, padded with
// spaces.
template <size_t N>
std::array<char, N> Field(std::string_view text) {
  std::array<char, N> f;
  f.fill(' ');
  const std::string cut = plat::CutToBytes(text, N);
  std::copy(cut.begin(), cut.end(), f.begin());
  return f;
}

std::string FileNameOf(std::string_view path) {
  const size_t p = path.find_last_of("\\/");
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string FolderOf(const std::string& path) {
  const size_t p = path.find_last_of("\\/");
  return p == std::string::npos ? std::string(".") : path.substr(0, p);
}

// A file by its path in the folder of the profiles ("save/user1.DAT"), as
// the saves' messages name it.
std::string PathInFolder(const std::string& folder, const std::string& path) {
  std::string rel = path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0
                        ? path.substr(folder.size() + 1)
                        : FileNameOf(path);
  std::replace(rel.begin(), rel.end(), '\\', '/');
  return rel;
}

// The files of a step by name: "User.INI", "User.INI and user2.DAT",
// "User.INI, user3.DAT and user2.DAT".
std::string NamesOf(const std::vector<plat::FileContent>& files) {
  std::string names;
  for (size_t i = 0; i < files.size(); ++i)
    names += (i == 0 ? "" : i + 1 == files.size() ? " and " : ", ") + FileNameOf(files[i].gamePath);
  return names;
}

// A goods file the save would replace that holds other bytes than the game
// read: the player's, which a new choice of the profile (as the board
// names it) reads.
std::string ChangedSinceReadText(const std::string& rel, const std::string& profile) {
  return ChangedSinceRead(rel) + ": choose " + profile + " again to read it; nothing was saved";
}

// What failed, then the cause where the system gave one; the file of a
// step of one, which the head names already, is not named again. A step
// whose journal stands is not over: the player hears that it may still
// land. `profile` names the profile whose file changed since the game read
// it.
std::string SaveFailed(const std::string& head, const plat::SaveFailure& failure, size_t files = 1,
                       const std::string& profile = "the profile") {
  if (failure.error == plat::kChangedSinceRead) return ChangedSinceReadText(failure.file, profile);
  std::string text = head;
  if (failure.error != 0)
    text += ": " + (failure.file.empty() || files > 1 ? failure.why : plat::SystemErrorText(failure.error));
  if (failure.journalStands)
    text += failure.begun ? "; the next start finishes it unless a later save comes first"
                          : "; the next start finishes it if it can, or sets it aside, unless a later save comes first";
  return text;
}

}  // namespace

bool NameHasRoomFor(std::string_view name, std::string_view character) {
  const int64_t bytes = AnsiByteLen(name);
  return bytes < static_cast<int64_t>(UserRecord::kNameBytes) &&
         bytes + AnsiByteLen(character) <= static_cast<int64_t>(UserRecord::kNameBytes);
}

UserRecord UserRecord::Blank() { return Decode(nullptr, 0); }

UserRecord UserRecord::Decode(const uint8_t* bytes, size_t size) {
  const std::string record = ProfileRecordAt(size > 0 ? std::string_view(reinterpret_cast<const char*>(bytes), size)
                                                      : std::string_view(),
                                             1);
  const auto* raw = reinterpret_cast<const uint8_t*>(record.data());
  UserRecord r;
  std::memcpy(r.Name.data(), raw, kNameBytes);
  int32_t* numbers[] = {&r.Money, &r.Kill, &r.Death, &r.mKill, &r.mDeath, &r.mWon, &r.mLost, &r.Mission};
  static_assert(std::size(numbers) == kProfileNumbers);
  for (size_t i = 0; i < kProfileNumbers; ++i) *numbers[i] = GetLong(raw + kProfileNumbersAt + 4 * i);
  std::memcpy(r.CtlFile.data(), raw + kProfileCtlFileAt, kCtlFileBytes);
  return r;
}

void UserRecord::Encode(uint8_t* out) const {
  std::memcpy(out, Name.data(), kNameBytes);
  const int32_t numbers[] = {Money, Kill, Death, mKill, mDeath, mWon, mLost, Mission};
  for (size_t i = 0; i < kProfileNumbers; ++i) PutLong(out + kProfileNumbersAt + 4 * i, numbers[i]);
  std::memcpy(out + kProfileCtlFileAt, CtlFile.data(), kCtlFileBytes);
}

UserRecord UserRecord::From(const SingleUser& u) {
  UserRecord r;
  r.Name = Field<kNameBytes>(u.Name);
  r.Money = u.Money;
  r.Kill = u.Kill;
  r.Death = u.Death;
  r.mKill = u.mKill;
  r.mDeath = u.mDeath;
  r.mWon = u.mWon;
  r.mLost = u.mLost;
  r.Mission = u.Mission;
  r.CtlFile = Field<kCtlFileBytes>(u.CtlFile);
  return r;
}

void UserRecord::To(SingleUser& u) const {
  u.Name = ProfileNameIn(std::string_view(Name.data(), kNameBytes));
  u.Money = Money;
  u.Kill = Kill;
  u.Death = Death;
  u.mKill = mKill;
  u.mDeath = mDeath;
  u.mWon = mWon;
  u.mLost = mLost;
  u.Mission = Mission;
  u.CtlFile.assign(CtlFile.data(), kCtlFileBytes);
}

UsersClass::UsersClass() {
  for (int32_t i = 1; i <= kProfiles; ++i) Add(std::string(1, ' ').append(std::to_string(i)));
}

UsersClass::Ptr UsersClass::Add(const std::string& key) {
  auto u = std::make_shared<SingleUser>();
  u->Key = key;
  return Insert(u, key);
}

void UsersClass::NewUser(int32_t n) {
  SingleUser& u = *Item(n);
  u.Name = "New User" + std::to_string(n);
  u.Money = u.Kill = u.Death = u.mKill = u.mDeath = u.mWon = u.mLost = u.Mission = 0;
  u.CtlFile = "Default.cfg";
  UserEQU->RemoveAll();
  NowEQU->RemoveAll();
}

void UsersClass::DecodeUsers(const std::vector<uint8_t>& bytes) {
  for (int32_t i = 1; i <= std::min(kProfiles, Count()); ++i) {
    const size_t at = static_cast<size_t>(i - 1) * UserRecord::kSize;
    const size_t avail = bytes.size() > at ? bytes.size() - at : 0;
    UserRecord::Decode(bytes.data() + std::min(at, bytes.size()), avail).To(*Item(i));
  }
}

std::vector<uint8_t> UsersClass::EncodeUsers() const {
  std::vector<uint8_t> out(kProfiles * UserRecord::kSize);
  for (int32_t i = 1; i <= kProfiles; ++i) {
    const UserRecord r = i <= Count() ? UserRecord::From(*Item(i)) : UserRecord::Blank();
    r.Encode(out.data() + static_cast<size_t>(i - 1) * UserRecord::kSize);
  }
  return out;
}

int32_t UsersClass::MendProfiles() {
  int32_t mended = 0;
  for (const auto& u : *this) {
    bool changed = false;
    auto atLeast = [&changed](int32_t& v, int32_t low, int32_t to) {
      if (v >= low) return;
      v = to;
      changed = true;
    };
    // A mission below 0 has no battle at all; 0 keeps its meaning "never
    // set up", and missions past 20 are played modulo 20 as they stand.
    atLeast(u->Mission, 0, 1);
    for (int32_t* count : {&u->Money, &u->Kill, &u->Death, &u->mKill, &u->mDeath}) atLeast(*count, 0, 0);
    if (changed) ++mended;
  }
  return mended;
}

bool UsersClass::ReadUser() {
  // A missing file is created empty, only where nothing stands: a file that
  // could not be looked at is never emptied, nor a link followed to create
  // its target, nor a FIFO waited on. What cannot be read as a file is told.
  plat::SavedFileRead read = plat::ReadSavedFile(File, plat::kMostBytesSaved);
  if (!read.text && plat::NotThere(read.error)) {
    const int error = plat::WriteNewFile(File, nullptr, 0);
    if (error != 0 && error != EEXIST)
      throw plat::RuntimeError(plat::ErrorCode::PathNotFound,
                               "Path/File access error: cannot create " + plat::NativePath(File), plat::TextIn::Utf8);
    // What was made, or what stands where the read found nothing: a file
    // made since, or a link that leads nowhere.
    read = plat::ReadSavedFile(File, plat::kMostBytesSaved);
    if (!read.text && plat::NotThere(read.error)) read.error = plat::kLinkToNoFile;
  }
  if (!read.text)
    throw plat::RuntimeError(plat::ErrorCode::FileNotFound,
                             "Unable to read " + plat::NativePath(File) + ": " + plat::SystemErrorText(read.error),
                             plat::TextIn::Utf8);
  found_[File] = read.found;
  const std::vector<uint8_t> bytes(read.text->begin(), read.text->end());
  DecodeUsers(bytes);
  MatchWaitingGoods(bytes);
  if (const int32_t mended = MendProfiles(); mended > 0) {
    LastError = FileNameOf(File) + " held numbers no game writes in " + std::to_string(mended) +
                (mended == 1 ? " profile" : " profiles") + ": they were set back to the start.";
    return false;
  }
  return true;
}

std::optional<std::string> UsersClass::UsersFileBytes(int* error, plat::SavedFileRead* held) const {
  std::vector<uint8_t> out = EncodeUsers();
  // Whatever follows the six records belongs to someone else: keep it, and
  // save nothing where it cannot be read.
  *held = plat::ReadSavedFile(File, plat::kMostBytesSaved);
  *error = held->error;
  if (!held->text && !plat::NotThere(*error) && *error != plat::kLinkToNoFile) return std::nullopt;
  const std::string_view old = held->text ? std::string_view(*held->text) : std::string_view();
  if (old.size() > out.size()) out.insert(out.end(), old.begin() + static_cast<std::ptrdiff_t>(out.size()), old.end());
  return std::string(out.begin(), out.end());
}

bool UsersClass::SaveUser() { return SaveTogether(waiting_); }

void UsersClass::MatchWaitingGoods(const std::vector<uint8_t>& disk) {
  const std::string_view bytes(reinterpret_cast<const char*>(disk.data()), disk.size());
  for (int32_t n = 1; n <= kProfiles; ++n) {
    const std::string record = ProfileRecordAt(bytes, n);
    bool failed = false;
    const Unsaved* match = nullptr;  // the latest failed step that put this record there
    for (const Unsaved& u : unsaved_)
      if (u.goods.profile == n) {
        failed = true;
        if (u.record == record && u.goods.owed) match = &u;
      }
    if (!failed) continue;
    // A record no failed step put there is the one that goes with the goods
    // on disk (or with none, as the profile deleted).
    std::erase_if(waiting_, [n](const Goods& g) { return g.profile == n; });
    if (match) waiting_.push_back(match->goods);
  }
}

int32_t UsersClass::ReadEquipment(plat::TextRecordReader& reader) {
  // Line by line, so a damaged line costs that line only, and a line with a
  // field too many or too few is caught where it stands instead of
  // shifting every line after it.
  int32_t damaged = 0;
  while (!reader.AtEnd()) {
    plat::TextRecordReader line(reader.ReadLine());
    if (line.AtEnd()) continue;
    try {
      const std::string name = line.ReadString();
      const int32_t number = line.ReadLong();
      const int32_t extra = line.ReadLong();
      if (!line.AtEnd())
        throw plat::RuntimeError(plat::ErrorCode::TypeMismatch, "Type mismatch: more than three fields in a line");
      if (number < 10)
        UserEQU->Add("", number, name, 0);
      else
        NowEQU->Add("", number - 10, name, extra);
    } catch (const plat::RuntimeError&) {
      ++damaged;
    }
  }
  return damaged;
}

std::string UsersClass::EncodeEquipment() {
  plat::TextRecordWriter w;
  for (const auto& item : *UserEQU) w.String(item->ID).Number(item->Index).Number(0).EndRecord();
  for (const auto& item : *NowEQU)
    w.String(item->ID).Number(static_cast<int64_t>(item->Index) + 10).Number(item->color).EndRecord();
  return w.Text();
}

bool UsersClass::LoadEQUFile() {
  UserEQU->RemoveAll();
  NowEQU->RemoveAll();
  // Goods waiting to be saved are the profile's own, not the file's older
  // ones: the save that writes them keeps a file the player changed aside
  // first.
  for (const Goods& g : waiting_)
    if (g.file == EQUFile) {
      if (g.text) {
        plat::TextRecordReader reader(*g.text);
        ReadEquipment(reader);
      }
      return true;
    }
  damagedEQU_.clear();
  const std::string name = FileNameOf(EQUFile);
  plat::SavedFileRead read = plat::ReadSavedFile(EQUFile, plat::kMostBytesSaved);
  const int error = read.error;
  // What a save may replace: the file read, or none where the read found no
  // file.
  found_[EQUFile] = read.found.LookedAt() ? read.found : plat::FoundAtName::Nothing();
  if (!read.text) {
    // Only the system's word that nothing is there makes a profile without
    // goods; an entry of another kind holds none and is no file to keep.
    if (plat::NotThere(error)) return true;
    if (error == EISDIR || error == plat::kNotAFile) {
      LastError = PathInFolder(FolderOf(File), EQUFile) +
                  (error == EISDIR ? " is a folder, not a file" : " is not a regular file");
      return false;
    }
    // A link to no file, or a folder that cannot be searched, hides what
    // the file holds: there is nothing to keep, and the goods are read once
    // the player lets the game reach them. Anything else is a file that is
    // there and cannot be read, kept aside before it is replaced (which a
    // failed look cannot tell).
    const std::string folder = FolderOf(File);
    FileCause cause = CauseOf(folder, PathInFolder(folder, EQUFile), error);
    if (error == plat::kLinkToNoFile) cause.remedy = "it leads to its file";
    if (cause.remedy.empty()) {
      damagedEQU_ = EQUFile;
      if (!read.found.LookedAt()) found_[EQUFile] = plat::FoundAtName{};
    }
    const std::string unread = "Unable to Read " + name + " (" + cause.text + "): ";
    LastError = cause.remedy.empty() ? unread + "it is kept aside at the next save."
                                     : unread + "nothing is saved over it; choose the profile again once " + cause.remedy + ".";
    return false;
  }
  plat::TextRecordReader reader(std::move(*read.text));
  if (const int32_t damaged = ReadEquipment(reader); damaged > 0) {
    damagedEQU_ = EQUFile;
    LastError = std::to_string(damaged) + (damaged == 1 ? " line" : " lines") + " of " + name +
                " cannot be read and " + (damaged == 1 ? "is" : "are") +
                " left out: the file is kept aside at the next save.";
    return false;
  }
  return true;
}

plat::FoundAtName UsersClass::OnlyOver(const std::string& file) const {
  // A goods file the game never read is none it may replace; User.INI is
  // always read first.
  const auto found = found_.find(file);
  if (found == found_.end()) return file == File ? plat::FoundAtName{} : plat::FoundAtName::Nothing();
  // A file gone since held nothing the save would lose: it is made again,
  // over nothing that came in its place.
  if (found->second.IsFile() && plat::NotThere(plat::LookAtFile(file))) return plat::FoundAtName::Nothing();
  return found->second;
}

void UsersClass::DropWaitingGoods(const std::string& file) {
  std::erase_if(waiting_, [&file](const Goods& g) { return g.file == file; });
  std::erase_if(unsaved_, [&file](const Unsaved& u) { return u.goods.file == file; });
}

std::string UsersClass::ProfileNamed(int32_t n) const {
  const std::string name = n >= 1 && n <= Count() ? Item(n)->Name : std::string();
  return "profile " + std::to_string(n) + (name.empty() ? "" : " (" + plat::ToUtf8(name) + ")");
}

std::optional<plat::FoundAtName> UsersClass::ReadyToReplace(const std::string& file, const std::string& head,
                                                            const Goods* goods, size_t files, bool* purchase,
                                                            const plat::SavedFileRead* held) {
  // Refused before anything is written, a copy kept aside included.
  const std::string folder = FolderOf(File);
  const std::string rel = PathInFolder(folder, file);
  const bool removal = goods && !goods->text;
  const plat::FoundAtName found = OnlyOver(file);
  // A deletion takes a goods file the game never read as it stands.
  if (removal && !found.IsFile()) return found;
  const plat::ReplaceRefusal may = plat::MayReplace(file, found, folder, held);
  if (may.error == plat::kLinkToGameFile) {
    if (removal) return found;  // the link goes, not the file it leads to
    LastError = head + ": " + (files > 1 ? rel + ": " : "") + may.Why();
    return std::nullopt;
  }
  // The file the game read or wrote, or one a failed look hides or that
  // holds no file's bytes, which the step itself refuses by name.
  bool changed = may.error == plat::kChangedSinceRead;
  if (may.error == 0 || (!changed && plat::LookAtFile(file) != 0))
    return removal || KeepDamagedAside(file) ? std::optional(found) : std::nullopt;
  // Where the judge could not read it, a file read now is judged by its
  // bytes: only one whose read fails is kept as damaged.
  const bool unjudged = !changed;
  plat::SavedFileRead now;
  if (unjudged) now = plat::ReadSavedFile(file, plat::kMostBytesSaved);
  if (unjudged && now.text && found.IsFile() && found.hash) {
    if (plat::HashOfBytes(*now.text) == *found.hash)
      return removal || KeepDamagedAside(file) ? std::optional(now.found) : std::nullopt;
    changed = true;
  }
  // The purchase, paid for by nothing on disk yet, gives way to the
  // player's file.
  if (changed && purchase && !goods->owed) {
    *purchase = true;
    LastError = ChangedSinceReadText(rel, ProfileNamed(NowUser));
    return std::nullopt;
  }
  // The player's file, or one that cannot be read now, is kept, and the
  // save goes on. A file that holds the goods the save writes is no other
  // file.
  if (!unjudged) now = plat::ReadSavedFile(file, plat::kMostBytesSaved);
  if (goods && goods->text && now.text == goods->text) return now.found;
  const std::string tag = changed ? "changed" : "damaged";
  const KeptCopy kept = KeepAside(folder, rel, tag, tag);
  if (!kept.refusal.empty()) {
    LastError = kept.refusal;
    return std::nullopt;
  }
  if (!kept.name.empty()) {
    const std::string what =
        changed ? ChangedSinceRead(rel) : CannotBeRead(folder, rel, now.text ? may.error : now.error);
    const std::string before = removal ? "profile " + std::to_string(goods->profile) + " is deleted"
                               : goods ? "the goods of " + ProfileNamed(goods->profile) + " are saved"
                                       : std::string("the profiles are saved");
    notice_ += (notice_.empty() ? "" : " ") + what + ": " + KeptAsideAs(kept.name) + " before " + before + ".";
  }
  if (file == damagedEQU_) damagedEQU_.clear();  // kept whole already
  return now.found;
}

void UsersClass::Landed(const std::vector<plat::FileContent>& files, const std::vector<plat::FoundAtName>& landed) {
  // What the game's own save left is what its next save replaces.
  for (size_t i = 0; i < files.size() && i < landed.size(); ++i)
    if (landed[i].LookedAt()) found_[files[i].gamePath] = landed[i];
}

bool UsersClass::KeepDamagedAside(const std::string& file) {
  if (damagedEQU_.empty() || file != damagedEQU_) return true;
  const std::string folder = FolderOf(File);
  // A copy that cannot be made refuses the save, and the file stays.
  const KeptCopy kept = KeepAside(folder, PathInFolder(folder, file), "damaged", "damaged");
  if (!kept.refusal.empty()) {
    LastError = kept.refusal;
    return false;
  }
  // Gone since, it leaves nothing to keep; anything but a regular file is
  // refused by the save, by name, and is kept should it become one.
  if (!kept.name.empty()) keptAside_ = kept.name;
  if (!kept.name.empty() || plat::NotThere(kept.error)) damagedEQU_.clear();
  return true;
}

bool UsersClass::SaveEQUFile() {
  // Waiting goods go out only beside User.INI, the money they went with
  // (this profile's too), and a step of this file alone would replace the
  // journal they may still need.
  if (!waiting_.empty()) return SaveMoneyAndGoods();
  const std::string head = "Unable to Save " + FileNameOf(EQUFile);
  const Goods own{NowUser, EQUFile, EncodeEquipment()};
  // Goods alone carry no money to part from: a file the player changed is
  // kept aside, as under any save but the factory's purchase.
  const std::optional<plat::FoundAtName> over = ReadyToReplace(EQUFile, head, &own, 1);
  if (!over) return false;
  plat::SaveFailure failure;
  const std::vector<plat::FileContent> files{{EQUFile, *own.text, false, std::nullopt, *over}};
  std::vector<plat::FoundAtName> landed;
  const bool saved = plat::WriteFilesTogether(FolderOf(File), files, &failure, &landed);
  Landed(files, landed);
  if (!saved) {
    LastError = SaveFailed(head, failure, 1, ProfileNamed(NowUser));
    return false;
  }
  // The file holds the lists as they are now: older goods of it wait no more.
  DropWaitingGoods(EQUFile);
  return true;
}

bool UsersClass::SaveTogether(std::vector<Goods>& goods, Step step) {
  int error = 0;
  plat::SavedFileRead held;
  const std::optional<std::string> profiles = UsersFileBytes(&error, &held);
  const std::vector<uint8_t> records = EncodeUsers();
  std::vector<plat::FileContent> files{{File, profiles ? *profiles : std::string(records.begin(), records.end())}};
  // A deleted profile's file goes with it, damaged or not, and is always in
  // the step, so that a failed look at it never leaves it behind.
  for (const Goods& g : goods)
    files.push_back(g.text ? plat::FileContent{g.file, *g.text} : plat::FileContent{g.file, "", true});
  const std::string head = step == Step::Deletion ? "Unable to delete the profile (" + NamesOf(files) + ")"
                                                  : "Unable to Save " + NamesOf(files);
  bool saved = true;
  if (!profiles) {
    const std::string name = FileNameOf(File);
    LastError = SaveFailed(head, {name + ": " + plat::SystemErrorText(error), error, name}, files.size());
    saved = false;
  }
  // What each file may be replaced over, judged before anything is
  // written or kept aside: a purchase first, which alone may be refused
  // over a file the player changed, and the profiles last.
  std::vector<size_t> order;
  for (size_t i = 0; i < goods.size(); ++i)
    if (goods[i].profile == NowUser) order.push_back(i);
  for (size_t i = 0; i < goods.size(); ++i)
    if (goods[i].profile != NowUser) order.push_back(i);
  bool givenUp = false;
  for (const size_t i : order) {
    if (!saved) continue;
    const bool purchase = step == Step::Purchase && i + 1 == goods.size();
    const std::optional<plat::FoundAtName> over =
        ReadyToReplace(goods[i].file, head, &goods[i], files.size(), purchase ? &givenUp : nullptr);
    if (over)
      files[i + 1].onlyOver = *over;
    else
      saved = false;
  }
  if (saved) {
    // The bytes its tail was taken from decide, without a second read.
    const std::optional<plat::FoundAtName> over = ReadyToReplace(File, head, nullptr, files.size(), nullptr, &held);
    if (over)
      files.front().onlyOver = *over;
    else
      saved = false;
  }
  std::vector<plat::FoundAtName> landed;
  if (saved) {
    // The journal lives beside User.INI, which the start-up checks first.
    plat::SaveFailure failure;
    saved = plat::WriteFilesTogether(FolderOf(File), files, &failure, &landed);
    Landed(files, landed);
    if (!saved) {
      int32_t changed = NowUser;
      for (const Goods& g : goods)
        if (PathInFolder(FolderOf(File), g.file) == failure.file) changed = g.profile;
      LastError = SaveFailed(head, failure, files.size(), ProfileNamed(changed));
    }
  }
  if (saved) {
    for (const Goods& g : goods)
      if (!g.text && g.file == damagedEQU_) damagedEQU_.clear();  // nothing left to keep aside
    waiting_.clear();
    unsaved_.clear();
    return true;
  }
  // Copies kept before the step failed stand all the same.
  if (!notice_.empty()) LastError += ". " + std::exchange(notice_, std::string());
  // The step may still land (the next start finishes a journal that
  // stands): which goods go with which record is kept for the profiles'
  // next reading. Goods whose money the step put in User.INI are owed, and
  // stay so in every later step that carries them: the rename made of a
  // User.INI the step changed (one that leaves it as it was lands no money).
  const bool moneyLanded =
      !landed.empty() && landed.front().LookedAt() && files.front().bytes != held.text.value_or(std::string());
  for (Goods& g : goods) {
    const std::string record = ProfileRecordAt(files.front().bytes, g.profile);
    g.owed = g.owed || moneyLanded;
    // One entry a record: the later goods are the ones that went with it.
    std::erase_if(unsaved_, [&](const Unsaved& e) { return e.goods.profile == g.profile && e.record == record; });
    unsaved_.push_back({record, g});
  }
  if (step == Step::Purchase) {
    waiting_ = goods;
    if (givenUp) GiveUpPurchase();
  }
  return false;
}

void UsersClass::GiveUpPurchase() {
  const std::string refused = LastError;
  bool asWritten = true;
  try {
    asWritten = ReadUser();
  } catch (const plat::RuntimeError& e) {
    // Nothing read: the goods wait, as after any refused save.
    LastError = refused + ". " + plat::Utf8Of(e);
    return;
  }
  std::vector<std::string> told;  // what the readings say of what they read
  if (!asWritten) told.push_back(LastError);
  // Goods whose money the reading found in User.INI still wait: they are
  // the profile's, read instead of the file, which their save keeps aside.
  const bool owed = std::ranges::any_of(waiting_, [this](const Goods& g) { return g.file == EQUFile; });
  if (!LoadEQUFile()) told.push_back(LastError);
  std::string text = ChangedSinceRead(PathInFolder(FolderOf(File), EQUFile)) + ": the purchase is given up, and " +
                     ProfileNamed(NowUser) +
                     (owed ? " has the goods its money in User.INI paid for"
                           : " has the goods that file holds and its money before it");
  for (const std::string& t : told) text += (text.back() == '.' ? " " : ". ") + t;
  LastError = text;
}

bool UsersClass::SaveMoneyAndGoods() {
  // Goods still waiting for another profile's file go in the same step;
  // the profile's own are owed still where older ones of it were.
  std::vector<Goods> goods;
  bool owed = false;
  for (const Goods& g : waiting_)
    if (g.profile != NowUser)
      goods.push_back(g);
    else
      owed = owed || g.owed;
  goods.push_back({NowUser, EQUFile, EncodeEquipment(), owed});
  return SaveTogether(goods, Step::Purchase);
}

bool UsersClass::SaveUserRemovingEQU(int32_t n, const std::string& equFile) {
  std::vector<Goods> goods;
  for (const Goods& g : waiting_)
    if (g.profile != n) goods.push_back(g);
  goods.push_back({n, equFile, std::nullopt});
  return SaveTogether(goods, Step::Deletion);
}

namespace {
void RemoveLastNamed(MapIndexClass& list, const std::string& name) {
  for (int32_t i = list.Count(); i >= 1; --i)
    if (list.Item(i)->ID == name) {
      list.Remove(i);
      return;
    }
}
}  // namespace

void UsersClass::RemoveEQU(const std::string& name) { RemoveLastNamed(*UserEQU, name); }
void UsersClass::RemoveNOWEQU(const std::string& name) { RemoveLastNamed(*NowEQU, name); }

}  // namespace fw
