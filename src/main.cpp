// Mnemora: a single-player memory game. The entry point stays thin: the game
// itself is the mnemora_game library, so tests can drive it directly.
#include <cstdio>

int main() {
    std::fprintf(stderr, "Mnemora: the display layer is not built yet; nothing to show.\n");
    return 0;
}
