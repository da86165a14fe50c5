// The keys the main loop handles itself and those it passes on, in the states
// they act in: Escape, M, N, the volume keys (with the other subsystems'
// functions watched through the loop's hooks) and F2, plus the full-screen
// click that fires once per press.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "engine/display.h"
#include "engine/input.h"
#include "engine/testing/synthetic_events.h"
#include "game/game.h"
#include "shell_fixture.h"

namespace {

using namespace shell_test;

std::vector<std::string> calls;

void RecordToggleMusic(int32_t state) {
    calls.push_back("music " + std::to_string(state));
}
void RecordToggleSounds() {
    calls.push_back("sounds");
}
void RecordStepVolume(int32_t delta) {
    calls.push_back("volume " + std::to_string(delta));
}
void RecordEscapeDialog(int32_t state) {
    calls.push_back("escape " + std::to_string(state));
}
void RecordGoToMainMenu() {
    calls.push_back("main menu");
}
void RecordBeginPause() {
    calls.push_back("begin pause");
}
void RecordEnterPauseMenu() {
    calls.push_back("pause menu");
}

class ShellKeysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveGameData()) GTEST_SKIP() << "no game data in MNEMORA_GAME_DIR";
        engine::SetFramePacing(false);
        WriteFile(folders_.game() / "Mnemora.prefs",
                  "[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\nResolution = 0\r\n");
        app::StartOptions options;
        options.gameFolder = folders_.gameFolder();
        app::StartGame(options);
        started_ = true;
        auto& hooks = app::Hooks();
        hooks.toggleMusic = RecordToggleMusic;
        hooks.toggleSounds = RecordToggleSounds;
        hooks.stepVolume = RecordStepVolume;
        hooks.escapeDialog = RecordEscapeDialog;
        hooks.goToMainMenu = RecordGoToMainMenu;
        hooks.beginPause = RecordBeginPause;
        hooks.enterPauseMenu = RecordEnterPauseMenu;
        calls.clear();
    }
    void TearDown() override {
        if (started_) app::ShutdownForTests();
    }

    // The calls one tap of a key makes in a state.
    std::vector<std::string> Tap(int32_t state, int scanCode) {
        app::loop.ScreenState = state;
        calls.clear();
        engine::PushKeyEvent(scanCode, 1);
        app::RunFrame();
        engine::PushKeyEvent(scanCode, 0);
        app::RunFrame();
        return calls;
    }

    ScratchFolders folders_;
    bool started_ = false;
};

using Calls = std::vector<std::string>;

TEST_F(ShellKeysTest, EscapeActsByState) {
    EXPECT_EQ(Tap(app::Splash, engine::kKeyEscape), Calls{});
    EXPECT_EQ(Tap(app::Dealing, engine::kKeyEscape), Calls{});
    EXPECT_EQ(Tap(app::Playing, engine::kKeyEscape), (Calls{"begin pause", "pause menu"}));
    EXPECT_EQ(Tap(app::LevelSelect, engine::kKeyEscape), Calls{"main menu"});
    for (int32_t state :
         {app::Help, app::Credits, app::Settings, app::QuitConfirm, app::PauseMenu,
          app::LeaveConfirm, app::LevelFinished, app::LevelFailed, app::GameCompleted}) {
        EXPECT_EQ(Tap(state, engine::kKeyEscape), Calls{"escape " + std::to_string(state)});
    }
    EXPECT_EQ(app::loop.quitRequest, 0);
    EXPECT_EQ(Tap(app::MainMenu, engine::kKeyEscape), Calls{});
    EXPECT_EQ(app::loop.quitRequest, 1);
}

TEST_F(ShellKeysTest, MusicAndSoundKeysAreIgnoredOnlyInSettings) {
    EXPECT_EQ(Tap(app::MainMenu, engine::kKeyM), Calls{"music 2"});
    EXPECT_EQ(Tap(app::LevelFinished, engine::kKeyM), Calls{"music 12"});
    EXPECT_EQ(Tap(app::Splash, engine::kKeyN), Calls{"sounds"});
    EXPECT_EQ(Tap(app::Settings, engine::kKeyM), Calls{});
    EXPECT_EQ(Tap(app::Settings, engine::kKeyN), Calls{});
}

TEST_F(ShellKeysTest, VolumeKeysActEveryFrameWhileHeldInEveryState) {
    app::loop.ScreenState = app::Settings;
    engine::PushKeyEvent(engine::kKeyPadPlus, 1);
    for (int i = 0; i < 10; ++i)
        app::RunFrame();
    engine::PushKeyEvent(engine::kKeyPadPlus, 0);
    app::RunFrame();
    EXPECT_EQ(calls, Calls(10, "volume 1"));
    EXPECT_EQ(Tap(app::Playing, engine::kKeyPadMinus), Calls{"volume -1"});
}

TEST_F(ShellKeysTest, F2SavesAScreenshotInEveryState) {
    for (int32_t state : {app::Splash, app::MainMenu, app::Playing, app::PauseMenu}) {
        for (const auto& shot : FilesStartingWith(folders_.game(), "Mnemora "))
            fs::remove(shot);
        Tap(state, engine::kKeyF2);
        EXPECT_EQ(FilesStartingWith(folders_.game(), "Mnemora ").size(), 1u) << state;
    }
}

// A controller's B, Start and Back act as Escape, pause and M; controllers
// come and go while the game runs, any number at once.
TEST_F(ShellKeysTest, ControllerButtonsActAsTheirKeysAndComeAndGoSilently) {
    const int first = engine::AttachVirtualController();
    ASSERT_GT(first, 0);
    app::RunFrame();
    ASSERT_EQ(engine::ControllerCount(), 1);
    auto tap = [&](int pad, int32_t state, int entry) {
        app::loop.ScreenState = state;
        calls.clear();
        engine::SetVirtualControllerButton(pad, entry, 1);
        app::RunFrame();
        engine::SetVirtualControllerButton(pad, entry, 0);
        app::RunFrame();
        return calls;
    };
    EXPECT_EQ(tap(first, app::Help, engine::kPadB), Calls{"escape 4"});
    EXPECT_EQ(tap(first, app::Playing, engine::kPadStart), (Calls{"begin pause", "pause menu"}));
    EXPECT_EQ(tap(first, app::PauseMenu, engine::kPadStart), Calls{"escape 10"});
    EXPECT_EQ(tap(first, app::Help, engine::kPadStart), Calls{});
    EXPECT_EQ(tap(first, app::MainMenu, engine::kPadBack), Calls{"music 2"});
    EXPECT_EQ(tap(first, app::Settings, engine::kPadBack), Calls{});

    const int second = engine::AttachVirtualController();
    app::RunFrame();
    EXPECT_EQ(engine::ControllerCount(), 2);
    EXPECT_EQ(engine::DetachVirtualController(first), 1);
    app::RunFrame();
    EXPECT_EQ(engine::ControllerCount(), 1);
    EXPECT_EQ(tap(second, app::Credits, engine::kPadB), Calls{"escape 5"});
    EXPECT_EQ(engine::DetachVirtualController(second), 1);
    app::RunFrame();
    EXPECT_EQ(engine::ControllerCount(), 0);
}

}  // namespace
