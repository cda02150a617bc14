#include "platform/net/serial_frame.hpp"

#include <array>

namespace plat {

namespace {
constexpr uint8_t kSync0 = 0xF5, kSync1 = 0x7A;
constexpr size_t kHeader = 8;  // sync to length

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
constexpr auto kCrcTable = MakeCrcTable();

bool KnownKind(uint8_t k) { return k >= 1 && k <= 4; }
}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::vector<uint8_t> EncodeSerialFrame(const SerialFrame& f) {
  std::vector<uint8_t> b;
  size_t n = f.payload.size() > kSerialMaxPayload ? kSerialMaxPayload : f.payload.size();
  b.reserve(kSerialFrameOverhead + n);
  b.push_back(kSync0);
  b.push_back(kSync1);
  b.push_back(static_cast<uint8_t>(f.kind));
  b.push_back(static_cast<uint8_t>(f.seq));
  b.push_back(static_cast<uint8_t>(f.seq >> 8));
  b.push_back(f.flags);
  b.push_back(static_cast<uint8_t>(n));
  b.push_back(static_cast<uint8_t>(n >> 8));
  b.insert(b.end(), f.payload.begin(), f.payload.begin() + static_cast<ptrdiff_t>(n));
  uint32_t crc = Crc32(b.data() + 2, b.size() - 2);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  return b;
}

void SerialFrameDecoder::Feed(const uint8_t* data, size_t size, std::vector<SerialFrame>& out) {
  buf_.insert(buf_.end(), data, data + size);
  size_t pos = 0;
  auto skip = [&](size_t n) {
    pos += n;
    skipped_ += n;
  };
  while (true) {
    // Find the sync pair.
    while (pos < buf_.size() && buf_[pos] != kSync0) skip(1);
    if (buf_.size() - pos < 2) break;
    if (buf_[pos + 1] != kSync1) {
      skip(1);
      continue;
    }
    if (buf_.size() - pos < kHeader) break;
    const uint8_t* h = buf_.data() + pos;
    size_t len = h[6] | (size_t{h[7]} << 8);
    if (!KnownKind(h[2]) || len > kSerialMaxPayload) {
      skip(1);
      continue;
    }
    size_t total = kHeader + len + 4;
    if (buf_.size() - pos < total) break;
    uint32_t crc = 0;
    for (int i = 0; i < 4; ++i) crc |= uint32_t{h[kHeader + len + i]} << (8 * i);
    if (Crc32(h + 2, kHeader - 2 + len) != crc) {
      skip(1);
      continue;
    }
    SerialFrame f;
    f.kind = static_cast<SerialFrameKind>(h[2]);
    f.seq = static_cast<uint16_t>(h[3] | (h[4] << 8));
    f.flags = h[5];
    f.payload.assign(h + kHeader, h + kHeader + len);
    out.push_back(std::move(f));
    pos += total;
  }
  buf_.erase(buf_.begin(), buf_.begin() + static_cast<ptrdiff_t>(pos));
}

}  // namespace plat
