// Sleeping, time, the locale and the system figures in a browser: what the
// browser tells of itself (its agent, its cores, a rough memory size, the
// screen) stands where a desktop reads its processor and memory.
#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "engine/platform/platform.h"
#include "engine/system.h"

// In page.js: a text the browser tells (0 its first language, 1 its agent),
// newly allocated; a figure (0 cores, 1 device memory in bytes, 2 the
// program's memory, 3 the device pixel ratio).
extern "C" {
char* mnemora_browser_text(int which);
double mnemora_browser_figure(int which);
}

namespace engine {

namespace {

std::string BrowserText(int which) {
    char* text = mnemora_browser_text(which);
    std::string result = text ? text : "";
    std::free(text);
    return result;
}

// A wasm32 program's memory can grow to 2 GiB.
constexpr int64_t kAddressSpace = int64_t{2} << 30;

}  // namespace

void SleepMs(int64_t ms) {
    if (ms < 1) return;
    emscripten_sleep(static_cast<unsigned int>(ms));
}

namespace os {

bool LocalTime(std::time_t when, std::tm* out) {
    return localtime_r(&when, out) != nullptr;
}

uint32_t AutomaticSeed() {
    const double now = emscripten_get_now();
    const double noise = emscripten_random() * 4294967295.0;
    return static_cast<uint32_t>(static_cast<uint64_t>(now)) ^ static_cast<uint32_t>(noise);
}

void TuneAllocatorForLoading() {}

void TrimAllocator() {}

bool TuneAllocatorForPlay() {
    return false;
}

std::string CpuBrand() {
    return BrowserText(1);
}

}  // namespace os

std::string UserLocaleName() {
    return BrowserText(0);
}

int ProcessorCount(int) {
    return std::max(1, static_cast<int>(mnemora_browser_figure(0)));
}

// Total and free physical memory are the browser's rough device memory (0 when
// it does not say); the address space is the program's 2 GiB, less what its
// memory has grown to.
int64_t MemoryFigure(int kind) {
    const auto device = static_cast<int64_t>(mnemora_browser_figure(1));
    const auto heap = static_cast<int64_t>(mnemora_browser_figure(2));
    switch (kind) {
        case 0:
        case 1:
        case 4:
        case 5:
            return device;
        case 2:
            return kAddressSpace;
        case 3:
            return std::max<int64_t>(kAddressSpace - heap, 0);
        case 6:
            return 65536;
        case 7:
            return heap;
        default:
            return 0;
    }
}

int OsVersionCode() {
    return 300;
}

int DesktopDpi() {
    return static_cast<int>(96 * mnemora_browser_figure(3) + 0.5);
}

}  // namespace engine
