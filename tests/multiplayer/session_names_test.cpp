// Names that cross the wire: a player's name must be whole characters of the
// game's code page, and a session name too long for a frame loses whole
// characters only.
#include <gtest/gtest.h>

#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/session/discovery.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "multiplayer/session/session_loop_providers.hpp"
#include "platform/runtime/code_page.hpp"
#include "net_env.hpp"
#include "session_mesh.hpp"

namespace {

// One rule for every name on the wire: whole characters of the code page
// (0x80 alone is one, the euro sign) and no control byte. A joiner's Hello,
// the roster's names, a found session's name and a host's own name keep to
// it alike, so no name is taken in one place and refused in another.
TEST(SessionNames, EveryNameOnTheWireKeepsOneRule) {
  struct Case {
    std::string name;
    bool ok;
  };
  const Case cases[] = {
      {"Eve\x80", true},
      {"\x80\x80", true},
      {"\xd5\xc5\xc8\xfd", true},
      {"Eve", true},
      {"A\x01", false},
      {"A\x7f", false},
      {"Ju\xb0", false},  // ends inside a double-byte character
      {"Eve\x81", false},
      {"Eve\xff", false},
      {"\x81\x7f", false},
      {"\xa1\x20", false},
  };
  for (const Case& c : cases) {
    fwtest::Mesh mesh(5);
    mesh.Host("host");
    EXPECT_EQ(mesh.JoinNow(c.name), c.ok ? fw::JoinResult::Ok : fw::JoinResult::RefusedBadName) << c.name;
    EXPECT_EQ(fwtest::RosterIds(*mesh[0].engine), c.ok ? (std::vector<int32_t>{1, 2}) : std::vector<int32_t>{1})
        << c.name;

    fw::SessionFrame joined;
    joined.type = fw::FrameType::MemberJoined;
    joined.memberId = 2;
    joined.name = c.name;
    joined.longName = "Player";
    EXPECT_EQ(fw::DecodeFrame(fw::EncodeFrame(joined)).has_value(), c.ok) << c.name;

    fw::DiscoveryAnswer answer;
    answer.name = c.name;
    EXPECT_EQ(fw::DecodeAnswer(fw::EncodeAnswer(answer)).has_value(), c.ok) << c.name;

    plat::LoopNetwork net(plat::LoopNetwork::Options{1, 1, 5, false});
    fw::SessionOptions stepping;
    stepping.threaded = false;
    fw::SessionEngine host(net.MakeNode("h"), stepping);
    std::string error;
    EXPECT_EQ(host.Host({"h"}, c.name, c.name, 0, &error), c.ok) << c.name;
  }
}

TEST(SessionNames, ASessionNamePastItsLimitIsCutAfterAWholeCharacter) {
  std::string longName;
  for (int i = 0; i < 200; ++i) longName += "\xb0\xa1";  // 400 bytes of two-byte characters
  for (const std::string& name : {longName, "x" + longName}) {
    fwtest::Mesh mesh(7);
    fwtest::MeshNode& host = mesh.Host(name);
    ASSERT_EQ(mesh.JoinNow("joiner"), fw::JoinResult::Ok);
    const std::string seen = mesh.Node("joiner").engine->Snapshot().sessionName;
    EXPECT_LE(seen.size(), fw::kMaxFrameStringBytes);
    EXPECT_GE(seen.size(), fw::kMaxFrameStringBytes - 1);
    EXPECT_EQ(plat::CutToBytes(seen, seen.size()), seen);
    EXPECT_TRUE(plat::ConvertsToUtf8(seen));
    EXPECT_EQ(name.compare(0, seen.size(), seen), 0);
    // Host and joiners list the session under the same name.
    EXPECT_EQ(host.engine->Snapshot().sessionName, seen);
  }
}

TEST(SessionNames, TheLoginNameIsKeptAsCodePageTextOfWholeCharacters) {
  std::string login;
  for (int i = 0; i < 60; ++i) login += "\xe5\xbc\xa0";  // three bytes of UTF-8, two of the code page
  fwtest::ScopedEnv user("USER", login);
  fw::LoopWorld world;
  fw::qelDirectPlay dp(fw::MakeLoopProviders(world, "me"));
  EXPECT_EQ(dp.UserName.size(), 98u);
  EXPECT_EQ(plat::ToUtf8(dp.UserName), login.substr(0, 49 * 3));
}

}  // namespace
