// The BriefLZ block and stream encoder of the data pack, the writing half of
// engine/brieflz.h. Part of the pack tool: the game only decodes, so it never
// links this; the codec tests and the benchmark take it from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/brieflz.h"

namespace engine::blz {

// The most bytes EncodeBlock can write for `size` input bytes.
size_t MaxEncodedBlockSize(size_t size);

// Hash chains and match search state, reusable across blocks of up to the
// block size it was made for. Holds about 4 bytes per byte of block plus 512 KB.
class Encoder {
  public:
    // `level` 0..9: higher levels search longer chains and match lazily.
    explicit Encoder(int level);

    // Encodes `size` bytes (1 to the level's block size) into `out`, which must
    // hold MaxEncodedBlockSize(size) bytes. Returns the encoded length.
    size_t EncodeBlock(const uint8_t* in, size_t size, uint8_t* out);

    // A whole stream: header (bytes 4..7 are written as zeros) and blocks.
    std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size);

    int level() const { return level_; }

  private:
    size_t LongestMatch(const uint8_t* in, size_t pos, size_t size, size_t* offset) const;
    void Insert(const uint8_t* in, size_t pos, size_t size);

    int level_;
    uint64_t block_size_;
    int max_chain_;
    bool lazy_;
    int hash_bits_;
    std::vector<int32_t> head_;
    std::vector<int32_t> prev_;
};

}  // namespace engine::blz
