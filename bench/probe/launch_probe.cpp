// Black-box launch figures of one program on a private Xvfb screen: the time
// from exec to the first screen with anything drawn on it, and the resident
// memory 4 s after launch. Three runs, each with an empty home, medians.
//
// Usage: launch_probe WIDTHxHEIGHT NAME PROGRAM [ARGS...]
//
// The screen is sampled every 5 ms along 18 rows spread over its height, a
// few hundred kilobytes per look even at 3840 x 2160, so the probe neither
// takes a core away from the program it watches nor rounds its figure up by
// the time of a full-screen grab. A screen counts as drawn when the mean of
// the sampled channels passes 1 % of full scale, as a mostly dark splash does.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../xvfb.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSampledRows = 18;
constexpr double kDrawnMean = 0.01;
constexpr auto kLook = std::chrono::milliseconds(5);
constexpr auto kGiveUp = std::chrono::seconds(30);
constexpr auto kMemoryAt = std::chrono::seconds(4);

double MilliSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Mean of the red, green and blue channels over the sampled rows, 0 to 1.
double SampledMean(Display* display, int width, int height) {
    const Window root = DefaultRootWindow(display);
    double sum = 0;
    long count = 0;
    for (int i = 0; i < kSampledRows; ++i) {
        const int y = (2 * i + 1) * height / (2 * kSampledRows);
        XImage* row =
            XGetImage(display, root, 0, y, static_cast<unsigned>(width), 1, AllPlanes, ZPixmap);
        if (row == nullptr) continue;
        const unsigned long red = row->red_mask, green = row->green_mask, blue = row->blue_mask;
        const auto channel = [](unsigned long pixel, unsigned long mask) {
            if (mask == 0) return 0.0;
            const int shift = __builtin_ctzl(mask);
            return static_cast<double>((pixel & mask) >> shift) /
                   static_cast<double>(mask >> shift);
        };
        for (int x = 0; x < width; x += 4) {
            const unsigned long pixel = XGetPixel(row, x, 0);
            sum += channel(pixel, red) + channel(pixel, green) + channel(pixel, blue);
            count += 3;
        }
        XDestroyImage(row);
    }
    return count > 0 ? sum / static_cast<double>(count) : 0;
}

std::optional<double> ResidentMegabytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kilobytes = 0;
            if (status >> kilobytes) return kilobytes / 1024;
            return std::nullopt;
        }
        status.ignore(4096, '\n');
    }
    return std::nullopt;
}

bool Running(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

struct Run {
    std::optional<double> drawnMs;
    std::optional<double> residentMb;
};

Run LaunchOnce(Display* display, int width, int height, const std::string& home, char** argv) {
    std::filesystem::create_directories(home);
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The program finds its own video driver: the benchmarks around this
        // one run with SDL's dummy driver, which would draw nothing here.
        unsetenv("SDL_VIDEODRIVER");
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        if (freopen("/dev/null", "w", stdout) == nullptr ||
            freopen("/dev/null", "w", stderr) == nullptr)
            _exit(126);
        execvp(argv[0], argv);
        _exit(127);
    }
    Run run;
    if (pid < 0) return run;
    while (Running(pid) && Clock::now() - start < kGiveUp) {
        if (SampledMean(display, width, height) > kDrawnMean) {
            run.drawnMs = MilliSince(start);
            break;
        }
        std::this_thread::sleep_for(kLook);
    }
    if (run.drawnMs) std::this_thread::sleep_until(start + kMemoryAt);
    if (Running(pid)) run.residentMb = ResidentMegabytes(pid);
    kill(pid, SIGTERM);
    for (int i = 0; i < 200 && Running(pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return run;
}

std::string Median(std::vector<double> values, const char* unit, int decimals) {
    char text[256];
    if (values.empty()) return "not measured (no run got this far)";
    std::string runs;
    for (double v : values) {
        snprintf(text, sizeof text, "%s%.*f", runs.empty() ? "" : " ", decimals, v);
        runs += text;
    }
    std::sort(values.begin(), values.end());
    snprintf(text, sizeof text, "%.*f %s (median of %zu; runs %s)", decimals,
             values[(values.size() - 1) / 2], unit, values.size(), runs.c_str());
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: launch_probe WIDTHxHEIGHT NAME PROGRAM [ARGS...]\n");
        return 2;
    }
    const std::string screen = argv[1], name = argv[2];
    int width = 0, height = 0;
    if (sscanf(screen.c_str(), "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        fprintf(stderr, "launch_probe: '%s' is not WIDTHxHEIGHT\n", screen.c_str());
        return 2;
    }
    const std::string shown = std::to_string(width) + " x " + std::to_string(height);
    BenchXvfb xvfb;
    Display* display = nullptr;
    if (xvfb.Start((screen + "x24").c_str())) display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        printf("figure: %s at %s: Xvfb did not start, not measured\n", name.c_str(), shown.c_str());
        return 0;
    }
    char scratch[] = "/tmp/launch_probe.XXXXXX";
    if (mkdtemp(scratch) == nullptr) return 1;
    std::vector<double> times, memories;
    for (int i = 1; i <= 3; ++i) {
        const Run run = LaunchOnce(display, width, height,
                                   std::string(scratch) + "/home" + std::to_string(i), argv + 3);
        if (run.drawnMs) times.push_back(*run.drawnMs);
        if (run.drawnMs && run.residentMb) memories.push_back(*run.residentMb);
    }
    std::filesystem::remove_all(scratch);
    XCloseDisplay(display);
    printf("figure: %s, launch to first drawn screen at %s, black box: %s\n", name.c_str(),
           shown.c_str(), Median(times, "ms", 0).c_str());
    printf("figure: %s, resident memory 4 s after launch at %s, black box: %s\n", name.c_str(),
           shown.c_str(), Median(memories, "MB", 1).c_str());
    return 0;
}
