// A save killed at any moment leaves either the old file or the new one,
// whole: a child process saves in a loop and is killed at a thousand
// different points; after each kill the file must hold one of the two
// complete versions. The temporary files the kills leave behind are removed
// by a later save once they are old enough to belong to no running save.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/atomic_write.h"
#include "engine/prefs.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `save(round)` in a child process forever and kills it `kills` times at
// random moments; `check` sees the file after each kill.
template <typename Save, typename Check>
void KillDuringSaves(int kills, Save save, Check check) {
    std::mt19937 random(20261208);
    for (int k = 0; k < kills; ++k) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int round = 0;; ++round)
                save(round);
        }
        usleep(static_cast<useconds_t>(random() % 3000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        check(k);
        if (::testing::Test::HasFailure()) return;
    }
}

// Dates a file back by an hour (the link itself, for a link).
void MakeOld(const fs::path& path) {
    const auto hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
    if (fs::is_symlink(fs::symlink_status(path))) {
        const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 3600, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    } else {
        fs::last_write_time(path, hour_ago);
    }
}

TEST(KillDuringSave, AtomicReplacementLeavesAWholeFile) {
    const fs::path dir = test_support::ScratchDir("mnemora_kill_");
    const fs::path file = dir / "Mnemora.scores";
    const std::string a = "2\r\n2\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";
    const std::string b(64 * 1024, 'b');  // a longer file takes longer to write
    ASSERT_EQ(engine::WriteFileAtomically(file.string(), a), 1);
    KillDuringSaves(
        500, [&](int round) { engine::WriteFileAtomically(file.string(), round % 2 ? a : b); },
        [&](int k) {
            const std::string now = Read(file);
            EXPECT_TRUE(now == a || now == b) << "kill " << k << ": " << now.size() << " bytes";
        });
    // Kills between mkstemp and rename left temporary files; fresh ones stay
    // (another copy of the game could be saving), old ones go at the next save.
    for (const std::string& name : test_support::FolderNames(dir))
        EXPECT_EQ(name.rfind("Mnemora.scores", 0), 0u) << name;
    ASSERT_EQ(engine::WriteFileAtomically(file.string(), a), 1);
    const std::vector<std::string> left = test_support::FolderNames(dir);
    for (const std::string& name : left)
        MakeOld(dir / name);
    ASSERT_EQ(engine::WriteFileAtomically(file.string(), b), 1);
    EXPECT_EQ(test_support::FolderNames(dir), std::vector<std::string>{"Mnemora.scores"})
        << left.size() << " before";
    EXPECT_EQ(Read(file), b);
    fs::remove_all(dir);
}

TEST(KillDuringSave, CleanupRemovesOnlyOldTemporaryFilesOfTheSavedFile) {
    const fs::path dir = test_support::ScratchDir("mnemora_kill_");
    const fs::path file = dir / "Mnemora.scores";
    const std::vector<std::string> kept = {
        "Mnemora.scores.tmp-Fresh1",  // could be a save under way
        "Mnemora.prefs.tmp-Ab12Cd",   // another file's
        "Mnemora.scores.tmp-Ab12C",   // not a name mkstemp makes
        "Mnemora.scores.tmp-Ab_2Cd",  // nor this
        "Mnemora.scores.backup",      // the player's own copy
        "Mnemora.scores.tmp-Link00",  // a link, whatever it points at
        "Mnemora.scores.tmp-Fold00",  // a folder
    };
    for (const std::string& name : kept) {
        if (name.find("Link") != std::string::npos) {
            fs::create_symlink(dir / "Mnemora.scores.backup", dir / name);
        } else if (name.find("Fold") != std::string::npos) {
            fs::create_directory(dir / name);
        } else {
            std::ofstream(dir / name) << "x";
        }
        if (name.find("Fresh") == std::string::npos) MakeOld(dir / name);
    }
    std::ofstream(dir / "Mnemora.scores.tmp-Ab12Cd") << "half a save";
    MakeOld(dir / "Mnemora.scores.tmp-Ab12Cd");

    ASSERT_EQ(engine::WriteFileAtomically(file.string(), "1\r\n"), 1);
    std::vector<std::string> expected = kept;
    expected.push_back("Mnemora.scores");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test_support::FolderNames(dir), expected);
    fs::remove_all(dir);
}

TEST(KillDuringSave, PreferenceFileLeavesAWholeFile) {
    const fs::path dir = test_support::ScratchDir("mnemora_kill_");
    const fs::path file = dir / "Mnemora.prefs";
    auto save = [&](int volume) {
        engine::CreatePrefFile(file.string());
        engine::WritePrefComment("Mnemora Preferences");
        engine::SelectPrefGroup("Settings");
        engine::WritePrefString("Language", "en_GB");
        engine::WritePrefInt("MusicVolume", volume);
        engine::ClosePrefFile();
    };
    save(0);
    const std::string head =
        "\xEF\xBB\xBF\r\n; Mnemora Preferences\r\n[Settings]\r\n"
        "Language = en_GB\r\nMusicVolume = ";
    KillDuringSaves(
        500, [&](int round) { save(round % 100); },
        [&](int k) {
            const std::string now = Read(file);
            ASSERT_EQ(now.rfind(head, 0), 0u) << "kill " << k << ": " << now;
            const std::string tail = now.substr(head.size());
            ASSERT_GE(tail.size(), 3u) << "kill " << k;
            EXPECT_EQ(tail.substr(tail.size() - 2), "\r\n") << "kill " << k;
        });
    fs::remove_all(dir);
}

}  // namespace
