// The in-memory network the session tests stand on: if it reorders or leaks
// through a fault, every property shown over it means nothing.
#include "platform/net/loop_transport.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace {

using plat::TransportEvent;
using Kind = plat::TransportEvent::Kind;

struct Pair {
  plat::LoopNetwork net{plat::LoopNetwork::Options{3, 1, 40, false}};
  std::unique_ptr<plat::Transport> a = net.MakeNode("a"), b = net.MakeNode("b");
  plat::LinkId ab = 0, ba = 0;
  Pair() {
    EXPECT_TRUE(b->Listen("b", nullptr));
    ab = a->Connect("b");
    net.Advance(100);
    for (auto ev = b->Poll(); ev; ev = b->Poll())
      if (ev->kind == Kind::Connected) ba = ev->link;
    while (a->Poll()) {
    }
  }
  std::vector<uint8_t> Take(plat::Transport& t, bool& disconnected) {
    std::vector<uint8_t> got;
    for (auto ev = t.Poll(); ev; ev = t.Poll()) {
      if (ev->kind == Kind::Received) got.push_back(ev->data.at(0));
      if (ev->kind == Kind::Disconnected) disconnected = true;
    }
    return got;
  }
};

TEST(LoopTransport, FaultsActAsTheirNamesSay) {
  struct Case {
    const char* what;
    std::function<void(Pair&)> fault;
    bool arrives;        // what is sent after the fault reaches b
    bool endsWithClose;  // b hears a Disconnected
  } cases[] = {
      {"none", [](Pair&) {}, true, false},
      {"cut", [](Pair& p) { p.net.Cut("a", "b"); }, false, false},
      {"isolate", [](Pair& p) { p.net.Isolate("b"); }, false, false},
      {"crash", [](Pair& p) { p.net.Crash("a"); }, false, false},
      {"partition", [](Pair& p) { p.net.Partition({"a"}); }, false, false},
      {"partition healed",
       [](Pair& p) {
         p.net.Partition({"a"});
         p.net.Heal();
       },
       true, false},
      {"close", [](Pair& p) { p.a->Close(p.ab); }, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Pair p;
    ASSERT_NE(p.ba, 0u);
    c.fault(p);
    for (uint8_t i = 0; i < 50; ++i) p.a->Send(p.ab, std::vector<uint8_t>{i});
    p.net.Advance(100);
    bool disconnected = false;
    std::vector<uint8_t> got = p.Take(*p.b, disconnected);
    EXPECT_EQ(got.size(), c.arrives ? 50u : 0u);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], i) << "out of order";
    EXPECT_EQ(disconnected, c.endsWithClose);
  }
}

TEST(LoopTransport, PausedNodeGetsEverythingInOrderLater) {
  Pair p;
  p.net.Pause("b", true);
  for (uint8_t i = 0; i < 50; ++i) p.a->Send(p.ab, std::vector<uint8_t>{i});
  p.net.Advance(1000);
  bool disconnected = false;
  EXPECT_TRUE(p.Take(*p.b, disconnected).empty());
  p.net.Pause("b", false);
  std::vector<uint8_t> got = p.Take(*p.b, disconnected);
  ASSERT_EQ(got.size(), 50u);
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], i);
}

TEST(LoopTransport, NobodyListeningIsAFailedLinkAndAnAddressIsHeldOnce) {
  Pair p;
  plat::LinkId l = p.a->Connect("nowhere");
  ASSERT_NE(l, 0u);
  p.net.Advance(100);
  auto ev = p.a->Poll();
  ASSERT_TRUE(ev);
  EXPECT_EQ(ev->kind, Kind::Disconnected);
  EXPECT_EQ(ev->link, l);
  EXPECT_FALSE(p.a->Listen("b", nullptr));
  EXPECT_EQ(p.a->Connect(""), 0u);
}

}  // namespace
