#pragma once
namespace fw {
// Hands the screen loop the screens and loaders of the subsystems that
// exist; the engine names none of them itself.
void RegisterScreens();
}  // namespace fw
