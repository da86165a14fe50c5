// Crash-safe replacement of a whole file on Windows: the new text goes to a
// temporary file beside the target, is flushed to disk, and MoveFileExW
// replaces the target with it in one step (written through before it returns).
#include <windows.h>

#include <algorithm>

#include "engine/atomic_write.h"
#include "engine/platform/platform.h"

namespace engine {

namespace {

constexpr std::string_view kTempInfix = ".tmp-";
constexpr size_t kTempRandomLength = 6;
// A temporary file this old belongs to no save still running (in 100 ns units).
constexpr uint64_t kStaleTempAge = uint64_t{10} * 60 * 10000000;

bool IsTempFileOf(std::string_view entry, std::string_view name) {
    if (entry.size() != name.size() + kTempInfix.size() + kTempRandomLength) return false;
    // Windows file names compare without regard to case.
    if (CompareStringOrdinal(os::Widen(std::string(entry.substr(0, name.size()))).c_str(), -1,
                             os::Widen(std::string(name)).c_str(), -1, TRUE) != CSTR_EQUAL) {
        return false;
    }
    entry.remove_prefix(name.size());
    if (entry.substr(0, kTempInfix.size()) != kTempInfix) return false;
    entry.remove_prefix(kTempInfix.size());
    return std::all_of(entry.begin(), entry.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

uint64_t FileTimeValue(const FILETIME& t) {
    return uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime;
}

// Removes what killed saves of `name` left in `folder`: plain files only (no
// folders, no links), and only when older than ten minutes.
void RemoveStaleTempFiles(const std::string& folder, std::string_view name) {
    WIN32_FIND_DATAW found{};
    const std::string pattern = folder + std::string(name) + std::string(kTempInfix) + "*";
    HANDLE search = FindFirstFileExW(os::Widen(pattern).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    FILETIME now_time{};
    GetSystemTimeAsFileTime(&now_time);
    const uint64_t now = FileTimeValue(now_time);
    do {
        const std::string entry = os::Narrow(found.cFileName, wcslen(found.cFileName));
        if (!IsTempFileOf(entry, name)) continue;
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
            continue;
        }
        if (now - FileTimeValue(found.ftLastWriteTime) < kStaleTempAge) continue;
        DeleteFileW(os::Widen(folder + entry).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

int WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) return 0;
    const size_t slash = path.find_last_of("\\/");
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);

    std::string temp;
    const int fd = os::MakeTempFile(path + std::string(kTempInfix), &temp);
    if (fd < 0) return 0;
    bool ok = os::WriteAll(fd, bytes.data(), bytes.size()) && os::Sync(fd);
    ok = os::Close(fd) && ok;
    ok = ok && os::ReplaceFile(temp, path);
    if (!ok) {
        DeleteFileW(os::Widen(temp).c_str());
        return 0;
    }
    RemoveStaleTempFiles(folder,
                         std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1));
    return 1;
}

}  // namespace engine
