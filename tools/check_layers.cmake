# Fails when an #include runs up the stack of folders or names a third-party
# header outside platform/, or when a module of the network game's folders
# reaches itself through its includes. Run as
#   cmake -DFW_ROOT=<source tree> -P tools/check_layers.cmake
# by the test command and by ctest. CMake is the one tool every build of the
# game already has, so the check needs nothing else installed.
#
# The stack, lowest first. A file may include its own folder and folders
# below it. factory/rules is the factory's core (catalogues, tank building),
# which the front-end screens call, so it sits low; the rest of factory/ sits
# above the front-end, whose widgets it uses. The network game's session
# service knows nothing of the game, so it sits just above the platform; the
# lobby comes below the network battle, which takes the lobby's settings.
cmake_minimum_required(VERSION 3.20)

set(FW_LAYERS
  platform
  multiplayer/session
  engine
  data
  factory/rules
  battle
  missions
  frontend
  factory
  multiplayer/lobby
  multiplayer/battle
  multiplayer
  app)

# Inside platform/, each part may use only what its library links.
set(FW_PLATFORM_USES_runtime runtime)
set(FW_PLATFORM_USES_input input runtime)
set(FW_PLATFORM_USES_display display input runtime)
set(FW_PLATFORM_USES_audio audio display input runtime)
set(FW_PLATFORM_USES_d3d d3d display input runtime)
set(FW_PLATFORM_USES_net net runtime)

# Folders whose modules (a header and its source, named alike) include one
# another one way only: a module that reaches itself through its includes
# cannot be built, tested or moved on its own. The network game's three
# folders were split to show their layers; this keeps them apart inside too.
set(FW_ACYCLIC_FOLDERS multiplayer/session multiplayer/lobby multiplayer/battle)

# Headers of the libraries only platform/ may include.
set(FW_THIRD_PARTY_RE "^(SDL[^/]*\\.h|jpeglib\\.h|SDL2/|libav[a-z]*/|libsw[a-z]*/|libpostproc/|assimp/|enet/|termios\\.h)")

# Declared exceptions.
# - tools/mkdata writes the sample data with the libraries directly;
# - bench/ measures our blitters against SDL's on the same surfaces;
# - tests/platform pushes SDL events into the platform's own pump.
set(FW_THIRD_PARTY_ALLOWED tools/mkdata/ bench/ tests/platform/)
# Every test may use the shared test main and support (tests/common), which
# itself stands on engine/.
set(FW_TESTS_SHARED tests/common/)

if(NOT FW_ROOT)
  get_filename_component(FW_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()

list(LENGTH FW_LAYERS fw_top)

# The rank of a path in the stack ("" when it belongs to none): the longest
# layer that prefixes it wins, so factory/rules/x ranks below factory/x.
function(fw_rank path out)
  set(best "")
  set(best_len -1)
  set(i 0)
  foreach(layer ${FW_LAYERS})
    string(LENGTH "${layer}/" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    if(head STREQUAL "${layer}/" AND n GREATER best_len)
      set(best ${i})
      set(best_len ${n})
    endif()
    math(EXPR i "${i} + 1")
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# The rank a test folder stands at: tests/<layer>/ at its layer (a folder
# below a layer may be named with _ for /, as tests/factory_rules), tests/e2e
# and folders named after no layer at the top.
function(fw_test_rank path out)
  string(REGEX REPLACE "^tests/" "" rest "${path}")
  if(rest MATCHES "^common/")
    fw_rank("engine/" r)
  else()
    fw_rank("${rest}" r)
    if(r STREQUAL "" AND rest MATCHES "^([a-z]+)_([a-z_]+)/")
      fw_rank("${CMAKE_MATCH_1}/${CMAKE_MATCH_2}/" r)
    endif()
  endif()
  if(r STREQUAL "")
    set(r ${fw_top})
  endif()
  set(${out} ${r} PARENT_SCOPE)
endfunction()

function(fw_starts_with_any path prefixes out)
  set(hit FALSE)
  foreach(p ${prefixes})
    string(LENGTH "${p}" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    if(head STREQUAL p)
      set(hit TRUE)
    endif()
  endforeach()
  set(${out} ${hit} PARENT_SCOPE)
endfunction()

set(fw_faults "")
macro(fw_fault file line text)
  string(APPEND fw_faults "${file}: #include \"${line}\": ${text}\n")
endmacro()

file(GLOB_RECURSE fw_files RELATIVE "${FW_ROOT}"
  "${FW_ROOT}/platform/*" "${FW_ROOT}/engine/*" "${FW_ROOT}/data/*" "${FW_ROOT}/battle/*"
  "${FW_ROOT}/missions/*" "${FW_ROOT}/frontend/*" "${FW_ROOT}/factory/*" "${FW_ROOT}/multiplayer/*"
  "${FW_ROOT}/app/*" "${FW_ROOT}/tests/*" "${FW_ROOT}/bench/*" "${FW_ROOT}/fuzz/*" "${FW_ROOT}/tools/*")
list(FILTER fw_files INCLUDE REGEX "\\.(cpp|cc|hpp|h|inl)$")

# The module of a path, when it lies directly in one of FW_ACYCLIC_FOLDERS
# ("" otherwise): the path without its extension.
function(fw_acyclic_module path out)
  set(module "")
  get_filename_component(dir "${path}" DIRECTORY)
  if(dir IN_LIST FW_ACYCLIC_FOLDERS)
    string(REGEX REPLACE "\\.[^./]*$" "" module "${path}")
  endif()
  set(${out} "${module}" PARENT_SCOPE)
endfunction()

set(fw_modules "")
foreach(file ${fw_files})
  file(STRINGS "${FW_ROOT}/${file}" incs REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  fw_acyclic_module("${file}" from_module)
  if(from_module)
    list(APPEND fw_modules "${from_module}")
    get_filename_component(from_dir "${file}" DIRECTORY)
  endif()
  # What the file stands at: a product layer, a test folder, or a program
  # above everything (app-like tools, benchmarks, fuzz targets).
  set(kind product)
  fw_rank("${file}" own)
  if(file MATCHES "^tests/")
    set(kind test)
    fw_test_rank("${file}" own)
  elseif(own STREQUAL "")
    set(kind program)
    set(own ${fw_top})
  endif()
  fw_starts_with_any("${file}" "${FW_THIRD_PARTY_ALLOWED}" may_use_libraries)

  foreach(inc ${incs})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" name "${inc}")
    if(name MATCHES "(^|/)\\.\\.(/|$)")
      fw_fault("${file}" "${name}" "name headers from the source root, not with ..")
      continue()
    endif()
    if(name MATCHES "${FW_THIRD_PARTY_RE}")
      if(NOT file MATCHES "^platform/" AND NOT may_use_libraries)
        fw_fault("${file}" "${name}" "a third-party header outside platform/")
      endif()
      continue()
    endif()
    if(name MATCHES "^(tests|bench|fuzz|tools)/")
      if(name MATCHES "^tests/")
        fw_starts_with_any("${name}" "${FW_TESTS_SHARED}" shared)
        fw_test_rank("${name}" target)
        if(kind STREQUAL "product")
          fw_fault("${file}" "${name}" "product code uses a test")
        elseif(kind STREQUAL "test" AND NOT shared AND target GREATER own)
          fw_fault("${file}" "${name}" "a test uses the tests of a folder above its own")
        endif()
      elseif(kind STREQUAL "product")
        fw_fault("${file}" "${name}" "product code uses a tool")
      endif()
      continue()
    endif()
    if(from_module)
      # A bare name is a file of the same folder.
      set(full "${name}")
      if(NOT name MATCHES "/")
        set(full "${from_dir}/${name}")
      endif()
      fw_acyclic_module("${full}" to_module)
      get_filename_component(to_dir "${full}" DIRECTORY)
      if(to_module AND to_dir STREQUAL from_dir AND NOT to_module STREQUAL from_module)
        string(MAKE_C_IDENTIFIER "${from_module}" id)
        list(APPEND fw_uses_${id} "${to_module}")
      endif()
    endif()
    fw_rank("${name}" target)
    if(target STREQUAL "")
      continue()  # a system header or a file of the same folder
    endif()
    if(target GREATER own)
      list(GET FW_LAYERS ${target} up)
      fw_fault("${file}" "${name}" "${up}/ stands above this folder")
      continue()
    endif()
    # Inside platform/, the parts form their own small stack.
    if(file MATCHES "^platform/([a-z0-9_]+)/" AND name MATCHES "^platform/([a-z0-9_]+)/")
      string(REGEX REPLACE "^platform/([a-z0-9_]+)/.*" "\\1" from "${file}")
      string(REGEX REPLACE "^platform/([a-z0-9_]+)/.*" "\\1" to "${name}")
      if(NOT DEFINED FW_PLATFORM_USES_${from})
        fw_fault("${file}" "${name}" "platform/${from} is not in the check's list of platform parts")
      elseif(NOT to IN_LIST FW_PLATFORM_USES_${from})
        fw_fault("${file}" "${name}" "platform/${from} does not use platform/${to}")
      endif()
    endif()
  endforeach()
endforeach()

# Every module that a module includes must not lead back to it.
list(REMOVE_DUPLICATES fw_modules)
foreach(module ${fw_modules})
  string(MAKE_C_IDENTIFIER "${module}" id)
  set(direct ${fw_uses_${id}})
  list(REMOVE_DUPLICATES direct)
  foreach(first ${direct})
    set(seen "")
    set(queue "${first}")
    set(back FALSE)
    while(queue AND NOT back)
      list(POP_FRONT queue next)
      if(next STREQUAL module)
        set(back TRUE)
      elseif(NOT next IN_LIST seen)
        list(APPEND seen "${next}")
        string(MAKE_C_IDENTIFIER "${next}" next_id)
        list(APPEND queue ${fw_uses_${next_id}})
      endif()
    endwhile()
    if(back)
      string(APPEND fw_faults "${module}: includes ${first}, whose includes lead back to ${module}\n")
    endif()
  endforeach()
endforeach()

if(fw_faults)
  message(FATAL_ERROR "Includes that break the layers:\n${fw_faults}")
endif()
list(LENGTH fw_files fw_count)
message(STATUS "Layers hold: ${fw_count} files checked.")
