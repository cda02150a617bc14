#include "multiplayer/session/discovery.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "multiplayer/session/session_frames.hpp"
#include "platform/net/ipv4.hpp"
#include "platform/runtime/code_page.hpp"

namespace fw {

namespace {
constexpr uint8_t kQueryMagic[4] = {'F', 'W', 'D', 'Q'};
constexpr uint8_t kAnswerMagic[4] = {'F', 'W', 'D', 'A'};

struct Writer {
  std::vector<uint8_t> b;
  void Put(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Raw(const void* p, size_t n) {
    auto* c = static_cast<const uint8_t*>(p);
    b.insert(b.end(), c, c + n);
  }
};

struct Reader {
  std::span<const uint8_t> b;
  size_t pos = 0;
  bool ok = true;
  uint64_t Get(int bytes) {
    if (!ok || b.size() - pos < static_cast<size_t>(bytes)) {
      ok = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t{b[pos + i]} << (8 * i);
    pos += static_cast<size_t>(bytes);
    return v;
  }
  bool Magic(const uint8_t (&m)[4]) {
    if (b.size() < 4 || std::memcmp(b.data(), m, 4) != 0) return ok = false;
    pos = 4;
    return true;
  }
  bool Done() const { return ok && pos == b.size(); }
};
// Both datagrams open with the magic, the protocol, the build and the nonce.
template <class T>
void PutHead(Writer& w, const uint8_t (&magic)[4], const T& m) {
  w.Raw(magic, 4);
  w.Put(m.protocol, 2);
  w.Put(m.build, 4);
  w.Put(m.nonce, 4);
}
template <class T>
bool GetHead(Reader& r, const uint8_t (&magic)[4], T& m) {
  if (!r.Magic(magic)) return false;
  m.protocol = static_cast<uint16_t>(r.Get(2));
  m.build = static_cast<uint32_t>(r.Get(4));
  m.nonce = static_cast<uint32_t>(r.Get(4));
  return r.ok;
}
}  // namespace

std::vector<uint8_t> EncodeQuery(const DiscoveryQuery& q) {
  Writer w;
  PutHead(w, kQueryMagic, q);
  w.b.resize(kDiscoveryQueryBytes, 0);
  return std::move(w.b);
}

std::vector<uint8_t> EncodeAnswer(const DiscoveryAnswer& a) {
  Writer w;
  PutHead(w, kAnswerMagic, a);
  w.Put(a.sessionId, 8);
  std::string name = plat::CutToBytes(a.name, kDiscoveryNameMax);
  w.Put(name.size(), 1);
  w.Raw(name.data(), name.size());
  w.Put(a.players, 1);
  w.Put(a.maximum, 1);
  w.Put(a.gamePort, 2);
  w.Put(a.accepting ? 1 : 0, 1);
  return std::move(w.b);
}

std::optional<DiscoveryQuery> DecodeQuery(std::span<const uint8_t> bytes) {
  Reader r{bytes};
  DiscoveryQuery q;
  if (!GetHead(r, kQueryMagic, q) || bytes.size() != kDiscoveryQueryBytes) return std::nullopt;
  // The padding is zeros, so a query decodes only from the bytes it encodes to.
  if (std::any_of(bytes.begin() + static_cast<std::ptrdiff_t>(r.pos), bytes.end(), [](uint8_t b) { return b != 0; }))
    return std::nullopt;
  return q;
}

std::optional<DiscoveryAnswer> DecodeAnswer(std::span<const uint8_t> bytes) {
  Reader r{bytes};
  DiscoveryAnswer a;
  if (!GetHead(r, kAnswerMagic, a)) return std::nullopt;
  a.sessionId = r.Get(8);
  size_t n = static_cast<size_t>(r.Get(1));
  if (!r.ok || n > kDiscoveryNameMax || bytes.size() - r.pos < n) return std::nullopt;
  a.name.assign(reinterpret_cast<const char*>(bytes.data() + r.pos), n);
  r.pos += n;
  // A name that ends inside a character, or holds what no screen can show,
  // is not listed: the lobby would show something the host never chose.
  if (!ValidNameText(a.name)) return std::nullopt;
  a.players = static_cast<uint8_t>(r.Get(1));
  a.maximum = static_cast<uint8_t>(r.Get(1));
  a.gamePort = static_cast<uint16_t>(r.Get(2));
  uint64_t accepting = r.Get(1);
  if (!r.Done() || accepting > 1) return std::nullopt;
  a.accepting = accepting == 1;
  return a;
}

uint16_t GamePort() { return plat::PortFromEnvironment("FERROWIND_PORT", kDefaultGamePort); }
uint16_t DiscoveryPort() { return plat::PortFromEnvironment("FERROWIND_DISCOVERY_PORT", kDefaultDiscoveryPort); }

}  // namespace fw
