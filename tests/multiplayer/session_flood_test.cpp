// Every frame a link sends counts against its allowance, not only game
// messages: a flood of small frames of any kind ends the flooder's link
// within 2 s, before or after its Hello, while a member at 190 game messages a
// second with its own acknowledgements and heartbeats stays. All on the
// test's clock.
#include <gtest/gtest.h>

#include "multiplayer/session/session_frames.hpp"
#include "session_mesh.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"

namespace {

using fw::FrameType;
using fw::SessionFrame;
using fwtest::Mesh;
using fwtest::RawNode;

std::vector<uint8_t> Enc(FrameType t) {
  SessionFrame f;
  f.type = t;
  return fw::EncodeFrame(f);
}

struct Flood {
  Mesh mesh{11};
  RawNode h;

  Flood() {
    mesh.Host("a");
    EXPECT_EQ(mesh.JoinNow("b"), fw::JoinResult::Ok);
    h.t = mesh.net().MakeNode("h");
    mesh.onStep = [this] { h.Pump(); };
  }
  void Connect() {
    h.link = h.t->Connect("a");
    mesh.Run(20);
  }
  bool Hello() {
    SessionFrame hello;
    hello.type = FrameType::Hello;
    hello.protocol = fw::kSessionProtocol;
    hello.build = fw::kSessionBuild;
    hello.sessionId = mesh.sessionId();
    FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
    hello.name = "Eve";
    hello.address = "h";
    FW_LIBRARY_FALSE_ALARM_END
    h.Send(fw::EncodeFrame(hello));
    mesh.Run(50);
    for (auto& f : h.heard)
      if (f.type == FrameType::Welcome) return true;
    return false;
  }
  // Sends `frame` at 50,000 a second until the host closes the link or
  // `ms` pass; how long the link lasted.
  uint32_t FloodWith(const std::vector<uint8_t>& frame, uint32_t ms = 4000) {
    uint32_t t = 0;
    for (; t < ms && !h.closed; t += 5) {
      for (int i = 0; i < 250; ++i) h.Send(frame);
      mesh.Run(5);
    }
    return t;
  }
  bool ToldFlooding() const {
    for (auto& f : h.heard)
      if (f.type == FrameType::Removed && f.reason == static_cast<uint8_t>(fw::RemoveReason::Flooding)) return true;
    return false;
  }
};

TEST(SessionFlood, AMemberSendingSmallFramesOfAnyKindIsRemovedForFloodingWithinTwoSeconds) {
  SessionFrame ack;
  ack.type = FrameType::RecvAck;
  SessionFrame unknownSender;  // names a member that sent nothing
  unknownSender.type = FrameType::RecvAck;
  unknownSender.acks.push_back({7, 1});
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> kinds = {
      {"heartbeat", Enc(FrameType::Heartbeat)},
      {"acknowledgement", fw::EncodeFrame(ack)},
      {"stale acknowledgement", fw::EncodeFrame(unknownSender)},
      {"unsolicited welcome", Enc(FrameType::Welcome)},
      {"undecodable byte", {0xEE}},
      {"empty", {}},
  };
  for (const auto& [kind, frame] : kinds) {
    Flood f;
    f.Connect();
    ASSERT_TRUE(f.Hello()) << kind;
    EXPECT_LE(f.FloodWith(frame), 2000u) << kind;
    EXPECT_TRUE(f.h.closed) << kind;
    EXPECT_TRUE(f.ToldFlooding()) << kind;
    f.mesh.Run(100);
    // The honest member plays on.
    EXPECT_EQ(fwtest::RosterIds(*f.mesh.Node("a").engine), (std::vector<int32_t>{1, 2})) << kind;
    EXPECT_EQ(fwtest::RosterIds(*f.mesh.Node("b").engine), (std::vector<int32_t>{1, 2})) << kind;
  }
}

TEST(SessionFlood, ALinkThatFloodsBeforeItsHelloIsDroppedWithinTwoSeconds) {
  SessionFrame history;  // what a member coming back sends ahead of its Hello
  history.type = FrameType::History;
  history.from = 1;
  history.payload.assign(4, 1);
  for (const auto& frame : {std::vector<uint8_t>{0xEE}, std::vector<uint8_t>{}, fw::EncodeFrame(history)}) {
    Flood f;
    f.Connect();
    EXPECT_LE(f.FloodWith(frame), 2000u) << frame.size();
    EXPECT_TRUE(f.h.closed) << frame.size();
    EXPECT_EQ(fwtest::RosterIds(*f.mesh.Node("a").engine), (std::vector<int32_t>{1, 2}));
  }
}

TEST(SessionFlood, AMemberAt190MessagesASecondWithItsAcknowledgementsStays) {
  Mesh mesh(12);
  mesh.Host("a");
  ASSERT_EQ(mesh.JoinNow("b"), fw::JoinResult::Ok);
  ASSERT_EQ(mesh.JoinNow("c"), fw::JoinResult::Ok);
  // b and c each send 190 a second to everyone, so each also confirms the
  // other's; 10 s of it.
  uint32_t n = 0;
  for (uint32_t t = 0; t < 10000; t += 100) {
    for (int i = 0; i < 19; ++i) {
      mesh.Node("b").engine->Send(0, fwtest::Tagged(2, n));
      mesh.Node("c").engine->Send(0, fwtest::Tagged(3, n));
      ++n;
      mesh.Run(5);
    }
    mesh.Run(5);
  }
  mesh.Run(500);
  for (const char* name : {"a", "b", "c"}) {
    EXPECT_TRUE(fwtest::InSession(*mesh.Node(name).engine)) << name;
    EXPECT_EQ(fwtest::RosterIds(*mesh.Node(name).engine), (std::vector<int32_t>{1, 2, 3})) << name;
  }
  uint32_t fromB = 0;
  for (auto& m : mesh.Node("c").got) fromB += m.from == 2;
  EXPECT_EQ(fromB, n);
}

TEST(SessionFlood, AMemberBringingItsBacklogToANewHostIsNoFlood) {
  const uint32_t kBacklog = 1500;
  Mesh mesh(13);
  mesh.Host("a");
  ASSERT_EQ(mesh.JoinNow("b"), fw::JoinResult::Ok);
  ASSERT_EQ(mesh.JoinNow("c"), fw::JoinResult::Ok);
  mesh.Run(100);  // b has heard of c
  mesh.net().Isolate("a");
  // What c sends while the host is already gone waits for the next host.
  for (uint32_t n = 0; n < kBacklog; ++n) ASSERT_TRUE(mesh.Node("c").engine->Send(0, fwtest::Tagged(3, n)));
  mesh.Run(14000, 20);
  for (const char* name : {"b", "c"}) {
    EXPECT_TRUE(fwtest::InSession(*mesh.Node(name).engine)) << name << mesh.Node(name).engine->Snapshot().endReason;
    EXPECT_EQ(fwtest::RosterIds(*mesh.Node(name).engine), (std::vector<int32_t>{2, 3})) << name;
  }
  uint32_t fromC = 0;
  for (auto& m : mesh.Node("b").got) fromC += m.from == 3;
  EXPECT_EQ(fromC, kBacklog);
}

}  // namespace
