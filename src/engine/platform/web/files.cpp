// The program's folders in a browser. The page writes the program's data into
// the in-memory file system under /mnemora/ before the program starts, and
// mounts /save/ on the browser's IndexedDB, whose files it reads back first.
// The atomic save's fsyncs (of the file, then of its folder) each wait until
// the whole save folder is copied to IndexedDB, one copy at a time, so a
// reload, a closed tab or a crash keeps every finished save. The save folder
// is never the program's own.
#include <sys/stat.h>

#include <archive.h>

#include <filesystem>

#include "engine/platform/platform.h"

namespace engine {

const char kPathSeparator = '/';

namespace {
constexpr const char* kTempFolder = "/tmp/mnemora/";
constexpr const char* kSaveFolder = "/save/";
bool temp_made = false;
}  // namespace

std::string PrivateTempFolder() {
    if (!temp_made) {
        std::error_code ec;
        std::filesystem::create_directories(kTempFolder, ec);
        if (ec) return {};
        temp_made = true;
    }
    return kTempFolder;
}

std::string TempFolder() {
    std::string folder = PrivateTempFolder();
    return folder.empty() ? "/tmp/" : folder;
}

void RemoveTempFolder() {
    if (!temp_made) return;
    std::error_code ec;
    std::filesystem::remove_all(kTempFolder, ec);
    temp_made = false;
}

int PortableFolderAllowed(std::string_view) {
    return 0;
}

std::string ProfileFolder() {
    return kSaveFolder;
}

std::string ApplicationDataFolder() {
    return kSaveFolder;
}

int os::OpenArchiveFile(archive* reader, const std::string& path, size_t block_size) {
    return archive_read_open_filename(reader, path.c_str(), block_size);
}

std::string ExecutablePath() {
    return "/mnemora/mnemora";
}

}  // namespace engine
