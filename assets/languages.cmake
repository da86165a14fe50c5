# Language files: every assets/languages/*.language is copied unchanged into the
# game folder's language source, ${MNEMORA_GAME_DIR}/Mnemora.languages/, which the
# game lists at start-up. Each copy depends on its source, so an edited file is
# copied again and an unchanged one is left alone. MNEMORA_LANGUAGE_FILES lists the
# copies for later steps (packaging, the content checker).
set(MNEMORA_LANGUAGE_DIR ${MNEMORA_GAME_DIR}/Mnemora.languages)
file(MAKE_DIRECTORY ${MNEMORA_LANGUAGE_DIR})
file(GLOB language_sources CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/languages/*.language)
set(MNEMORA_LANGUAGE_FILES)
foreach(source ${language_sources})
    get_filename_component(name ${source} NAME)
    set(copy ${MNEMORA_LANGUAGE_DIR}/${name})
    add_custom_command(OUTPUT ${copy}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        DEPENDS ${source}
        COMMENT "Copying language file ${name}" VERBATIM)
    list(APPEND MNEMORA_LANGUAGE_FILES ${copy})
endforeach()
add_custom_target(mnemora_languages ALL DEPENDS ${MNEMORA_LANGUAGE_FILES})
