#include "engine/pack.hpp"

#include <algorithm>
#include <unordered_set>

#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/strings.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

Lazy<qelPackage> DataPack;
Lazy<qelPackage> MissionPack;

namespace {
// Copies are written under the member's own name inside TempPath; a name
// with a folder part, or one that names a folder, would land elsewhere.
// The second byte of a double-byte character may be a separator's byte:
// the name is judged by its characters and by its spelling on disk.
bool IsBareFileName(std::string_view name) {
  for (size_t i = 0; i < name.size(); i += plat::CharBytesAt(name, i))
    if (plat::CharBytesAt(name, i) == 1 && (name[i] == '\\' || name[i] == '/')) return false;
  const std::string disk = plat::NativeName(name);
  return !disk.empty() && disk != "." && disk != ".." && disk.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

[[noreturn]] void RefuseName(const std::string& name, const std::string& archive) {
  throw plat::RuntimeError(plat::ErrorCode::BadFileName, "Refused to extract \"" + name + "\" from the archive \"" +
                                                             archive + "\": a member name must be a bare file name");
}

// A folder as a native path, for names that are bare (joining them needs no
// matching of folder names) and for messages.
std::string NativeFolder(const std::string& gameFolder) {
  std::string folder = plat::NativePath(gameFolder);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// A directory or a companion list, `named` (in UTF-8, as the system spells
// it) in the errors: only one that is not there is not found; one that is
// there and cannot be read is told with the cause, and one larger than any
// directory is damaged, refused before anything is read.
plat::TextRecordReader OpenIndex(const std::string& path, const std::string& named) {
  int error = 0;
  auto reader = plat::TextRecordReader::Open(path, &error, kMostIndexBytes);
  if (reader) return std::move(*reader);
  if (error == plat::kTooLargeToRead)
    throw plat::RuntimeError(plat::ErrorCode::General,
                             "Damaged archive directory " + named + ": " + plat::SystemErrorText(error),
                             plat::TextIn::Utf8);
  if (plat::NotThere(error))
    throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "File not found: " + named, plat::TextIn::Utf8);
  throw plat::RuntimeError(plat::ErrorCode::General, "Unable to read " + named + ": " + plat::SystemErrorText(error),
                           plat::TextIn::Utf8);
}
}  // namespace

void FileAttribs::AddOnCount(int32_t count) { companions_.resize(static_cast<size_t>(std::max(count, 0))); }

std::string FileAttribs::GetFileEx(int32_t i) const {
  if (companions_.empty()) return "";
  i = std::max(std::min(i, AddOnCount()), 1);
  return companions_[static_cast<size_t>(i - 1)];
}

void FileAttribs::SetFileEx(int32_t i, const std::string& name) {
  if (companions_.empty()) return;
  i = std::max(std::min(i, AddOnCount()), 1);
  companions_[static_cast<size_t>(i - 1)] = name;
}

std::shared_ptr<FileAttribs> PackFileClass::Add(const std::string& key, int32_t start, int32_t size) {
  auto a = std::make_shared<FileAttribs>();
  a->Key = key;
  a->StartPos = start;
  a->FileSize = size;
  if (!items_.Add(a, key)) return nullptr;
  return a;
}

void qelPackage::NormaliseFolders() {
  if (FilePath.empty() || FilePath.back() != '\\') FilePath += '\\';
  if (TempPath.empty() || TempPath.back() != '\\') TempPath += '\\';
}

void qelPackage::LoadInf(const std::string& name) {
  if (!name.empty()) File = name;
  NormaliseFolders();
  const std::string inf = File + ".INF";
  const std::string named =
      std::string("\"").append(plat::ToUtf8(inf)).append("\" in ").append(NativeFolder(FilePath));
  plat::TextRecordReader reader = OpenIndex(FilePath + inf, named);
  PackFiles->RemoveAll();
  try {
    while (!reader.AtEnd()) {
      const std::string member = reader.ReadString();
      const int32_t start = reader.ReadLong();
      const int32_t size = reader.ReadLong();
      if (!IsBareFileName(member))
        throw plat::RuntimeError(plat::ErrorCode::BadFileName,
                                 "the member name \"" + member + "\" is not a bare file name");
      PackFiles->Add(member, start, size);
    }
  } catch (const plat::RuntimeError& e) {
    throw plat::RuntimeError(e.code(), "Damaged archive directory " + named + ": " + e.Utf8(), plat::TextIn::Utf8);
  }
}


void qelPackage::Extract(const std::string& name) {
  NormaliseFolders();
  const std::string pak = FilePath + File + ".PAK";
  const std::string tempFolder = NativeFolder(TempPath);
  // Companion lists come from data files and may form chains, cycles or
  // shared branches of any size: walk them with a stack of our own, in the
  // order a recursive walk takes, each member at most once per call.
  std::vector<std::string> pending{name};
  std::unordered_set<std::string> seen;
  while (!pending.empty()) {
    const std::string member = std::move(pending.back());
    pending.pop_back();
    if (member.empty() || !seen.insert(plat::UCase(member)).second) continue;  // an unset companion names nothing
    if (!IsBareFileName(member)) RefuseName(member, File);
    auto entry = PackFiles->Find(member);
    if (!entry) continue;
    if (entry->FileSize <= 0 || entry->StartPos < 1 || static_cast<uint64_t>(entry->FileSize) > kMostMemberBytes)
      continue;
    if (!plat::CopyFileRange(pak, static_cast<int64_t>(entry->StartPos) - 1, entry->FileSize,
                             tempFolder + "/" + plat::NativeName(member)))
      continue;
    ExtractFiles->Add(member, 0, 0);  // a name already recorded stays as it was
    for (int32_t i = entry->AddOnCount(); i >= 1; --i) {
      std::string companion = entry->GetFileEx(i);
      if (!seen.count(plat::UCase(companion))) pending.push_back(std::move(companion));
    }
  }
}

std::optional<std::vector<uint8_t>> qelPackage::ReadMember(const std::string& name, uint64_t maxBytes) {
  NormaliseFolders();
  if (name.empty()) return std::nullopt;
  if (!IsBareFileName(name)) RefuseName(name, File);
  const auto entry = PackFiles->Find(name);
  if (!entry || entry->FileSize <= 0 || entry->StartPos < 1) return std::nullopt;
  // The size is the directory's word: a damaged one could have gigabytes
  // taken from a data file large enough to hold them.
  if (static_cast<uint64_t>(entry->FileSize) > maxBytes) return std::nullopt;
  return plat::ReadFileRange(FilePath + File + ".PAK", static_cast<int64_t>(entry->StartPos) - 1, entry->FileSize);
}

std::string qelPackage::MemberPlace(const std::string& name) const { return name + " in " + File + ".PAK"; }

std::string qelPackage::WhyUnreadable(const std::string& name, uint64_t maxBytes) {
  NormaliseFolders();
  const auto entry = PackFiles->Find(name);
  if (!entry) return name + " is not listed in " + File + ".INF";
  if (entry->FileSize <= 0 || entry->StartPos < 1) return "the entry of " + name + " in " + File + ".INF is damaged";
  if (static_cast<uint64_t>(entry->FileSize) > maxBytes)
    return name + " in " + File + ".PAK is " + plat::SystemErrorText(plat::kTooLargeToRead) + " (" +
           std::to_string(entry->FileSize) + " bytes)";
  const int64_t pak = plat::FileLen(FilePath + File + ".PAK");
  if (pak < 0) return File + ".PAK cannot be read";
  if (static_cast<int64_t>(entry->StartPos) - 1 + entry->FileSize > pak)
    return name + " lies past the end of " + File + ".PAK";
  return name + " cannot be read from " + File + ".PAK";
}

bool qelPackage::RemoveTempFile() {
  const std::string tempFolder = NativeFolder(TempPath);
  bool all = true;
  for (const auto& copy : *ExtractFiles) {
    // Only Extract's own records are safe to delete; anything else put on
    // the list could name a file outside the folder.
    if (!IsBareFileName(copy->Key) || !plat::RemoveFile(tempFolder + "/" + copy->Key)) all = false;
  }
  ExtractFiles->RemoveAll();
  return all;
}

bool qelPackage::AddArchive(const std::string& name) {
  if (!name.empty()) File = name;
  NormaliseFolders();
  const std::string pakPath = plat::NativePath(TempPath + File + ".PAK");
  const std::vector<std::string> files = plat::ListFiles(FilePath);
  PackFiles->RemoveAll();
  plat::TextRecordWriter inf;
  std::vector<uint8_t> pak;
  for (const std::string& f : files) {
    auto bytes = plat::ReadAllBytes(FilePath + f);
    if (!bytes) return false;
    if (pak.size() + bytes->size() + 1 > 0x7FFFFFFFu) return false;  // positions are 32-bit
    const int32_t start = static_cast<int32_t>(pak.size()) + 1;
    const int32_t size = static_cast<int32_t>(bytes->size());
    inf.String(f).Number(start).Number(size).EndRecord();
    PackFiles->Add(f, start, size);
    pak.insert(pak.end(), bytes->begin(), bytes->end());
    pak.push_back(0);
  }
  return plat::WriteFileAtomic(pakPath, plat::Bytes(pak)) && inf.SaveAtomic(TempPath + File + ".INF");
}

void qelPackage::SetFileExt(const std::string& listFile) {
  plat::TextRecordReader reader = OpenIndex(listFile, plat::NativePath(listFile));
  while (!reader.AtEnd()) {
    const std::string member = reader.ReadString();
    const int32_t n = reader.ReadLong();
    if (n <= 0) continue;
    // Each companion is a field of the file; a count far beyond what the
    // file holds ends in a read error long before memory matters.
    std::vector<std::string> names;
    for (int32_t i = 0; i < n; ++i) names.push_back(reader.ReadString());
    auto entry = DataPack->PackFiles->Item(member);
    entry->AddOnCount(n);
    for (int32_t i = 1; i <= n; ++i) entry->SetFileEx(i, names[static_cast<size_t>(i - 1)]);
  }
}

std::string qelPackage::GetFilePath(std::string_view s) {
  const size_t p = s.rfind('\\');
  return p == std::string_view::npos ? std::string() : std::string(s.substr(0, p + 1));
}

std::string qelPackage::GetFileName(std::string_view s) {
  const size_t p = plat::FindLastChar(s, '\\');
  return p == std::string_view::npos ? std::string(s) : std::string(s.substr(p + 1));
}

std::string qelPackage::GetMainName(std::string_view s) {
  const size_t p = s.rfind('.');
  return p == std::string_view::npos ? std::string(s) : std::string(s.substr(0, p));
}

std::string qelPackage::GetExtName(std::string_view s) {
  const size_t p = s.rfind('.');
  return p == std::string_view::npos ? std::string(s) : std::string(s.substr(p + 1));
}

}  // namespace fw
