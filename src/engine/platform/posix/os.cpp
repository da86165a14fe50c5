// The file and folder calls of engine/platform/platform.h over POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "engine/platform/platform.h"

namespace engine::os {

int OpenRegular(const std::string& path, int flags) {
    int mode = (flags & kReadWrite) == kReadWrite ? O_RDWR : (flags & kWrite) ? O_WRONLY : O_RDONLY;
    if (flags & kCreate) mode |= O_CREAT;
    if (flags & kTruncate) mode |= O_TRUNC;
    if (flags & kExclusive) mode |= O_EXCL;
    if (flags & kNoLinks) mode |= O_NOFOLLOW;
    // O_NONBLOCK only for the open itself: a FIFO must not hang it.
    int fd = ::open(path.c_str(), mode | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int64_t Read(int fd, void* buffer, size_t size) {
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAt(int fd, uint64_t offset, void* out, size_t size) {
    auto* bytes = static_cast<uint8_t*>(out);
    while (size > 0) {
        ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

bool SeekBy(int fd, int64_t delta) {
    return ::lseek(fd, static_cast<off_t>(delta), SEEK_CUR) >= 0;
}

int64_t SizeOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool Sync(int fd) {
    return ::fsync(fd) == 0;
}

bool Close(int fd) {
    return ::close(fd) == 0;
}

int MakeTempFile(const std::string& base, std::string* name) {
    std::string pattern = base + "XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return -1;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    *name = pattern;
    return fd;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    // Make the rename itself durable.
    const size_t slash = to.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : to.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool RemoveFile(const std::string& path, bool force) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (force && S_ISREG(st.st_mode)) ::chmod(path.c_str(), st.st_mode | S_IWUSR);
    return ::unlink(path.c_str()) == 0;
}

Kind KindOf(const std::string& path, int64_t* size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Kind::Missing;
    if (S_ISDIR(st.st_mode)) return Kind::Folder;
    if (size) *size = static_cast<int64_t>(st.st_size);
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool Writable(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool ListFolder(const std::string& folder, std::vector<std::pair<std::string, bool>>* entries) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        bool is_folder = ::stat((prefix + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries->emplace_back(std::move(name), is_folder);
    }
    ::closedir(dir);
    return true;
}

}  // namespace engine::os
