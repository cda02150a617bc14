#pragma once
// The two kinds of rendered file, for MediaGraph::RenderFile.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio/media_graph.hpp"

namespace plat {

// What a film's or a sound's loop waits at most in each Pump.
inline constexpr uint32_t kIdleWaitMs = 10;

// A film: null when the file cannot be decoded or its probe was cut (no
// byte for kFilmProbeLimit, or past kFilmProbeBytes). A file that holds
// sound alone plays as music up to kMostFilmSoundBytes.
std::unique_ptr<MediaGraph> OpenFilm(const std::string& nativePath);
// Music through the mixer, from a file's name or from a reader it then owns;
// null without a sound device or a decoder.
std::unique_ptr<MediaGraph> OpenMusic(const std::string& nativePath);
std::unique_ptr<MediaGraph> OpenMusic(SDL_RWops* reader);

}  // namespace plat
