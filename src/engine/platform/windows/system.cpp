// The system figures, sleeping, local time, the locale name and the device
// probes on Windows: the kernel's memory status and process counters, the
// affinity masks, the true version from RtlGetVersion, the user's default
// locale name and the multimedia timer's 1 ms resolution.
#include <windows.h>
// after windows.h
#include <psapi.h>
#include <timeapi.h>

#include <bit>
#include <cstdlib>
#include <ctime>

#include "engine/platform/platform.h"
#include "engine/system.h"

namespace engine {

namespace {

// Sleep's granularity is the system timer's, 15.6 ms by default: far too
// coarse for frame pacing. The resolution is raised once and given back when
// the program ends.
void EndTimerResolution() {
    timeEndPeriod(1);
}

void RaiseTimerResolution() {
    static const bool raised = [] {
        if (timeBeginPeriod(1) != TIMERR_NOERROR) return false;
        std::atexit(EndTimerResolution);
        return true;
    }();
    (void)raised;
}

}  // namespace

void SleepMs(int64_t ms) {
    if (ms < 1) return;
    RaiseTimerResolution();
    while (ms > 0) {
        const DWORD chunk = ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms);
        Sleep(chunk);
        ms -= chunk;
    }
}

namespace os {

bool LocalTime(std::time_t when, std::tm* out) {
    return localtime_s(out, &when) == 0;
}

uint32_t AutomaticSeed() {
    return static_cast<uint32_t>(GetCurrentThreadId()) ^ static_cast<uint32_t>(GetTickCount());
}

std::string CpuBrand() {
    return {};
}

// The CRT's heap gives large blocks back on its own.
void TuneAllocatorForLoading() {}
void TrimAllocator() {}
bool TuneAllocatorForPlay() {
    return false;
}

// Windows always has a Direct3D device, if only its own software one.
bool MachineHasGpu() {
    return true;
}

// Windows always has an audio endpoint service to ask.
bool SoundDeviceMayExist() {
    return true;
}

}  // namespace os

std::string UserLocaleName() {
    wchar_t name[256];
    const int n = GetUserDefaultLocaleName(name, 256);
    if (n <= 1) return {};
    return os::Narrow(name, static_cast<size_t>(n - 1));  // n counts the terminator
}

int ProcessorCount(int kind) {
    if (kind == 0) {
        const DWORD all = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
        if (all > 0) return static_cast<int>(all);
    }
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        const int count = std::popcount(static_cast<uint64_t>(kind == 1 ? process : system));
        if (count > 0) return count;
    }
    return 1;
}

int64_t MemoryFigure(int kind) {
    if (kind >= 0 && kind <= 5) {
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        if (!GlobalMemoryStatusEx(&status)) return 0;
        const DWORDLONG figures[] = {status.ullTotalPhys,     status.ullAvailPhys,
                                     status.ullTotalVirtual,  status.ullAvailVirtual,
                                     status.ullTotalPageFile, status.ullAvailPageFile};
        return static_cast<int64_t>(figures[kind]);
    }
    if (kind == 6) {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return info.dwPageSize;
    }
    if (kind == 7) {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (!GetProcessMemoryInfo(GetCurrentProcess(),
                                  reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof counters)) {
            return 0;
        }
        // Wine leaves PrivateUsage at 0; the commit charge of the process is
        // the same figure there.
        return static_cast<int64_t>(counters.PrivateUsage ? counters.PrivateUsage
                                                          : counters.PagefileUsage);
    }
    return 0;
}

// GetVersionEx answers what the manifest claims compatibility with;
// RtlGetVersion answers what the kernel is.
int OsVersionCode() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return 200;
    auto get_version = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!get_version || get_version(&v) != 0) return 200;
    const DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
    if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && major == 4) {
        if (minor == 0) return 10;
        if (minor == 10) return 30;
        if (minor == 90) return 40;
        return 200;
    }
    if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return 200;
    const bool server = v.wProductType != VER_NT_WORKSTATION;
    if (major == 3) return 5;
    if (major == 4) return 20;
    if (major == 5 && minor == 0) return 50;
    if (major == 5 && minor == 1) return 60;
    if (major == 5 && minor == 2) return server ? 65 : 60;
    if (major == 6 && minor == 0) return server ? 75 : 70;
    if (major == 6 && minor == 1) return server ? 85 : 80;
    if (major == 6 && minor == 2) return server ? 95 : 90;
    if (major == 6 && minor == 3) return server ? 105 : 100;
    if (major == 10 && minor == 0) return v.dwBuildNumber >= 22000 ? 120 : 110;
    return 200;
}

// The program declares itself DPI aware, so the screen's device context
// reports the scaling setting rather than a virtualised 96.
int DesktopDpi() {
    HDC screen = GetDC(nullptr);
    if (!screen) return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The installer and the uninstaller look for this name before they touch the
// game's folder. Global, so a copy running in another session counts too;
// the session's own namespace when the global one is refused. The handle is
// left open: Windows closes it when the process ends, however it ends.
void MarkProgramRunning() {
    if (!CreateMutexW(nullptr, FALSE, L"Global\\Velcroft.Mnemora.Running")) {
        CreateMutexW(nullptr, FALSE, L"Local\\Velcroft.Mnemora.Running");
    }
}

}  // namespace engine
