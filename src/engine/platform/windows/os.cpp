// The file and folder calls of engine/platform/platform.h over the Win32 wide-character API.
// Files are opened with CreateFileW (shared for reading, writing and deletion,
// so a file can be replaced while something reads it) and handed to the C
// runtime as descriptors.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "engine/platform/platform.h"

namespace engine::os {

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    }
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (!text || length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), n, nullptr,
                            nullptr);
    }
    return narrow;
}

std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}

namespace {

void SetErrnoFromLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            errno = ENOENT;
            break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            errno = EEXIST;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            errno = EACCES;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            errno = ENOSPC;
            break;
        default:
            errno = EIO;
            break;
    }
}

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Hands an open handle to the C runtime; -1 (and the handle closed) on failure.
int Adopt(HANDLE handle, bool read_only) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                             _O_BINARY | _O_NOINHERIT | (read_only ? _O_RDONLY : 0));
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

// Whether the path itself is a link: a reparse point whose tag stands for
// another name. Cloud placeholders (OneDrive's files on demand) are reparse
// points too, but hold the file's own bytes. The directory entry carries the
// tag, so reading it never fetches a placeholder's contents.
bool IsNameSurrogate(const std::wstring& wide) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
    }
    // A wildcard in the name would make the search below match other entries.
    if (wide.find_first_of(L"*?") != std::wstring::npos) return true;
    WIN32_FIND_DATAW found{};
    HANDLE search =
        FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return true;  // unknown: refused, as a link would be
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           IsNameSurrogateTag(found.dwReserved0);
}

}  // namespace

int OpenRegular(const std::string& path, int flags) {
    const std::wstring wide = Widen(path);
    if (wide.empty()) {
        errno = ENOENT;
        return -1;
    }
    if ((flags & kNoLinks) && IsNameSurrogate(wide)) {
        errno = ELOOP;
        return -1;
    }
    DWORD access = 0;
    if (flags & kRead) access |= GENERIC_READ;
    if (flags & kWrite) access |= GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & kCreate) && (flags & kExclusive)) {
        disposition = CREATE_NEW;
    } else if ((flags & kCreate) && (flags & kTruncate)) {
        disposition = CREATE_ALWAYS;
    } else if (flags & kCreate) {
        disposition = OPEN_ALWAYS;
    } else if (flags & kTruncate) {
        disposition = TRUNCATE_EXISTING;
    }
    HANDLE handle =
        CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return -1;
    }
    // Pipes, consoles and devices are not files the game reads or writes.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        errno = EINVAL;
        return -1;
    }
    return Adopt(handle, (flags & kWrite) == 0);
}

int64_t Read(int fd, void* buffer, size_t size) {
    if (size > INT_MAX) size = INT_MAX;
    return _read(fd, buffer, static_cast<unsigned int>(size));
}

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const unsigned int chunk = size > INT_MAX ? INT_MAX : static_cast<unsigned int>(size);
        const int n = _write(fd, bytes, chunk);
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A read at an explicit offset: the file pointer others rely on is not used,
// so readers on several threads never disturb each other.
bool ReadAt(int fd, uint64_t offset, void* out, size_t size) {
    HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return false;
    auto* bytes = static_cast<uint8_t*>(out);
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD got = 0;
        if (!ReadFile(handle, bytes, chunk, &got, &at) || got == 0) return false;
        bytes += got;
        size -= got;
        offset += got;
    }
    return true;
}

bool SeekBy(int fd, int64_t delta) {
    return _lseeki64(fd, delta, SEEK_CUR) >= 0;
}

int64_t SizeOf(int fd) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(HandleOf(fd), &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

bool Sync(int fd) {
    return FlushFileBuffers(HandleOf(fd)) != 0;
}

bool Close(int fd) {
    return _close(fd) == 0;
}

int MakeTempFile(const std::string& base, std::string* name) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static uint64_t counter = 0;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    uint64_t mix = static_cast<uint64_t>(now.QuadPart) ^ (uint64_t{GetCurrentProcessId()} << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
        mix = mix * 6364136223846793005ull + 1442695040888963407ull + ++counter;
        std::string candidate = base;
        uint64_t bits = mix >> 16;
        for (int i = 0; i < 6; ++i, bits /= 62)
            candidate += kLetters[bits % 62];
        HANDLE handle = CreateFileW(Widen(candidate).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            SetErrnoFromLastError();
            return -1;
        }
        const int fd = Adopt(handle, false);
        if (fd >= 0) *name = candidate;
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// An antivirus scanner, the search indexer or a backup tool may hold the
// target open for a moment without letting others replace it; the rename is
// tried again with a growing pause for about a second before it counts as
// failed. The target is never touched until the rename succeeds.
bool ReplaceFile(const std::string& from, const std::string& to) {
    const std::wstring source = Widen(from);
    const std::wstring target = Widen(to);
    constexpr ULONGLONG kPatience = 1000;  // ms
    const ULONGLONG start = GetTickCount64();
    DWORD pause = 10;
    while (true) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        const bool passing = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                             error == ERROR_LOCK_VIOLATION;
        const ULONGLONG waited = GetTickCount64() - start;
        if (!passing || waited >= kPatience) {
            SetLastError(error);
            return false;
        }
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(pause, kPatience - waited)));
        pause = std::min<DWORD>(pause * 2, 250);
    }
}

bool RemoveFile(const std::string& path, bool force) {
    const std::wstring wide = Widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    if (force && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    return DeleteFileW(wide.c_str()) != 0;
}

Kind KindOf(const std::string& path, int64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
        return Kind::Missing;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Kind::Folder;
    if (size) *size = static_cast<int64_t>(uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) ? Kind::Other : Kind::File;
}

bool MakeFolder(const std::string& path) {
    return CreateDirectoryW(Widen(path).c_str(), nullptr) != 0;
}

// Folders take new files unless the file system says otherwise (a folder's
// read-only mark means nothing to Windows); files are writable unless marked.
bool Writable(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) || !(attributes & FILE_ATTRIBUTE_READONLY);
}

bool ListFolder(const std::string& folder, std::vector<std::pair<std::string, bool>>* entries) {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(Widen(pattern).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        // An existing folder with nothing in it still lists (as empty).
        return GetLastError() == ERROR_FILE_NOT_FOUND && KindOf(folder) == Kind::Folder;
    }
    do {
        std::string name = Narrow(found.cFileName, wcslen(found.cFileName));
        if (name == "." || name == "..") continue;
        entries->emplace_back(std::move(name),
                              (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

}  // namespace engine::os
