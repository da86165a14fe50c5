// The display modes: full screen at the desktop's size, a window of one of the
// nine sizes, or a borderless window covering the desktop. Everything is drawn
// at the display's own pixel size, so opening the display also fixes the
// layout metrics.
#include "display/screen.h"

#include "app/log.h"
#include "app/state.h"
#include "display/layout.h"
#include "engine/display.h"
#include "engine/files.h"
#include "engine/system.h"

namespace display {

namespace {
struct ScreenOpenState {
    int32_t cursor = 0;
};
ScreenOpenState screenState;

const char* ModeName(int32_t gameScreen) {
    switch (gameScreen) {
        case kModeFullscreen:
            return "Fullscreen";
        case kModeWindowed:
            return "Windowed";
        case kModeBorderless:
            return "Borderless";
        default:
            return nullptr;
    }
}
}  // namespace

const std::string& WindowTitle() {
    static const std::string title = "Mnemora 1.0.0.0 - Velcroft (https://orvanta.example)";
    return title;
}

void ParseResolution(const std::string& text, int32_t* width, int32_t* height) {
    *width = static_cast<int32_t>(engine::TextToInt(engine::SplitField(text, 1, "x")));
    *height = static_cast<int32_t>(engine::TextToInt(engine::SplitField(text, 2, "x")));
}

void ChooseDisplaySize(int32_t gameScreen, int32_t resolution, bool logDesktop) {
    auto& m = metrics;
    engine::CountDesktops();
    m.ScreenWidth = engine::DesktopPixelWidth(0);
    m.ScreenHeight = engine::DesktopPixelHeight(0);
    if (logDesktop) {
        app::LogValue("ScreenWidth:", engine::IntToText(m.ScreenWidth));
        app::LogValue("ScreenHeight:", engine::IntToText(m.ScreenHeight));
    }
    if (gameScreen == kModeWindowed) {
        ParseResolution(ResolutionList()[ClampResolution(resolution)], &m.ScreenWidth,
                        &m.ScreenHeight);
    }
}

int32_t OpenGameDisplay(int32_t gameScreen) {
    auto& m = metrics;
    const char* mode = ModeName(gameScreen);
    if (!mode) return 0;
    const std::string label = std::string("Opening screen (") + mode + "):";
    int opened = 0;
    if (gameScreen == kModeFullscreen) {
        opened = engine::OpenExclusiveDisplay(m.ScreenWidth, m.ScreenHeight, 32, WindowTitle(), 2);
    } else {
        const int flags = gameScreen == kModeWindowed ? kWindowedFlags : kBorderlessFlags;
        if (engine::OpenAppWindow(0, 0, 0, m.ScreenWidth, m.ScreenHeight, WindowTitle(), flags)) {
            opened = engine::OpenDisplayInWindow(engine::NativeWindowHandle(0), 0, 0, m.ScreenWidth,
                                                 m.ScreenHeight, 0, 0, 0, 2);
            if (opened) {
                if (screenState.cursor) engine::ReleaseCursor(screenState.cursor);
                screenState.cursor =
                    engine::LoadCursorFile(app::folders.GameFolder + "Mnemora.pointer");
            }
        }
    }
    if (!opened) {
        app::LogValue(label, "FAILED");
        return 0;
    }
    app::LogValue(label, "OK");
    app::LogValue("Screenwidth:", engine::IntToText(m.ScreenWidth));
    app::LogValue("Screenheight:", engine::IntToText(m.ScreenHeight));
    return 1;
}

void CloseGameDisplay(int32_t gameScreen) {
    engine::CloseDisplay();
    if (gameScreen != kModeFullscreen && engine::AppWindowExists(0)) engine::CloseAppWindow(0);
}

void ShowGameWindow(int32_t gameScreen) {
    if (gameScreen == kModeFullscreen) return;
    engine::SetAppWindowHidden(0, 0);
    engine::ActivateAppWindow(0);
    engine::SetAppWindowCursor(0, screenState.cursor);
}

int32_t GameCursor() {
    return screenState.cursor;
}

void ClassifyAndLayOut() {
    auto& m = metrics;
    m.AspectClass = ClassifyAspect(m.ScreenWidth, m.ScreenHeight);
    app::LogValue("AspectRatio:", engine::IntToText(m.AspectClass));
    ComputeLayout();
}

}  // namespace display
