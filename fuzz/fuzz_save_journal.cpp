// libs: plat_runtime
// The save journal from arbitrary bytes: only a whole journal whose paths
// stay inside its folder decodes, and it encodes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/runtime/save_together.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto files = plat::DecodeSaveJournal(bytes);
  if (!files) return 0;
  for (const plat::FileContent& f : *files) {
    // Every part a plain name: nothing reaches outside the folder.
    std::string_view rest = f.gamePath;
    while (true) {
      const size_t slash = rest.find('/');
      const std::string_view part = rest.substr(0, slash);
      if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string_view::npos) __builtin_trap();
      if (slash == std::string_view::npos) break;
      rest.remove_prefix(slash + 1);
    }
  }
  if (plat::EncodeSaveJournal(*files) != bytes) __builtin_trap();
  return 0;
}
