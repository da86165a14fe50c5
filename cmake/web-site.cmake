# The site folder build-web/site/: the program (mnemora.js, mnemora.wasm) beside
# the Linux build's "Mnemora.data", "Mnemora.languages/" and "Mnemora.pointer"
# (the same bytes on every system, built once) and the licences, with
# "files.json", the list of game files the page fetches into the program's
# folder before it starts (path and size, so the loading bar knows the total).
# The page, its service worker, manifest and icons come from packaging/web.
set(linux ${MNEMORA_LINUX_GAME_DIR})
foreach(needed Mnemora.data Mnemora.languages Mnemora.pointer)
    if(NOT EXISTS ${linux}/${needed})
        message(FATAL_ERROR "${linux}/${needed} is missing: build the Linux game first (make build)")
    endif()
endforeach()
add_custom_target(web-game-data ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${linux}/Mnemora.data ${linux}/Mnemora.pointer
            ${MNEMORA_SITE_DIR}/
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${MNEMORA_SITE_DIR}/Mnemora.languages
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${linux}/Mnemora.languages
            ${MNEMORA_SITE_DIR}/Mnemora.languages
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${linux}/licenses ${MNEMORA_SITE_DIR}/licenses
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/LICENSE
            ${MNEMORA_SITE_DIR}/licenses/LICENSE
    COMMAND ${CMAKE_COMMAND} -DSITE=${MNEMORA_SITE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/web-files-list.cmake
    COMMENT "Site: data pack, languages, pointer and licences from ${linux}")
if(MNEMORA_WEB_PREFIX AND EXISTS ${MNEMORA_WEB_PREFIX}/share/licenses)
    add_custom_command(TARGET web-game-data POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${MNEMORA_WEB_PREFIX}/share/licenses
                ${MNEMORA_SITE_DIR}/licenses)
endif()
add_dependencies(mnemora web-game-data)
if(EXISTS ${CMAKE_SOURCE_DIR}/packaging/web/CMakeLists.txt)
    set(MNEMORA_SITE_DEPENDS mnemora web-game-data)
    add_subdirectory(packaging/web)
endif()
