// Fuzz target for the preference file reader and writer: parses the input as
// a preference file, reads and lists it the way the game does, rewrites it and
// reads it back. The second reading must list the same groups, keys and
// values as the first: the written form has to mean what was read.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/prefs.h"

namespace {

std::string scratch_folder;

void RemoveScratch() {
    std::remove((scratch_folder + "input.prefs").c_str());
    std::remove((scratch_folder + "output.prefs").c_str());
    rmdir(scratch_folder.c_str());
}

const std::string& ScratchFolder() {
    if (scratch_folder.empty()) {
        // Memory-backed when possible: every rewrite syncs the file and folder.
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/prefs-fuzz-XXXXXX" : "/tmp/prefs-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        scratch_folder = pattern + "/";
        std::atexit(RemoveScratch);
    }
    return scratch_folder;
}

// Every key before the first group, then every group and its keys.
std::vector<std::string> Listing() {
    std::vector<std::string> seen;
    engine::ListPrefGroups();
    engine::ListPrefKeys();
    while (engine::NextPrefKey())
        seen.push_back(engine::PrefKeyName() + "=" + engine::PrefKeyValue());
    while (engine::NextPrefGroup()) {
        seen.push_back("[" + engine::PrefGroupName() + "]");
        engine::ListPrefKeys();
        while (engine::NextPrefKey()) {
            seen.push_back(engine::PrefKeyName() + "=" + engine::PrefKeyValue());
        }
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = ScratchFolder() + "input.prefs";
    const std::string output = ScratchFolder() + "output.prefs";
    FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    if (!engine::OpenPrefFile(input)) std::abort();  // an ordinary file always opens
    engine::SelectPrefGroup("Settings");
    engine::ReadPrefString("Language", "");
    engine::ReadPrefInt("MusicVolume", 60);
    engine::SelectPrefGroup("LANGUAGE FILE");
    engine::ReadPrefString("tLangFileNAME", "");
    std::vector<std::string> first = Listing();

    // Rewrite the file (a modified open file) and check it reads the same.
    engine::WritePrefComment("fuzz");
    if (!engine::ClosePrefFile()) std::abort();
    engine::OpenPrefFile(input);
    std::vector<std::string> second = Listing();
    engine::ClosePrefFile();
    if (first != second) std::abort();

    // Copy it key by key into a created file, as the settings are saved.
    engine::OpenPrefFile(input);
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> groups;
    engine::ListPrefGroups();
    while (engine::NextPrefGroup()) {
        groups.push_back({engine::PrefGroupName(), {}});
        engine::ListPrefKeys();
        while (engine::NextPrefKey()) {
            groups.back().second.push_back({engine::PrefKeyName(), engine::PrefKeyValue()});
        }
    }
    engine::ClosePrefFile();
    if (!engine::CreatePrefFile(output)) std::abort();
    for (const auto& [group, keys] : groups) {
        engine::SelectPrefGroup(group);
        for (const auto& [key, value] : keys) {
            engine::WritePrefString(key, value);
            engine::WritePrefInt(key, static_cast<int>(value.size()));
        }
    }
    if (!engine::ClosePrefFile()) std::abort();
    return 0;
}
