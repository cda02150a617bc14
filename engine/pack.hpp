#pragma once
// The pack archives: a text directory "<name>.INF" beside a raw data file
// "<name>.PAK". Loaders copy a member out to a temporary file, read it with
// the ordinary file readers, and delete the copies right after.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lazy.hpp"
#include "platform/runtime/keyed_collection.hpp"

namespace fw {

// Bounds on what the archives' readers take, far above anything the game's
// data holds (a directory lists a few hundred members in some kilobytes; a
// member is at most a few megabytes): a directory or companion list, and a
// member read whole or copied out, whose size is the directory's word.
inline constexpr uint64_t kMostIndexBytes = uint64_t{8} << 20;
inline constexpr uint64_t kMostMemberBytes = uint64_t{64} << 20;

// One member of an archive, with the companion members that are copied out
// with it (the textures of a model, say).
class FileAttribs {
 public:
  std::string Key;
  int32_t StartPos = 0;  // 1-based position in the data file
  int32_t FileSize = 0;

  int32_t AddOnCount() const { return static_cast<int32_t>(companions_.size()); }
  // Resizes the companion list, keeping the names already there.
  void AddOnCount(int32_t count);
  // The index is clamped into 1..count, so any index names a companion when
  // there is one; with none, the result is empty and a write is dropped.
  std::string GetFileEx(int32_t i) const;
  void SetFileEx(int32_t i, const std::string& name);

 private:
  std::vector<std::string> companions_;
};

// The directory of an archive: members by name, letter case ignored.
class PackFileClass {
 public:
  // Null (collection unchanged, no error) when the name is already present.
  std::shared_ptr<FileAttribs> Add(const std::string& key, int32_t start, int32_t size);
  // Raises for an unknown name or a position out of range.
  std::shared_ptr<FileAttribs> Item(std::string_view key) const { return items_.Item(key); }
  std::shared_ptr<FileAttribs> Item(int position) const { return items_.Item(position); }
  std::shared_ptr<FileAttribs> Find(std::string_view key) const { return items_.Find(key); }
  int32_t Count() const { return items_.Count(); }
  void Remove(std::string_view key) { items_.Remove(key); }
  void Remove(int position) { items_.Remove(position); }
  void RemoveAll() { items_.RemoveAll(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  plat::KeyedCollection<FileAttribs> items_;
};

class qelPackage {
 public:
  std::string File;      // base name, e.g. "Data"
  std::string FilePath;  // folder of the two archive files
  std::string TempPath;  // folder that receives extracted copies
  Lazy<PackFileClass> PackFiles;
  Lazy<PackFileClass> ExtractFiles;

  // Reads the directory. A missing or malformed directory raises
  // plat::RuntimeError naming the file and its folder; so do one larger
  // than kMostIndexBytes, found before it is read, and a member name that
  // is not a bare file name.
  void LoadInf(const std::string& name);
  // Copies a member (and its companions, theirs and so on, each once) to
  // TempPath under the name as given. An unknown or empty member, one
  // larger than kMostMemberBytes, or an unreadable data file, leaves
  // nothing and says nothing: the loader then fails to open the copy. A
  // name with a folder part (requested or a companion) raises
  // plat::RuntimeError and nothing is written for it.
  void Extract(const std::string& name);
  // A member's bytes straight from the data file, for readers that need no
  // copy on disk (its companions are not read). nullopt for an unknown or
  // empty member, one larger than maxBytes (nothing read then) or an
  // unreadable data file; a name with a folder part raises
  // plat::RuntimeError, as Extract does.
  std::optional<std::vector<uint8_t>> ReadMember(const std::string& name, uint64_t maxBytes = kMostMemberBytes);
  // For messages: where a member lives ("x.jpg in Data.PAK"), and why
  // ReadMember, given the same bound, found no bytes for it, naming the
  // archive file at fault.
  std::string MemberPlace(const std::string& name) const;
  std::string WhyUnreadable(const std::string& name, uint64_t maxBytes = kMostMemberBytes);
  // Deletes every copy made since the last clean-up and empties the list.
  // A copy already gone is fine; a copy that cannot be deleted is reported
  // by the result (false) but does not stay on the list.
  bool RemoveTempFile();
  // The packer: builds "<name>.PAK" and "<name>.INF" in TempPath from the
  // plain files directly in FilePath. False when the output cannot be
  // written.
  bool AddArchive(const std::string& name);
  // Reads a companion list file and applies it to DataPack's directory.
  void SetFileExt(const std::string& listFile);

  static std::string GetFilePath(std::string_view s);
  static std::string GetFileName(std::string_view s);
  static std::string GetMainName(std::string_view s);
  static std::string GetExtName(std::string_view s);

 private:
  void NormaliseFolders();
};

extern Lazy<qelPackage> DataPack;
extern Lazy<qelPackage> MissionPack;

}  // namespace fw
