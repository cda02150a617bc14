#pragma once
// Which maps of the mission archive a network game can be hosted on. A map
// the joiners could not be given, or one that would load as an empty field,
// is never offered: the host would wait in a battle nobody can enter.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/pack.hpp"

namespace fw {

// The buildings one settings message carries to a joiner.
inline constexpr size_t kMaxSettingBuildings = 1024;
// The two bases of "Base Defensing", by the number their type keys read as:
// team 0 defends the first, team 1 the second.
inline constexpr int32_t kBaseBuildingNumbers[2] = {587, 580};

// Why the map whose description is the archive's member `inf` cannot be
// offered, naming the archive and the member; "" when it can. `bases`: for
// "Base Defensing", which needs both bases on the map.
std::string NetworkMapFault(qelPackage& pack, const std::string& inf, bool bases);

}  // namespace fw
