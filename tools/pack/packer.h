// Writing data packs: the container the engine reads as archive format 4.
//
// Each entry is compressed into a "1zlb" stream with the engine's BriefLZ
// encoder and kept compressed only when that makes it smaller; otherwise (and
// with `store`) its bytes are stored as they are, which the reader recognises
// by stored size == unpacked size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pack {

struct PackEntryInput {
    std::string name;  // UTF-8, 1 to 32767 bytes
    std::vector<uint8_t> data;
};

struct PackOptions {
    int version = 2;  // 1: 24-byte entry headers ("1zlp"), 2: 18-byte ("2zlp")
    int level = 6;    // 0..9: block size and search effort
    bool store = false;
};

// The bytes kept for one entry: a compressed stream when it is smaller than
// the data, else the data itself.
std::vector<uint8_t> EncodeEntry(const std::vector<uint8_t>& data, const PackOptions& options);

// The whole pack. Returns false with `error` set when an entry name is empty,
// too long or used twice, or the options are out of range.
bool BuildPack(const std::vector<PackEntryInput>& entries, const PackOptions& options,
               std::vector<uint8_t>* pack, std::string* error);

// Writes `bytes` to `path` through a temporary file beside it and a rename, so
// `path` holds either its old contents or all of the new ones.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string* error);

}  // namespace pack
