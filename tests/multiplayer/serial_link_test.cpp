// Two serial links over two pseudo-terminal pairs with a relay between the
// masters that garbles bytes, as a noisy cable does: every message arrives,
// once, in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/net/serial_link.hpp"
#include "platform/net/serial_transport.hpp"
#include "tests/multiplayer/net_env.hpp"
#include "tests/multiplayer/pty_pair.hpp"

namespace {

using Clock = std::chrono::steady_clock;

using fwtest::CorruptingRelay;
using fwtest::Pty;

std::vector<uint8_t> Message(int side, int i) {
  // Mostly short messages, every 97th longer than one frame.
  size_t n = i % 97 == 0 ? 700 : 4 + static_cast<size_t>(i % 29);
  std::vector<uint8_t> m(n);
  for (size_t k = 0; k < n; ++k) m[k] = static_cast<uint8_t>(side * 31 + i * 7 + k);
  m[0] = static_cast<uint8_t>(i);
  m[1] = static_cast<uint8_t>(i >> 8);
  return m;
}

// Runs one link on its own thread: sends count messages, keeps what arrives.
struct Side {
  plat::SerialLink link;
  std::vector<std::vector<uint8_t>> got;
  int connects = 0;
  void Run(int side, int count, Clock::time_point deadline, const std::atomic<bool>& done) {
    int sent = 0;
    std::vector<plat::LinkEvent> ev;
    while (!done && Clock::now() < deadline) {
      while (sent < count && link.Send(Message(side, sent))) ++sent;
      link.Service(20, ev);
      for (auto& e : ev) {
        if (e.kind == plat::LinkEvent::Kind::Message) got.push_back(std::move(e.bytes));
        if (e.kind == plat::LinkEvent::Kind::Connected) ++connects;
      }
      ev.clear();
    }
  }
};

TEST(SerialLink, ThousandMessagesEachWayInOrderThroughACorruptingRelay) {
  Pty a, b;
  CorruptingRelay relay(a.master, b.master, 0.01, 19);
  Side one, two;
  ASSERT_TRUE(one.link.Open(a.slave)) << one.link.Error();
  ASSERT_TRUE(two.link.Open(b.slave)) << two.link.Error();
  const int kCount = 1000;
  auto deadline = Clock::now() + std::chrono::seconds(30);
  std::atomic<bool> done{false};
  std::thread t1([&] { one.Run(1, kCount, deadline, done); });
  std::thread t2([&] { two.Run(2, kCount, deadline, done); });
  while (Clock::now() < deadline && (one.got.size() < kCount || two.got.size() < kCount))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Give a doubled message the time to show itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  done = true;
  t1.join();
  t2.join();

  EXPECT_GT(relay.Corrupted(), 100u);
  EXPECT_EQ(one.connects, 1);
  EXPECT_EQ(two.connects, 1);
  ASSERT_EQ(two.got.size(), size_t{kCount});
  ASSERT_EQ(one.got.size(), size_t{kCount});
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(two.got[i], Message(1, i)) << i;
    ASSERT_EQ(one.got[i], Message(2, i)) << i;
  }
  EXPECT_GT(one.link.Resends() + two.link.Resends(), 0u);
}

TEST(SerialLink, RefusesWhatItCannotCarry) {
  Pty a;
  plat::SerialLink link;
  EXPECT_FALSE(link.Send({1}));  // not open
  EXPECT_FALSE(link.Open("/nonexistent/ttyS9"));
  EXPECT_NE(link.Error().find("/nonexistent/ttyS9"), std::string::npos);
  EXPECT_FALSE(link.Open("/dev/null"));  // not a serial line
  ASSERT_TRUE(link.Open(a.slave));
  EXPECT_FALSE(link.Send(std::vector<uint8_t>(plat::SerialLink::kMaxMessage + 1)));
  EXPECT_TRUE(link.Send(std::vector<uint8_t>(plat::SerialLink::kMaxMessage)));
  // Nobody at the far end: messages wait, up to a limit.
  int queued = 0;
  while (link.Send(std::vector<uint8_t>(plat::SerialLink::kMaxMessage)) && queued < 100) ++queued;
  EXPECT_LT(queued, 100);
}

TEST(SerialLink, ComPortsFollowTheEnvironment) {
  fwtest::ScopedEnv com1("FERROWIND_COM1", ""), com2("FERROWIND_COM2", "/dev/ttyUSB0");
  EXPECT_EQ(plat::ComPortDevice(1), "/dev/ttyS0");
  EXPECT_EQ(plat::ComPortDevice(2), "/dev/ttyUSB0");
  EXPECT_EQ(plat::ComPortDevice(4), "/dev/ttyS3");
  EXPECT_EQ(plat::ComPortDevice(0), "");
  EXPECT_EQ(plat::ComPortDevice(5), "");
}

// A transport over the cable: the joiner's link is the one it asked for, a
// restarted far end is a new link, and searches are answered on the line.
TEST(SerialTransport, LinksAndQueries) {
  Pty a, b;
  CorruptingRelay relay(a.master, b.master, 0.0, 1);
  plat::SerialTransport host, guest;
  std::string error;
  ASSERT_TRUE(host.Listen(a.slave, &error)) << error;
  host.SetQueryHandler([](std::span<const uint8_t> d) -> std::optional<std::vector<uint8_t>> {
    if (d.size() == 1 && d[0] == '?') return std::vector<uint8_t>{'!'};
    return std::nullopt;
  });
  // A quiet search line asks first and gets its answer.
  {
    plat::SerialLink search;
    ASSERT_TRUE(search.Open(b.slave, 57600, false));
    search.SendDatagram({'?'});
    std::vector<plat::LinkEvent> ev;
    auto end = Clock::now() + std::chrono::seconds(5);
    bool answered = false;
    while (!answered && Clock::now() < end) {
      host.Wait(5);
      while (host.Poll()) ADD_FAILURE() << "a quiet line made a link";
      search.Service(5, ev);
      for (auto& e : ev) answered |= e.kind == plat::LinkEvent::Kind::Datagram && e.bytes == std::vector<uint8_t>{'!'};
      ev.clear();
    }
    EXPECT_TRUE(answered);
  }
  plat::LinkId asked = guest.Connect(b.slave);
  ASSERT_NE(asked, 0u);
  plat::LinkId incoming = 0;
  bool guestUp = false;
  std::vector<uint8_t> reply;
  const std::vector<uint8_t> hello{1, 2, 3};
  auto end = Clock::now() + std::chrono::seconds(10);
  while (reply.empty() && Clock::now() < end) {
    host.Wait(5);
    guest.Wait(5);
    while (auto e = host.Poll()) {
      if (e->kind == plat::TransportEvent::Kind::Connected) incoming = e->link;
      if (e->kind == plat::TransportEvent::Kind::Received) host.Send(e->link, e->data);  // echo
    }
    while (auto e = guest.Poll()) {
      if (e->kind == plat::TransportEvent::Kind::Connected) {
        EXPECT_EQ(e->link, asked);
        guestUp = true;
        EXPECT_TRUE(guest.Send(asked, hello));
      }
      if (e->kind == plat::TransportEvent::Kind::Received) reply = e->data;
    }
  }
  EXPECT_TRUE(guestUp);
  EXPECT_NE(incoming, 0u);
  EXPECT_EQ(reply, hello);
  EXPECT_FALSE(guest.Send(asked + 100, hello));
}

}  // namespace

namespace {

// A far end that restarts (a new program on the same cable) is a new link:
// the old one is reported gone, and nothing of the old numbering is taken
// for the new far end's.
TEST(SerialLink, AFarEndThatRestartsIsANewLink) {
  Pty a, b;
  CorruptingRelay relay(a.master, b.master, 0.0, 5);
  plat::SerialLink near;
  ASSERT_TRUE(near.Open(a.slave));
  std::vector<plat::LinkEvent> nearEvents;
  auto run = [&](plat::SerialLink& far, std::vector<std::vector<uint8_t>>& farGot, auto done) {
    std::vector<plat::LinkEvent> ev;
    auto end = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < end) {
      near.Service(5, nearEvents);
      far.Service(5, ev);
      for (auto& e : ev)
        if (e.kind == plat::LinkEvent::Kind::Message) farGot.push_back(e.bytes);
      ev.clear();
    }
    return done();
  };
  auto count = [&](plat::LinkEvent::Kind k) {
    return std::count_if(nearEvents.begin(), nearEvents.end(), [&](auto& e) { return e.kind == k; });
  };
  std::vector<std::vector<uint8_t>> got1, got2;
  {
    plat::SerialLink first;
    ASSERT_TRUE(first.Open(b.slave));
    for (int i = 0; i < 5; ++i) near.Send(Message(1, i));
    ASSERT_TRUE(run(first, got1, [&] { return got1.size() == 5; }));
  }
  plat::SerialLink second;
  ASSERT_TRUE(second.Open(b.slave));
  ASSERT_TRUE(run(second, got2, [&] { return count(plat::LinkEvent::Kind::Connected) == 2; }));
  EXPECT_EQ(count(plat::LinkEvent::Kind::Disconnected), 1);
  near.Send(Message(1, 77));
  ASSERT_TRUE(run(second, got2, [&] { return got2.size() == 1; }));
  EXPECT_EQ(got2[0], Message(1, 77));
}

}  // namespace
