// The system figures, sleeping, local time and the locale name on Linux:
// /proc, sysinfo, sched_getaffinity, glibc's allocator and the environment.
#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "engine/platform/platform.h"
#include "engine/system.h"

namespace engine {

void SleepMs(int64_t ms) {
    if (ms < 1) return;
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

namespace os {

bool LocalTime(std::time_t when, std::tm* out) {
    return localtime_r(&when, out) != nullptr;
}

uint32_t AutomaticSeed() {
    // Milliseconds since boot, the 32-bit tick count.
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ticks =
        static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
    return static_cast<uint32_t>(syscall(SYS_gettid)) ^ ticks;
}

namespace {
bool g_allocator_loading = false;  // TuneAllocatorForLoading until TuneAllocatorForPlay
bool g_allocator_tuned = false;
}  // namespace

// Textures and canvases are blocks of megabytes that live only while a dialog
// is being drawn. While loading, those up to 12 MB (a whole 1920 x 1080 screen
// is 8 MB) come from the heap, where a freed block serves the next without page
// faults, and the heap's top is not given back as each is freed, only by the
// trim that ends loading. Larger blocks stay mapped on their own: zeroed by the
// system, and only as far as they are written.
void TuneAllocatorForLoading() {
    mallopt(M_MMAP_THRESHOLD, 12 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    g_allocator_loading = true;
}

// The pictures' buffers were freed in the decoding worker's arena and the main
// one; glibc keeps such memory resident for reuse until it is trimmed.
void TrimAllocator() {
    malloc_trim(0);
}

// Otherwise each large block is mapped on its own and given back when freed.
// A fixed threshold: glibc's default raises it after the first large free, so
// later blocks would come from the heap and stay resident for good (about
// 200 MB more in the main menu).
bool TuneAllocatorForPlay() {
    if (g_allocator_tuned && !g_allocator_loading) return false;
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 10);  // glibc's own default
    g_allocator_tuned = true;
    if (!g_allocator_loading) return false;
    g_allocator_loading = false;
    malloc_trim(0);
    return true;
}

}  // namespace os

std::string UserLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return {};
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

namespace os {

std::string CpuBrand() {
    std::string brand = ProcField("/proc/cpuinfo", "model name");
    return brand.empty() ? ProcField("/proc/cpuinfo", "Model") : brand;
}

}  // namespace os

int DesktopDpi() {
    return 96;
}

void MarkProgramRunning() {}

}  // namespace engine
