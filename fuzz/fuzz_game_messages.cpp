// libs: fw_multiplayer
// Game messages from a peer on arbitrary bytes: decoding never fails
// unsafely, whatever decodes encodes back to the very same bytes, and what
// is encoded from a decoded message decodes to an equal message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "multiplayer/game_messages.hpp"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const auto message = fw::DecodeGameMessage(bytes);
  if (!message) return 0;
  const auto again = fw::EncodeGameMessage(*message);
  Check(again.has_value());
  Check(again->size() == size && std::equal(again->begin(), again->end(), data));
  const auto back = fw::DecodeGameMessage(*again);
  Check(back.has_value() && *back == *message);
  Check(fw::TypeOf(*back) == fw::TypeOf(*message));
  return 0;
}
