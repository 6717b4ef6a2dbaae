// The store: parsing the configuration text into nodes and building the two indexes.
#include "metadata/MetaStore.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "metadata/MetaStoreImpl.h"
#include "metadata/Scan.h"
#include "platform/Text.h"

namespace kalamos {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

// Digit strings of up to `places` digits as base-11 numbers: a digit d is d + 1, every place
// after the string's end 0. Integer order is their byte order (a prefix first), and nine
// places stay below 2^32.
constexpr size_t MaxPackedPlaces = 9;
constexpr uint32_t Pow11[MaxPackedPlaces + 1] = {1,      11,      121,      1331,      14641,
                                                 161051, 1771561, 19487171, 214358881, 2357947691u};


}  // namespace

int KeyCompare(std::string_view a, std::string_view b) {
  // The empty key sorts first; an empty view may carry no pointer at all, which the
  // system comparison refuses.
  if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
  if (AllDigits(a) && AllDigits(b)) return a.compare(b);
  return CompareKeys(a, b);
}

std::string_view ChildName(std::string_view text) {
  // As if a comma were appended when the text lacks a final one.
  size_t comma = text.find(',');
  if (comma == std::string_view::npos) comma = text.size();
  if (comma < 2) return {};
  return text.substr(1, comma - 2);
}

namespace {

constexpr uint32_t NoNode = UINT32_MAX;

// One open list: where its pending text starts in the arena and which node its nested
// lists hang under. The first comma of the pending text is remembered, so that text that
// keeps growing after being recorded (top level) is not scanned again.
struct TFrame {
  TRef Parent;
  TRef ChildParent;
  uint32_t ParentNode = NoNode;       // node indexes of the two
  uint32_t ChildParentNode = NoNode;
  size_t TextStart = 0;
  size_t CommaScanFrom = 0;
  size_t FirstComma = SIZE_MAX;

  void Restart(size_t at) {
    TextStart = CommaScanFrom = at;
    FirstComma = SIZE_MAX;
  }
};

// The decimal digits of a positive number. snprintf's formatting took a twentieth of a
// load in which most nodes get an automatic identifier.
int Decimal(uint32_t value, char* out) {
  char reversed[10];
  int n = 0;
  do {
    reversed[n++] = char('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

// The first comma from p on, or nullptr. An identifier is short, so its comma is nearly
// always in the first word: a call of memchr would cost more than the search.
const char* FindComma(const char* p, const char* end) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  while (size_t(end - p) >= sizeof(TWord)) {
    TWord x;
    std::memcpy(&x, p, sizeof x);
    const TWord v = x ^ (Ones * ',');
    // The lowest lane marked is the first comma; lanes above it may be marked wrongly.
    const TWord hit = (v - Ones) & ~v & (Ones * 0x80);
    if (hit) return p + LowestSetBit(hit) / 8;
    p += sizeof x;
  }
#endif
  for (; p < end; ++p)
    if (*p == ',') return p;
  return nullptr;
}

// An identifier reference of no length: a node without an identifier.
bool IsNone(TRef ref) { return (ref.Length & ~AutoBit) == 0; }

// What the parse leaves for the index build, one entry per node in text order.
struct TParsed {
  TLargeVector<TRef> Texts;
  TLargeVector<uint32_t> ParentNodes;
  TLargeVector<TRef> Nodes;  // identifiers
  // The sort items, keys packed as they are read (the digits are in the cache then).
  TKeyBuckets Keys;
  // Nodes with an automatic identifier directly under 32001: the section candidates, told
  // apart once the text has its final code page (some OEM bytes become Latin letters).
  std::vector<uint32_t> SectionNodes;

  void Reserve(size_t lists) {
    Texts.reserve(lists);
    ParentNodes.reserve(lists);
    Nodes.reserve(lists);
    Keys.Reserve(lists);
  }
  void Add(TRef text, TRef id, const char* key, uint32_t parentNode) {
    const uint32_t node = uint32_t(Nodes.size());
    Texts.push_back(text);
    Nodes.push_back(id);
    ParentNodes.push_back(parentNode);
    const size_t length = id.Length & ~AutoBit;
    TSortItem item;
    item.Tagged = node;
    if (length <= MaxPackedPlaces) {
      uint32_t value = 0;
      bool digits = true;
      for (size_t i = 0; i < length; ++i) {
        const uint32_t d = uint32_t(uint8_t(key[i])) - '0';
        digits &= d < 10;
        value = value * 11 + d + 1;
      }
      if (digits) {
        item.Key = value * Pow11[MaxPackedPlaces - length];
        item.Tagged |= TSortItem::SimpleBit;
      }
    }
    Keys.Add(item);
  }
};

// Reads the text a piece at a time (a piece may end anywhere) and writes the node texts,
// control bytes and braces dropped, into the arena.
class TParser {
public:
  TParser(char* arena, TLargeVector<char>& autoIds, TParsed& parsed, TMetaStore& store)
      : Arena(arena), AutoIds(autoIds), Parsed(parsed), Store(store), Stack(1) {}

  // Text that may lie in the arena itself, behind the writing.
  void Run(const char* p, const char* end);
  // Text apart from the arena: the same, faster, and its bytes counted for the vote on its
  // code page on the way.
  void RunSeparate(const char* p, const char* end, TOemVote& vote);

  size_t Length = 0;           // bytes written to the arena
  size_t ZeroMark = SIZE_MAX;  // Length when the first zero byte was read

private:
  // A control byte, "{" or "}" read when length bytes of text are written.
  void Special(uint8_t c, size_t length);
  TRef AddNode(TFrame& frame);
#if defined(KALAMOS_SCAN_SSE2)
  // Returns where it stopped, less than 128 bytes before end.
  KALAMOS_SSE2 const char* RunBlocks(const char* p, const char* end, TOemVote& vote);
#endif

  char* Arena;
  TLargeVector<char>& AutoIds;
  TParsed& Parsed;
  TMetaStore& Store;
  // One frame per open list instead of one call per nesting level: deep nesting must not
  // exhaust the machine stack.
  std::vector<TFrame> Stack;
};

// Byte classes: 0 ordinary, 1 dropped control byte, 2 "{", 3 "}".
struct TByteClasses {
  uint8_t Class[256];
  constexpr TByteClasses() : Class() {
    for (int c = 0; c < 0x20; ++c) Class[c] = 1;
    Class[uint8_t('{')] = 2;
    Class[uint8_t('}')] = 3;
  }
};
constexpr TByteClasses ByteClasses;

void TParser::Run(const char* p, const char* end) {
  const uint8_t* classes = ByteClasses.Class;
  char* const out = Arena;
  size_t length = Length;  // a local, so that the byte stores cannot be taken to change it
  const auto CopyRun = ChosenCopyRun();
  while (p < end) {
    length = CopyRun(p, end, out, length);
    if (p >= end) break;
    const uint8_t c = uint8_t(*p++);
    if (classes[c] == 0)
      out[length++] = char(c);
    else
      Special(c, length);
  }
  Length = length;
}

void TParser::Special(uint8_t c, size_t length) {
  if (c < 0x20) {
    if (c == 0 && ZeroMark == SIZE_MAX) ZeroMark = length;
    return;
  }
  Length = length;
  TFrame& frame = Stack.back();
  if (c == '{') {
    if (IsNone(frame.ChildParent)) {
      frame.ChildParent = AddNode(frame);
      frame.ChildParentNode = uint32_t(Parsed.Nodes.size() - 1);
    }
    // A node without an identifier opens no level; its text keeps growing.
    if (!IsNone(frame.ChildParent)) {
      TFrame child;
      child.Parent = frame.ChildParent;
      child.ParentNode = frame.ChildParentNode;
      child.Restart(length);
      Stack.push_back(child);
    }
  } else {
    if (length > frame.TextStart) AddNode(frame);
    // A surplus "}" at the top level keeps the pending text.
    if (!IsNone(frame.Parent)) {
      Stack.pop_back();
      Stack.back().Restart(length);
    }
  }
}

void TParser::RunSeparate(const char* p, const char* end, TOemVote& vote) {
#if defined(KALAMOS_SCAN_SSE2)
  if (HasSse2()) p = RunBlocks(p, end, vote);
#endif
  vote.Count(p, size_t(end - p));
  Run(p, end);
}

#if defined(KALAMOS_SCAN_SSE2)
// Sixty-four bytes at a time: a mask of the bytes that end a run of ordinary ones, and the
// runs between them copied whole. Every copy moves 64 bytes, reading at most 127 past the
// block's start and writing at most 63 past the text's end, so it needs 128 bytes of input
// left and an arena apart from the input. A branch a block and a branch an event instead of
// one for every run of sixteen bytes.
KALAMOS_SSE2 const char* TParser::RunBlocks(const char* p, const char* end, TOemVote& vote) {
  TBlockLanes lanes;
  int counted = 0;
  char* const out = Arena;
  size_t length = Length;
  // Counting stops at the vote's end, a zero byte: the block that holds it is counted byte
  // by byte, and so is everything after it (not at all).
  while (size_t(end - p) >= 128) {
    const TBlockLanes before = lanes;
    uint64_t special = lanes.Specials(p) | lanes.Specials(p + 16) << 16 | lanes.Specials(p + 32) << 32 |
                       lanes.Specials(p + 48) << 48;
    if (vote.Ended || lanes.SawZero()) {
      lanes = before;
      vote.Count(p, 64);
    } else if (++counted == 63) {
      lanes.Sum(vote.Low, vote.High);
      counted = 0;
    }
    size_t from = 0;
    while (special != 0) {
      const size_t k = size_t(LowestSetBit64(special));
      special &= special - 1;
      if (k > from) {
        Copy64(out + length, p + from);
        length += k - from;
      }
      from = k + 1;
      // Most are the line breaks between lists, which only drop out.
      const uint8_t c = uint8_t(p[k]);
      if (c >= 0x20)
        Special(c, length);
      else if (c == 0 && ZeroMark == SIZE_MAX)
        ZeroMark = length;
    }
    Copy64(out + length, p + from);
    length += 64 - from;
    p += 64;
  }
  lanes.Sum(vote.Low, vote.High);
  Length = length;
  return p;
}
#endif

TRef TParser::AddNode(TFrame& frame) {
  TRef t{uint32_t(frame.TextStart), uint32_t(Length - frame.TextStart)};
  if (t.Length > 0 && Arena[t.Offset + t.Length - 1] == ',') --t.Length;
  const TRef parent = frame.Parent;
  if (t.Length >= 2 && IsDigit(Arena[t.Offset + 1])) {
    if (frame.FirstComma == SIZE_MAX) {
      const char* const q = FindComma(Arena + frame.CommaScanFrom, Arena + Length);
      if (q)
        frame.FirstComma = size_t(q - Arena);
      else
        frame.CommaScanFrom = Length;
    }
    const size_t comma = frame.FirstComma == SIZE_MAX ? SIZE_MAX : frame.FirstComma - frame.TextStart;
    if (comma < t.Length) {
      // A comma right at the start leaves the identifier empty.
      const TRef id{t.Offset + 1, uint32_t(comma >= 2 ? comma - 2 : 0)};
      Parsed.Add({uint32_t(t.Offset + comma + 1), uint32_t(t.Length - comma - 1)}, id, Arena + id.Offset, frame.ParentNode);
      return id;
    }
  }
  char digits[16];
  const int n = Decimal(uint32_t(++Store.LastAutoId), digits);
  const TRef id{uint32_t(AutoIds.size()), uint32_t(n) | AutoBit};
  AutoIds.insert(AutoIds.end(), digits, digits + n);
  const std::string_view parentId = (parent.Length & AutoBit)
      ? std::string_view(AutoIds.data() + parent.Offset, parent.Length & ~AutoBit)
      : std::string_view(Arena + parent.Offset, parent.Length);
  if (parentId == "32001") Parsed.SectionNodes.push_back(uint32_t(Parsed.Nodes.size()));
  Parsed.Add(t, id, digits, frame.ParentNode);
  return id;
}

void InsertionSort(TSortItem* items, size_t count) {
  for (size_t i = 1; i < count; ++i) {
    const TSortItem item = items[i];
    size_t j = i;
    for (; j > 0 && items[j - 1].Key > item.Key; --j) items[j] = items[j - 1];
    items[j] = item;
  }
}

// The items of one bucket in key order: their keys differ only in the low Shift bits, sorted
// least significant half first, through a scratch of the bucket's size.
void SortBucket(TSortItem* items, size_t count, std::vector<TSortItem>& scratch) {
  if (count <= 32) {
    InsertionSort(items, count);
    return;
  }
  constexpr int Half = (TKeyBuckets::Shift + 1) / 2;
  constexpr uint32_t Mask = (1u << Half) - 1;
  uint32_t counts[2][Mask + 1] = {};
  for (size_t i = 0; i < count; ++i) {
    ++counts[0][items[i].Key & Mask];
    ++counts[1][(items[i].Key >> Half) & Mask];
  }
  scratch.resize(count);
  TSortItem *from = items, *to = scratch.data();
  for (int pass = 0; pass < 2; ++pass) {
    uint32_t at = 0;
    for (uint32_t& c : counts[pass]) at += std::exchange(c, at);
    for (size_t i = 0; i < count; ++i) to[counts[pass][(from[i].Key >> (pass * Half)) & Mask]++] = from[i];
    std::swap(from, to);
  }
}

}  // namespace

// A bucket without a chunk counts as one whose last chunk is full.
TKeyBuckets::TKeyBuckets() : Head(Buckets, None), Tails(Buckets, TTail{None, UINT32_MAX}) {}

void TKeyBuckets::Reserve(size_t items) {
  ChunkItems = items >= (size_t(1) << 16) ? 64 : 16;
  Pool.reserve(items + size_t(Buckets) * ChunkItems / 4);
  Next.reserve(Pool.capacity() / ChunkItems + 1);
}

void TKeyBuckets::NewChunk(uint32_t bucket) {
  const uint32_t chunk = uint32_t(Next.size());
  Pool.resize(Pool.size() + ChunkItems);
  Next.push_back(None);
  TTail& tail = Tails[bucket];
  if (tail.Chunk == None)
    Head[bucket] = chunk;
  else
    Next[tail.Chunk] = chunk;
  tail = {chunk, 0};
}

void TKeyBuckets::Release() {
  TLargeVector<TSortItem>().swap(Pool);
  std::vector<uint32_t>().swap(Next);
}

namespace {

// Number of "}" bytes, a word at a time; each lane counts its own, at most 255 before the
// lanes are summed.
size_t CountCloses(const char* p, const char* end) {
  constexpr TWord Low7 = Ones * 0x7F;
  size_t count = 0;
  while (size_t(end - p) >= sizeof(TWord)) {
    TWord lanes = 0;
    for (int k = 0; k < 255 && size_t(end - p) >= sizeof(TWord); ++k, p += sizeof(TWord)) {
      TWord x;
      std::memcpy(&x, p, sizeof x);
      x ^= Ones * '}';
      // One in a lane exactly when the lane is zero.
      lanes += ~(((x & Low7) + Low7) | x | Low7) >> 7;
    }
    for (size_t k = 0; k < sizeof(TWord); ++k) count += (lanes >> (8 * k)) & 0xFF;
  }
  return count + size_t(std::count(p, end, '}'));
}

}  // namespace

namespace {

// Section identifiers from the candidates, in the order they were recorded: a later
// section of the same tag takes the entry over.
void NoteSections(const TMetaStore::TImpl& impl, const TParsed& parsed, TMetaStore& store) {
  for (uint32_t node : parsed.SectionNodes) {
    const std::string_view text = impl.View(parsed.Texts[node]);
    const std::string_view inner = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string_view();
    for (int k = 0; k < KindCount; ++k) {
      if (inner == SectionTag(k) || (SectionAlias(k) && inner == SectionAlias(k))) {
        store.SectionIds[k] = std::string(impl.View(parsed.Nodes[node]).substr(0, 5));
        break;
      }
    }
  }
}

// Stream bytes read at a time: small enough to stay in the processor's cache on their way
// to the arena.
constexpr uint32_t PieceBytes = 128 << 10;

}  // namespace

void TMetaStore::TImpl::ParseInPlace(std::string&& bytes, size_t start, TMetaStore& store) {
  TLoadScope scope;
  TextString = std::move(bytes);
  // Writing never overtakes reading: every byte read yields at most one byte of node text.
  char* const arena = TextString.data();
  Text = arena;
  TextBytes = TextString.capacity();
  const char* begin = arena + std::min(start, TextString.size());
  const char* end = arena + TextString.size();
  TParsed parsed;
  parsed.Reserve(CountCloses(begin, end) + 1);
  TParser(arena, AutoIds, parsed, store).Run(begin, end);
  AutoIds.shrink_to_fit();
  NoteSections(*this, parsed, store);
  BuildIndexes(parsed.Texts, parsed.ParentNodes, parsed.Nodes, parsed.Keys);
}

void TMetaStore::TImpl::ReadAndParse(const WideString& fileName, TMetaStore& store) {
  TLoadScope scope;
  TConfigurationStream open;
  OpenConfigurationStream(fileName, open);
  // Offsets and lengths are 32-bit, with one bit of a length taken.
  if (open.Size >= AutoBit) throw TStoreError(STG_E_INSUFFICIENTMEMORY, "the metadata stream is too large");
  const size_t size = size_t(open.Size);
  // The node texts are never longer than the stream; a chunk to spare for the parser's
  // whole-chunk stores, and a byte for the zero that ends the text for the conversion.
  TextBlock.Bytes = size + ChunkBytes + 1;
  TextBlock.Data = static_cast<char*>(AllocateLargeBlock(TextBlock.Bytes));
  if (!TextBlock.Data) throw std::bad_alloc();
  char* arena = TextBlock.Data;
  Text = arena;
  TParsed parsed;
  // About what the lists of a real configuration take; the vectors grow if they take less.
  parsed.Reserve(size / 48 + 16);
  TParser parser(arena, AutoIds, parsed, store);
  TOemVote vote;
  std::unique_ptr<char[]> piece(new char[PieceBytes]);
  // The preamble's length is told by its fourth byte.
  size_t skip = 0;
  for (size_t done = 0; done < size;) {
    const uint32_t count = uint32_t(std::min<size_t>(size - done, PieceBytes));
    ReadStreamPart(open, piece.get(), count);
    if (done == 0) skip = size > 3 && piece[3] == '{' ? 6 : 9;
    const size_t from = skip > done ? std::min<size_t>(skip - done, count) : 0;
    parser.RunSeparate(piece.get() + from, piece.get() + count, vote);
    done += count;
  }
  piece.reset();
  // The text up to its first zero byte is converted when it is in the OEM code page. Only
  // bytes from 0x80 up change, and the arena holds each of them once, in order.
  const size_t converted = std::min(parser.ZeroMark, parser.Length);
  if (vote.Oem()) {
    const char kept = arena[converted];
    arena[converted] = '\0';
    OemToAnsiInPlace(arena);
    arena[converted] = kept;
  }
  // Give back what the dropped bytes left unused.
  TrimLargeBlock(arena, TextBlock.Bytes, parser.Length + 1);
  TextBytes = parser.Length + 1;
  AutoIds.shrink_to_fit();
  NoteSections(*this, parsed, store);
  BuildIndexes(parsed.Texts, parsed.ParentNodes, parsed.Nodes, parsed.Keys);
}

void TMetaStore::TImpl::BuildIndexes(TLargeVector<TRef>& texts, TLargeVector<uint32_t>& parentNodes,
                                     TLargeVector<TRef>& ids, TKeyBuckets& keys) {
  // Same result as inserting one by one into sorted arrays: a repeated identifier keeps
  // its first key text and takes the last record; a parent's children come newest first.
  const uint32_t count = uint32_t(ids.size());
  auto idOf = [&](uint32_t node) { return View(ids[node]); };
  // Each node's identifier-index position.
  TLargeVector<uint32_t> positions;
  bool allDigits = true;
  uint32_t runs = 0;
  {
    allDigits = keys.Others.empty() || std::all_of(ids.begin(), ids.end(), [&](TRef id) { return AllDigits(View(id)); });
    auto less = [&](const TSortItem& a, const TSortItem& b) {
      if (a.Simple() && b.Simple()) return a.Packed() < b.Packed();
      return KeyCompare(idOf(a.Index()), idOf(b.Index())) < 0;
    };
    auto same = [&](const TSortItem& a, const TSortItem& b) {
      if (a.Simple() && b.Simple()) return a.Packed() == b.Packed();
      return KeyCompare(idOf(a.Index()), idOf(b.Index())) == 0;
    };
    TLargeVector<TSortItem>& others = keys.Others;
    std::sort(others.begin(), others.end(), less);
    positions.resize(count);
    TSortItem previous;
    auto place = [&](const TSortItem& item) {
      if (runs == 0 || !same(previous, item)) ++runs;
      positions[item.Index()] = runs - 1;
      previous = item;
    };
    // The digit keys bucket by bucket, the others merged in where they fall.
    size_t other = 0;
    std::vector<TSortItem> scratch;
    keys.ForEachBucket([&](TSortItem* items, size_t size) {
      SortBucket(items, size, scratch);
      for (size_t i = 0; i < size; ++i) {
        while (other < others.size() && less(others[other], items[i])) place(others[other++]);
        place(items[i]);
      }
    });
    keys.Release();
    while (other < others.size()) place(others[other++]);
    TLargeVector<TSortItem>().swap(others);
  }
  // Column by column, in text order, each temporary freed once its column stands: the
  // last node of an identifier gives the record, the first the key's spelling.
  IdTexts.resize(runs);
  for (uint32_t node = 0; node < count; ++node) IdTexts[positions[node]] = texts[node];
  TLargeVector<TRef>().swap(texts);
  constexpr uint32_t Unset = UINT32_MAX;
  IdKeys.assign(runs, TRef{0, Unset});
  IdParents.resize(runs);
  if (!allDigits) Links.resize(runs);
  // A parent's identifier is a node's, already placed: its position + 1 orders the parent
  // index as a sort by parent key would, the empty key of the top level (0) first.
  auto bucketOf = [&](uint32_t node) {
    const uint32_t parent = parentNodes[node];
    return parent == NoNode ? 0 : positions[parent] + 1;
  };
  for (uint32_t node = 0; node < count; ++node) {
    const uint32_t p = positions[node];
    if (IdKeys[p].Length == Unset) IdKeys[p] = ids[node];
    IdParents[p] = bucketOf(node);
    if (!allDigits) Links[p] = parentNodes[node] == NoNode ? TRef{} : ids[parentNodes[node]];
  }
  if (allDigits) {
    TLargeVector<TRef>().swap(ids);
    BuildParents(parentNodes, positions, runs);
    return;
  }
  // Some identifier may be spelt in another letter case than its key: each entry keeps its
  // own spellings, so the entries are placed by counting, node by node.
  TLargeVector<uint32_t> starts(size_t(runs) + 2, 0);
  for (uint32_t node = 0; node < count; ++node) ++starts[bucketOf(node) + 1];
  for (size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
  Parents.resize(count);
  ParentKeys.resize(count);
  ChildIds.resize(count);
  for (uint32_t node = count; node-- > 0;) {
    const uint32_t bucket = bucketOf(node), at = starts[bucket]++;
    Parents[at] = {bucket, positions[node]};
    ParentKeys[at] = parentNodes[node] == NoNode ? TRef{} : ids[parentNodes[node]];
    ChildIds[at] = ids[node];
  }
  TLargeVector<TRef>().swap(ids);
  TLargeVector<uint32_t>().swap(parentNodes);
  TLargeVector<uint32_t>().swap(positions);
  // Runs whose keys are equal but spelt differently.
  size_t start = 0;
  for (size_t i = 1; i < Parents.size(); ++i) {
    // Siblings share their parent's reference.
    const TRef a = ParentKeys[i - 1], b = ParentKeys[i];
    if (a.Offset == b.Offset && a.Length == b.Length) continue;
    const std::string_view previous = View(a), key = View(b);
    if (previous == key) continue;
    if (KeyCompare(previous, key) != 0)
      start = i;
    else if (MixedRuns.empty() || MixedRuns.back() != start)
      MixedRuns.push_back(uint32_t(start));
  }
  MixedRuns.shrink_to_fit();
}

void TMetaStore::TImpl::BuildParents(TLargeVector<uint32_t>& parentNodes, TLargeVector<uint32_t>& positions,
                                     uint32_t runs) {
  // A stable radix sort by parent position + 1 of the nodes taken newest first, a digit of
  // at most 11 bits a pass. The first pass reads the nodes, and their vectors go before the
  // second pass takes its scratch; no table of the size of the index is needed.
  const uint32_t count = uint32_t(parentNodes.size());
  auto bucketOf = [&](uint32_t node) {
    const uint32_t parent = parentNodes[node];
    return parent == NoNode ? 0 : positions[parent] + 1;
  };
  int bits = 1;
  while (bits < 32 && (uint64_t(1) << bits) <= runs) ++bits;
  const int passes = (bits + 10) / 11, width = (bits + passes - 1) / passes;
  const uint32_t mask = (1u << width) - 1;
  std::vector<uint32_t> starts(mask + 1);
  auto place = [&](int pass, uint32_t key) { return (key >> (pass * width)) & mask; };
  auto prefix = [&]() {
    uint32_t at = 0;
    for (uint32_t& s : starts) at += std::exchange(s, at);
  };
  for (uint32_t node = 0; node < count; ++node) ++starts[place(0, bucketOf(node))];
  prefix();
  Parents.resize(count);
  for (uint32_t node = count; node-- > 0;) {
    const uint32_t bucket = bucketOf(node);
    Parents[starts[place(0, bucket)]++] = {bucket, positions[node]};
  }
  TLargeVector<uint32_t>().swap(parentNodes);
  TLargeVector<uint32_t>().swap(positions);
  TLargeVector<TParentEntry> scratch;
  for (int pass = 1; pass < passes; ++pass) {
    std::fill(starts.begin(), starts.end(), 0);
    for (const TParentEntry& e : Parents) ++starts[place(pass, e.Parent)];
    prefix();
    scratch.resize(count);
    for (const TParentEntry& e : Parents) scratch[starts[place(pass, e.Parent)]++] = e;
    Parents.swap(scratch);
  }
}

void* AllocateVectorBlock(size_t bytes) {
  if (bytes < TLargeAllocator<char>::LargeBytes) return ::operator new(bytes);
  char* block = TSpareBlock::Take(bytes + TSpareBlock::Header);
  if (!block) {
    block = static_cast<char*>(AllocateLargeBlock(bytes + TSpareBlock::Header));
    if (!block) throw std::bad_alloc();
    TSpareBlock::Head(block) = {bytes + TSpareBlock::Header, bytes + TSpareBlock::Header};
  }
  return block + TSpareBlock::Header;
}

void FreeVectorBlock(void* p, size_t bytes) {
  if (bytes < TLargeAllocator<char>::LargeBytes) {
    ::operator delete(p);
    return;
  }
  char* block = static_cast<char*>(p) - TSpareBlock::Header;
  if (!TSpareBlock::Keep(block)) TSpareBlock::Free(block);
}

TMetaStore::TMetaStore(const std::string& FileName) : Impl(std::make_unique<TImpl>()) {
  Impl->ReadAndParse(AnsiToWide(FileName), *this);
}

TMetaStore::TMetaStore(const TTextBuffer& buffer) : TMetaStore(TTextBuffer(buffer)) {}

TMetaStore::TMetaStore(TTextBuffer&& buffer) : Impl(std::make_unique<TImpl>()) {
  // Offsets and lengths are 32-bit, with one bit of a length taken.
  if (buffer.Bytes.size() >= AutoBit) throw TStoreError(STG_E_INSUFFICIENTMEMORY, "the metadata stream is too large");
  Impl->ParseInPlace(std::move(buffer.Bytes), buffer.Position, *this);
}

TMetaStore::~TMetaStore() = default;

int32_t TMetaStore::IdCount() const { return int32_t(Impl->IdKeys.size()); }
int32_t TMetaStore::ParentCount() const { return int32_t(Impl->Parents.size()); }

TNodeData TMetaStore::IdRecordAt(int32_t position) const {
  if (position < 0 || position >= IdCount()) return {};
  return {Impl->Link(size_t(position)), Impl->View(Impl->IdTexts[size_t(position)])};
}

std::string_view TMetaStore::ParentKeyAt(int32_t position) const {
  if (position < 0 || position >= ParentCount()) return {};
  return Impl->ParentKey(size_t(position));
}

size_t TMetaStore::MemoryUsed() const {
  size_t bytes = sizeof(*this) + sizeof(TImpl) + Impl->TextBytes + Impl->AutoIds.capacity() +
                 (Impl->IdKeys.capacity() + Impl->IdTexts.capacity()) * sizeof(TRef) +
                 Impl->IdParents.capacity() * sizeof(uint32_t) +
                 Impl->Parents.capacity() * sizeof(TParentEntry) +
                 (Impl->ParentKeys.capacity() + Impl->ChildIds.capacity() + Impl->Links.capacity()) * sizeof(TRef) +
                 Impl->MixedRuns.capacity() * sizeof(uint32_t);
  for (const std::string& id : SectionIds) bytes += id.capacity() > 15 ? id.capacity() : 0;
  for (const auto& table : Impl->NameTables) bytes += table.second.Bytes;
  return bytes;
}

}  // namespace kalamos
