#pragma once
// The network game's factory visit, the same for the host (from the new-game
// page) and for a joiner (from the network battle): the current profile
// shops with the game's money out of an empty stock, and the tank it builds
// there becomes the network tank. The profile's own money, owned and fitted
// lists (each entry whole, its colour included) and battle tank are set
// aside for the visit and put back exactly afterwards. The factory saves
// nothing during the visit, so a kill at any moment of it leaves User.INI
// and the equipment file as they were.
#include <cstdint>
#include <functional>

#include "data/map_tables.hpp"
#include "engine/lazy.hpp"

namespace fw {

// Runs the visit with `money` to spend. Afterwards NetTank holds the tank
// the factory built (empty when none was); the result says whether one was
// built. The caller's GameState is put back, and the left button's press
// that opened the factory is to be forgotten by the caller.
bool NetFactoryVisit(int32_t money);

// What was fitted in the last visit (the network tank's equipment), for
// the new-game page's list.
extern Lazy<MapIndexClass> NetEQU;

// The nested factory itself: the factory screen's visit unless a test puts
// its own shopping in its place.
extern std::function<void()> RunNetFactory;

}  // namespace fw
