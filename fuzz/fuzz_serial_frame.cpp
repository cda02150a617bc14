// libs: plat_net
// Bytes off a serial line, in pieces of any size: the decoder gives only
// frames whose encoding appears in the input, and never more than it could hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/net/serial_frame.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks how the line cuts the rest.
  size_t piece = 1 + data[0] % 64;
  plat::SerialFrameDecoder d;
  std::vector<plat::SerialFrame> frames;
  for (size_t i = 1; i < size; i += piece) d.Feed(data + i, std::min(piece, size - i), frames);
  for (const auto& f : frames) {
    if (f.payload.size() > plat::kSerialMaxPayload) std::abort();
    auto enc = plat::EncodeSerialFrame(f);
    if (std::search(data + 1, data + size, enc.begin(), enc.end()) == data + size) std::abort();
  }
  return 0;
}
