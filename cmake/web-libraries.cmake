# The libraries of the web build (emscripten), from the prefix scripts/web-libs
# made, given as MNEMORA_WEB_PREFIX:
#
#   emcmake cmake -DMNEMORA_WEB_PREFIX=<the prefix scripts/web-libs prints> ...
#
# pkg-config reads nothing but the prefix's .pc files, never the build
# machine's; emscripten's own ports (-sUSE_SDL=2...) are never asked for.
set(MNEMORA_WEB_PREFIX "" CACHE PATH "The libraries scripts/web-libs built")
if(NOT IS_DIRECTORY "${MNEMORA_WEB_PREFIX}/lib/pkgconfig")
    message(FATAL_ERROR "MNEMORA_WEB_PREFIX (${MNEMORA_WEB_PREFIX}) is not a prefix "
                        "of scripts/web-libs")
endif()
set(ENV{PKG_CONFIG_LIBDIR} ${MNEMORA_WEB_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
include(${CMAKE_CURRENT_LIST_DIR}/static-libraries.cmake)
# emcc puts its built-in SDL 1 headers (sysroot/include/SDL) ahead of every
# -isystem folder unless told there is no such SDL: then <SDL.h> is ours.
set_property(TARGET SDL2::SDL2 APPEND PROPERTY INTERFACE_COMPILE_OPTIONS -sUSE_SDL=0)
