#pragma once
// The two kinds of rendered file, for MediaGraph::RenderFile.
#include <memory>
#include <string>

#include "platform/audio/media_graph.hpp"

namespace plat {

// A film: null when the file holds no pictures, cannot be decoded, or takes
// longer than kFilmProbeLimit to probe.
std::unique_ptr<MediaGraph> OpenFilm(const std::string& nativePath);
// Music through the mixer; null without a sound device or a decoder.
std::unique_ptr<MediaGraph> OpenMusic(const std::string& nativePath);

}  // namespace plat
