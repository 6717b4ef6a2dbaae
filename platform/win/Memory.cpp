// Large blocks for Windows: committed pages from VirtualAlloc, past the process heap, whose
// large blocks come from there anyway.
#include "platform/Memory.h"

#include <windows.h>

namespace kalamos {

void* AllocateLargeBlock(size_t bytes) {
  return VirtualAlloc(nullptr, bytes == 0 ? 1 : bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLargeBlock(void* block, size_t) {
  if (block) VirtualFree(block, 0, MEM_RELEASE);
}

void TrimLargeBlock(void* block, size_t bytes, size_t keep) {
  const size_t page = 4096, from = (keep + page - 1) / page * page;
  // Decommitted pages are no longer charged; the range stays reserved until the release.
  if (block && from < bytes) VirtualFree(static_cast<char*>(block) + from, bytes - from, MEM_DECOMMIT);
}

}  // namespace kalamos
