# The libraries of the Windows build, from the prefix scripts/windows-libs
# made (the toolchain file points pkg-config at it).
include(${CMAKE_CURRENT_LIST_DIR}/static-libraries.cmake)
# libarchive's header declares its functions as DLL imports unless told it
# is linked statically.
set_property(TARGET LibArchive::LibArchive APPEND PROPERTY
             INTERFACE_COMPILE_DEFINITIONS LIBARCHIVE_STATIC)
