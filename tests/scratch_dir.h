// A fresh private folder for one test, so test programs running at the same
// time (the normal and the sanitizer build, or several checkouts) never share
// files.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
// The few POSIX calls the tests make, for the Windows build of the tests.
inline char* mkdtemp(char* pattern) {
    std::string text = pattern;
    if (text.size() < 6 || text.substr(text.size() - 6) != "XXXXXX") return nullptr;
    static std::mt19937 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = text.size() - 6; i < text.size(); ++i)
            text[i] = kLetters[random() % 36];
        std::error_code ec;
        if (std::filesystem::create_directory(text, ec)) {
            std::copy(text.begin(), text.end(), pattern);
            return pattern;
        }
    }
    return nullptr;
}
inline int setenv(const char* name, const char* value, int) {
    return _putenv_s(name, value);
}
inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}
// No user is all-powerful the way root is.
inline int geteuid() {
    return 1;
}
#endif

namespace test_support {

inline std::filesystem::path ScratchDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

// A file name in the temporary folder that no other process uses.
inline std::filesystem::path ScratchFile(const std::string& name) {
    return std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "_" + name);
}

// The names in a folder, sorted.
inline std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace test_support
