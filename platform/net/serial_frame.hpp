#pragma once
// Frames of the serial-cable link. A line drops and garbles bytes, so every
// frame starts with a sync pair, carries its length and ends with a CRC-32;
// the decoder skips whatever does not check out and finds the next frame.
//
//   sync 0xF5 0x7A | kind u8 | seq u16 | flags u8 | length u16 | payload | crc32
//
// Integers little-endian; the CRC covers kind to the end of the payload.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace plat {

enum class SerialFrameKind : uint8_t {
  Data = 1,      // a fragment of a guaranteed message, numbered by seq, after the sender's link nonce
  Ack = 2,       // seq: the next fragment the acknowledging end expects; payload: the nonce of the end
                 // acknowledged, then a bit per later fragment already held (u32)
  Datagram = 3,  // one unsequenced, unacknowledged message (finding a game)
  Hello = 4,     // payload: the sender's link nonce (u32); keeps the link alive
};

inline constexpr uint8_t kSerialLastFragment = 1;
inline constexpr size_t kSerialMaxPayload = 240;
inline constexpr size_t kSerialFrameOverhead = 2 + 1 + 2 + 1 + 2 + 4;

struct SerialFrame {
  SerialFrameKind kind = SerialFrameKind::Data;
  uint16_t seq = 0;
  uint8_t flags = 0;
  std::vector<uint8_t> payload;
  friend bool operator==(const SerialFrame&, const SerialFrame&) = default;
};

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// The frame's bytes; the payload must not exceed kSerialMaxPayload.
std::vector<uint8_t> EncodeSerialFrame(const SerialFrame& f);

// Takes the line's bytes as they come, in any pieces, and gives the frames
// whose CRC checks out. Holds at most one frame's bytes between calls.
class SerialFrameDecoder {
 public:
  // Appends the frames completed by these bytes to out.
  void Feed(const uint8_t* data, size_t size, std::vector<SerialFrame>& out);
  // Bytes skipped as garbage so far (for the link's statistics and tests).
  uint64_t SkippedBytes() const { return skipped_; }

 private:
  std::vector<uint8_t> buf_;
  uint64_t skipped_ = 0;
};

}  // namespace plat
