# The layer check on small trees: each case writes one file that includes
# one header and expects the check to pass or to fail.
#   cmake -DCHECK=<tools/check_layers.cmake> -DWORK=<scratch folder> -P this
cmake_minimum_required(VERSION 3.20)

set(failures "")
set(count 0)

# expect(pass|fail FILE INCLUDE [FILE INCLUDE]...): a tree of these files,
# each including its header.
function(expect want)
  set(root "${WORK}/case")
  file(REMOVE_RECURSE "${root}")
  set(what "")
  set(args ${ARGN})
  while(args)
    list(POP_FRONT args file include)
    file(WRITE "${root}/${file}" "// a case\n#include ${include}\nint x;\n")
    string(APPEND what "${file} including ${include}; ")
  endwhile()
  execute_process(COMMAND ${CMAKE_COMMAND} -DFW_ROOT=${root} -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0)
    set(got pass)
  else()
    set(got fail)
  endif()
  if(NOT got STREQUAL want)
    set(failures "${failures}${what}expected ${want}, got ${got}\n${err}\n" PARENT_SCOPE)
  endif()
endfunction()

# Down the stack and within a folder.
expect(pass engine/a.cpp "\"platform/runtime/files.hpp\"")
expect(pass data/a.cpp "\"engine/globals.hpp\"")
expect(pass app/a.cpp "\"multiplayer/lobby/lobby.hpp\"")
expect(pass frontend/a.cpp "\"frontend/widgets/list_box.hpp\"")
expect(pass engine/a.cpp "<vector>")
expect(pass engine/a.cpp "\"a.hpp\"")
# Up the stack.
expect(fail platform/runtime/a.cpp "\"engine/globals.hpp\"")
expect(fail engine/a.cpp "\"data/users.hpp\"")
expect(fail engine/a.hpp "\"app/registry.hpp\"")
expect(fail battle/a.cpp "\"missions/dispatch.hpp\"")
expect(fail factory/a.cpp "\"multiplayer/session.hpp\"")
# The factory's core sits below every screen that calls it, the rest of the
# factory above the front-end.
expect(pass frontend/brief.cpp "\"factory/rules/combine.hpp\"")
expect(pass battle/a.cpp "\"factory/rules/combine.hpp\"")
expect(fail frontend/brief.cpp "\"factory/hall.hpp\"")
expect(fail factory/rules/combine.cpp "\"frontend/widgets/list_box.hpp\"")
expect(fail factory/rules/combine.cpp "\"battle/state.hpp\"")
expect(pass factory/shop.cpp "\"frontend/widgets/list_box.hpp\"")
# The network game: the session service knows nothing of the lobby or the
# battle; the lobby reads the battle's maps; the network battle takes the
# lobby's settings.
expect(fail multiplayer/session/a.cpp "\"multiplayer/battle/net_battle.hpp\"")
expect(fail multiplayer/session/a.hpp "\"multiplayer/lobby/game_setting.hpp\"")
expect(fail multiplayer/session/a.cpp "\"engine/globals.hpp\"")
expect(fail multiplayer/lobby/a.cpp "\"multiplayer/battle/game_messages.hpp\"")
expect(pass multiplayer/lobby/a.cpp "\"battle/loaders.hpp\"")
expect(pass multiplayer/battle/a.cpp "\"multiplayer/lobby/game_setting.hpp\"")
expect(pass multiplayer/battle/a.cpp "\"multiplayer/session/direct_play.hpp\"")
# Inside those folders a module never reaches itself through its includes,
# however long the way round; a header and its own source are one module.
expect(fail multiplayer/lobby/a.hpp "\"multiplayer/lobby/b.hpp\"" multiplayer/lobby/b.cpp "\"multiplayer/lobby/a.hpp\"")
expect(fail multiplayer/session/a.cpp "\"b.hpp\"" multiplayer/session/b.hpp "\"multiplayer/session/a.hpp\"")
expect(fail multiplayer/battle/a.hpp "\"multiplayer/battle/b.hpp\"" multiplayer/battle/b.hpp "\"multiplayer/battle/c.hpp\""
       multiplayer/battle/c.cpp "\"multiplayer/battle/a.hpp\"")
expect(pass multiplayer/battle/a.hpp "\"multiplayer/battle/b.hpp\"" multiplayer/battle/b.hpp "\"multiplayer/battle/c.hpp\""
       multiplayer/battle/a.cpp "\"multiplayer/battle/a.hpp\"")
# Other folders are not held to it.
expect(pass engine/a.hpp "\"engine/b.hpp\"" engine/b.cpp "\"engine/a.hpp\"")
# Inside platform/.
expect(pass platform/display/a.cpp "\"platform/input/window.hpp\"")
expect(fail platform/runtime/a.cpp "\"platform/display/surface.hpp\"")
expect(fail platform/net/a.cpp "\"platform/audio/mixer.hpp\"")
expect(fail platform/newpart/a.cpp "\"platform/runtime/files.hpp\"")
# Third-party headers.
expect(pass platform/input/a.cpp "<SDL.h>")
expect(pass platform/d3d/a.cpp "<assimp/scene.h>")
expect(fail engine/a.cpp "<SDL.h>")
expect(fail engine/a.cpp "<SDL2/SDL_events.h>")
expect(fail frontend/a.cpp "<SDL_ttf.h>")
expect(fail data/a.cpp "<libavformat/avformat.h>")
expect(fail multiplayer/a.cpp "<enet/enet.h>")
expect(fail multiplayer/a.cpp "<termios.h>")
expect(fail tests/multiplayer/a.cpp "<termios.h>")
expect(pass platform/net/a.cpp "<termios.h>")
expect(fail tests/engine/a.cpp "<SDL.h>")
expect(fail tests/common/test_main.cpp "<SDL.h>")
expect(fail fuzz/fuzz_x.cpp "<assimp/Importer.hpp>")
expect(pass tests/platform/a.cpp "<SDL.h>")
expect(pass bench/bench_x.cpp "<SDL.h>")
expect(pass tools/mkdata/a.cpp "<libavcodec/avcodec.h>")
# Tests and programs.
expect(pass tests/engine/a.cpp "\"tests/common/test_support.hpp\"")
expect(pass tests/platform/a.cpp "\"tests/common/test_support.hpp\"")
expect(pass tests/engine/a.cpp "\"tests/platform/audio_test_media.hpp\"")
expect(fail tests/platform/a.cpp "\"tests/engine/display_support.hpp\"")
expect(fail tests/engine/a.cpp "\"data/users.hpp\"")
expect(pass tests/e2e/a.cpp "\"app/registry.hpp\"")
expect(pass tests/factory_rules/a.cpp "\"factory/rules/combine.hpp\"")
expect(fail tests/factory_rules/a.cpp "\"frontend/brief.hpp\"")
expect(pass tests/frontend/a.cpp "\"tests/factory_rules/support.hpp\"")
expect(fail engine/a.cpp "\"tests/common/test_support.hpp\"")
expect(fail engine/a.cpp "\"tools/mkdata/mkdata.hpp\"")
expect(pass bench/bench_x.cpp "\"tests/data/sheet.hpp\"")
expect(pass fuzz/fuzz_x.cpp "\"app/registry.hpp\"")
# A path that climbs hides the folder it names.
expect(fail engine/a.cpp "\"../data/users.hpp\"")
# Spacing inside the directive does not hide an include.
expect(fail engine/b.cpp "<vector>\n  #  include <SDL.h>")

file(REMOVE_RECURSE "${WORK}/case")
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
