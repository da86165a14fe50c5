// The board: the level table, dealing a level, and the rules of a turn and of
// the level clock.
//
// A level is dealt by SetUpLevel (deck of pairs, shuffled, laid out column by
// column) and fades in tile by tile in DealStep; then PlayStep resolves each
// completed pair (a match fades out and leaves, a mismatch stays up for 81
// frames and turns back) and runs the clock, whose bar shrinks until the level
// is lost. Clicks turn face-down tiles up, at most two per turn.
#include <algorithm>

#include "app/state.h"
#include "audio/audio.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/system.h"
#include "game/game.h"

namespace game {

LevelState level;
std::array<int32_t, 20> TilePictures{};

namespace {

// A mismatched pair turns back once the counter is above this: it stays up for
// 81 passes after the pair is complete and turns down on the 82nd.
constexpr int32_t kMismatchFrames = 80;
constexpr int32_t kDealOpacityStep = 5;
constexpr int32_t kFullOpacity = 255;

bool InPlay() {
    return app::loop.ScreenState == app::Playing && level.boardInput == 1;
}

bool StrictlyInside(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right,
                    int32_t bottom) {
    return left < x && x < right && top < y && y < bottom;
}

Tile& FirstTile() {
    return TileAt(level.firstColumn, level.firstRow);
}
Tile& SecondTile() {
    return TileAt(level.secondColumn, level.secondRow);
}

void EndTurn() {
    level.revealed = 0;
    level.matchFade = kFullOpacity;
    level.turnSound = 0;
}

// The level-end music replaces the level's track.
void StartLevelEndMusic() {
    if (app::settings.Music != 1) return;
    audio::StopMusic(level.musicTrack, audio::music.musicChannel);
    audio::StartMusic(audio::LevelEndMusic);
}

void WinLevel() {
    MarkLevelWon(level.current);
    // Written now, not only at quit: a crash or a power cut keeps the win.
    SaveProgress(app::folders.SaveFolder);
    level.boardInput = 0;
    StartLevelEndMusic();
    EnterMenuScreen(app::LevelFinished);
}

void ResolveMatch() {
    Tile& first = FirstTile();
    Tile& second = SecondTile();
    if (level.turnSound == 0) {
        audio::PlayEffect(audio::MatchEffect, app::settings.MusicVolume);
        level.turnSound = 1;
    }
    if (level.matchFade == kFullOpacity) {
        // Drawing lowers the shared fade from now on.
        first.face = FaceFading;
        second.face = FaceFading;
    } else if (level.matchFade <= 0) {
        first.face = FaceRemoved;
        second.face = FaceRemoved;
        EndTurn();
        level.tilesLeft -= 2;
        if (level.tilesLeft <= 0) WinLevel();
    }
}

void ResolveMismatch() {
    if (level.turnSound == 0) {
        audio::PlayEffect(audio::MismatchEffect, app::settings.MusicVolume);
        level.turnSound = 1;
    }
    // The loop's frame counter times the delay; it is 0 whenever no mismatch
    // is showing (the splash slide and every turn-back leave it there).
    int32_t& counter = app::loop.frameCounter;
    if (counter > kMismatchFrames) {
        FirstTile().face = FaceDown;
        SecondTile().face = FaceDown;
        counter = 0;
        EndTurn();
    } else {
        ++counter;
    }
}

void ResolveTurn() {
    if (level.revealed != 2) return;
    if (FirstTile().picture == SecondTile().picture) {
        ResolveMatch();
    } else {
        ResolveMismatch();
    }
}

void RunClock(int64_t nowMs) {
    level.remaining = level.timeLimit - (nowMs - level.startTime);
    const int32_t visible = UpdateClockBar(level.remaining);
    if (visible > display::metrics.HudUnit / 4) return;

    // Time is up. A matched pair still on its way out leaves with the level.
    const bool pairFading =
        level.matchFade != kFullOpacity || (level.revealed == 2 && FirstTile().face == FaceFading);
    if (pairFading) {
        FirstTile().face = FaceRemoved;
        SecondTile().face = FaceRemoved;
        EndTurn();
    }
    level.boardInput = 0;
    EnterMenuScreen(app::LevelFailed);
    StartLevelEndMusic();
}

}  // namespace

const std::array<LevelSpec, kLevelCount>& LevelTable() {
    // From level 5 on, levels of one size come in pairs, the later with 20
    // seconds less.
    static const std::array<LevelSpec, kLevelCount> table{{
        {4, 2, 8, 100000, 1},
        {4, 3, 12, 120000, 2},
        {4, 4, 16, 140000, 3},
        {5, 4, 20, 160000, 1},
        {6, 4, 24, 200000, 2},
        {6, 4, 24, 180000, 3},
        {6, 5, 30, 240000, 1},
        {6, 5, 30, 220000, 2},
        {8, 4, 32, 280000, 3},
        {8, 4, 32, 260000, 1},
        {8, 5, 40, 320000, 2},
        {8, 5, 40, 300000, 3},
    }};
    return table;
}

Tile& TileAt(int32_t column, int32_t row) {
    return level.board[static_cast<size_t>(column * level.rows + row)];
}

int32_t FindTileAt(int32_t x, int32_t y) {
    for (size_t i = 0; i < level.board.size(); ++i) {
        const Tile& t = level.board[i];
        if (StrictlyInside(x, y, t.left, t.top, t.right, t.bottom)) return static_cast<int32_t>(i);
    }
    return -1;
}

namespace {

// Centred on the board centre, the extent counted as one tile and one gap per
// column (or row) less a pixel: the board sits about half a gap right of and
// below the exact centre, where the layout has always put it.
void PlaceTiles() {
    const auto& m = display::metrics;
    const int32_t T = m.TileSize;
    const int32_t G = m.TileGap;
    const int32_t left0 = m.BoardCentreX - (T * level.columns + G * level.columns - 1) / 2;
    const int32_t top0 = m.BoardCentreY - (T * level.rows + G * level.rows - 1) / 2;
    for (int32_t c = 0; c < level.columns; ++c) {
        for (int32_t r = 0; r < level.rows; ++r) {
            Tile& t = TileAt(c, r);
            t.left = left0 + (T + G) * c;
            t.top = top0 + (T + G) * r;
            t.right = t.left + T;
            t.bottom = t.top + T;
        }
    }
}

}  // namespace

void LayOutBoardAgain(const std::array<int32_t, 20>& picturesBefore) {
    if (level.board.size() != static_cast<size_t>(level.columns * level.rows)) return;
    // A sprite number is never given out twice: the board's old numbers would
    // draw nothing.
    const auto renumber = [&](int32_t& sprite) {
        for (size_t n = 0; n < picturesBefore.size(); ++n) {
            if (picturesBefore[n] == sprite) {
                sprite = TilePictures[n];
                return;
            }
        }
    };
    for (Tile& t : level.board)
        renumber(t.picture);
    for (int32_t& sprite : level.deck)
        renumber(sprite);
    PlaceTiles();
    SizeGameSprites();
    UpdateClockBar(level.remaining);
}

void SetUpLevel(bool withMusic) {
    auto& m = display::metrics;
    const int32_t number = std::clamp(level.current, 1, kLevelCount);
    const LevelSpec& spec = LevelTable()[static_cast<size_t>(number - 1)];
    level.current = number;
    level.columns = spec.columns;
    level.rows = spec.rows;
    level.tilesLeft = spec.tiles;
    level.timeLimit = spec.timeLimitMs;
    level.musicTrack = spec.musicTrack;

    // Pairs in picture order, then shuffled twice.
    level.board.assign(static_cast<size_t>(spec.tiles), Tile{});
    level.deck.assign(static_cast<size_t>(spec.tiles), 0);
    for (int32_t i = 0; i < spec.tiles; ++i)
        level.deck[static_cast<size_t>(i)] = TilePictures[static_cast<size_t>(i / 2)];
    engine::ShuffleArray(level.deck);
    engine::ShuffleArray(level.deck);

    int32_t k = 0;
    for (int32_t c = 0; c < spec.columns; ++c) {
        for (int32_t r = 0; r < spec.rows; ++r, ++k) {
            Tile& t = TileAt(c, r);
            t.face = FaceDown;
            t.picture = level.deck[static_cast<size_t>(k)];
            t.dealDelay = 2 * k;
            t.dealOpacity = 0;
        }
    }
    PlaceTiles();

    // The clock bar shows full until play starts.
    SizeGameSprites();
    engine::SetSpriteSourceRect(SpriteClockFront, -1, -1, -1, -1);
    engine::SetSpriteSize(SpriteClockFront, m.ClockBarWidth, m.HudUnit);
    level.barVisible = m.ClockBarWidth;
    level.barSourceX = 0;
    level.barSourceWidth = engine::SpriteDrawWidth(SpriteClockFront);
    level.remaining = level.timeLimit;

    if (withMusic) audio::StartMusic(level.musicTrack);

    level.revealed = 0;
    level.matchFade = kFullOpacity;
    level.turnSound = 0;
    // A mismatch left showing by a restart, a leave or a time-out would
    // otherwise shorten the new level's first one.
    app::loop.frameCounter = 0;
    level.pauseSprite = SpritePause;
    // Board input stays off until the last tile has faded in.
    level.boardInput = 0;
    app::loop.ScreenState = app::Dealing;
}

void DealStep() {
    DealStepAt(engine::ElapsedMs());
}

void DealStepAt(int64_t nowMs) {
    if (app::loop.ScreenState != app::Dealing || level.board.empty()) return;
    if (level.board.back().dealOpacity < kFullOpacity) {
        for (Tile& t : level.board) {
            if (t.dealDelay == 0) {
                if (t.dealOpacity < kFullOpacity) t.dealOpacity += kDealOpacityStep;
            } else {
                --t.dealDelay;
            }
        }
        return;
    }
    level.startTime = nowMs;
    level.remaining = level.timeLimit;
    level.boardInput = 1;
    app::loop.ScreenState = app::Playing;
}

void BoardClick(int32_t x, int32_t y) {
    if (!InPlay()) return;
    const auto& m = display::metrics;
    if (StrictlyInside(x, y, m.PauseButtonLeft, m.PauseButtonTop, m.PauseButtonLeft + m.HudUnit,
                       m.PauseButtonTop + m.HudUnit)) {
        BeginPause();
        audio::PlayEffect(audio::ClickEffect, app::settings.MusicVolume);
        EnterMenuScreen(app::PauseMenu);
        return;
    }
    // Two tiles up (showing a mismatch or fading as a match): wait.
    if (level.revealed >= 2) return;
    for (int32_t c = 0; c < level.columns; ++c) {
        for (int32_t r = 0; r < level.rows; ++r) {
            Tile& t = TileAt(c, r);
            if (t.face != FaceDown || !StrictlyInside(x, y, t.left, t.top, t.right, t.bottom))
                continue;
            t.face = FaceUp;
            if (level.revealed == 0) {
                level.firstColumn = c;
                level.firstRow = r;
            } else {
                level.secondColumn = c;
                level.secondRow = r;
            }
            ++level.revealed;
            return;  // tiles never overlap
        }
    }
}

void PlayStep() {
    PlayStepAt(engine::ElapsedMs());
}

void PlayStepAt(int64_t nowMs) {
    if (!InPlay()) return;
    ResolveTurn();
    // A win ends the level in this pass; the clock is not consulted.
    if (!InPlay()) return;
    RunClock(nowMs);
}

void HoverPauseButton(int32_t x, int32_t y) {
    if (!InPlay()) return;
    const auto& m = display::metrics;
    level.pauseSprite = StrictlyInside(x, y, m.PauseButtonLeft, m.PauseButtonTop,
                                       m.PauseButtonLeft + m.HudUnit, m.PauseButtonTop + m.HudUnit)
                            ? SpritePauseActive
                            : SpritePause;
}

void BeginPause() {
    BeginPauseAt(engine::ElapsedMs());
}

void BeginPauseAt(int64_t nowMs) {
    level.pauseStart = nowMs;
}

void ResumeFromPause() {
    ResumeFromPauseAt(engine::ElapsedMs());
}

void ResumeFromPauseAt(int64_t nowMs) {
    level.startTime += nowMs - level.pauseStart;
    app::loop.ScreenState = app::Playing;
}

}  // namespace game
