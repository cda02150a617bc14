# Third-party libraries: only platform/ links them directly.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(SDL2_IMAGE REQUIRED IMPORTED_TARGET SDL2_image)
# libjpeg-turbo, the decoder under SDL_image, called directly for the large
# JPEG pictures so that they decode straight into 5-6-5 pixels.
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(SDL2_MIXER REQUIRED IMPORTED_TARGET SDL2_mixer)
pkg_check_modules(SDL2_TTF REQUIRED IMPORTED_TARGET SDL2_ttf)
pkg_check_modules(ASSIMP REQUIRED IMPORTED_TARGET assimp)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
pkg_check_modules(ENET REQUIRED IMPORTED_TARGET libenet)
if(FW_TESTS)
  find_package(GTest REQUIRED)
endif()
if(FW_BENCH)
  find_package(benchmark REQUIRED)
endif()
