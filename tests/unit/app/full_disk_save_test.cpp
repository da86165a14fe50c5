// Saving on a full disk: the settings and progress files are written in a
// child process whose files may not grow past a few bytes (RLIMIT_FSIZE, with
// SIGXFSZ ignored so the write fails with EFBIG instead of killing it). The
// old files must stay whole and no temporary file may be left beside them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "display/layout.h"
#include "game/game.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Smaller than either new file (the settings file is ~170 bytes, the
// progress file 36), so every save fails part-way through its write.
constexpr rlim_t kFileSizeLimit = 16;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Runs `save` in a child limited to kFileSizeLimit bytes per file; its
// result, or -1 when the child did not end normally.
int SaveOnAFullDisk(const std::function<int()>& save) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kFileSizeLimit, kFileSizeLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(100);
        _exit(save());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class FullDiskSaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = test_support::ScratchDir("mnemora_full_disk_");
        app::settings = app::SettingsState{};
        app::settings.Language = "de_DE";
        app::settings.MusicVolume = 35;
        for (size_t n = 1; n < display::levelButtons.size(); ++n)
            display::levelButtons[n].sprite = n <= 3 ? game::LevelFinishedLook : game::LevelLocked;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string folder() const { return dir_.string() + "/"; }
    int SaveSettings() const {
        return SaveOnAFullDisk([this] { return app::SavePreferences(folder()); });
    }
    int SaveProgress() const {
        return SaveOnAFullDisk([this] { return game::SaveProgress(folder()); });
    }

    fs::path dir_;
};

TEST_F(FullDiskSaveTest, FailedSavesKeepTheOldFilesWholeAndLeaveNoTemporaryFile) {
    const std::string old_prefs = "\xEF\xBB\xBF\r\n[Settings]\r\nLanguage = en_GB\r\n";
    const std::string old_scores = "2\r\n1\r\n";
    Write(dir_ / "Mnemora.prefs", old_prefs);
    Write(dir_ / "Mnemora.scores", old_scores);

    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(SaveProgress(), 0);
    EXPECT_EQ(Read(dir_ / "Mnemora.prefs"), old_prefs);
    EXPECT_EQ(Read(dir_ / "Mnemora.scores"), old_scores);
    EXPECT_EQ(test_support::FolderNames(dir_),
              (std::vector<std::string>{"Mnemora.prefs", "Mnemora.scores"}));

    // With room on the disk the same saves succeed: the limit was the cause.
    EXPECT_EQ(app::SavePreferences(folder()), 1);
    EXPECT_EQ(game::SaveProgress(folder()), 1);
    EXPECT_NE(Read(dir_ / "Mnemora.prefs").find("MusicVolume = 35"), std::string::npos);
    EXPECT_EQ(Read(dir_ / "Mnemora.scores").substr(0, 9), "2\r\n2\r\n2\r\n");
}

TEST_F(FullDiskSaveTest, FailedFirstSavesLeaveNothingBehind) {
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(SaveProgress(), 0);
    EXPECT_EQ(test_support::FolderNames(dir_), std::vector<std::string>{});
}

}  // namespace
