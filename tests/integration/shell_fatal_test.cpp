// Fatal start-up paths, run as the real program in a child process (each ends
// the process): a data pack without a tile picture or without the font, a
// settings file asking for an unknown screen mode, and no data pack at all.
// Each shows its box (written to standard error), logs its line, exits with 1
// and writes no settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/object_table.h"
#include "shell_fixture.h"

namespace {

using namespace shell_test;

void Put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A copy of the built pack without the named entries, every entry stored;
// entries named in `replaced` get the bytes given there.
std::string PackWithout(const std::vector<std::string>& left_out,
                        const std::map<std::string, std::string>& replaced = {}) {
    std::string out = "2zlp";
    const int pack =
        engine::OpenArchive(engine::AutoId, GameDataDir() + "/Mnemora.data", engine::kArchivePack);
    if (!pack) return {};
    engine::ListArchive(pack);
    while (engine::NextArchiveEntry(pack)) {
        const std::string name = engine::ArchiveEntryName(pack);
        bool skip = false;
        for (const auto& gone : left_out)
            skip = skip || gone == name;
        if (skip) continue;
        int64_t unpacked = 0, stored = 0;
        engine::ArchiveEntrySizes(pack, &unpacked, &stored);
        std::string bytes(static_cast<size_t>(unpacked), '\0');
        engine::ReadArchiveEntry(pack, reinterpret_cast<uint8_t*>(bytes.data()), unpacked, name);
        if (replaced.count(name)) bytes = replaced.at(name);
        Put(out, bytes.size(), 8);
        Put(out, bytes.size(), 8);
        Put(out, name.size(), 2);
        out += name + bytes;
    }
    engine::CloseArchive(pack);
    return out;
}

struct ChildRun {
    int exitCode = -1;
    std::string output;  // standard error and output
    std::vector<std::string> log;
};

class ShellFatalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveGameData() || !fs::exists(fs::path(GameDataDir()) / "mnemora")) {
            GTEST_SKIP() << "no built game in MNEMORA_GAME_DIR";
        }
        // The program's folder is its game folder: run a copy in the scratch one.
        fs::copy_file(fs::path(GameDataDir()) / "mnemora", folders_.game() / "mnemora");
        WriteFile(folders_.game() / "Mnemora.prefs",
                  "[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\nResolution = 0\r\n");
        prefsBefore_ = ReadFile(folders_.game() / "Mnemora.prefs");
    }
    void ReplacePack(const std::string& bytes) {
        fs::remove(folders_.game() / "Mnemora.data");
        if (!bytes.empty()) WriteFile(folders_.game() / "Mnemora.data", bytes);
    }
    ChildRun Run(const std::string& environment = "") {
        ChildRun run;
        const fs::path output = folders_.root() / "output.txt";
        const std::string command = "cd '" + folders_.game().string() + "' && " + environment +
                                    " ./mnemora /LOG > '" + output.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.output = ReadFile(output);
        const auto logs = FilesStartingWith(folders_.game(), "Log ");
        if (logs.size() == 1) run.log = Lines(ReadFile(logs[0]));
        return run;
    }
    int Count(const std::vector<std::string>& lines, const std::string& line) {
        int n = 0;
        for (const auto& l : lines)
            n += l == line;
        return n;
    }

    ScratchFolders folders_;
    std::string prefsBefore_;
};

TEST_F(ShellFatalTest, MissingTilePictureEndsAfterSixTiles) {
    ReplacePack(PackWithout({"blue07.png"}));
    const ChildRun run = Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Mnemora::Error: A game file could not be read."), std::string::npos)
        << run.output;
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "Load asset (tiles):\t\tFAILED");
    EXPECT_EQ(Count(run.log, "Load asset (tiles):\t\tOK"), 6);
    EXPECT_EQ(ReadFile(folders_.game() / "Mnemora.prefs"), prefsBefore_);
}

TEST_F(ShellFatalTest, MissingFontEndsBeforeAnyDisplayOpens) {
    ReplacePack(PackWithout({"TitanOne-Regular.ttf"}));
    const ChildRun run = Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Mnemora::Error: A game file could not be read."), std::string::npos);
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "Load asset (font):\t\tFAILED");
    EXPECT_EQ(Count(run.log, "Opening screen (Windowed):\t\tOK"), 0);
}

// A font entry that FreeType cannot take is as fatal as a missing one: the
// game never runs on with its captions in a stand-in face.
TEST_F(ShellFatalTest, FontThatCannotBeInstalledIsAnAssetError) {
    ReplacePack(PackWithout({}, {{"TitanOne-Regular.ttf", std::string(4096, 'x')}}));
    const ChildRun run = Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Mnemora::Error: A game file could not be read."), std::string::npos);
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "Load asset (TitanOne-Regular.ttf):\t\tFAILED");
    EXPECT_EQ(Count(run.log, "Load asset (TitanOne-Regular.ttf):\t\tOK"), 0);
}

TEST_F(ShellFatalTest, NoDataPackFailsAtTheFontPass) {
    ReplacePack("");
    const ChildRun run = Run();
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "Load asset (font):\t\tFAILED");
}

TEST_F(ShellFatalTest, UnknownScreenModeShowsTheScreenError) {
    WriteFile(folders_.game() / "Mnemora.prefs", "[Settings]\r\nGameScreen = 7\r\n");
    const ChildRun run = Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Mnemora::Error: The screen could not be opened."), std::string::npos)
        << run.output;
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "Load asset (ui_menu_popup_02.ogg):\t\tOK");
    EXPECT_EQ(ReadFile(folders_.game() / "Mnemora.prefs"), "[Settings]\r\nGameScreen = 7\r\n");
}

TEST_F(ShellFatalTest, ServicesThatCannotStartNameThemselves) {
    ChildRun run = Run("SDL_VIDEODRIVER=no-such-driver");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Mnemora::Error: A system service could not be started  : Sprite"),
              std::string::npos)
        << run.output;
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "InitSprite:\t\tFAILED");
    for (const auto& log : FilesStartingWith(folders_.game(), "Log "))
        fs::remove(log);

    EXPECT_EQ(ReadFile(folders_.game() / "Mnemora.prefs"), prefsBefore_);
}

TEST_F(ShellFatalTest, NoAudioDeviceStartsSilentlyInsteadOfFailing) {
    // A machine without a sound card plays without sound; the run then ends at
    // the screen error this settings file asks for.
    WriteFile(folders_.game() / "Mnemora.prefs", "[Settings]\r\nGameScreen = 7\r\n");
    const ChildRun run = Run("SDL_AUDIODRIVER=no-such-driver");
    EXPECT_NE(run.output.find("playing silently"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("could not be started  : Sound"), std::string::npos) << run.output;
    bool soundStarted = false;
    for (const auto& line : run.log)
        soundStarted |= line == "InitSound:\t\tOK";
    EXPECT_TRUE(soundStarted);
}

}  // namespace
