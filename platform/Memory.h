// Blocks of many megabytes, straight from the system: a load's text and indexes. Faulting
// their pages in one by one is a large part of a load's time; where the system gives large
// pages on request, these blocks ask for them.
#pragma once

#include <cstddef>

namespace kalamos {

// A block of at least bytes, aligned for any type, its pages not touched yet; nullptr when
// the system has no room.
void* AllocateLargeBlock(size_t bytes);
// Gives back a block from AllocateLargeBlock, with the size it was asked for.
void FreeLargeBlock(void* block, size_t bytes);
// Gives back the pages of a block past keep bytes; the block stays where it is and keeps
// its size for FreeLargeBlock.
void TrimLargeBlock(void* block, size_t bytes, size_t keep);

}  // namespace kalamos
