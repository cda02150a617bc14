// The serial link's frame decoder: frames come out whole however the line
// cuts them, and garbled bytes never pass as a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/net/serial_frame.hpp"

namespace {

using plat::SerialFrame;
using plat::SerialFrameKind;

std::vector<SerialFrame> Sample() {
  return {
      {SerialFrameKind::Data, 0, plat::kSerialLastFragment, {1, 2, 3}},
      {SerialFrameKind::Ack, 65535, 0, {9, 9, 9, 9}},
      {SerialFrameKind::Data, 7, 0, std::vector<uint8_t>(plat::kSerialMaxPayload, 0xF5)},
      {SerialFrameKind::Hello, 0, 0, {}},
      {SerialFrameKind::Datagram, 0, 0, {0xF5, 0x7A, 0xF5}},  // sync bytes inside a payload
  };
}

std::vector<uint8_t> Line(const std::vector<SerialFrame>& frames) {
  std::vector<uint8_t> line;
  for (const auto& f : frames) {
    auto b = plat::EncodeSerialFrame(f);
    line.insert(line.end(), b.begin(), b.end());
  }
  return line;
}

TEST(SerialFrame, FramesSurviveAnyCutting) {
  auto frames = Sample();
  auto line = Line(frames);
  for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, line.size()}) {
    plat::SerialFrameDecoder d;
    std::vector<SerialFrame> got;
    for (size_t i = 0; i < line.size(); i += piece) d.Feed(line.data() + i, std::min(piece, line.size() - i), got);
    EXPECT_EQ(got, frames) << "pieces of " << piece;
    EXPECT_EQ(d.SkippedBytes(), 0u);
  }
  // The standard check value: a CRC that differed from the far end's would
  // refuse every frame.
  EXPECT_EQ(plat::Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
}

TEST(SerialFrame, DamageLosesOnlyTheDamagedFrame) {
  auto frames = Sample();
  auto clean = Line(frames);
  const size_t first = plat::EncodeSerialFrame(frames[0]).size();
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  } cases[] = {
      {"payload bit", [](auto& l) { l[9] ^= 0x10; }},
      {"crc byte", [&](auto& l) { l[first - 1] ^= 1; }},
      {"length made huge", [](auto& l) { l[7] = 0xFF; }},
      {"length made longer", [](auto& l) { l[6] = 40; }},
      {"kind unknown", [](auto& l) { l[2] = 99; }},
      {"sync lost", [](auto& l) { l[0] = 0; }},
      {"bytes dropped", [](auto& l) { l.erase(l.begin() + 3, l.begin() + 5); }},
      {"garbage before", [](auto& l) { l.insert(l.begin(), {0xF5, 0xF5, 0x7A, 0x01}); }},
  };
  for (const Case& c : cases) {
    auto line = clean;
    c.damage(line);
    plat::SerialFrameDecoder d;
    std::vector<SerialFrame> got;
    d.Feed(line.data(), line.size(), got);
    // A frame that claims more length than it has swallows the next frames'
    // bytes until its CRC fails; the ones after come through.
    ASSERT_GE(got.size(), 2u) << c.what;
    EXPECT_EQ(got.back(), frames.back()) << c.what;
    for (const auto& f : got) EXPECT_NE(std::find(frames.begin(), frames.end(), f), frames.end()) << c.what;
  }
}

}  // namespace
