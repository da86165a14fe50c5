// The level-select map: the arrow, progression after a win, clicks on levels
// and on the back button with their sounds and music.
#include <algorithm>

#include "unit/game/game_fixture.h"

namespace {

using namespace game_test;
using display::levelButtons;

class LevelSelectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGame();
        LoadSounds();
    }
    void TearDown() override { engine::ReleaseSound(-1); }
    void Click(int n) {
        const auto& b = levelButtons[n];
        game::ClickLevelSelect((b.hitLeft + b.hitRight) / 2, (b.hitTop + b.hitBottom) / 2);
    }
};

TEST_F(LevelSelectTest, FreshStartShowsLevelOneOpenWithTheArrowAboveIt) {
    game::OpenLevelSelect();
    EXPECT_EQ(app::loop.ScreenState, app::LevelSelect);
    EXPECT_EQ(levelButtons[0].sprite, game::SpriteBackButton);
    const auto& one = levelButtons[1];
    EXPECT_EQ(game::arrow.shown, 1);
    EXPECT_EQ(game::arrow.x, one.hitLeft);
    EXPECT_EQ(game::arrow.y, one.hitTop - 68);
    EXPECT_EQ(game::arrow.step, 68 / 18);
    EXPECT_EQ(game::arrow.bottomBound, game::arrow.y + 3 * 18);

    // 18 steps down, a frame's rest, 18 up, a rest: 38 frames a round.
    const int32_t top = game::arrow.y;
    std::vector<int32_t> ys;
    for (int i = 0; i < 38; ++i) {
        game::AnimateLevelSelect();
        ys.push_back(game::arrow.y);
    }
    EXPECT_EQ(ys[17], top + 54);
    EXPECT_EQ(ys[18], top + 54);  // rest
    EXPECT_EQ(ys[19], top + 51);
    EXPECT_EQ(ys[36], top);
    EXPECT_EQ(ys[37], top);  // rest
}

TEST_F(LevelSelectTest, ArrowOfAButtonAtTheTopEdgeStandsBelowItUpsideDown) {
    // 2560 x 1080: level 6 would start 173 pixels above the screen and is
    // held at its top edge, so there is no room for the arrow above it.
    ResetGame(2560, 1080);
    for (int n = 1; n <= 5; ++n)
        game::MarkLevelWon(n);
    game::OpenLevelSelect();
    const auto& six = levelButtons[6];
    ASSERT_EQ(six.hitTop, 0);
    EXPECT_EQ(game::arrow.x, six.hitLeft);
    EXPECT_EQ(game::arrow.pointsUp, 1);
    EXPECT_EQ(game::arrow.y, six.hitBottom);
    // Bobbing up towards the button and back, never above the screen.
    int32_t lowest = game::arrow.y, highest = game::arrow.y;
    for (int i = 0; i < 38; ++i) {
        game::AnimateLevelSelect();
        lowest = std::max(lowest, game::arrow.y);
        highest = std::min(highest, game::arrow.y);
    }
    EXPECT_EQ(lowest, six.hitBottom);
    EXPECT_EQ(highest, six.hitBottom - game::arrow.step * 18);
    EXPECT_GE(highest, 0);
    EXPECT_EQ(game::arrow.y, six.hitBottom);

    // A level with room above keeps its arrow there, pointing down.
    game::MarkLevelWon(6);
    game::OpenLevelSelect();
    EXPECT_EQ(game::arrow.pointsUp, 0);
    EXPECT_EQ(game::arrow.y, levelButtons[7].hitTop - display::metrics.LevelButtonHeight);
}

TEST_F(LevelSelectTest, AWinOpensTheNextLevelOnlyIfItWasLocked) {
    levelButtons[5].sprite = game::LevelOpen;
    game::MarkLevelWon(5);
    EXPECT_EQ(levelButtons[5].sprite, game::LevelFinishedLook);
    EXPECT_EQ(levelButtons[6].sprite, game::LevelOpen);
    EXPECT_EQ(levelButtons[7].sprite, game::LevelLocked);

    levelButtons[6].sprite = game::LevelFinishedLook;
    game::MarkLevelWon(5);  // replayed
    EXPECT_EQ(levelButtons[6].sprite, game::LevelFinishedLook);

    game::MarkLevelWon(12);
    EXPECT_EQ(levelButtons[12].sprite, game::LevelFinishedLook);
    EXPECT_EQ(levelButtons[0].sprite, 0);  // nothing past the last level
}

TEST_F(LevelSelectTest, ArrowPointsAtTheFirstOpenLevelAndHidesForGood) {
    for (int n = 1; n <= 3; ++n)
        game::MarkLevelWon(n);
    game::OpenLevelSelect();
    EXPECT_EQ(game::arrow.x, levelButtons[4].hitLeft);
    EXPECT_EQ(game::arrow.y, levelButtons[4].hitTop - 68);

    for (int n = 4; n <= 12; ++n)
        game::MarkLevelWon(n);
    game::CompleteGame();
    EXPECT_EQ(app::settings.Completed, 1);
    game::OpenLevelSelect();
    EXPECT_EQ(game::arrow.shown, 0);
    const int32_t y = game::arrow.y;
    game::AnimateLevelSelect();
    EXPECT_EQ(game::arrow.y, y);
}

TEST_F(LevelSelectTest, LockedLevelIgnoresTheClick) {
    game::OpenLevelSelect();
    Click(2);
    EXPECT_EQ(app::loop.ScreenState, app::LevelSelect);
    EXPECT_EQ(audio::music.lastEffect, -1);
    game::ClickLevelSelect(1, 1);  // nothing there
    EXPECT_EQ(app::loop.ScreenState, app::LevelSelect);
    EXPECT_EQ(audio::music.lastEffect, -1);
}

TEST_F(LevelSelectTest, PlayableLevelSwapsTheMenuMusicForItsTrack) {
    app::settings.Music = 1;
    audio::StartMusic(audio::MenuMusic);
    const int32_t menuChannel = audio::music.musicChannel;
    levelButtons[5].sprite = game::LevelFinishedLook;  // finished levels replay
    game::OpenLevelSelect();
    Click(5);
    EXPECT_EQ(app::loop.ScreenState, app::Dealing);
    EXPECT_EQ(game::level.current, 5);
    EXPECT_EQ(game::level.board.size(), 24u);
    EXPECT_EQ(audio::music.lastEffect, audio::ClickEffect);
    EXPECT_FALSE(Playing(audio::MenuMusic, menuChannel));
    EXPECT_TRUE(Playing(2, audio::music.musicChannel));  // level 5: track 2
}

TEST_F(LevelSelectTest, MenuMusicStopsEvenWithMusicOffAndNoTrackStarts) {
    app::settings.Music = 1;
    audio::StartMusic(audio::MenuMusic);
    const int32_t menuChannel = audio::music.musicChannel;
    app::settings.Music = 0;
    app::settings.Sounds = 0;
    game::OpenLevelSelect();
    Click(1);
    EXPECT_EQ(app::loop.ScreenState, app::Dealing);
    EXPECT_FALSE(Playing(audio::MenuMusic, menuChannel));
    EXPECT_EQ(audio::music.musicChannel, menuChannel);  // nothing new started
    EXPECT_EQ(audio::music.lastEffect, -1);             // Sounds off

    // M during the level starts its track.
    audio::ToggleMusic(app::Dealing);
    EXPECT_EQ(app::settings.Music, 1);
    EXPECT_TRUE(Playing(1, audio::music.musicChannel));
}

TEST_F(LevelSelectTest, BackButtonHoversAndLeadsToTheMainMenu) {
    game::OpenLevelSelect();
    const auto& back = levelButtons[0];
    game::HoverLevelSelect(back.hitLeft + 5, back.hitTop + 5);
    EXPECT_EQ(back.sprite, game::SpriteBackButtonActive);
    game::HoverLevelSelect(back.hitLeft, back.hitTop + 5);
    EXPECT_EQ(back.sprite, game::SpriteBackButton);
    game::ClickLevelSelect(back.hitLeft + 5, back.hitTop + 5);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_EQ(audio::music.lastEffect, audio::ClickEffect);
}

}  // namespace
