# The site folder build-web/site/: the program (mnemora.js, mnemora.wasm) beside
# the Linux build's data and the licences, with "files.json", the list of game
# files the page fetches into the program's folder before it starts (path and
# size, so the loading bar knows the total). The page, its service worker,
# manifest and icons come from packaging/web.
include(${CMAKE_CURRENT_LIST_DIR}/linux-game-data.cmake)
mnemora_linux_game_data(web-game-data ${MNEMORA_SITE_DIR} "${MNEMORA_WEB_PREFIX}"
    COMMAND ${CMAKE_COMMAND} -DSITE=${MNEMORA_SITE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/web-files-list.cmake)
if(EXISTS ${CMAKE_SOURCE_DIR}/packaging/web/CMakeLists.txt)
    set(MNEMORA_SITE_DEPENDS mnemora web-game-data)
    add_subdirectory(packaging/web)
endif()
