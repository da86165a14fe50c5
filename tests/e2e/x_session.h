// The pieces of an end-to-end run: a private Xvfb screen, the installed game
// as a child process, xdotool for keys and clicks, and the game's own F2
// screenshots read back as pictures.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// A screenshot: 8-bit RGB, top row first.
struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int32_t x, int32_t y) const {
        return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                    3];
    }
};

// Reads an uncompressed 24- or 32-bit BMP (either row order); false when the
// file is absent, short or of another kind.
bool ReadBitmap(const fs::path& path, Picture* picture);
// Writes the picture as a 24-bit BMP, for looking at after a run.
void WriteBitmap(const fs::path& path, const Picture& picture);
// The mean absolute difference per channel over the rectangle (0..255); the
// rectangle is clipped to both pictures; 255 when nothing is left of it.
double Difference(const Picture& a, const Picture& b, const Rect& r);
// The same between a rectangle of one picture and another rectangle of equal
// size in the other (or the same) picture.
double Difference(const Picture& a, const Rect& ra, const Picture& b, const Rect& rb);
// The standard deviation of the brightness inside the rectangle: near 0 for a
// plain area, larger where there is text or a picture.
double Spread(const Picture& p, const Rect& r);

// A private X server on a free display number.
class XServer {
  public:
    XServer(int32_t width, int32_t height);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    bool ok() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs a command with the test's environment and the X display; its exit status.
int Run(const std::string& command);

// One run of the game: started from its folder with the given environment,
// driven through its window, ended by quitting (or killed by the destructor).
class GameRun {
  public:
    // `saveFolder` is where its screenshots appear; `outDir` keeps a copy of
    // each screenshot under the name it was asked for.
    GameRun(const fs::path& program, const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment, const fs::path& saveFolder,
            const fs::path& outDir);
    ~GameRun();
    GameRun(const GameRun&) = delete;
    GameRun& operator=(const GameRun&) = delete;

    // Waits for the window to show (with `another`, a window other than the
    // one in use, as after a display reopen); false after the timeout.
    bool WaitForWindow(std::chrono::seconds timeout, bool another = false);
    // The window in use; a run started beside another copy takes the other's
    // window as the one to pass over when it waits for its own with `another`.
    const std::string& window() const { return window_; }
    void PassOver(const std::string& window) { window_ = window; }
    // A key held for 80 ms (xdotool key names: "Escape", "F2", "m").
    void Key(const std::string& name);
    // Full screen reads relative mouse motion into a pointer of its own:
    // clicks then push that pointer into the top-left corner and move it from
    // there by relative steps.
    void UseRelativePointer() { relative_ = true; }
    // A left click at window pixels; the pointer then moves to the corner so
    // it never covers what the next screenshot looks at.
    void Click(int32_t x, int32_t y);
    void Click(const Rect& r) { Click((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
    // F2, then the new screenshot read back (the file is removed, a copy kept
    // as <outDir>/<name>.bmp). F2 is pressed again when nothing arrives.
    bool Screenshot(const std::string& name, Picture* picture);
    // Screenshots until `test` holds for one, up to the timeout; the last one
    // is left in `picture`.
    template <typename Test>
    bool WaitForScreen(const std::string& name, std::chrono::seconds timeout, Picture* picture,
                       Test test) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (Screenshot(name, picture) && test(*picture)) return true;
        }
        return false;
    }
    bool Running();
    pid_t pid() const { return pid_; }
    // Waits for the program to end by itself; its exit status, or -1 when it
    // is still running after the timeout.
    int WaitForExit(std::chrono::seconds timeout);

  private:
    pid_t pid_ = -1;
    std::string window_;
    fs::path saveFolder_;
    fs::path outDir_;
    std::chrono::steady_clock::time_point lastF2_{};
    int status_ = -1;
    bool relative_ = false;
};

// Pauses the test.
void Sleep(double seconds);

}  // namespace e2e
