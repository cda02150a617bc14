// The six player profiles of the sample set: each as a reset leaves it
// (mission 1, 1,500 to spend in the factory), so whichever profile a new
// player picks starts the campaign at its first mission; a profile never
// set up would start at the last one. Profiles already there are the
// players' own and stay as they are.
#include <string>
#include <vector>

#include "data/users.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

void Profiles(Context& ctx) {
  std::vector<uint8_t> bytes(fw::UsersClass::kProfiles * fw::UserRecord::kSize);
  for (int32_t n = 1; n <= fw::UsersClass::kProfiles; ++n) {
    fw::SingleUser u;
    u.Name = "New User" + std::to_string(n);
    u.Mission = 1;
    u.Money = 1500;
    u.CtlFile = "Default.cfg";
    fw::UserRecord::From(u).Encode(bytes.data() + static_cast<size_t>(n - 1) * fw::UserRecord::kSize);
  }
  ctx.Loose("User.INI", bytes.data(), bytes.size());
}

Step profiles("player profiles", 46, Profiles);

}  // namespace
}  // namespace mkdata
