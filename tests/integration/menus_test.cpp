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

constexpr int kEscape = 0x01;

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
    for (int i = 0; i < 10 && app::settings.LanguagePending != "de_DE"; ++i) {
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

}  // namespace
