#include "factory/rules/item_names.hpp"

#include "platform/runtime/strings.hpp"

namespace fw {

bool NameHas(std::string_view name, std::string_view word) { return plat::InStrNoCase(name, word) != 0; }

namespace {

bool IsMissile(std::string_view name) { return NameHas(name, "Missile") && !NameHas(name, "Missile Launcher"); }
bool IsRocket(std::string_view name) { return NameHas(name, "Rocket") && !NameHas(name, "Rocket Launcher"); }

bool Has(std::string_view name, std::string_view word) { return name.find(word) != std::string_view::npos; }

}  // namespace

bool CheckWeapon(std::string_view name) { return NameHas(name, "Artillery") || IsMissile(name) || IsRocket(name); }

std::optional<std::vector<std::string>> AjustLancher(std::string_view weaponName, const MapIndexClass& owned) {
  std::optional<std::vector<std::string>> rows;
  auto fill = [&](bool (*takes)(std::string_view)) {
    rows.emplace();
    for (const auto& item : owned)
      if (takes(item->ID)) rows->push_back(item->ID);
  };
  if (NameHas(weaponName, "Cannon")) fill([](std::string_view n) { return NameHas(n, "Artillery"); });
  if (NameHas(weaponName, "Missile Launcher")) fill(IsMissile);
  if (NameHas(weaponName, "Rocket Launcher")) fill(IsRocket);
  return rows;
}

bool LoadsInto(std::string_view rowWeapon, std::string_view ammunition) {
  return (Has(rowWeapon, "Cannon") && Has(ammunition, "Artillery")) ||
         (Has(rowWeapon, "Missile") && Has(ammunition, "Missile")) ||
         (Has(rowWeapon, "Rocket") && Has(ammunition, "Rocket"));
}

}  // namespace fw
