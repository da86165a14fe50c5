# cmake -DSOURCE_DIR=<repository> -P os_headers.cmake
#
# Fails when a file under src/ outside src/engine/platform/ includes an OS
# header: what differs between systems lives behind engine/platform/platform.h,
# in one folder per system, so that a new system is one new folder. Standard C
# and C++ headers, SDL's and the libraries' are fine anywhere in the engine.
set(os_headers
    "unistd\\.h" "windows\\.h" "dirent\\.h" "fcntl\\.h" "signal\\.h" "csignal" "malloc\\.h"
    "emscripten\\.h" "emscripten/.*" "sys/.*" "io\\.h" "direct\\.h" "shlobj\\.h" "pwd\\.h"
    "grp\\.h" "sched\\.h" "strings\\.h" "dlfcn\\.h" "pthread\\.h" "poll\\.h" "termios\\.h"
    "spawn\\.h" "libgen\\.h" "psapi\\.h" "timeapi\\.h" "mmsystem\\.h" "knownfolders\\.h"
    "shellapi\\.h" "shlwapi\\.h" "objbase\\.h" "winbase\\.h" "winuser\\.h" "winnls\\.h"
    "process\\.h" "share\\.h")
list(JOIN os_headers "|" pattern)
set(include_line "^[ \t]*#[ \t]*include[ \t]*<(${pattern})>")

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.c)
set(found "")
foreach(source ${sources})
    if(source MATCHES "^src/engine/platform/")
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "${include_line}")
    foreach(line ${lines})
        string(STRIP "${line}" line)
        string(APPEND found "  ${source}: ${line}\n")
    endforeach()
endforeach()
list(LENGTH sources count)
if(found)
    message(FATAL_ERROR "OS headers outside src/engine/platform/ "
                        "(move the call behind engine/platform/platform.h):\n${found}")
endif()
message(STATUS "${count} files under src/, no OS header outside src/engine/platform/")
