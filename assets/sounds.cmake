# Music and sound effects: every assets/sounds/*.score is rendered by our own
# synthesiser (tools/synth) into build/assets/sounds/<name>.ogg, Ogg Vorbis at
# 44.1 kHz. The tool checks each result decodes to exactly the rendered length
# and peaks below -1 dBFS, and fails the build otherwise. A score is rendered
# again only when it or the tool changed. MNEMORA_SOUNDS lists the results.
set(MNEMORA_SOUND_DIR ${CMAKE_BINARY_DIR}/assets/sounds)
file(MAKE_DIRECTORY ${MNEMORA_SOUND_DIR})
file(GLOB sound_scores CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/sounds/*.score)
set(MNEMORA_SOUNDS)
foreach(score ${sound_scores})
    get_filename_component(name ${score} NAME_WE)
    set(ogg ${MNEMORA_SOUND_DIR}/${name}.ogg)
    add_custom_command(OUTPUT ${ogg}
        COMMAND synth ${score} ${ogg} --quality 0.3
        DEPENDS ${score} synth
        COMMENT "Rendering ${name}.ogg" VERBATIM)
    list(APPEND MNEMORA_SOUNDS ${ogg})
endforeach()
add_custom_target(mnemora_sounds ALL DEPENDS ${MNEMORA_SOUNDS})
