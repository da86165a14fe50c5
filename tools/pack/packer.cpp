#include "packer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#include "brieflz_encode.h"

namespace pack {

namespace {

void PutU64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> EncodeEntry(const std::vector<uint8_t>& data, const PackOptions& options) {
    if (options.store || data.empty()) return data;
    engine::blz::Encoder encoder(options.level);
    std::vector<uint8_t> stream = encoder.EncodeStream(data.data(), data.size());
    // Stored size == unpacked size is what marks an entry as stored, so a
    // stream must come out strictly smaller to be kept.
    return stream.size() < data.size() ? stream : data;
}

bool BuildPack(const std::vector<PackEntryInput>& entries, const PackOptions& options,
               std::vector<uint8_t>* pack, std::string* error) {
    if (options.version != 1 && options.version != 2) {
        *error = "the pack version must be 1 or 2";
        return false;
    }
    if (options.level < 0 || options.level > 9) {
        *error = "the level must be 0 to 9";
        return false;
    }
    std::set<std::string> names;
    for (const PackEntryInput& e : entries) {
        if (e.name.empty() || e.name.size() > 32767) {
            *error = "entry name \"" + e.name + "\" must be 1 to 32767 bytes long";
            return false;
        }
        if (!names.insert(e.name).second) {
            *error = "two entries are named \"" + e.name + "\"";
            return false;
        }
    }

    std::vector<uint8_t>& out = *pack;
    out.clear();
    for (char c : std::string(options.version == 1 ? "1zlp" : "2zlp")) {
        out.push_back(static_cast<uint8_t>(c));
    }
    for (const PackEntryInput& e : entries) {
        std::vector<uint8_t> stored = EncodeEntry(e.data, options);
        PutU64(out, e.data.size());
        PutU64(out, stored.size());
        out.push_back(static_cast<uint8_t>(e.name.size()));
        out.push_back(static_cast<uint8_t>(e.name.size() >> 8));
        if (options.version == 1) out.insert(out.end(), 6, 0);  // reserved
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.insert(out.end(), stored.begin(), stored.end());
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string* error) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
        std::string temp = path + suffix;
        // "x": fails when the name exists, so another file is never clobbered.
        std::FILE* f = std::fopen(temp.c_str(), "wbx");
        if (!f) {
            if (errno == EEXIST) continue;
            *error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = std::fclose(f) == 0 && ok;
        std::error_code ec;
        if (ok) std::filesystem::rename(temp, path, ec);
        if (!ok || ec) {
            *error = "cannot write " + path + (ec ? ": " + ec.message() : "");
            std::filesystem::remove(temp, ec);
            return false;
        }
        return true;
    }
    *error = "cannot write " + path + ": no free temporary name";
    return false;
}

}  // namespace pack
