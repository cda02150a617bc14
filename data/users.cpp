#include "data/users.hpp"

#include <algorithm>
#include <cstring>

#include "engine/globals.hpp"
#include "engine/helpers.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {

Lazy<UsersClass> Users;
Lazy<UsersClass> NetUsers;
Lazy<Tank> NetTank;
GoodsSaving FactoryGoodsSaving = GoodsSaving::Save;

namespace {

constexpr size_t kNumbersAt = UserRecord::kNameBytes;
constexpr size_t kCtlFileAt = kNumbersAt + 8 * 4;
static_assert(kCtlFileAt + UserRecord::kCtlFileBytes == UserRecord::kSize);

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

}  // namespace

bool NameHasRoomFor(std::string_view name, std::string_view character) {
  const int64_t bytes = AnsiByteLen(name);
  return bytes < static_cast<int64_t>(UserRecord::kNameBytes) &&
         bytes + AnsiByteLen(character) <= static_cast<int64_t>(UserRecord::kNameBytes);
}

UserRecord UserRecord::Blank() {
  UserRecord r;
  r.Name.fill(' ');
  r.CtlFile.fill(' ');
  return r;
}

UserRecord UserRecord::Decode(const uint8_t* bytes, size_t size) {
  uint8_t raw[kSize];
  Blank().Encode(raw);
  if (size > 0) std::memcpy(raw, bytes, std::min(size, kSize));
  UserRecord r;
  std::memcpy(r.Name.data(), raw, kNameBytes);
  int32_t* numbers[] = {&r.Money, &r.Kill, &r.Death, &r.mKill, &r.mDeath, &r.mWon, &r.mLost, &r.Mission};
  for (size_t i = 0; i < 8; ++i) *numbers[i] = GetLong(raw + kNumbersAt + 4 * i);
  std::memcpy(r.CtlFile.data(), raw + kCtlFileAt, kCtlFileBytes);
  return r;
}

void UserRecord::Encode(uint8_t* out) const {
  std::memcpy(out, Name.data(), kNameBytes);
  const int32_t numbers[] = {Money, Kill, Death, mKill, mDeath, mWon, mLost, Mission};
  for (size_t i = 0; i < 8; ++i) PutLong(out + kNumbersAt + 4 * i, numbers[i]);
  std::memcpy(out + kCtlFileAt, CtlFile.data(), kCtlFileBytes);
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
  // Padding is spaces; other writers pad with NULs, which must not show.
  std::string_view name(Name.data(), kNameBytes);
  const size_t first = name.find_first_not_of(std::string_view(" \0", 2));
  const size_t last = name.find_last_not_of(std::string_view(" \0", 2));
  u.Name = first == std::string_view::npos ? "" : std::string(name.substr(first, last - first + 1));
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
  if (!plat::FileExists(File) && !plat::WriteFile(File, nullptr, 0))
    throw plat::RuntimeError(plat::ErrorCode::PathNotFound, "Path/File access error: cannot create " + plat::NativePath(File));
  auto bytes = plat::ReadAllBytes(File);
  if (!bytes) throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "Unable to read " + plat::NativePath(File));
  DecodeUsers(*bytes);
  if (const int32_t mended = MendProfiles(); mended > 0) {
    LastError = FileNameOf(File) + " held numbers no game writes in " + std::to_string(mended) +
                (mended == 1 ? " profile" : " profiles") + ": they were set back to the start.";
    return false;
  }
  return true;
}

std::string UsersClass::UsersFileBytes() const {
  std::vector<uint8_t> out = EncodeUsers();
  // Whatever follows the six records belongs to someone else: keep it.
  if (auto old = plat::ReadAllBytes(File); old && old->size() > out.size())
    out.insert(out.end(), old->begin() + static_cast<std::ptrdiff_t>(out.size()), old->end());
  return std::string(out.begin(), out.end());
}

bool UsersClass::SaveUser() {
  if (!waiting_.empty()) return SaveTogether(waiting_);
  const std::string out = UsersFileBytes();
  if (!plat::WriteFileAtomic(File, out)) {
    LastError = "Unable to Save " + FileNameOf(File);
    return false;
  }
  return true;
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
  damagedEQU_.clear();
  if (!plat::FileExists(EQUFile)) return true;
  const std::string name = FileNameOf(EQUFile);
  auto reader = plat::TextRecordReader::Open(EQUFile);
  if (!reader) {
    damagedEQU_ = EQUFile;
    LastError = "Unable to Read " + name + ": it is kept aside at the next save.";
    return false;
  }
  if (const int32_t damaged = ReadEquipment(*reader); damaged > 0) {
    damagedEQU_ = EQUFile;
    LastError = std::to_string(damaged) + (damaged == 1 ? " line" : " lines") + " of " + name +
                " cannot be read and " + (damaged == 1 ? "is" : "are") +
                " left out: the file is kept aside at the next save.";
    return false;
  }
  return true;
}

bool UsersClass::KeepDamagedAside(const std::string& file) {
  if (damagedEQU_.empty() || file != damagedEQU_ || !plat::FileExists(file)) return true;
  const std::string kept = plat::KeepCopyAside(file, "damaged");
  if (kept.empty()) {
    LastError = "Unable to keep the damaged " + FileNameOf(file) + " aside: nothing was saved";
    return false;
  }
  keptAside_ = kept;
  damagedEQU_.clear();
  return true;
}

bool UsersClass::SaveEQUFile() {
  if (!KeepDamagedAside(EQUFile)) return false;
  if (!plat::WriteFileAtomic(EQUFile, EncodeEquipment())) {
    LastError = "Unable to Save " + FileNameOf(EQUFile);
    return false;
  }
  return true;
}

bool UsersClass::SaveTogether(const std::vector<Goods>& goods) {
  std::vector<plat::FileContent> files{{File, UsersFileBytes()}};
  for (const Goods& g : goods) {
    if (!KeepDamagedAside(g.file)) return false;
    files.push_back({g.file, g.text});
  }
  // The journal lives beside User.INI, which the start-up checks first.
  const size_t slash = File.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string(".") : File.substr(0, slash);
  if (std::string why; !plat::WriteFilesTogether(folder, files, &why)) {
    waiting_ = goods;
    LastError = "Unable to Save " + FileNameOf(File) + " and " + FileNameOf(goods.back().file) +
                (why.empty() ? "" : ": " + why);
    return false;
  }
  waiting_.clear();
  return true;
}

bool UsersClass::SaveMoneyAndGoods() {
  // Goods still waiting for another profile's file go in the same step.
  std::vector<Goods> goods;
  for (const Goods& g : waiting_)
    if (g.file != EQUFile) goods.push_back(g);
  goods.push_back({EQUFile, EncodeEquipment()});
  return SaveTogether(goods);
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
