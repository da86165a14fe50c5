// The BriefLZ decoder on arbitrary input. The first byte picks a mode:
//   0: one block, output size from the next two bytes, into an exact-size
//      heap buffer so that any stray write or read is caught by ASan;
//   1: a whole "1zlb" stream into a buffer of at most 64 KiB;
//   2: the encoder round trip: encode the rest at a level, decode, compare.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "brieflz_encode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t mode = data[0] % 3;
    if (mode == 0) {
        const size_t out_size = 1 + (data[1] | data[2] << 8);
        std::vector<uint8_t> in(data + 3, data + size);  // exact size: no slack to hide in
        std::vector<uint8_t> out(out_size);
        int64_t used = engine::blz::DecodeBlock(in.data(), in.size(), out.data(), out.size());
        if (used > static_cast<int64_t>(in.size())) std::abort();
    } else if (mode == 1) {
        std::vector<uint8_t> in(data + 1, data + size);
        engine::blz::StreamHeader header;
        if (!engine::blz::ReadStreamHeader(in.data(), in.size(), &header)) return 0;
        size_t capacity = header.unpacked_size < (1u << 16) ? header.unpacked_size : (1u << 16);
        std::vector<uint8_t> out(capacity);
        int64_t n = engine::blz::DecodeStream(in.data(), in.size(), out.data(), out.size());
        if (n != -1 && n != static_cast<int64_t>(header.unpacked_size)) std::abort();
    } else {
        const int level = data[1] % 10;
        const uint8_t* raw = data + 2;
        const size_t n = size - 2;
        static engine::blz::Encoder* encoders[10] = {};
        if (!encoders[level]) encoders[level] = new engine::blz::Encoder(level);
        std::vector<uint8_t> stream = encoders[level]->EncodeStream(raw, n);
        std::vector<uint8_t> out(n);
        if (engine::blz::DecodeStream(stream.data(), stream.size(), out.data(), out.size()) !=
                static_cast<int64_t>(n) ||
            std::memcmp(out.data(), raw, n) != 0) {
            std::abort();
        }
    }
    return 0;
}
