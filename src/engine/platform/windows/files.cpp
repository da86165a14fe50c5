// The program's own folders and path on Windows: a private folder under the
// user's temporary folder, the profile and roaming application-data folders
// from the shell's known folders, and the module path; archives opened by
// their wide-character name.
#include <windows.h>
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <archive.h>

#include <cstdlib>
#include <filesystem>

#include "engine/platform/platform.h"

namespace engine {

const char kPathSeparator = '\\';

namespace {

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK && path) {
        folder = WithSeparator(os::Narrow(path, wcslen(path)));
    }
    CoTaskMemFree(path);
    return folder;
}

// The user's temporary folder in its long-name form ("C:\Users\ZOEKRA~1\..."
// becomes "C:\Users\Zoë Krause\...").
std::string SharedTempFolder() {
    wchar_t short_form[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, short_form);
    if (n == 0 || n > MAX_PATH) return {};
    std::wstring path(short_form, n);
    const DWORD need = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (need > 0) {
        std::wstring long_form(need, L'\0');
        const DWORD got = GetLongPathNameW(path.c_str(), long_form.data(), need);
        if (got > 0 && got < need) path.assign(long_form.data(), got);
    }
    return WithSeparator(os::Narrow(path));
}

struct TempState {
    std::string folder;  // "" until made
    bool cleanup_registered = false;
};
TempState temp_state;

}  // namespace

std::string PrivateTempFolder() {
    auto& t = temp_state;
    if (!t.folder.empty()) return t.folder;
    const std::string base = SharedTempFolder();
    if (base.empty()) return {};
    // Six letters from the clock, the process and a counter; CreateDirectoryW
    // fails on a name that exists, so a clash only costs another try.
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    uint64_t mix = static_cast<uint64_t>(now.QuadPart) ^ (uint64_t{GetCurrentProcessId()} << 40);
    for (int attempt = 0; attempt < 100; ++attempt) {
        mix = mix * 6364136223846793005ull + 1442695040888963407ull;
        std::string name = base + "mnemora-";
        uint64_t bits = mix >> 16;
        for (int i = 0; i < 6; ++i, bits /= 62)
            name += kLetters[bits % 62];
        if (CreateDirectoryW(os::Widen(name).c_str(), nullptr)) {
            t.folder = name + "\\";
            if (!t.cleanup_registered) {
                std::atexit(RemoveTempFolder);
                t.cleanup_registered = true;
            }
            return t.folder;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

std::string TempFolder() {
    std::string folder = PrivateTempFolder();
    return folder.empty() ? SharedTempFolder() : folder;
}

void RemoveTempFolder() {
    auto& t = temp_state;
    if (t.folder.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(os::Widen(t.folder)), ec);
    t.folder.clear();
}

// A folder's attributes say nothing of whether this user may write in it (a
// folder under Program Files is read-only for a user without elevation only
// through its access list), so a trial file answers.
int PortableFolderAllowed(std::string_view folder) {
    if (folder.empty()) return 0;
    std::string name;
    const int fd = os::MakeTempFile(WithSeparator(std::string(folder)) + "Mnemora-", &name);
    if (fd < 0) return 0;
    os::Close(fd);
    os::RemoveFile(name, true);
    return 1;
}

std::string ProfileFolder() {
    return KnownFolder(FOLDERID_Profile);
}

// The roaming application-data folder; the profile folder itself when the
// shell knows the profile but not that folder; "" when it knows neither.
std::string ApplicationDataFolder() {
    std::string data = KnownFolder(FOLDERID_RoamingAppData);
    return data.empty() ? ProfileFolder() : data;
}

int os::OpenArchiveFile(archive* reader, const std::string& path, size_t block_size) {
    return archive_read_open_filename_w(reader, os::Widen(path).c_str(), block_size);
}

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    return os::Narrow(path);
}

}  // namespace engine
