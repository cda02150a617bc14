// libs: fw_multiplayer
// Game messages both ways. Arbitrary bytes from a peer: decoding never fails
// unsafely, and whatever decodes encodes back to the very same bytes.
// Arbitrary messages built field by field: whatever encodes decodes to an
// equal message, so a sender never puts on the wire what a peer refuses.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "multiplayer/battle/game_messages.hpp"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}

// Values near the limits come up often enough to matter.
int32_t Long(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return in.ConsumeIntegralInRange<int32_t>(-2, 2);
    case 1: return in.ConsumeIntegralInRange<int32_t>(-40000, 40000);
    default: return in.ConsumeIntegral<int32_t>();
  }
}
float Single(FuzzedDataProvider& in) { return in.ConsumeBool() ? in.ConsumeFloatingPoint<float>() : Long(in); }
uint8_t Byte(FuzzedDataProvider& in) { return in.ConsumeBool() ? in.ConsumeIntegralInRange<uint8_t>(0, 3) : in.ConsumeIntegral<uint8_t>(); }
std::string Text(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(140); }
size_t Count(FuzzedDataProvider& in) { return in.ConsumeIntegralInRange<size_t>(0, 40); }

fw::WireBuilding Building(FuzzedDataProvider& in) {
  return fw::WireBuilding{Text(in), Long(in), Long(in), Long(in), Single(in)};
}

fw::GameMessage Build(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 10)) {
    case 0: {
      fw::MsgTankInfo m{Single(in), Single(in), Single(in), Text(in), Single(in), Single(in),
                        Single(in), Single(in), Single(in), Single(in), Single(in), {}};
      for (size_t n = Count(in); n > 0; --n) {
        m.Weapons.push_back(fw::WireWeapon{Single(in), Long(in), Long(in), Single(in), Long(in), Single(in), Text(in),
                                           Byte(in), Long(in), Long(in), Single(in), Long(in)});
      }
      return m;
    }
    case 1:
      return fw::MsgTankState{Single(in), Single(in), Single(in), Single(in), Single(in),
                              Single(in), Single(in), Byte(in),   Byte(in)};
    case 2: return fw::MsgJoin{Byte(in)};
    case 3: return fw::MsgQuit{};
    case 4: {
      fw::MsgControl m{Byte(in), Byte(in), Byte(in), Long(in), Byte(in), Single(in), Single(in), Long(in), {}};
      for (size_t n = Count(in); n > 0; --n) m.Enabled.push_back(Byte(in));
      return m;
    }
    case 5: return fw::MsgInfoRequest{};
    case 6: return fw::MsgKilledBy{Long(in)};
    case 7: return fw::MsgScore{Long(in), Long(in), Single(in), Byte(in)};
    case 8: return fw::MsgSettingRequest{Long(in)};
    case 9: {
      fw::MsgSetting m{Byte(in), Text(in), Byte(in), Long(in), Long(in), Text(in),
                       Long(in), Long(in), Byte(in), Long(in), {}};
      for (size_t n = Count(in); n > 0; --n) m.Buildings.push_back(Building(in));
      return m;
    }
    default: {
      fw::MsgBuildState m;
      for (size_t n = Count(in); n > 0; --n) m.Buildings.push_back(Building(in));
      m.SenderID = Long(in);
      return m;
    }
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (const auto message = fw::DecodeGameMessage(bytes)) {
    const auto again = fw::EncodeGameMessage(*message);
    Check(again.has_value());
    Check(again->size() == size && std::equal(again->begin(), again->end(), data));
    const auto back = fw::DecodeGameMessage(*again);
    Check(back.has_value() && *back == *message);
  }
  FuzzedDataProvider in(data, size);
  const fw::GameMessage built = Build(in);
  if (const auto encoded = fw::EncodeGameMessage(built)) {
    const auto back = fw::DecodeGameMessage(*encoded);
    Check(back.has_value() && *back == built && fw::TypeOf(*back) == fw::TypeOf(built));
  }
  return 0;
}
