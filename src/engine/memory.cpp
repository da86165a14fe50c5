#include "engine/memory.h"

#include <cstdlib>
#include <cstring>

namespace engine {

namespace {
// The size lives in a header in front of the bytes handed out; 16 bytes keep
// the block itself aligned for any scalar type.
constexpr size_t kHeader = 16;
}  // namespace

uint8_t* AllocBlock(int64_t size) {
    if (size < 1 || static_cast<uint64_t>(size) > SIZE_MAX - kHeader) return nullptr;
    auto* raw = static_cast<uint8_t*>(std::calloc(1, kHeader + static_cast<size_t>(size)));
    if (!raw) return nullptr;
    std::memcpy(raw, &size, sizeof size);
    return raw + kHeader;
}

int64_t BlockSize(const uint8_t* block) {
    if (!block) return 0;
    int64_t size;
    std::memcpy(&size, block - kHeader, sizeof size);
    return size;
}

void FreeBlock(uint8_t* block) {
    if (block) std::free(block - kHeader);
}

}  // namespace engine
