// Mnemora: a single-player memory game. The entry point stays thin: the game
// itself is the mnemora_game library, so tests can drive it directly.
#include "app/shell.h"
#include "engine/files.h"
#include "engine/system.h"

int main(int argc, char** argv) {
    engine::SetCommandArgs(argc, argv);
    engine::MarkProgramRunning();
    return app::RunGame(argc, argv);
}
