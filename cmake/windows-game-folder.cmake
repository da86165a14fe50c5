# The Windows game folder build-windows/game/: Mnemora.exe beside the Linux
# build's "Mnemora.data", "Mnemora.languages/" and "Mnemora.pointer" (the same
# bytes on both systems, built once) and the licences: ours, the font's, and
# those of the libraries linked into the program.
set(linux ${MNEMORA_LINUX_GAME_DIR})
foreach(needed Mnemora.data Mnemora.languages Mnemora.pointer)
    if(NOT EXISTS ${linux}/${needed})
        message(FATAL_ERROR "${linux}/${needed} is missing: build the Linux game first (make build)")
    endif()
endforeach()
add_custom_target(windows-game-data ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${linux}/Mnemora.data ${linux}/Mnemora.pointer
            ${MNEMORA_GAME_DIR}/
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${linux}/Mnemora.languages
            ${MNEMORA_GAME_DIR}/Mnemora.languages
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${linux}/licenses ${MNEMORA_GAME_DIR}/licenses
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/LICENSE
            ${MNEMORA_GAME_DIR}/licenses/LICENSE
    COMMENT "Game folder: data pack, languages, pointer and licences from ${linux}")
# The library builds leave each library's licence in the prefix.
if(MNEMORA_WINDOWS_PREFIX AND EXISTS ${MNEMORA_WINDOWS_PREFIX}/share/licenses)
    add_custom_command(TARGET windows-game-data POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${MNEMORA_WINDOWS_PREFIX}/share/licenses
                ${MNEMORA_GAME_DIR}/licenses)
endif()
add_dependencies(mnemora windows-game-data)
