# fw_library(NAME DIR [DEPS ...] [PRIVATE_DEPS ...]): a static library of
# every .cpp in DIR. Public include root is the source tree, so headers are
# named by folder: #include "platform/runtime/files.hpp". PRIVATE_DEPS are
# linked but their include paths and flags stay inside the library: that is
# how the third-party libraries stay in platform/.
function(fw_library name dir)
  cmake_parse_arguments(A "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
  else()
    add_library(${name} INTERFACE)
  endif()
  get_target_property(type ${name} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  else()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
    if(A_PRIVATE_DEPS)
      target_link_libraries(${name} PRIVATE ${A_PRIVATE_DEPS})
    endif()
  endif()
endfunction()

# fw_test(NAME DIR [DEPS ...]): one GoogleTest executable of every .cpp in
# DIR, with the shared headless test main.
function(fw_test name dir)
  cmake_parse_arguments(A "" "SHARDS" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE fw_test_main ${A_DEPS} GTest::gtest GTest::gmock)
  set(env "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;FW_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;FERROWIND_BROADCAST=127.255.255.255")
  if(NOT A_SHARDS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
    return()
  endif()
  # A long suite runs as SHARDS processes side by side, each a share of its
  # tests (GoogleTest's sharding), so it no longer sets the run's length.
  math(EXPR last "${A_SHARDS} - 1")
  foreach(i RANGE ${last})
    add_test(NAME ${name}_${i} COMMAND ${name})
    set_tests_properties(${name}_${i} PROPERTIES
      ENVIRONMENT "${env};GTEST_TOTAL_SHARDS=${A_SHARDS};GTEST_SHARD_INDEX=${i}" TIMEOUT 600)
  endforeach()
endfunction()

# fw_programs_from(DIR PATTERN OUT_VAR): one executable per file matching
# PATTERN in DIR, linked with the libraries its first line names
# ("// libs: a b c"). A program whose libraries do not exist yet is skipped.
# OUT_VAR receives the names of the programs made.
function(fw_programs_from dir pattern out)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/${pattern})
  set(made)
  foreach(src ${srcs})
    get_filename_component(name ${src} NAME_WE)
    file(STRINGS ${src} first LIMIT_COUNT 1)
    string(REGEX REPLACE "^// libs: *" "" libs "${first}")
    separate_arguments(libs)
    set(ok TRUE)
    foreach(lib ${libs})
      if(NOT TARGET ${lib})
        set(ok FALSE)
      endif()
    endforeach()
    if(ok)
      add_executable(${name} ${src})
      target_link_libraries(${name} PRIVATE ${libs})
      list(APPEND made ${name})
    endif()
  endforeach()
  set(${out} ${made} PARENT_SCOPE)
endfunction()
