// Memory blocks: zero-filled byte blocks that know their own size. The game
// reads each asset from the data pack into a fresh block, decodes it and frees
// the block.
#pragma once

#include <cstdint>

namespace engine {

// A zero-filled block of `size` bytes, or nullptr when size < 1 or memory runs out.
uint8_t* AllocBlock(int64_t size);
// The size the block was allocated with; 0 for nullptr.
int64_t BlockSize(const uint8_t* block);
// Frees a block from AllocBlock; nullptr does nothing.
void FreeBlock(uint8_t* block);

}  // namespace engine
