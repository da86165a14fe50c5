// Game screen benchmark: the CPU time of one frame of play at 1920 x 1080 with
// 40 tiles (level 11), counting the game's own work (hover test, the draw calls
// of the whole game screen, turn resolution and the clock) and not the
// renderer's work in presenting the frame. Pairs are turned all along, so
// matches fade and mismatches wait as in real play. Target: under 0.5 ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/state.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/system.h"
#include "game/game.h"

namespace {

using Clock = std::chrono::steady_clock;

void MakeSprites() {
    const auto& m = display::metrics;
    engine::CreateBlankSprite(game::SpriteGameBack, m.ScreenWidth, m.ScreenHeight);
    for (int s : {80, 81, 82, 88})
        engine::CreateBlankSprite(s, 128, 128);
    engine::CreateBlankSprite(game::SpriteClockBack, 681, 64);
    engine::CreateBlankSprite(game::SpriteClockFront, 681, 64);
    for (int k = 0; k < 20; ++k) {
        game::TilePictures[k] = 101 + k;
        engine::CreateBlankSprite(101 + k, 256, 256);
    }
}

void Deal() {
    game::level.current = 11;
    game::SetUpLevel(false);
    while (app::loop.ScreenState == app::Dealing)
        game::DealStepAt(0);
}

// Turns two tiles when none are up: a matching pair and a mismatched one by
// turns.
void TurnPair(bool match) {
    auto& board = game::level.board;
    int first = -1, second = -1;
    for (size_t i = 0; i < board.size() && second < 0; ++i) {
        if (board[i].face != game::FaceDown) continue;
        if (first < 0) {
            first = static_cast<int>(i);
        } else if ((board[i].picture == board[first].picture) == match) {
            second = static_cast<int>(i);
        }
    }
    for (int i : {first, second}) {
        if (i < 0) continue;
        game::BoardClick((board[i].left + board[i].right) / 2,
                         (board[i].top + board[i].bottom) / 2);
    }
}

}  // namespace

int main() {
    if (!engine::InitSpriteSystem() ||
        !engine::OpenExclusiveDisplay(1920, 1080, 32, "Mnemora bench", 0)) {
        std::printf("game frame: no display could be opened\n");
        return 1;
    }
    engine::SetFramePacing(false);
    auto& m = display::metrics;
    m.ScreenWidth = 1920;
    m.ScreenHeight = 1080;
    m.AspectClass = display::ClassifyAspect(1920, 1080);
    display::ComputeLayout();
    MakeSprites();
    app::settings.Music = 0;
    app::settings.Sounds = 0;
    Deal();

    const int frames = 3000;
    std::vector<double> times;
    times.reserve(frames);
    double presenting = 0;
    bool match = false;
    for (int f = 0; f < frames; ++f) {
        if (app::loop.ScreenState != app::Playing) Deal();
        const auto start = Clock::now();
        game::HoverPauseButton(f % 1920, 500);
        game::DrawGameScreen();
        game::PlayStepAt(f * 16);
        if (game::level.revealed == 0) {
            TurnPair(match);
            match = !match;
        }
        const auto drawn = Clock::now();
        engine::FlipFrame();
        presenting += std::chrono::duration<double>(Clock::now() - drawn).count();
        times.push_back(std::chrono::duration<double>(drawn - start).count());
    }
    std::sort(times.begin(), times.end());
    double total = 0;
    for (double t : times)
        total += t;
    std::printf(
        "game frame, 40 tiles at 1920 x 1080: mean %.1f us, median %.1f us, 99th percentile "
        "%.1f us of game work per frame (target < 500 us); presenting %.0f us per frame\n",
        total / frames * 1e6, times[frames / 2] * 1e6, times[frames * 99 / 100] * 1e6,
        presenting / frames * 1e6);
    engine::CloseDisplay();
    engine::ShutdownSpriteSystem();
    return 0;
}
