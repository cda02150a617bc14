#pragma once
// What an item is, told by its name alone: ammunition and the carrying
// weapons that take it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/map_tables.hpp"

namespace fw {

// The word anywhere in the name, letter case ignored.
bool NameHas(std::string_view name, std::string_view word);

// True for ammunition: a name with "Artillery", or with "Missile" but not
// "Missile Launcher", or with "Rocket" but not "Rocket Launcher". Ammunition
// is loaded into a fitted weapon, never fitted on its own.
bool CheckWeapon(std::string_view name);

// The owned ammunition that the carrying weapon takes, in owned order, one
// row per item: artillery for a cannon, missiles for a missile launcher,
// rockets for a rocket launcher (a name matching several gets the list of
// the last). No value for any other weapon: the caller's list stays as it
// was.
std::optional<std::vector<std::string>> AjustLancher(std::string_view weaponName, const MapIndexClass& owned);

// Whether the assembly screen, when it opens, loads this ammunition into a
// fitted weapon row of this name. Letter case counts here, unlike the
// tests above.
bool LoadsInto(std::string_view rowWeapon, std::string_view ammunition);

}  // namespace fw
