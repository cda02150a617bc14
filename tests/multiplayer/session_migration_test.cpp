// The host goes at a random moment: the others agree on the lowest id as the
// new host and lose or double no message of a survivor.
#include <gtest/gtest.h>

#include <map>
#include <random>

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

// Empty when every property held for the seed, else what broke.
std::string RunSeed(uint64_t seed) {
  std::mt19937_64 rng(seed);
  Mesh mesh(seed, fw::SessionOptions{}, 1, 20);
  mesh.Host("a");
  for (const char* name : {"b", "c", "d"})
    if (mesh.JoinNow(name) != JoinResult::Ok) return std::string("join failed: ") + name;
  mesh.Run(100);
  std::vector<int32_t> ids;
  for (size_t i = 0; i < mesh.size(); ++i) ids.push_back(mesh[i].engine->Snapshot().myId);

  // Each member sends to all now and then, and sometimes to one other.
  // Busy around the cut, so that it catches messages half way; a trickle
  // elsewhere, so that every phase has some.
  uint32_t oneIn = 8;
  std::map<int32_t, std::vector<std::pair<int32_t, uint32_t>>> sentBy;  // id -> (to, tag)
  mesh.onStep = [&] {
    if (oneIn == 0) return;
    for (size_t i = 0; i < mesh.size(); ++i) {
      MeshNode& n = mesh[i];
      if (!n.stepping || rng() % oneIn != 0) continue;
      int32_t me = ids[i];
      int32_t to = rng() % 3 == 0 ? static_cast<int32_t>(1 + rng() % 4) : 0;
      if (to == me) to = 0;
      if (n.engine->Send(to, Tagged(me, n.sent))) sentBy[me].push_back({to, n.sent++});
    }
  };
  uint32_t before = 100 + static_cast<uint32_t>(rng() % 1500);
  mesh.Run(before, 20);
  oneIn = 2;
  mesh.Run(static_cast<uint32_t>(rng() % 400), 20);
  mesh.net().Isolate("a");  // every link of the host goes dead, silently
  if (seed % 4 == 0) mesh.net().Crash("a");
  mesh[0].stepping = seed % 4 != 0;
  uint64_t cutAt = mesh.net().NowMs();
  oneIn = 2;
  mesh.Run(300, 20);
  oneIn = 10;
  mesh.Run(200, 20);
  mesh.Run(9000, 100);  // nothing to see until the time-out
  mesh.Run(2500, 50);
  if (mesh.net().NowMs() - cutAt > 12000) return "ran past 12 s";

  // Within 12 s: the lowest id hosts, everyone agrees, only it was told.
  for (const char* name : {"b", "c", "d"}) {
    SessionSnapshot s = mesh.Node(name).engine->Snapshot();
    if (!InSession(mesh.Node(name))) return std::string(name) + " left: " + s.endReason;
    if (s.hostId != 2) return std::string(name) + " thinks the host is " + std::to_string(s.hostId);
    std::vector<int32_t> ids;
    for (auto& m : s.members) ids.push_back(m.id);
    if (ids != std::vector<int32_t>{2, 3, 4}) return std::string(name) + " has another roster";
    int told = 0;
    for (auto& m : mesh.Node(name).got) told += SysType(m) == fw::kSysBecameHost;
    if (told != (s.myId == 2 ? 1 : 0)) return std::string(name) + " told it hosts " + std::to_string(told) + " times";
  }
  if (mesh.Node("b").engine->Snapshot().state != SessionSnapshot::State::Host) return "b is not host";

  oneIn = 0;
  mesh.Run(1000, 50);

  // Every message of a survivor arrived once, in order; all hold the same
  // prefix of the old host's.
  std::map<std::string, std::vector<uint32_t>> ofOldHost;
  for (const char* name : {"b", "c", "d"}) {
    const MeshNode& r = mesh.Node(name);
    int32_t self = r.engine->Snapshot().myId;
    std::map<int32_t, std::vector<uint32_t>> got;
    bool oldHostGone = false;
    for (const auto& m : r.got) {
      if (m.from == 0) {
        if (SysType(m) == fw::kSysPlayerDestroyed && SysId(m) == 1) oldHostGone = true;
        continue;
      }
      if (m.from == 1 && oldHostGone) return std::string(name) + " got the old host's message after it went";
      if (m.from == 1) {
        if (m.to == 0) ofOldHost[name].push_back(TagNumber(m));
        continue;
      }
      got[m.from].push_back(TagNumber(m));
    }
    if (!oldHostGone) return std::string(name) + " was not told the old host went";
    for (int32_t sender : {2, 3, 4}) {
      if (sender == self) continue;
      std::vector<uint32_t> want;
      for (auto& [to, tag] : sentBy[sender])
        if (to == 0 || to == self) want.push_back(tag);
      if (got[sender] != want)
        return std::string(name) + " has " + std::to_string(got[sender].size()) + " of " +
               std::to_string(want.size()) + " messages of " + std::to_string(sender) + " or not in order";
    }
  }
  if (ofOldHost["b"] != ofOldHost["c"] || ofOldHost["b"] != ofOldHost["d"]) return "different prefixes of the old host";
  // Its messages to all, numbered in its own run of all its messages.
  std::vector<uint32_t> toAll;
  for (auto& [to, tag] : sentBy[1])
    if (to == 0) toAll.push_back(tag);
  toAll.resize(std::min(toAll.size(), ofOldHost["b"].size()));
  if (ofOldHost["b"] != toAll) return "the old host's messages are not a prefix of what it sent";
  return "";
}

constexpr uint64_t kSeeds = 1000;

TEST(SessionMigration, HostCutAtARandomMomentOverManySeeds) {
  fwtest::CheckSeeds(kSeeds, RunSeed);
}

}  // namespace

namespace {

TEST(SessionMigration, MemberTooLateForTheNewHostEndsInsteadOfSplittingTheSession) {
  Mesh mesh(42);
  mesh.Host("a");
  for (const char* name : {"b", "c", "d"}) ASSERT_EQ(mesh.JoinNow(name), JoinResult::Ok);
  mesh.Run(200);
  mesh.net().Isolate("a");
  mesh.Run(9000, 50);
  mesh.Node("c").stepping = false;  // frozen while the others move on
  mesh.Run(4000, 20);
  EXPECT_EQ(fwtest::RosterIds(*mesh.Node("b").engine), (std::vector<int32_t>{2, 4}));
  mesh.Node("c").stepping = true;
  mesh.Run(3000, 20);
  SessionSnapshot c = mesh.Node("c").engine->Snapshot();
  EXPECT_EQ(c.state, SessionSnapshot::State::Ended);
  EXPECT_EQ(c.endReason, "host lost");
  for (const char* name : {"b", "d"}) {
    EXPECT_EQ(fwtest::RosterIds(*mesh.Node(name).engine), (std::vector<int32_t>{2, 4})) << name;
    EXPECT_EQ(mesh.Node(name).engine->Snapshot().hostId, 2) << name;
  }
  int told = 0;
  for (auto& m : mesh.Node("c").got) told += SysType(m) == fw::kSysBecameHost;
  EXPECT_EQ(told, 0);
}

}  // namespace
