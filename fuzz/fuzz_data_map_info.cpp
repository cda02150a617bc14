// libs: fw_data
// "MapInfo.ini" rows from arbitrary text: each row is stored whole or not at
// all, under its key, and a bad row raises the runtime's error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/map_control.hpp"
#include "platform/runtime/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::MapControl control;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  try {
    fw::ReadMapInfoRows(reader, control);
  } catch (const plat::RuntimeError&) {
  }
  for (const auto& sheet : *control.MapClips)
    if (control.MapClips->Item(sheet->Key) != sheet || sheet->Index < 1 || sheet->Index > 255 ||
        sheet->mWidth != static_cast<int64_t>(sheet->RepeatX) * 80)
      __builtin_trap();
  return 0;
}
