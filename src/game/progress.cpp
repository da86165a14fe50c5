// The progress file "Mnemora.scores": twelve lines, one per level, "0" locked,
// "1" open, "2" finished, each ended by CR LF. Read once at start-up into the
// level buttons' looks, written once at quit from them.
//
// Every level always has one of the three looks: a line that is missing or
// holds anything else gives its level the look a missing file would (level 1
// open, the others locked), so the file written back always has twelve lines.
#include <string>

#include "display/layout.h"
#include "engine/atomic_write.h"
#include "engine/files.h"
#include "engine/object_table.h"
#include "game/game.h"

namespace game {

namespace {

const char kProgressFile[] = "Mnemora.scores";

int32_t DefaultLook(int32_t levelNumber) {
    return levelNumber == 1 ? LevelOpen : LevelLocked;
}

int32_t LookOfLine(const std::string& line, int32_t levelNumber) {
    if (line == "0") return LevelLocked;
    if (line == "1") return LevelOpen;
    if (line == "2") return LevelFinishedLook;
    return DefaultLook(levelNumber);
}

char LineOfLook(int32_t look, int32_t levelNumber) {
    switch (look) {
        case LevelLocked:
            return '0';
        case LevelOpen:
            return '1';
        case LevelFinishedLook:
            return '2';
        default:
            return LineOfLook(DefaultLook(levelNumber), levelNumber);
    }
}

}  // namespace

int32_t LoadProgress(const std::string& folder) {
    auto& buttons = display::levelButtons;
    const int file = engine::OpenFileForReading(engine::AutoId, folder + kProgressFile);
    for (int32_t n = 1; n <= kLevelCount; ++n) {
        // ReadTextLine takes CR, LF and CR LF as line ends and gives "" past
        // the end of the file.
        const std::string line = file ? engine::ReadTextLine(file) : std::string();
        buttons[static_cast<size_t>(n)].sprite = LookOfLine(line, n);
    }
    if (!file) return 0;
    engine::CloseFileObject(file);
    return 1;
}

int32_t SaveProgress(const std::string& folder) {
    const auto& buttons = display::levelButtons;
    std::string text;
    for (int32_t n = 1; n <= kLevelCount; ++n) {
        text += LineOfLook(buttons[static_cast<size_t>(n)].sprite, n);
        text += "\r\n";
    }
    return engine::WriteFileAtomically(folder + kProgressFile, text);
}

}  // namespace game
