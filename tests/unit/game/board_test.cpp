// Dealing a level: the deck of pairs and its shuffle, the column-major board
// and its place on the screen, and the deal's frame count.
#include <algorithm>
#include <map>

#include "unit/game/game_fixture.h"

namespace {

using namespace game_test;

class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetGame(); }
};

TEST_F(BoardTest, DeckHoldsEachOfTheFirstPicturesTwiceInBoardOrder) {
    for (int n = 1; n <= 12; ++n) {
        game::level.current = n;
        game::SetUpLevel(false);
        const auto& spec = game::LevelTable()[n - 1];
        std::map<int32_t, int> count;
        for (int32_t picture : game::level.deck)
            ++count[picture];
        ASSERT_EQ(static_cast<int>(count.size()), spec.tiles / 2) << "level " << n;
        for (auto [picture, times] : count) {
            EXPECT_GE(picture, kFirstPicture);
            EXPECT_LT(picture, kFirstPicture + spec.tiles / 2);
            EXPECT_EQ(times, 2);
        }
        ASSERT_EQ(game::level.board.size(), game::level.deck.size());
        for (size_t k = 0; k < game::level.deck.size(); ++k)
            EXPECT_EQ(game::level.board[k].picture, game::level.deck[k]);
        EXPECT_EQ(game::level.tilesLeft, spec.tiles);
        EXPECT_EQ(app::loop.ScreenState, app::Dealing);
    }
    // Level 1: pictures 01 to 04; levels 11 and 12: all twenty.
    game::level.current = 1;
    game::SetUpLevel(false);
    EXPECT_EQ(*std::max_element(game::level.deck.begin(), game::level.deck.end()),
              kFirstPicture + 3);
    for (int n : {11, 12}) {
        game::level.current = n;
        game::SetUpLevel(false);
        EXPECT_EQ(*std::max_element(game::level.deck.begin(), game::level.deck.end()),
                  kFirstPicture + 19);
    }
}

TEST_F(BoardTest, DeckIsShuffledTwiceFromTheRandomSource) {
    engine::SeedRandom(99);
    game::level.current = 12;
    game::SetUpLevel(false);
    const auto dealt = game::level.deck;

    std::vector<int32_t> expected;
    for (int i = 0; i < 40; ++i)
        expected.push_back(kFirstPicture + i / 2);
    const auto ordered = expected;
    engine::SeedRandom(99);
    engine::ShuffleArray(expected);
    engine::ShuffleArray(expected);
    EXPECT_EQ(dealt, expected);
    EXPECT_NE(dealt, ordered);

    // Restart deals the same level anew.
    game::SetUpLevel(false);
    EXPECT_NE(game::level.deck, dealt);
}

TEST_F(BoardTest, BoardIsLaidOutColumnByColumnAroundTheCentre) {
    game::level.current = 1;  // 4 x 2
    game::SetUpLevel(false);
    const game::Tile& first = game::TileAt(0, 0);
    EXPECT_EQ(first.left, 659);
    EXPECT_EQ(first.top, 417);
    EXPECT_EQ(first.right, 659 + 138);
    EXPECT_EQ(first.bottom, 417 + 138);
    EXPECT_EQ(&game::level.board[1], &game::TileAt(0, 1));  // column-major
    EXPECT_EQ(game::TileAt(0, 1).top, 417 + 151);
    EXPECT_EQ(game::TileAt(3, 1).left, 659 + 3 * 151);
    for (size_t k = 0; k < game::level.board.size(); ++k) {
        EXPECT_EQ(game::level.board[k].face, game::FaceDown);
        EXPECT_EQ(game::level.board[k].dealDelay, static_cast<int32_t>(2 * k));
        EXPECT_EQ(game::level.board[k].dealOpacity, 0);
    }
    auto [x, y] = Centre(5);
    EXPECT_EQ(game::FindTileAt(x, y), 5);
    EXPECT_EQ(game::FindTileAt(first.right, first.top + 10), -1);      // edges are outside
    EXPECT_EQ(game::FindTileAt(first.right + 5, first.top + 10), -1);  // the gap
}

TEST_F(BoardTest, DealingTakesTwoFramesPerTileThenFiftyOneAndOneToNotice) {
    for (int n : {1, 7, 12}) {
        game::level.current = n;
        game::SetUpLevel(false);
        const int tiles = game::LevelTable()[n - 1].tiles;
        int frames = 0;
        while (app::loop.ScreenState == app::Dealing && frames < 1000) {
            // Clicks do nothing while the tiles come in.
            ClickTile(0);
            EXPECT_EQ(game::level.revealed, 0);
            EXPECT_EQ(game::level.boardInput, 0);
            game::DealStepAt(5000 + frames);
            ++frames;
            if (frames == 1) {
                EXPECT_EQ(game::level.board[0].dealOpacity, 5);
                EXPECT_EQ(game::level.board[1].dealOpacity, 0);
                EXPECT_EQ(game::level.board[1].dealDelay, 1);
            }
        }
        EXPECT_EQ(frames, 2 * (tiles - 1) + 51 + 1) << "level " << n;
        EXPECT_EQ(app::loop.ScreenState, app::Playing);
        EXPECT_EQ(game::level.boardInput, 1);
        EXPECT_EQ(game::level.startTime, 5000 + frames - 1);
        EXPECT_EQ(game::level.remaining, game::level.timeLimit);
        for (const auto& t : game::level.board)
            EXPECT_EQ(t.dealOpacity, 255);
    }
}

}  // namespace
