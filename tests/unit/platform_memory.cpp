// Large blocks: every byte asked for is there, trimming keeps the bytes before the cut, the
// vectors of a load keep their elements when they grow from the heap into such a block, and
// a load reuses a block given back but keeps none once it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "metadata/MetaStoreImpl.h"
#include "platform/Memory.h"

using namespace kalamos;

namespace {

uint8_t Pattern(size_t i) { return uint8_t(i * 131 + (i >> 12)); }

}  // namespace

TEST(PlatformMemory, LargeBlocksHoldEveryByteAndTrimKeepsTheHead) {
  // Around a page, around a huge page (where the block is moved to its boundary) and
  // several of them.
  for (size_t size : {size_t(1), size_t(4095), size_t(4097), size_t(1) << 20, (size_t(2) << 20) - 1,
                      (size_t(2) << 20) + 3, size_t(5) << 20}) {
    auto* block = static_cast<uint8_t*>(AllocateLargeBlock(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << size;
    for (size_t i = 0; i < size; ++i) block[i] = Pattern(i);
    size_t wrong = 0;
    for (size_t i = 0; i < size; ++i) wrong += block[i] != Pattern(i);
    EXPECT_EQ(wrong, 0u) << size;
    // Cuts at the very end, on a page boundary and inside a page, each below the last:
    // nothing past a cut may be touched again.
    std::vector<size_t> keeps = {size, size / 2 / 4096 * 4096, size / 4 + 1};
    std::sort(keeps.rbegin(), keeps.rend());
    for (size_t keep : keeps) {
      TrimLargeBlock(block, size, keep);
      for (size_t i = 0; i < keep; ++i) wrong += block[i] != Pattern(i);
      EXPECT_EQ(wrong, 0u) << size << " kept " << keep;
    }
    FreeLargeBlock(block, size);
  }
  FreeLargeBlock(nullptr, 0);  // nothing to give back
}

TEST(PlatformMemory, LoadVectorsKeepTheirElementsAcrossTheLargeThreshold) {
  TLargeVector<TRef> refs;
  const uint32_t count = uint32_t(3 * TLargeAllocator<TRef>::LargeBytes / sizeof(TRef));
  for (uint32_t i = 0; i < count; ++i) refs.push_back({i, ~i});
  ASSERT_GE(refs.capacity() * sizeof(TRef), TLargeAllocator<TRef>::LargeBytes);
  size_t wrong = 0;
  for (uint32_t i = 0; i < count; ++i) wrong += refs[i].Offset != i || refs[i].Length != ~i;
  EXPECT_EQ(wrong, 0u);
  TLargeVector<TRef> copy(refs.begin(), refs.begin() + 10);
  TLargeVector<TRef>().swap(refs);
  EXPECT_EQ(refs.capacity(), 0u);
  EXPECT_EQ(copy[9].Offset, 9u);
}

TEST(PlatformMemory, ALoadReusesItsGivenBackBlockAndHoldsNothingAfterwards) {
  const size_t large = TLargeAllocator<uint32_t>::LargeBytes / sizeof(uint32_t);
  {
    TLoadScope load;
    TLargeVector<uint32_t> first(3 * large, 7);
    const void* firstBlock = first.data();
    TLargeVector<uint32_t>().swap(first);
    // Taken for less: the same block, the smaller vector's elements all there.
    TLargeVector<TRef> second(large, TRef{1, 2});
    EXPECT_EQ(static_cast<const void*>(second.data()), firstBlock);
    size_t wrong = 0;
    for (const TRef& r : second) wrong += r.Offset != 1 || r.Length != 2;
    EXPECT_EQ(wrong, 0u);
    TLargeVector<TRef>().swap(second);
    // More than the block has left after that: a fresh block, the spare given back.
    TLargeVector<uint32_t> third(4 * large, 9);
    EXPECT_EQ(third[4 * large - 1], 9u);
    EXPECT_EQ(TSpareBlock::Block.load(), nullptr);
    TLargeVector<uint32_t>().swap(third);
    EXPECT_NE(TSpareBlock::Block.load(), nullptr);
  }
  // After the load nothing is kept, and a block given back goes to the system.
  EXPECT_EQ(TSpareBlock::Block.load(), nullptr);
  TLargeVector<uint32_t> after(2 * large);
  TLargeVector<uint32_t>().swap(after);
  EXPECT_EQ(TSpareBlock::Block.load(), nullptr);
}
