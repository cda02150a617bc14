#include "multiplayer/session/discovery_search.hpp"

#include <algorithm>
#include <chrono>
#include <random>
#include <utility>

#include "multiplayer/session/pumped_wait.hpp"
#include "platform/net/query_hook.hpp"
#include "platform/net/serial_link.hpp"

namespace fw {

namespace {
uint32_t FreshNonce() {
  std::random_device rd;
  return rd();
}
DiscoveryQuery MakeQuery(uint16_t protocol, uint32_t build) { return {protocol, build, FreshNonce()}; }
}  // namespace

void AnswerTable::Take(const DiscoveryAnswer& a, const std::string& source, const std::string& gameAddress,
                       uint64_t nowMs) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.advert.gameAddress == gameAddress; });
  if (it == entries_.end()) {
    Expire(nowMs);
    const auto fromSource = std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.source == source; });
    if (entries_.size() >= kMaxEntries || fromSource >= kGamePortsPerMachine) return;
    it = entries_.insert(entries_.end(), Entry{});
  }
  it->advert = SessionAdvert{a.protocol, a.build, a.sessionId, a.name, a.players, a.maximum, a.accepting, gameAddress};
  it->source = source;
  it->seenMs = nowMs;
}

void AnswerTable::Expire(uint64_t nowMs) {
  std::erase_if(entries_, [&](const Entry& e) { return nowMs - e.seenMs > kAnswerLifeMs; });
}

std::vector<SessionAdvert> AnswerTable::Fresh(uint64_t nowMs, uint16_t protocol) {
  Expire(nowMs);
  std::vector<SessionAdvert> out;
  for (const Entry& e : entries_)
    if (e.advert.protocol == protocol) out.push_back(e.advert);
  return out;
}

std::vector<SearchTarget> LanTargets(uint16_t discoveryPort) {
  std::vector<SearchTarget> out;
  auto add = [&](plat::Ipv4 a) {
    if (std::none_of(out.begin(), out.end(), [&](const SearchTarget& t) { return t.address == a; }))
      out.push_back({a, discoveryPort});
  };
  for (plat::Ipv4 a : plat::BroadcastAddresses()) add(a);
  add(plat::kLoopbackBroadcast);
  return out;
}

std::vector<SearchTarget> TypedTargets(plat::Ipv4 address, uint16_t gamePort) {
  std::vector<SearchTarget> out;
  for (int i = 0; i < kGamePortsPerMachine && gamePort + i <= 65535; ++i)
    out.push_back({address, static_cast<uint16_t>(gamePort + i)});
  return out;
}

UdpSessionSearch::UdpSessionSearch(std::vector<SearchTarget> targets, uint16_t protocol, uint32_t build,
                                   uint32_t waitMs)
    : targets_(std::move(targets)), query_(MakeQuery(protocol, build)), waitMs_(waitMs) {}

UdpSessionSearch::~UdpSessionSearch() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.Raise();
  if (thread_.joinable()) thread_.join();
}

bool UdpSessionSearch::Start(std::string* error) {
  if (!socket_.Open(plat::Ipv4{0}, 0, false)) {
    if (error) *error = "no socket for the search";
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void UdpSessionSearch::Ask() {
  auto bytes = EncodeQuery(query_);
  for (const SearchTarget& t : targets_) socket_.SendTo(t.address, t.port, bytes);
}

void UdpSessionSearch::Drain() {
  while (auto d = socket_.Receive()) {
    auto a = DecodeAnswer(d->bytes);
    if (!a || a->nonce != query_.nonce || a->gamePort == 0) continue;
    std::lock_guard lock(mutex_);
    table_.Take(*a, plat::FormatIpv4(d->from), plat::FormatHostPort(d->from, a->gamePort), plat::MonotonicMs());
    ++answersTaken_;
    answered_.notify_all();
  }
}

void UdpSessionSearch::Run() {
  uint64_t next = 0;
  while (true) {
    bool now;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      now = std::exchange(askNow_, false);
    }
    uint64_t t = plat::MonotonicMs();
    if (now || t >= next) {
      Ask();
      next = t + kQueryEveryMs;
    }
    int fd = socket_.Fd();
    plat::WaitReadable(&fd, 1, &wake_, static_cast<int>(next - std::min(next, plat::MonotonicMs())));
    wake_.Clear();
    Drain();
  }
}

std::vector<SessionAdvert> UdpSessionSearch::Refresh(const WaitPump& pump) {
  {
    std::lock_guard lock(mutex_);
    askNow_ = true;
  }
  wake_.Raise();
  // Hosts answer within a few milliseconds on a LAN: once answers stop
  // coming for a moment the list is as complete as waiting longer would make
  // it, and the lobby shows it at once instead of after the whole window.
  constexpr auto kQuiet = std::chrono::milliseconds(40);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs_);
  std::unique_lock lock(mutex_);
  uint64_t seen = answersTaken_;
  bool any = false;
  while (true) {
    const auto until = any ? std::min(deadline, std::chrono::steady_clock::now() + kQuiet) : deadline;
    if (!WaitPumping(answered_, lock, until, pump, [&] { return answersTaken_ != seen || stop_; })) {
      if (any || std::chrono::steady_clock::now() >= deadline) break;
      continue;
    }
    if (stop_) break;
    seen = answersTaken_;
    any = true;
  }
  return table_.Fresh(plat::MonotonicMs(), query_.protocol);
}

SerialSessionSearch::SerialSessionSearch(std::string device, int baud, uint16_t protocol, uint32_t build,
                                         uint32_t waitMs)
    : device_(std::move(device)), baud_(baud), query_(MakeQuery(protocol, build)), waitMs_(waitMs) {}

std::vector<SessionAdvert> SerialSessionSearch::Refresh(const WaitPump& pump) {
  plat::SerialLink line;
  uint64_t end = plat::MonotonicMs() + waitMs_;
  if (line.Open(device_, baud_, false)) {
    line.SendDatagram(EncodeQuery(query_));
    std::vector<plat::LinkEvent> got;
    for (uint64_t t = plat::MonotonicMs(); t < end; t = plat::MonotonicMs()) {
      const uint64_t slice = pump ? std::min<uint64_t>(end - t, kPumpSliceMs) : end - t;
      line.Service(static_cast<int>(slice), got);
      for (auto& e : got) {
        if (e.kind != plat::LinkEvent::Kind::Datagram) continue;
        auto a = DecodeAnswer(e.bytes);
        if (a && a->nonce == query_.nonce) table_.Take(*a, device_, device_, plat::MonotonicMs());
      }
      got.clear();
      if (pump && plat::MonotonicMs() < end) pump();
    }
  }
  return table_.Fresh(plat::MonotonicMs(), query_.protocol);
}

HostAdvertiser::HostAdvertiser(plat::Transport& game, const SessionAdvert& advert) : game_(game), advert_(advert) {
  if (auto* hook = dynamic_cast<plat::AnswersQueries*>(&game_))
    hook->SetQueryHandler([this](std::span<const uint8_t> d) { return Answer(d); });
}

HostAdvertiser::~HostAdvertiser() {
  if (auto* hook = dynamic_cast<plat::AnswersQueries*>(&game_)) hook->SetQueryHandler({});
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.Raise();
  if (thread_.joinable()) thread_.join();
}

bool HostAdvertiser::StartLan(uint16_t discoveryPort, std::string* error) {
  if (!socket_.Open(plat::Ipv4{0}, discoveryPort, true)) {
    if (error) *error = "cannot listen on the discovery port " + std::to_string(discoveryPort);
    return false;
  }
  thread_ = std::thread([this] { RunLan(); });
  return true;
}

void HostAdvertiser::Update(const SessionAdvert& advert) {
  std::lock_guard lock(mutex_);
  advert_ = advert;
}

std::optional<std::vector<uint8_t>> HostAdvertiser::Answer(std::span<const uint8_t> datagram) {
  auto q = DecodeQuery(datagram);
  if (!q) return std::nullopt;
  std::lock_guard lock(mutex_);
  DiscoveryAnswer a;
  a.protocol = advert_.protocol;
  a.build = advert_.build;
  a.nonce = q->nonce;
  a.sessionId = advert_.sessionId;
  a.name = advert_.name;
  a.players = static_cast<uint8_t>(std::clamp(advert_.players, 0, 255));
  a.maximum = static_cast<uint8_t>(std::clamp(advert_.maxPlayers, 0, 255));
  auto hp = plat::ParseHostPort(advert_.gameAddress);
  a.gamePort = hp ? hp->port : 0;
  a.accepting = advert_.accepting;
  return EncodeAnswer(a);
}

void HostAdvertiser::RunLan() {
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
    }
    int fd = socket_.Fd();
    plat::WaitReadable(&fd, 1, &wake_, 1000);
    wake_.Clear();
    while (auto d = socket_.Receive())
      if (auto answer = Answer(d->bytes)) socket_.SendTo(d->from, d->port, *answer);
  }
}

}  // namespace fw
