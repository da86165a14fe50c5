// Start-up and quit with folders the game cannot use: a read-only save
// folder, settings beside a program the player cannot write to, a save-folder
// path that is a file, no HOME, and a TMPDIR that cannot take the private
// temporary folder. Each run is the real start-up, a few
// frames with a screenshot, and the quit with its saves, in a child process,
// so a crash shows as the signal that ended it. Where a folder must refuse
// writes, the child runs as "nobody" when the tests run as root (root writes
// into read-only folders).
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "engine/display.h"
#include "engine/files.h"
#include "engine/input.h"
#include "engine/system.h"
#include "engine/testing/synthetic_events.h"
#include "shell_fixture.h"

namespace {

using namespace shell_test;

constexpr uid_t kNobody = 65534;

// What a child reports; anything else is the game's own exit code, or
// 128 + the signal that killed it.
constexpr int kRanAndQuit = 0;
constexpr int kNoQuit = 3;
constexpr int kWrongSettings = 4;
constexpr int kWrongSaveFolder = 5;
constexpr int kWrongTempFolder = 6;
constexpr int kTempFolderLeft = 7;
constexpr int kCannotDropRoot = 90;

int RunInChild(const std::function<int()>& body, bool asNobody) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (asNobody && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
                _exit(kCannotDropRoot);
            }
        }
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void TapKey(int scanCode) {
    engine::PushKeyEvent(scanCode, 1);
    app::RunFrame();
    engine::PushKeyEvent(scanCode, 0);
    app::RunFrame();
}

// Every file under a folder with its bytes, to show that nothing changed.
std::vector<std::pair<std::string, std::string>> Snapshot(const fs::path& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files.emplace_back(fs::relative(entry.path(), folder).string(),
                           entry.is_regular_file() ? ReadFile(entry.path()) : "<folder>");
    }
    std::sort(files.begin(), files.end());
    return files;
}

class ShellFoldersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveGameData()) GTEST_SKIP() << "no game data in MNEMORA_GAME_DIR";
        // "nobody" must be able to read the game folder.
        fs::permissions(folders_.root(), fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        unsetenv("LANG");
    }

    // Starts with the log, shows the menu, takes a screenshot and quits
    // through Escape with both saves; `check` looks at the started game.
    int StartAndQuit(const std::function<int()>& check = [] { return 0; }) const {
        engine::SetFramePacing(false);
        app::StartOptions options;
        options.gameFolder = folders_.gameFolder();
        options.arguments = {"/LOG"};
        app::StartGame(options);
        if (const int result = check()) return result;
        app::loop.ScreenState = app::MainMenu;
        for (int i = 0; i < 5; ++i)
            app::RunFrame();
        TapKey(engine::kKeyF2);
        TapKey(engine::kKeyEscape);  // in the main menu
        const bool quit = app::loop.quitRequest == 1;
        app::SaveAndShutdownForTests();
        return quit ? kRanAndQuit : kNoQuit;
    }

    ScratchFolders folders_;
};

TEST_F(ShellFoldersTest, ReadOnlySaveFolderIsReadButNeverWritten) {
    const fs::path user = folders_.userFolder();
    fs::create_directories(user);
    WriteFile(user / "Mnemora.prefs", "[Settings]\r\nLanguage = de_DE\r\nMusicVolume = 20\r\n");
    WriteFile(user / "Mnemora.scores", "2\r\n1\r\n");
    fs::permissions(user / "Mnemora.prefs",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(user / "Mnemora.scores",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(user, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    const auto before = Snapshot(user);

    const int result = RunInChild(
        [&] {
            return StartAndQuit([&] {
                if (app::settings.Language != "de_DE" || app::settings.MusicVolume != 20) {
                    return kWrongSettings;
                }
                app::settings.MusicVolume = 77;  // a change the quit would save
                return app::folders.SaveFolder == user.string() + "/" ? 0 : kWrongSaveFolder;
            });
        },
        true);
    EXPECT_EQ(result, kRanAndQuit);
    // No settings, progress, log, screenshot or temporary file appeared.
    EXPECT_EQ(Snapshot(user), before);
    fs::permissions(user, fs::perms::owner_all, fs::perm_options::add);
}

// A settings file beside a program the player cannot write to (an installed
// game in a system folder) does not make the game portable: its saves could
// never be written there. The game reads and writes the user folder instead.
TEST_F(ShellFoldersTest, SettingsBesideAnUnwritableProgramAreNotPortable) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run as 'nobody'";
    const std::string beside = "[Settings]\r\nLanguage = de_DE\r\n";
    WriteFile(folders_.game() / "Mnemora.prefs", beside);
    const fs::path user = folders_.userFolder();
    fs::create_directories(user);
    WriteFile(user / "Mnemora.prefs", "[Settings]\r\nLanguage = fr_FR\r\n");
    for (const auto& entry : fs::recursive_directory_iterator(folders_.root() / "home")) {
        if (lchown(entry.path().c_str(), kNobody, kNobody) != 0) FAIL() << entry.path();
    }
    ASSERT_EQ(lchown((folders_.root() / "home").c_str(), kNobody, kNobody), 0);

    const int result = RunInChild(
        [&] {
            return StartAndQuit([&] {
                if (app::settings.Language != "fr_FR") return kWrongSettings;
                return app::folders.SaveFolder == user.string() + "/" ? 0 : kWrongSaveFolder;
            });
        },
        true);
    EXPECT_EQ(result, kRanAndQuit);
    EXPECT_EQ(ReadFile(folders_.game() / "Mnemora.prefs"), beside);
    EXPECT_TRUE(FilesStartingWith(folders_.game(), "Mnemora.scores").empty());
    EXPECT_NE(ReadFile(user / "Mnemora.prefs").find("Language = fr_FR"), std::string::npos);
    EXPECT_EQ(Lines(ReadFile(user / "Mnemora.scores")).size(), 12u);
}

TEST_F(ShellFoldersTest, SaveFolderPathThatIsAFileIsLeftAlone) {
    const fs::path user = folders_.userFolder();
    fs::create_directories(user.parent_path());
    WriteFile(user, "a file where the save folder should be");

    const int result = RunInChild(
        [&] {
            return StartAndQuit([&] {
                return app::folders.SaveFolder == user.string() + "/" ? 0 : kWrongSaveFolder;
            });
        },
        false);
    EXPECT_EQ(result, kRanAndQuit);
    EXPECT_EQ(ReadFile(user), "a file where the save folder should be");
    EXPECT_EQ(Snapshot(user.parent_path()).size(), 1u);
    EXPECT_TRUE(FilesStartingWith(folders_.game(), "Mnemora.prefs").empty());
}

TEST_F(ShellFoldersTest, NoHomeAndAHomelessAccountStartAndQuit) {
    // Without HOME the account's home from the password database is used; to
    // have none at all the child runs as "nobody", whose home does not exist.
    const passwd* nobody = getpwuid(kNobody);
    if (geteuid() != 0 || !nobody || !nobody->pw_dir || fs::exists(nobody->pw_dir)) {
        GTEST_SKIP() << "needs root and a 'nobody' account without a home folder";
    }
    const std::string home = nobody->pw_dir;
    const int result = RunInChild(
        [&] {
            unsetenv("HOME");
            unsetenv("XDG_DATA_HOME");
            return StartAndQuit([&] {
                return app::folders.SaveFolder == home + "/.local/share/Orvanta/Mnemora/"
                           ? 0
                           : kWrongSaveFolder;
            });
        },
        true);
    EXPECT_EQ(result, kRanAndQuit);
    EXPECT_FALSE(fs::exists(home));
    EXPECT_TRUE(FilesStartingWith(folders_.game(), "Mnemora.prefs").empty());
}

TEST_F(ShellFoldersTest, UnusableTmpdirFallsBackToAPrivateFolderUnderTmp) {
    // TMPDIR names a file: no folder can be made in it.
    const fs::path tmpdir = folders_.root() / "not-a-folder";
    WriteFile(tmpdir, "x");
    const int result = RunInChild(
        [&] {
            setenv("TMPDIR", tmpdir.c_str(), 1);
            std::string temp;
            const int run = StartAndQuit([&] {
                temp = engine::PrivateTempFolder();
                return temp.rfind("/tmp/mnemora-", 0) == 0 ? 0 : kWrongTempFolder;
            });
            if (run != kRanAndQuit) return run;
            return engine::QueryFileSize(temp) == -1 ? kRanAndQuit : kTempFolderLeft;
        },
        false);
    EXPECT_EQ(result, kRanAndQuit);
    EXPECT_EQ(ReadFile(tmpdir), "x");
    // The saves themselves were unaffected.
    EXPECT_TRUE(fs::exists(folders_.userFolder() / "Mnemora.prefs"));
    EXPECT_EQ(Lines(ReadFile(folders_.userFolder() / "Mnemora.scores")).size(), 12u);
}

}  // namespace
