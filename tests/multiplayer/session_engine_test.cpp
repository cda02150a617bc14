#include <gtest/gtest.h>

#include <map>

#include "multiplayer/session/session_frames.hpp"
#include "session_mesh.hpp"

namespace {

using fw::JoinResult;
using fw::SessionSnapshot;
using fwtest::Mesh;
using fwtest::SysId;
using fwtest::SysType;

std::vector<int32_t> RosterIds(const SessionSnapshot& s) {
  std::vector<int32_t> ids;
  for (const auto& m : s.members) ids.push_back(m.id);
  return ids;
}

TEST(SessionEngine, JoinRelayAndLeave) {
  Mesh mesh;
  mesh.Host("a");
  ASSERT_EQ(mesh.JoinNow("b"), JoinResult::Ok);
  ASSERT_EQ(mesh.JoinNow("c"), JoinResult::Ok);
  EXPECT_EQ(mesh[1].engine->Snapshot().myId, 2);
  EXPECT_EQ(mesh[2].engine->Snapshot().myId, 3);

  ASSERT_TRUE(mesh[0].engine->Send(0, {1, 2, 3}));
  ASSERT_TRUE(mesh[1].engine->Send(3, {4}));
  ASSERT_TRUE(mesh[2].engine->Send(3, {5}));  // to oneself: dropped
  mesh.Run(200);
  auto games = [](const fwtest::MeshNode& n) {
    std::vector<fw::ReceivedMessage> out;
    for (const auto& m : n.got)
      if (m.from != 0) out.push_back(m);
    return out;
  };
  ASSERT_EQ(games(mesh[1]).size(), 1u);
  EXPECT_EQ(games(mesh[1])[0].from, 1);
  ASSERT_EQ(games(mesh[2]).size(), 2u);
  EXPECT_EQ(games(mesh[2])[0].from, 1);
  EXPECT_EQ(games(mesh[2])[1].from, 2);
  EXPECT_EQ(games(mesh[2])[1].to, 3);
  EXPECT_EQ(games(mesh[0]).size(), 0u);

  mesh[1].engine->Leave();
  mesh.Run(200);
  EXPECT_EQ(mesh[1].engine->Snapshot().state, SessionSnapshot::State::Ended);
  EXPECT_EQ(mesh[1].engine->Snapshot().endReason, "left");
  for (size_t i : {0u, 2u}) {
    EXPECT_EQ(RosterIds(mesh[i].engine->Snapshot()), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(SysType(mesh[i].got.back()), fw::kSysPlayerDestroyed);
    EXPECT_EQ(SysId(mesh[i].got.back()), 2);
  }
}

}  // namespace

namespace {

TEST(SessionEngine, OnlyTheHostRemovesAndTheRemovedOneIsTold) {
  Mesh mesh;
  mesh.Host("a");
  ASSERT_EQ(mesh.JoinNow("b"), JoinResult::Ok);
  ASSERT_EQ(mesh.JoinNow("c"), JoinResult::Ok);
  mesh.Run(50);
  EXPECT_FALSE(mesh[1].engine->Remove(3));  // not the host
  EXPECT_FALSE(mesh[0].engine->Remove(1));  // not itself
  EXPECT_FALSE(mesh[0].engine->Remove(9));  // nobody
  EXPECT_TRUE(mesh[0].engine->Remove(3));
  mesh.Run(100);
  EXPECT_EQ(mesh[2].engine->Snapshot().state, SessionSnapshot::State::Ended);
  EXPECT_EQ(mesh[2].engine->Snapshot().endReason, "removed");
  EXPECT_EQ(RosterIds(mesh[1].engine->Snapshot()), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(SysType(mesh[1].got.back()), fw::kSysPlayerDestroyed);
  EXPECT_FALSE(mesh[2].engine->Send(0, {1}));
}

}  // namespace
