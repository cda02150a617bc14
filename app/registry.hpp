#pragma once
namespace fw {
// Hands the screen loop the screens of the subsystems that exist, the
// window's events each receives and the loaders that run before their
// visits; the engine names none of them itself.
void RegisterScreens();
}  // namespace fw
