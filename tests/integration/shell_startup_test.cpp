// The real start-up and main loop in a scratch game folder on SDL's dummy
// drivers: where settings, log and screenshots go, the log line for line, the
// splash and slide frame counts, the settings file after a quit, and a
// confirmed settings change.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/input.h"
#include "engine/system.h"
#include "engine/testing/synthetic_events.h"
#include "i18n/language.h"
#include "shell_fixture.h"

namespace {

using namespace shell_test;

// A key pressed for one frame and released in the next: acts on release.
void TapKey(int scanCode) {
    engine::PushKeyEvent(scanCode, 1);
    app::RunFrame();
    engine::PushKeyEvent(scanCode, 0);
    app::RunFrame();
}

class ShellStartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveGameData()) GTEST_SKIP() << "no game data in MNEMORA_GAME_DIR";
        engine::SetFramePacing(false);
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        unsetenv("LANG");
    }
    void TearDown() override {
        if (started_) app::ShutdownForTests();
    }
    void Start(std::vector<std::string> arguments) {
        app::StartOptions options;
        options.gameFolder = folders_.gameFolder();
        options.arguments = std::move(arguments);
        app::StartGame(options);
        started_ = true;
    }
    void SaveAndStop() {
        app::SaveAndShutdownForTests();
        started_ = false;
    }

    ScratchFolders folders_;
    bool started_ = false;
};

TEST_F(ShellStartupTest, PortableRunLogsEveryStepAndSavesOnQuit) {
    WriteFile(folders_.game() / "Mnemora.prefs",
              "[Settings]\r\nGameScreen = 1\r\nResolution = 0\r\nMusic = 0\r\n");
    Start({"/lOg"});

    EXPECT_EQ(app::folders.SaveFolder, folders_.gameFolder());
    EXPECT_FALSE(fs::exists(folders_.userFolder()));
    // An empty stored language is not filled from the locale in a portable run.
    EXPECT_EQ(app::settings.Language, "en_GB");
    EXPECT_EQ(display::metrics.ScreenWidth, 1024);
    EXPECT_EQ(display::metrics.ScreenHeight, 576);
    EXPECT_GT(display::metrics.PanelCentreY, display::metrics.LogoHeight);
    EXPECT_TRUE(engine::SpriteExists(76));

    // The splash is drawn before the loop starts: the first frame shown (the
    // window's first repaint) is the one the loop's first pass draws, not an
    // empty one.
    const auto frameAboutToShow = [&] {
        app::SaveScreenshot();
        const auto shots = FilesStartingWith(folders_.game(), "Mnemora ");
        EXPECT_EQ(shots.size(), 1u);
        const std::string bitmap = shots.empty() ? "" : ReadFile(shots[0]);
        for (const auto& shot : shots)
            fs::remove(shot);
        return bitmap;
    };
    const std::string beforeTheLoop = frameAboutToShow();
    app::RunFrame();
    EXPECT_EQ(beforeTheLoop, frameAboutToShow());

    // The splash shows for 101 frames, the slide for 25, then the menu.
    int splashFrames = 1;
    while (app::loop.ScreenState == app::Splash && splashFrames < 500) {
        app::RunFrame();
        ++splashFrames;
    }
    EXPECT_EQ(splashFrames, 101);
    TapKey(engine::kKeyF2);  // during the slide
    int slideFrames = 2;
    while (app::loop.ScreenState == app::SplashSlide && slideFrames < 500) {
        app::RunFrame();
        ++slideFrames;
    }
    EXPECT_EQ(slideFrames, 25);
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);
    EXPECT_EQ(app::loop.splashY, 24 * (576 / 25));
    EXPECT_FALSE(engine::SpriteExists(2));

    TapKey(engine::kKeyF2);  // in the menu
    engine::PushKeyEvent(engine::kKeyEscape, 1);
    EXPECT_TRUE(app::RunFrame());
    engine::PushKeyEvent(engine::kKeyEscape, 0);
    EXPECT_FALSE(app::RunFrame());  // Escape in the main menu quits at once
    SaveAndStop();

    EXPECT_EQ(ReadFile(folders_.game() / "Mnemora.prefs"),
              "\xEF\xBB\xBF\r\n; Mnemora Preferences\r\n[Settings]\r\nLanguage = en_GB\r\n"
              "Music = 0\r\nGameScreen = 1\r\nResolution = 0\r\nSounds = 1\r\n"
              "MusicVolume = 60\r\nCompleted = 0\r\n");
    const auto shots = FilesStartingWith(folders_.game(), "Mnemora ");
    ASSERT_FALSE(shots.empty());
    EXPECT_TRUE(std::regex_match(shots[0].filename().string(),
                                 std::regex(R"(Mnemora \d\d-\d\d-\d{4} \d\d-\d\d-\d\d\.bmp)")));
    EXPECT_EQ(ReadFile(shots[0]).substr(0, 2), "BM");

    const auto logs = FilesStartingWith(folders_.game(), "Log ");
    ASSERT_EQ(logs.size(), 1u);
    const std::vector<std::string> lines = Lines(ReadFile(logs[0]));
    const std::string game = folders_.gameFolder();
    const std::string user = folders_.userFolder().string() + "/";
    std::vector<std::string> expected = {
        "Mnemora",
        "<stamp>",
        "",
        "[SYSTEM DETAILS]",
        "CPU Name:\t\t*",
        "Total CPU cores:\t\t*",
        "Available CPU cores:\t\t*",
        "Total physical memory:\t\t*",
        "Free physical memory:\t\t*",
        "Number of desktops:\t\t" + std::to_string(engine::CountDesktops()),
        "Desktop DPI:\t\t96",
        "Operating system:\t\t200",
        "",
        "[GAME DETAILS]",
        "Title:\t\tMnemora",
        "Family:\t\tLumeo",
        "Version:\t\t1.0.0.0",
        "Directory:\t\tOrvanta/Mnemora",
        sizeof(void*) == 8 ? "Bit:\t\t(x64)" : "Bit:\t\t(x86)",
        "",
        "[CODE SUBSYSTEMS]",
        "Language:\t\t2.0",
        "Log:\t\t1.2",
        "",
        "[PATHS]",
        "GameDir:\t\t" + game,
        "UserDir:\t\t" + user,
        "SaveTo:\t\t" + game,
        "",
        "[INITIAL SETTINGS]",
        "Language:\t\t",
        "GameScreen:\t\tWindowed",
        "Music:\t\tOff",
        "ScreenMode:\t\t0",
        "",
        "[AVAILABLE LANGUAGES]",
    };
    for (int32_t i = 0; i < i18n::LanguageCount(); ++i) {
        expected.push_back("Language:\t\t" + i18n::LanguageNameAt(i));
    }
    for (const char* line : {"",
                             "[STARTING GAME]",
                             "Load language (en_GB):\t\tOK",
                             "InitSprite:\t\tOK",
                             "InitKeyboard:\t\tOK",
                             "InitMouse:\t\tOK",
                             "InitSound:\t\tOK",
                             "ScreenWidth:\t\t*",
                             "ScreenHeight:\t\t*",
                             "Load asset (TitanOne-Regular.ttf):\t\tOK",
                             "Load asset (MPlusRounded1c-Black.ttf):\t\tOK",
                             "Load asset (music0.ogg):\t\tOK",
                             "Load asset (music1.ogg):\t\tOK",
                             "Load asset (music2.ogg):\t\tOK",
                             "Load asset (music3.ogg):\t\tOK",
                             "Load asset (music_kids_play_loop_01.ogg):\t\tOK",
                             "Load asset (chime_tinkle_wood_bell_positive_04.ogg):\t\tOK",
                             "Load asset (beep_funny_scanning_targeting_02.ogg):\t\tOK",
                             "Load asset (music_kids_play_loop_02.ogg):\t\tOK",
                             "Load asset (ui_menu_popup_02.ogg):\t\tOK",
                             "Opening screen (Windowed):\t\tOK",
                             "Screenwidth:\t\t1024",
                             "Screenheight:\t\t576",
                             "AspectRatio:\t\t3",
                             "AspectRatio:  16:9",
                             "Load asset (orvanta):\t\tOK",
                             "Load asset (menuback):\t\tOK",
                             "Load asset (levelselect):\t\tOK",
                             "AspectRatio:  16:9",
                             "Load asset (ingame):\t\tOK"}) {
        expected.push_back(line);
    }
    for (const char* label : {"shadow.png",
                              "pointer.png",
                              "logo.png",
                              "credits.png",
                              "quit.png",
                              "mainmenu.png",
                              "ingame_menu.png",
                              "settings.png",
                              "button_big.png",
                              "button_big_active.png",
                              "gui_pause.png",
                              "gui_pause_active.png",
                              "gui_clock.png",
                              "levelselect_back.png",
                              "levelselect_back_active.png",
                              "level_locked.png",
                              "level_open.png",
                              "levelselect_arrow.png",
                              "timeback.png",
                              "timefront.png",
                              "level_finished.png",
                              "back.png",
                              "level_focus.png",
                              "tile_focus.png"}) {
        expected.push_back(std::string("Load asset (") + label + "):\t\tOK");
    }
    for (int n = 0; n < 20; ++n)
        expected.push_back("Load asset (tiles):\t\tOK");
    expected.push_back("TileSize: \t\t74");
    for (int shot = 0; shot < 4; ++shot)  // two first frames, the slide and the menu
        expected.push_back("Saving screenshot:\t\tOK");

    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& want = expected[i];
        if (want == "<stamp>") {
            EXPECT_TRUE(
                std::regex_match(lines[i], std::regex(R"(\d{4}-\d\d-\d\d--\d\d-\d\d-\d\d)")))
                << lines[i];
            EXPECT_EQ(logs[0].filename().string(), "Log " + lines[i] + ".log");
        } else if (!want.empty() && want.back() == '*') {
            EXPECT_EQ(lines[i].rfind(want.substr(0, want.size() - 1), 0), 0u)
                << "line " << i << ": " << lines[i];
        } else {
            EXPECT_EQ(lines[i], want) << "line " << i;
        }
    }
}

TEST_F(ShellStartupTest, UserFolderRunTakesTheLocaleAndLogSecondOpensNothing) {
    setenv("LANG", "de_DE.UTF-8", 1);
    Start({"-x", "/LOG"});
    const std::string user = folders_.userFolder().string() + "/";
    EXPECT_TRUE(fs::is_directory(folders_.userFolder()));
    EXPECT_EQ(app::folders.SaveFolder, user);
    EXPECT_EQ(app::settings.Language, "de_DE");
    EXPECT_EQ(app::settings.GameScreen, 2);
    EXPECT_EQ(display::metrics.ScreenWidth, engine::DesktopPixelWidth(0));

    app::loop.ScreenState = app::MainMenu;
    TapKey(engine::kKeyEscape);
    EXPECT_EQ(app::loop.quitRequest, 1);
    SaveAndStop();

    EXPECT_TRUE(FilesStartingWith(folders_.userFolder(), "Log ").empty());
    EXPECT_TRUE(FilesStartingWith(folders_.game(), "Log ").empty());
    EXPECT_FALSE(fs::exists(folders_.game() / "Mnemora.prefs"));
    EXPECT_NE(ReadFile(folders_.userFolder() / "Mnemora.prefs").find("Language = de_DE\r\n"),
              std::string::npos);
}

TEST_F(ShellStartupTest, UnknownStoredLanguageFallsBackAndNoLanguagesMeansEmptyTexts) {
    fs::remove(folders_.game() / "Mnemora.languages");
    WriteFile(folders_.game() / "Mnemora.prefs",
              "[Settings]\r\nLanguage = xx_XX\r\nGameScreen = 1\r\n");
    Start({});
    EXPECT_EQ(app::settings.Language, "en_GB");
    EXPECT_EQ(i18n::LanguageCount(), 0);
    EXPECT_EQ(i18n::Text("tMenuSTART"), "");
    SaveAndStop();
    EXPECT_NE(ReadFile(folders_.game() / "Mnemora.prefs").find("Language = en_GB\r\n"),
              std::string::npos);
}

TEST_F(ShellStartupTest, ConfirmedChangesReloadTheLanguageAndReopenTheDisplay) {
    WriteFile(folders_.game() / "Mnemora.prefs",
              "[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\nResolution = 0\r\n");
    Start({"/LOG"});
    app::loop.ScreenState = app::Settings;
    auto& s = app::settings;

    // Only the language: no reopen.
    s.LanguagePending = "de_DE";
    s.ScreenModePending = 1;
    s.ResolutionPending = 0;
    EXPECT_EQ(app::ApplyPendingSettings(), 0);
    EXPECT_EQ(app::loop.reopenFlag, 0);
    EXPECT_EQ(s.Language, "de_DE");
    EXPECT_NE(i18n::Text("tMenuSTART"), "START");
    EXPECT_FALSE(i18n::Text("tMenuSTART").empty());
    // On the disk at once: a page closed now, or a crash, keeps it.
    EXPECT_NE(ReadFile(folders_.game() / "Mnemora.prefs").find("Language = de_DE"),
              std::string::npos);

    // A new window size while windowed reopens at that size and slides in.
    s.ResolutionPending = 1;
    EXPECT_EQ(app::ApplyPendingSettings(), 1);
    EXPECT_EQ(app::loop.reopenFlag, 1);
    EXPECT_EQ(s.Resolution, 1);
    EXPECT_EQ(display::metrics.ScreenWidth, 1280);
    EXPECT_EQ(display::metrics.ScreenHeight, 720);
    EXPECT_EQ(engine::DisplayWidth(), 1280);
    EXPECT_EQ(app::loop.ScreenState, app::SplashSlide);
    EXPECT_TRUE(engine::SpriteExists(2));
    for (int i = 0; i < 25; ++i)
        app::RunFrame();
    EXPECT_EQ(app::loop.ScreenState, app::MainMenu);

    // A size change in borderless mode is neither a reopen nor stored.
    s.ScreenModePending = 2;
    s.ResolutionPending = 1;
    EXPECT_EQ(app::ApplyPendingSettings(), 1);
    EXPECT_EQ(s.GameScreen, 2);
    EXPECT_NE(ReadFile(folders_.game() / "Mnemora.prefs").find("GameScreen = 2"),
              std::string::npos);
    s.ResolutionPending = 4;
    EXPECT_EQ(app::ApplyPendingSettings(), 0);
    EXPECT_EQ(s.Resolution, 1);
    SaveAndStop();

    const auto logs = FilesStartingWith(folders_.game(), "Log ");
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = ReadFile(logs[0]);
    EXPECT_NE(log.find("Sounds:\t\tON\r\nLoad language (de_DE):\t\tOK\r\n"), std::string::npos);
    EXPECT_NE(log.find("Sounds:\t\tON\r\nOpening screen (Windowed):\t\tOK\r\nScreenwidth:\t\t1280"
                       "\r\nScreenheight:\t\t720\r\nAspectRatio:\t\t3\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("Opening screen (Borderless):\t\tOK"), std::string::npos);
}

TEST_F(ShellStartupTest, FullScreenClicksOncePerPressAndRecapturesTheMouseWithFocus) {
    WriteFile(folders_.game() / "Mnemora.prefs", "[Settings]\r\nGameScreen = 0\r\n");
    Start({});
    ASSERT_EQ(engine::IsDisplayOpen(), 1);
    app::loop.ScreenState = app::MainMenu;
    app::RunFrame();
    EXPECT_EQ(app::loop.mouseArmed, 1);

    // A press clicks once; holding the button does not click again.
    engine::PushMouseButton(-1, 1, 1, 10, 10);
    app::RunFrame();
    EXPECT_EQ(app::loop.mouseArmed, 0);
    app::RunFrame();
    EXPECT_EQ(app::loop.mouseArmed, 0);
    engine::PushMouseButton(-1, 1, 0, 10, 10);
    app::RunFrame();
    EXPECT_EQ(app::loop.mouseArmed, 1);

    // Losing focus hands the mouse back; regaining it takes the mouse again.
    engine::PushWindowEvent(-1, engine::kEventDeactivated);
    app::RunFrame();
    EXPECT_EQ(engine::IsDisplayFocused(), 0);
    EXPECT_EQ(engine::PollMouse(), 0);
    engine::PushWindowEvent(-1, engine::kEventActivated);
    app::RunFrame();
    app::RunFrame();
    EXPECT_EQ(engine::IsDisplayFocused(), 1);
    EXPECT_EQ(engine::PollMouse(), 1);

    // A controller in full screen: its events come through the frame's pump.
    const int pad = engine::AttachVirtualController();
    ASSERT_GT(pad, 0);
    app::RunFrame();
    for (int entry : {engine::kPadDown, engine::kPadDown, engine::kPadA}) {
        engine::SetVirtualControllerButton(pad, entry, 1);
        app::RunFrame();
        engine::SetVirtualControllerButton(pad, entry, 0);
        app::RunFrame();
    }
    EXPECT_EQ(app::loop.ScreenState, app::Settings);
    engine::DetachVirtualController(pad);
}

TEST_F(ShellStartupTest, UserFolderThatCannotBeMadeStillRunsAndQuits) {
    // A data folder below a plain file can never be created.
    WriteFile(folders_.root() / "not-a-folder", "x");
    setenv("XDG_DATA_HOME", (folders_.root() / "not-a-folder").c_str(), 1);
    Start({"/LOG"});
    EXPECT_EQ(app::folders.SaveFolder,
              (folders_.root() / "not-a-folder/Orvanta/Mnemora/").string());
    EXPECT_EQ(app::settings.GameScreen, 2);
    app::loop.ScreenState = app::MainMenu;
    TapKey(engine::kKeyF2);
    TapKey(engine::kKeyEscape);
    EXPECT_EQ(app::loop.quitRequest, 1);
    SaveAndStop();
    EXPECT_FALSE(fs::exists(folders_.game() / "Mnemora.prefs"));
}

}  // namespace
