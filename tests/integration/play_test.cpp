// The whole game played in-process on SDL's dummy drivers: start-up, the main
// menu, the level map, a level played to its end through pushed clicks (the
// pairs found from the board), a level lost to the clock, and the files written
// at quit.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/input.h"
#include "engine/system.h"
#include "engine/testing/synthetic_events.h"
#include "game/game.h"
#include "game_driver.h"
#include "ui/ui.h"

namespace {

using namespace shell_test;

using PlayTest = GameDriver;

TEST_F(PlayTest, LevelOnePlayedToAWinOpensLevelTwoAndIsSavedAtQuit) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    ClickSlot(ui::dialogs.mainMenuButtons, 1);
    ASSERT_EQ(app::loop.ScreenState, app::LevelSelect);
    EXPECT_EQ(game::arrow.shown, 1);
    EXPECT_EQ(game::arrow.x, display::levelButtons[1].hitLeft);

    ClickLevel(1);
    ASSERT_EQ(app::loop.ScreenState, app::Dealing);
    EXPECT_TRUE(audio::IsMusicPlaying(game::LevelTable()[0].musicTrack));
    EXPECT_FALSE(audio::IsMusicPlaying(audio::MenuMusic));
    ASSERT_TRUE(RunUntil(app::Playing, 2 * 7 + 51 + 5));

    // Find the pairs from the board, as a player with a perfect memory would.
    std::map<int32_t, std::vector<int>> pairs;
    for (size_t i = 0; i < game::level.board.size(); ++i) {
        pairs[game::level.board[i].picture].push_back(static_cast<int>(i));
    }
    ASSERT_EQ(pairs.size(), 4u);
    for (const auto& [picture, tiles] : pairs) {
        ASSERT_EQ(tiles.size(), 2u);
        ClickTile(tiles[0]);
        ClickTile(tiles[1]);
        EXPECT_EQ(audio::music.lastEffect, audio::MatchEffect);
        for (int i = 0; i < 60 && game::level.board[tiles[1]].face != game::FaceRemoved; ++i) {
            app::RunFrame();
        }
        EXPECT_EQ(game::level.board[tiles[0]].face, game::FaceRemoved);
    }
    ASSERT_EQ(app::loop.ScreenState, app::LevelFinished);
    EXPECT_EQ(game::level.tilesLeft, 0);
    EXPECT_EQ(display::levelButtons[1].sprite, game::LevelFinishedLook);
    EXPECT_EQ(display::levelButtons[2].sprite, game::LevelOpen);
    EXPECT_EQ(display::levelButtons[3].sprite, game::LevelLocked);
    EXPECT_TRUE(audio::IsMusicPlaying(audio::LevelEndMusic));
    EXPECT_EQ(ui::dialogs.levelFinishedButtons.slot[1].picture, 66);

    // Next deals level 2 with its own music.
    ClickSlot(ui::dialogs.levelFinishedButtons, 1);
    EXPECT_EQ(app::loop.ScreenState, app::Dealing);
    EXPECT_EQ(game::level.current, 2);
    EXPECT_FALSE(audio::IsMusicPlaying(audio::LevelEndMusic));
    EXPECT_TRUE(audio::IsMusicPlaying(game::LevelTable()[1].musicTrack));

    app::SaveAndShutdownForTests();
    started_ = false;
    EXPECT_EQ(ReadFile(folders_.game() / "Mnemora.scores"),
              "2\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

// A page resized or a phone turned mid-level: the covering display follows the
// screen, the board is laid out again inside it with every tile and face kept,
// and the level is won as before. A window keeps its size.
TEST_F(PlayTest, AScreenTurnedMidLevelLaysTheBoardOutAgainAndPlayGoesOn) {
    engine::SimulateScreenSize(1280, 720);
    Start("", "", 2);
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    ClickSlot(ui::dialogs.mainMenuButtons, 1);
    ClickLevel(1);
    ASSERT_TRUE(RunUntil(app::Playing, 2 * 7 + 51 + 5));
    std::map<int32_t, std::vector<int>> pairs;
    for (size_t i = 0; i < game::level.board.size(); ++i)
        pairs[game::level.board[i].picture].push_back(static_cast<int>(i));
    auto takePair = [&](const std::vector<int>& tiles) {
        ClickTile(tiles[0]);
        ClickTile(tiles[1]);
        for (int i = 0; i < 60 && game::level.board[tiles[1]].face != game::FaceRemoved; ++i)
            app::RunFrame();
    };
    takePair(pairs.begin()->second);
    const std::vector<game::Tile> before = game::level.board;
    const auto picturesBefore = game::TilePictures;
    const auto pictureNumber = [](const auto& pictures, int32_t sprite) {
        return std::find(pictures.begin(), pictures.end(), sprite) - pictures.begin();
    };

    engine::SimulateScreenSize(720, 1280);
    app::RunFrame();
    EXPECT_EQ(engine::DisplayWidth(), 720);
    EXPECT_EQ(engine::DisplayHeight(), 1280);
    EXPECT_EQ(app::loop.ScreenState, app::Playing);
    const auto& m = display::metrics;
    ASSERT_EQ(game::level.board.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        const game::Tile& t = game::level.board[i];
        // The same picture, as a sprite of the reopened display.
        EXPECT_EQ(pictureNumber(game::TilePictures, t.picture),
                  pictureNumber(picturesBefore, before[i].picture));
        EXPECT_TRUE(engine::SpriteExists(t.picture)) << "tile " << i;
        EXPECT_EQ(t.face, before[i].face);
        EXPECT_EQ(t.right - t.left, m.TileSize);
        EXPECT_TRUE(t.left >= 0 && t.top >= 0 && t.right <= 720 && t.bottom <= 1280)
            << "tile " << i << " at " << t.left << "," << t.top;
    }
    pairs.clear();
    for (size_t i = 0; i < game::level.board.size(); ++i)
        if (game::level.board[i].face == game::FaceDown)
            pairs[game::level.board[i].picture].push_back(static_cast<int>(i));
    for (const auto& [picture, tiles] : pairs)
        takePair(tiles);
    EXPECT_EQ(app::loop.ScreenState, app::LevelFinished);
    engine::SimulateScreenSize(0, 0);
}

TEST_F(PlayTest, LevelTwoLostToTheClockAfterAPauseThatCostNoTime) {
    Start("2\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    ClickSlot(ui::dialogs.mainMenuButtons, 1);
    EXPECT_EQ(game::arrow.x, display::levelButtons[2].hitLeft);
    ClickLevel(2);
    ASSERT_TRUE(RunUntil(app::Playing, 2 * 11 + 51 + 5));
    const int32_t fullBar = display::metrics.ClockBarWidth;
    EXPECT_EQ(game::level.barVisible, fullBar);

    // Pause with Escape, wait, resume with Escape: the bar has not moved.
    app::RunFrame();
    const int32_t before = game::level.barVisible;
    engine::PushKeyEvent(engine::kKeyEscape, 1);
    app::RunFrame();
    engine::PushKeyEvent(engine::kKeyEscape, 0);
    app::RunFrame();
    ASSERT_EQ(app::loop.ScreenState, app::PauseMenu);
    engine::SleepMs(400);
    engine::PushKeyEvent(engine::kKeyEscape, 1);
    app::RunFrame();
    engine::PushKeyEvent(engine::kKeyEscape, 0);
    app::RunFrame();
    ASSERT_EQ(app::loop.ScreenState, app::Playing);
    app::RunFrame();
    EXPECT_LE(before - game::level.barVisible, 1);

    // Let the clock run out: the level's start moves a whole limit back.
    game::level.startTime -= game::level.timeLimit;
    app::RunFrame();
    ASSERT_EQ(app::loop.ScreenState, app::LevelFailed);
    EXPECT_EQ(game::level.boardInput, 0);
    EXPECT_TRUE(audio::IsMusicPlaying(audio::LevelEndMusic));
    EXPECT_EQ(ui::dialogs.levelFailedButtons.slot[1].picture, 70);

    // Retry deals the same level again; Menu from the pause dialog's leave
    // confirmation goes back to the main menu with its music.
    ClickSlot(ui::dialogs.levelFailedButtons, 1);
    EXPECT_EQ(app::loop.ScreenState, app::Dealing);
    EXPECT_EQ(game::level.current, 2);
    ASSERT_TRUE(RunUntil(app::Playing, 2 * 11 + 51 + 5));
    engine::PushKeyEvent(engine::kKeyEscape, 1);
    app::RunFrame();
    engine::PushKeyEvent(engine::kKeyEscape, 0);
    app::RunFrame();
    ASSERT_EQ(app::loop.ScreenState, app::PauseMenu);
    ClickSlot(ui::dialogs.pauseButtons, 3);
    ASSERT_EQ(app::loop.ScreenState, app::LeaveConfirm);
    ClickSlot(ui::dialogs.leaveButtons, 1);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_TRUE(audio::IsMusicPlaying(audio::MenuMusic));

    app::SaveAndShutdownForTests();
    started_ = false;
    // A lost level changes no progress.
    EXPECT_EQ(ReadFile(folders_.game() / "Mnemora.scores"),
              "2\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

// The same win without the mouse: the arrows and Enter from the main menu,
// Space on the board.
TEST_F(PlayTest, LevelOneWonWithKeysOnly) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    TapKey(kDown);  // the first move only shows the focus, on Start
    EXPECT_EQ(ui::keyFocus.shown, 1);
    EXPECT_EQ(ui::dialogs.mainMenuButtons.slot[1].picture, 25);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::LevelSelect);
    EXPECT_EQ(game::focus.level, 1);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::Dealing);
    PlayLevelWith([&](int dx, int dy) { TapKey(Arrow(dx, dy)); }, [&] { TapKey(kSpace); });
    ASSERT_EQ(app::loop.ScreenState, app::LevelFinished);
    EXPECT_EQ(display::levelButtons[2].sprite, game::LevelOpen);
    EXPECT_EQ(ui::dialogs.levelFinishedButtons.slot[1].picture, 67);  // Next, focused
    TapKey(kEnter);
    EXPECT_EQ(app::loop.ScreenState, app::Dealing);
    EXPECT_EQ(game::level.current, 2);
}

// And with a controller only, attached while the game runs: the D-pad and the
// left stick move, a held direction repeats, A presses.
TEST_F(PlayTest, LevelOneWonWithAControllerOnly) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const int pad = engine::AttachVirtualController();
    ASSERT_GT(pad, 0);
    app::RunFrame();
    EXPECT_EQ(engine::ControllerCount(), 1);

    // Held down: one move at once, the next only after 300 ms, then every 120.
    TapPad(pad, engine::kPadDown);  // shows the focus on Start
    engine::SetVirtualControllerButton(pad, engine::kPadDown, 1);
    const int64_t held = engine::ElapsedMs();
    while (engine::ElapsedMs() - held < 150) {
        app::RunFrame();
        engine::SleepMs(10);
    }
    EXPECT_EQ(ui::dialogs.mainMenuButtons.focus, 2);
    while (engine::ElapsedMs() - held < 560) {
        app::RunFrame();
        engine::SleepMs(10);
    }
    EXPECT_GE(ui::dialogs.mainMenuButtons.focus, 4);
    engine::SetVirtualControllerButton(pad, engine::kPadDown, 0);
    app::RunFrame();
    for (int i = 0; i < 4; ++i) {
        engine::SetVirtualControllerStick(pad, 0, -32000);
        app::RunFrame();
        engine::SetVirtualControllerStick(pad, 0, 0);
        app::RunFrame();
    }
    EXPECT_EQ(ui::dialogs.mainMenuButtons.focus, 1);

    TapPad(pad, engine::kPadA);
    ASSERT_EQ(app::loop.ScreenState, app::LevelSelect);
    TapPad(pad, engine::kPadA);
    ASSERT_EQ(app::loop.ScreenState, app::Dealing);
    // Rows with the stick, along them with the D-pad.
    PlayLevelWith(
        [&](int dx, int dy) {
            if (dy != 0) {
                engine::SetVirtualControllerStick(pad, 0, dy * 30000);
                app::RunFrame();
                engine::SetVirtualControllerStick(pad, 0, 0);
                app::RunFrame();
            } else {
                TapPad(pad, dx < 0 ? engine::kPadLeft : engine::kPadRight);
            }
        },
        [&] { TapPad(pad, engine::kPadA); });
    ASSERT_EQ(app::loop.ScreenState, app::LevelFinished);
    EXPECT_EQ(display::levelButtons[1].sprite, game::LevelFinishedLook);

    // Unplugged while A is held: the release is not a press.
    engine::SetVirtualControllerButton(pad, engine::kPadA, 1);
    app::RunFrame();
    EXPECT_EQ(engine::DetachVirtualController(pad), 1);
    app::RunFrame();
    app::RunFrame();
    EXPECT_EQ(engine::ControllerCount(), 0);
    EXPECT_EQ(app::loop.ScreenState, app::LevelFinished);
}

}  // namespace
