#pragma once
// Which maps of the mission archive a network game can be hosted on. A map
// the joiners could not be given, or one that would load as an empty field,
// is never offered: the host would wait in a battle nobody can enter.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/pack.hpp"
#include "multiplayer/lobby/game_setting.hpp"

namespace fw {

// Why the map whose description is the archive's member `inf` cannot be
// offered, naming the archive and the member; "" when it can. `bases`: for
// "Base Defensing", which needs both bases on the map.
std::string NetworkMapFault(qelPackage& pack, const std::string& inf, bool bases);

}  // namespace fw
