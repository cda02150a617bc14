// Names that cross the wire: a player's name must be whole characters of the
// game's code page, and a session name too long for a frame loses whole
// characters only.
#include <gtest/gtest.h>

#include "multiplayer/session/direct_play.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "multiplayer/session/session_loop_providers.hpp"
#include "platform/runtime/code_page.hpp"
#include "net_env.hpp"
#include "session_mesh.hpp"

namespace {

TEST(SessionNames, NamesThatAreNotCodePageTextAreRefused) {
  for (const std::string& name : {std::string("Eve\x81"), std::string("Eve\xff"), std::string("\x80\x80"),
                                 std::string("\x81\x7f"), std::string("\xa1\x20")}) {
    fwtest::Mesh mesh(5);
    mesh.Host("host");
    EXPECT_EQ(mesh.JoinNow(name), fw::JoinResult::RefusedBadName) << name;
    EXPECT_EQ(fwtest::RosterIds(*mesh[0].engine), std::vector<int32_t>{1}) << name;
  }
  // Whole two-byte characters and plain text are welcome.
  fwtest::Mesh mesh(6);
  mesh.Host("host");
  EXPECT_EQ(mesh.JoinNow("\xd5\xc5\xc8\xfd"), fw::JoinResult::Ok);
  EXPECT_EQ(mesh.JoinNow("Eve"), fw::JoinResult::Ok);
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
