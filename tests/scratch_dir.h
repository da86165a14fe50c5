// A fresh private folder for one test, so test programs running at the same
// time (the normal and the sanitizer build, or several checkouts) never share
// files.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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
