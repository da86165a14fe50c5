// The pack reader on an arbitrary file: open it as a pack, list it, read every
// entry that fits a 1 MiB buffer, by name and as the current entry, and
// extract the first entry. Nothing may crash, leak or read out of bounds.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/object_table.h"

namespace {

// A private folder for the input file, removed at exit.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder() {
        std::random_device random;
        // A memory file system when there is one: every input is a file.
        std::error_code ec;
        auto base = std::filesystem::is_directory("/dev/shm", ec)
                        ? std::filesystem::path("/dev/shm")
                        : std::filesystem::temp_directory_path();
        path = base / ("mnemora_archive_fuzz_" + std::to_string(random()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::filesystem::path& Scratch() {
    static const ScratchFolder folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string pack = (Scratch() / "input.data").string();
    const std::string out = (Scratch() / "out.bin").string();
    if (std::FILE* f = std::fopen(pack.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    int a = engine::OpenArchive(engine::AutoId, pack, engine::kArchivePack);
    if (!a) return 0;
    static std::vector<uint8_t> buffer(1 << 20);
    engine::ListArchive(a);
    for (int i = 0; engine::NextArchiveEntry(a) && i < 64; ++i) {
        const std::string name = engine::ArchiveEntryName(a);
        int64_t unpacked = 0, stored = 0;
        engine::ArchiveEntrySizes(a, &unpacked, &stored);
        int64_t n =
            engine::ReadArchiveEntry(a, buffer.data(), static_cast<int64_t>(buffer.size()), "");
        if (n > static_cast<int64_t>(buffer.size())) __builtin_trap();
        if (n >= 0 && n != unpacked) __builtin_trap();
        // Also exactly the entry's size, so an overrun lands outside the buffer.
        if (unpacked >= 0 && unpacked <= (1 << 16)) {
            std::vector<uint8_t> exact(static_cast<size_t>(unpacked));
            engine::ReadArchiveEntry(a, exact.data(), unpacked, name);
        }
        if (i == 0) {
            engine::ExtractArchiveEntry(a, out, name);
            std::remove(out.c_str());
        }
    }
    engine::CloseArchive(a);
    return 0;
}
