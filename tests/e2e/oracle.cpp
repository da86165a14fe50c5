#include "oracle.h"

#include "app/shell.h"
#include "app/state.h"
#include "engine/display.h"
#include "engine/system.h"
#include "engine/testing/synthetic_events.h"
#include "game/game.h"
#include "integration/shell_fixture.h"

namespace e2e {

namespace {

bool RunUntil(int32_t state, int limit) {
    for (int i = 0; i < limit && app::loop.ScreenState != state; ++i)
        app::RunFrame();
    return app::loop.ScreenState == state;
}

// One frame drawn in the given state, captured.
bool Capture(const fs::path& folder, Picture* picture) {
    app::RunFrame();
    const auto& m = display::metrics;
    const fs::path file = folder / "oracle.bmp";
    if (!engine::CaptureScreenToSprite(0, 0, 0, m.ScreenWidth, m.ScreenHeight)) return false;
    if (!engine::SaveSpriteAsBitmap(0, file.string(), engine::kBitmapOpaque)) return false;
    const bool ok = ReadBitmap(file, picture);
    fs::remove(file);
    return ok;
}

bool CaptureOverlay(int32_t state, const fs::path& folder, Picture* picture) {
    ui::EnterScreen(state);
    return Capture(folder, picture);
}

}  // namespace

bool BuildOracle(const std::string& language, const std::string& progress, Oracle* oracle,
                 std::string* error, const OracleScreen& screen) {
    if (!shell_test::HaveGameData()) {
        *error = "no game data in MNEMORA_GAME_DIR";
        return false;
    }
    shell_test::ScratchFolders folders;
    engine::SetFramePacing(false);
    const std::string mode = screen.covered ? "2" : "1";
    if (screen.covered) engine::SimulateScreenSize(screen.width, screen.height);
    shell_test::WriteFile(folders.game() / "Mnemora.prefs",
                          "[Settings]\r\nLanguage = " + language + "\r\nGameScreen = " + mode +
                              "\r\nResolution = " + std::to_string(kResolutionIndex) + "\r\n");
    if (!progress.empty()) shell_test::WriteFile(folders.game() / "Mnemora.scores", progress);
    app::StartOptions options;
    options.gameFolder = folders.gameFolder();
    app::StartGame(options);

    bool ok = RunUntil(app::MainMenu, 2000);
    if (!ok) *error = "the in-process game did not reach the main menu";
    ok = ok && Capture(folders.game(), &oracle->mainMenu);
    if (ok) {
        oracle->metrics = display::metrics;
        oracle->dialogs = ui::dialogs;
        for (int32_t n = 1; n <= game::kLevelCount; ++n) {
            game::level.current = n;
            game::SetUpLevel(false);
            std::vector<Rect>& rects = oracle->tiles[n];
            for (const game::Tile& t : game::level.board)
                rects.push_back({t.left, t.top, t.right, t.bottom});
        }
        // The overlays drawn over a dealt level 12.
        ok = CaptureOverlay(app::LevelFinished, folders.game(), &oracle->levelFinished) &&
             CaptureOverlay(app::LevelFailed, folders.game(), &oracle->levelFailed) &&
             CaptureOverlay(app::GameCompleted, folders.game(), &oracle->gameCompleted) &&
             CaptureOverlay(app::PauseMenu, folders.game(), &oracle->pauseMenu);
        game::OpenLevelSelect();
        oracle->levels = display::levelButtons;
        ok = ok && Capture(folders.game(), &oracle->levelSelect);
        game::arrow.shown = 0;
        ok = ok && Capture(folders.game(), &oracle->levelSelectNoArrow);
        if (!ok) *error = "a reference frame could not be captured";
    }
    app::ShutdownForTests();
    if (screen.covered) engine::SimulateScreenSize(0, 0);
    return ok;
}

}  // namespace e2e
