# Contact sheets of the big pictures, for looking at the art in one go:
#   build/contact/backgrounds.png  every background, splash and the logo, scaled down
#   build/contact/panels.png       the five panels with their title bands, at half size
#   build/contact/levelselect_check.png  the level-select map with the twelve
#       level-button rectangles drawn where the game puts them
# The same rule checks that each of these pictures fits the memory block the
# game reads it into (4 MiB for backgrounds, 200 KiB for the rest).
#
# This file is also a script:
#   cmake -DLIMIT=<bytes> -P contact_backgrounds.cmake <png>...
#     fails when a PNG is larger than LIMIT;
#   cmake -DCONVERT=<convert> -DFLAT=1 -P contact_backgrounds.cmake <png>...
#     fails unless each panel's title band (x 10..W-10, y 40..110 and
#     x 40..W-40, y 10..40) is exactly #00A79D and its body (x 10..W-10,
#     y 116..H-40) exactly #EADDC7: the game draws texts on cells of those
#     colours, so any other shade would show a box around every text.
if(CMAKE_SCRIPT_MODE_FILE AND FLAT)
    function(expect_flat png geometry colour)
        execute_process(COMMAND ${CONVERT} ${png} -crop ${geometry} +repage
                                -format "%k %[hex:p{0,0}]" info:
                        OUTPUT_VARIABLE seen RESULT_VARIABLE status)
        if(NOT status EQUAL 0 OR NOT seen STREQUAL "1 ${colour}FF")
            message(SEND_ERROR "${png}: area ${geometry} is not flat ${colour} (${seen})")
        endif()
    endfunction()
    math(EXPR last "${CMAKE_ARGC} - 1")
    foreach(i RANGE 0 ${last})
        set(png "${CMAKE_ARGV${i}}")
        if(png MATCHES "\\.png$")
            execute_process(COMMAND ${CONVERT} ${png} -format "%w %h" info:
                            OUTPUT_VARIABLE size)
            separate_arguments(size)
            list(GET size 0 w)
            list(GET size 1 h)
            math(EXPR inner_w "${w} - 20")
            math(EXPR band_w "${w} - 80")
            math(EXPR body_h "${h} - 156")
            expect_flat(${png} "${inner_w}x70+10+40" "00A79D")
            expect_flat(${png} "${band_w}x30+40+10" "00A79D")
            expect_flat(${png} "${inner_w}x${body_h}+10+116" "EADDC7")
        endif()
    endforeach()
    return()
endif()
if(CMAKE_SCRIPT_MODE_FILE)
    math(EXPR last "${CMAKE_ARGC} - 1")
    set(failed 0)
    foreach(i RANGE 0 ${last})
        set(arg "${CMAKE_ARGV${i}}")
        if(arg MATCHES "\\.png$")
            file(SIZE "${arg}" bytes)
            if(bytes GREATER LIMIT)
                message(SEND_ERROR "${arg}: ${bytes} bytes, more than its block of ${LIMIT}")
                set(failed 1)
            endif()
        endif()
    endforeach()
    if(failed)
        message(FATAL_ERROR "pictures too large for their blocks")
    endif()
    return()
endif()

find_program(MONTAGE montage)
find_program(IM_CONVERT convert)
if(NOT MONTAGE OR NOT IM_CONVERT)
    message(STATUS "ImageMagick not found: no contact sheets")
    return()
endif()

# The labels name a font file: ImageMagick's default font is a Ghostscript font
# that a minimal Debian does not have.
find_file(LABEL_FONT DejaVuSans.ttf PATHS /usr/share/fonts/truetype/dejavu REQUIRED)

set(contact_dir ${CMAKE_BINARY_DIR}/contact)
set(picture_dir ${CMAKE_BINARY_DIR}/assets/pictures)
set(background_names
    orvanta_3x2 orvanta_4x3 orvanta_5x4 orvanta_16x9 orvanta_16x10 orvanta_17x9
    ingame_3x2 ingame_4x3 ingame_5x4 ingame_16x9 ingame_16x10
    menuback levelselect)
set(panel_names mainmenu settings credits quit ingame_menu)

set(backgrounds)
set(montage_backgrounds)
foreach(name ${background_names})
    list(APPEND backgrounds ${picture_dir}/${name}.png)
    # [640x] shrinks each picture as it is read, so the sheet stays light.
    list(APPEND montage_backgrounds -label ${name} ${picture_dir}/${name}.png[640x])
endforeach()
set(panels)
foreach(name ${panel_names})
    list(APPEND panels ${picture_dir}/${name}.png)
endforeach()
set(small ${panels} ${picture_dir}/logo.png)

# Level n's button, 160 x 136, has its top-left corner at (K, 3072 - V) of the
# 3840 x 3072 map (the map is drawn at the screen's width, bottom on the
# screen's bottom).
set(level_k 31 296 990 866 1027 1758 2167 2344 2697 2874 3463 3434)
set(level_v 301 411 869 1588 1705 1879 1210 1089 578 500 881 1606)
set(draw_buttons)
foreach(i RANGE 11)
    list(GET level_k ${i} k)
    list(GET level_v ${i} v)
    math(EXPR top "3072 - ${v}")
    math(EXPR right "${k} + 159")
    math(EXPR bottom "${top} + 135")
    list(APPEND draw_buttons -draw "rectangle ${k},${top} ${right},${bottom}")
endforeach()

add_custom_command(
    OUTPUT ${contact_dir}/backgrounds.png ${contact_dir}/panels.png
           ${contact_dir}/levelselect_check.png
    COMMAND ${CMAKE_COMMAND} -DLIMIT=4194304 -P ${CMAKE_CURRENT_LIST_FILE} ${backgrounds}
    COMMAND ${CMAKE_COMMAND} -DLIMIT=204800 -P ${CMAKE_CURRENT_LIST_FILE} ${small}
    COMMAND ${CMAKE_COMMAND} -DCONVERT=${IM_CONVERT} -DFLAT=1 -P ${CMAKE_CURRENT_LIST_FILE} ${panels}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${contact_dir}
    COMMAND ${MONTAGE} ${montage_backgrounds} -label logo ${picture_dir}/logo.png[640x]
            -tile 4x -geometry +12+12 -font ${LABEL_FONT} -pointsize 24 -background "#404040" -fill white -depth 8
            ${contact_dir}/backgrounds.png
    COMMAND ${MONTAGE} ${panels} -tile x1 -geometry +24+24 -background "#6E8C88"
            -resize 50% -depth 8 ${contact_dir}/panels.png
    COMMAND ${IM_CONVERT} ${picture_dir}/levelselect.png -fill "#FF00FF80" -stroke black
            -strokewidth 4 ${draw_buttons} -resize 1280x ${contact_dir}/levelselect_check.png
    DEPENDS ${backgrounds} ${small} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Contact sheets of backgrounds and panels"
    VERBATIM)
add_custom_target(contact_backgrounds ALL
    DEPENDS ${contact_dir}/backgrounds.png ${contact_dir}/panels.png
            ${contact_dir}/levelselect_check.png)
add_dependencies(contact_backgrounds mnemora_pictures)
