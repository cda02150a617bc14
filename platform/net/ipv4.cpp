#include "platform/net/ipv4.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdlib>

namespace plat {

std::optional<Ipv4> ParseIpv4(std::string_view text) {
  // Normalise the octets ourselves, then let the system read the result:
  // inet_pton refuses leading zeros, which the dialog produces.
  std::string normal;
  int octets = 0;
  size_t i = 0;
  while (true) {
    size_t start = i;
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) {
      value = value * 10 + (text[i] - '0');
      ++i;
    }
    if (i == start || value > 255) return std::nullopt;
    normal += std::to_string(value);
    ++octets;
    if (octets == 4) break;
    if (i >= text.size() || text[i] != '.') return std::nullopt;
    normal += '.';
    ++i;
  }
  if (i != text.size()) return std::nullopt;
  in_addr a{};
  if (inet_pton(AF_INET, normal.c_str(), &a) != 1) return std::nullopt;
  return Ipv4{ntohl(a.s_addr)};
}

std::string FormatIpv4(Ipv4 a) {
  return std::to_string(a.value >> 24) + "." + std::to_string((a.value >> 16) & 255) + "." +
         std::to_string((a.value >> 8) & 255) + "." + std::to_string(a.value & 255);
}

std::optional<HostPort> ParseHostPort(std::string_view text) {
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  auto a = ParseIpv4(text.substr(0, colon));
  std::string_view p = text.substr(colon + 1);
  if (!a || p.empty() || p.size() > 5) return std::nullopt;
  uint32_t port = 0;
  for (char c : p) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<uint32_t>(c - '0');
  }
  if (port > 65535) return std::nullopt;
  return HostPort{*a, static_cast<uint16_t>(port)};
}

std::string FormatHostPort(Ipv4 a, uint16_t port) { return FormatIpv4(a) + ":" + std::to_string(port); }

std::vector<Ipv4> ParseAddressList(std::string_view text) {
  std::vector<Ipv4> out;
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (auto a = ParseIpv4(item); a && std::find(out.begin(), out.end(), *a) == out.end()) out.push_back(*a);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out;
}

std::vector<Ipv4> BroadcastAddresses() {
  if (const char* env = std::getenv("FERROWIND_BROADCAST")) return ParseAddressList(env);
  std::vector<Ipv4> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    if (!(i->ifa_flags & IFF_BROADCAST) || !(i->ifa_flags & IFF_UP) || !i->ifa_broadaddr) continue;
    Ipv4 b{ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr)};
    if (b.value != 0 && std::find(out.begin(), out.end(), b) == out.end()) out.push_back(b);
  }
  freeifaddrs(list);
  return out;
}

uint16_t PortFromEnvironment(const char* variable, uint16_t fallback) {
  const char* env = std::getenv(variable);
  if (!env || !*env) return fallback;
  char* end = nullptr;
  long v = std::strtol(env, &end, 10);
  if (*end != '\0' || v < 1 || v > 65535) return fallback;
  return static_cast<uint16_t>(v);
}

}  // namespace plat
