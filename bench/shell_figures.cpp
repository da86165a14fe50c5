// The shell's figures, each the median of five runs, every run in a fresh
// child process (so memory and caches start cold as for a player):
//   - launch to the first presented frame, borderless at 1920 x 1080 (the
//     windowed 1280 x 720 case is bench_startup), and borderless on screens of
//     1280 x 720, 1920 x 1080 and 3840 x 2160 with the resident memory 4 s
//     after launch on each;
//   - a display reopen after a mode change (windowed to borderless and back);
//   - resident memory in the main menu at 1280 x 720 and 1920 x 1080, and
//     during level 12 at 1920 x 1080;
//   - frame intervals over 600 paced frames in the main menu with SDL's dummy
//     renderer (cheap drawing, so the pacing itself is what is measured);
//   - CPU use in the main menu, idle for ten seconds, windowed at 1280 x 720.
// Xvfb supplies the screen. Lines starting "figure:" are gathered into the
// report by scripts/bench. A word on the command line ("memory", "reopen")
// runs only the figures whose names hold it.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "engine/display.h"
#include "engine/system.h"
#include "game/game.h"
#include "xvfb.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

BenchXvfb xvfb;
fs::path root;
const char* only = nullptr;  // a word from the command line: only figures naming it

bool Wanted(const char* name) {
    return !only || std::strstr(name, only) != nullptr;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double ResidentMb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// A fresh game folder with the given settings (and every level open).
std::string PrepareGame(int mode, int resolution) {
    const fs::path game = root / "game";
    fs::remove_all(root / "data");
    std::ofstream(game / "Mnemora.prefs", std::ios::trunc)
        << "[Settings]\r\nLanguage = en_GB\r\nGameScreen = " << mode
        << "\r\nResolution = " << resolution << "\r\nCompleted = 1\r\n";
    std::ofstream(game / "Mnemora.scores", std::ios::trunc)
        << "1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n";
    return game.string() + "/";
}

void StartIn(const std::string& folder, const char* videoDriver) {
    setenv("SDL_VIDEODRIVER", videoDriver, 1);
    unsetenv("SDL_AUDIODRIVER");  // sound as a player gets it
    app::StartOptions options;
    options.gameFolder = folder;
    app::StartGame(options);
}

bool RunUntil(int32_t state, int limit) {
    for (int i = 0; i < limit && app::loop.ScreenState != state; ++i)
        app::RunFrame();
    return app::loop.ScreenState == state;
}

// Runs `measure` in a child process and reads back the numbers it returns.
std::vector<double> InChild(const std::function<std::vector<double>()>& measure) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(stdout);  // or the child would print the parent's pending lines again
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const std::vector<double> values = measure();
        std::string text;
        for (double v : values)
            text += std::to_string(v) + "\n";
        if (write(fds[1], text.data(), text.size()) < 0) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    std::vector<double> values;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        values.push_back(std::stod(text.substr(at, end - at)));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return values;
}

// Five runs of a one-number measure; prints each and the median.
void Figure(const char* name, const char* unit, const std::function<double()>& measure) {
    if (!Wanted(name)) return;
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        const auto values = InChild([&] { return std::vector<double>{measure()}; });
        if (values.empty() || values[0] < 0) continue;
        runs.push_back(values[0]);
    }
    if (runs.empty()) {
        std::printf("figure: %s: not measured\n", name);
        return;
    }
    std::printf("figure: %s: %.1f %s (median of %zu; runs", name, Median(runs), unit, runs.size());
    for (double r : runs)
        std::printf(" %.1f", r);
    std::printf(")\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) only = argv[1];
    const char* gameDir = std::getenv("MNEMORA_GAME_DIR");
    if (!gameDir || !fs::exists(fs::path(gameDir) / "Mnemora.data")) {
        std::printf("shell figures: no game data in MNEMORA_GAME_DIR, skipped\n");
        return 0;
    }
    if (!xvfb.Start()) {
        std::printf("shell figures: Xvfb could not start, skipped\n");
        return 0;
    }
    char pattern[] = "/tmp/mnemora-bench-XXXXXX";
    root = mkdtemp(pattern);
    fs::create_directories(root / "game");
    for (const char* name : {"Mnemora.data", "Mnemora.languages", "Mnemora.pointer"})
        fs::create_symlink(fs::absolute(fs::path(gameDir) / name), root / "game" / name);
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);

    Figure("launch to first frame, borderless 1920 x 1080", "ms", [] {
        const std::string folder = PrepareGame(2, 3);
        const auto start = Clock::now();
        StartIn(folder, "x11");
        app::RunFrame();
        app::RunFrame();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    });

    // Launch and memory at three screen sizes, each on its own Xvfb screen of
    // that size: borderless windows take the desktop's size.
    for (const char* size : {"1280 x 720", "1920 x 1080", "3840 x 2160"}) {
        std::string screen = size;
        screen.erase(std::remove(screen.begin(), screen.end(), ' '), screen.end());
        screen += "x24";
        const std::string launch = std::string("launch to first screen, borderless ") + size;
        const std::string memory =
            std::string("resident memory 4 s after launch, borderless ") + size;
        Figure(launch.c_str(), "ms", [&screen] {
            BenchXvfb own;
            if (!own.Start(screen.c_str())) return -1.0;
            const std::string folder = PrepareGame(2, 3);
            const auto start = Clock::now();
            StartIn(folder, "x11");
            app::RunFrame();
            app::RunFrame();
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            own.Stop();  // the child leaves by _exit: no destructor stops it
            return ms;
        });
        Figure(memory.c_str(), "MB", [&screen] {
            BenchXvfb own;
            if (!own.Start(screen.c_str())) return -1.0;
            const auto start = Clock::now();
            StartIn(PrepareGame(2, 3), "x11");
            while (Clock::now() - start < std::chrono::seconds(4))
                app::RunFrame();
            const double mb = ResidentMb();
            own.Stop();
            return mb;
        });
    }

    Figure("display reopen, windowed 1280 x 720 to borderless and back", "ms", [] {
        StartIn(PrepareGame(1, 1), "x11");
        if (!RunUntil(app::MainMenu, 3000)) return -1.0;
        double total = 0;
        for (int mode : {2, 1}) {
            app::settings.ScreenModePending = mode;
            const auto start = Clock::now();
            app::ApplyPendingSettings();
            app::RunFrame();
            total += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        return total / 2;
    });

    Figure("resident memory, main menu, windowed 1280 x 720", "MB", [] {
        StartIn(PrepareGame(1, 1), "x11");
        if (!RunUntil(app::MainMenu, 3000)) return -1.0;
        for (int i = 0; i < 30; ++i)
            app::RunFrame();
        return ResidentMb();
    });

    Figure("resident memory, main menu, borderless 1920 x 1080", "MB", [] {
        StartIn(PrepareGame(2, 3), "x11");
        if (!RunUntil(app::MainMenu, 3000)) return -1.0;
        for (int i = 0; i < 30; ++i)
            app::RunFrame();
        return ResidentMb();
    });

    Figure("resident memory, level 12, borderless 1920 x 1080", "MB", [] {
        StartIn(PrepareGame(2, 3), "x11");
        if (!RunUntil(app::MainMenu, 3000)) return -1.0;
        game::level.current = 12;
        game::SetUpLevel(true);
        app::loop.ScreenState = app::Dealing;
        if (!RunUntil(app::Playing, 600)) return -1.0;
        for (int i = 0; i < 60; ++i)
            app::RunFrame();
        return ResidentMb();
    });

    // Pacing: intervals between the ends of 600 paced frames.
    std::vector<double> medians, p99s;
    for (int run = 0; run < 5 && Wanted("frame interval"); ++run) {
        const auto values = InChild([] {
            StartIn(PrepareGame(1, 1), "dummy");
            if (!RunUntil(app::MainMenu, 3000)) return std::vector<double>{};
            engine::SetFramePacing(true);
            for (int i = 0; i < 30; ++i)
                app::RunFrame();
            std::vector<double> intervals;
            auto last = Clock::now();
            for (int i = 0; i < 600; ++i) {
                app::RunFrame();
                const auto now = Clock::now();
                intervals.push_back(std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            }
            std::sort(intervals.begin(), intervals.end());
            return std::vector<double>{intervals[300], intervals[594]};
        });
        if (values.size() != 2) continue;
        medians.push_back(values[0]);
        p99s.push_back(values[1]);
    }
    if (!medians.empty()) {
        std::printf(
            "figure: frame interval over 600 paced frames: median %.3f ms, 99th percentile %.3f "
            "ms (medians of %zu runs; 99th percentiles",
            Median(medians), Median(p99s), medians.size());
        for (double p : p99s)
            std::printf(" %.3f", p);
        std::printf(")\n");
    }

    Figure("CPU use, idle in the main menu, windowed 1280 x 720", "% of one core", [] {
        StartIn(PrepareGame(1, 1), "x11");
        if (!RunUntil(app::MainMenu, 3000)) return -1.0;
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const auto start = Clock::now();
        while (Clock::now() - start < std::chrono::seconds(10))
            app::RunFrame();
        getrusage(RUSAGE_SELF, &after);
        auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) +
                           seconds(after.ru_stime) - seconds(before.ru_stime);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        return 100.0 * cpu / wall;
    });

    xvfb.Stop();
    fs::remove_all(root);
    return 0;
}
