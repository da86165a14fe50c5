// Fuzz target for the progress file reader: any bytes read as a progress file
// give every level one of the three looks, and writing them back and reading
// the written file again gives the same looks.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/layout.h"
#include "game/game.h"

namespace {

std::string scratch_folder;

void RemoveScratch() {
    std::remove((scratch_folder + "Mnemora.scores").c_str());
    rmdir(scratch_folder.c_str());
}

const std::string& ScratchFolder() {
    if (scratch_folder.empty()) {
        // Memory-backed when possible: every save syncs the file and folder.
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/progress-fuzz-XXXXXX"
                                                            : "/tmp/progress-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        scratch_folder = pattern + "/";
        std::atexit(RemoveScratch);
    }
    return scratch_folder;
}

std::array<int32_t, 12> Looks() {
    std::array<int32_t, 12> looks{};
    for (int n = 1; n <= 12; ++n) {
        looks[n - 1] = display::levelButtons[n].sprite;
        if (looks[n - 1] < game::LevelLocked || looks[n - 1] > game::LevelFinishedLook)
            std::abort();
    }
    return looks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = ScratchFolder();
    FILE* f = std::fopen((folder + "Mnemora.scores").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    for (auto& b : display::levelButtons)
        b.sprite = 0;
    if (game::LoadProgress(folder) != 1) std::abort();  // an ordinary file always opens
    const auto first = Looks();
    if (game::SaveProgress(folder) != 1) std::abort();
    for (auto& b : display::levelButtons)
        b.sprite = 0;
    game::LoadProgress(folder);
    if (Looks() != first) std::abort();
    return 0;
}
