// Inside of TMetaStore, shared by the parser, the index builder and the lookups.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "metadata/MetaStore.h"
#include "platform/Memory.h"
#include "platform/Storage.h"

namespace kalamos {

// A piece of the text arena or, with AutoBit in Length, of the auto-identifier arena. Offsets
// instead of views: half the size of a view on a 64-bit build, and the auto identifiers may
// live in a buffer that grows.
struct TRef {
  uint32_t Offset = 0;
  uint32_t Length = 0;
};
constexpr uint32_t AutoBit = 0x80000000u;

// A parent-index entry. The keys are the identifier index's own: a parent's identifier is
// a node's, and the child is one.
struct TParentEntry {
  uint32_t Parent;         // the parent's identifier-index position + 1; 0 for the top level
  uint32_t ChildPosition;  // the child's identifier-index position, found once at load
};

// Children of one parent by upper-cased name, built on the first named lookup under a
// parent with many children.
struct TNameTable {
  std::unordered_map<std::string, int32_t> First;  // name -> identifier-index position
  int32_t MissPosition = -1;                      // where a walk that finds nothing ends
  size_t Bytes = 0;
};

// One large block given back during a load is kept for the next vector that fits in it: the
// index's columns take the place of the parse's temporaries, in pages already faulted in,
// instead of fresh ones. Outside a load (TLoadScope) blocks go straight back; a block that
// does not fit is given back before a fresh one is taken, and a block taken for less gives
// back the pages past what it is taken for, so a load's peak of memory stays as it was.
struct TSpareBlock {
  // Its header: the size mapped, and the bytes usable from the block's start.
  struct THead {
    size_t Mapped, Usable;
  };
  static constexpr size_t Header = 64;  // the head, and alignment for any element
  static inline std::atomic<int> Loads{0};
  static inline std::atomic<char*> Block{nullptr};

  static THead& Head(char* block) { return *reinterpret_cast<THead*>(block); }
  static void Free(char* block) {
    if (block) FreeLargeBlock(block, Head(block).Mapped);
  }
  // A block of at least bytes (the header included), or nullptr.
  static char* Take(size_t bytes) {
    char* block = Block.exchange(nullptr);
    if (!block || Head(block).Usable < bytes) {
      Free(block);
      return nullptr;
    }
    TrimLargeBlock(block, Head(block).Usable, bytes);
    Head(block).Usable = bytes;
    return block;
  }
  // Keeps block for the next taker while a load runs; false when it must go back.
  static bool Keep(char* block) {
    if (Loads.load() == 0) return false;
    Free(Block.exchange(block));
    return true;
  }
};

// Marks a load for TSpareBlock; its end gives the spare back.
struct TLoadScope {
  TLoadScope() { ++TSpareBlock::Loads; }
  ~TLoadScope() {
    --TSpareBlock::Loads;
    TSpareBlock::Free(TSpareBlock::Block.exchange(nullptr));
  }
  TLoadScope(const TLoadScope&) = delete;
  TLoadScope& operator=(const TLoadScope&) = delete;
};

// Memory for a vector's elements: from a large block from LargeBytes on, else from the heap.
// Out of line, so that the vectors' appends stay small enough to be inlined.
void* AllocateVectorBlock(size_t bytes);
void FreeVectorBlock(void* p, size_t bytes);

// Vectors of a load's size take their memory from large blocks, the rest from the heap.
template <class T> struct TLargeAllocator {
  using value_type = T;
  static constexpr size_t LargeBytes = size_t(1) << 20;
  TLargeAllocator() = default;
  template <class U> TLargeAllocator(const TLargeAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n > (SIZE_MAX - TSpareBlock::Header) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocateVectorBlock(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) { FreeVectorBlock(p, n * sizeof(T)); }
  // resize leaves elements without initialisers as they are: every column is written in
  // full after it is sized, and clearing tens of megabytes first costs a pass over them.
  template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
  template <class U, class... Args> void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  template <class U> bool operator==(const TLargeAllocator<U>&) const { return true; }
};
template <class T> using TLargeVector = std::vector<T, TLargeAllocator<T>>;

// A large block that gives itself back.
struct TLargeBlock {
  char* Data = nullptr;
  size_t Bytes = 0;
  TLargeBlock() = default;
  TLargeBlock(const TLargeBlock&) = delete;
  TLargeBlock& operator=(const TLargeBlock&) = delete;
  ~TLargeBlock() { FreeLargeBlock(Data, Bytes); }
};

// Sort item for the index build: the key packed when it is a short digit string, which
// covers nearly every key, so the sort rarely has to call CompareKeys. Eight bytes: the items
// are part of a load's peak of memory.
struct TSortItem {
  uint32_t Key = 0;
  uint32_t Tagged = 0;  // the index, and the top bit for Simple

  uint32_t Packed() const { return Key; }
  uint32_t Index() const { return Tagged & ~SimpleBit; }
  bool Simple() const { return (Tagged & SimpleBit) != 0; }
  static constexpr uint32_t SimpleBit = 0x80000000u;
};

// The sort items as the parse makes them, short digit keys put by their top bits into one
// of Buckets buckets, each a chain of chunks of one pool: the bucket sort's permutation is
// done as the keys come, with their digits still in the cache, and each bucket is then
// sorted in a scratch of its own size. The other keys wait in a list of their own.
class TKeyBuckets {
public:
  static constexpr int Shift = 22;  // nine-place keys are below 2^32: 1,024 buckets
  static constexpr uint32_t Buckets = 1u << (32 - Shift);

  TKeyBuckets();
  // Room for about this many items; before the first Add.
  void Reserve(size_t items);
  void Add(TSortItem item) {
    if (!item.Simple()) {
      Others.push_back(item);
      return;
    }
    const uint32_t b = item.Key >> Shift;
    if (Tails[b].Fill >= ChunkItems) NewChunk(b);
    Pool[size_t(Tails[b].Chunk) * ChunkItems + Tails[b].Fill++] = item;
  }
  // Calls take(bucket's items, count) for each bucket in key order, the items in no order;
  // the span is the caller's to reorder.
  template <class Take> void ForEachBucket(const Take& take) {
    std::vector<TSortItem> gathered;
    for (uint32_t b = 0; b < Buckets; ++b) {
      if (Head[b] == None) continue;
      gathered.clear();
      for (uint32_t chunk = Head[b]; chunk != None; chunk = Next[chunk]) {
        const TSortItem* from = Pool.data() + size_t(chunk) * ChunkItems;
        gathered.insert(gathered.end(), from, from + (chunk == Tails[b].Chunk ? Tails[b].Fill : ChunkItems));
      }
      take(gathered.data(), gathered.size());
    }
  }
  // Gives back the pool once the buckets are sorted.
  void Release();

  TLargeVector<TSortItem> Others;

private:
  static constexpr uint32_t None = UINT32_MAX;
  void NewChunk(uint32_t bucket);

  TLargeVector<TSortItem> Pool;
  std::vector<uint32_t> Next;  // a chunk's successor in its bucket
  std::vector<uint32_t> Head;  // a bucket's first chunk
  struct TTail {
    uint32_t Chunk, Fill;  // a bucket's last chunk and the items in it
  };
  std::vector<TTail> Tails;
  // Items a chunk: few for a small text, whose keys may each take a bucket of their own.
  uint32_t ChunkItems = 16;
};

struct TMetaStore::TImpl {
  // Node texts and explicit identifiers, compacted: in place over a buffer handed in
  // (TextString), or from the stream into a block of their own (TextBlock).
  std::string TextString;
  TLargeBlock TextBlock;
  const char* Text = nullptr;
  size_t TextBytes = 0;
  TLargeVector<char> AutoIds;
  // The identifier index, a column each: the key, the record's text, and its parent's
  // identifier-index position + 1 (0 for the top level). Columns can be made and the
  // build's temporaries freed one at a time, which keeps a load's peak of memory down.
  TLargeVector<TRef> IdKeys, IdTexts;
  TLargeVector<uint32_t> IdParents;
  TLargeVector<TParentEntry> Parents;
  // Each parent-index entry's own spelling of its key and child, kept only when some
  // identifier is not all digits and so may be spelt otherwise (letter case) than the key
  // of its identifier-index entry.
  TLargeVector<TRef> ParentKeys, ChildIds;
  // The same for each identifier-index entry's parent, as its record's node spells it.
  TLargeVector<TRef> Links;
  // Starts of parent-index runs whose keys are equal but spelt differently (letter case);
  // only there must a run be walked entry by entry.
  std::vector<uint32_t> MixedRuns;
  mutable std::unordered_map<uint64_t, TNameTable> NameTables;
  // The last parent FindChildren found: a listing asks for the same section on every call.
  mutable std::string LastParent;
  mutable int32_t LastFirst = -1, LastCount = 0;

  std::string_view View(TRef ref) const {
    if (ref.Length & AutoBit) return {AutoIds.data() + ref.Offset, ref.Length & ~AutoBit};
    return {Text + ref.Offset, ref.Length};
  }

  std::string_view ParentKey(size_t position) const {
    if (!ParentKeys.empty()) return View(ParentKeys[position]);
    const uint32_t parent = Parents[position].Parent;
    return parent ? View(IdKeys[parent - 1]) : std::string_view();
  }
  std::string_view Link(size_t position) const {
    if (!Links.empty()) return View(Links[position]);
    const uint32_t parent = IdParents[position];
    return parent ? View(IdKeys[parent - 1]) : std::string_view();
  }
  std::string_view ChildId(size_t position) const {
    if (!ChildIds.empty()) return View(ChildIds[position]);
    return View(IdKeys[Parents[position].ChildPosition]);
  }

  // Parses a normalised buffer in place, from start to its end.
  void ParseInPlace(std::string&& bytes, size_t start, TMetaStore& store);
  // Reads the stream a piece at a time and parses it as it comes.
  void ReadAndParse(const WideString& fileName, TMetaStore& store);
  // From the nodes in text order: their texts, parents' node indexes and identifiers. Each
  // vector is emptied as soon as the build is done with it.
  // keys hold each node's key, packed as nine places where it is a short digit string.
  void BuildIndexes(TLargeVector<TRef>& texts, TLargeVector<uint32_t>& parentNodes, TLargeVector<TRef>& ids,
                    TKeyBuckets& keys);
  // The parent index when every identifier is all digits, from each node's parent and
  // identifier-index position; empties both vectors.
  void BuildParents(TLargeVector<uint32_t>& parentNodes, TLargeVector<uint32_t>& positions, uint32_t runs);
};

// The stream of a configuration container, open, and its size: not empty, below 4 GiB and
// not beyond the file's end. Throws TStoreError.
struct TConfigurationStream {
  TStorage Root, Metadata;
  TStream Stream;
  uint64_t Size = 0;
};
void OpenConfigurationStream(const WideString& fileName, TConfigurationStream& open);
// Reads exactly count bytes on. Throws TStoreError.
void ReadStreamPart(TConfigurationStream& open, char* buffer, uint32_t count);
// Whether text (up to a zero byte) is in the OEM code page rather than the ANSI one.
bool LooksLikeOem(const char* text, size_t length);
// The same for a text that comes in pieces.
struct TOemVote {
  size_t Low = 0, High = 0;
  bool Ended = false;  // a zero byte was seen: what follows does not count
  void Count(const char* text, size_t length);
  bool Oem() const { return Low > High; }
};

// Index key order: CompareKeys, with a short cut for digit strings, which it orders byte by
// byte anyway.
int KeyCompare(std::string_view a, std::string_view b);
// Name of a child as FindChildByName sees it: from the second character up to two
// characters before the first comma.
std::string_view ChildName(std::string_view text);

}  // namespace kalamos
