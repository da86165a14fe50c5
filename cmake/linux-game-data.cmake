# The Linux build's game data for a cross-built game: "Mnemora.data",
# "Mnemora.languages/" and "Mnemora.pointer" (the same bytes on every system,
# built once) and the licences (ours, the fonts', and those of the libraries
# the library prefix holds), copied into `dest` by the target `target`, which
# the program depends on. Extra COMMANDs run after the copy.
function(mnemora_linux_game_data target dest library_prefix)
    set(linux ${MNEMORA_LINUX_GAME_DIR})
    foreach(needed Mnemora.data Mnemora.languages Mnemora.pointer)
        if(NOT EXISTS ${linux}/${needed})
            message(FATAL_ERROR "${linux}/${needed} is missing: build the Linux game first (make build)")
        endif()
    endforeach()
    add_custom_target(${target} ALL
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${linux}/Mnemora.data ${linux}/Mnemora.pointer
                ${dest}/
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${dest}/Mnemora.languages
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${linux}/Mnemora.languages
                ${dest}/Mnemora.languages
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${linux}/licenses ${dest}/licenses
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/LICENSE
                ${dest}/licenses/LICENSE
        ${ARGN}
        COMMENT "Game data, languages, pointer and licences from ${linux}")
    # The library builds leave each library's licence in the prefix.
    if(library_prefix AND EXISTS ${library_prefix}/share/licenses)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_directory ${library_prefix}/share/licenses
                    ${dest}/licenses)
    endif()
    add_dependencies(mnemora ${target})
endfunction()
