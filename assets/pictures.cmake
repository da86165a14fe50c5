# Pictures: every assets/pictures/*.svg is rendered with rsvg-convert at its own
# width and height (the natural size the game expects) into
# build/assets/pictures/<name>.png. MNEMORA_PICTURES lists the results.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(OPTIPNG optipng)
set(MNEMORA_PICTURE_DIR ${CMAKE_BINARY_DIR}/assets/pictures)
file(MAKE_DIRECTORY ${MNEMORA_PICTURE_DIR})
file(GLOB_RECURSE picture_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pictures/*.svg)
# Shared pieces included by other pictures live in assets/pictures/parts/ and are
# not pictures themselves.
list(FILTER picture_sources EXCLUDE REGEX "/parts/")
file(GLOB_RECURSE picture_parts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pictures/parts/*)
set(MNEMORA_PICTURES)
foreach(svg ${picture_sources})
    get_filename_component(name ${svg} NAME_WE)
    set(png ${MNEMORA_PICTURE_DIR}/${name}.png)
    if(OPTIPNG)
        set(optimise COMMAND ${OPTIPNG} -quiet -o2 ${png})
    else()
        set(optimise)
    endif()
    add_custom_command(OUTPUT ${png}
        COMMAND ${RSVG_CONVERT} -f png -o ${png} ${svg}
        ${optimise}
        DEPENDS ${svg} ${picture_parts}
        COMMENT "Rendering ${name}.png" VERBATIM)
    list(APPEND MNEMORA_PICTURES ${png})
endforeach()
add_custom_target(mnemora_pictures ALL DEPENDS ${MNEMORA_PICTURES})
