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

// A film: its file is opened, probed and read by a reader beside the
// caller. Null when the film is known unplayable before a short wait ends
// (the file cannot be decoded, or its probe was cut: no byte for
// kFilmProbeLimit, or past kFilmProbeBytes); one found so later is
// Skipped(). A file that holds sound alone plays as music up to
// kMostFilmSoundBytes.
std::unique_ptr<MediaGraph> OpenFilm(const std::string& nativePath);

// Music through the mixer, from a file's name or from a reader it then owns;
// null without a sound device or a decoder.
std::unique_ptr<MediaGraph> OpenMusic(const std::string& nativePath);
std::unique_ptr<MediaGraph> OpenMusic(SDL_RWops* reader);

}  // namespace plat
