// The game screen on SDL's dummy display: what the frame shows of a fading
// pair, of a removed tile, of the dealing tiles and of the clock bar.
#include "unit/game/game_fixture.h"

namespace {

using namespace game_test;
using game::level;

class DrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGame(width_, height_);
        ASSERT_EQ(OpenDisplay(width_, height_), 1);
        MakeGameSprites();
    }
    void TearDown() override {
        engine::CloseDisplay();
        engine::ShutdownSpriteSystem();
    }
    // The red channel at a tile's centre: white pictures over a black
    // background show their opacity there.
    int Shown(size_t tile) {
        auto [x, y] = Centre(tile);
        return ReadPixel(x, y).r;
    }
    int width_ = 1920, height_ = 1080;
};

TEST_F(DrawTest, FadingPairShowsTheSharedFadeFourApartThenTheBackground) {
    DealLevel(1);
    auto [a, b] = PairOf(kFirstPicture);
    ClickTile(a);
    ClickTile(b);
    Frame(kDealEnd);
    engine::FlipFrame();
    for (int frame = 0; frame < 32; ++frame) {
        game::DrawGameScreen();
        if (frame < 3 || frame == 31) {
            EXPECT_NEAR(Shown(a), 255 - 8 * frame, 1) << "frame " << frame;
            EXPECT_NEAR(Shown(b), 251 - 8 * frame, 1) << "frame " << frame;
        }
        game::PlayStepAt(kDealEnd + frame);
        engine::FlipFrame();
    }
    ASSERT_EQ(level.board[a].face, game::FaceRemoved);
    game::DrawGameScreen();
    EXPECT_EQ(Shown(a), 0);  // the background
    const size_t down = PairOf(kFirstPicture + 1).first;
    EXPECT_EQ(ReadPixel(Centre(down).first, Centre(down).second).b, 255);  // a tile back
}

TEST_F(DrawTest, DealingDrawsEveryTileAsItsBackAtItsDealOpacity) {
    game::level.current = 1;
    game::SetUpLevel(false);
    for (int i = 0; i < 10; ++i)
        game::DealStepAt(0);
    game::level.board[0].face = game::FaceUp;  // whatever the face, a back
    game::DrawGameScreen();
    EXPECT_NEAR(ReadPixel(Centre(0).first, Centre(0).second).b, 50, 1);
    EXPECT_NEAR(ReadPixel(Centre(1).first, Centre(1).second).b, 40, 1);
    EXPECT_EQ(ReadPixel(Centre(7).first, Centre(7).second).b, 0);
    // The clock bar shows full while dealing.
    const auto& m = display::metrics;
    EXPECT_EQ(engine::SpriteDrawWidth(game::SpriteClockFront), m.ClockBarWidth);
    EXPECT_EQ(ReadPixel(m.ClockBarLeft + m.ClockBarWidth - 2, m.ClockBarTop + 5).g, 255);
}

class WideDrawTest : public DrawTest {
  protected:
    WideDrawTest() {
        width_ = 3840;
        height_ = 2160;
    }
};

TEST_F(WideDrawTest, ClockBarShowsTheRightHandPartOfItsOwnPicture) {
    const auto& m = display::metrics;
    ASSERT_EQ(m.HudUnit, 128);
    ASSERT_EQ(m.ClockBarWidth, 1362);
    // A front picture of 681 texels, red on the left half and green on the
    // right, drawn twice as wide as it is.
    SolidSprite(game::SpriteClockFront, 681, 64, 0, 255, 0);
    engine::BeginCanvas(engine::SpriteCanvas(game::SpriteClockFront));
    engine::FillCanvasRect(0, 0, 340, 64, engine::PackRGB(255, 0, 0));
    engine::EndCanvas();
    game::level.current = 1;
    game::SetUpLevel(false);

    // Half the time gone: half the bar, from texel 340 on.
    EXPECT_EQ(game::UpdateClockBar(50000), 681);
    EXPECT_EQ(level.barSourceX, 340);
    EXPECT_EQ(level.barSourceWidth, 341);
    EXPECT_EQ(engine::SpriteDrawWidth(game::SpriteClockFront), 681);
    EXPECT_EQ(engine::SpriteDrawHeight(game::SpriteClockFront), 128);
    game::DrawGameScreen();
    const int y = m.ClockBarTop + 10;
    EXPECT_EQ(ReadPixel(m.ClockBarLeft + 70, y).g, 255);  // right of the clock icon
    EXPECT_EQ(ReadPixel(m.ClockBarLeft + 679, y).g, 255);
    EXPECT_EQ(ReadPixel(m.ClockBarLeft + 700, y).g, 128);  // the grey clock back

    // A tenth left: the last 68 texels of the picture over 136 pixels.
    EXPECT_EQ(game::UpdateClockBar(10000), 136);
    EXPECT_EQ(level.barSourceX, 681 * (1362 - 136) / 1362);
    EXPECT_EQ(level.barSourceX + level.barSourceWidth, 681);

    // Out of range either way: clamped to the bar.
    EXPECT_EQ(game::UpdateClockBar(-5000), 0);
    EXPECT_EQ(level.barSourceX, 681);
    EXPECT_EQ(game::UpdateClockBar(200000), 1362);
    EXPECT_EQ(level.barSourceX, 0);
    // Long limits do not overflow: 2^40 ms of 2^41.
    game::level.timeLimit = int64_t{1} << 41;
    EXPECT_EQ(game::UpdateClockBar(int64_t{1} << 40), 681);
}

}  // namespace
