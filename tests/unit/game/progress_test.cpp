// The progress file: reading any line ends, giving bad or missing lines a
// defined status, and writing twelve CR LF lines in place of the old file.
#include <unistd.h>

#include "scratch_dir.h"

#include "unit/game/game_fixture.h"

namespace {

using namespace game_test;
namespace fs = std::filesystem;

class ProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGame();
        char pattern[] = "/tmp/mnemora-progress-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = std::string(pattern) + "/";
    }
    void TearDown() override { fs::remove_all(folder_); }

    void Write(const std::string& text) {
        std::ofstream(folder_ + "Mnemora.scores", std::ios::binary) << text;
    }
    std::string Read() {
        std::ifstream in(folder_ + "Mnemora.scores", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::vector<int32_t> Looks() {
        std::vector<int32_t> looks;
        for (int n = 1; n <= 12; ++n)
            looks.push_back(display::levelButtons[n].sprite);
        return looks;
    }
    std::string folder_;
};

constexpr int32_t L = game::LevelLocked, O = game::LevelOpen, F = game::LevelFinishedLook;

TEST_F(ProgressTest, MissingFileOpensLevelOneAndIsWrittenInFull) {
    display::levelButtons[1].sprite = F;  // whatever was there before
    EXPECT_EQ(game::LoadProgress(folder_), 0);
    EXPECT_EQ(Looks(), (std::vector<int32_t>{O, L, L, L, L, L, L, L, L, L, L, L}));
    EXPECT_EQ(game::SaveProgress(folder_), 1);
    std::string expected = "1\r\n";
    for (int i = 0; i < 11; ++i)
        expected += "0\r\n";
    EXPECT_EQ(Read(), expected);
    // Nothing left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder_))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(ProgressTest, LineEndsLfCrAndCrLfReadTheSame) {
    const std::vector<int32_t> expected{F, F, O, L, F, L, L, L, L, L, L, O};
    for (const char* end : {"\n", "\r", "\r\n"}) {
        std::string text;
        for (const char* line : {"2", "2", "1", "0", "2", "0", "0", "0", "0", "0", "0", "1"})
            text += std::string(line) + end;
        Write(text);
        EXPECT_EQ(game::LoadProgress(folder_), 1);
        EXPECT_EQ(Looks(), expected) << "line end " << static_cast<int>(end[0]);
    }
    // The last line needs no line end.
    Write("2\n2\n1\n0\n2\n0\n0\n0\n0\n0\n0\n1");
    game::LoadProgress(folder_);
    EXPECT_EQ(Looks(), expected);
}

TEST_F(ProgressTest, BadAndMissingLinesGetTheFreshStatus) {
    // Blanks, other digits, empty lines and a short file.
    Write("x\r\n 2\r\n1 \r\n\r\n3\r\n2\r\n22\r\n2");
    display::levelButtons[10].sprite = F;
    EXPECT_EQ(game::LoadProgress(folder_), 1);
    EXPECT_EQ(Looks(), (std::vector<int32_t>{O, L, L, L, L, F, L, F, L, L, L, L}));
    // The file is trusted as it stands: a finished level 1 does not open 2.
    Write("2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    game::LoadProgress(folder_);
    EXPECT_EQ(Looks(), (std::vector<int32_t>{F, L, L, L, L, L, L, L, L, L, L, L}));
}

TEST_F(ProgressTest, SavedProgressReadsBackAndReplacesTheOldFile) {
    Write("garbage that is longer than the new file will be, to see it replaced\r\n");
    game::LoadProgress(folder_);
    for (int n = 1; n <= 4; ++n)
        game::MarkLevelWon(n);
    display::levelButtons[9].sprite = 0;  // no look at all: written as locked
    const auto before = Looks();
    EXPECT_EQ(game::SaveProgress(folder_), 1);
    EXPECT_EQ(Read(), "2\r\n2\r\n2\r\n2\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    ResetGame();
    EXPECT_EQ(game::LoadProgress(folder_), 1);
    auto expected = before;
    expected[8] = L;
    EXPECT_EQ(Looks(), expected);
}

TEST_F(ProgressTest, SavingNeverPutsBackALowerLookThanTheFileHolds) {
    // This copy read an early file; another copy then finished levels 1 to 3
    // and opened 4, while this one finished level 6 out of order.
    game::LoadProgress(folder_);
    display::levelButtons[6].sprite = F;
    Write("2\r\n2\r\n2\r\n1\r\n0\r\nbad\r\n");
    EXPECT_EQ(game::SaveProgress(folder_), 1);
    EXPECT_EQ(Read(), "2\r\n2\r\n2\r\n1\r\n0\r\n2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    // The map of this copy shows the other's wins from now on.
    EXPECT_EQ(Looks(), (std::vector<int32_t>{F, F, F, O, L, F, L, L, L, L, L, L}));
}

TEST_F(ProgressTest, SavingWhereNoFileCanBeMadeFailsAndLeavesNothing) {
    EXPECT_EQ(game::SaveProgress(folder_ + "missing/"), 0);
    EXPECT_FALSE(fs::exists(folder_ + "missing"));
    // A folder in the file's place is not replaced.
    fs::create_directory(folder_ + "Mnemora.scores");
    EXPECT_EQ(game::SaveProgress(folder_), 0);
    EXPECT_TRUE(fs::is_directory(folder_ + "Mnemora.scores"));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder_))
        ++entries;
    EXPECT_EQ(entries, 1);  // no temporary file left behind
}

}  // namespace
