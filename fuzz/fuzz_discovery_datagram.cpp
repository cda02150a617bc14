// libs: fw_multiplayer
// A datagram on the discovery port or a game port from anyone: it decodes as
// a query or an answer, or is refused, and what decodes encodes back to the
// same bytes and decodes to the same value.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "multiplayer/session/discovery.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  if (auto q = fw::DecodeQuery(bytes)) {
    auto again = fw::EncodeQuery(*q);
    if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) std::abort();
    if (fw::DecodeQuery(again) != q) std::abort();
  }
  if (auto a = fw::DecodeAnswer(bytes)) {
    auto again = fw::EncodeAnswer(*a);
    if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) std::abort();
    if (fw::DecodeAnswer(again) != a) std::abort();
  }
  return 0;
}
