// The turn rules and the level clock on a dealt board: turning tiles, the match
// fade, the mismatch delay, winning, losing, and pausing.
#include "unit/game/game_fixture.h"

namespace {

using namespace game_test;
using game::level;

class RulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGame();
        LoadSounds();
        DealLevel(1);
        ASSERT_EQ(app::loop.ScreenState, app::Playing);
    }
    void TearDown() override { engine::ReleaseSound(-1); }
};

TEST_F(RulesTest, OnlyFaceDownTilesTurnAndAtMostTwoPerTurn) {
    auto [a, b] = MismatchedPair();
    ClickTile(a);
    ClickTile(a);  // already up: not counted again
    EXPECT_EQ(level.revealed, 1);
    const game::Tile& first = level.board[a];
    game::BoardClick(first.right + 3, first.top + 20);  // the gap
    game::BoardClick(first.right, first.top + 20);      // the edge
    EXPECT_EQ(level.revealed, 1);
    ClickTile(b);
    EXPECT_EQ(level.revealed, 2);
    EXPECT_EQ(level.board[a].face, game::FaceUp);
    EXPECT_EQ(level.board[b].face, game::FaceUp);
    EXPECT_EQ(level.turnSound, 0);  // turning plays nothing
    EXPECT_EQ(audio::music.lastEffect, -1);

    // A third tile waits while the mismatch shows...
    size_t third = 1;
    while (third == a || third == b)
        ++third;
    for (int i = 0; i < 10; ++i)
        Frame(kDealEnd + i);
    ClickTile(third);
    EXPECT_EQ(level.board[third].face, game::FaceDown);

    // ...and while a matched pair fades.
    for (int i = 0; i < 100 && level.revealed == 2; ++i)
        Frame(kDealEnd + 10 + i);
    auto [c, d] = PairOf(level.board[third].picture);
    ClickTile(c);
    ClickTile(d);
    Frame(kDealEnd + 200);
    Frame(kDealEnd + 201);
    ASSERT_EQ(level.board[c].face, game::FaceFading);
    size_t other = 0;
    while (other == c || other == d)
        ++other;
    ClickTile(other);
    EXPECT_EQ(level.board[other].face, game::FaceDown);
}

TEST_F(RulesTest, MismatchSoundsOnceAndThePairTurnsDownOnThe82ndPass) {
    auto [a, b] = MismatchedPair();
    ClickTile(a);
    ClickTile(b);
    game::PlayStepAt(kDealEnd);
    EXPECT_EQ(audio::music.lastEffect, audio::MismatchEffect);
    const int32_t channel = audio::music.lastEffectChannel;
    EXPECT_TRUE(Playing(audio::MismatchEffect, channel));
    for (int pass = 2; pass <= 81; ++pass) {
        game::PlayStepAt(kDealEnd + pass);
        ASSERT_EQ(level.board[a].face, game::FaceUp) << "pass " << pass;
        ASSERT_EQ(level.board[b].face, game::FaceUp);
    }
    EXPECT_EQ(audio::music.lastEffectChannel, channel);  // no second start
    EXPECT_EQ(app::loop.frameCounter, 81);
    game::PlayStepAt(kDealEnd + 82);
    EXPECT_EQ(level.board[a].face, game::FaceDown);
    EXPECT_EQ(level.board[b].face, game::FaceDown);
    EXPECT_EQ(level.revealed, 0);
    EXPECT_EQ(level.turnSound, 0);
    EXPECT_EQ(app::loop.frameCounter, 0);
    EXPECT_EQ(level.tilesLeft, 8);

    // The next mismatch sounds again.
    ClickTile(a);
    ClickTile(b);
    game::PlayStepAt(kDealEnd + 83);
    EXPECT_NE(audio::music.lastEffectChannel, channel);

    // Dealt again while that mismatch shows half-way (a restart, a leave, a
    // time-out): the new level's first mismatch still stays up 81 passes.
    for (int pass = 84; pass <= 123; ++pass)
        game::PlayStepAt(kDealEnd + pass);
    DealLevel(1);
    auto [c, d] = MismatchedPair();
    ClickTile(c);
    ClickTile(d);
    for (int pass = 1; pass <= 81; ++pass) {
        game::PlayStepAt(kDealEnd + pass);
        ASSERT_EQ(level.board[c].face, game::FaceUp) << "pass " << pass << " after the re-deal";
    }
    game::PlayStepAt(kDealEnd + 82);
    EXPECT_EQ(level.board[c].face, game::FaceDown);
}

TEST_F(RulesTest, MatchedPairFadesBy8AFrameAndLeaves) {
    auto [a, b] = PairOf(kFirstPicture);
    ClickTile(a);
    ClickTile(b);
    Frame(kDealEnd);  // drawn face up; the rules start the fade
    EXPECT_EQ(audio::music.lastEffect, audio::MatchEffect);
    const int32_t channel = audio::music.lastEffectChannel;
    EXPECT_EQ(level.board[a].face, game::FaceFading);
    EXPECT_EQ(level.matchFade, 255);
    // The tile drawn first (smaller index: column-major) shows 255, 247, ...,
    // 7 and the other 251, 243, ..., 3, for 32 frames.
    for (int frame = 0; frame < 32; ++frame) {
        ASSERT_EQ(level.matchFade, 255 - 8 * frame);
        Frame(kDealEnd + 1 + frame);
        if (frame < 31) {
            ASSERT_EQ(level.board[a].face, game::FaceFading) << frame;
        }
    }
    EXPECT_EQ(level.board[a].face, game::FaceRemoved);
    EXPECT_EQ(level.board[b].face, game::FaceRemoved);
    EXPECT_EQ(level.tilesLeft, 6);
    EXPECT_EQ(level.revealed, 0);
    EXPECT_EQ(level.matchFade, 255);
    EXPECT_EQ(audio::music.lastEffectChannel, channel);  // one chime for the pair
    ClickTile(a);                                        // a removed tile does not turn
    EXPECT_EQ(level.revealed, 0);
}

TEST_F(RulesTest, ClearingTheBoardWinsAndChangesTheMusic) {
    app::settings.Music = 1;
    audio::StartMusic(level.musicTrack);
    const int32_t trackChannel = audio::music.musicChannel;
    display::levelButtons[2].sprite = game::LevelLocked;
    int64_t now = kDealEnd;
    for (int k = 0; k < 4; ++k) {
        auto [a, b] = PairOf(kFirstPicture + k);
        ClickTile(a);
        ClickTile(b);
        // The last pass comes long after the time is up: a win is not timed.
        for (int i = 0; i < 40 && app::loop.ScreenState == app::Playing; ++i)
            Frame(k == 3 && i == 32 ? now + 500000 : ++now);
    }
    EXPECT_EQ(app::loop.ScreenState, app::LevelFinished);
    EXPECT_EQ(level.tilesLeft, 0);
    EXPECT_EQ(level.boardInput, 0);
    EXPECT_EQ(display::levelButtons[1].sprite, game::LevelFinishedLook);
    EXPECT_EQ(display::levelButtons[2].sprite, game::LevelOpen);
    EXPECT_FALSE(Playing(level.musicTrack, trackChannel));
    EXPECT_NE(audio::music.musicChannel, trackChannel);
    EXPECT_TRUE(Playing(audio::LevelEndMusic, audio::music.musicChannel));
    // The win is on disk at once, not only at quit.
    std::ifstream saved(SaveFolder() + "Mnemora.scores", std::ios::binary);
    const std::string progress{std::istreambuf_iterator<char>(saved), {}};
    EXPECT_EQ(progress.substr(0, 6), "2\r\n1\r\n");
    game::BoardClick(10, 10);  // board input is off
    game::PlayStepAt(now);
    EXPECT_EQ(app::loop.ScreenState, app::LevelFinished);
}

TEST_F(RulesTest, LostWhenTheBarIsDownToAQuarterOfItsHeight) {
    app::settings.Music = 1;
    audio::StartMusic(level.musicTrack);
    const int32_t trackChannel = audio::music.musicChannel;
    // 1920 wide: bar 681 x 64, lost at a visible width of 16 or less.
    game::PlayStepAt(kDealEnd + 100000 - 2497);  // 17 pixels
    EXPECT_EQ(level.barVisible, 17);
    EXPECT_EQ(app::loop.ScreenState, app::Playing);
    game::PlayStepAt(kDealEnd + 100000 - 2496);  // 16 pixels, 2.5 s before 0
    EXPECT_EQ(level.barVisible, 16);
    EXPECT_EQ(app::loop.ScreenState, app::LevelFailed);
    EXPECT_EQ(level.boardInput, 0);
    EXPECT_FALSE(Playing(level.musicTrack, trackChannel));
    EXPECT_TRUE(Playing(audio::LevelEndMusic, audio::music.musicChannel));
    EXPECT_EQ(display::levelButtons[1].sprite, game::LevelOpen);  // nothing won
}

TEST_F(RulesTest, PairFadingWhenTimeRunsOutIsRemoved) {
    auto [a, b] = PairOf(kFirstPicture + 1);
    ClickTile(a);
    ClickTile(b);
    for (int i = 0; i < 5; ++i)
        Frame(kDealEnd + i);
    ASSERT_EQ(level.board[a].face, game::FaceFading);
    Frame(kDealEnd + 100000);
    EXPECT_EQ(app::loop.ScreenState, app::LevelFailed);
    EXPECT_EQ(level.board[a].face, game::FaceRemoved);
    EXPECT_EQ(level.board[b].face, game::FaceRemoved);
    EXPECT_EQ(level.revealed, 0);
    EXPECT_EQ(level.matchFade, 255);
    EXPECT_EQ(level.tilesLeft, 8);  // not counted as found
}

TEST_F(RulesTest, PairMatchedOnTheLastPassIsRemovedToo) {
    // The match is seen in the same pass as the time runs out: the fade has
    // not started, but the pair is already on its way out.
    auto [a, b] = PairOf(kFirstPicture + 2);
    ClickTile(a);
    ClickTile(b);
    game::PlayStepAt(kDealEnd + 100000);
    EXPECT_EQ(app::loop.ScreenState, app::LevelFailed);
    EXPECT_EQ(level.board[a].face, game::FaceRemoved);
    EXPECT_EQ(level.board[b].face, game::FaceRemoved);
}

TEST_F(RulesTest, PausingForAnyLengthLeavesTheBarWhereItWas) {
    game::PlayStepAt(kDealEnd + 30000);
    const int32_t bar = level.barVisible;
    const int64_t remaining = level.remaining;
    EXPECT_EQ(bar, 70000 * 681 / 100000);
    for (int64_t pause : {1LL, 59999LL, 86400000LL}) {
        const int64_t at = kDealEnd + 30000;
        game::BeginPauseAt(at);
        app::loop.ScreenState = app::PauseMenu;
        game::PlayStepAt(at + pause / 2);  // no clock behind the menu
        EXPECT_EQ(app::loop.ScreenState, app::PauseMenu);
        game::ResumeFromPauseAt(at + pause);
        EXPECT_EQ(app::loop.ScreenState, app::Playing);
        game::PlayStepAt(at + pause);
        EXPECT_EQ(level.remaining, remaining);
        EXPECT_EQ(level.barVisible, bar);
        game::BeginPauseAt(at + pause);
        game::ResumeFromPauseAt(at);  // back to the same instant for the next round
    }
}

TEST_F(RulesTest, PauseButtonPausesWithAClick) {
    const auto& m = display::metrics;
    game::HoverPauseButton(m.PauseButtonLeft + 10, m.PauseButtonTop + 10);
    EXPECT_EQ(level.pauseSprite, game::SpritePauseActive);
    game::HoverPauseButton(m.PauseButtonLeft, m.PauseButtonTop + 10);  // edge: outside
    EXPECT_EQ(level.pauseSprite, game::SpritePause);

    const int64_t before = engine::ElapsedMs();
    game::BoardClick(m.PauseButtonLeft + 10, m.PauseButtonTop + 10);
    EXPECT_EQ(app::loop.ScreenState, app::PauseMenu);
    EXPECT_GE(level.pauseStart, before);
    EXPECT_LE(level.pauseStart, engine::ElapsedMs());
    EXPECT_EQ(audio::music.lastEffect, audio::ClickEffect);
    EXPECT_EQ(level.revealed, 0);
}

TEST_F(RulesTest, PauseButtonIgnoresThePointerWhileDealing) {
    const auto& m = display::metrics;
    game::SetUpLevel(false);
    game::HoverPauseButton(m.PauseButtonLeft + 10, m.PauseButtonTop + 10);
    EXPECT_EQ(level.pauseSprite, game::SpritePause);
    game::BoardClick(m.PauseButtonLeft + 10, m.PauseButtonTop + 10);
    EXPECT_EQ(app::loop.ScreenState, app::Dealing);
}

}  // namespace
