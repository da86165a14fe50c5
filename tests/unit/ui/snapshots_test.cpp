// Pictures of every menu screen and dialog for a person to look at: with
// MNEMORA_UI_SNAPSHOTS naming a folder, each screen is drawn at 1920 x 1080
// and 1024 x 768 in English and German, at 1280 x 1024 and on the portrait
// 1080 x 1920 and 1200 x 1920, and saved there as a BMP, together with the
// panel pictures at their natural size. Skipped otherwise.
#include "ui_fixture.h"

namespace {

class SnapshotsTest : public uitest::UiTest,
                      public ::testing::WithParamInterface<std::tuple<int, int, const char*>> {};

TEST_P(SnapshotsTest, EveryScreen) {
    const std::string folder = uitest::Env("MNEMORA_UI_SNAPSHOTS");
    if (folder.empty()) GTEST_SKIP() << "set MNEMORA_UI_SNAPSHOTS to a folder";
    const auto [w, h, code] = GetParam();
    languages.Load(code);
    OpenScreen(w, h);
    app::settings.Language = code;
    app::settings.GameScreen = 2;
    ui::RebuildAllDialogs(false);
    ui::EnterSettings();
    const std::string stem = folder + "/" + code + "_" + std::to_string(w) + "_";

    for (int panel : {10, 12, 14, 16, 17, 19, 21, 22, 23, 24, 25, 40, 53})
        engine::SaveSpriteAsBitmap(panel, stem + "sprite" + std::to_string(panel) + ".bmp");

    const struct {
        int32_t state;
        const char* name;
    } screens[] = {{app::MainMenu, "mainmenu"},  {app::Settings, "settings"},
                   {app::Help, "help"},          {app::Credits, "credits"},
                   {app::QuitConfirm, "quit"},   {app::PauseMenu, "pause"},
                   {app::LeaveConfirm, "leave"}, {app::LevelFinished, "finished"},
                   {app::LevelFailed, "failed"}, {app::GameCompleted, "completed"}};
    for (const auto& s : screens) {
        // The overlays stand over the game screen; the menu background stands in.
        if (s.state >= app::PauseMenu) engine::DrawSpriteOpaque(4, 0, 0);
        // Show one hovered button per screen.
        if (ui::ButtonSet* set = ui::ButtonsOfState(s.state)) {
            const auto [x, y] = Inside(set->slot[set->count]);
            ui::HoverDialog(s.state, x, y);
        }
        ui::DrawDialogScreen(s.state);
        const int shot = engine::CaptureScreenToSprite(engine::AutoId, 0, 0, w, h);
        ASSERT_NE(shot, 0);
        EXPECT_EQ(engine::SaveSpriteAsBitmap(shot, stem + s.name + ".bmp"), 1);
        engine::ReleaseSprite(shot);
        engine::FlipFrame();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, SnapshotsTest,
    ::testing::Values(std::tuple{1920, 1080, "en_GB"}, std::tuple{1920, 1080, "de_DE"},
                      std::tuple{1024, 768, "en_GB"}, std::tuple{1024, 768, "de_DE"},
                      std::tuple{1280, 1024, "en_GB"}, std::tuple{1080, 1920, "en_GB"},
                      std::tuple{1200, 1920, "de_DE"}));

}  // namespace
