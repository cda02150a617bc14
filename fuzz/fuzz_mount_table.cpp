// libs: fw_engine
// The mount table the film drive is looked for in: any text gives a list of
// file systems, each with a root and a type, and never crashes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/startup.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const fw::DriveRoot& d : fw::ParseMountTable(text))
    if (d.root.empty() || d.type.empty() || d.root.size() > size || d.type.size() > size) __builtin_trap();
  return 0;
}
