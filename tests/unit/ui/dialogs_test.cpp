// Hover, clicks and Escape on the menus and dialogs, driven through the main
// loop's hooks (HoverDialog, ClickDialog, EscapeDialog) on a 1280 x 720
// screen. Game play and the shell are stand-ins in this branch, so the checks
// are on screen states, pictures and settings.
#include "engine/picture_decode.h"
#include "game/game.h"
#include "ui_fixture.h"

namespace {

using ui::dialogs;

class DialogsTest : public uitest::UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        OpenScreen(1280, 720);
        ui::RebuildAllDialogs(false);
        game::level = game::LevelState{};
        game::arrow = game::ArrowState{};
    }

    // Points at slot `index` of the state's dialog, then clicks.
    void ClickOn(int32_t state, int32_t index) {
        const auto [x, y] = Inside(ui::ButtonsOfState(state)->slot[index]);
        ui::HoverDialog(state, x, y);
        ui::ClickDialog(state);
    }
    int32_t State() const { return app::loop.ScreenState; }
};

TEST_F(DialogsTest, HoverIsStrictAndSwitchesStraightBetweenButtons) {
    ui::GoToMainMenu();
    auto& set = dialogs.mainMenuButtons;
    const ui::ButtonSlot s = set.slot[2];
    const int32_t midX = (s.left + s.right) / 2, midY = (s.top + s.bottom) / 2;
    // On each edge: outside.
    for (auto [x, y] :
         {std::pair{s.left, midY}, {s.right, midY}, {midX, s.top}, {midX, s.bottom}}) {
        ui::HoverDialog(app::MainMenu, x, y);
        EXPECT_EQ(set.hover, 0) << x << "," << y;
    }
    ui::HoverDialog(app::MainMenu, s.left + 1, s.top + 1);
    EXPECT_EQ(set.hover, 2);
    EXPECT_EQ(set.slot[2].picture, 27);
    // From button 2 straight onto button 3: one call, no pass through 0.
    const auto [x3, y3] = Inside(set.slot[3]);
    ui::HoverDialog(app::MainMenu, x3, y3);
    EXPECT_EQ(set.hover, 3);
    EXPECT_EQ(set.slot[2].picture, 26);
    EXPECT_EQ(set.slot[3].picture, 29);
    // Off every button: all normal again; a click between buttons does nothing.
    ui::HoverDialog(app::MainMenu, s.left - 5, s.top - 5);
    EXPECT_EQ(set.hover, 0);
    EXPECT_EQ(set.slot[3].picture, 28);
    ui::ClickDialog(app::MainMenu);
    EXPECT_EQ(State(), app::MainMenu);
    // The window cursor outside the window is -1: no button.
    ui::HoverDialog(app::MainMenu, -1, -1);
    EXPECT_EQ(set.hover, 0);
}

TEST_F(DialogsTest, MainMenuButtonsOpenTheirScreensWithNormalLooks) {
    ui::GoToMainMenu();
    ClickOn(app::MainMenu, 1);
    EXPECT_EQ(State(), app::LevelSelect);
    EXPECT_EQ(dialogs.mainMenuButtons.hover, 0);

    const struct {
        int32_t button, state;
    } screens[] = {{3, app::Help}, {4, app::Credits}, {5, app::QuitConfirm}};
    for (const auto& s : screens) {
        ui::GoToMainMenu();
        // A stale hover index of the target screen is cleared on entry.
        ui::ButtonsOfState(s.state)->hover = 1;
        ui::ButtonsOfState(s.state)->slot[1].picture += 1;
        ClickOn(app::MainMenu, s.button);
        EXPECT_EQ(State(), s.state);
        EXPECT_EQ(ui::ButtonsOfState(s.state)->hover, 0);
        EXPECT_EQ(ui::ButtonsOfState(s.state)->slot[1].picture % 2, 0);
        EXPECT_EQ(dialogs.mainMenuButtons.hover, 0);
        // Back to the main menu by Escape, where every button looks normal again.
        ui::EscapeDialog(s.state);
        EXPECT_EQ(State(), app::MainMenu);
        EXPECT_EQ(dialogs.mainMenuButtons.slot[s.button].picture, 24 + 2 * (s.button - 1));
    }
    ClickOn(app::MainMenu, 4);
    ClickOn(app::Credits, 1);
    EXPECT_EQ(State(), app::MainMenu);

    // QUIT asks; NO returns; YES quits. Escape on the main menu quits at once.
    ClickOn(app::MainMenu, 5);
    ClickOn(app::QuitConfirm, 2);
    EXPECT_EQ(State(), app::MainMenu);
    EXPECT_EQ(app::loop.quitRequest, 0);
    ClickOn(app::MainMenu, 5);
    ClickOn(app::QuitConfirm, 1);
    EXPECT_EQ(app::loop.quitRequest, 1);
    app::loop.quitRequest = 0;
    ui::EscapeDialog(app::MainMenu);
    EXPECT_EQ(app::loop.quitRequest, 1);
}

TEST_F(DialogsTest, SettingsEditPendingValuesOnly) {
    auto& s = app::settings;
    s.Language = "en_GB";
    s.GameScreen = 1;
    s.Resolution = 8;
    ui::GoToMainMenu();
    ClickOn(app::MainMenu, 2);
    ASSERT_EQ(State(), app::Settings);
    EXPECT_EQ(languages.current, 0);
    auto& set = dialogs.settingsButtons;
    const auto& rows = dialogs.settingsRows;
    EXPECT_EQ(set.slot[1].picture, rows.language[0][0]);
    EXPECT_EQ(set.slot[2].picture, 40);
    EXPECT_EQ(set.slot[4].picture, 48);
    EXPECT_EQ(set.slot[5].picture, rows.resolution[8][0]);

    // Language alternates between the two entries, shown hovered at once.
    ClickOn(app::Settings, 1);
    EXPECT_EQ(s.LanguagePending, "de_DE");
    EXPECT_EQ(set.slot[1].picture, rows.language[1][1]);
    ClickOn(app::Settings, 1);
    EXPECT_EQ(s.LanguagePending, "en_GB");
    ClickOn(app::Settings, 2);
    EXPECT_EQ(s.MusicPending, 0);
    EXPECT_EQ(set.slot[2].picture, 43);
    ClickOn(app::Settings, 3);
    EXPECT_EQ(s.SoundsPending, 0);
    EXPECT_EQ(set.slot[3].picture, 47);
    ClickOn(app::Settings, 5);
    EXPECT_EQ(s.ResolutionPending, 0);  // wraps after the last size
    EXPECT_EQ(set.slot[5].picture, rows.resolution[0][1]);
    ClickOn(app::Settings, 4);
    EXPECT_EQ(s.ScreenModePending, 2);
    EXPECT_EQ(set.slot[4].picture, 53);
    EXPECT_EQ(set.slot[5].picture, rows.resolution[0][2]);
    EXPECT_EQ(s.Music, 1);

    // Escape drops everything; the next entry starts from the values in force.
    ui::EscapeDialog(app::Settings);
    EXPECT_EQ(State(), app::MainMenu);
    EXPECT_EQ(s.GameScreen, 1);
    EXPECT_EQ(s.Resolution, 8);
    EXPECT_EQ(s.Music, 1);
    ClickOn(app::MainMenu, 2);
    EXPECT_EQ(s.MusicPending, 1);
    EXPECT_EQ(s.ScreenModePending, 1);
    EXPECT_EQ(s.ResolutionPending, 8);
    EXPECT_EQ(set.hover, 0);
    // CANCEL does the same; OK hands over to the shell (a stand-in here that
    // reopens nothing) and returns to the main menu.
    ClickOn(app::Settings, 7);
    EXPECT_EQ(State(), app::MainMenu);
    ClickOn(app::MainMenu, 2);
    ClickOn(app::Settings, 6);
    EXPECT_EQ(State(), app::MainMenu);
    EXPECT_EQ(set.hover, 0);
}

TEST_F(DialogsTest, ResolutionRowIsDisabledOutsideWindowedMode) {
    auto& s = app::settings;
    s.GameScreen = 0;
    s.Resolution = 3;
    ui::EnterSettings();
    auto& set = dialogs.settingsButtons;
    const auto& rows = dialogs.settingsRows;
    EXPECT_EQ(set.slot[5].picture, rows.resolution[3][2]);
    const auto [x, y] = Inside(set.slot[5]);
    ui::HoverDialog(app::Settings, x, y);
    EXPECT_EQ(set.hover, 0);
    ui::ClickDialog(app::Settings);
    EXPECT_EQ(s.ResolutionPending, 3);
    // A pointer moving from the music row onto the disabled row leaves no hover.
    const auto [mx, my] = Inside(set.slot[2]);
    ui::HoverDialog(app::Settings, mx, my);
    EXPECT_EQ(set.hover, 2);
    ui::HoverDialog(app::Settings, x, y);
    EXPECT_EQ(set.hover, 0);
    EXPECT_EQ(set.slot[2].picture, 40);

    // Fullscreen -> windowed enables the row at once, before OK.
    ClickOn(app::Settings, 4);
    EXPECT_EQ(s.ScreenModePending, 1);
    EXPECT_EQ(set.slot[5].picture, rows.resolution[3][0]);
    ui::HoverDialog(app::Settings, x, y);
    EXPECT_EQ(set.hover, 5);
    EXPECT_EQ(set.slot[5].picture, rows.resolution[3][1]);
    // The row reacts beyond its picture: from 3 % of the panel width.
    const ui::ButtonSlot& row = set.slot[5];
    ASSERT_LT(row.left + 1, row.x);
    ui::HoverDialog(app::Settings, row.left + 1, y);
    EXPECT_EQ(set.hover, 5);
    ui::HoverDialog(app::Settings, row.left, y);
    EXPECT_EQ(set.hover, 0);
}

TEST_F(DialogsTest, LanguageRowWithOneOrNoLanguage) {
    auto& s = app::settings;
    languages.list = {{"en_GB", "English"}};
    ui::BuildSettings();
    s.Language = "en_GB";
    ui::EnterSettings();
    ClickOn(app::Settings, 1);
    EXPECT_EQ(s.LanguagePending, "en_GB");
    EXPECT_EQ(dialogs.settingsButtons.slot[1].picture, dialogs.settingsRows.language[0][1]);

    // No language at all: the row stays empty and ignores the pointer. Sprite
    // 0 is an F2 screenshot: the empty row must not name it.
    ASSERT_EQ(engine::CaptureScreenToSprite(0, 0, 0, 64, 64), 1);
    languages.list.clear();
    ui::BuildSettings();
    s.Language = "xx_XX";
    ui::EnterSettings();
    EXPECT_EQ(engine::SpriteExists(dialogs.settingsButtons.slot[1].picture), 0);
    const auto [x, y] = Inside(dialogs.settingsButtons.slot[1]);
    ui::HoverDialog(app::Settings, x, y);
    EXPECT_EQ(dialogs.settingsButtons.hover, 0);
    ui::ClickDialog(app::Settings);
    EXPECT_EQ(s.LanguagePending, "xx_XX");
    EXPECT_EQ(State(), app::Settings);
}

// Copies of the panels, buttons and rows that cannot be made (the renderer out
// of texture memory) leave every button where it was and working, and no slot
// naming the F2 screenshot (sprite 0). A row is made again the next time the
// settings screen shows it.
TEST_F(DialogsTest, FailedPictureCopiesLeaveEveryButtonWorking) {
    const ui::Dialogs before = dialogs;
    ASSERT_EQ(engine::CaptureScreenToSprite(0, 0, 0, 64, 64), 1);
    engine::detail::FailSpriteCopiesForTesting(true);
    ui::RebuildAllDialogs(false);
    EXPECT_EQ(engine::SpriteExists(10), 0);  // the main menu's panel copy
    for (int32_t state : {app::MainMenu, app::Settings, app::Help, app::Credits, app::QuitConfirm,
                          app::PauseMenu, app::LevelFinished, app::GameCompleted}) {
        const ui::ButtonSet& now = *ui::ButtonsOfState(state);
        for (int32_t i = 1; i <= now.count; ++i) {
            const ui::ButtonSlot& slot = now.slot[static_cast<size_t>(i)];
            EXPECT_LT(slot.left + 1, slot.right) << state << " slot " << i;
            EXPECT_LT(slot.top + 1, slot.bottom) << state << " slot " << i;
            EXPECT_NE(slot.picture, 0) << state << " slot " << i;
        }
    }
    EXPECT_EQ(dialogs.mainMenuButtons.slot[2].left, before.mainMenuButtons.slot[2].left);
    EXPECT_EQ(dialogs.mainMenuButtons.slot[2].bottom, before.mainMenuButtons.slot[2].bottom);
    EXPECT_EQ(dialogs.settingsButtons.slot[6].right, before.settingsButtons.slot[6].right);
    EXPECT_EQ(dialogs.settings.width, before.settings.width);
    ui::GoToMainMenu();
    ClickOn(app::MainMenu, 2);
    EXPECT_EQ(State(), app::Settings);
    EXPECT_EQ(engine::SpriteExists(dialogs.settingsButtons.slot[1].picture), 0);
    ClickOn(app::Settings, 7);
    EXPECT_EQ(State(), app::MainMenu);
    engine::detail::FailSpriteCopiesForTesting(false);
    ClickOn(app::MainMenu, 2);
    EXPECT_EQ(engine::SpriteExists(dialogs.settingsButtons.slot[1].picture), 1);
    EXPECT_EQ(engine::SpriteExists(dialogs.settingsButtons.slot[5].picture), 1);
}

// The rows of window sizes and languages are made as the settings screen shows
// them, and a rebuild releases every one made before.
TEST_F(DialogsTest, RebuildReleasesTheEarlierRowPictures) {
    app::settings.Resolution = 4;
    ui::GoToMainMenu();
    ClickOn(app::MainMenu, 2);
    ClickOn(app::Settings, 1);  // the second language, shown hovered
    const auto before = dialogs.settingsRows;
    ASSERT_EQ(engine::SpriteExists(before.resolution[4][1]), 1);
    ASSERT_EQ(engine::SpriteExists(before.language[0][0]), 1);
    ASSERT_EQ(engine::SpriteExists(before.language[1][1]), 1);
    EXPECT_EQ(before.resolution[3][0], engine::NoObject);  // not shown: not made
    ui::RebuildAllDialogs(true);
    for (const auto& looks : before.resolution)
        for (int32_t picture : looks)
            EXPECT_EQ(engine::SpriteExists(picture), 0);
    for (const auto& looks : before.language)
        for (int32_t picture : looks)
            EXPECT_EQ(engine::SpriteExists(picture), 0);
    ui::HighlightSettings(1);
    EXPECT_EQ(engine::SpriteExists(dialogs.settingsRows.resolution[4][1]), 1);
    EXPECT_EQ(engine::SpriteDrawWidth(dialogs.settingsButtons.slot[1].picture), dialogs.RowW);
    // The fixed pictures survive.
    EXPECT_EQ(engine::SpriteExists(40), 1);
    EXPECT_EQ(engine::SpriteExists(24), 1);
}

TEST_F(DialogsTest, PauseMenuResumeRestartAndLeave) {
    app::loop.ScreenState = app::Playing;
    ui::EnterPauseMenu();
    ClickOn(app::PauseMenu, 3);
    EXPECT_EQ(State(), app::LeaveConfirm);
    // NO and Escape go back to the pause menu, not to the game.
    ClickOn(app::LeaveConfirm, 2);
    EXPECT_EQ(State(), app::PauseMenu);
    EXPECT_EQ(dialogs.pauseButtons.hover, 0);
    ClickOn(app::PauseMenu, 3);
    ui::EscapeDialog(app::LeaveConfirm);
    EXPECT_EQ(State(), app::PauseMenu);
    ui::EscapeDialog(app::PauseMenu);
    EXPECT_EQ(State(), app::Playing);
    ui::EnterPauseMenu();
    ClickOn(app::PauseMenu, 1);
    EXPECT_EQ(State(), app::Playing);
    ui::EnterPauseMenu();
    ClickOn(app::PauseMenu, 2);
    EXPECT_EQ(State(), app::Dealing);
    EXPECT_EQ(dialogs.pauseButtons.hover, 0);
    ui::EnterPauseMenu();
    ClickOn(app::PauseMenu, 3);
    game::level.boardInput = 1;
    ClickOn(app::LeaveConfirm, 1);
    EXPECT_EQ(State(), app::MainMenu);
    EXPECT_EQ(game::level.boardInput, 0);
}

TEST_F(DialogsTest, LevelResults) {
    // Below level 12: NEXT deals the next level, MENU and Escape go to the menu.
    game::level.current = 5;
    ui::EnterScreen(app::LevelFinished);
    ClickOn(app::LevelFinished, 1);
    EXPECT_EQ(State(), app::Dealing);
    EXPECT_EQ(game::level.current, 6);
    ui::EnterScreen(app::LevelFinished);
    ClickOn(app::LevelFinished, 2);
    EXPECT_EQ(State(), app::MainMenu);
    ui::EnterScreen(app::LevelFinished);
    ui::EscapeDialog(app::LevelFinished);
    EXPECT_EQ(State(), app::MainMenu);
    EXPECT_EQ(game::level.current, 6);

    ui::EnterScreen(app::LevelFailed);
    ClickOn(app::LevelFailed, 1);
    EXPECT_EQ(State(), app::Dealing);
    ui::EnterScreen(app::LevelFailed);
    ClickOn(app::LevelFailed, 2);
    EXPECT_EQ(State(), app::MainMenu);
    ui::EnterScreen(app::LevelFailed);
    ui::EscapeDialog(app::LevelFailed);
    EXPECT_EQ(State(), app::MainMenu);

    // Level 12 the first time: either button (and Escape) completes the game.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        app::settings.Completed = 0;
        game::level.current = 12;
        game::arrow.shown = 1;
        ui::EnterScreen(app::LevelFinished);
        if (way < 2) {
            ClickOn(app::LevelFinished, way + 1);
        } else {
            ui::EscapeDialog(app::LevelFinished);
        }
        EXPECT_EQ(State(), app::GameCompleted);
        EXPECT_EQ(app::settings.Completed, 1);
        EXPECT_EQ(game::arrow.shown, 0);
        EXPECT_EQ(game::level.current, 12);
        EXPECT_EQ(dialogs.gameCompletedButtons.slot[1].picture, 74);
    }
    ClickOn(app::GameCompleted, 1);
    EXPECT_EQ(State(), app::MainMenu);
    // The second time, straight back to the main menu.
    ui::EnterScreen(app::LevelFinished);
    ClickOn(app::LevelFinished, 1);
    EXPECT_EQ(State(), app::MainMenu);
    EXPECT_EQ(game::level.current, 12);
    ui::EnterScreen(app::GameCompleted);
    ui::EscapeDialog(app::GameCompleted);
    EXPECT_EQ(State(), app::MainMenu);
}

}  // namespace
