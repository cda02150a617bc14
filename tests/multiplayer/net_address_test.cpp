// Addresses as the lobby's dialog types them, as the transports name their
// ends, and as the environment gives broadcast addresses and ports.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/net/ipv4.hpp"

namespace {

using plat::Ipv4;

TEST(NetAddress, TypedAddressesReadAsTheDialogMeansThem) {
  struct Case {
    const char* text;
    std::optional<uint32_t> want;
  } cases[] = {
      {"10.0.0.1", 0x0A000001u},
      {"127.0.0.1", 0x7F000001u},
      {"254.255.255.254", 0xFEFFFFFEu},
      {"010.000.000.007", 0x0A000007u},  // the dialog keeps typed leading zeros
      {"192.168.0.", std::nullopt},      // Enter with an octet still pending
      {"1..2.3", std::nullopt},          // a bare dot
      {"256.1.1.1", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
      {"1.2.3.4 ", std::nullopt},
      {"1234.1.1.1", std::nullopt},
      {"-1.2.3.4", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    auto got = plat::ParseIpv4(c.text);
    if (c.want) {
      ASSERT_TRUE(got) << c.text;
      EXPECT_EQ(got->value, *c.want) << c.text;
    } else {
      EXPECT_FALSE(got) << c.text;
    }
  }
}

TEST(NetAddress, HostAndPort) {
  auto hp = plat::ParseHostPort("127.0.0.1:27015");
  ASSERT_TRUE(hp);
  EXPECT_EQ(hp->address, plat::kLoopback);
  EXPECT_EQ(hp->port, 27015);
  EXPECT_EQ(plat::FormatHostPort(hp->address, hp->port), "127.0.0.1:27015");
  for (const char* bad : {"127.0.0.1", "127.0.0.1:", "127.0.0.1:65536", "127.0.0.1:1x", "/dev/ttyS0", ":80"})
    EXPECT_FALSE(plat::ParseHostPort(bad)) << bad;
}

TEST(NetAddress, EnvironmentReplacesBroadcastAddressesAndPorts) {
  ::setenv("FERROWIND_BROADCAST", "127.255.255.255, bad,10.1.255.255,127.255.255.255", 1);
  auto list = plat::BroadcastAddresses();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], plat::kLoopbackBroadcast);
  EXPECT_EQ(list[1], (Ipv4{0x0A01FFFFu}));
  ::setenv("FERROWIND_BROADCAST", "127.255.255.255", 1);

  struct Case {
    const char* value;
    uint16_t want;
  } ports[] = {{"30000", 30000}, {"0", 5}, {"65536", 5}, {"12ab", 5}, {"", 5}};
  for (const Case& c : ports) {
    ::setenv("FW_TEST_PORT", c.value, 1);
    EXPECT_EQ(plat::PortFromEnvironment("FW_TEST_PORT", 5), c.want) << c.value;
  }
  ::unsetenv("FW_TEST_PORT");
  EXPECT_EQ(plat::PortFromEnvironment("FW_TEST_PORT", 5), 5);
}

}  // namespace
