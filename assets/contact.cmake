# Contact sheets for looking at the art: build/contact/tiles.png (the tile
# back and the twenty faces), tiles_grey.png (the same in greyscale, to see
# that the faces differ by shape alone) and ui.png (buttons, HUD, level-select
# pictures at natural size, plus the HUD and the level arrow put together as
# the game draws them). Pictures loaded colour-keyed are shown with pure black
# made transparent, as the game shows them.
find_program(MONTAGE montage)
find_program(CONVERT convert)
if(NOT MONTAGE OR NOT CONVERT)
    message(STATUS "ImageMagick not found: no contact sheets of the tiles and buttons")
    return()
endif()
set(contact_dir ${CMAKE_BINARY_DIR}/contact)
set(contact_pictures ${CMAKE_BINARY_DIR}/assets/pictures)
file(MAKE_DIRECTORY ${contact_dir}/parts)
set(contact_ground "#5E7F4F")

set(contact_tiles ${contact_pictures}/back.png)
foreach(n RANGE 1 20)
    string(LENGTH "${n}" digits)
    if(digits EQUAL 1)
        set(n "0${n}")
    endif()
    list(APPEND contact_tiles ${contact_pictures}/blue${n}.png)
endforeach()

add_custom_command(OUTPUT ${contact_dir}/tiles.png ${contact_dir}/tiles_grey.png
    COMMAND ${MONTAGE} ${contact_tiles} -tile 7x3 -geometry 128x128+6+6
            -background ${contact_ground} ${contact_dir}/tiles.png
    COMMAND ${CONVERT} ${contact_dir}/tiles.png -colorspace Gray ${contact_dir}/tiles_grey.png
    DEPENDS ${contact_tiles}
    COMMENT "Contact sheets of the tiles" VERBATIM)

foreach(name button button_active gui_pause gui_pause_active gui_clock levelselect_back
             levelselect_back_active level_locked level_open level_finished
             levelselect_arrow timeback timefront pointer shadow)
    set(ui_${name} ${contact_pictures}/${name}.png)
    list(APPEND contact_ui ${ui_${name}})
endforeach()
set(p ${contact_dir}/parts)
add_custom_command(OUTPUT ${contact_dir}/ui.png
    # Colour key: pure black becomes transparent.
    COMMAND ${CONVERT} ${ui_levelselect_back} -transparent "#000000" ${p}/back_keyed.png
    COMMAND ${CONVERT} ${ui_levelselect_back_active} -transparent "#000000"
            ${p}/back_active_keyed.png
    COMMAND ${MONTAGE} ${ui_button} ${ui_button_active} ${ui_gui_pause} ${ui_gui_pause_active}
            ${ui_gui_clock} -tile 5x1 -geometry +8+8 -background ${contact_ground} ${p}/row1.png
    COMMAND ${MONTAGE} ${p}/back_keyed.png ${p}/back_active_keyed.png ${ui_level_locked}
            ${ui_level_open} ${ui_level_finished} ${ui_levelselect_arrow} ${ui_pointer}
            ${ui_shadow} -tile 8x1 -geometry +8+8 -background ${contact_ground} ${p}/row2.png
    # The HUD at one HUD unit of 64 pixels: clock bar with a part of its fill
    # spent, the clock icon over its left end, the pause button at the right.
    COMMAND ${CONVERT} -size 1000x96 xc:${contact_ground}
            ${ui_timeback} -geometry +64+16 -composite
            ( ${ui_timefront} -crop 450x64+231+0 +repage ) -geometry +64+16 -composite
            ( ${ui_gui_clock} -resize 64x64 ) -geometry +32+16 -composite
            ( ${ui_gui_pause} -resize 64x64 ) -geometry +900+16 -composite
            ${p}/row3.png
    # The level arrow at the top and at the bottom of its bob over an open level.
    COMMAND ${CONVERT} -size 400x296 xc:${contact_ground}
            ${ui_level_open} -geometry +16+152 -composite
            ${ui_levelselect_arrow} -geometry +16+16 -composite
            ${ui_level_open} -geometry +216+152 -composite
            ${ui_levelselect_arrow} -geometry +216+152 -composite
            ${p}/row4.png
    COMMAND ${CONVERT} ${p}/row1.png ${p}/row2.png ${p}/row3.png ${p}/row4.png
            -background ${contact_ground} -append ${contact_dir}/ui.png
    DEPENDS ${contact_ui}
    COMMENT "Contact sheet of the buttons, HUD and level-select pictures" VERBATIM)

add_custom_target(mnemora_contact_sheets ALL
    DEPENDS ${contact_dir}/tiles.png ${contact_dir}/tiles_grey.png ${contact_dir}/ui.png)
