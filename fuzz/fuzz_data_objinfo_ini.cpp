// libs: fw_data
// "objinfo.ini" rows from arbitrary text: a stored type is complete, with
// its frames, cell size and animation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/building.hpp"
#include "platform/runtime/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::Buildings types;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  try {
    fw::ReadObjInfoRows(reader, types);
  } catch (const plat::RuntimeError&) {
  }
  for (const auto& b : types) {
    if (b->SingleW != 80 || b->SingleH != 40 || b->TotalData() < 1 || b->TotalData() > 6) __builtin_trap();
    b->SEQStyle();
  }
  return 0;
}
