// libs: fw_data
// The equipment file from arbitrary text: bad lines are counted and left
// out, and what was read saves to a file that reads back whole and the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/users.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::UsersClass users;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  users.ReadEquipment(reader);
  const std::string saved = users.EncodeEquipment();
  fw::UsersClass again;
  plat::TextRecordReader back(saved);
  if (again.ReadEquipment(back) != 0) __builtin_trap();
  if (again.EncodeEquipment() != saved) __builtin_trap();
  return 0;
}
