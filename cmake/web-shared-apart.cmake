# Given to the libraries scripts/web-libs builds as CMAKE_PROJECT_INCLUDE.
# Emscripten has no shared libraries: CMake makes a SHARED one a static
# archive, which then has the file name of the project's static library
# (libarchive's archive and archive_static both become libarchive.a), and
# Ninja refuses two rules for one file. The shared one is named apart; only
# the static one is built.
get_property(mnemora_shared_apart GLOBAL PROPERTY MNEMORA_SHARED_APART)
if(NOT mnemora_shared_apart)
    set_property(GLOBAL PROPERTY MNEMORA_SHARED_APART TRUE)
    function(add_library name kind)
        _add_library(${ARGV})
        if(kind STREQUAL "SHARED")
            set_target_properties(${name} PROPERTIES OUTPUT_NAME ${name}-shared)
        endif()
    endfunction()
endif()
