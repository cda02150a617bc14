// libs: fw_factory_rules
// The equipment catalogue from arbitrary text: bad rows are left out and
// reported, and the lookups the shops and the weight rule make hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "factory/rules/catalogs.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::FactoryCatalogs c;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  c.ReadEquipmentRows(reader);
  for (int i = 1; i <= c.EquipmentCatalog.Count(); ++i) {
    const auto& t = *c.EquipmentCatalog.Item(i);
    double price = -1;
    int32_t weight = -1;
    if (t.Key.empty() || !c.Price(fw::kKindTank, t.Key, price) || price < 0 ||
        !c.Weight(fw::kKindShield, t.Key, weight) || weight < 0)
      __builtin_trap();
    const int32_t rows = c.WeaponRows(t.Key);
    if (rows < 0 || rows > 9) __builtin_trap();
  }
  return 0;
}
