// The progress file "Mnemora.scores": twelve lines, one per level, "0" locked,
// "1" open, "2" finished, each ended by CR LF. Read once at start-up into the
// level buttons' looks, written at a win and at quit from them.
//
// Progress only rises: two copies of the game may run on one folder, so a
// write merges level by level with the file on disk (locked < open <
// finished) and never puts back a look older than the one there.
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

// Locked < open < finished; anything else counts as the level's default.
int32_t RankOfLook(int32_t look, int32_t levelNumber) {
    switch (look) {
        case LevelLocked:
            return 0;
        case LevelOpen:
            return 1;
        case LevelFinishedLook:
            return 2;
        default:
            return RankOfLook(DefaultLook(levelNumber), levelNumber);
    }
}

// The looks in the file: 1 when it could be opened.
bool ReadLooks(const std::string& path, int32_t (&looks)[kLevelCount + 1]) {
    const int file = engine::OpenFileForReading(engine::AutoId, path);
    for (int32_t n = 1; n <= kLevelCount; ++n) {
        // ReadTextLine takes CR, LF and CR LF as line ends and gives "" past
        // the end of the file.
        looks[n] = LookOfLine(file ? engine::ReadTextLine(file) : std::string(), n);
    }
    if (!file) return false;
    engine::CloseFileObject(file);
    return true;
}

}  // namespace

int32_t LoadProgress(const std::string& folder) {
    auto& buttons = display::levelButtons;
    int32_t looks[kLevelCount + 1] = {};
    const bool read = ReadLooks(folder + kProgressFile, looks);
    for (int32_t n = 1; n <= kLevelCount; ++n)
        buttons[static_cast<size_t>(n)].sprite = looks[n];
    return read ? 1 : 0;
}

int32_t SaveProgress(const std::string& folder) {
    auto& buttons = display::levelButtons;
    int32_t onDisk[kLevelCount + 1] = {};
    ReadLooks(folder + kProgressFile, onDisk);
    std::string text;
    for (int32_t n = 1; n <= kLevelCount; ++n) {
        // What another copy saved in the meantime stays, and this copy's
        // level map shows it from now on.
        int32_t& look = buttons[static_cast<size_t>(n)].sprite;
        if (RankOfLook(onDisk[n], n) > RankOfLook(look, n)) look = onDisk[n];
        text += LineOfLook(look, n);
        text += "\r\n";
    }
    return engine::WriteFileAtomically(folder + kProgressFile, text);
}

}  // namespace game
