// Membership, liveness and limits of a session, over the in-memory network
// on the test's clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/runtime/compiler_false_alarms.hpp"
#include "session_mesh.hpp"

namespace {

using fw::JoinResult;
using fw::SessionSnapshot;
using fwtest::Mesh;
using fwtest::MeshNode;
using fwtest::SysId;
using fwtest::SysType;
using fwtest::Tagged;
using fwtest::TagNumber;

bool InSession(const MeshNode& n) { return fwtest::InSession(*n.engine); }

std::vector<int32_t> RosterIds(const MeshNode& n) { return fwtest::RosterIds(*n.engine); }

// Every node in session sends one numbered message to all each step.
void SendEveryStep(Mesh& mesh) {
  mesh.onStep = [&mesh] {
    for (size_t i = 0; i < mesh.size(); ++i) {
      MeshNode& n = mesh[i];
      if (!n.stepping || !InSession(n)) continue;
      if (n.engine->Send(0, Tagged(n.engine->Snapshot().myId, n.sent))) ++n.sent;
    }
  };
}

// At one receiver, per sender: created before the first message, destroyed
// after the last, and the numbers run on without a gap or a repeat.
void CheckOrderAt(const MeshNode& n, int32_t self) {
  std::set<int32_t> present, gone;
  std::map<int32_t, uint32_t> next;
  for (const auto& m : n.got) {
    if (m.from == 0) {
      if (SysType(m) == fw::kSysPlayerCreated) present.insert(SysId(m));
      if (SysType(m) == fw::kSysPlayerDestroyed) {
        present.erase(SysId(m));
        gone.insert(SysId(m));
      }
      continue;
    }
    EXPECT_TRUE(present.count(m.from)) << "at " << self << ": message of " << m.from << " outside its membership";
    EXPECT_FALSE(gone.count(m.from)) << "at " << self << ": message of " << m.from << " after it was destroyed";
    uint32_t tag = TagNumber(m);
    auto it = next.find(m.from);
    if (it != next.end()) {
      EXPECT_EQ(tag, it->second) << "at " << self << " from " << m.from;
    }
    next[m.from] = tag + 1;
  }
}

TEST(SessionMembership, ThreeJoinsAndOneLeaveAgreeEverywhere) {
  for (uint64_t seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE(seed);
    Mesh mesh(seed);
    SendEveryStep(mesh);
    mesh.Host("a");
    mesh.Run(50);
    for (const char* name : {"b", "c", "d"}) {
      ASSERT_EQ(mesh.JoinNow(name), JoinResult::Ok);
      mesh.Run(100);
    }
    mesh.Node("c").engine->Leave();
    mesh.Run(300);
    mesh.onStep = nullptr;
    mesh.Run(300);

    for (const char* name : {"a", "b", "d"}) {
      MeshNode& n = mesh.Node(name);
      EXPECT_EQ(RosterIds(n), (std::vector<int32_t>{1, 2, 4})) << name;
      CheckOrderAt(n, n.engine->Snapshot().myId);
    }
    EXPECT_EQ(mesh.Node("b").engine->Snapshot().myId, 2);
    EXPECT_EQ(mesh.Node("c").engine->Snapshot().myId, 3);
    EXPECT_EQ(mesh.Node("d").engine->Snapshot().myId, 4);
    EXPECT_EQ(mesh.Node("c").engine->Snapshot().state, SessionSnapshot::State::Ended);

    // The last joiner heard of every earlier member before any of its messages.
    const MeshNode& d = mesh.Node("d");
    std::vector<int32_t> createdFirst;
    for (const auto& m : d.got) {
      if (m.from != 0) break;
      if (SysType(m) == fw::kSysPlayerCreated) createdFirst.push_back(SysId(m));
    }
    EXPECT_EQ(createdFirst, (std::vector<int32_t>{1, 2, 3}));
    // And heard of the leaver's going after the last message it had of it.
    int lastOfC = -1, destroyedC = -1;
    for (size_t i = 0; i < d.got.size(); ++i) {
      if (d.got[i].from == 3) lastOfC = static_cast<int>(i);
      if (SysType(d.got[i]) == fw::kSysPlayerDestroyed && SysId(d.got[i]) == 3) destroyedC = static_cast<int>(i);
    }
    EXPECT_GT(lastOfC, 0);
    EXPECT_GT(destroyedC, lastOfC);
  }
}

TEST(SessionMembership, SilentMemberIsDestroyedWithinTenSeconds) {
  Mesh mesh(7);
  mesh.Host("a");
  ASSERT_EQ(mesh.JoinNow("b"), JoinResult::Ok);
  ASSERT_EQ(mesh.JoinNow("c"), JoinResult::Ok);
  mesh.Run(1234);
  uint64_t pausedAt = mesh.net().NowMs();
  mesh.net().Pause("c", true);  // a frozen process: it neither hears nor speaks
  std::map<std::string, uint64_t> heardAt;
  mesh.onStep = [&] {
    for (const char* name : {"a", "b"}) {
      if (heardAt.count(name)) continue;
      for (const auto& m : mesh.Node(name).got)
        if (SysType(m) == fw::kSysPlayerDestroyed && SysId(m) == 3) heardAt[name] = mesh.net().NowMs();
    }
  };
  mesh.Run(12000, 10);
  for (const char* name : {"a", "b"}) {
    ASSERT_TRUE(heardAt.count(name)) << name;
    EXPECT_LE(heardAt[name] - pausedAt, 10000u) << name;
    EXPECT_GE(heardAt[name] - pausedAt, 9000u) << name;  // not before the time-out
    EXPECT_EQ(RosterIds(mesh.Node(name)), (std::vector<int32_t>{1, 2})) << name;
  }
}

TEST(SessionMembership, FloodingMemberIsDroppedAndSteadyOneIsNot) {
  // The host allows 200 frames and 64 KiB a second, with twice that in hand:
  // a steady excess empties the allowance in a few seconds.
  struct Case {
    const char* what;
    int perSecond;  // b's messages a second, sent in ten batches (0: one burst)
    int burst;
    size_t size;
    bool dropped;
  } cases[] = {
      {"a burst of 300 frames", 0, 300, 8, false},
      {"a burst of 500 frames", 0, 500, 8, true},
      {"190 frames a second", 190, 0, 8, false},
      {"260 frames a second", 260, 0, 8, true},
      {"60 KiB a second", 60, 0, 1024, false},
      {"100 KiB a second", 100, 0, 1024, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mesh mesh(11);
    mesh.Host("a");
    ASSERT_EQ(mesh.JoinNow("b"), JoinResult::Ok);
    ASSERT_EQ(mesh.JoinNow("c"), JoinResult::Ok);
    MeshNode& b = mesh.Node("b");
    uint32_t n = 0;
    for (int i = 0; i < c.burst; ++i) b.engine->Send(0, Tagged(2, n++, c.size));
    for (int k = 0; k < 100 && c.perSecond > 0; ++k) {  // ten seconds
      for (int i = 0; i < c.perSecond / 10; ++i) b.engine->Send(0, Tagged(2, n++, c.size));
      mesh.Run(100);
    }
    mesh.Run(200);
    EXPECT_EQ(b.engine->Snapshot().state == SessionSnapshot::State::Ended, c.dropped);
    if (c.dropped) {
      EXPECT_EQ(b.engine->Snapshot().endReason, "flooding");
      EXPECT_EQ(RosterIds(mesh.Node("c")), (std::vector<int32_t>{1, 3}));
    } else {
      EXPECT_EQ(RosterIds(mesh.Node("c")), (std::vector<int32_t>{1, 2, 3}));
    }
    EXPECT_TRUE(InSession(mesh.Node("a")));
    EXPECT_TRUE(InSession(mesh.Node("c")));
  }
}

TEST(SessionMembership, GameLoopThatStopsPollingForTwoMinutesStaysAndGetsAllInOrder) {
  Mesh mesh(5);
  mesh.Host("a");
  ASSERT_EQ(mesh.JoinNow("b"), JoinResult::Ok);
  ASSERT_EQ(mesh.JoinNow("c"), JoinResult::Ok);
  mesh.Run(200);
  MeshNode& b = mesh.Node("b");
  size_t before = b.got.size();
  b.reading = false;  // a factory visit: the network thread goes on, the game does not read
  for (int s = 0; s < 120; ++s) {
    mesh.Node("a").engine->Send(0, Tagged(1, static_cast<uint32_t>(s)));
    mesh.Node("c").engine->Send(2, Tagged(3, static_cast<uint32_t>(s)));
    mesh.Run(1000, 20);
  }
  EXPECT_TRUE(InSession(b));
  EXPECT_EQ(b.engine->Waiting(), 240u);
  b.reading = true;
  mesh.Run(20);
  CheckOrderAt(b, 2);
  EXPECT_EQ(b.got.size() - before, 240u);
  EXPECT_EQ(RosterIds(mesh.Node("a")), (std::vector<int32_t>{1, 2, 3}));
}

TEST(SessionMembership, InboxThatFillsLeavesWithOverflow) {
  Mesh mesh(6);
  mesh.Host("a");
  ASSERT_EQ(mesh.JoinNow("b"), JoinResult::Ok);
  ASSERT_EQ(mesh.JoinNow("c"), JoinResult::Ok);
  MeshNode& b = mesh.Node("b");
  b.reading = false;
  size_t before = b.engine->Waiting();
  for (int s = 0; s < 9000; ++s) {
    ASSERT_TRUE(mesh.Node("a").engine->Send(0, Tagged(1, static_cast<uint32_t>(s))));
    if (s % 1000 == 999) mesh.Run(100);
  }
  mesh.Run(2000);
  EXPECT_EQ(b.engine->Snapshot().state, SessionSnapshot::State::Ended);
  EXPECT_EQ(b.engine->Snapshot().endReason, "overflow");
  // Nothing it had taken in is lost: the inbox is still there to read.
  EXPECT_EQ(b.engine->Waiting(), 8192u);
  uint32_t expect = 0;
  size_t sys = 0;
  while (auto m = b.engine->Receive()) {
    if (m->from == 0) {
      ++sys;
      continue;
    }
    EXPECT_EQ(TagNumber(*m), expect++);
  }
  EXPECT_EQ(sys, before);
  EXPECT_EQ(RosterIds(mesh.Node("c")), (std::vector<int32_t>{1, 3}));
  EXPECT_TRUE(InSession(mesh.Node("c")));
}

// Ids are never reused: an engine that kept the frame numbers of every
// sender that ever spoke would grow for as long as the session runs. After
// thousands of players came, spoke and left, and after the host went too,
// every engine keeps numbers only of members still there.
TEST(SessionMembership, FrameNumbersOfPlayersWhoLeftAreNotKept) {
  Mesh mesh(11, {}, 1, 2);
  mesh.Host("host");
  ASSERT_EQ(mesh.JoinNow("stay"), JoinResult::Ok);
  MeshNode& host = mesh.Node("host");
  MeshNode& stay = mesh.Node("stay");
  const auto runUntil = [&](const auto& done) {
    for (int i = 0; i < 400 && !done(); ++i) mesh.Run(5);
    return done();
  };
  const auto heard = [](const MeshNode& n, int32_t from, int32_t sysType) {
    return std::any_of(n.got.begin(), n.got.end(), [&](const fw::ReceivedMessage& m) {
      return sysType == 0 ? m.from == from : SysType(m) == sysType && SysId(m) == from;
    });
  };
  const auto keepsOnlyMembers = [](const MeshNode& n) {
    const std::vector<int32_t> ids = RosterIds(n);
    for (int32_t id : n.engine->TrackedSenders())
      if (std::find(ids.begin(), ids.end(), id) == ids.end()) return false;
    return true;
  };
  for (int cycle = 0; cycle < 8000; ++cycle) {
    FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
    const std::string name = "j" + std::to_string(cycle);
    FW_LIBRARY_FALSE_ALARM_END
    ASSERT_EQ(mesh.JoinNow(name), JoinResult::Ok) << cycle;
    MeshNode& j = mesh.Node(name);
    const int32_t id = j.engine->Snapshot().myId;
    ASSERT_TRUE(j.engine->Send(0, Tagged(id, 0)));
    ASSERT_TRUE(runUntil([&] { return heard(stay, id, 0) && heard(host, id, 0); })) << cycle;
    j.engine->Leave();
    ASSERT_TRUE(runUntil([&] { return heard(stay, id, fw::kSysPlayerDestroyed); })) << cycle;
    mesh.Drop(name);
    host.got.clear();
    stay.got.clear();
  }
  mesh.Run(200);  // the last confirmations
  EXPECT_TRUE(keepsOnlyMembers(host));
  EXPECT_TRUE(keepsOnlyMembers(stay));
  EXPECT_LE(host.engine->TrackedSenders().size(), 2u);
  EXPECT_LE(stay.engine->TrackedSenders().size(), 2u);

  // The old host's numbers go once the new host has opened.
  host.engine->Leave();
  ASSERT_TRUE(runUntil([&] { return heard(stay, 1, fw::kSysPlayerDestroyed); }));
  EXPECT_EQ(stay.engine->Snapshot().state, SessionSnapshot::State::Host);
  EXPECT_TRUE(keepsOnlyMembers(stay));
}

}  // namespace
