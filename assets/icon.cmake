# The application icon: packaging/mnemora.svg rendered at 256 x 256 into
# build/assets/icon/mnemora.png (the desktop icon and the window icon).
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(MNEMORA_ICON ${CMAKE_BINARY_DIR}/assets/icon/mnemora.png)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/assets/icon)
add_custom_command(OUTPUT ${MNEMORA_ICON}
    COMMAND ${RSVG_CONVERT} -f png -w 256 -h 256 -o ${MNEMORA_ICON}
            ${CMAKE_SOURCE_DIR}/packaging/mnemora.svg
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/mnemora.svg
    COMMENT "Rendering the application icon" VERBATIM)
add_custom_target(mnemora_icon ALL DEPENDS ${MNEMORA_ICON})
