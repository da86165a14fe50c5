// Windows, the window event queue, focus, frame pacing, the message box and
// cursor files, on SDL's dummy video driver.
#include <gtest/gtest.h>

#include "scratch_dir.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/display.h"
#include "engine/input.h"
#include "engine/object_table.h"
#include "engine/picture_decode.h"
#include "engine/testing/synthetic_events.h"
#include "unit/engine/picture_builders.h"

namespace {

using namespace engine;
using test_pictures::Bytes;

constexpr int kWindowed = 0x10CA0001;  // hidden, title bar, system menu, minimise box, centred
constexpr int kBorderless = static_cast<int>(0x90000001u);  // hidden, no frame, centred

std::vector<int> DrainEvents() {
    std::vector<int> codes;
    for (int code; (code = PollWindowEvent()) != 0;) {
        if (code != kEventOther) codes.push_back(code);
    }
    return codes;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(InitSpriteSystem(), 1);
        SetFramePacing(false);
        DrainEvents();
    }
    void TearDown() override {
        CloseDisplay();
        CloseAppWindow(-1);
    }
    // The game's window-mode start: window, display inside, shown, activated.
    void OpenGameWindow(int flags, int w = 200, int h = 120) {
        ASSERT_EQ(OpenAppWindow(0, 0, 0, w, h, "Mnemora", flags), 1);
        EXPECT_EQ(IsDisplayFocused(), 0);
        ASSERT_EQ(OpenDisplayInWindow(NativeWindowHandle(0), 0, 0, w, h, 0, 0, 0, 2), 1);
        SetAppWindowHidden(0, 0);
        ActivateAppWindow(0);
        DrainEvents();
    }
};

TEST_F(WindowTest, WindowModesOpenHiddenAndAreFocusedOnceShown) {
    OpenGameWindow(kWindowed);
    EXPECT_EQ(IsDisplayOpen(), 1);
    EXPECT_EQ(DisplayWidth(), 200);
    EXPECT_EQ(IsDisplayFocused(), 1);
    CloseDisplay();
    CloseAppWindow(0);
    EXPECT_EQ(AppWindowExists(0), 0);
    OpenGameWindow(kBorderless);
    EXPECT_EQ(IsDisplayFocused(), 1);
    // Closing the window closes the display inside it.
    CloseAppWindow(0);
    EXPECT_EQ(IsDisplayOpen(), 0);
    EXPECT_EQ(IsDisplayFocused(), 0);
}

TEST_F(WindowTest, WindowEventsTranslateToEngineCodesAndFocus) {
    OpenGameWindow(kWindowed);
    PushWindowEvent(0, kEventDeactivated);
    PushWindowEvent(0, kEventActivated);
    PushWindowEvent(0, kEventMinimised);
    PushWindowEvent(0, kEventRestored);
    PushWindowEvent(0, kEventRepaint);
    PushWindowEvent(0, kEventMoved);
    PushWindowEvent(0, kEventSized);
    PushWindowEvent(0, kEventMaximised);
    PushWindowEvent(0, kEventClose);
    EXPECT_EQ(DrainEvents(), (std::vector<int>{kEventDeactivated, kEventActivated, kEventMinimised,
                                               kEventRestored, kEventRepaint, kEventMoved,
                                               kEventSized, kEventMaximised, kEventClose}));
    EXPECT_EQ(PushWindowEvent(0, 12345), 0);

    PushWindowEvent(0, kEventMinimised);
    DrainEvents();
    EXPECT_EQ(IsDisplayFocused(), 0);
    PushWindowEvent(0, kEventRestored);
    DrainEvents();
    EXPECT_EQ(IsDisplayFocused(), 1);
    PushWindowEvent(0, kEventDeactivated);
    DrainEvents();
    EXPECT_EQ(IsDisplayFocused(), 0);
    PushQuitEvent();
    EXPECT_EQ(DrainEvents(), std::vector<int>{kEventClose});
}

TEST_F(WindowTest, ClicksComeOnButtonReleaseAndTheCursorIsTracked) {
    OpenGameWindow(kWindowed, 200, 120);
    EXPECT_EQ(WindowCursorX(0), -1);  // no mouse seen yet
    PushMouseMotion(0, 30, 40, 0, 0);
    PushMouseButton(0, 1, 1, 31, 41);
    EXPECT_EQ(DrainEvents(), std::vector<int>{});  // the press is no click
    EXPECT_EQ(WindowCursorX(0), 31);
    EXPECT_EQ(WindowCursorY(0), 41);
    PushMouseButton(0, 1, 0, 32, 42);
    PushMouseButton(0, 2, 0, 32, 42);
    PushMouseButton(0, 3, 0, 32, 42);
    PushMouseButton(0, 1, 1, 32, 42, 2);
    EXPECT_EQ(DrainEvents(),
              (std::vector<int>{kEventLeftClick, kEventRightClick, kEventLeftDoubleClick}));

    PushMouseMotion(0, 199, 119, 0, 0);
    DrainEvents();
    EXPECT_EQ(WindowCursorX(0), 199);
    PushMouseMotion(0, 200, 50, 0, 0);  // at the right edge: outside
    DrainEvents();
    EXPECT_EQ(WindowCursorX(0), -1);
    EXPECT_EQ(WindowCursorY(0), -1);
    PushMouseMotion(0, 10, 120, 0, 0);
    DrainEvents();
    EXPECT_EQ(WindowCursorY(0), -1);
    PushMouseMotion(0, 10, 10, 0, 0);
    PushCursorLeave(0);
    DrainEvents();
    EXPECT_EQ(WindowCursorX(0), -1);
    EXPECT_EQ(WindowCursorX(7), -1);
}

TEST_F(WindowTest, FullScreenFlipDrainsTheQueueSoTheGameSeesNoEvents) {
    ASSERT_EQ(OpenExclusiveDisplay(160, 100, 32, "full", 2), 1);
    EXPECT_EQ(IsDisplayFocused(), 1);
    PushWindowEvent(-1, kEventRepaint);
    PushMouseButton(-1, 1, 0, 5, 5);
    FlipFrame();
    EXPECT_EQ(PollWindowEvent(), 0);

    // A request to quit is kept all the same, once; and so are the three
    // termination signals, SIGHUP included.
    TakeQuitRequest();  // what earlier tests left
    PushQuitEvent();
    FlipFrame();
    EXPECT_EQ(TakeQuitRequest(), 1);
    EXPECT_EQ(TakeQuitRequest(), 0);
#ifdef SIGHUP
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
#else
    const int signals[] = {SIGTERM, SIGINT};  // Windows has no hang-up signal
#endif
    for (int signal : signals) {
        ASSERT_EQ(std::raise(signal), 0) << signal;
        EXPECT_EQ(TakeQuitRequest(), 1) << signal;
    }
}

TEST_F(WindowTest, WindowStateAndHidingMoveTheFocusFlag) {
    OpenGameWindow(kWindowed);
    SetAppWindowState(0, kWindowMinimised);
    EXPECT_EQ(IsDisplayFocused(), 0);
    SetAppWindowState(0, 0);
    EXPECT_EQ(IsDisplayFocused(), 1);
    SetAppWindowHidden(0, 1);
    EXPECT_EQ(IsDisplayFocused(), 0);
    FlipFrame();  // a hidden window drops the frame without harm
    SetAppWindowHidden(0, 0);
    EXPECT_EQ(IsDisplayFocused(), 1);
    // Absent windows: nothing happens.
    SetAppWindowHidden(9, 0);
    ActivateAppWindow(9);
    SetAppWindowState(9, 0);
    EXPECT_EQ(NativeWindowHandle(9), 0);
    EXPECT_EQ(AppWindowExists(9), 0);
}

TEST_F(WindowTest, BadSizesAndUnknownParentsOpenNothing) {
    EXPECT_EQ(OpenAppWindow(1, 0, 0, 0, 100, "x", kWindowed), 0);
    EXPECT_EQ(OpenAppWindow(1, 0, 0, 100, -1, "x", kWindowed), 0);
    EXPECT_EQ(OpenAppWindow(kMaxObjectNumber, 0, 0, 100, 100, "x", kWindowed), 0);
    EXPECT_EQ(OpenDisplayInWindow(987654, 0, 0, 100, 100, 0, 0, 0, 2), 0);
    EXPECT_EQ(OpenExclusiveDisplay(0, 100, 32, "x", 2), 0);
    EXPECT_EQ(IsDisplayOpen(), 0);
    int handle = OpenAppWindow(AutoId, 5, 5, 50, 50, "auto", 0);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(AppWindowExists(handle), 1);
    EXPECT_EQ(OpenDisplayInWindow(NativeWindowHandle(handle), 0, 0, 0, 50, 0, 0, 0, 2), 0);
}

TEST_F(WindowTest, WindowIconFromPicture) {
    ASSERT_EQ(OpenAppWindow(0, 0, 0, 50, 50, "icon", kWindowed), 1);
    Bytes bmp = test_pictures::MakeBmp(2, 2, Bytes(16, 128), 32);
    EXPECT_EQ(SetAppWindowIcon(0, bmp.data(), int64_t(bmp.size())), 1);
    EXPECT_EQ(SetAppWindowIcon(0, bmp.data(), 10), 0);
    EXPECT_EQ(SetAppWindowIcon(3, bmp.data(), int64_t(bmp.size())), 0);
}

TEST(FramePacing, TargetRateSpacesFramesAndZeroIsRefused) {
    ASSERT_EQ(InitSpriteSystem(), 1);
    SetFramePacing(true);
    EXPECT_EQ(SetTargetFrameRate(0), 0);
    EXPECT_EQ(SetTargetFrameRate(-5), 0);
    ASSERT_EQ(SetTargetFrameRate(50), 1);  // 20 ms a frame
    FlipFrame();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        FlipFrame();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 99.0);
    EXPECT_LT(ms, 400.0);
    EXPECT_EQ(SetTargetFrameRate(0), 0);  // leaves 50 in force
    start = std::chrono::steady_clock::now();
    FlipFrame();
    FlipFrame();
    ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 19.0);
    SetFramePacing(false);
}

TEST(MessageBox, HeadlessReturnsAtOnceAndWritesStandardError) {
    ::testing::internal::CaptureStderr();
    int result = ShowMessageBox("Mnemora::Error", "The screen could not be opened.", 0x10);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, kResultOk);
    EXPECT_NE(err.find("Mnemora::Error: The screen could not be opened."), std::string::npos);
    EXPECT_EQ(ShowMessageBox("t", "yes or no", kMessageBoxYesNo), kResultYes);
}

#ifndef _WIN32
// While the game runs, a termination signal is a request to quit that the
// frame loop reads; once a fatal box stands nothing reads it any more, so the
// signal must end the program there and then.
TEST(MessageBox, AFatalBoxLetsATerminationSignalEndTheProgram) {
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (InitSpriteSystem() != 1) _exit(2);
        ShowMessageBox("Mnemora::Warning", "a box the game goes on after", kMessageBoxOk);
        std::raise(SIGTERM);
        if (TakeQuitRequest() != 1) _exit(3);
        ShowMessageBox("Mnemora::Error", "The screen could not be opened.",
                       kMessageBoxOk | kMessageBoxFatal);
        std::raise(SIGTERM);
        _exit(4);  // the signal was only recorded
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}
#endif

// ---------------------------------------------------------------------------
// Cursor files

Bytes CursorPixels(int w, int h) {
    Bytes p;
    for (int i = 0; i < w * h; ++i)
        p.insert(p.end(), {uint8_t(i), 0, 200, uint8_t(i * 4)});
    return p;
}

TEST(CursorFile, BitmapAndPngImagesWithTheirHotspot) {
    Bytes pixels = CursorPixels(8, 6);
    detail::CursorPicture parsed;
    Bytes dib =
        test_pictures::MakeCursor(8, 6, 3, 2, test_pictures::MakeCursorBitmap(8, 6, pixels));
    ASSERT_TRUE(detail::ParseCursorFile(dib.data(), dib.size(), &parsed));
    EXPECT_EQ(parsed.picture.width, 8);
    EXPECT_EQ(parsed.picture.height, 6);
    EXPECT_EQ(parsed.hot_x, 3);
    EXPECT_EQ(parsed.hot_y, 2);
    EXPECT_EQ(parsed.picture.bgra, pixels);

    test_pictures::PngSpec spec;
    spec.width = 4;
    spec.height = 4;
    for (int i = 0; i < 64; ++i)
        spec.samples.push_back(uint32_t(i));
    Bytes png = test_pictures::MakeCursor(4, 4, 9, 1, test_pictures::MakePng(spec));
    ASSERT_TRUE(detail::ParseCursorFile(png.data(), png.size(), &parsed));
    EXPECT_EQ(parsed.picture.width, 4);
    EXPECT_EQ(parsed.hot_x, 3);  // a hotspot beyond the picture is clamped to it
    EXPECT_EQ(parsed.hot_y, 1);
}

TEST(CursorFile, AlphaLessBitmapTakesTheAndMask) {
    Bytes pixels(4 * 2 * 4, 90);
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 0;
    Bytes image = test_pictures::MakeCursorBitmap(4, 2, pixels);
    image[image.size() - 4] = 0x80;  // AND mask, top row (stored last), first pixel: transparent
    Bytes file = test_pictures::MakeCursor(4, 2, 0, 0, image);
    detail::CursorPicture parsed;
    ASSERT_TRUE(detail::ParseCursorFile(file.data(), file.size(), &parsed));
    EXPECT_EQ(parsed.picture.bgra[3], 0);
    EXPECT_EQ(parsed.picture.bgra[7], 255);
    EXPECT_EQ(parsed.picture.bgra[4 * 4 + 3], 255);
}

TEST(CursorFile, FilesThatAreNotCursorsLeaveTheCursorEmpty) {
    Bytes good = test_pictures::MakeCursor(
        8, 6, 3, 2, test_pictures::MakeCursorBitmap(8, 6, CursorPixels(8, 6)));
    detail::CursorPicture parsed;
    Bytes icon = good;
    icon[2] = 1;  // an icon, not a cursor
    EXPECT_FALSE(detail::ParseCursorFile(icon.data(), icon.size(), &parsed));
    Bytes truncated(good.begin(), good.begin() + 60);
    EXPECT_FALSE(detail::ParseCursorFile(truncated.data(), truncated.size(), &parsed));
    Bytes far = good;
    far[18] = 0xFF;  // image offset beyond the file
    far[19] = 0xFF;
    EXPECT_FALSE(detail::ParseCursorFile(far.data(), far.size(), &parsed));
    Bytes none = good;
    none[4] = 0;  // no entries
    EXPECT_FALSE(detail::ParseCursorFile(none.data(), none.size(), &parsed));
    EXPECT_FALSE(detail::ParseCursorFile(nullptr, 0, &parsed));

    ASSERT_EQ(InitSpriteSystem(), 1);
    EXPECT_EQ(LoadCursorData(icon.data(), int64_t(icon.size())), 0);
    EXPECT_EQ(LoadCursorFile("/nonexistent/Mnemora.pointer"), 0);
    auto path = test_support::ScratchFile("mnemora_display_test.pointer");
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(good.data()), good.size());
    }
    int cursor = LoadCursorFile(path.string());
    std::filesystem::remove(path);
    // The dummy video driver has no cursors at all; elsewhere the file loads.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!driver || std::string(driver) != "dummy") {
        EXPECT_NE(cursor, 0);
    }
    ASSERT_EQ(OpenAppWindow(0, 0, 0, 40, 40, "cursor", kWindowed), 1);
    SetAppWindowCursor(0, cursor);
    ReleaseCursor(cursor);  // the default arrow comes back
    SetAppWindowCursor(0, 0);
    CloseAppWindow(0);
}

}  // namespace
