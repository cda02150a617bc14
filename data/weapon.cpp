#include "data/weapon.hpp"

namespace fw {

WeaponClass::Ptr WeaponClass::Add(const std::string& key) {
  auto w = std::make_shared<Weapon>();
  w->Key = key;
  return Insert(w, key);
}

}  // namespace fw
