// The datagrams of finding a game: what a host sends comes back the same,
// and anything malformed is refused whole.
#include <gtest/gtest.h>

#include "multiplayer/session/discovery.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"

namespace {

using fw::DiscoveryAnswer;
using fw::DiscoveryQuery;

DiscoveryAnswer SampleAnswer() {
  DiscoveryAnswer a;
  a.protocol = 1;
  a.build = 7;
  a.nonce = 0xDEADBEEF;
  a.sessionId = 0x0123456789ABCDEFull;
  a.name = "\xD5\xC5\xC8\xFD";  // two double-byte characters
  a.players = 3;
  a.maximum = 8;
  a.gamePort = 47624;
  a.accepting = true;
  return a;
}

TEST(DiscoveryCodec, LongNameIsCutOnACharacterBoundary) {
  DiscoveryAnswer a = SampleAnswer();
  EXPECT_EQ(fw::DecodeAnswer(fw::EncodeAnswer(a)), a);
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  a.name = "A";
  FW_LIBRARY_FALSE_ALARM_END
  for (int i = 0; i < 40; ++i) a.name += "\xD5\xC5";  // 81 bytes
  auto back = fw::DecodeAnswer(fw::EncodeAnswer(a));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->name.size(), 63u);  // 64 would split a character
  EXPECT_EQ(back->name, a.name.substr(0, 63));
}

TEST(DiscoveryCodec, MalformedDatagramsAreRefused) {
  auto good = fw::EncodeAnswer(SampleAnswer());
  const size_t nameLen = 4 + 2 + 4 + 4 + 8;  // offset of the name's length byte
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"short", std::vector<uint8_t>(good.begin(), good.end() - 1)});
  auto longer = good;
  longer.push_back(0);
  cases.push_back({"trailing byte", longer});
  auto magic = good;
  magic[3] = 'Q';
  cases.push_back({"query magic on an answer", magic});
  auto name = good;
  name[nameLen] = 65;
  cases.push_back({"name above its cap", name});
  auto overrun = good;
  overrun[nameLen] = 30;
  cases.push_back({"name past the end", overrun});
  auto accepting = good;
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wstringop-overflow")
  accepting.back() = 2;
  FW_LIBRARY_FALSE_ALARM_END
  cases.push_back({"accepting not 0 or 1", accepting});
  for (const Case& c : cases) EXPECT_FALSE(fw::DecodeAnswer(c.bytes)) << c.what;

  auto q = fw::EncodeQuery({1, 1, 1});
  EXPECT_EQ(fw::DecodeQuery(q), (DiscoveryQuery{1, 1, 1}));
  EXPECT_FALSE(fw::DecodeQuery(std::vector<uint8_t>(q.begin(), q.end() - 1)));
  auto padding = q;
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wstringop-overflow")
  padding.back() = 1;
  FW_LIBRARY_FALSE_ALARM_END
  EXPECT_FALSE(fw::DecodeQuery(padding)) << "padding that is not zeros";
  q.push_back(0);
  EXPECT_FALSE(fw::DecodeQuery(q));
  EXPECT_FALSE(fw::DecodeQuery(good));
  EXPECT_FALSE(fw::DecodeAnswer(fw::EncodeQuery({1, 1, 1})));
}

}  // namespace
