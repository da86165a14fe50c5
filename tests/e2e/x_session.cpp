#include "x_session.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <thread>

namespace e2e {

namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b[at + static_cast<size_t>(i)];
    return v;
}

void PutLe(std::string* out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

Rect Clip(const Picture& a, const Picture& b, const Rect& r) {
    return {std::max(r.left, 0), std::max(r.top, 0), std::min({r.right, a.width, b.width}),
            std::min({r.bottom, a.height, b.height})};
}

std::vector<fs::path> Screenshots(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("Mnemora ", 0) == 0 && e.path().extension() == ".bmp")
            found.push_back(e.path());
    }
    return found;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

bool ReadBitmap(const fs::path& path, Picture* picture) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const uint32_t offset = Le(b, 10, 4);
    const int32_t width = static_cast<int32_t>(Le(b, 18, 4));
    int32_t height = static_cast<int32_t>(Le(b, 22, 4));
    const uint32_t bits = Le(b, 28, 2);
    const bool topDown = height < 0;
    height = std::abs(height);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    if (bits != 24 && bits != 32) return false;
    const size_t step = bits / 8;
    const size_t stride = (static_cast<size_t>(width) * step + 3) & ~size_t{3};
    if (offset > b.size() || b.size() - offset < stride * static_cast<size_t>(height)) return false;
    picture->width = width;
    picture->height = height;
    picture->rgb.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = offset + stride * static_cast<size_t>(topDown ? y : height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* s = &b[row + static_cast<size_t>(x) * step];
            uint8_t* d = &picture->rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) +
                                        static_cast<size_t>(x)) *
                                       3];
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    return true;
}

void WriteBitmap(const fs::path& path, const Picture& p) {
    const uint32_t stride = (static_cast<uint32_t>(p.width) * 3 + 3) & ~3u;
    const uint32_t size = stride * static_cast<uint32_t>(p.height);
    std::string out = "BM";
    PutLe(&out, 54 + size, 4);
    PutLe(&out, 0, 4);
    PutLe(&out, 54, 4);
    PutLe(&out, 40, 4);
    PutLe(&out, static_cast<uint32_t>(p.width), 4);
    PutLe(&out, static_cast<uint32_t>(p.height), 4);
    PutLe(&out, 1, 2);
    PutLe(&out, 24, 2);
    for (int i = 0; i < 6; ++i)
        PutLe(&out, 0, 4);
    for (int32_t y = p.height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < p.width; ++x) {
            const uint8_t* s = p.At(x, y);
            out.push_back(static_cast<char>(s[2]));
            out.push_back(static_cast<char>(s[1]));
            out.push_back(static_cast<char>(s[0]));
        }
        out.append(stride - static_cast<uint32_t>(p.width) * 3, '\0');
    }
    std::ofstream(path, std::ios::binary) << out;
}

double Difference(const Picture& a, const Picture& b, const Rect& r) {
    const Rect c = Clip(a, b, r);
    return Difference(a, c, b, c);
}

double Difference(const Picture& a, const Rect& ra, const Picture& b, const Rect& rb) {
    const int32_t w = std::min(ra.Width(), rb.Width());
    const int32_t h = std::min(ra.Height(), rb.Height());
    if (w <= 0 || h <= 0 || ra.left < 0 || ra.top < 0 || rb.left < 0 || rb.top < 0 ||
        ra.left + w > a.width || ra.top + h > a.height || rb.left + w > b.width ||
        rb.top + h > b.height) {
        return 255.0;
    }
    uint64_t sum = 0;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = a.At(ra.left + x, ra.top + y);
            const uint8_t* q = b.At(rb.left + x, rb.top + y);
            for (int i = 0; i < 3; ++i)
                sum += static_cast<uint64_t>(std::abs(p[i] - q[i]));
        }
    }
    return static_cast<double>(sum) / (3.0 * w * h);
}

double Spread(const Picture& p, const Rect& r) {
    const Rect c = Clip(p, p, r);
    if (c.Width() <= 0 || c.Height() <= 0) return 0;
    double sum = 0, squares = 0;
    const double n = static_cast<double>(c.Width()) * c.Height();
    for (int32_t y = c.top; y < c.bottom; ++y) {
        for (int32_t x = c.left; x < c.right; ++x) {
            const uint8_t* s = p.At(x, y);
            const double v = 0.299 * s[0] + 0.587 * s[1] + 0.114 * s[2];
            sum += v;
            squares += v * v;
        }
    }
    const double mean = sum / n;
    return std::sqrt(std::max(0.0, squares / n - mean * mean));
}

XServer::XServer(int32_t width, int32_t height) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        // -noreset: by default the server resets when its last client leaves,
        // and a game started during the reset finds no display.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) return;
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
}

XServer::~XServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

GameRun::GameRun(const fs::path& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment, const fs::path& saveFolder,
                 const fs::path& outDir)
    : saveFolder_(saveFolder), outDir_(outDir) {
    fs::create_directories(outDir_);
    pid_ = fork();
    if (pid_ == 0) {
        for (const auto& [key, value] : environment) {
            if (value.empty()) {
                unsetenv(key.c_str());
            } else {
                setenv(key.c_str(), value.c_str(), 1);
            }
        }
        const int err = open((outDir_ / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (err >= 0) {
            dup2(err, 1);
            dup2(err, 2);
        }
        if (chdir(program.parent_path().c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        std::string path = program.string();
        argv.push_back(path.data());
        std::vector<std::string> args = arguments;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
}

GameRun::~GameRun() {
    if (Running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool GameRun::Running() {
    if (pid_ <= 0 || status_ != -1) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

int GameRun::WaitForExit(std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Running() && std::chrono::steady_clock::now() < end)
        Sleep(0.1);
    return Running() ? -1 : status_;
}

bool GameRun::WaitForWindow(std::chrono::seconds timeout, bool another) {
    // A display reopen closes the window and opens another: with `another`
    // only a window other than the one in use counts.
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end && Running()) {
        FILE* out = popen("xdotool search --onlyvisible --name '^Mnemora' 2>/dev/null", "r");
        if (!out) return false;
        // The last window listed, leaving out the one in use with `another`
        // (another copy's, or the window a reopen closes).
        std::string found;
        char line[64] = {};
        while (fgets(line, sizeof line, out)) {
            std::string window = line;
            while (!window.empty() && (window.back() == '\n' || window.back() == '\r'))
                window.pop_back();
            if (!window.empty() && !(another && window == window_)) found = window;
        }
        pclose(out);
        if (!found.empty()) {
            window_ = found;
            Run("xdotool windowfocus --sync " + window_ + " 2>/dev/null");
            return true;
        }
        Sleep(0.2);
    }
    return false;
}

void GameRun::Key(const std::string& name) {
    Run("xdotool keydown " + Quote(name) + " sleep 0.08 keyup " + Quote(name));
}

void GameRun::Click(int32_t x, int32_t y) {
    if (relative_) {
        // Steps small enough that the server's pointer never meets an edge.
        const std::string corner =
            " mousemove_relative -- -500 -500 sleep 0.03 mousemove_relative -- -500 -500"
            " sleep 0.03 mousemove_relative -- -500 -500 sleep 0.03";
        const std::string half =
            " mousemove_relative -- " + std::to_string(x / 2) + " " + std::to_string(y / 2);
        const std::string rest =
            " mousemove_relative -- " + std::to_string(x - x / 2) + " " + std::to_string(y - y / 2);
        Run("xdotool" + corner + half + " sleep 0.03" + rest +
            " sleep 0.06 mousedown 1 sleep 0.08 mouseup 1 sleep 0.06" + corner);
        return;
    }
    Run("xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " +
        std::to_string(y) + " sleep 0.06 mousedown 1 sleep 0.08 mouseup 1 sleep 0.06" +
        " mousemove --window " + window_ + " 1 1 sleep 0.03");
}

bool GameRun::Screenshot(const std::string& name, Picture* picture) {
    for (int attempt = 0; attempt < 3 && Running(); ++attempt) {
        for (const auto& old : Screenshots(saveFolder_))
            fs::remove(old);
        // Names carry the time to the second, so two screenshots in one second
        // share a name: each is read and removed before the next F2, and the
        // keys are kept a little apart so each press is seen on its own.
        const auto since = std::chrono::steady_clock::now() - lastF2_;
        if (since < std::chrono::milliseconds(150))
            std::this_thread::sleep_for(std::chrono::milliseconds(150) - since);
        lastF2_ = std::chrono::steady_clock::now();
        Key("F2");
        for (int i = 0; i < 40; ++i) {
            const auto shots = Screenshots(saveFolder_);
            if (!shots.empty() && ReadBitmap(shots.front(), picture)) {
                std::error_code ec;
                fs::copy_file(shots.front(), outDir_ / (name + ".bmp"),
                              fs::copy_options::overwrite_existing, ec);
                fs::remove(shots.front(), ec);
                return true;
            }
            Sleep(0.05);
        }
    }
    return false;
}

}  // namespace e2e
