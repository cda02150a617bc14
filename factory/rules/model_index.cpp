#include "factory/rules/model_index.hpp"

#include <vector>

#include "engine/globals.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

bool ReadModelIndex(plat::TextRecordReader& reader, PackFileClass& files, std::string& problem) {
  int record = reader.Line();
  try {
    while (!reader.AtEnd()) {
      record = reader.Line();
      const std::string member = reader.ReadString();
      const int32_t count = reader.ReadLong();
      if (count <= 0) continue;
      // Every name is a field of the file, so a huge count runs out of
      // input long before it runs out of memory.
      std::vector<std::string> names;
      for (int32_t i = 0; i < count; ++i) names.push_back(reader.ReadString());
      auto entry = files.Find(member);
      if (!entry) continue;
      // A companion the archive does not hold could not be extracted anyway;
      // leaving it out keeps every name handed to the archive one of its own.
      std::erase_if(names, [&](const std::string& n) { return !files.Find(n); });
      entry->AddOnCount(static_cast<int32_t>(names.size()));
      for (size_t i = 0; i < names.size(); ++i) entry->SetFileEx(static_cast<int32_t>(i + 1), names[i]);
    }
  } catch (const plat::RuntimeError& e) {
    problem = std::string("Index.txt line ") + std::to_string(record) + ": " + e.what();
    return false;
  }
  return true;
}

bool LoadXIndex() {
  qelPackage& pack = *DataPack;
  pack.Extract("Index.txt");
  std::string problem;
  bool ok = false;
  if (auto reader = plat::TextRecordReader::Open(pack.TempPath + "index.txt"))
    ok = ReadModelIndex(*reader, *pack.PackFiles, problem);
  else
    problem = "Unable to Read Index.txt";
  pack.RemoveTempFile();
  if (!ok) LastError = problem;
  return ok;
}

}  // namespace fw
