// The WOFF converter on arbitrary bytes: it must refuse or convert, never read
// out of bounds, and a converted font's tables must all be findable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "woff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> woff(data, data + size);
    std::vector<uint8_t> sfnt;
    std::string error;
    if (woff::WoffToSfnt(woff, sfnt, error)) {
        woff::NameRecord(sfnt, 1);
        if (sfnt.size() < 12) __builtin_trap();
    } else if (!sfnt.empty() || error.empty()) {
        __builtin_trap();
    }
    return 0;
}
