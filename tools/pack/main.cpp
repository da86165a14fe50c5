// mnemora-pack: builds the game's data pack and lists, extracts and verifies
// packs. Reading goes through the engine's own archive reader, so `verify`
// checks a pack exactly the way the game will read it.
//
// Exit status: 0 success, 1 a file could not be read or written or the pack is
// bad, 2 the command line is wrong.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/object_table.h"
#include "packer.h"

namespace {

constexpr const char* kUsage =
    "usage: mnemora-pack create OUT.data [--version 1|2] [--level 0..9] [--store] FILE...\n"
    "       mnemora-pack list PACK\n"
    "       mnemora-pack extract PACK NAME [OUT]\n"
    "       mnemora-pack verify PACK\n"
    "       mnemora-pack --help\n";

constexpr const char* kHelp =
    "\n"
    "Builds and checks the game's data pack (\"Mnemora.data\").\n"
    "\n"
    "  create   writes a pack holding the given files; each entry is named by its\n"
    "           file name without folders. Entries are compressed (BriefLZ blocks)\n"
    "           unless that would not make them smaller; --store keeps every entry\n"
    "           as it is. --version picks the header layout (default 2), --level the\n"
    "           block size and search effort (0 fastest .. 9 smallest, default 6).\n"
    "           The pack is written to a temporary file and renamed into place.\n"
    "  list     prints one line per entry: name, unpacked size, stored size.\n"
    "  extract  writes the entry NAME to OUT (default: NAME without folders).\n"
    "  verify   decodes every entry and checks that the entries cover the whole\n"
    "           file; names the first bad entry and exits with status 1.\n"
    "\n"
    "Exit status: 0 success, 1 unreadable input or bad pack, 2 wrong command line.\n";

constexpr int64_t kMaxVerifySize = int64_t{4} << 30;

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "mnemora-pack: %s\n", message.c_str());
    return 1;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        *error = "cannot read " + path + ": it is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = "cannot read " + path;
        return false;
    }
    return true;
}

bool ParseInt(const std::string& text, int low, int high, int* value) {
    if (text.empty() || text.size() > 2) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    *value = static_cast<int>(v);
    return true;
}

int Create(const std::vector<std::string>& args) {
    if (args.empty()) return Usage();
    const std::string out = args[0];
    pack::PackOptions options;
    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--version" || a == "--level") {
            if (i + 1 >= args.size()) return Usage();
            bool ok = a == "--version" ? ParseInt(args[++i], 1, 2, &options.version)
                                       : ParseInt(args[++i], 0, 9, &options.level);
            if (!ok) return Usage();
        } else if (a == "--store") {
            options.store = true;
        } else if (a.rfind("--", 0) == 0) {
            return Usage();
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return Usage();

    std::vector<pack::PackEntryInput> entries;
    for (const std::string& file : files) {
        pack::PackEntryInput entry;
        entry.name = std::filesystem::path(file).filename().string();
        std::string error;
        if (!ReadWholeFile(file, &entry.data, &error)) return Fail(error);
        entries.push_back(std::move(entry));
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!pack::BuildPack(entries, options, &bytes, &error)) return Fail(error);
    if (!pack::WriteFileAtomically(out, bytes, &error)) return Fail(error);
    return 0;
}

// Opens a pack through the engine; prints the failure and returns 0.
int OpenPack(const std::string& path) {
    int archive = engine::OpenArchive(engine::AutoId, path, engine::kArchivePack);
    if (!archive) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            Fail("cannot read " + path + ": no such file");
        } else {
            Fail("cannot read " + path + ": not a data pack (bad magic)");
        }
    }
    return archive;
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage();
    int archive = OpenPack(args[0]);
    if (!archive) return 1;
    engine::ListArchive(archive);
    while (engine::NextArchiveEntry(archive)) {
        int64_t unpacked = 0, stored = 0;
        engine::ArchiveEntrySizes(archive, &unpacked, &stored);
        std::printf("%s\t%lld\t%lld\n", engine::ArchiveEntryName(archive).c_str(),
                    static_cast<long long>(unpacked), static_cast<long long>(stored));
    }
    engine::CloseArchive(archive);
    return 0;
}

int Extract(const std::vector<std::string>& args) {
    if (args.size() != 2 && args.size() != 3) return Usage();
    const std::string& name = args[1];
    // By default the entry lands in the current folder under its own file name,
    // whatever folder part the stored name has.
    std::string out = args.size() == 3 ? args[2] : std::filesystem::path(name).filename().string();
    if (out.empty()) return Fail("entry name \"" + name + "\" has no file name; give OUT");
    int archive = OpenPack(args[0]);
    if (!archive) return 1;
    int64_t size = engine::ExtractArchiveEntry(archive, out, name);
    engine::CloseArchive(archive);
    if (size < 0) {
        return Fail("cannot extract \"" + name + "\" from " + args[0] + " to " + out +
                    ": missing or damaged entry, or unwritable file");
    }
    return 0;
}

// Decodes every entry through the engine's reader, then checks that the
// entries cover the whole file: the reader's directory silently ends at the
// first entry it cannot read whole, which for a pack we ship is damage.
int Verify(const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage();
    const std::string& path = args[0];
    std::vector<uint8_t> head;
    std::error_code ec;
    const uint64_t file_size = std::filesystem::file_size(path, ec);
    int archive = OpenPack(path);
    if (!archive) return 1;
    {
        std::ifstream in(path, std::ios::binary);
        char magic = 0;
        in.get(magic);
        head.push_back(static_cast<uint8_t>(magic));
    }
    const uint64_t header_size = head[0] == '1' ? 24 : 18;

    uint64_t covered = 4;
    int count = 0;
    std::string last = "";
    engine::ListArchive(archive);
    while (engine::NextArchiveEntry(archive)) {
        const std::string name = engine::ArchiveEntryName(archive);
        int64_t unpacked = 0, stored = 0;
        engine::ArchiveEntrySizes(archive, &unpacked, &stored);
        // Decoding needs the whole entry in memory; a claim beyond any real
        // game file is reported instead of trusted with an allocation.
        std::unique_ptr<uint8_t[]> buffer;
        if (unpacked <= kMaxVerifySize) {
            buffer.reset(new (std::nothrow)
                             uint8_t[unpacked > 0 ? static_cast<size_t>(unpacked) : 1]);
        }
        if (!buffer) {
            engine::CloseArchive(archive);
            return Fail(path + ": entry \"" + name + "\" claims " + std::to_string(unpacked) +
                        " bytes, more than can be decoded");
        }
        int64_t got = engine::ReadArchiveEntry(archive, buffer.get(), unpacked, "");
        if (got != unpacked) {
            engine::CloseArchive(archive);
            return Fail(path + ": entry \"" + name + "\" is damaged (its data does not decode to " +
                        std::to_string(unpacked) + " bytes)");
        }
        covered += header_size + name.size() + static_cast<uint64_t>(stored);
        last = name;
        ++count;
    }
    engine::CloseArchive(archive);
    if (!ec && covered != file_size) {
        std::string where = count ? "after entry \"" + last + "\"" : "before the first entry";
        return Fail(path + ": " + std::to_string(file_size - covered) + " bytes " + where +
                    " do not form a readable entry (truncated or damaged pack)");
    }
    std::printf("%s: %d entries OK\n", path.c_str(), count);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        }
    }
    if (args.empty()) return Usage();
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "create") return Create(args);
    if (command == "list") return List(args);
    if (command == "extract") return Extract(args);
    if (command == "verify") return Verify(args);
    return Usage();
}
