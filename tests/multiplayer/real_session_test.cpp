// Sessions over real ENet on 127.0.0.1, the joiners reaching the host through
// the lossy relay: delivery and order under loss, delay and reordering, and
// liveness under heavy loss. Each test keeps within 30 s of wall time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "multiplayer/session/session_engine.hpp"
#include "platform/net/enet_transport.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "tests/multiplayer/net_env.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using fw::SessionSnapshot;

struct Member {
  std::unique_ptr<fw::SessionEngine> engine;
  int32_t id = 0;
  uint32_t sent = 0;
  std::vector<fw::ReceivedMessage> got;
  void Drain() {
    while (auto m = engine->Receive()) got.push_back(std::move(*m));
  }
  SessionSnapshot::State State() const { return engine->Snapshot().state; }
};

// A message that names its sender, its number in the sender's run and whom
// it was sent to.
std::vector<uint8_t> Tag(int32_t from, uint32_t n, int32_t to) {
  std::vector<uint8_t> b(24, 0x5A);
  std::memcpy(b.data(), &from, 4);
  std::memcpy(b.data() + 4, &n, 4);
  std::memcpy(b.data() + 8, &to, 4);
  return b;
}
int32_t TagField(const std::vector<uint8_t>& b, size_t at) {
  int32_t v = 0;
  if (b.size() >= at + 4) std::memcpy(&v, b.data() + at, 4);
  return v;
}

// A host on 127.0.0.1 and joiners that reach it through one relay.
struct RelayedSession {
  std::vector<Member> members;
  std::unique_ptr<fwtest::UdpRelay> relay;

  explicit RelayedSession(int joiners) {
    members.resize(static_cast<size_t>(joiners) + 1);
    std::string error;
    Member& host = members[0];
    host.engine = std::make_unique<fw::SessionEngine>(std::make_unique<plat::EnetTransport>());
    EXPECT_TRUE(host.engine->Host({"127.0.0.1:0"}, "Ann", "Ann", 0, &error)) << error;
    SessionSnapshot s = host.engine->Snapshot();
    host.id = s.myId;
    uint16_t port = plat::ParseHostPort(s.members.at(0).address)->port;
    relay = std::make_unique<fwtest::UdpRelay>(port, 11);
    for (int i = 1; i <= joiners; ++i) {
      Member& m = members[static_cast<size_t>(i)];
      m.engine = std::make_unique<fw::SessionEngine>(std::make_unique<plat::EnetTransport>());
      FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
      EXPECT_TRUE(m.engine->StartJoin({"127.0.0.1:0"}, "127.0.0.1:" + std::to_string(relay->Port()), s.sessionId,
                                      "P" + std::to_string(i), &error))
          << error;
      FW_LIBRARY_FALSE_ALARM_END
      EXPECT_EQ(m.engine->WaitJoin(5000), fw::JoinResult::Ok) << i;
      m.id = m.engine->Snapshot().myId;
    }
  }
  std::vector<int32_t> Ids() const {
    std::vector<int32_t> ids;
    for (const Member& m : members) ids.push_back(m.id);
    return ids;
  }
};

TEST(RealSession, FourMembersThroughALossyRelayGetEveryMessageOnceInOrder) {
  fwtest::LoopbackNetwork env;
  RelayedSession session(3);
  ASSERT_FALSE(HasFailure());
  fwtest::LineFaults poor{0.05, 0, 50, 30, false};
  session.relay->SetFaults(poor, poor);
  const auto ids = session.Ids();

  // Ten seconds of 100 messages a second from every member, in turn to all
  // and to each other member.
  std::map<int32_t, std::vector<int32_t>> targets;
  for (int32_t id : ids) {
    targets[id].push_back(0);
    for (int32_t other : ids)
      if (other != id) targets[id].push_back(other);
  }
  auto start = Clock::now();
  std::map<int32_t, std::vector<std::pair<uint32_t, int32_t>>> sentBy;  // sender: (number, to)
  for (int tick = 0; tick < 1000; ++tick) {
    for (Member& m : session.members) {
      int32_t to = targets[m.id][m.sent % targets[m.id].size()];
      ASSERT_TRUE(m.engine->Send(to, Tag(m.id, m.sent, to)));
      sentBy[m.id].push_back({m.sent, to});
      ++m.sent;
      m.Drain();
    }
    std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * (tick + 1)));
  }

  // What each member must see from each other one, in order.
  auto expected = [&](int32_t receiver, int32_t sender) {
    std::vector<uint32_t> want;
    for (auto [n, to] : sentBy[sender])
      if (to == 0 || to == receiver) want.push_back(n);
    return want;
  };
  auto received = [&](const Member& m, int32_t sender) {
    std::vector<uint32_t> got;
    for (const auto& r : m.got)
      if (r.from == sender) got.push_back(static_cast<uint32_t>(TagField(r.bytes, 4)));
    return got;
  };
  auto complete = [&] {
    for (const Member& m : session.members)
      for (int32_t s : ids)
        if (s != m.id && received(m, s).size() < expected(m.id, s).size()) return false;
    return true;
  };
  while (!complete() && Clock::now() - start < std::chrono::seconds(30)) {
    for (Member& m : session.members) m.Drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (Member& m : session.members) m.Drain();

  EXPECT_GT(session.relay->Dropped(), 0u);
  for (const Member& m : session.members) {
    EXPECT_NE(m.State(), SessionSnapshot::State::Ended) << m.id;
    for (int32_t s : ids) {
      if (s == m.id) continue;
      EXPECT_EQ(received(m, s), expected(m.id, s)) << "member " << m.id << " from " << s;
    }
    for (const auto& r : m.got) {
      if (r.from == 0) continue;
      EXPECT_EQ(TagField(r.bytes, 0), r.from) << "the host stamps the true sender";
      EXPECT_EQ(TagField(r.bytes, 8), r.to);
    }
  }
}

TEST(RealSession, TwentyPercentLossWithSteadyTrafficDropsNobody) {
  fwtest::LoopbackNetwork env;
  RelayedSession session(2);
  ASSERT_FALSE(HasFailure());
  fwtest::LineFaults heavy{0.20, 0, 10, 5, false};
  session.relay->SetFaults(heavy, heavy);
  auto start = Clock::now();
  for (int tick = 0; Clock::now() - start < std::chrono::seconds(20); ++tick) {
    for (Member& m : session.members) {
      if (tick % 5 == 0) m.engine->Send(0, Tag(m.id, m.sent++, 0));
      m.Drain();
    }
    std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * (tick + 1)));
  }
  for (Member& m : session.members) {
    EXPECT_NE(m.State(), SessionSnapshot::State::Ended) << m.id << " " << m.engine->Snapshot().endReason;
    EXPECT_EQ(m.engine->Snapshot().members.size(), 3u) << m.id;
    for (const auto& r : m.got)
      EXPECT_FALSE(r.from == 0 && TagField(r.bytes, 0) == fw::kSysPlayerDestroyed) << "member " << m.id;
  }
  EXPECT_GT(session.relay->Dropped(), 100u);
}

}  // namespace

namespace {

// A joiner that listens on every interface knows itself only as 0.0.0.0; the
// roster every member keeps for a host change must name where it can really
// be reached, with the port it listens on.
TEST(RealSession, AJoinerListeningEverywhereIsListedWhereItCanBeReached) {
  std::string error;
  fw::SessionEngine host(std::make_unique<plat::EnetTransport>());
  ASSERT_TRUE(host.Host({"127.0.0.1:0"}, "Ann", "Ann", 0, &error)) << error;
  const SessionSnapshot hs = host.Snapshot();
  fw::SessionEngine joiner(std::make_unique<plat::EnetTransport>());
  ASSERT_TRUE(joiner.StartJoin({"0.0.0.0:0"}, hs.members.at(0).address, hs.sessionId, "Bob", &error)) << error;
  ASSERT_EQ(joiner.WaitJoin(5000), fw::JoinResult::Ok);
  const uint16_t listening = plat::ParseHostPort(joiner.Snapshot().members.back().address)->port;

  std::string listed;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (listed.empty() && Clock::now() < deadline) {
    for (const fw::SessionMember& m : host.Snapshot().members)
      if (m.name == "Bob") listed = m.address;
    if (listed.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(listed, "127.0.0.1:" + std::to_string(listening));
}

}  // namespace
