// libs: fw_factory_rules
// The weapon catalogue from arbitrary text: bad rows are left out and
// reported, and what is kept has a name and no name twice.
#include <cstddef>
#include <cstdint>
#include <string>

#include "factory/rules/catalogs.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::FactoryCatalogs c;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  c.ReadWeaponRows(reader);
  for (int i = 1; i <= c.WeaponCatalog.Count(); ++i) {
    const auto& w = *c.WeaponCatalog.Item(i);
    if (w.Key.empty() || c.WeaponCatalog.Item(w.Key) != c.WeaponCatalog.Item(i) || w.Cost < 0 || w.Weight < 0)
      __builtin_trap();
  }
  for (const auto& p : c.Problems)
    if (p.Row < 1) __builtin_trap();
  return 0;
}
