// Scratch game folders for the shell's integration tests: the built data pack,
// languages and cursor linked into a fresh folder, HOME and XDG_DATA_HOME
// pointed at a fresh user folder, and small helpers to read back what the game
// wrote.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace shell_test {

namespace fs = std::filesystem;

inline std::string GameDataDir() {
    const char* dir = std::getenv("MNEMORA_GAME_DIR");
    return dir ? dir : "";
}

inline bool HaveGameData() {
    return !GameDataDir().empty() && fs::exists(fs::path(GameDataDir()) / "Mnemora.data");
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The lines of a CR LF text file.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Files in a folder whose names start with a prefix.
inline std::vector<fs::path> FilesStartingWith(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    if (!fs::exists(folder)) return found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) found.push_back(entry.path());
    }
    return found;
}

class ScratchFolders {
  public:
    ScratchFolders() {
        char pattern[] = "/tmp/mnemora-shell-XXXXXX";
        root_ = mkdtemp(pattern);
        game_ = root_ / "game";
        home_ = root_ / "home";
        fs::create_directories(game_);
        fs::create_directories(home_);
        for (const char* name : {"Mnemora.data", "Mnemora.languages", "Mnemora.pointer"}) {
            const fs::path source = fs::path(GameDataDir()) / name;
            if (fs::exists(source)) fs::create_symlink(source, game_ / name);
        }
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    }
    ~ScratchFolders() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const fs::path& root() const { return root_; }
    const fs::path& game() const { return game_; }
    fs::path userFolder() const { return home_ / "data" / "Orvanta" / "Mnemora"; }
    std::string gameFolder() const { return game_.string() + "/"; }

  private:
    fs::path root_, game_, home_;
};

}  // namespace shell_test
