#include "multiplayer/session/session_frames.hpp"

#include <cstring>

#include "platform/runtime/code_page.hpp"

namespace fw {
namespace {

class Writer {
 public:
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Raw(v, 2); }
  void U32(uint32_t v) { Raw(v, 4); }
  void I32(int32_t v) { Raw(static_cast<uint32_t>(v), 4); }
  void U64(uint64_t v) { Raw(v, 8); }
  // A text too long for its length byte loses whole characters at its end,
  // never half of one.
  void Str(const std::string& s) {
    const std::string cut = s.size() <= kMaxFrameStringBytes ? s : plat::CutToBytes(s, kMaxFrameStringBytes);
    U8(static_cast<uint8_t>(cut.size()));
    out_.insert(out_.end(), cut.begin(), cut.end());
  }
  void Bytes(const std::vector<uint8_t>& b) {
    U32(static_cast<uint32_t>(b.size()));
    out_.insert(out_.end(), b.begin(), b.end());
  }
  void Reserve(size_t n) { out_.reserve(n); }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  void Raw(uint64_t v, int n) {
    uint8_t b[8];
    for (int i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    out_.insert(out_.end(), b, b + n);
  }
  std::vector<uint8_t> out_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> b) : b_(b) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && pos_ == b_.size(); }
  uint8_t U8() { return static_cast<uint8_t>(Raw(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Raw(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Raw(4)); }
  int32_t I32() { return static_cast<int32_t>(static_cast<uint32_t>(Raw(4))); }
  uint64_t U64() { return Raw(8); }
  bool Bool() {
    uint8_t v = U8();
    if (v > 1) ok_ = false;
    return v == 1;
  }
  std::string Str() {
    size_t n = U8();
    if (!Need(n)) return {};
    std::string s(reinterpret_cast<const char*>(b_.data() + pos_), n);
    pos_ += n;
    return s;
  }
  std::vector<uint8_t> Bytes(size_t cap) {
    size_t n = U32();
    if (n > cap) ok_ = false;
    if (!Need(n)) return {};
    std::vector<uint8_t> v(b_.begin() + static_cast<ptrdiff_t>(pos_), b_.begin() + static_cast<ptrdiff_t>(pos_ + n));
    pos_ += n;
    return v;
  }
  void Fail() { ok_ = false; }

 private:
  bool Need(size_t n) {
    if (!ok_ || b_.size() - pos_ < n) {
      ok_ = false;
      return false;
    }
    return true;
  }
  uint64_t Raw(int n) {
    if (!Need(static_cast<size_t>(n))) return 0;
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(b_[pos_ + static_cast<size_t>(i)]) << (8 * i);
    pos_ += static_cast<size_t>(n);
    return v;
  }
  std::span<const uint8_t> b_;
  size_t pos_ = 0;
  bool ok_ = true;
};

void WriteMember(Writer& w, const SessionMember& m) {
  w.I32(m.id);
  w.Str(m.name);
  w.Str(m.longName);
  w.Str(m.address);
}

SessionMember ReadMember(Reader& r) {
  SessionMember m;
  m.id = r.I32();
  m.name = r.Str();
  m.longName = r.Str();
  m.address = r.Str();
  // The roster's names are shown as they come: they keep the joiner's rule.
  if (m.id <= 0 || !ValidNameText(m.name)) r.Fail();
  return m;
}

}  // namespace

bool ValidNameText(std::string_view text) {
  // No trail byte is below 0x40 or 0x7f, so looking at every byte finds the
  // control characters alone. From 0x80 up the code page decides: 0x80 alone
  // is the euro sign, while a lead byte with nothing after it, or a pair the
  // code page lacks, is no character and would show as something else on
  // every screen.
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f) return false;
  }
  return plat::ConvertsToUtf8(text);
}

bool ValidPlayerName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxFrameNameBytes && ValidNameText(name);
}

std::vector<uint8_t> EncodeFrame(const SessionFrame& f) {
  Writer w;
  w.Reserve(32 + f.payload.size());
  w.U8(static_cast<uint8_t>(f.type));
  switch (f.type) {
    case FrameType::Hello:
      w.U16(f.protocol);
      w.U32(f.build);
      w.U64(f.sessionId);
      w.Str(f.name);
      w.Str(f.address);
      w.I32(f.rejoinId);
      w.I32(f.oldHostId);
      w.U64(f.lastFromOldHost);
      break;
    case FrameType::Welcome:
      w.I32(f.yourId);
      w.I32(f.hostId);
      w.U64(f.sessionId);
      w.Str(f.sessionName);
      w.I32(f.maxPlayers);
      w.U8(static_cast<uint8_t>(f.roster.size()));
      for (const SessionMember& m : f.roster) WriteMember(w, m);
      break;
    case FrameType::Refuse:
    case FrameType::Removed:
      w.U8(f.reason);
      break;
    case FrameType::Data:
    case FrameType::History:
      w.I32(f.from);
      w.I32(f.to);
      w.U64(f.seq);
      w.Bytes(f.payload);
      break;
    case FrameType::RecvAck:
      w.U8(static_cast<uint8_t>(f.acks.size()));
      for (const AckEntry& a : f.acks) {
        w.I32(a.sender);
        w.U64(a.seq);
      }
      break;
    case FrameType::SendAck:
      w.U64(f.seq);
      break;
    case FrameType::MemberJoined:
      WriteMember(w, SessionMember{f.memberId, f.name, f.longName, f.address});
      break;
    case FrameType::MemberLeft:
      w.I32(f.memberId);
      break;
    case FrameType::Leave:
    case FrameType::Heartbeat:
      break;
  }
  return w.Take();
}

std::optional<SessionFrame> DecodeFrame(std::span<const uint8_t> bytes) {
  Reader r(bytes);
  SessionFrame f;
  uint8_t type = r.U8();
  if (!r.ok() || type < 1 || type > static_cast<uint8_t>(FrameType::History)) return std::nullopt;
  f.type = static_cast<FrameType>(type);
  switch (f.type) {
    case FrameType::Hello:
      f.protocol = r.U16();
      f.build = r.U32();
      f.sessionId = r.U64();
      f.name = r.Str();
      f.address = r.Str();
      f.rejoinId = r.I32();
      f.oldHostId = r.I32();
      f.lastFromOldHost = r.U64();
      if (f.rejoinId < 0 || f.oldHostId < 0) r.Fail();
      break;
    case FrameType::Welcome: {
      f.yourId = r.I32();
      f.hostId = r.I32();
      f.sessionId = r.U64();
      f.sessionName = r.Str();
      f.maxPlayers = r.I32();
      size_t n = r.U8();
      if (n > kMaxRosterMembers || f.yourId <= 0 || f.hostId <= 0 || f.maxPlayers < 0) r.Fail();
      for (size_t i = 0; i < n && r.ok(); ++i) f.roster.push_back(ReadMember(r));
      break;
    }
    case FrameType::Refuse:
      f.reason = r.U8();
      if (f.reason < 1 || f.reason > static_cast<uint8_t>(RefuseReason::Retry)) r.Fail();
      break;
    case FrameType::Removed:
      f.reason = r.U8();
      if (f.reason < 1 || f.reason > static_cast<uint8_t>(RemoveReason::TimedOut)) r.Fail();
      break;
    case FrameType::Data:
    case FrameType::History:
      f.from = r.I32();
      f.to = r.I32();
      f.seq = r.U64();
      f.payload = r.Bytes(kMaxPayloadBytes);
      if (f.from < 0 || f.to < 0 || f.seq == 0) r.Fail();
      break;
    case FrameType::RecvAck: {
      size_t n = r.U8();
      if (n > kMaxAckEntries) r.Fail();
      for (size_t i = 0; i < n && r.ok(); ++i) {
        AckEntry a;
        a.sender = r.I32();
        a.seq = r.U64();
        if (a.sender <= 0) r.Fail();
        f.acks.push_back(a);
      }
      break;
    }
    case FrameType::SendAck:
      f.seq = r.U64();
      break;
    case FrameType::MemberJoined: {
      SessionMember m = ReadMember(r);
      f.memberId = m.id;
      f.name = std::move(m.name);
      f.longName = std::move(m.longName);
      f.address = std::move(m.address);
      break;
    }
    case FrameType::MemberLeft:
      f.memberId = r.I32();
      if (f.memberId <= 0) r.Fail();
      break;
    case FrameType::Leave:
    case FrameType::Heartbeat:
      break;
  }
  if (!r.AtEnd()) return std::nullopt;
  return f;
}

}  // namespace fw
