// Every menu screen and dialog walked through with pushed clicks and keys in
// the real game: hover edges, clicks that start outside a button, Escape,
// a language switch, a screen-mode change and the end of the game.
#include <gtest/gtest.h>

#include <string>

#include "audio/audio.h"
#include "game_driver.h"
#include "i18n/language.h"

namespace {

using namespace shell_test;

using MenusTest = GameDriver;

constexpr int kEscape = engine::kKeyEscape;

void MoveTo(int x, int y) {
    engine::PushMouseMotion(0, x, y, 0, 0);
    app::RunFrame();
}

TEST_F(MenusTest, EveryMenuScreenAndItsWayBack) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const auto& menu = ui::dialogs.mainMenuButtons;

    ClickSlot(menu, 3);
    EXPECT_EQ(app::loop.ScreenState, app::Help);
    TapKey(kEscape);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);

    ClickSlot(menu, 4);
    EXPECT_EQ(app::loop.ScreenState, app::Credits);
    ClickSlot(ui::dialogs.creditsButtons, 1);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);

    ClickSlot(menu, 2);
    EXPECT_EQ(app::loop.ScreenState, app::Settings);
    TapKey(kEscape);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);

    ClickSlot(menu, 1);
    EXPECT_EQ(app::loop.ScreenState, app::LevelSelect);
    TapKey(kEscape);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);

    ClickSlot(menu, 5);
    EXPECT_EQ(app::loop.ScreenState, app::QuitConfirm);
    ClickSlot(ui::dialogs.quitButtons, 2);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    ClickSlot(menu, 5);
    TapKey(kEscape);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_EQ(app::loop.quitRequest, 0);
    ClickSlot(menu, 5);
    ClickSlot(ui::dialogs.quitButtons, 1);
    EXPECT_EQ(app::loop.quitRequest, 1);
}

TEST_F(MenusTest, HoverIsStrictAndSwitchesButtonsInOneFrame) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const auto& menu = ui::dialogs.mainMenuButtons;
    const ui::ButtonSlot& start = menu.slot[1];
    MoveTo(start.left, (start.top + start.bottom) / 2);
    EXPECT_EQ(menu.hover, 0);
    MoveTo(start.left + 1, (start.top + start.bottom) / 2);
    EXPECT_EQ(menu.hover, 1);
    EXPECT_EQ(menu.slot[1].picture, 25);
    const ui::ButtonSlot& settings = menu.slot[2];
    MoveTo((settings.left + settings.right) / 2, (settings.top + settings.bottom) / 2);
    EXPECT_EQ(menu.hover, 2);
    EXPECT_EQ(menu.slot[1].picture, 24);
    EXPECT_EQ(menu.slot[2].picture, 27);
    // A click between two buttons does nothing.
    ClickAt((settings.left + settings.right) / 2, settings.top - 2);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
}

TEST_F(MenusTest, APressOutsideReleasedOnAButtonClicksIt) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const ui::ButtonSlot& start = ui::dialogs.mainMenuButtons.slot[1];
    const int x = (start.left + start.right) / 2, y = (start.top + start.bottom) / 2;
    engine::PushMouseButton(0, 1, 1, 2, 2);
    MoveTo(x, y);
    engine::PushMouseButton(0, 1, 0, x, y);
    app::RunFrame();
    EXPECT_EQ(app::loop.ScreenState, app::LevelSelect);
}

TEST_F(MenusTest, ALanguageSwitchRebuildsTheTextsWithoutReopening) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const std::string english = i18n::Text("tMenuSTART");
    ClickSlot(ui::dialogs.mainMenuButtons, 2);
    ASSERT_EQ(app::loop.ScreenState, app::Settings);
    for (int i = 0; i < i18n::LanguageCount() && app::settings.LanguagePending != "de_DE"; ++i) {
        ClickSlot(ui::dialogs.settingsButtons, 1);
    }
    ASSERT_EQ(app::settings.LanguagePending, "de_DE");
    ClickSlot(ui::dialogs.settingsButtons, 6);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_EQ(app::settings.Language, "de_DE");
    EXPECT_NE(i18n::Text("tMenuSTART"), english);
    EXPECT_EQ(app::loop.reopenFlag, 0);
}

TEST_F(MenusTest, AScreenModeChangeReopensTheDisplayAndSlidesTheMenuIn) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    ClickSlot(ui::dialogs.mainMenuButtons, 2);
    ClickSlot(ui::dialogs.settingsButtons, 4);  // windowed -> borderless
    EXPECT_EQ(app::settings.ScreenModePending, 2);
    ClickSlot(ui::dialogs.settingsButtons, 6);
    EXPECT_EQ(app::settings.GameScreen, 2);
    EXPECT_EQ(app::loop.ScreenState, app::SplashSlide);
    EXPECT_TRUE(RunUntil(app::MainMenu, 30));
    EXPECT_TRUE(audio::IsMusicPlaying(audio::MenuMusic));
}

TEST_F(MenusTest, FinishingLevelTwelveCompletesTheGameOnce) {
    Start("2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n1\r\n");
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    ClickSlot(ui::dialogs.mainMenuButtons, 1);
    ClickLevel(12);
    PlayLevelToTheEnd();
    ASSERT_EQ(app::loop.ScreenState, app::LevelFinished);
    ClickSlot(ui::dialogs.levelFinishedButtons, 2);  // Menu, the first time
    ASSERT_EQ(app::loop.ScreenState, app::GameCompleted);
    EXPECT_EQ(app::settings.Completed, 1);
    EXPECT_EQ(game::arrow.shown, 0);
    EXPECT_TRUE(audio::IsMusicPlaying(audio::CompletedMusic));
    // On the disk at once: a crash from here on must not complete the game again.
    EXPECT_NE(ReadFile(folders_.game() / "Mnemora.prefs").find("Completed = 1\r\n"),
              std::string::npos);
    TapKey(kEscape);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_TRUE(audio::IsMusicPlaying(audio::MenuMusic));

    // The second time, Next goes straight back to the main menu.
    ClickSlot(ui::dialogs.mainMenuButtons, 1);
    ClickLevel(12);
    PlayLevelToTheEnd();
    ASSERT_EQ(app::loop.ScreenState, app::LevelFinished);
    ClickSlot(ui::dialogs.levelFinishedButtons, 1);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);

    app::SaveAndShutdownForTests();
    started_ = false;
    const std::string prefs = ReadFile(folders_.game() / "Mnemora.prefs");
    EXPECT_NE(prefs.find("Completed = 1\r\n"), std::string::npos) << prefs;
}

// Every menu and dialog reached and left with the keys alone: the quit
// dialogs offer NO first, Tab and Shift+Tab wrap, the level map skips locked
// levels, and a mouse click in between hides the focus until the next key.
TEST_F(MenusTest, EveryDialogReachedAndLeftByKeys) {
    Start("2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n1\r\n");
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const auto& d = ui::dialogs;
    TapKey(kTab);  // shows the focus on Start
    TapKey(kDown);
    TapKey(kDown);
    EXPECT_EQ(d.mainMenuButtons.slot[3].picture, 29);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::Help);
    EXPECT_EQ(d.helpButtons.slot[1].picture, 59);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_EQ(d.mainMenuButtons.focus, 1);
    TapKey(kUp);  // a column does not wrap
    EXPECT_EQ(d.mainMenuButtons.focus, 1);
    engine::PushKeyEvent(kShift, 1);
    TapKey(kTab);  // Tab does, backwards with Shift
    engine::PushKeyEvent(kShift, 0);
    EXPECT_EQ(d.mainMenuButtons.focus, 5);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::QuitConfirm);
    EXPECT_EQ(d.quitButtons.slot[2].picture, 65);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_EQ(app::loop.quitRequest, 0);
    TapKey(kTab);
    TapKey(kTab);
    TapKey(kTab);
    TapKey(kSpace);  // Credits, three Tabs on from Start
    ASSERT_EQ(app::loop.ScreenState, app::Credits);
    TapKey(kEscape);
    ASSERT_EQ(app::loop.ScreenState, app::MainMenu);

    // The map: every level but 12 finished; Tab from 12 wraps to the back button.
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::LevelSelect);
    EXPECT_EQ(game::focus.level, 12);
    TapKey(kTab);
    EXPECT_EQ(game::focus.level, 0);
    EXPECT_EQ(display::levelButtons[0].sprite, game::SpriteBackButtonActive);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::MainMenu);
    TapKey(kEnter);
    EXPECT_EQ(game::focus.level, 12);
    TapKey(kEnter);
    ASSERT_TRUE(RunUntil(app::Playing, 2 * 40 + 51 + 5));
    EXPECT_EQ(game::focus.tile, 0);

    // Pause, leave (NO first), back to the pause menu, resume.
    TapKey(kEscape);
    ASSERT_EQ(app::loop.ScreenState, app::PauseMenu);
    EXPECT_EQ(d.pauseButtons.slot[1].picture, 35);
    TapKey(kDown);
    TapKey(kDown);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::LeaveConfirm);
    EXPECT_EQ(d.leaveButtons.focus, 2);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::PauseMenu);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::Playing);

    // Out of time: Retry deals again.
    game::level.startTime -= game::level.timeLimit;
    app::RunFrame();
    ASSERT_EQ(app::loop.ScreenState, app::LevelFailed);
    EXPECT_EQ(d.levelFailedButtons.slot[1].picture, 71);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::Dealing);

    // Won with clicks, which hide the focus; the next key shows it on Next.
    PlayLevelToTheEnd();
    ASSERT_EQ(app::loop.ScreenState, app::LevelFinished);
    EXPECT_EQ(ui::keyFocus.shown, 0);
    TapKey(kDown);
    TapKey(kDown);
    EXPECT_EQ(d.levelFinishedButtons.slot[2].picture, 69);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::GameCompleted);
    EXPECT_EQ(d.gameCompletedButtons.slot[1].picture, 75);
    TapKey(kEnter);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
}

// A settings value changed and confirmed by keys: left and right step a row,
// the window-size row is skipped while it does not apply.
TEST_F(MenusTest, ASettingsValueChangedAndConfirmedByKeys) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const auto& set = ui::dialogs.settingsButtons;
    TapKey(kDown);
    TapKey(kDown);
    TapKey(kEnter);
    ASSERT_EQ(app::loop.ScreenState, app::Settings);
    EXPECT_EQ(set.focus, 1);
    TapKey(kDown);
    EXPECT_EQ(set.slot[2].picture, 41);
    TapKey(kRight);
    EXPECT_EQ(app::settings.MusicPending, 0);
    EXPECT_EQ(set.slot[2].picture, 43);
    TapKey(kDown);
    TapKey(kDown);
    TapKey(kLeft);  // windowed back to full screen
    EXPECT_EQ(app::settings.ScreenModePending, 0);
    TapKey(kDown);
    EXPECT_EQ(set.focus, 6);
    TapKey(kUp);
    TapKey(kRight);  // and forward to windowed again
    EXPECT_EQ(app::settings.ScreenModePending, 1);
    TapKey(kDown);
    EXPECT_EQ(set.focus, 5);
    TapKey(kRight);
    TapKey(kLeft);
    EXPECT_EQ(app::settings.ResolutionPending, 0);
    TapKey(kDown);
    TapKey(kRight);
    EXPECT_EQ(set.focus, 7);
    TapKey(kLeft);
    EXPECT_EQ(set.slot[6].picture, 55);
    TapKey(kEnter);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_EQ(app::settings.Music, 0);
    EXPECT_EQ(app::settings.GameScreen, 1);
    EXPECT_FALSE(audio::IsMusicPlaying(audio::MenuMusic));
}

// The mouse moving hides the focus and the hover rules apply again; a click
// and a key in the same frame act once.
TEST_F(MenusTest, TheMouseTakesOverFromTheKeysAndAClickWithAKeyActsOnce) {
    Start();
    ASSERT_TRUE(RunUntil(app::MainMenu, 200));
    const auto& menu = ui::dialogs.mainMenuButtons;
    TapKey(kDown);
    ASSERT_EQ(ui::keyFocus.shown, 1);
    const ui::ButtonSlot& settings = menu.slot[2];
    MoveTo((settings.left + settings.right) / 2, (settings.top + settings.bottom) / 2);
    EXPECT_EQ(ui::keyFocus.shown, 0);
    EXPECT_EQ(menu.hover, 2);
    EXPECT_EQ(menu.slot[1].picture, 24);
    TapKey(kDown);  // shows it again where it stood
    EXPECT_EQ(menu.hover, 1);

    const ui::ButtonSlot& help = menu.slot[3];
    engine::PushKeyEvent(kEnter, 1);
    app::RunFrame();
    engine::PushKeyEvent(kEnter, 0);
    engine::PushMouseButton(0, 1, 1, (help.left + help.right) / 2, (help.top + help.bottom) / 2);
    engine::PushMouseButton(0, 1, 0, (help.left + help.right) / 2, (help.top + help.bottom) / 2);
    app::RunFrame();
    EXPECT_EQ(app::loop.ScreenState, app::Help);
    EXPECT_EQ(ui::keyFocus.shown, 0);
}

}  // namespace
