// libs: plat_runtime
// The text record reader on arbitrary bytes: every read either returns or
// raises the runtime's error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/runtime/error.hpp"
#include "platform/runtime/text_records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t pattern = data[0];
  plat::TextRecordReader r(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  for (int i = 0; i < 256 && !r.AtEnd(); ++i) {
    try {
      switch ((pattern >> (i % 4 * 2)) & 3) {
        case 0: r.ReadString(); break;
        case 1: r.ReadLong(); break;
        case 2: r.ReadSingle(); break;
        default: r.ReadInteger(); break;
      }
    } catch (const plat::RuntimeError&) {
    }
  }
  return 0;
}
