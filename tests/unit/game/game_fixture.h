// Test helpers for game play and audio: a fresh game state at a given screen
// size, the nine sounds as short generated WAV data, a display on SDL's dummy
// driver with solid-colour sprites, pixel read-back, and a dealt board with
// ways to find its tiles and pairs.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "engine/object_table.h"
#include "engine/sound.h"
#include "engine/system.h"
#include "game/game.h"
#include "scratch_dir.h"

namespace game_test {

// This test program's save folder: a win writes the progress file there.
inline const std::string& SaveFolder() {
    static const std::string folder = test_support::ScratchDir("mnemora-game-").string() + "/";
    return folder;
}

// The tile pictures' sprite numbers in tests: picture k (0..19) is 101 + k.
inline constexpr int32_t kFirstPicture = 101;

// Every piece of game and audio state back to its start, the layout computed
// for a w x h screen and the tile pictures numbered.
inline void ResetGame(int w = 1920, int h = 1080) {
    game::level = {};
    game::arrow = {};
    app::loop = {};
    app::settings = {};
    app::folders = {};
    app::folders.SaveFolder = SaveFolder();
    audio::music = {};
    display::metrics = {};
    display::levelButtons = {};
    display::metrics.ScreenWidth = w;
    display::metrics.ScreenHeight = h;
    display::metrics.AspectClass = display::ClassifyAspect(w, h);
    display::ComputeLayout();
    for (int k = 0; k < 20; ++k)
        game::TilePictures[static_cast<size_t>(k)] = kFirstPicture + k;
    for (int n = 1; n <= 12; ++n)
        display::levelButtons[static_cast<size_t>(n)].sprite =
            n == 1 ? game::LevelOpen : game::LevelLocked;
    engine::SeedRandom(20240611);
}

// A mono 16-bit WAV of a quiet tone, long enough to be still playing when a
// test asks (no audio device drains it unless one is started).
inline std::vector<uint8_t> ToneWav(double seconds, double hz) {
    const int rate = 8000;
    const auto frames = static_cast<uint32_t>(seconds * rate);
    std::vector<uint8_t> w;
    auto put32 = [&w](uint32_t x) {
        for (int i = 0; i < 4; ++i)
            w.push_back(static_cast<uint8_t>(x >> (8 * i)));
    };
    auto put16 = [&w](uint32_t x) {
        w.push_back(static_cast<uint8_t>(x));
        w.push_back(static_cast<uint8_t>(x >> 8));
    };
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    put32(36 + frames * 2);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    put32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i)
        put16(static_cast<uint16_t>(static_cast<int16_t>(3000 * std::sin(0.01 * hz * i))));
    return w;
}

// Sounds 0..8 as the game numbers them.
inline void LoadSounds() {
    for (int sound = 0; sound <= 8; ++sound) {
        const auto wav = ToneWav(2.0, 200 + 50 * sound);
        ASSERT_EQ(engine::DecodeSound(sound, wav.data(), static_cast<int64_t>(wav.size())), 1);
    }
}

inline bool Playing(int sound, int channel) {
    return channel != 0 && engine::QuerySoundState(sound, channel) == 1;
}

// ---- Display and pixels -----------------------------------------------------

inline int OpenDisplay(int w, int h) {
    if (engine::InitSpriteSystem() != 1) return 0;
    engine::SetFramePacing(false);
    return engine::OpenExclusiveDisplay(w, h, 32, "Mnemora", 0);
}

// A sprite of natural size w x h filled with one opaque colour.
inline void SolidSprite(int number, int w, int h, int r, int g, int b) {
    ASSERT_EQ(engine::CreateBlankSprite(number, w, h), 1);
    engine::BeginCanvas(engine::SpriteCanvas(number));
    engine::SetCanvasMode(engine::kCanvasAlphaBlend);
    engine::FillCanvasRect(0, 0, w, h, engine::PackRGBA(r, g, b, 255));
    engine::EndCanvas();
}

// The sprites the game screen draws: a black background, grey HUD pictures, a
// blue tile back and white tile pictures, each at a natural size of its own.
inline void MakeGameSprites() {
    const auto& m = display::metrics;
    SolidSprite(game::SpriteGameBack, m.ScreenWidth, m.ScreenHeight, 0, 0, 0);
    for (int s : {80, 81, 82, 86})
        SolidSprite(s, 64, 64, 128, 128, 128);
    SolidSprite(game::SpriteClockFront, 681, 64, 0, 255, 0);
    SolidSprite(game::SpriteTileBack, 100, 100, 0, 0, 255);
    for (int k = 0; k < 20; ++k)
        SolidSprite(kFirstPicture + k, 100, 100, 255, 255, 255);
}

// Blue, green, red, alpha of one pixel of the frame drawn so far.
struct Pixel {
    int b = -1, g = -1, r = -1, a = -1;
};
inline Pixel ReadPixel(int x, int y) {
    Pixel p;
    const int sprite = engine::CaptureScreenToSprite(engine::AutoId, x, y, 1, 1);
    if (!sprite) return p;
    const std::string file =
        (std::filesystem::temp_directory_path() / "mnemora_game_pixel.bmp").string();
    if (engine::SaveSpriteAsBitmap(sprite, file)) {
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        if (bytes.size() >= 14) {
            const uint32_t offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16 |
                                    static_cast<uint32_t>(bytes[13]) << 24;
            if (bytes.size() >= offset + 4)
                p = {bytes[offset], bytes[offset + 1], bytes[offset + 2], bytes[offset + 3]};
        }
        std::remove(file.c_str());
    }
    engine::ReleaseSprite(sprite);
    return p;
}

// ---- A dealt board ------------------------------------------------------------

inline constexpr int64_t kDealEnd = 1000;  // the time dealing ends in tests

// Deals level n without music and runs the deal to its end at kDealEnd.
inline void DealLevel(int n) {
    game::level.current = n;
    game::SetUpLevel(false);
    for (int i = 0; i < 1000 && app::loop.ScreenState == app::Dealing; ++i)
        game::DealStepAt(kDealEnd);
}

inline std::pair<int32_t, int32_t> Centre(size_t index) {
    const game::Tile& t = game::level.board[index];
    return {(t.left + t.right) / 2, (t.top + t.bottom) / 2};
}

inline void ClickTile(size_t index) {
    auto [x, y] = Centre(index);
    game::BoardClick(x, y);
}

// The board indexes of the two tiles of a picture still on the board.
inline std::pair<size_t, size_t> PairOf(int32_t picture) {
    std::vector<size_t> found;
    for (size_t i = 0; i < game::level.board.size(); ++i) {
        if (game::level.board[i].picture == picture &&
            game::level.board[i].face != game::FaceRemoved)
            found.push_back(i);
    }
    return found.size() == 2 ? std::make_pair(found[0], found[1])
                             : std::make_pair(size_t{0}, size_t{0});
}

// Two face-down tiles with different pictures.
inline std::pair<size_t, size_t> MismatchedPair() {
    const auto& board = game::level.board;
    for (size_t j = 1; j < board.size(); ++j) {
        if (board[j].picture != board[0].picture) return {0, j};
    }
    return {0, 0};
}

// One frame of play as the loop runs it: the drawing (which lowers the match
// fade), then the rules.
inline void Frame(int64_t now) {
    game::DrawGameScreen();
    game::PlayStepAt(now);
}

}  // namespace game_test
