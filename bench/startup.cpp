// Start-up time: from the start of the start-up sequence to the first frame
// presented with the splash on it, windowed at 1280 x 720 on a private Xvfb
// screen, in a scratch copy of the game folder. Prints each run and the median.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/shell.h"
#include "xvfb.h"

namespace fs = std::filesystem;

namespace {

BenchXvfb xvfb;

}  // namespace

int main() {
    const char* gameDir = std::getenv("MNEMORA_GAME_DIR");
    if (!gameDir || !fs::exists(fs::path(gameDir) / "Mnemora.data")) {
        std::printf("startup: no game data in MNEMORA_GAME_DIR, skipped\n");
        return 0;
    }
    if (!xvfb.Start()) {
        std::printf("startup: Xvfb could not start, skipped\n");
        return 0;
    }
    setenv("SDL_VIDEODRIVER", "x11", 1);
    // Sound as a player gets it: whatever the machine has (the silent driver here).
    unsetenv("SDL_AUDIODRIVER");
    char pattern[] = "/tmp/mnemora-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    const fs::path game = root / "game";
    fs::create_directories(game);
    for (const char* name : {"Mnemora.data", "Mnemora.languages", "Mnemora.pointer"}) {
        // Absolute targets: a relative MNEMORA_GAME_DIR (as `make bench` passes
        // it) would otherwise make links that point nowhere from the scratch folder.
        fs::create_symlink(fs::absolute(fs::path(gameDir) / name), game / name);
    }
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);

    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        std::ofstream(game / "Mnemora.prefs", std::ios::trunc)
            << "[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\nResolution = 1\r\n";
        app::StartOptions options;
        options.gameFolder = game.string() + "/";
        const auto start = std::chrono::steady_clock::now();
        app::StartGame(options);
        app::RunFrame();  // draws the splash
        app::RunFrame();  // presents it
        const auto end = std::chrono::steady_clock::now();
        app::ShutdownForTests();
        runs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        std::printf("startup to first splash frame (1280 x 720 window, Xvfb): %.1f ms\n",
                    runs.back());
    }
    std::sort(runs.begin(), runs.end());
    std::printf("startup median: %.1f ms\n", runs[runs.size() / 2]);

    xvfb.Stop();
    fs::remove_all(root);
    return 0;
}
