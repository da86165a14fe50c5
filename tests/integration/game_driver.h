// Drives the real game in-process on SDL's dummy drivers: start-up in a
// scratch game folder, frames stepped without pacing, clicks and keys pushed as
// SDL events, and the pairs of a level found from the board.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/input.h"
#include "engine/system.h"
#include "engine/testing/synthetic_events.h"
#include "game/game.h"
#include "shell_fixture.h"
#include "ui/ui.h"

namespace shell_test {

class GameDriver : public ::testing::Test {
  protected:
    void Start(const std::string& progress = "", const std::string& settings = "",
               int gameScreen = 1) {
        if (!HaveGameData()) GTEST_SKIP() << "no game data in MNEMORA_GAME_DIR";
        engine::SetFramePacing(false);
        engine::SeedRandom(12345);
        WriteFile(
            folders_.game() / "Mnemora.prefs",
            "[Settings]\r\nLanguage = en_GB\r\nGameScreen = " + std::to_string(gameScreen) +
                "\r\nResolution = 0\r\n" + settings);
        if (!progress.empty()) WriteFile(folders_.game() / "Mnemora.scores", progress);
        app::StartOptions options;
        options.gameFolder = folders_.gameFolder();
        app::StartGame(options);
        started_ = true;
    }
    void TearDown() override {
        if (started_) app::ShutdownForTests();
    }

    // Frames until the state is reached; false after `limit` frames.
    bool RunUntil(int32_t state, int limit) {
        for (int i = 0; i < limit && app::loop.ScreenState != state; ++i)
            app::RunFrame();
        return app::loop.ScreenState == state;
    }

    // A click as the window delivers it: the pointer moves there (the hover is
    // taken in that frame), then the left button goes down and up.
    void ClickAt(int x, int y) {
        engine::PushMouseMotion(0, x, y, 0, 0);
        app::RunFrame();
        engine::PushMouseButton(0, 1, 1, x, y);
        engine::PushMouseButton(0, 1, 0, x, y);
        app::RunFrame();
    }
    void ClickSlot(const ui::ButtonSet& set, int n) {
        const ui::ButtonSlot& s = set.slot[n];
        ClickAt((s.left + s.right) / 2, (s.top + s.bottom) / 2);
    }
    void ClickLevel(int n) {
        const display::LevelButton& b = display::levelButtons[n];
        ClickAt((b.hitLeft + b.hitRight) / 2, (b.hitTop + b.hitBottom) / 2);
    }
    void ClickTile(int index) {
        const game::Tile& t = game::level.board[index];
        ClickAt((t.left + t.right) / 2, (t.top + t.bottom) / 2);
    }

    void TapKey(int scanCode) {
        engine::PushKeyEvent(scanCode, 1);
        app::RunFrame();
        engine::PushKeyEvent(scanCode, 0);
        app::RunFrame();
    }

    // The keys that move and press the focus.
    static constexpr int kUp = engine::kKeyUp, kDown = engine::kKeyDown;
    static constexpr int kLeft = engine::kKeyLeft, kRight = engine::kKeyRight;
    static constexpr int kTab = engine::kKeyTab, kEnter = engine::kKeyEnter;
    static constexpr int kSpace = engine::kKeySpace, kShift = engine::kKeyLeftShift;
    static int Arrow(int dx, int dy) {
        return dy < 0 ? kUp : dy > 0 ? kDown : dx < 0 ? kLeft : kRight;
    }
    // A controller button held for a frame, then let go for one.
    void TapPad(int controller, int padEntry) {
        engine::SetVirtualControllerButton(controller, padEntry, 1);
        app::RunFrame();
        engine::SetVirtualControllerButton(controller, padEntry, 0);
        app::RunFrame();
    }

    // Plays the dealt level to its end without the mouse: for each tile of
    // each pair, `move` (dx, dy) steps the focus there, rows first, then along
    // the row, and `press` turns it.
    void PlayLevelWith(const std::function<void(int, int)>& move,
                       const std::function<void()>& press) {
        ASSERT_TRUE(RunUntil(app::Playing, 2 * 40 + 51 + 5));
        std::map<int32_t, std::vector<int>> pairs;
        for (size_t i = 0; i < game::level.board.size(); ++i) {
            pairs[game::level.board[i].picture].push_back(static_cast<int>(i));
        }
        for (const auto& [picture, tiles] : pairs) {
            for (int tile : tiles) {
                const game::Tile& target = game::level.board[tile];
                for (int i = 0; i < 16 && game::focus.tile != tile; ++i) {
                    const game::Tile& at = game::level.board[game::focus.tile];
                    if (at.top != target.top) {
                        move(0, target.top > at.top ? 1 : -1);
                    } else {
                        move(target.left > at.left ? 1 : -1, 0);
                    }
                }
                ASSERT_EQ(game::focus.tile, tile);
                press();
                ASSERT_EQ(game::level.board[tile].face, game::FaceUp);
            }
            for (int i = 0; i < 60 && game::level.board[tiles[1]].face != game::FaceRemoved; ++i) {
                app::RunFrame();
            }
        }
    }

    // Plays the dealt level to its end, pair after pair, from the board.
    void PlayLevelToTheEnd() {
        ASSERT_TRUE(RunUntil(app::Playing, 2 * 40 + 51 + 5));
        std::map<int32_t, std::vector<int>> pairs;
        for (size_t i = 0; i < game::level.board.size(); ++i) {
            pairs[game::level.board[i].picture].push_back(static_cast<int>(i));
        }
        for (const auto& [picture, tiles] : pairs) {
            ASSERT_EQ(tiles.size(), 2u);
            ClickTile(tiles[0]);
            ClickTile(tiles[1]);
            for (int i = 0; i < 60 && game::level.board[tiles[1]].face != game::FaceRemoved; ++i) {
                app::RunFrame();
            }
        }
    }

    ScratchFolders folders_;
    bool started_ = false;
};

}  // namespace shell_test
