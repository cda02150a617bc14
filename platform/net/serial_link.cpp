#include "platform/net/serial_link.hpp"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/runtime/compiler_false_alarms.hpp"

namespace plat {

namespace {
constexpr size_t kWindow = 32;  // frames in flight; the acknowledgement has a bit for each after a gap
// Data frames carry the sender's link nonce before the fragment, acks the
// nonce of the side they acknowledge: frames of a far end that restarted are
// never taken for the old one's.
constexpr size_t kNonceBytes = 4;
// Data frames stay short: on a noisy line the chance that a frame arrives
// whole falls with every byte it carries.
constexpr size_t kFragment = 64;
constexpr size_t kLineBacklog = 2048;
constexpr auto kHelloEvery = std::chrono::milliseconds(1000);

void PutNonce(std::vector<uint8_t>& b, uint32_t n) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(n >> (8 * i)));
}
uint32_t GetU32(const uint8_t* b) {
  uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= uint32_t{b[i]} << (8 * i);
  return n;
}
uint32_t GetNonce(const std::vector<uint8_t>& b) { return GetU32(b.data()); }
int16_t SeqDiff(uint16_t a, uint16_t b) { return static_cast<int16_t>(static_cast<uint16_t>(a - b)); }

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 115200: return B115200;
    default: return B57600;
  }
}
}  // namespace

std::string ComPortDevice(int n) {
  if (n < 1 || n > 4) return {};
  std::string var = "FERROWIND_COM" + std::to_string(n);
  if (const char* env = std::getenv(var.c_str()); env && *env) return env;
  return "/dev/ttyS" + std::to_string(n - 1);
}

SerialLink::SerialLink() {
  std::random_device rd;
  do nonce_ = rd();
  while (nonce_ == 0);
}

SerialLink::~SerialLink() { Close(); }

bool SerialLink::Open(const std::string& device, int baud, bool announce) {
  Close();
  int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error_ = device + ": " + std::strerror(errno);
    return false;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    error_ = device + " is not a serial line";
    close(fd);
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, SpeedOf(baud));
  cfsetospeed(&t, SpeedOf(baud));
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    error_ = device + ": cannot set the line up";
    close(fd);
    return false;
  }
  tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  baud_ = baud;
  announce_ = announce;
  error_.clear();
  Reset();
  lastHello_ = {};
  return true;
}

void SerialLink::Close() {
  if (fd_ >= 0 && connected_) {
    // Let what was queued last (a leave) reach the line, for a moment only.
    auto end = Clock::now() + std::chrono::milliseconds(100);
    Transmit(Clock::now());
    while (!tx_.empty() && Clock::now() < end) {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 10);
      FlushLine();
    }
  }
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  connected_ = false;
  peerNonce_ = 0;
  Reset();
}

void SerialLink::Reset() {
  pendingFragments_.clear();
  pendingLast_.clear();
  waitingBytes_ = 0;
  inFlight_.clear();
  nextSeq_ = 0;
  srtt_ = {};
  rttvar_ = {};
  tx_.clear();
  expected_ = 0;
  assembly_.clear();
  assemblyBroken_ = false;
  early_.clear();
  decoder_ = SerialFrameDecoder{};
}

bool SerialLink::Send(const std::vector<uint8_t>& bytes) {
  if (fd_ < 0 || bytes.size() > kMaxMessage || waitingBytes_ + bytes.size() > kMaxWaiting) return false;
  size_t pos = 0;
  do {
    size_t n = std::min(kFragment, bytes.size() - pos);
    pendingFragments_.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(pos),
                                   bytes.begin() + static_cast<ptrdiff_t>(pos + n));
    pos += n;
    pendingLast_.push_back(pos == bytes.size() ? kSerialLastFragment : 0);
  } while (pos < bytes.size());
  waitingBytes_ += bytes.size();
  return true;
}

bool SerialLink::SendDatagram(const std::vector<uint8_t>& bytes) {
  if (fd_ < 0 || bytes.size() > kSerialMaxPayload) return false;
  Queue(SerialFrame{SerialFrameKind::Datagram, 0, 0, bytes});
  FlushLine();
  return true;
}

void SerialLink::Queue(const SerialFrame& f) {
  auto b = EncodeSerialFrame(f);
  tx_.insert(tx_.end(), b.begin(), b.end());
}

void SerialLink::SendHello() {
  SerialFrame f{SerialFrameKind::Hello, 0, 0, {}};
  PutNonce(f.payload, nonce_);
  Queue(f);
  lastHello_ = Clock::now();
}

void SerialLink::FlushLine() {
  while (!tx_.empty() && fd_ >= 0) {
    ssize_t n = write(fd_, tx_.data(), tx_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    tx_.erase(tx_.begin(), tx_.begin() + n);
  }
}

std::chrono::microseconds SerialLink::ResendAfter() const {
  using std::chrono::microseconds;
  // The line's own time for what is queued, then the round trip seen with
  // room for its variation. No backing off: a line loses frames to noise,
  // not to crowding, and what crowds it is counted in the line's time.
  microseconds line{static_cast<int64_t>(tx_.size()) * 10 * 1000000 / std::max(baud_, 1200)};
  microseconds rtt = srtt_.count() == 0 ? microseconds(250000)
                                        : std::clamp(srtt_ + 4 * rttvar_, microseconds(20000), microseconds(3000000));
  return line + rtt;
}

void SerialLink::Resend(Outgoing& o, Clock::time_point now) {
  tx_.insert(tx_.end(), o.bytes.begin(), o.bytes.end());
  o.sent = now;
  o.resent = true;
  ++resends_;
}

void SerialLink::ReadLine(std::vector<LinkEvent>& out) {
  uint8_t buf[4096];
  std::vector<SerialFrame> frames;
  while (fd_ >= 0) {
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    decoder_.Feed(buf, static_cast<size_t>(n), frames);
  }
  ackDue_ = false;
  for (auto& f : frames) OnFrame(f, out);
  if (ackDue_) {
    // The cumulative number, then which frames past the gap are already
    // here, so the sender resends only what is missing.
    SerialFrame a{SerialFrameKind::Ack, expected_, 0, {}};
    PutNonce(a.payload, peerNonce_);
    uint32_t held = 0;
    for (const auto& [seq, f] : early_) held |= 1u << (SeqDiff(seq, expected_) - 1);
    PutNonce(a.payload, held);  // a bit per frame after the gap
    Queue(a);
  }
}

void SerialLink::OnFrame(SerialFrame& f, std::vector<LinkEvent>& out) {
  auto now = Clock::now();
  switch (f.kind) {
    case SerialFrameKind::Hello: {
      if (!announce_ || f.payload.size() != kNonceBytes) return;
      uint32_t n = GetNonce(f.payload);
      if (n == 0) return;
      lastHeard_ = now;
      if (connected_ && n == peerNonce_) return;
      if (connected_) {
        out.push_back({LinkEvent::Kind::Disconnected, {}});
        Reset();
      }
      connected_ = true;
      peerNonce_ = n;
      out.push_back({LinkEvent::Kind::Connected, {}});
      SendHello();  // so the far end need not wait a second to learn of us
      return;
    }
    case SerialFrameKind::Datagram:
      out.push_back({LinkEvent::Kind::Datagram, std::move(f.payload)});
      return;
    case SerialFrameKind::Ack: {
      if (!connected_ || f.payload.size() != 2 * kNonceBytes || GetNonce(f.payload) != nonce_) return;
      lastHeard_ = now;
      auto sampleRtt = [&](const Outgoing& o) {
        if (o.resent) return;  // which copy arrived is not known
        auto sample = std::chrono::duration_cast<std::chrono::microseconds>(now - o.sent);
        if (srtt_.count() == 0) {
          srtt_ = sample;
          rttvar_ = sample / 2;
        } else {
          rttvar_ = (3 * rttvar_ + (srtt_ > sample ? srtt_ - sample : sample - srtt_)) / 4;
          srtt_ = (7 * srtt_ + sample) / 8;
        }
      };
      while (!inFlight_.empty() && SeqDiff(f.seq, inFlight_.front().seq) > 0) {
        Outgoing& o = inFlight_.front();
        if (!o.held) sampleRtt(o);
        waitingBytes_ -= o.size;
        inFlight_.pop_front();
      }
      // The line keeps order: a frame the far end lacks while it holds one
      // sent after it was lost, and is sent again at once. One it holds is
      // not sent again.
      uint32_t held = GetU32(f.payload.data() + kNonceBytes);
      if (held == 0) return;
      Clock::time_point latestHeld{};
      for (Outgoing& o : inFlight_) {
        int d = SeqDiff(o.seq, f.seq);
        if (d >= 1 && d <= 32 && ((held >> (d - 1)) & 1)) {
          if (!o.held) sampleRtt(o);
          o.held = true;
          latestHeld = std::max(latestHeld, o.sent);
        }
      }
      for (Outgoing& o : inFlight_)
        if (!o.held && o.sent < latestHeld) Resend(o, now);
      return;
    }
    case SerialFrameKind::Data: {
      if (!connected_ || f.payload.size() < kNonceBytes || GetNonce(f.payload) != peerNonce_) return;
      lastHeard_ = now;
      ackDue_ = true;
      int16_t d = SeqDiff(f.seq, expected_);
      if (d < 0 || d >= static_cast<int16_t>(kWindow)) return;
      f.payload.erase(f.payload.begin(), f.payload.begin() + kNonceBytes);
      if (d > 0) {
        early_.try_emplace(f.seq, std::move(f));
        return;
      }
      Accept(f, out);
      for (auto it = early_.find(expected_); it != early_.end(); it = early_.find(expected_)) {
        SerialFrame next = std::move(it->second);
        early_.erase(it);
        Accept(next, out);
      }
      return;
    }
  }
}

void SerialLink::Accept(const SerialFrame& f, std::vector<LinkEvent>& out) {
  ++expected_;
  if (assembly_.size() + f.payload.size() > kMaxMessage) assemblyBroken_ = true;
  if (!assemblyBroken_) assembly_.insert(assembly_.end(), f.payload.begin(), f.payload.end());
  if (f.flags & kSerialLastFragment) {
    if (!assemblyBroken_) out.push_back({LinkEvent::Kind::Message, std::move(assembly_)});
    assembly_.clear();
    assemblyBroken_ = false;
  }
}

void SerialLink::Transmit(Clock::time_point now) {
  if (announce_ && now - lastHello_ >= kHelloEvery) SendHello();
  if (connected_) {
    auto after = ResendAfter();
    for (Outgoing& o : inFlight_)
      if (!o.held && now - o.sent >= after) Resend(o, now);
    while (inFlight_.size() < kWindow && !pendingFragments_.empty() && tx_.size() < kLineBacklog) {
      SerialFrame f{SerialFrameKind::Data, nextSeq_++, pendingLast_.front(), {}};
      PutNonce(f.payload, nonce_);
      FW_LIBRARY_FALSE_ALARM_BEGIN("-Wstringop-overread")
      f.payload.insert(f.payload.end(), pendingFragments_.front().begin(), pendingFragments_.front().end());
      FW_LIBRARY_FALSE_ALARM_END
      Outgoing o{f.seq, EncodeSerialFrame(f), now, false, pendingFragments_.front().size()};
      tx_.insert(tx_.end(), o.bytes.begin(), o.bytes.end());
      inFlight_.push_back(std::move(o));
      pendingFragments_.pop_front();
      pendingLast_.pop_front();
    }
  }
  FlushLine();
}

int SerialLink::NextWakeMs(Clock::time_point now) const {
  using std::chrono::milliseconds;
  auto next = lastHello_ + kHelloEvery;
  if (connected_) {
    for (const Outgoing& o : inFlight_)
      if (!o.held) next = std::min(next, o.sent + ResendAfter());
    next = std::min(next, lastHeard_ + milliseconds(kSilenceMs));
  }
  auto ms = std::chrono::ceil<milliseconds>(next - now).count();
  return static_cast<int>(std::clamp<int64_t>(ms, 0, 1000));
}

void SerialLink::Service(int timeoutMs, std::vector<LinkEvent>& out) {
  if (fd_ < 0) {
    WaitReadable(nullptr, 0, &wake_, timeoutMs);
    wake_.Clear();
    return;
  }
  auto now = Clock::now();
  int wait = std::min(std::max(timeoutMs, 0), NextWakeMs(now));
  bool more = connected_ && !pendingFragments_.empty() && inFlight_.size() < kWindow;
  if (more) wait = 0;
  pollfd p[2] = {{fd_, static_cast<short>(POLLIN | (tx_.empty() ? 0 : POLLOUT)), 0}, {wake_.Fd(), POLLIN, 0}};
  while (poll(p, 2, wait) < 0 && errno == EINTR) {
  }
  wake_.Clear();
  ReadLine(out);
  now = Clock::now();
  if (connected_ && now - lastHeard_ > std::chrono::milliseconds(kSilenceMs)) {
    out.push_back({LinkEvent::Kind::Disconnected, {}});
    connected_ = false;
    peerNonce_ = 0;
    Reset();
  }
  Transmit(now);
}

}  // namespace plat
