// libs: fw_data
// "map.ini" rows from arbitrary text: every stored entry has a key.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/map_control.hpp"
#include "platform/runtime/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::MapControl control;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  try {
    fw::ReadMapRows(reader, control);
  } catch (const plat::RuntimeError&) {
  }
  for (const auto& entry : *control.MapIndexs)
    if (entry->Key.empty()) __builtin_trap();
  return 0;
}
