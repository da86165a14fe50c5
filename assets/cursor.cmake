# The window cursor "Mnemora.pointer": the pointer picture rendered at 32 x 32
# and wrapped by mnemora-cursor into a cursor file whose hotspot is the arrow's
# tip, the top-left pixel.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(cursor_picture ${CMAKE_BINARY_DIR}/assets/cursor/pointer32.png)
set(cursor_file ${MNEMORA_GAME_DIR}/Mnemora.pointer)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/assets/cursor)
add_custom_command(OUTPUT ${cursor_picture}
    COMMAND ${RSVG_CONVERT} -f png -w 32 -h 32 -o ${cursor_picture}
            ${CMAKE_CURRENT_SOURCE_DIR}/pictures/pointer.svg
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pictures/pointer.svg
    COMMENT "Rendering the 32 x 32 cursor picture" VERBATIM)
add_custom_command(OUTPUT ${cursor_file}
    COMMAND mnemora-cursor ${cursor_file} ${cursor_picture} 0 0
    DEPENDS mnemora-cursor ${cursor_picture}
    COMMENT "Writing Mnemora.pointer" VERBATIM)
add_custom_target(mnemora_cursor ALL DEPENDS ${cursor_file})
