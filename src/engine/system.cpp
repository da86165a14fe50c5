// Time, dates, the random generator and the machine figures of the log.
//
// The random generator is a rotate-and-add lagged generator over two tables of
// 17 words. Its exact sequence matters: the board shuffle of a seeded run must
// be the same on every machine, so the arithmetic below is all explicit 32-bit
// unsigned math.
#include <SDL.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

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

void SleepMs(int64_t ms) {
    if (ms < 1) return;
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
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
    if (!localtime_r(&now, &local)) return kInvalidDate;
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

// Milliseconds since boot, the 32-bit tick count the automatic seed mixes in.
uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
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
        SeedRandom(static_cast<uint32_t>(syscall(SYS_gettid)) ^ TickCount());
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

// The value of the first "name: value" line of a /proc file, or "".
std::string ProcField(const char* path, std::string_view name) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
            key.pop_back();
        if (key == name) return TrimLeadingBlanks(line.substr(colon + 1));
    }
    return {};
}

// A "1234 kB" field of /proc/meminfo or /proc/self/status in bytes; -1 when absent.
int64_t ProcKilobytes(const char* path, std::string_view name) {
    std::string value = ProcField(path, name);
    if (value.empty()) return -1;
    return TextToInt(value) * 1024;
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
    if (brand.empty()) brand = ProcField("/proc/cpuinfo", "model name");
    if (brand.empty()) brand = ProcField("/proc/cpuinfo", "Model");
    while (!brand.empty() && (brand.back() == ' ' || brand.back() == '\t'))
        brand.pop_back();
    return brand.empty() ? "Unknown CPU" : brand;
}

int ProcessorCount(int kind) {
    if (kind == 1) {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) == 0) {
            int count = CPU_COUNT(&set);
            if (count > 0) return count;
        }
        return 1;
    }
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

int64_t MemoryFigure(int kind) {
    struct sysinfo info {};
    bool have_info = sysinfo(&info) == 0;
    int64_t unit = have_info ? static_cast<int64_t>(info.mem_unit) : 0;
    switch (kind) {
        case 0:
            return have_info ? static_cast<int64_t>(info.totalram) * unit : 0;
        case 1: {
            int64_t available = ProcKilobytes("/proc/meminfo", "MemAvailable");
            if (available >= 0) return available;
            return have_info ? static_cast<int64_t>(info.freeram) * unit : 0;
        }
        case 2:
        case 3: {
            // The user address space: the address-space limit when one is set,
            // else the 47-bit space of 64-bit Linux (3 GiB on 32-bit).
            int64_t total = sizeof(void*) == 8 ? int64_t{1} << 47 : int64_t{3} << 30;
            rlimit limit{};
            if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
                static_cast<int64_t>(limit.rlim_cur) < total) {
                total = static_cast<int64_t>(limit.rlim_cur);
            }
            if (kind == 2) return total;
            int64_t used = ProcKilobytes("/proc/self/status", "VmSize");
            return used < 0 ? 0 : std::max<int64_t>(total - used, 0);
        }
        case 4:
            return have_info ? static_cast<int64_t>(info.totalram + info.totalswap) * unit : 0;
        case 5: {
            if (!have_info) return 0;
            int64_t available = ProcKilobytes("/proc/meminfo", "MemAvailable");
            if (available < 0) available = static_cast<int64_t>(info.freeram) * unit;
            return available + static_cast<int64_t>(info.freeswap) * unit;
        }
        case 6: {
            long page = sysconf(_SC_PAGESIZE);
            return page > 0 ? page : 0;
        }
        case 7: {
            // Private memory: anonymous resident pages plus what is swapped out.
            int64_t anon = ProcKilobytes("/proc/self/status", "RssAnon");
            int64_t swap = ProcKilobytes("/proc/self/status", "VmSwap");
            if (anon < 0) return 0;
            return anon + std::max<int64_t>(swap, 0);
        }
        default:
            return 0;
    }
}

int OsVersionCode() {
    return 200;
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
    SDL_DisplayMode mode{};
    if (DisplayServiceRunning() && SDL_GetDesktopDisplayMode(i, &mode) == 0) return mode.w;
    return i == 0 ? kNominalWidth : 0;
}

int DesktopPixelHeight(int i) {
    if (i < 0 || i >= CountDesktops()) return 0;
    SDL_DisplayMode mode{};
    if (DisplayServiceRunning() && SDL_GetDesktopDisplayMode(i, &mode) == 0) return mode.h;
    return i == 0 ? kNominalHeight : 0;
}

}  // namespace engine
