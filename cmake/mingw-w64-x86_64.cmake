# Cross-building for 64-bit Windows with Debian's mingw-w64, posix thread model.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DMNEMORA_WINDOWS_PREFIX=<the prefix scripts/windows-libs prints> ...
#
# Libraries and headers are looked up in that prefix only (and in the
# toolchain's own sysroot), never in the build machine's /usr; pkg-config
# reads nothing but the prefix's .pc files. Programs are linked fully
# statically: libgcc, libstdc++ and winpthread go into the .exe, so it needs
# no DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_SYSTEM_VERSION 10.0)

set(MNEMORA_WINDOWS_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MNEMORA_WINDOWS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MNEMORA_WINDOWS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MNEMORA_WINDOWS_TRIPLE}-windres)
set(CMAKE_AR ${MNEMORA_WINDOWS_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${MNEMORA_WINDOWS_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_STRIP ${MNEMORA_WINDOWS_TRIPLE}-strip CACHE FILEPATH "")

# The prefix also reaches try_compile projects, which read this file again.
if(NOT MNEMORA_WINDOWS_PREFIX AND DEFINED ENV{MNEMORA_WINDOWS_PREFIX})
    set(MNEMORA_WINDOWS_PREFIX $ENV{MNEMORA_WINDOWS_PREFIX})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MNEMORA_WINDOWS_PREFIX MNEMORA_WINDOWS_LIBS_BUILD)

set(CMAKE_FIND_ROOT_PATH ${MNEMORA_WINDOWS_PREFIX} /usr/${MNEMORA_WINDOWS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: an import library found first would tie the program
# to a DLL.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

set(PKG_CONFIG_EXECUTABLE pkg-config CACHE FILEPATH "")
if(MNEMORA_WINDOWS_PREFIX)
    set(ENV{PKG_CONFIG_LIBDIR} ${MNEMORA_WINDOWS_PREFIX}/lib/pkgconfig)
endif()
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Tests and tools built for Windows run under Wine (wine picks its 64-bit
# loader for a 64-bit program). The library builds leave it unset, so no
# configure check ever starts Wine.
if(NOT MNEMORA_WINDOWS_LIBS_BUILD)
    find_program(MNEMORA_WINE NAMES wine)
    if(MNEMORA_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${MNEMORA_WINE})
    endif()
endif()
