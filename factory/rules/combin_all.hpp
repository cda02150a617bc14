#pragma once
// The battle tank built from the player's fitted equipment.
#include "data/users.hpp"
#include "factory/rules/catalogs.hpp"

namespace fw {

// Rebuilds users.NowTank and its weapons from users.NowEQU: the hull's name,
// mobility and battle picture, the shield, engine and reactor values, and
// one weapon per fitted weapon row in row order, a carrying weapon taking
// the flight values of the ammunition loaded into it. An empty NowTank.Key
// means no hull is fitted. Entries whose name is in no catalogue, and
// weapon entries with a row number outside 1 to 9 and 11 to 19, are left
// out. Nothing is written to disk.
void CombinAll(const FactoryCatalogs& catalogs, UsersClass& users);

// What the profile screen and the briefing call: reads both catalogues as a
// new factory object does, tells about their bad rows, and rebuilds the
// battle tank of the global Users.
void CombinAllOnUsers();

}  // namespace fw
