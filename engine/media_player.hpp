#pragma once
// Films and background music.
#include "engine/lazy.hpp"

namespace fw {

class QelMediaPlayCls {
 public:
  // Plays the intro film in the game window; a missing film is skipped.
  void Load(void* hWnd);
  // Plays the closing film.
  void PlayLogo();
};

extern Lazy<QelMediaPlayCls> MediaPlay;

}  // namespace fw
