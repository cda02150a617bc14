// libs: fw_data
// The equipment file from arbitrary text: reading stops at a bad line, and
// what was read saves to a file that reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/users.hpp"
#include "platform/runtime/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::UsersClass users;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  try {
    users.ReadEquipment(reader);
  } catch (const plat::RuntimeError&) {
  }
  const std::string saved = users.EncodeEquipment();
  fw::UsersClass again;
  plat::TextRecordReader back(saved);
  try {
    again.ReadEquipment(back);
  } catch (const plat::RuntimeError&) {
    __builtin_trap();
  }
  if (again.EncodeEquipment() != saved) __builtin_trap();
  return 0;
}
