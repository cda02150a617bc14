// libs: fw_data
// "User.INI" from arbitrary bytes: six profiles always come out, and saving
// what was read and reading it back changes nothing more.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/users.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::UsersClass users;
  users.DecodeUsers(std::vector<uint8_t>(data, data + size));
  const std::vector<uint8_t> once = users.EncodeUsers();
  fw::UsersClass again;
  again.DecodeUsers(once);
  if (again.EncodeUsers() != once || once.size() != 384) __builtin_trap();
  return 0;
}
