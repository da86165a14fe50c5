# Font: Titan One from the npm package @fontsource/titan-one, at the version
# pinned in assets/font/package-lock.json. The package is installed into the
# build folder (nothing downloaded lands in the source tree), and its WOFF 1.0
# file of the "latin" subset (Basic Latin, Latin-1, Œ œ, € and punctuation) is
# converted losslessly by tools/woff2ttf into
# build/assets/font/TitanOne-Regular.ttf (MNEMORA_FONT_FILE). The package's
# licence, the SIL Open Font License with the font's copyright line, is copied
# beside the game into licenses/.
find_program(NPM npm REQUIRED)
set(MNEMORA_FONT_DIR ${CMAKE_BINARY_DIR}/assets/font)
set(MNEMORA_FONT_FILE ${MNEMORA_FONT_DIR}/TitanOne-Regular.ttf)
set(MNEMORA_FONT_LICENSE ${MNEMORA_GAME_DIR}/licenses/TitanOne-OFL.txt)
set(font_npm_dir ${CMAKE_BINARY_DIR}/npm/font)
set(font_package ${font_npm_dir}/node_modules/@fontsource/titan-one)
set(font_stamp ${font_npm_dir}/installed.stamp)
file(MAKE_DIRECTORY ${MNEMORA_FONT_DIR} ${MNEMORA_GAME_DIR}/licenses)

add_custom_command(OUTPUT ${font_stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${font_npm_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/font/package.json
            ${CMAKE_CURRENT_SOURCE_DIR}/font/package-lock.json ${font_npm_dir}/
    COMMAND ${NPM} ci --prefix ${font_npm_dir} --ignore-scripts --no-audit --no-fund
            --loglevel=error
    COMMAND ${CMAKE_COMMAND} -E touch ${font_stamp}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/font/package.json
            ${CMAKE_CURRENT_SOURCE_DIR}/font/package-lock.json
    COMMENT "Installing @fontsource/titan-one" VERBATIM)

add_custom_command(OUTPUT ${MNEMORA_FONT_FILE}
    COMMAND woff2ttf ${font_package}/files/titan-one-latin-400-normal.woff ${MNEMORA_FONT_FILE}
            --expect-family "Titan One"
    DEPENDS ${font_stamp} woff2ttf
    COMMENT "Converting TitanOne-Regular.ttf" VERBATIM)

add_custom_command(OUTPUT ${MNEMORA_FONT_LICENSE}
    COMMAND ${CMAKE_COMMAND} -E copy ${font_package}/LICENSE ${MNEMORA_FONT_LICENSE}
    DEPENDS ${font_stamp}
    COMMENT "Copying the font licence" VERBATIM)

add_custom_target(mnemora_font ALL DEPENDS ${MNEMORA_FONT_FILE} ${MNEMORA_FONT_LICENSE})
