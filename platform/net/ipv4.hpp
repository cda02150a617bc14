#pragma once
// IPv4 addresses as the lobby types them and as this machine broadcasts.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// An IPv4 address in host byte order.
struct Ipv4 {
  uint32_t value = 0;
  friend bool operator==(Ipv4, Ipv4) = default;
  friend auto operator<=>(Ipv4, Ipv4) = default;
};

inline constexpr Ipv4 kLoopback{0x7F000001u};
inline constexpr Ipv4 kLoopbackBroadcast{0x7FFFFFFFu};

// Four dotted decimal octets of one to three digits each, at most 255. The
// address dialog keeps typed leading zeros ("010.000.000.007"), so they are
// read as decimal rather than refused; anything else (a missing or empty
// octet, a trailing dot, a sign, blanks) is not an address.
std::optional<Ipv4> ParseIpv4(std::string_view text);
std::string FormatIpv4(Ipv4 a);

// "a.b.c.d:port" as the transports name their ends (port 0 allowed: any free
// one); nothing for any other text.
struct HostPort {
  Ipv4 address;
  uint16_t port = 0;
};
std::optional<HostPort> ParseHostPort(std::string_view text);
std::string FormatHostPort(Ipv4 a, uint16_t port);

// The broadcast addresses of this machine's IPv4 interfaces, in interface
// order without repeats. When FERROWIND_BROADCAST is set, its comma-separated
// list replaces them (entries that are not addresses are skipped), so runs
// on a shared machine never reach another interface.
std::vector<Ipv4> BroadcastAddresses();
// The list from a FERROWIND_BROADCAST-style text.
std::vector<Ipv4> ParseAddressList(std::string_view text);

// A port from the environment, or the fallback when the variable is unset or
// not a port number (1 to 65535).
uint16_t PortFromEnvironment(const char* variable, uint16_t fallback);

}  // namespace plat
