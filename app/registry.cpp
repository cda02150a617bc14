#include "app/registry.hpp"

#include "engine/screen.hpp"

namespace fw {

void RegisterScreens() {}

}  // namespace fw
