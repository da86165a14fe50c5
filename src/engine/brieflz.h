// The LZ codec of the data pack: BriefLZ 1.x blocks inside "1zlb" streams.
//
// A stream is a 24-byte header ("1zlb", 4 bytes the reader ignores, unpacked
// size and block size as little-endian 64-bit values) followed by compressed
// blocks back to back. Block k decodes to min(block size, bytes still missing)
// bytes; its compressed length is whatever the decoder consumes.
//
// Blocks are independent: a match may only reach back to the start of its own
// block. The decoder treats anything else as corrupt, which is also what lets
// a stream be decoded one block at a time into a buffer of one block's size.
//
// The decoder is written for untrusted input: every read is checked against the
// end of the input, every write against the end of the output, and every loop
// consumes input, so a corrupt stream ends in -1 and never touches memory
// outside the two ranges it was given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine::blz {

inline constexpr size_t kStreamHeaderSize = 24;

// Block sizes above this are refused by the reader: the writer never uses more
// than 1 MiB, and the limit bounds the memory one block may ask for.
inline constexpr uint64_t kMaxBlockSize = uint64_t{16} << 20;

// The block size the writer derives from a compression level 0..9 (higher
// levels use 1 MiB; negative levels are treated as 0).
uint64_t BlockSizeForLevel(int level);

struct StreamHeader {
    uint64_t unpacked_size = 0;
    uint64_t block_size = 0;
};

// Reads and checks a stream header: the magic, and a block size of 1 to
// kMaxBlockSize (any block size is accepted when the unpacked size is 0).
// Returns false when the header is short or fails a check.
bool ReadStreamHeader(const uint8_t* stream, size_t size, StreamHeader* header);

// Decodes one block of exactly `out_size` bytes from `in` into `out`.
// Returns the number of input bytes consumed, or -1 when the block is corrupt
// (input ends early, a match reaches before `out` or past `out + out_size`).
int64_t DecodeBlock(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size);

// Decodes a whole stream into `out`. Returns the unpacked size, or -1 when the
// header is bad, the unpacked size exceeds `out_capacity` (checked before
// anything is written) or a block is corrupt. Bytes after the last block are
// ignored.
int64_t DecodeStream(const uint8_t* stream, size_t size, uint8_t* out, size_t out_capacity);

}  // namespace engine::blz
