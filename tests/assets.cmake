# Checks of the rendered game pictures (sizes, block limits, colour-key rules,
# pointer tip, arrow placement, greyscale distinctness of the tiles). Needs the
# asset pipeline's output and ImageMagick.
if(MNEMORA_ASSETS AND NOT MNEMORA_SANITIZE AND NOT MNEMORA_FUZZ)
    add_test(NAME assets_pictures
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/assets/check_pictures.sh
                     ${CMAKE_BINARY_DIR}/assets/pictures)
    set_tests_properties(assets_pictures PROPERTIES LABELS assets TIMEOUT 300)
endif()
