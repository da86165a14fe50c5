// Time, dates, the random generator and the machine figures of the log.
//
// The random generator is a rotate-and-add lagged generator over two tables of
// 17 words. Its exact sequence matters: the board shuffle of a seeded run must
// be the same on every machine, so the arithmetic below is all explicit 32-bit
// unsigned math.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "engine/display_internal.h"
#include "engine/platform/platform.h"
#include "engine/system.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace engine {

// ---- Time -------------------------------------------------------------------

int64_t ElapsedMs() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin).count();
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Fields {
    int year, month, day, hour, minute, second;
};

Fields CivilFromSeconds(int64_t seconds) {
    int64_t z = seconds / 86400;
    int64_t rest = seconds % 86400;
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    int year = static_cast<int>(yoe + era * 400 + (month <= 2));
    return {year,
            month,
            day,
            static_cast<int>(rest / 3600),
            static_cast<int>(rest / 60 % 60),
            static_cast<int>(rest % 60)};
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

std::string TwoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

bool MatchesToken(std::string_view rest, std::string_view token) {
    if (rest.size() < token.size()) return false;
    for (size_t i = 0; i < token.size(); ++i) {
        char c = rest[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != token[i]) return false;
    }
    return true;
}

}  // namespace

DateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return kInvalidDate;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return kInvalidDate;
    }
    // Four-digit years only: the stamps in file names have room for no more.
    if (year < 1970 || year > 9999) return kInvalidDate;
    int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    if (seconds < 0) return kInvalidDate;
    return static_cast<DateTime>(seconds);
}

DateTime CurrentDateTime() {
    time_t now = time(nullptr);
    tm local{};
    if (!os::LocalTime(now, &local)) return kInvalidDate;
    // A leap second (tm_sec 60) counts as the last second of its minute.
    return MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, std::min(local.tm_sec, 59));
}

std::string FormatDateTime(std::string_view pattern, DateTime date) {
    if (date < 0) return {};
    Fields f = CivilFromSeconds(date);
    std::string year = std::to_string(f.year);
    year.insert(0, year.size() < 4 ? 4 - year.size() : 0, '0');
    const std::pair<std::string_view, std::string> tokens[] = {
        {"yyyy", year},
        {"yy", TwoDigits(f.year % 100)},
        {"mm", TwoDigits(f.month)},
        {"dd", TwoDigits(f.day)},
        {"hh", TwoDigits(f.hour)},
        {"ii", TwoDigits(f.minute)},
        {"ss", TwoDigits(f.second)},
    };
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '%') {
            out += pattern[i++];
            continue;
        }
        std::string_view rest = pattern.substr(i + 1);
        bool replaced = false;
        for (const auto& [token, value] : tokens) {
            if (MatchesToken(rest, token)) {
                out += value;
                i += 1 + token.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += pattern[i++];  // a lone "%" stays
    }
    return out;
}

// ---- Random numbers ---------------------------------------------------------

namespace {

struct RandomState {
    uint32_t a[17];
    uint32_t b[17];
    int p = 0;
    int q = 10;
    bool seeded = false;
};
RandomState random_state;

uint32_t RotateRight(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

uint32_t Step() {
    auto& r = random_state;
    uint32_t a = r.a[r.p];
    uint32_t b = r.a[r.q];
    uint32_t x = RotateRight(r.b[r.p], 13) + r.b[r.q];
    r.a[r.p] = x;
    r.b[r.p] = RotateRight(a, 5) + b;
    r.p = r.p == 0 ? 16 : r.p - 1;
    r.q = r.q == 0 ? 16 : r.q - 1;
    return x;
}

}  // namespace

void SeedRandom(uint32_t seed) {
    auto& r = random_state;
    uint32_t s = seed;
    for (int i = 0; i < 17; ++i) {
        uint32_t t = 1u - s * 1403630843u;
        r.b[i] = t;
        s = 1u - t * 1403630843u;
        r.a[i] = s;
    }
    r.p = 0;
    r.q = 10;
    r.seeded = true;
    for (int i = 0; i < 31; ++i)
        Step();
}

uint32_t RandomUpTo(uint32_t max) {
    if (!random_state.seeded) {
        SeedRandom(os::AutomaticSeed());
    }
    uint64_t x = Step();
    return static_cast<uint32_t>((x * (uint64_t{max} + 1)) >> 32);
}

// ---- System figures -----------------------------------------------------------

namespace {

std::string TrimLeadingBlanks(std::string s) {
    size_t start = s.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : s.substr(start);
}

}  // namespace

std::string CpuBrandString() {
    std::string brand;
#if defined(__x86_64__) || defined(__i386__)
    unsigned int regs[4];
    if (__get_cpuid(0x80000000u, &regs[0], &regs[1], &regs[2], &regs[3]) &&
        regs[0] >= 0x80000004u) {
        char text[49] = {};
        for (unsigned int leaf = 0; leaf < 3; ++leaf) {
            __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
            std::memcpy(text + leaf * 16, regs, 16);
        }
        brand = TrimLeadingBlanks(text);
    }
#endif
    if (brand.empty()) brand = TrimLeadingBlanks(os::CpuBrand());
    while (!brand.empty() && (brand.back() == ' ' || brand.back() == '\t'))
        brand.pop_back();
    return brand.empty() ? "Unknown CPU" : brand;
}

namespace {

constexpr int kNominalWidth = 1920;
constexpr int kNominalHeight = 1080;

bool DisplayServiceRunning() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

}  // namespace

int CountDesktops() {
    // The log's report counts them before the display service starts: start
    // the video system for the count alone, then leave it as it was.
    const bool started = !DisplayServiceRunning() && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    int count = DisplayServiceRunning() ? SDL_GetNumVideoDisplays() : 1;
    if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return count > 0 ? count : 1;
}

int DesktopPixelWidth(int i) {
    if (i < 0 || i >= CountDesktops()) return 0;
    int width = 0, height = 0;
    const auto& d = detail::Display();
    if (i == 0 && d.simulated_screen_width > 0) return d.simulated_screen_width;
    if (i == 0 && os::ScreenPixelSize(&width, &height)) return width;
    SDL_DisplayMode mode{};
    if (DisplayServiceRunning() && SDL_GetDesktopDisplayMode(i, &mode) == 0) return mode.w;
    return i == 0 ? kNominalWidth : 0;
}

int DesktopPixelHeight(int i) {
    if (i < 0 || i >= CountDesktops()) return 0;
    int width = 0, height = 0;
    const auto& d = detail::Display();
    if (i == 0 && d.simulated_screen_width > 0) return d.simulated_screen_height;
    if (i == 0 && os::ScreenPixelSize(&width, &height)) return height;
    SDL_DisplayMode mode{};
    if (DisplayServiceRunning() && SDL_GetDesktopDisplayMode(i, &mode) == 0) return mode.h;
    return i == 0 ? kNominalHeight : 0;
}

}  // namespace engine
