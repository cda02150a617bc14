#pragma once
// The two kinds of rendered file, for MediaGraph::RenderFile.
#include <memory>
#include <string>

#include "platform/audio/media_graph.hpp"

namespace plat {

// A film: null when the file is no film (*isFilm false) or when it is one
// that cannot be decoded (*isFilm true).
std::unique_ptr<MediaGraph> OpenFilm(const std::string& nativePath, bool* isFilm);
// Music through the mixer; null without a sound device or a decoder.
std::unique_ptr<MediaGraph> OpenMusic(const std::string& nativePath);

}  // namespace plat
