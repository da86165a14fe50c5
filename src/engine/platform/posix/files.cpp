// The program's own folders and path on Linux: the private temporary folder
// under $TMPDIR, the home folder, the XDG data folder and /proc/self/exe;
// archives opened by name.
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <archive.h>

#include <cstdlib>
#include <filesystem>

#include "engine/platform/platform.h"

namespace engine {

const char kPathSeparator = '/';

namespace {

struct TempState {
    std::string folder;  // "" until made
    pid_t owner = 0;     // only the process that made it removes it
    bool cleanup_registered = false;
};
TempState temp_state;

std::string SharedTempFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string base = (tmpdir && tmpdir[0] == '/') ? tmpdir : "/tmp";
    if (base.back() != '/') base += '/';
    return base;
}

std::string EnvFolder(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/') return {};
    std::string folder = value;
    if (folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string PrivateTempFolder() {
    auto& t = temp_state;
    if (!t.folder.empty()) return t.folder;
    const std::string base = SharedTempFolder();
    std::string name = base + "mnemora-XXXXXX";
    if (!::mkdtemp(name.data())) {
        if (base == "/tmp/") return {};
        name = "/tmp/mnemora-XXXXXX";  // $TMPDIR is read-only, full or missing
        if (!::mkdtemp(name.data())) return {};
    }
    t.folder = name + "/";
    t.owner = ::getpid();
    if (!t.cleanup_registered) {
        std::atexit(RemoveTempFolder);
        t.cleanup_registered = true;
    }
    return t.folder;
}

std::string TempFolder() {
    std::string folder = PrivateTempFolder();
    return folder.empty() ? SharedTempFolder() : folder;
}

void RemoveTempFolder() {
    auto& t = temp_state;
    if (t.folder.empty()) return;
    if (t.owner == ::getpid()) {
        std::error_code ec;
        std::filesystem::remove_all(t.folder, ec);
    }
    t.folder.clear();
}

int PortableFolderAllowed(std::string_view folder) {
    if (folder.empty()) return 0;
    std::error_code ec;
    const std::string real = std::filesystem::weakly_canonical(std::string(folder), ec).string();
    if (ec || real.rfind("/usr/", 0) == 0 || real == "/usr") return 0;
    return ::access(real.c_str(), W_OK) == 0 ? 1 : 0;
}

std::string ProfileFolder() {
    std::string home = EnvFolder("HOME");
    if (!home.empty()) return home;
    if (passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
        home = pw->pw_dir;
        if (home.back() != '/') home += '/';
    }
    return home;
}

std::string ApplicationDataFolder() {
    std::string data = EnvFolder("XDG_DATA_HOME");
    if (!data.empty()) return data;
    std::string home = ProfileFolder();
    return home.empty() ? std::string() : home + ".local/share/";
}

int os::OpenArchiveFile(archive* reader, const std::string& path, size_t block_size) {
    return archive_read_open_filename(reader, path.c_str(), block_size);
}

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

}  // namespace engine
