// A save killed at any moment leaves either the old file or the new one,
// whole: a child process saves in a loop and is killed at a thousand
// different points; after each kill the file must hold one of the two
// complete versions.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

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
