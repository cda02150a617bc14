// libs: fw_data
// "obj.ini" rows from arbitrary text: entries are numbered in file order.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/map_control.hpp"
#include "platform/runtime/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::MapClipIndex clips;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  try {
    fw::ReadObjRows(reader, clips);
  } catch (const plat::RuntimeError&) {
  }
  int32_t n = 0;
  for (const auto& clip : clips)
    if (clip->Index != n++) __builtin_trap();
  return 0;
}
