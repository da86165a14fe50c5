// The settings file: what is read from good, missing and damaged files, and
// the exact bytes written.
#include <gtest/gtest.h>
#include <unistd.h>

#include "scratch_dir.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/shell.h"
#include "app/state.h"

namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/mnemora-settings-XXXXXX";
        folder_ = mkdtemp(pattern);
        app::settings = app::SettingsState{};
    }
    void TearDown() override { fs::remove_all(folder_); }

    void Write(const std::string& bytes) {
        std::ofstream out(folder_ / "Mnemora.prefs", std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string Read() {
        std::ifstream in(folder_ / "Mnemora.prefs", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string folder() const { return folder_.string() + "/"; }

    fs::path folder_;
};

TEST_F(SettingsFileTest, MissingFileChangesNothing) {
    app::settings.GameScreen = 0;
    EXPECT_EQ(app::LoadPreferences(folder()), 0);
    EXPECT_EQ(app::settings.GameScreen, 0);
    EXPECT_EQ(app::settings.MusicVolume, 60);
}

TEST_F(SettingsFileTest, EmptyFileOrMissingKeysGiveDefaults) {
    Write("");
    app::settings.GameScreen = 0;
    EXPECT_EQ(app::LoadPreferences(folder()), 1);
    EXPECT_EQ(app::settings.Language, "");
    EXPECT_EQ(app::settings.Music, 1);
    // The mode keeps the value in force when the key is missing.
    EXPECT_EQ(app::settings.GameScreen, 0);
    EXPECT_EQ(app::settings.Resolution, 1);

    Write("[Settings]\r\nMusic = 0\r\n");
    EXPECT_EQ(app::LoadPreferences(folder()), 1);
    EXPECT_EQ(app::settings.Music, 0);
    EXPECT_EQ(app::settings.Sounds, 1);
    EXPECT_EQ(app::settings.MusicVolume, 60);
}

TEST_F(SettingsFileTest, Latin1AndGarbageValuesAreReadSafely) {
    Write(
        "; \xE9t\xE9 \xE0 la plage\n[Settings]\nLanguage = fr_FR\xA0\nMusic = banana\n"
        "Resolution = 99\nMusicVolume = 250\nSounds = -3\nGameScreen = 7\n\xFF\xFE = ?\n");
    EXPECT_EQ(app::LoadPreferences(folder()), 1);
    EXPECT_EQ(app::settings.Language, "fr_FR\xC2\xA0");
    EXPECT_EQ(app::settings.Music, 0);
    EXPECT_EQ(app::settings.Resolution, 8);
    EXPECT_EQ(app::settings.MusicVolume, 100);
    EXPECT_EQ(app::settings.Sounds, 0);
    // Left for the display to refuse with its error box.
    EXPECT_EQ(app::settings.GameScreen, 7);

    Write("[Settings]\nResolution = -4\nMusicVolume = -1\n");
    EXPECT_EQ(app::LoadPreferences(folder()), 1);
    EXPECT_EQ(app::settings.Resolution, 0);
    EXPECT_EQ(app::settings.MusicVolume, 0);
}

TEST_F(SettingsFileTest, WrittenFileIsExact) {
    auto& s = app::settings;
    s.Language = "de_DE";
    s.Music = 0;
    s.GameScreen = 1;
    s.Resolution = 3;
    s.Sounds = 1;
    s.MusicVolume = 70;
    s.Completed = 1;
    ASSERT_EQ(app::SavePreferences(folder()), 1);
    EXPECT_EQ(Read(),
              "\xEF\xBB\xBF\r\n; Mnemora Preferences\r\n[Settings]\r\nLanguage = de_DE\r\n"
              "Music = 0\r\nGameScreen = 1\r\nResolution = 3\r\nSounds = 1\r\n"
              "MusicVolume = 70\r\nCompleted = 1\r\n");
    // Read back, it gives the same settings.
    app::settings = app::SettingsState{};
    ASSERT_EQ(app::LoadPreferences(folder()), 1);
    EXPECT_EQ(s.Language, "de_DE");
    EXPECT_EQ(s.Resolution, 3);
    EXPECT_EQ(s.MusicVolume, 70);
    EXPECT_EQ(s.Completed, 1);
}

TEST_F(SettingsFileTest, CompletedOnDiskIsNeverWrittenBackAsZero) {
    // Another copy of the game finished it after this one read the file.
    Write("[Settings]\r\nCompleted = 1\r\n");
    app::settings.Completed = 0;
    ASSERT_EQ(app::SavePreferences(folder()), 1);
    EXPECT_NE(Read().find("Completed = 1\r\n"), std::string::npos);
    EXPECT_EQ(app::settings.Completed, 1);
}

TEST_F(SettingsFileTest, UnwritableFolderLeavesTheOldFile) {
    Write("[Settings]\r\nMusic = 0\r\n");
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
#ifdef _WIN32
    GTEST_SKIP() << "a folder's mode bits do not stop writing on Windows";
#endif
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(app::SavePreferences(folder()), 0);
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_EQ(Read(), "[Settings]\r\nMusic = 0\r\n");
}

}  // namespace
