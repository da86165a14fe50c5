// The page the game runs in: its size and pixel ratio, the canvas's CSS size,
// resizes, the loading view, messages, downloads, the log in the console,
// sound after the first gesture, and the page shown once the game has ended.
// The JavaScript half is page.js.
#include <emscripten.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "engine/platform/platform.h"

// The browser side, in page.js.
extern "C" {
int mnemora_page_width();
int mnemora_page_height();
void mnemora_place_canvas(int width, int height);
int mnemora_take_resize();
void mnemora_first_frame();
int mnemora_show_error(const char* title, const char* text);
void mnemora_warn(const char* title, const char* text);
void mnemora_hand_over(const char* path, const char* mime);
void mnemora_watch_page();
void mnemora_page_ended();
}

namespace engine {

namespace {

void PageEnded() {
    mnemora_page_ended();
}

}  // namespace

void MarkProgramRunning() {
    // Emscripten's libc starts with a umask of 0777, so a file made with the
    // usual 0666 & ~umask (the atomic save's new files) could never be read
    // again: the desktop systems' usual mask instead.
    ::umask(022);
    mnemora_watch_page();
    std::atexit(PageEnded);
}

namespace os {

bool ScreenPixelSize(int* width, int* height) {
    *width = mnemora_page_width();
    *height = mnemora_page_height();
    return true;
}

void WindowMade(int width, int height) {
    mnemora_place_canvas(width, height);
}

bool TakeScreenResized() {
    return mnemora_take_resize() != 0;
}

bool FramesYield() {
    return true;
}

// The program is built without threads, so that any static host serves it
// (threads need cross-origin isolation headers).
bool ThreadsAvailable() {
    return false;
}

void SleepMicroseconds(int64_t us) {
    emscripten_sleep(us > 0 ? static_cast<unsigned int>((us + 999) / 1000) : 0);
}

void FramePresented(uint64_t count) {
    if (count == 1) mnemora_first_frame();
}

bool ShowMessageInPage(const std::string& title, const std::string& text, bool fatal) {
    if (fatal && mnemora_show_error(title.c_str(), text.c_str())) return true;
    // Anything else is a note for the console: a page has no place to stop
    // the game for it.
    mnemora_warn(title.c_str(), text.c_str());
    return true;
}

void HandToPlayer(const std::string& path, const std::string& mime) {
    mnemora_hand_over(path.c_str(), mime.c_str());
}

}  // namespace os
}  // namespace engine
