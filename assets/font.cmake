# Fonts: the game's face, Titan One, and its companion face for the letters
# Titan One lacks, M PLUS Rounded 1c Black. Both come from Fontsource npm
# packages at the versions pinned in assets/font/package-lock.json and
# assets/companion_font/package-lock.json, installed into the build folder
# (nothing downloaded lands in the source tree). Each package's licence, the
# SIL Open Font License with the font's copyright line, is copied beside the
# game into licenses/.
#
# build/assets/font/TitanOne-Regular.ttf (MNEMORA_FONT_FILE): the package's
# WOFF 1.0 files of the "latin" subset (Basic Latin, Latin-1, Œ œ, € and
# punctuation) and the "latin-ext" subset (most of Latin Extended-A and
# Additional) are converted losslessly by tools/woff2ttf and merged into one
# TrueType file with fontTools.
#
# build/assets/font/MPlusRounded1c-Black.ttf (MNEMORA_COMPANION_FONT_FILE): the
# package's weight-900 "cyrillic", "greek" and "latin-ext" subsets merged, then
# cut down to Greek, Cyrillic and Latin Extended-A/B (Titan One has no İ, Ģ, Ķ,
# Ļ, Ņ, Ș or Ț) without layout tables, which the game does not use. The game
# draws a character from it only where Titan One has none.
find_program(NPM npm REQUIRED)
# fontTools comes from Debian's python3-fonttools: ask the system Python first,
# since a Python of the user's own may lack it.
find_program(MNEMORA_PYTHON3 python3 HINTS /usr/bin REQUIRED)
execute_process(COMMAND ${MNEMORA_PYTHON3} -c "import fontTools.merge, fontTools.subset"
                RESULT_VARIABLE fonttools_missing OUTPUT_QUIET ERROR_QUIET)
if(fonttools_missing)
    message(FATAL_ERROR "${MNEMORA_PYTHON3} cannot import fontTools: install python3-fonttools")
endif()

set(MNEMORA_FONT_DIR ${CMAKE_BINARY_DIR}/assets/font)
set(MNEMORA_FONT_FILE ${MNEMORA_FONT_DIR}/TitanOne-Regular.ttf)
set(MNEMORA_COMPANION_FONT_FILE ${MNEMORA_FONT_DIR}/MPlusRounded1c-Black.ttf)
set(MNEMORA_FONT_LICENSE ${MNEMORA_GAME_DIR}/licenses/TitanOne-OFL.txt)
set(MNEMORA_COMPANION_FONT_LICENSE ${MNEMORA_GAME_DIR}/licenses/MPlusRounded1c-OFL.txt)
file(MAKE_DIRECTORY ${MNEMORA_FONT_DIR} ${MNEMORA_GAME_DIR}/licenses)

# Installs the npm package pinned in assets/<folder>/ into build/npm/<folder>/.
function(mnemora_font_package folder package stamp_var)
    set(npm_dir ${CMAKE_BINARY_DIR}/npm/${folder})
    set(stamp ${npm_dir}/installed.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${npm_dir}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/package.json
                ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/package-lock.json ${npm_dir}/
        COMMAND ${NPM} ci --prefix ${npm_dir} --ignore-scripts --no-audit --no-fund
                --loglevel=error
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/package.json
                ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/package-lock.json
        COMMENT "Installing ${package}" VERBATIM)
    set(${stamp_var} ${stamp} PARENT_SCOPE)
endfunction()

mnemora_font_package(font @fontsource/titan-one font_stamp)
mnemora_font_package(companion_font @fontsource/m-plus-rounded-1c companion_stamp)
set(font_package ${CMAKE_BINARY_DIR}/npm/font/node_modules/@fontsource/titan-one)
set(companion_package
    ${CMAKE_BINARY_DIR}/npm/companion_font/node_modules/@fontsource/m-plus-rounded-1c)

set(titan_latin ${MNEMORA_FONT_DIR}/titan-one-latin.ttf)
set(titan_latin_ext ${MNEMORA_FONT_DIR}/titan-one-latin-ext.ttf)
add_custom_command(OUTPUT ${MNEMORA_FONT_FILE}
    COMMAND woff2ttf ${font_package}/files/titan-one-latin-400-normal.woff ${titan_latin}
            --expect-family "Titan One"
    COMMAND woff2ttf ${font_package}/files/titan-one-latin-ext-400-normal.woff
            ${titan_latin_ext} --expect-family "Titan One"
    COMMAND ${MNEMORA_PYTHON3} -m fontTools.merge --output-file=${MNEMORA_FONT_FILE}
            ${titan_latin} ${titan_latin_ext}
    DEPENDS ${font_stamp} woff2ttf
    COMMENT "Converting and merging TitanOne-Regular.ttf" VERBATIM)

set(companion_merged ${MNEMORA_FONT_DIR}/m-plus-rounded-1c-merged.ttf)
set(companion_files ${companion_package}/files/m-plus-rounded-1c)
add_custom_command(OUTPUT ${MNEMORA_COMPANION_FONT_FILE}
    COMMAND ${MNEMORA_PYTHON3} -m fontTools.merge --output-file=${companion_merged}
            ${companion_files}-cyrillic-900-normal.woff
            ${companion_files}-greek-900-normal.woff
            ${companion_files}-latin-ext-900-normal.woff
    COMMAND ${MNEMORA_PYTHON3} -m fontTools.subset ${companion_merged}
            --unicodes=U+0020,U+0100-024F,U+0370-03FF,U+0400-045F,U+0490-0491
            --layout-features= --no-hinting --desubroutinize
            --output-file=${MNEMORA_COMPANION_FONT_FILE}
    DEPENDS ${companion_stamp}
    COMMENT "Merging and subsetting MPlusRounded1c-Black.ttf" VERBATIM)

add_custom_command(OUTPUT ${MNEMORA_FONT_LICENSE}
    COMMAND ${CMAKE_COMMAND} -E copy ${font_package}/LICENSE ${MNEMORA_FONT_LICENSE}
    DEPENDS ${font_stamp}
    COMMENT "Copying the font licence" VERBATIM)
add_custom_command(OUTPUT ${MNEMORA_COMPANION_FONT_LICENSE}
    COMMAND ${CMAKE_COMMAND} -E copy ${companion_package}/LICENSE
            ${MNEMORA_COMPANION_FONT_LICENSE}
    DEPENDS ${companion_stamp}
    COMMENT "Copying the companion font licence" VERBATIM)

add_custom_target(mnemora_font ALL
    DEPENDS ${MNEMORA_FONT_FILE} ${MNEMORA_COMPANION_FONT_FILE} ${MNEMORA_FONT_LICENSE}
            ${MNEMORA_COMPANION_FONT_LICENSE})
