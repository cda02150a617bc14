#pragma once
// Films and background music. One player holds one media file at a time:
// loading another stops and drops the one before.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/lazy.hpp"
#include "platform/audio/media_graph.hpp"

namespace fw {

class QelMediaPlayCls {
 public:
  QelMediaPlayCls() = default;
  ~QelMediaPlayCls();
  QelMediaPlayCls(const QelMediaPlayCls&) = delete;
  QelMediaPlayCls& operator=(const QelMediaPlayCls&) = delete;

  // Set false when LoadFile fails; nothing reads it.
  bool Ready = false;
  // The file being played, with its control, position, picture and volume;
  // null when none is loaded.
  std::unique_ptr<plat::MediaGraph> IFilter;

  // Opens a game path for playing at the music volume, replacing what was
  // loaded; false (and the old file kept) when there is no such file, false
  // (and nothing loaded) when it cannot be played as the kind given. Films
  // always play in the window; the full-screen flag is kept for the callers.
  bool LoadFile(const std::string& path, int32_t fullScreen, plat::MediaKind kind);
  // The intro film at full volume, before the display is taken: ends after
  // 104.08 seconds or on a key or mouse button, and returns with the film
  // still running. A missing film, or one skipped while it opens, is
  // skipped.
  void Load(void* hWnd);
  // The closing film: gives up the display, plays until a key or mouse
  // button (its last picture stays) or until it is skipped while it opens,
  // then takes the display back and recreates the primary surface and its
  // back buffer.
  void PlayLogo();
  // The credits: gives up the display like the closing film, plays over and
  // over until a key, or a mouse button pressed without a move, then takes
  // the display back. GameState becomes 1, with or without a film.
  void PlayCredit();
  // The story's end: gives up the display like the closing film, plays to
  // the film's end or until Esc, then takes the display back. GameState
  // becomes 10, with or without a film.
  void PlayStoryEnd();
  // Plays a music file; its length in whole seconds, 0 when it cannot play.
  int32_t PlayMp3(const std::string& path);
  // 0 a battle track at random, 1 the factory's, 2 the briefing's, 3 the
  // menus'.
  void PlayBackSound(int32_t kind);
  // Starts the music over once it has played to its end; idle without music.
  void CheckLoop();
  // Waits while the display is lost; here it never is.
  void TestCoop();
  // Stops and drops the loaded file.
  void CleanUp();

 private:
  // The film under the program folder, else under the films' media path;
  // "" when in neither.
  std::string FindFilm(const std::string& name) const;
  // Puts the film in the window at 640x480 without a pointer, runs it and
  // forgets keys and buttons pressed before it.
  void StartFilm();
  // The films that take the display from the game: finds and loads the
  // film, gives up the display, shows the film until `over` says so (asked
  // once the film runs, then after each pass of window events, always with
  // a film loaded) or until it is skipped while it opens, and takes the
  // display back. A film missing or unplayable changes nothing.
  void PlayOnTheDisplay(const std::string& name, const std::function<bool()>& over);
};

extern Lazy<QelMediaPlayCls> MediaPlay;

}  // namespace fw
