// libs: fw_factory_rules
// The model index from arbitrary text, applied to a small archive
// directory: it stops cleanly at a bad record and names only members the
// archive holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "factory/rules/model_index.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::PackFileClass files;
  files.Add("tank.x", 1, 10);
  files.Add("skin.bmp", 11, 10);
  files.Add("gun.x", 21, 10);
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  std::string problem;
  const bool ok = fw::ReadModelIndex(reader, files, problem);
  if (ok != problem.empty() || files.Count() != 3) __builtin_trap();
  for (const auto& entry : files)
    for (int32_t i = 1; i <= entry->AddOnCount(); ++i)
      if (!files.Find(entry->GetFileEx(i))) __builtin_trap();
  return 0;
}
