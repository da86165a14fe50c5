# The Windows game folder build-windows/game/: Mnemora.exe beside the Linux
# build's data and the licences.
include(${CMAKE_CURRENT_LIST_DIR}/linux-game-data.cmake)
mnemora_linux_game_data(windows-game-data ${MNEMORA_GAME_DIR} "${MNEMORA_WINDOWS_PREFIX}")
