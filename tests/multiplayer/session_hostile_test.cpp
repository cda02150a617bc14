// A member that sends whatever it likes: the others stay in session with
// their rosters and messages intact.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "multiplayer/session/session_frames.hpp"
#include "session_mesh.hpp"

namespace {

using fw::FrameType;
using fw::SessionFrame;
using fwtest::Mesh;
using fwtest::RawNode;
using fwtest::SysId;
using fwtest::SysType;
using fwtest::Tagged;
using fwtest::TagNumber;

std::vector<uint8_t> Enc(const SessionFrame& f) { return fw::EncodeFrame(f); }

SessionFrame Frame(FrameType t) {
  SessionFrame f;
  f.type = t;
  return f;
}

struct HostileTest : ::testing::Test {
  Mesh mesh{3};
  RawNode h;

  void SetUp() override {
    mesh.Host("a");
    ASSERT_EQ(mesh.JoinNow("b"), fw::JoinResult::Ok);
    ASSERT_EQ(mesh.JoinNow("c"), fw::JoinResult::Ok);
    h.t = mesh.net().MakeNode("h");
    mesh.onStep = [this] { h.Pump(); };
  }
  // Connects and says Hello; the id the host gave, or 0.
  int32_t JoinRaw(const std::string& name = "Eve") {
    h.link = h.t->Connect("a");
    mesh.Run(50);
    SessionFrame hello = Frame(FrameType::Hello);
    hello.protocol = fw::kSessionProtocol;
    hello.build = fw::kSessionBuild;
    hello.sessionId = mesh.sessionId();
    hello.name = name;
    hello.address = "h";
    h.Send(Enc(hello));
    mesh.Run(100);
    for (auto& f : h.heard)
      if (f.type == FrameType::Welcome) return f.yourId;
    return 0;
  }
  void ExpectOthersIntact(const std::vector<int32_t>& roster) {
    for (const char* name : {"a", "b", "c"}) {
      EXPECT_TRUE(fwtest::InSession(*mesh.Node(name).engine)) << name;
      EXPECT_EQ(fwtest::RosterIds(*mesh.Node(name).engine), roster) << name;
    }
  }
};

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> b;
  for (int x : v) b.push_back(static_cast<uint8_t>(x));
  return b;
}

TEST_F(HostileTest, MalformedAndUnsolicitedFramesChangeNothing) {
  int32_t me = JoinRaw();
  ASSERT_EQ(me, 4);
  mesh.Run(100);
  ExpectOthersIntact({1, 2, 3, 4});

  float nan = std::nanf("");
  std::vector<uint8_t> nanPayload(8);
  std::memcpy(nanPayload.data(), &nan, 4);
  SessionFrame spoof = Frame(FrameType::Data);
  spoof.from = 2;  // pretends to be b: the host stamps the link's member instead
  spoof.seq = 1;
  spoof.payload = nanPayload;
  SessionFrame toNobody = Frame(FrameType::Data);
  toNobody.to = 77;
  toNobody.seq = 2;
  toNobody.payload = {1};
  SessionFrame toSelf = toNobody;
  toSelf.to = me;
  toSelf.seq = 3;
  SessionFrame again = toNobody;  // an old number: a repeat
  again.to = 0;
  again.seq = 1;
  SessionFrame welcome = Frame(FrameType::Welcome);
  welcome.yourId = 9;
  welcome.hostId = 4;
  welcome.roster = {{9, "ghost", "Host", "h"}};
  SessionFrame joined = Frame(FrameType::MemberJoined);
  joined.memberId = 99;
  joined.name = "phantom";
  SessionFrame left = Frame(FrameType::MemberLeft);
  left.memberId = 2;
  SessionFrame removed = Frame(FrameType::Removed);
  removed.reason = 1;
  SessionFrame ack = Frame(FrameType::RecvAck);
  ack.acks = {{1, 1u << 30}, {2, ~0ull}, {3, 0}};
  SessionFrame history = Frame(FrameType::History);
  history.from = 1;
  history.seq = 5;
  SessionFrame hello = Frame(FrameType::Hello);
  hello.protocol = fw::kSessionProtocol;
  hello.build = fw::kSessionBuild;
  hello.name = "Eve2";

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"short data", Bytes({4, 0, 0})},
      {"payload longer than the frame", Bytes({4, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 1})},
      {"payload above its cap", [] {
         SessionFrame f = Frame(FrameType::Data);
         f.seq = 9;
         auto b = fw::EncodeFrame(f);
         uint32_t n = 70000;
         std::memcpy(b.data() + 17, &n, 4);
         b.resize(b.size() + 70000 > 65000 ? 65000 : b.size() + 70000, 0);
         return b;
       }()},
      {"trailing byte", [] {
         auto b = fw::EncodeFrame(Frame(FrameType::Heartbeat));
         b.push_back(0);
         return b;
       }()},
      {"unknown type", Bytes({99, 1, 2, 3})},
      {"type zero", Bytes({0})},
      {"ack count above its cap", Bytes({5, 255, 1, 0, 0, 0})},
      {"roster count above its cap", Bytes({2, 9, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 200})},
      {"refuse reason out of range", Bytes({3, 77})},
      {"spoofed sender with a NaN", Enc(spoof)},
      {"to nobody", Enc(toNobody)},
      {"to itself", Enc(toSelf)},
      {"a repeat", Enc(again)},
      {"unsolicited welcome", Enc(welcome)},
      {"unsolicited player created", Enc(joined)},
      {"unsolicited player destroyed", Enc(left)},
      {"unsolicited removal", Enc(removed)},
      {"acks of what it never had", Enc(ack)},
      {"history out of a migration", Enc(history)},
      {"a second hello", Enc(hello)},
  };
  for (const Case& c : cases) h.Send(c.bytes);
  mesh.Run(200);
  ExpectOthersIntact({1, 2, 3, 4});

  // What it did send got through stamped as its own, once.
  for (const char* name : {"a", "b", "c"}) {
    int fromH = 0;
    for (auto& m : mesh.Node(name).got) {
      EXPECT_NE(m.from, 9) << name;
      EXPECT_NE(m.from, 99) << name;
      if (m.from == 4) {
        ++fromH;
        EXPECT_EQ(m.bytes, nanPayload) << name;
      }
      if (m.from == 2) ADD_FAILURE() << name << " got a message in b's name";
    }
    EXPECT_EQ(fromH, 1) << name;
  }

  // The others go on talking, in order.
  for (uint32_t i = 0; i < 20; ++i) mesh.Node("b").engine->Send(0, Tagged(2, i));
  mesh.Run(200);
  uint32_t next = 0;
  for (auto& m : mesh.Node("c").got)
    if (m.from == 2) {
      EXPECT_EQ(TagNumber(m), next++);
    }
  EXPECT_EQ(next, 20u);
}

TEST_F(HostileTest, FlooderIsDroppedAndTheRestCarryOn) {
  ASSERT_EQ(JoinRaw(), 4);
  SessionFrame d = Frame(FrameType::Data);
  d.payload.assign(100, 7);
  for (uint64_t s = 1; s <= 2000; ++s) {
    d.seq = s;
    h.Send(Enc(d));
  }
  mesh.Run(300);
  bool toldFlooding = false;
  for (auto& f : h.heard)
    toldFlooding |= f.type == FrameType::Removed && f.reason == static_cast<uint8_t>(fw::RemoveReason::Flooding);
  EXPECT_TRUE(toldFlooding);
  EXPECT_TRUE(h.closed);
  ExpectOthersIntact({1, 2, 3});
  // Each saw it come and go, and at most the host's allowance of its frames.
  for (const char* name : {"b", "c"}) {
    int fromH = 0;
    bool gone = false;
    for (auto& m : mesh.Node(name).got) {
      if (m.from == 4) ++fromH;
      if (SysType(m) == fw::kSysPlayerDestroyed && SysId(m) == 4) gone = true;
    }
    EXPECT_TRUE(gone) << name;
    EXPECT_LE(fromH, 420) << name;  // twice the second's allowance, and what refilled meanwhile
  }
}

TEST_F(HostileTest, StrangersThatNeverSayHelloAreShownTheDoor) {
  // Many links that say nothing, and one that speaks out of turn.
  std::vector<std::unique_ptr<plat::Transport>> idle;
  for (int i = 0; i < 40; ++i) {
    idle.push_back(mesh.net().MakeNode("idle" + std::to_string(i)));
    idle.back()->Connect("a");
  }
  h.link = h.t->Connect("a");
  mesh.Run(50);
  h.Send(Enc(Frame(FrameType::Leave)));
  mesh.Run(50);
  EXPECT_TRUE(h.closed);
  // A real joiner still gets in while they hang about, and later they are gone.
  ASSERT_EQ(mesh.JoinNow("d"), fw::JoinResult::Ok);
  mesh.Run(6000, 50);
  for (auto& t : idle) {
    bool closed = false;
    while (auto ev = t->Poll()) closed |= ev->kind == plat::TransportEvent::Kind::Disconnected;
    EXPECT_TRUE(closed);
  }
  EXPECT_EQ(fwtest::RosterIds(*mesh.Node("a").engine), (std::vector<int32_t>{1, 2, 3, 4}));
}

}  // namespace

namespace {

TEST_F(HostileTest, MemberThatNeverConfirmsIsDroppedBeforeTheHostGrowsWithoutBound) {
  ASSERT_EQ(JoinRaw(), 4);
  // It answers nothing; its heartbeats keep it from timing out.
  fw::SessionFrame hb;
  hb.type = fw::FrameType::Heartbeat;
  uint32_t n = 0;
  for (int k = 0; k < 600 && !h.closed; ++k) {  // up to 30 s at 180 a second
    for (int i = 0; i < 9; ++i) mesh.Node("b").engine->Send(0, Tagged(2, n++));
    if (k % 10 == 0) h.Send(fw::EncodeFrame(hb));
    mesh.Run(50, 50);
  }
  EXPECT_TRUE(h.closed);
  mesh.Run(500);
  ExpectOthersIntact({1, 2, 3});
  // b's own record of what it sent is confirmed again, so its sends go on.
  EXPECT_TRUE(mesh.Node("b").engine->Send(0, Tagged(2, n++)));
  mesh.Run(200);
  uint32_t next = 0;
  for (auto& m : mesh.Node("c").got)
    if (m.from == 2) {
      EXPECT_EQ(TagNumber(m), next++);
    }
  EXPECT_EQ(next, n);
}

}  // namespace
