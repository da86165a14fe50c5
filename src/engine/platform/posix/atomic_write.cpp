#include "engine/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "engine/platform/platform.h"

namespace engine {

namespace {

// The temporary file of "<name>" is "<name>.tmp-" and six characters mkstemp
// picks from letters and digits.
constexpr std::string_view kTempInfix = ".tmp-";
constexpr size_t kTempRandomLength = 6;
// A temporary file this old belongs to no save still running.
constexpr time_t kStaleTempAge = 10 * 60;

bool IsTempFileOf(std::string_view entry, std::string_view name) {
    if (entry.size() != name.size() + kTempInfix.size() + kTempRandomLength) return false;
    if (entry.substr(0, name.size()) != name) return false;
    entry.remove_prefix(name.size());
    if (entry.substr(0, kTempInfix.size()) != kTempInfix) return false;
    entry.remove_prefix(kTempInfix.size());
    return std::all_of(entry.begin(), entry.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

// Removes what killed saves of `name` left in `folder`. Links, folders,
// other users' files and recent files are left alone.
void RemoveStaleTempFiles(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const time_t now = ::time(nullptr);
    while (dirent* entry = ::readdir(dir)) {
        if (!IsTempFileOf(entry->d_name, name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::getuid()) continue;
        if (now - st.st_mtime < kStaleTempAge) continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace

int WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) return 0;
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {  // replace what a link points at
        target = real;
        std::free(real);
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);

    std::string temp = target + std::string(kTempInfix) + std::string(kTempRandomLength, 'X');
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return 0;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = os::WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return 0;
    }
    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    RemoveStaleTempFiles(folder, std::string_view(target).substr(slash + 1));
    return 1;
}

}  // namespace engine
