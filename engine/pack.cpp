#include "engine/pack.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/runtime/code_page.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/strings.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

Lazy<qelPackage> DataPack;
Lazy<qelPackage> MissionPack;

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
  auto reader = plat::TextRecordReader::Open(FilePath + inf);
  if (!reader)
    throw plat::RuntimeError(plat::ErrorCode::FileNotFound,
                             "File not found: \"" + inf + "\" in " + plat::NativePath(FilePath));
  PackFiles->RemoveAll();
  try {
    while (!reader->AtEnd()) {
      const std::string member = reader->ReadString();
      const int32_t start = reader->ReadLong();
      const int32_t size = reader->ReadLong();
      PackFiles->Add(member, start, size);
    }
  } catch (const plat::RuntimeError& e) {
    throw plat::RuntimeError(e.code(), "Damaged archive directory \"" + inf + "\" in " + plat::NativePath(FilePath) +
                                           ": " + e.what());
  }
}

namespace {
// Copies size bytes at offset of the data file to a new file; false on any
// failure, leaving no partial copy.
bool CopyRange(const std::string& from, int64_t offset, int64_t size, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0 || offset < 0 || size <= 0 || offset + size > st.st_size) {
    ::close(in);
    return false;
  }
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  off_t pos = offset;
  int64_t left = size;
  // In-kernel copy where the file systems allow it; plain reads otherwise.
  while (left > 0) {
    ssize_t n = ::copy_file_range(in, &pos, out, nullptr, static_cast<size_t>(left), 0);
    if (n <= 0) break;
    left -= n;
  }
  if (left > 0) {
    std::vector<char> buf(static_cast<size_t>(std::min<int64_t>(left, 1 << 20)));
    while (ok && left > 0) {
      ssize_t n = ::pread(in, buf.data(), static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buf.size()))), pos);
      if (n <= 0) {
        ok = false;
        break;
      }
      const char* p = buf.data();
      ssize_t rest = n;
      while (rest > 0) {
        ssize_t w = ::write(out, p, static_cast<size_t>(rest));
        if (w < 0) {
          if (errno == EINTR) continue;
          ok = false;
          break;
        }
        p += w;
        rest -= w;
      }
      pos += n;
      left -= n;
    }
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(to.c_str());
  return ok;
}
}  // namespace

void qelPackage::Extract(const std::string& name) {
  std::vector<std::string> chain;
  ExtractChain(name, chain);
}

void qelPackage::ExtractChain(const std::string& name, std::vector<std::string>& chain) {
  NormaliseFolders();
  auto entry = PackFiles->Find(name);
  if (!entry) return;
  // Companion lists come from data files; a member already being extracted
  // further up the chain would recurse without end.
  for (const auto& c : chain)
    if (plat::EqualNoCase(c, name)) return;
  if (entry->FileSize <= 0 || entry->StartPos < 1) return;
  if (!CopyRange(plat::NativePath(FilePath + File + ".PAK"), static_cast<int64_t>(entry->StartPos) - 1,
                 entry->FileSize, plat::NativePath(TempPath + name)))
    return;
  if (!ExtractFiles->Find(name)) ExtractFiles->Add(name, 0, 0);
  chain.push_back(name);
  const int32_t n = entry->AddOnCount();
  for (int32_t i = 1; i <= n; ++i) ExtractChain(entry->GetFileEx(i), chain);
  chain.pop_back();
}

bool qelPackage::RemoveTempFile() {
  bool all = true;
  for (const auto& copy : *ExtractFiles)
    if (!plat::RemoveFile(TempPath + copy->Key)) all = false;
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
  return plat::WriteFileAtomic(pakPath, pak.data(), pak.size()) && inf.SaveAtomic(TempPath + File + ".INF");
}

void qelPackage::SetFileExt(const std::string& listFile) {
  auto reader = plat::TextRecordReader::Open(listFile);
  if (!reader) throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "File not found: " + listFile);
  while (!reader->AtEnd()) {
    const std::string member = reader->ReadString();
    const int32_t n = reader->ReadLong();
    if (n <= 0) continue;
    // Each companion is a field of the file; a count far beyond what the
    // file holds ends in a read error long before memory matters.
    std::vector<std::string> names;
    for (int32_t i = 0; i < n; ++i) names.push_back(reader->ReadString());
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
