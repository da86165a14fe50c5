# The seven libraries of a cross build (Windows, web), static, from the prefix
# its scripts/*-libs made, found through pkg-config reading that prefix only.
# Each becomes the imported target the Linux build gets from find_package, with
# the --static link line of its pkg-config file, so every library brings its
# own dependencies (libpng zlib, libarchive bcrypt, SDL2 the Windows system
# libraries...).
function(mnemora_static_library target)
    string(MAKE_C_IDENTIFIER ${target} prefix)
    pkg_check_modules(${prefix} REQUIRED ${ARGN})
    set(flags ${${prefix}_STATIC_LDFLAGS})
    # The program has its own main: SDL's WinMain wrapper stays out.
    list(REMOVE_ITEM flags -lSDL2main -mwindows)
    set(cflags ${${prefix}_STATIC_CFLAGS_OTHER})
    list(REMOVE_ITEM cflags -Dmain=SDL_main)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES "${${prefix}_STATIC_INCLUDE_DIRS}"
        INTERFACE_COMPILE_OPTIONS "${cflags}"
        INTERFACE_LINK_LIBRARIES "${flags}")
endfunction()

mnemora_static_library(SDL2::SDL2 sdl2)
mnemora_static_library(Freetype::Freetype freetype2)
mnemora_static_library(PNG::PNG libpng)
mnemora_static_library(ZLIB::ZLIB zlib)
mnemora_static_library(LibArchive::LibArchive libarchive)
mnemora_static_library(PkgConfig::VORBIS vorbisfile vorbis ogg)
