# The data pack: the two fonts, the nine sounds and every picture go into
# build/game/Mnemora.data, written by our own pack tool. PNG and Ogg entries do
# not shrink and are stored as they are; the font is compressed.
set(MNEMORA_DATA_PACK ${MNEMORA_GAME_DIR}/Mnemora.data)
set(pack_inputs ${MNEMORA_FONT_FILE} ${MNEMORA_COMPANION_FONT_FILE} ${MNEMORA_SOUNDS} ${MNEMORA_PICTURES})
add_custom_command(OUTPUT ${MNEMORA_DATA_PACK}
    COMMAND mnemora-pack create ${MNEMORA_DATA_PACK} --version 2 --level 6 ${pack_inputs}
    DEPENDS mnemora-pack ${pack_inputs}
    COMMENT "Packing Mnemora.data" VERBATIM)
add_custom_target(mnemora_data ALL DEPENDS ${MNEMORA_DATA_PACK})
