// Large blocks for the native build: anonymous mappings, on 2 MiB boundaries so that the
// kernel can back them with transparent huge pages (one fault per 2 MiB instead of 512).
#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

// Under AddressSanitizer the blocks come from malloc, whose bounds it checks; a mapping of
// our own it would not.
#if defined(__SANITIZE_ADDRESS__)
#define KALAMOS_BLOCKS_FROM_MALLOC
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KALAMOS_BLOCKS_FROM_MALLOC
#endif
#endif
#ifdef KALAMOS_BLOCKS_FROM_MALLOC
#include <sanitizer/asan_interface.h>
#endif

namespace kalamos {

#ifdef KALAMOS_BLOCKS_FROM_MALLOC

void* AllocateLargeBlock(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void FreeLargeBlock(void* block, size_t bytes) {
  if (block) __asan_unpoison_memory_region(block, bytes == 0 ? 1 : bytes);
  std::free(block);
}

// What is trimmed must not be read again: poisoned, so that a read there is caught.
void TrimLargeBlock(void* block, size_t bytes, size_t keep) {
  if (block && keep < bytes) __asan_poison_memory_region(static_cast<char*>(block) + keep, bytes - keep);
}

#else

namespace {

constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t SmallPage = 4096;

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

}  // namespace

void* AllocateLargeBlock(size_t bytes) {
  if (bytes == 0) bytes = 1;
  const size_t size = RoundUp(bytes, SmallPage);
  if (size < bytes || size > SIZE_MAX - HugePage) return nullptr;
  // Room to move the start to a huge-page boundary; what lies outside is unmapped again.
  const size_t mapped = size >= HugePage ? size + HugePage : size;
  void* at = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (at == MAP_FAILED) return nullptr;
  char* start = static_cast<char*>(at);
  if (mapped != size) {
    char* aligned = reinterpret_cast<char*>(RoundUp(reinterpret_cast<uintptr_t>(start), HugePage));
    if (aligned != start) ::munmap(start, size_t(aligned - start));
    char* end = aligned + size;
    const size_t tail = size_t(start + mapped - end);
    if (tail) ::munmap(end, tail);
    start = aligned;
#ifdef MADV_HUGEPAGE
    // Only a hint: without huge pages the block works all the same. KALAMOS_SMALL_PAGES=1
    // leaves them out, for measuring against Windows and Wine, which give a DLL small pages
    // only (large ones need the lock-memory privilege).
    static const bool small = [] {
      const char* value = std::getenv("KALAMOS_SMALL_PAGES");
      return value && *value && *value != '0';
    }();
    if (!small) ::madvise(start, size, MADV_HUGEPAGE);
#endif
  }
  return start;
}

void FreeLargeBlock(void* block, size_t bytes) {
  if (block) ::munmap(block, RoundUp(bytes == 0 ? 1 : bytes, SmallPage));
}

void TrimLargeBlock(void* block, size_t bytes, size_t keep) {
  const size_t from = RoundUp(keep, SmallPage), size = RoundUp(bytes == 0 ? 1 : bytes, SmallPage);
  if (block && from < size) ::madvise(static_cast<char*>(block) + from, size - from, MADV_DONTNEED);
}

#endif

}  // namespace kalamos
