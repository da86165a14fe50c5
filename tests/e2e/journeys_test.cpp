// The installed game played end to end as a person would: each journey starts
// the program from a scratch install prefix on a private Xvfb screen, drives it
// with xdotool, looks at it through its own F2 screenshots and reads the files
// it writes. Button and tile positions come from the game's own layout (see
// oracle.h); memory is played honestly, by turning tiles and remembering the
// pictures the screenshots show.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "app/shell.h"
#include "app/state.h"
#include "engine/display.h"
#include "engine/testing/synthetic_events.h"
#include "game/game.h"
#include "integration/shell_fixture.h"
#include "oracle.h"
#include "x_session.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using shell_test::Lines;
using shell_test::ReadFile;
using shell_test::WriteFile;

// Differences (mean per channel, 0..255) taken as "the same" and as "clearly
// different": the software renderers of Xvfb and of the in-process reference
// agree to within a few levels.
constexpr double kSame = 10.0;
constexpr double kDifferent = 20.0;

const char* kLanguages[] = {"de_DE", "en_GB", "es_ES", "fr_FR", "it_IT", "nl_NL", "pt_PT", "sv_SE"};

std::string ProgressWith(const std::string& looks) {
    std::string text;
    for (char c : looks)
        text += std::string(1, c) + "\r\n";
    return text;
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The tile at a rectangle, cut out of a screenshot.
Picture Cut(const Picture& p, const Rect& r) {
    Picture out;
    out.width = r.Width();
    out.height = r.Height();
    out.rgb.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 3);
    for (int32_t y = 0; y < out.height; ++y) {
        const uint8_t* row = p.At(r.left, r.top + y);
        std::copy(row, row + out.width * 3,
                  out.rgb.begin() + static_cast<ptrdiff_t>(y) * out.width * 3);
    }
    return out;
}

double Compare(const Picture& a, const Picture& b) {
    return Difference(a, {0, 0, a.width, a.height}, b, {0, 0, b.width, b.height});
}

class Journey : public ::testing::Test {
  protected:
    void SetUp() override {
        prefix_ = Env("MNEMORA_E2E_PREFIX");
        out_ = fs::path(Env("MNEMORA_E2E_OUT")) /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        if (prefix_.empty() || !fs::exists(Program())) GTEST_SKIP() << "no installed game";
        MakeScratch("/tmp/mnemora-journey-XXXXXX");
    }
    // A fresh output folder, a scratch folder with an empty home, and an X server.
    void MakeScratch(std::string pattern) {
        fs::remove_all(out_);
        fs::create_directories(out_);
        root_ = mkdtemp(pattern.data());
        home_ = root_ / "home";
        fs::create_directories(home_);
        x_ = std::make_unique<XServer>(kWidth, kHeight);
        ASSERT_TRUE(x_->ok()) << "Xvfb did not start";
    }
    void TearDown() override {
        game_.reset();
        x_.reset();
        if (!root_.empty()) fs::remove_all(root_);
    }

    fs::path Program() const { return prefix_ / "lib" / "games" / "mnemora" / "mnemora"; }
    // The installed data, apart from the program.
    fs::path DataFolder() const { return prefix_ / "share" / "games" / "mnemora"; }
    fs::path UserFolder() const { return home_ / ".local" / "share" / "Orvanta" / "Mnemora"; }

    void Oracle(const std::string& language, const std::string& progress = "") {
        std::string error;
        ASSERT_TRUE(BuildOracle(language, progress, &oracle_, &error)) << error;
    }

    // Settings and progress for a per-user run: windowed at the journeys' size.
    void WriteUserFiles(const std::string& language, const std::string& progress,
                        const std::string& extra = "") {
        fs::create_directories(UserFolder());
        WriteFile(UserFolder() / "Mnemora.prefs",
                  "[Settings]\r\nLanguage = " + language + "\r\nGameScreen = 1\r\nResolution = " +
                      std::to_string(kResolutionIndex) + "\r\n" + extra);
        if (!progress.empty()) WriteFile(UserFolder() / "Mnemora.scores", progress);
    }

    // `beside`: a copy still running, whose window is not this one's.
    void Launch(const fs::path& program, const fs::path& saveFolder,
                const std::vector<std::string>& arguments = {},
                const std::string& locale = "C.UTF-8", const GameRun* beside = nullptr) {
        game_.reset();
        game_ = std::make_unique<GameRun>(
            program, arguments,
            std::map<std::string, std::string>{{"HOME", home_.string()},
                                               {"XDG_DATA_HOME", ""},
                                               {"LANG", locale},
                                               {"LC_ALL", ""},
                                               {"LC_MESSAGES", ""},
                                               {"LANGUAGE", ""},
                                               {"SDL_VIDEODRIVER", "x11"},
                                               {"SDL_AUDIODRIVER", "dummy"}},
            saveFolder, out_);
        if (beside) game_->PassOver(beside->window());
        ASSERT_TRUE(game_->WaitForWindow(60s, beside != nullptr)) << "no window";
    }

    bool Shows(const Picture& shot, const Picture& reference, const Rect& r) const {
        return Difference(shot, reference, r) < kSame;
    }
    bool ShowsPanel(const Picture& shot, const Picture& reference, const ui::Panel& p) const {
        return Shows(shot, reference, PanelRect(p));
    }

    void WaitForMainMenu(const std::string& name) {
        Picture shot;
        ASSERT_TRUE(game_->WaitForScreen(
            name, 60s, &shot,
            [&](const Picture& s) {
                return ShowsPanel(s, oracle_.mainMenu, oracle_.dialogs.mainMenu) &&
                       Shows(s, oracle_.mainMenu,
                             SlotRect(oracle_.dialogs.mainMenuButtons.slot[1]));
            }))
            << "the main menu did not show: "
            << Difference(shot, oracle_.mainMenu, PanelRect(oracle_.dialogs.mainMenu));
    }

    void WaitForOverlay(const std::string& name, const Picture& reference, const ui::Panel& panel,
                        std::chrono::seconds timeout = 20s) {
        Picture shot;
        ASSERT_TRUE(
            game_->WaitForScreen(name, timeout, &shot,
                                 [&](const Picture& s) { return ShowsPanel(s, reference, panel); }))
            << name << " did not show: " << Difference(shot, reference, PanelRect(panel));
    }

    // From the main menu through the quit dialog; the program must end with
    // status 0.
    void QuitFromMainMenu() {
        game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[5]));
        Sleep(0.5);
        game_->Click(SlotRect(oracle_.dialogs.quitButtons.slot[1]));
        EXPECT_EQ(game_->WaitForExit(30s), 0) << ReadFile(out_ / "stderr.txt");
    }

    // From a level in play: Escape, Leave, Yes, then quit from the main menu.
    void LeaveThroughPauseAndQuit(const std::string& name) {
        game_->Key("Escape");
        WaitForOverlay(name, oracle_.pauseMenu, oracle_.dialogs.pauseMenu);
        game_->Click(SlotRect(oracle_.dialogs.pauseButtons.slot[3]));
        Sleep(0.5);
        game_->Click(SlotRect(oracle_.dialogs.leaveButtons.slot[1]));
        WaitForMainMenu("main_menu_after_" + name);
        QuitFromMainMenu();
    }

    // From the main menu to a level's board, dealt.
    void StartLevel(int32_t level) {
        game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[1]));
        Sleep(0.8);
        game_->Click(LevelRect(oracle_.levels[static_cast<size_t>(level)]));
        WaitForDealt(level, "level" + std::to_string(level) + "_dealt");
    }

    // Screenshots until every tile shows the same picture (the back).
    void WaitForDealt(int32_t level, const std::string& name) {
        const std::vector<Rect>& tiles = oracle_.tiles.at(level);
        Picture shot;
        ASSERT_TRUE(game_->WaitForScreen(name, 20s, &shot,
                                         [&](const Picture& s) {
                                             const Picture first = Cut(s, View(tiles[0]));
                                             return std::all_of(
                                                 tiles.begin(), tiles.end(), [&](const Rect& r) {
                                                     return Compare(Cut(s, View(r)), first) < 3.0;
                                                 });
                                         }))
            << "level " << level << " was not dealt";
        back_ = Cut(shot, View(tiles[0]));
    }

    // Plays the dealt level to its end as a person would: turns a tile it has
    // not seen, looks, turns its partner when it has seen it before, and
    // otherwise a second unseen tile; remembers every picture it saw.
    void PlayLevel(int32_t level) {
        const std::vector<Rect>& tiles = oracle_.tiles.at(level);
        std::set<size_t> onBoard;
        for (size_t i = 0; i < tiles.size(); ++i)
            onBoard.insert(i);
        std::map<size_t, Picture> seen;
        // Pairs taken but not yet seen gone: a click lost on a busy machine
        // leaves them on the board, face down, and they go back into play.
        std::set<size_t> taken;
        Picture shot;
        int shots = 0;
        auto checkTaken = [&]() {
            for (auto it = taken.begin(); it != taken.end();) {
                if (Compare(Cut(shot, View(tiles[*it])), back_) < kSame) {
                    onBoard.insert(*it);
                    it = taken.erase(it);
                } else {
                    ++it;
                }
            }
        };
        // A click is drawn a frame or two after it is made: a look that still
        // shows the back is taken again shortly before it counts as lost.
        auto look = [&](size_t tile, Picture* face) {
            for (int attempt = 0; attempt < 3; ++attempt) {
                ++shots;
                const bool midway = shots == static_cast<int>(tiles.size()) / 2;
                ASSERT_TRUE(game_->Screenshot(midway ? "play_midway" : "play", &shot));
                *face = Cut(shot, View(tiles[tile]));
                if (Compare(*face, back_) >= kDifferent) break;
                Sleep(0.1);
            }
            checkTaken();
        };
        auto partnerOf = [&](size_t tile) -> int64_t {
            for (const auto& [other, face] : seen) {
                if (other != tile && onBoard.count(other) && Compare(face, seen.at(tile)) < kSame)
                    return static_cast<int64_t>(other);
            }
            return -1;
        };
        auto takePair = [&](size_t a, size_t b, bool clickBoth) {
            if (clickBoth) Turn(tiles, a);
            Turn(tiles, b);
            onBoard.erase(a);
            onBoard.erase(b);
            taken.insert(a);
            taken.insert(b);
            Sleep(1.3);  // the pair fades out before the board takes clicks again
        };
        auto unseen = [&](size_t skip) -> int64_t {
            for (size_t i : onBoard)
                if (i != skip && !seen.count(i)) return static_cast<int64_t>(i);
            return -1;
        };

        for (;;) {
            if (onBoard.empty()) {
                // Every pair taken: make sure the board agrees.
                Sleep(0.5);
                ASSERT_TRUE(game_->Screenshot("play", &shot));
                ++shots;
                checkTaken();
                if (onBoard.empty()) break;
            }
            ASSERT_LT(shots, 4 * static_cast<int>(tiles.size())) << "too many looks";
            // A pair already known.
            bool took = false;
            for (size_t i : onBoard) {
                if (!seen.count(i)) continue;
                const int64_t j = partnerOf(i);
                if (j >= 0) {
                    takePair(i, static_cast<size_t>(j), true);
                    took = true;
                    break;
                }
            }
            if (took) continue;

            int64_t a = unseen(SIZE_MAX);
            if (a < 0) {
                // Every tile seen and no pair known: a look went wrong (a
                // picture caught as it faded out). Look at them all again.
                seen.clear();
                a = unseen(SIZE_MAX);
            }
            ASSERT_GE(a, 0);
            Turn(tiles, static_cast<size_t>(a));
            Picture face;
            look(static_cast<size_t>(a), &face);
            if (Compare(face, back_) < kDifferent) continue;  // the click was lost: again
            seen[static_cast<size_t>(a)] = face;
            const int64_t partner = partnerOf(static_cast<size_t>(a));
            if (partner >= 0) {
                takePair(static_cast<size_t>(a), static_cast<size_t>(partner), false);
                continue;
            }
            const int64_t b = unseen(static_cast<size_t>(a));
            ASSERT_GE(b, 0) << "a picture without its partner";
            Turn(tiles, static_cast<size_t>(b));
            Picture second;
            look(static_cast<size_t>(b), &second);
            const Picture first = Cut(shot, View(tiles[static_cast<size_t>(a)]));
            if (Compare(first, face) < kSame) {
                // Both still up: a mismatch, unless the second click was lost.
                if (Compare(second, back_) >= kDifferent) seen[static_cast<size_t>(b)] = second;
                Sleep(1.5);  // the mismatch turns back
            } else if (Compare(first, back_) < kDifferent) {
                // Already turned back: the second picture went unseen.
            } else {
                // The first tile is fading: the two were a pair.
                onBoard.erase(static_cast<size_t>(a));
                onBoard.erase(static_cast<size_t>(b));
                taken.insert(static_cast<size_t>(a));
                taken.insert(static_cast<size_t>(b));
                Sleep(1.0);
            }
        }
        std::cout << "level " << level << ": " << tiles.size() << " tiles, " << shots << " looks\n";
    }

    // Played with keys, the focused tile carries a frame along its edge: the
    // tiles are then looked at inside it.
    Rect View(const Rect& r) const {
        if (!keys_) return r;
        const int32_t m = r.Width() * 12 / 100;
        return {r.left + m, r.top + m, r.right - m, r.bottom - m};
    }

    // The tile whose edge shows the focus frame's yellow, -1 for none.
    static int64_t FocusedTile(const Picture& shot, const std::vector<Rect>& tiles) {
        int64_t best = -1;
        int32_t bestCount = 0;
        for (size_t i = 0; i < tiles.size(); ++i) {
            const Rect& r = tiles[i];
            const int32_t band = std::max(2, r.Width() * 9 / 100);
            int32_t count = 0, total = 0;
            for (int32_t y = r.top; y < r.bottom; ++y) {
                for (int32_t x = r.left; x < r.right; ++x) {
                    const bool edge = x < r.left + band || x >= r.right - band ||
                                      y < r.top + band || y >= r.bottom - band;
                    if (!edge) continue;
                    ++total;
                    const uint8_t* p = shot.At(x, y);
                    if (p[0] > 200 && p[1] > 170 && p[2] < 90) ++count;
                }
            }
            if (count > total / 8 && count > bestCount) {
                bestCount = count;
                best = static_cast<int64_t>(i);
            }
        }
        return best;
    }

    // Turns a tile: a click, or with keys the arrows towards it (rows first,
    // then along the row), looking where the focus stands after each, then Enter.
    void Turn(const std::vector<Rect>& tiles, size_t tile) {
        if (!keys_) {
            game_->Click(tiles[tile]);
            return;
        }
        for (int step = 0; step < 24; ++step) {
            Picture shot;
            ASSERT_TRUE(game_->Screenshot("focus", &shot));
            const int64_t at = FocusedTile(shot, tiles);
            ASSERT_GE(at, 0) << "no focus frame on the board";
            if (static_cast<size_t>(at) == tile) {
                game_->Key("Return");
                return;
            }
            const Rect& a = tiles[static_cast<size_t>(at)];
            const Rect& b = tiles[tile];
            if (a.top != b.top) {
                game_->Key(b.top > a.top ? "Down" : "Up");
            } else {
                game_->Key(b.left > a.left ? "Right" : "Left");
            }
        }
        FAIL() << "the focus did not reach tile " << tile;
    }

    bool keys_ = false;
    fs::path prefix_, out_, root_, home_;
    std::unique_ptr<XServer> x_;
    std::unique_ptr<GameRun> game_;
    e2e::Oracle oracle_;
    Picture back_;
};

// A first start in a fresh home with a German locale: splash, slide, the main
// menu in German; the settings and progress files are written at quit.
TEST_F(Journey, FirstRunInAFreshHomeSpeaksTheLocalesLanguage) {
    Oracle("de_DE");
    e2e::Oracle english;
    std::string error;
    ASSERT_TRUE(BuildOracle("en_GB", "", &english, &error)) << error;
    Launch(Program(), UserFolder(), {}, "de_DE.UTF-8");

    Picture shot;
    ASSERT_TRUE(game_->Screenshot("splash", &shot));
    EXPECT_FALSE(ShowsPanel(shot, oracle_.mainMenu, oracle_.dialogs.mainMenu))
        << "the first frame is the splash, not the menu";
    WaitForMainMenu("main_menu_de");
    ASSERT_TRUE(game_->Screenshot("main_menu_de", &shot));
    EXPECT_GT(Difference(shot, english.mainMenu, SlotRect(english.dialogs.mainMenuButtons.slot[1])),
              2.0)
        << "the captions are the English ones";
    QuitFromMainMenu();

    const auto prefs = Lines(ReadFile(UserFolder() / "Mnemora.prefs"));
    EXPECT_NE(std::find(prefs.begin(), prefs.end(), "Language = de_DE"), prefs.end());
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), ProgressWith("100000000000"));
    EXPECT_FALSE(fs::exists(Program().parent_path() / "Mnemora.prefs"));
}

// Level 1 to a win, Next deals level 2, by a second copy of the game started
// while the first waits at its main menu; the first, quitting afterwards with
// its older progress, keeps the win in the file. After a restart level 2 is
// open on the map with the arrow above it.
TEST_F(Journey, LevelOneWonThenLevelTwoOpenAfterARestart) {
    Oracle("en_GB", ProgressWith("210000000000"));
    WriteUserFiles("en_GB", "");
    Launch(Program(), UserFolder());
    WaitForMainMenu("first_copy_main_menu");
    const std::unique_ptr<GameRun> first = std::move(game_);
    Launch(Program(), UserFolder(), {}, "C.UTF-8", first.get());
    WaitForMainMenu("main_menu");
    StartLevel(1);
    PlayLevel(1);
    WaitForOverlay("level_finished", oracle_.levelFinished, oracle_.dialogs.levelFinished);
    game_->Click(SlotRect(oracle_.dialogs.levelFinishedButtons.slot[1]));
    WaitForDealt(2, "level2_dealt");

    LeaveThroughPauseAndQuit("pause");
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), ProgressWith("210000000000"));
    // SIGTERM quits the first copy the normal way, saving its files.
    ASSERT_EQ(kill(first->pid(), SIGTERM), 0);
    EXPECT_EQ(first->WaitForExit(10s), 0);
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), ProgressWith("210000000000"))
        << "the first copy put back its older progress";

    Launch(Program(), UserFolder());
    WaitForMainMenu("main_menu_again");
    game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[1]));
    Picture shot;
    const auto& levels = oracle_.levels;
    ASSERT_TRUE(game_->WaitForScreen("level_select", 10s, &shot, [&](const Picture& s) {
        return Shows(s, oracle_.levelSelectNoArrow, LevelRect(levels[1]));
    }));
    for (size_t n = 1; n <= 3; ++n) {
        EXPECT_LT(Difference(shot, oracle_.levelSelectNoArrow, LevelRect(levels[n])), kSame)
            << "level " << n << " has the wrong look";
    }
    // The arrow stands in the strip above level 2, and not above level 3.
    auto strip = [&](size_t n) {
        const Rect b = LevelRect(levels[n]);
        return Rect{b.left, b.top - oracle_.metrics.LevelButtonHeight, b.right, b.top};
    };
    EXPECT_GT(Difference(shot, oracle_.levelSelectNoArrow, strip(2)), 5.0);
    EXPECT_LT(Difference(shot, oracle_.levelSelectNoArrow, strip(3)), kSame);
    game_->Key("Escape");
    WaitForMainMenu("main_menu_last");
    QuitFromMainMenu();
}

// Full screen, where no window events are read: the win is on disk as soon as
// it is shown, and SIGTERM ends the game within a second through its normal
// quit, which writes the settings too.
TEST_F(Journey, FullScreenWinIsSavedAndTerminationQuitsCleanly) {
    Oracle("en_GB", ProgressWith("210000000000"));
    fs::create_directories(UserFolder());
    WriteFile(UserFolder() / "Mnemora.prefs",
              "[Settings]\r\nLanguage = en_GB\r\nGameScreen = 0\r\n");
    Launch(Program(), UserFolder());
    game_->UseRelativePointer();
    WaitForMainMenu("main_menu");
    StartLevel(1);
    PlayLevel(1);
    WaitForOverlay("level_finished", oracle_.levelFinished, oracle_.dialogs.levelFinished);
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), ProgressWith("210000000000"));

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(game_->pid(), SIGTERM), 0);
    EXPECT_EQ(game_->WaitForExit(5s), 0) << ReadFile(out_ / "stderr.txt");
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);
    const auto prefs = Lines(ReadFile(UserFolder() / "Mnemora.prefs"));
    EXPECT_NE(std::find(prefs.begin(), prefs.end(), "; Mnemora Preferences"), prefs.end())
        << "the settings were not written at the end";
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), ProgressWith("210000000000"));
}

// Level 1 won without the mouse: the arrows and Enter from the main menu to
// the level-finished dialog, the board read through the screenshots (the
// focus frame says where the keys stand); Escape leaves and quits.
TEST_F(Journey, LevelOneWonWithKeysOnly) {
    Oracle("en_GB", ProgressWith("210000000000"));
    WriteUserFiles("en_GB", "");
    Launch(Program(), UserFolder());
    WaitForMainMenu("main_menu");
    game_->Key("Down");  // shows the focus on Start
    Sleep(0.3);
    game_->Key("Return");
    Sleep(0.8);
    game_->Key("Return");  // the level the arrow points at
    keys_ = true;
    WaitForDealt(1, "level1_dealt");
    PlayLevel(1);
    // The dialog's title and message: its buttons show the focus.
    const ui::Panel& p = oracle_.dialogs.levelFinished;
    const Rect top{p.x, p.y, p.x + p.width, p.y + p.height / 2};
    Picture shot;
    ASSERT_TRUE(game_->WaitForScreen("level_finished", 20s, &shot, [&](const Picture& s) {
        return Shows(s, oracle_.levelFinished, top);
    })) << Difference(shot, oracle_.levelFinished, top);
    EXPECT_GT(Difference(shot, oracle_.levelFinished,
                         SlotRect(oracle_.dialogs.levelFinishedButtons.slot[1])),
              2.0)
        << "Next does not show the focus";
    game_->Key("Escape");
    Sleep(0.8);
    game_->Key("Escape");  // the main menu quits at once
    EXPECT_EQ(game_->WaitForExit(30s), 0) << ReadFile(out_ / "stderr.txt");
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), ProgressWith("210000000000"));
}

// Level 2's clock: a pause stops the bar; left alone, the clock runs out and
// the level-failed dialog shows; Retry deals again; Leave goes to the menu.
TEST_F(Journey, LevelTwoClockRunsOutAfterAPauseThatCostNoTime) {
    const std::string progress = ProgressWith("210000000000");
    Oracle("en_GB", progress);
    WriteUserFiles("en_GB", progress);
    Launch(Program(), UserFolder());
    WaitForMainMenu("main_menu");
    StartLevel(2);

    const auto& m = oracle_.metrics;
    const Rect bar{m.ClockBarLeft, m.ClockBarTop, m.ClockBarLeft + m.ClockBarWidth,
                   m.ClockBarTop + m.HudUnit};
    game_->Key("Escape");
    WaitForOverlay("pause", oracle_.pauseMenu, oracle_.dialogs.pauseMenu);
    Picture paused, later;
    ASSERT_TRUE(game_->Screenshot("paused", &paused));
    Sleep(3.0);
    ASSERT_TRUE(game_->Screenshot("paused_later", &later));
    EXPECT_LT(Difference(paused, later, bar), 0.5) << "the bar moved during the pause";
    game_->Click(SlotRect(oracle_.dialogs.pauseButtons.slot[1]));

    // 120 seconds on the clock.
    WaitForOverlay("level_failed", oracle_.levelFailed, oracle_.dialogs.levelFailed, 150s);
    game_->Click(SlotRect(oracle_.dialogs.levelFailedButtons.slot[1]));
    WaitForDealt(2, "level2_again");
    LeaveThroughPauseAndQuit("pause_again");
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), progress) << "a loss changed progress";
}

// Level 12 won with every other level finished: the game-completed dialog the
// first time, the main menu the second.
TEST_F(Journey, LevelTwelveCompletesTheGameOnce) {
    const std::string progress = ProgressWith("222222222221");
    Oracle("en_GB", progress);
    WriteUserFiles("en_GB", progress);
    Launch(Program(), UserFolder());
    WaitForMainMenu("main_menu");
    StartLevel(12);
    PlayLevel(12);
    WaitForOverlay("level_finished", oracle_.levelFinished, oracle_.dialogs.levelFinished);
    game_->Click(SlotRect(oracle_.dialogs.levelFinishedButtons.slot[1]));
    WaitForOverlay("game_completed", oracle_.gameCompleted, oracle_.dialogs.gameCompleted);
    game_->Click(SlotRect(oracle_.dialogs.gameCompletedButtons.slot[1]));
    WaitForMainMenu("main_menu_after_completion");

    StartLevel(12);
    PlayLevel(12);
    WaitForOverlay("level_finished_again", oracle_.levelFinished, oracle_.dialogs.levelFinished);
    game_->Click(SlotRect(oracle_.dialogs.levelFinishedButtons.slot[1]));
    WaitForMainMenu("main_menu_second_time");
    QuitFromMainMenu();
    EXPECT_EQ(ReadFile(UserFolder() / "Mnemora.scores"), ProgressWith("222222222222"));
    const auto prefs = Lines(ReadFile(UserFolder() / "Mnemora.prefs"));
    EXPECT_NE(std::find(prefs.begin(), prefs.end(), "Completed = 1"), prefs.end());
}

// Help and credits in every shipped language show text on their panels.
TEST_F(Journey, HelpAndCreditsShowTextInEveryLanguage) {
    for (const char* language : kLanguages) {
        SCOPED_TRACE(language);
        Oracle(language);
        WriteUserFiles(language, "");
        Launch(Program(), UserFolder());
        WaitForMainMenu(std::string("main_menu_") + language);
        Picture help, credits;
        game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[3]));
        ASSERT_TRUE(game_->WaitForScreen(
            std::string("help_") + language, 10s, &help, [&](const Picture& s) {
                return !ShowsPanel(s, oracle_.mainMenu, oracle_.dialogs.mainMenu);
            }));
        game_->Key("Escape");
        WaitForMainMenu(std::string("main_menu_back_") + language);
        game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[4]));
        ASSERT_TRUE(game_->WaitForScreen(
            std::string("credits_") + language, 10s, &credits, [&](const Picture& s) {
                return !ShowsPanel(s, oracle_.mainMenu, oracle_.dialogs.mainMenu);
            }));
        // Text on a plain panel: the brightness varies across it.
        EXPECT_GT(Spread(help, PanelRect(oracle_.dialogs.help)), 8.0);
        EXPECT_GT(Spread(credits, PanelRect(oracle_.dialogs.credits)), 8.0);
        EXPECT_GT(Difference(help, credits, PanelRect(oracle_.dialogs.help)), 2.0);
        game_->Key("Escape");
        WaitForMainMenu(std::string("main_menu_end_") + language);
        QuitFromMainMenu();
    }
}

// Settings: a language change shows at once in the menu captions; the window
// mode switches to borderless and back; music off is stored at quit.
TEST_F(Journey, SettingsChangeLanguageModeAndMusic) {
    Oracle("en_GB");
    e2e::Oracle next;
    std::string error;
    WriteUserFiles("en_GB", "");
    Launch(Program(), UserFolder(), {"/LOG"});
    WaitForMainMenu("main_menu");
    const auto& settings = oracle_.dialogs.settingsButtons;

    // The language row steps to the next language.
    game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[2]));
    Sleep(0.8);
    game_->Click(SlotRect(settings.slot[1]));
    Sleep(0.3);
    game_->Click(SlotRect(settings.slot[6]));
    Picture shot;
    ASSERT_TRUE(game_->WaitForScreen("main_menu_new_language", 10s, &shot, [&](const Picture& s) {
        return ShowsPanel(s, oracle_.mainMenu, oracle_.dialogs.mainMenu) ||
               Difference(s, oracle_.mainMenu, PanelRect(oracle_.dialogs.mainMenu)) < 40;
    }));
    EXPECT_GT(Difference(shot, oracle_.mainMenu, SlotRect(oracle_.dialogs.mainMenuButtons.slot[1])),
              2.0)
        << "the captions did not change";
    QuitFromMainMenu();
    const auto prefs = Lines(ReadFile(UserFolder() / "Mnemora.prefs"));
    const auto language = std::find_if(prefs.begin(), prefs.end(), [](const std::string& l) {
        return l.rfind("Language = ", 0) == 0;
    });
    ASSERT_NE(language, prefs.end());
    ASSERT_NE(*language, "Language = en_GB");
    const std::string code = language->substr(11);
    ASSERT_TRUE(BuildOracle(code, "", &next, &error)) << error;
    oracle_ = next;

    // Borderless and back: each reopens the display and slides the menu in.
    Launch(Program(), UserFolder(), {"/LOG"});
    WaitForMainMenu("main_menu_before_mode");
    // The mode row steps windowed, borderless, full screen, windowed.
    for (const auto& [mode, clicks] : {std::pair{"borderless", 1}, std::pair{"windowed", 2}}) {
        game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[2]));
        Sleep(0.8);
        for (int i = 0; i < clicks; ++i) {
            game_->Click(SlotRect(oracle_.dialogs.settingsButtons.slot[4]));
            Sleep(0.3);
        }
        game_->Click(SlotRect(oracle_.dialogs.settingsButtons.slot[6]));
        ASSERT_TRUE(game_->WaitForWindow(30s, true)) << "the display did not reopen";
        WaitForMainMenu(std::string("main_menu_") + mode);
    }
    // Music off.
    game_->Click(SlotRect(oracle_.dialogs.mainMenuButtons.slot[2]));
    Sleep(0.8);
    game_->Click(SlotRect(oracle_.dialogs.settingsButtons.slot[2]));
    Sleep(0.3);
    game_->Click(SlotRect(oracle_.dialogs.settingsButtons.slot[6]));
    WaitForMainMenu("main_menu_music_off");
    QuitFromMainMenu();

    const auto after = Lines(ReadFile(UserFolder() / "Mnemora.prefs"));
    EXPECT_NE(std::find(after.begin(), after.end(), "Music = 0"), after.end());
    EXPECT_NE(std::find(after.begin(), after.end(), "GameScreen = 1"), after.end());
    const auto logs = shell_test::FilesStartingWith(UserFolder(), "Log ");
    ASSERT_FALSE(logs.empty());
    std::string all;
    for (const auto& log : logs)
        all += ReadFile(log);
    EXPECT_NE(all.find("Opening screen (Borderless):\t\tOK"), std::string::npos);
    EXPECT_NE(all.find("Music:\t\tOFF"), std::string::npos);
}

// A settings file beside the program keeps every file there; the "/LOG" log
// has its sections in order and one line per tile picture.
TEST_F(Journey, PortableFolderKeepsEverythingBesideTheProgram) {
    Oracle("en_GB");
    const fs::path folder = root_ / "portable";
    fs::create_directories(folder);
    const fs::path installed = DataFolder();
    fs::copy_file(Program(), folder / "mnemora");
    for (const char* name : {"Mnemora.data", "Mnemora.languages", "Mnemora.pointer"})
        fs::create_symlink(installed / name, folder / name);
    WriteFile(folder / "Mnemora.prefs",
              "[Settings]\r\nLanguage = en_GB\r\nGameScreen = 1\r\n"
              "Resolution = " +
                  std::to_string(kResolutionIndex) + "\r\n");
    Launch(folder / "mnemora", folder, {"/LOG"});
    WaitForMainMenu("main_menu");
    // A screenshot that stays.
    game_->Key("F2");
    Sleep(1.2);
    QuitFromMainMenu();

    EXPECT_TRUE(fs::exists(folder / "Mnemora.scores"));
    EXPECT_FALSE(shell_test::FilesStartingWith(folder, "Mnemora ").empty()) << "no screenshot";
    EXPECT_FALSE(fs::exists(home_ / ".local")) << "something was written in the user folder";
    const auto logs = shell_test::FilesStartingWith(folder, "Log ");
    ASSERT_EQ(logs.size(), 1u);
    const auto lines = Lines(ReadFile(logs[0]));
    std::vector<std::string> sections;
    int tiles = 0;
    for (const auto& line : lines) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') sections.push_back(line);
        if (line.rfind("Load asset (tiles):", 0) == 0) ++tiles;
    }
    EXPECT_EQ(tiles, 20);
    const std::vector<std::string> expected = {
        "[SYSTEM DETAILS]",   "[GAME DETAILS]",        "[CODE SUBSYSTEMS]", "[PATHS]",
        "[INITIAL SETTINGS]", "[AVAILABLE LANGUAGES]", "[STARTING GAME]"};
    ASSERT_GE(sections.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(sections.begin(), sections.begin() + 7), expected);
}

// The Windows game under Wine (make test-windows): its installer run silently
// into a fresh Wine prefix whose user speaks German, the installed program
// started from the Start-menu folder's target, the menu in German, level 1
// won, quit; the two files in the roaming application-data folder checked
// byte for byte; then a "/LOG" run with the Windows figures filled in.
// Skipped unless MNEMORA_WINE_SETUP names the setup program.
class WineJourney : public Journey {
  protected:
    void SetUp() override {
        setup_ = Env("MNEMORA_WINE_SETUP");
        if (setup_.empty()) GTEST_SKIP() << "MNEMORA_WINE_SETUP is not set";
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        // The first journey's screenshots are "Wine", the reference the others compare with.
        out_ = fs::path(Env("MNEMORA_E2E_OUT")) /
               (name == "InstalledInGermanLevelOneWonFilesAndLog" ? "Wine" : "Wine-" + name);
        MakeScratch("/tmp/mnemora-wine-journey-XXXXXX");
        prefix_dir_ = root_ / "wine";
        installed_ = Prefix() / "drive_c" / "Program Files" / "Mnemora" / "Mnemora.exe";
    }
    void TearDown() override {
        game_.reset();
        if (!root_.empty())
            e2e::Run("WINEPREFIX=" + Prefix().string() + " wineserver -k 2>/dev/null");
        Journey::TearDown();
    }

    fs::path Prefix() const { return prefix_dir_; }
    // Wine names the prefix's user, and its profile folder, after USER.
    std::string WineEnv() const {
        return "WINEPREFIX=" + Prefix().string() +
               " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LANG=de_DE.UTF-8 LC_ALL= " +
               (user_.empty() ? "" : "USER='" + user_ + "' ");
    }
    // A fresh Windows 10 prefix; `then` runs in it before the prefix settles
    // (a registry value, say).
    void MakePrefix(const std::string& then = "") {
        ASSERT_EQ(e2e::Run(WineEnv() + "wineboot -i >/dev/null 2>&1"), 0) << "wineboot failed";
        e2e::Run(WineEnv() + "wine winecfg -v win10 >/dev/null 2>&1");
        if (!then.empty()) e2e::Run(WineEnv() + then + " >/dev/null 2>&1");
        e2e::Run("WINEPREFIX=" + Prefix().string() + " wineserver -w");
    }
    // The setup program run silently with `switches`; its exit code once
    // every process it started has ended.
    int RunSetup(const std::string& switches = "") {
        const int code =
            e2e::Run(WineEnv() + "wine " + setup_ + " /S " + switches + " >/dev/null 2>&1");
        e2e::Run("WINEPREFIX=" + Prefix().string() + " wineserver -w");
        return code;
    }
    // The profile folder of the prefix's one user.
    fs::path ProfileFolder() const {
        for (const auto& entry : fs::directory_iterator(Prefix() / "drive_c" / "users")) {
            if (entry.path().filename() != "Public") return entry.path();
        }
        return {};
    }
    fs::path RoamingFolder() const { return ProfileFolder() / "AppData" / "Roaming"; }
    fs::path WineUserFolder() const { return RoamingFolder() / "Orvanta" / "Mnemora"; }
    fs::path Installed() const { return installed_; }

    void LaunchWine(const std::vector<std::string>& arguments = {}) {
        game_.reset();
        std::vector<std::string> args = {Installed().string()};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::map<std::string, std::string> environment{{"WINEPREFIX", Prefix().string()},
                                                       {"WINEDEBUG", "-all"},
                                                       {"LANG", "de_DE.UTF-8"},
                                                       {"LC_ALL", ""},
                                                       {"LC_MESSAGES", ""},
                                                       {"LANGUAGE", ""},
                                                       {"HOME", home_.string()},
                                                       {"SDL_VIDEODRIVER", ""},
                                                       {"SDL_AUDIODRIVER", "dummy"}};
        if (!user_.empty()) environment["USER"] = user_;
        game_ = std::make_unique<GameRun>(
            Env("MNEMORA_WINE").empty() ? "/usr/bin/wine" : Env("MNEMORA_WINE"), args, environment,
            WineUserFolder(), out_);
        ASSERT_TRUE(game_->WaitForWindow(120s)) << "no window";
    }
    // Whether the registry holds `key` (HKCU\... or HKLM\...).
    bool HasKey(const std::string& key) {
        return e2e::Run(WineEnv() + "wine reg query '" + key + "' >/dev/null 2>&1") == 0;
    }

    std::string setup_;
    std::string user_;
    fs::path prefix_dir_;
    fs::path installed_;
};

TEST_F(WineJourney, InstalledInGermanLevelOneWonFilesAndLog) {
    Oracle("de_DE", ProgressWith("210000000000"));
    e2e::Oracle english;
    std::string error;
    ASSERT_TRUE(BuildOracle("en_GB", "", &english, &error)) << error;

    const auto started = std::chrono::steady_clock::now();
    MakePrefix();
    ASSERT_EQ(RunSetup(), 0) << "setup failed";
    ASSERT_TRUE(fs::exists(Installed())) << "nothing installed at " << Installed();
    EXPECT_TRUE(fs::exists(Installed().parent_path() / "Mnemora.data"));
    std::cout << "prefix and install: "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()
              << " s\n";

    LaunchWine();
    WaitForMainMenu("main_menu_de");
    Picture shot;
    ASSERT_TRUE(game_->Screenshot("main_menu_de", &shot));
    EXPECT_GT(Difference(shot, english.mainMenu, SlotRect(english.dialogs.mainMenuButtons.slot[1])),
              2.0)
        << "the captions are the English ones";
    StartLevel(1);
    PlayLevel(1);
    WaitForOverlay("level_finished", oracle_.levelFinished, oracle_.dialogs.levelFinished);
    game_->Click(SlotRect(oracle_.dialogs.levelFinishedButtons.slot[1]));
    WaitForDealt(2, "level2_dealt");
    LeaveThroughPauseAndQuit("pause");

    EXPECT_EQ(ReadFile(WineUserFolder() / "Mnemora.prefs"),
              "\xEF\xBB\xBF\r\n; Mnemora Preferences\r\n[Settings]\r\nLanguage = de_DE\r\n"
              "Music = 1\r\nGameScreen = 2\r\nResolution = 1\r\nSounds = 1\r\n"
              "MusicVolume = 60\r\nCompleted = 0\r\n");
    EXPECT_EQ(ReadFile(WineUserFolder() / "Mnemora.scores"), ProgressWith("210000000000"));
    EXPECT_FALSE(fs::exists(Installed().parent_path() / "Mnemora.prefs"));

    LaunchWine({"/LOG"});
    WaitForMainMenu("main_menu_log");
    QuitFromMainMenu();
    const auto logs = shell_test::FilesStartingWith(WineUserFolder(), "Log ");
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = ReadFile(logs[0]);
    std::vector<std::string> sections;
    std::map<std::string, std::string> values;
    for (const auto& line : Lines(log)) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') sections.push_back(line);
        const size_t tabs = line.find("\t\t");
        if (tabs != std::string::npos) values.emplace(line.substr(0, tabs), line.substr(tabs + 2));
    }
    const std::vector<std::string> expected = {
        "[SYSTEM DETAILS]",   "[GAME DETAILS]",        "[CODE SUBSYSTEMS]", "[PATHS]",
        "[INITIAL SETTINGS]", "[AVAILABLE LANGUAGES]", "[STARTING GAME]"};
    ASSERT_GE(sections.size(), expected.size()) << log;
    EXPECT_EQ(std::vector<std::string>(sections.begin(), sections.begin() + 7), expected);
    EXPECT_NE(log.find("\r\n"), std::string::npos) << "lines end in CR LF";
    EXPECT_NE(values["CPU Name:"], "Unknown CPU");
    EXPECT_GE(std::stoll(values["Total CPU cores:"]), 1);
    EXPECT_GE(std::stoll(values["Available CPU cores:"]), 1);
    EXPECT_GT(std::stoll(values["Total physical memory:"]), 0);
    EXPECT_GT(std::stoll(values["Free physical memory:"]), 0);
    EXPECT_TRUE(values["Operating system:"] == "110" || values["Operating system:"] == "120")
        << values["Operating system:"];
    EXPECT_EQ(values["Directory:"], "Orvanta\\Mnemora");
    EXPECT_EQ(values["Bit:"], "(x64)");
    EXPECT_EQ(values["Desktop DPI:"], "96");
    EXPECT_EQ(values["GameDir:"], "C:\\Program Files\\Mnemora\\");
    EXPECT_EQ(values["SaveTo:"], values["UserDir:"]);
    EXPECT_EQ(values["UserDir:"].rfind("C:\\users\\", 0), 0u) << values["UserDir:"];
    EXPECT_NE(values["UserDir:"].find("\\AppData\\Roaming\\Orvanta\\Mnemora\\"), std::string::npos)
        << values["UserDir:"];
    EXPECT_NE(log.find("Language:\t\tde_DE\r\n"), std::string::npos) << "not started in German";
}

// Players whose account names have letters outside ASCII, or outside the
// Latin alphabet: a per-user install without elevation into that profile's
// own programs folder, so the game's folder, its temporary folder and its
// save folder all carry the name. The captions are in the game's own font
// (the main-menu panel as in the ASCII profile's run), level 1 is won and the
// files are in that profile's roaming folder. The last profile then tries
// the setup and the uninstaller while the game runs (both refuse with exit
// code 3 and change nothing), and uninstalls: the game, its Start-menu entry
// and its uninstall entry go, the save folder stays.
TEST_F(WineJourney, ProfilesNamedOutsideAsciiPerUserInstallAndUninstall) {
    Oracle("de_DE", ProgressWith("210000000000"));
    Picture ascii;
    const bool haveAscii =
        ReadBitmap(fs::path(Env("MNEMORA_E2E_OUT")) / "Wine" / "main_menu_de.bmp", &ascii);
    const std::vector<std::string> users = {"Zo\xC3\xAB J\xC3\xBCrgens",
                                            "\xE5\xB0\x8F\xE6\x98\x8E"};
    for (size_t u = 0; u < users.size(); ++u) {
        user_ = users[u];
        SCOPED_TRACE(user_);
        game_.reset();
        prefix_dir_ = root_ / ("wine-" + std::to_string(u));
        MakePrefix();
        ASSERT_EQ(ProfileFolder().filename().string(), user_) << "Wine took another name";
        ASSERT_EQ(RunSetup("/CURRENTUSER"), 0) << "setup failed";
        const fs::path programs = ProfileFolder() / "AppData" / "Local" / "Programs" / "Mnemora";
        installed_ = programs / "Mnemora.exe";
        ASSERT_TRUE(fs::exists(installed_)) << "nothing installed at " << installed_;
        EXPECT_FALSE(fs::exists(Prefix() / "drive_c" / "Program Files" / "Mnemora"));
        const fs::path shortcut =
            RoamingFolder() / "Microsoft" / "Windows" / "Start Menu" / "Programs" / "Mnemora.lnk";
        EXPECT_TRUE(fs::exists(shortcut));
        const std::string key =
            "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mnemora";
        EXPECT_TRUE(HasKey("HKCU" + key));
        EXPECT_FALSE(HasKey("HKLM" + key));

        LaunchWine();
        WaitForMainMenu("main_menu_" + std::to_string(u));
        Picture shot;
        ASSERT_TRUE(game_->Screenshot("main_menu_" + std::to_string(u), &shot));
        if (haveAscii) {
            EXPECT_LT(Difference(shot, ascii, PanelRect(oracle_.dialogs.mainMenu)), kSame)
                << "the menu differs from the ASCII profile's";
        }
        StartLevel(1);
        PlayLevel(1);
        WaitForOverlay("level_finished_" + std::to_string(u), oracle_.levelFinished,
                       oracle_.dialogs.levelFinished);
        game_->Click(SlotRect(oracle_.dialogs.levelFinishedButtons.slot[1]));
        WaitForDealt(2, "level2_dealt_" + std::to_string(u));
        LeaveThroughPauseAndQuit("pause_" + std::to_string(u));
        EXPECT_EQ(ReadFile(WineUserFolder() / "Mnemora.scores"), ProgressWith("210000000000"));
        EXPECT_NE(ReadFile(WineUserFolder() / "Mnemora.prefs").find("Language = de_DE"),
                  std::string::npos);
        // The last profile's folder has no blank, so "_?=" (which must stand
        // unquoted, last) can name it: the uninstaller then runs in place and
        // its exit code is the test's.
        if (u + 1 < users.size()) continue;

        // While the game runs, neither the setup nor the uninstaller touches it.
        LaunchWine();
        WaitForMainMenu("main_menu_running");
        const std::string windowsFolder =
            "C:\\users\\" + user_ + "\\AppData\\Local\\Programs\\Mnemora";
        EXPECT_EQ(e2e::Run(WineEnv() + "wine " + setup_ + " /S /CURRENTUSER >/dev/null 2>&1"), 3);
        EXPECT_EQ(e2e::Run(WineEnv() + "wine '" + (programs / "Uninstall.exe").string() +
                           "' /S '_?=" + windowsFolder + "' >/dev/null 2>&1"),
                  3);
        EXPECT_TRUE(fs::exists(installed_));
        EXPECT_TRUE(fs::exists(programs / "Uninstall.exe"));
        EXPECT_TRUE(fs::exists(shortcut));
        EXPECT_TRUE(HasKey("HKCU" + key));
        QuitFromMainMenu();
        e2e::Run("WINEPREFIX=" + Prefix().string() + " wineserver -w");

        // Closed, it uninstalls: everything it put there goes, the saves stay.
        e2e::Run(WineEnv() + "wine '" + (programs / "Uninstall.exe").string() +
                 "' /S >/dev/null 2>&1");
        e2e::Run("WINEPREFIX=" + Prefix().string() + " wineserver -w");
        EXPECT_FALSE(fs::exists(programs)) << "the game's folder is left";
        EXPECT_FALSE(fs::exists(shortcut));
        EXPECT_FALSE(HasKey("HKCU" + key));
        EXPECT_TRUE(fs::exists(WineUserFolder() / "Mnemora.scores"));
        e2e::Run("WINEPREFIX=" + Prefix().string() + " wineserver -k 2>/dev/null");
    }
}

// A desktop scaled to 150 % (144 dots per inch): the game declares itself DPI
// aware, so its window covers the same 1280 x 720 physical pixels as at 100 %,
// the layout (and the text in it) is the one of 96 dots per inch, and the
// log names the desktop's 144.
TEST_F(WineJourney, ScaledDesktopKeepsThePhysicalLayout) {
    Oracle("de_DE");
    MakePrefix("wine reg add 'HKCU\\Control Panel\\Desktop' /v LogPixels /t REG_DWORD /d 144 /f");
    ASSERT_EQ(RunSetup(), 0) << "setup failed";
    LaunchWine({"/LOG"});
    WaitForMainMenu("main_menu_144");
    std::string geometry;
    {
        const fs::path out = root_ / "geometry.txt";
        e2e::Run("xdotool search --onlyvisible --name '^Mnemora' getwindowgeometry --shell > '" +
                 out.string() + "' 2>/dev/null");
        geometry = ReadFile(out);
    }
    EXPECT_NE(geometry.find("WIDTH=1280\n"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("HEIGHT=720\n"), std::string::npos) << geometry;
    e2e::Run("import -window root '" + (out_ / "screen_144.png").string() + "' 2>/dev/null");
    QuitFromMainMenu();
    const auto logs = shell_test::FilesStartingWith(WineUserFolder(), "Log ");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(ReadFile(logs[0]).find("Desktop DPI:\t\t144\r\n"), std::string::npos);
}

// The soak (make soak): levels played one after another for a number of
// minutes, with the program's resident memory sampled every minute. Skipped
// unless MNEMORA_SOAK_MINUTES is set.
TEST_F(Journey, Soak) {
    const std::string minutesText = Env("MNEMORA_SOAK_MINUTES");
    if (minutesText.empty()) GTEST_SKIP() << "MNEMORA_SOAK_MINUTES is not set";
    const auto minutes = std::chrono::minutes(std::stoi(minutesText));
    const std::string progress = ProgressWith("111111111111");
    Oracle("en_GB", progress);
    WriteUserFiles("en_GB", progress, "Completed = 1\r\n");
    Launch(Program(), UserFolder());
    WaitForMainMenu("main_menu");

    auto residentKb = [&]() -> long {
        for (const auto& line :
             Lines(ReadFile("/proc/" + std::to_string(game_->pid()) + "/status")))
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        return -1;
    };
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::pair<int, long>> samples{{0, residentKb()}};
    std::vector<int> levelAtSample{0};
    int level = 0, played = 0;
    while (std::chrono::steady_clock::now() - start < minutes) {
        level = level % 12 + 1;
        StartLevel(level);
        PlayLevel(level);
        WaitForOverlay("level_finished", oracle_.levelFinished, oracle_.dialogs.levelFinished);
        game_->Click(SlotRect(oracle_.dialogs.levelFinishedButtons.slot[2]));
        WaitForMainMenu("main_menu_between");
        ++played;
        const int minute = static_cast<int>(std::chrono::duration_cast<std::chrono::minutes>(
                                                std::chrono::steady_clock::now() - start)
                                                .count());
        while (samples.back().first < minute) {
            samples.emplace_back(samples.back().first + 1, residentKb());
            levelAtSample.push_back(played);
        }
    }
    std::ofstream curve(out_ / "rss.txt");
    for (size_t i = 0; i < samples.size(); ++i) {
        curve << "minute " << samples[i].first << "\t" << samples[i].second << " kB\t"
              << levelAtSample[i] << " levels played\n";
        std::cout << "soak: minute " << samples[i].first << ": " << samples[i].second
                  << " kB resident, " << levelAtSample[i] << " levels played\n";
    }
    QuitFromMainMenu();
    // Once every level has been played, everything has been loaded and drawn
    // once: no growth from then on beyond noise (1 MB).
    long afterFirst = -1;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (levelAtSample[i] < 12) continue;
        if (afterFirst < 0) afterFirst = samples[i].second;
        EXPECT_LE(samples[i].second, afterFirst + 1024) << "minute " << samples[i].first;
    }
    std::cout << "soak: " << played << " levels in " << minutes.count() << " minutes\n";
}

// The game in-process, borderless at the size of a private X screen, driven by
// pushed events. Screenshots are kept under MNEMORA_E2E_OUT/screens.
class Screens : public ::testing::Test {
  protected:
    void Start(int32_t width, int32_t height, const std::string& progress) {
        if (!shell_test::HaveGameData()) GTEST_SKIP() << "no game data";
        x_ = std::make_unique<XServer>(width, height);
        ASSERT_TRUE(x_->ok()) << "Xvfb did not start";
        setenv("SDL_VIDEODRIVER", "x11", 1);
        folders_ = std::make_unique<shell_test::ScratchFolders>();
        WriteFile(folders_->game() / "Mnemora.prefs",
                  "[Settings]\r\nLanguage = en_GB\r\nGameScreen = 2\r\nMusic = 0\r\n");
        WriteFile(folders_->game() / "Mnemora.scores", ProgressWith(progress));
        engine::SetFramePacing(false);
        app::StartOptions options;
        options.gameFolder = folders_->gameFolder();
        app::StartGame(options);
        started_ = true;
        engine::PushWindowEvent(0, engine::kEventActivated);
        ASSERT_TRUE(RunUntil(app::MainMenu, 400));
        ASSERT_EQ(display::metrics.ScreenWidth, width);
        ASSERT_EQ(display::metrics.ScreenHeight, height);
    }
    void TearDown() override {
        if (started_) app::ShutdownForTests();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        folders_.reset();
        x_.reset();
    }
    bool RunUntil(int32_t state, int limit) {
        for (int i = 0; i < limit && app::loop.ScreenState != state; ++i)
            app::RunFrame();
        return app::loop.ScreenState == state;
    }
    void ClickAt(int32_t x, int32_t y) {
        engine::PushMouseMotion(0, x, y, 0, 0);
        app::RunFrame();
        engine::PushMouseButton(0, 1, 1, x, y);
        engine::PushMouseButton(0, 1, 0, x, y);
        app::RunFrame();
    }
    // The frame as F2 saves it, kept under `name`.png.
    void Shot(const std::string& name) {
        for (const auto& old : shell_test::FilesStartingWith(folders_->game(), "Mnemora "))
            fs::remove(old);
        app::RunFrame();
        app::SaveScreenshot();
        const auto shots = shell_test::FilesStartingWith(folders_->game(), "Mnemora ");
        ASSERT_EQ(shots.size(), 1u) << name;
        const fs::path out = fs::path(Env("MNEMORA_E2E_OUT").empty() ? "/tmp/mnemora-e2e-output"
                                                                     : Env("MNEMORA_E2E_OUT")) /
                             "screens";
        fs::create_directories(out);
        fs::copy_file(shots[0], out / (name + ".bmp"), fs::copy_options::overwrite_existing);
    }

    std::unique_ptr<XServer> x_;
    std::unique_ptr<shell_test::ScratchFolders> folders_;
    bool started_ = false;
};

// Portrait monitors: the map fills the screen and level 12's eight columns
// stand inside it.
TEST_F(Screens, PortraitBoardsStayOnTheScreen) {
    for (auto [width, height] : {std::pair{1080, 1920}, std::pair{1200, 1920}}) {
        SCOPED_TRACE(width);
        if (started_) TearDown();
        started_ = false;
        Start(width, height, "222222222221");
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        const ui::ButtonSlot& start = ui::dialogs.mainMenuButtons.slot[1];
        ClickAt((start.left + start.right) / 2, (start.top + start.bottom) / 2);
        ASSERT_EQ(app::loop.ScreenState, app::LevelSelect);
        EXPECT_EQ(engine::SpriteDrawHeight(game::SpriteLevelSelectBack), height);
        Shot("map_" + size);
        const display::LevelButton& twelve = display::levelButtons[12];
        ClickAt((twelve.hitLeft + twelve.hitRight) / 2, (twelve.hitTop + twelve.hitBottom) / 2);
        ASSERT_TRUE(RunUntil(app::Playing, 300));
        ASSERT_EQ(game::level.current, 12);
        ASSERT_EQ(game::level.board.size(), 40u);
        const int32_t hudBottom = display::metrics.HudUnit / 2 + display::metrics.HudUnit;
        for (const game::Tile& t : game::level.board) {
            EXPECT_GE(t.left, 0);
            EXPECT_LE(t.right, width);
            EXPECT_GE(t.top, hudBottom);
            EXPECT_LE(t.bottom, height);
        }
        Shot("level12_" + size);
    }
}

// A 21:9 monitor: level 6 is held at the top edge, its arrow below it.
TEST_F(Screens, WideMapShowsTheArrowOfATopEdgeLevel) {
    Start(2560, 1080, "222221000000");
    const ui::ButtonSlot& start = ui::dialogs.mainMenuButtons.slot[1];
    ClickAt((start.left + start.right) / 2, (start.top + start.bottom) / 2);
    ASSERT_EQ(app::loop.ScreenState, app::LevelSelect);
    EXPECT_EQ(display::levelButtons[6].hitTop, 0);
    EXPECT_EQ(game::arrow.shown, 1);
    EXPECT_GE(game::arrow.topBound, 0);
    EXPECT_LE(game::arrow.bottomBound + display::metrics.LevelButtonHeight, 1080);
    Shot("map_2560x1080");
}

}  // namespace
}  // namespace e2e
