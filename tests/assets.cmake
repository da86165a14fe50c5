# Checks of the rendered game pictures (sizes, block limits, colour-key rules,
# pointer tip, arrow placement, greyscale distinctness of the tiles). Needs the
# asset pipeline's output and ImageMagick.
if(MNEMORA_ASSETS AND NOT MNEMORA_SANITIZE AND NOT MNEMORA_FUZZ)
    add_test(NAME assets_pictures
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/assets/check_pictures.sh
                     ${CMAKE_BINARY_DIR}/assets/pictures)
    set_tests_properties(assets_pictures PROPERTIES LABELS assets TIMEOUT 300)
endif()

# The built game folder checked as the game will read it: every catalogue entry,
# every language key and character, and every text against its space.
if(MNEMORA_ASSETS AND NOT MNEMORA_SANITIZE AND NOT MNEMORA_FUZZ)
    add_test(NAME assets_game_folder COMMAND mnemora-check ${MNEMORA_GAME_DIR})
    set_tests_properties(assets_game_folder PROPERTIES LABELS assets TIMEOUT 300
                         ENVIRONMENT "${MNEMORA_TEST_ENV}")
    # The fixed credits lines are measured like every translated text.
    add_test(NAME assets_credits_measured
             COMMAND mnemora-check --verbose ${MNEMORA_GAME_DIR})
    set_tests_properties(assets_credits_measured PROPERTIES LABELS assets TIMEOUT 300
        ENVIRONMENT "${MNEMORA_TEST_ENV}"
        PASS_REGULAR_EXPRESSION "credits fixed line: \"Velcroft Ltd\\.\" [0-9]+ px.*credits fixed line: \"Titan One by")
    # And it fails on a planted missing key, too-long caption and missing glyph.
    add_test(NAME assets_check_sees_faults
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/assets/check_planted.sh
                     $<TARGET_FILE:mnemora-check> ${MNEMORA_GAME_DIR})
    set_tests_properties(assets_check_sees_faults PROPERTIES LABELS assets TIMEOUT 600
                         ENVIRONMENT "${MNEMORA_TEST_ENV}")
endif()
