// Links cut, nodes paused, the network split and healed at random: whatever
// the session makes of it, what each game sees stays coherent.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

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

// What one node's game saw: players created before their messages and not
// after they were destroyed, each sender's messages once and in order, and
// a roster that matches what it was told.
std::string CheckNode(const MeshNode& n) {
  SessionSnapshot s = n.engine->Snapshot();
  std::set<int32_t> present;
  std::map<int32_t, int64_t> last;
  for (const auto& m : n.got) {
    if (m.from == 0) {
      if (SysType(m) == fw::kSysPlayerCreated && !present.insert(SysId(m)).second) return "created twice";
      if (SysType(m) == fw::kSysPlayerDestroyed && present.erase(SysId(m)) == 0) return "destroyed unknown";
      continue;
    }
    if (!present.count(m.from)) return "message of " + std::to_string(m.from) + " while not present";
    auto it = last.find(m.from);
    if (it != last.end() && TagNumber(m) <= it->second) return "repeat or reorder from " + std::to_string(m.from);
    last[m.from] = TagNumber(m);
  }
  if (fwtest::InSession(*n.engine)) {
    std::set<int32_t> roster;
    for (auto& m : s.members)
      if (m.id != s.myId) roster.insert(m.id);
    if (roster != present) return "roster and what the game was told differ";
    bool hostKnown = s.hostId == s.myId || roster.count(s.hostId);
    if (!hostKnown) return "host is nobody it knows";
  }
  return "";
}

std::string RunChaos(uint64_t seed) {
  std::mt19937_64 rng(seed * 7919);
  Mesh mesh(seed, fw::SessionOptions{}, 1, 30);
  const char* names[] = {"a", "b", "c", "d"};
  mesh.Host("a");
  for (int i = 1; i < 4; ++i)
    if (mesh.JoinNow(names[i]) != JoinResult::Ok) return "join failed";
  std::vector<int32_t> ids;
  for (size_t i = 0; i < mesh.size(); ++i) ids.push_back(mesh[i].engine->Snapshot().myId);
  mesh.onStep = [&] {
    for (size_t i = 0; i < mesh.size(); ++i) {
      MeshNode& n = mesh[i];
      if (!n.stepping || rng() % 4 != 0) continue;
      int32_t to = rng() % 3 == 0 ? static_cast<int32_t>(1 + rng() % 4) : 0;
      if (n.engine->Send(to == ids[i] ? 0 : to, Tagged(ids[i], n.sent))) ++n.sent;
    }
  };
  for (int round = 0; round < 12; ++round) {
    switch (rng() % 6) {
      case 0: mesh.net().Cut(names[rng() % 4], names[rng() % 4]); break;
      case 1: mesh.net().Partition({names[rng() % 4], names[rng() % 4]}); break;
      case 2: mesh.net().Heal(); break;
      case 3: {
        std::string who = names[rng() % 4];
        mesh.net().Pause(who, true);
        mesh.Run(static_cast<uint32_t>(rng() % 12000), 50);
        mesh.net().Pause(who, false);
        break;
      }
      default: break;  // a quiet spell
    }
    mesh.Run(static_cast<uint32_t>(500 + rng() % 3000), 50);
  }
  mesh.net().Heal();
  mesh.onStep = nullptr;
  mesh.Run(15000, 100);
  for (size_t i = 0; i < mesh.size(); ++i) {
    std::string why = CheckNode(mesh[i]);
    if (!why.empty()) return std::string(names[i]) + ": " + why;
  }
  return "";
}

TEST(SessionChaos, WhatEachGameSeesStaysCoherent) {
  constexpr uint64_t kSeeds = 60;
  fwtest::CheckSeeds(kSeeds, RunChaos);
}

}  // namespace
