// The store: parsing the configuration text into nodes and building the two indexes.
#include "metadata/MetaStore.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "metadata/MetaStoreImpl.h"
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

bool PackDigits(std::string_view s, size_t places, uint32_t& packed) {
  if (s.size() > places) return false;
  uint32_t value = 0;
  for (char c : s) {
    if (!IsDigit(c)) return false;
    value = value * 11 + uint32_t(c - '0' + 1);
  }
  packed = value * Pow11[places - s.size()];
  return true;
}

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

// An identifier reference of no length: a node without an identifier.
bool IsNone(TRef ref) { return (ref.Length & ~AutoBit) == 0; }

// What the parse leaves for the index build, one entry per node in text order.
struct TParsed {
  std::vector<TRef> Texts;
  std::vector<uint32_t> ParentNodes;
  std::vector<TNode> Nodes;
  // Nodes with an automatic identifier directly under 32001: the section candidates, told
  // apart once the text has its final code page (some OEM bytes become Latin letters).
  std::vector<uint32_t> SectionNodes;

  void Reserve(size_t lists) {
    Texts.reserve(lists);
    ParentNodes.reserve(lists);
    Nodes.reserve(lists);
  }
};

// Reads the text a piece at a time (a piece may end anywhere) and writes the node texts,
// control bytes and braces dropped, into the arena.
class TParser {
public:
  TParser(char* arena, std::string& autoIds, TParsed& parsed, TMetaStore& store)
      : Arena(arena), AutoIds(autoIds), Parsed(parsed), Store(store), Stack(1) {}

  void Run(const char* p, const char* end);

  size_t Length = 0;           // bytes written to the arena
  size_t ZeroMark = SIZE_MAX;  // Length when the first zero byte was read

private:
  TRef AddNode(TFrame& frame);

  char* Arena;
  std::string& AutoIds;
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

// Machine words: 64-bit arithmetic costs a 32-bit build twice over.
using TWord = size_t;
constexpr TWord Ones = TWord(~TWord(0)) / 0xFF;

// High bit set in every byte lane of x that holds a control byte, "{" or "}"; lanes above
// the lowest such one may be set wrongly, the lowest is always right.
TWord SpecialLanes(TWord x) {
  constexpr TWord Highs = Ones * 0x80;
  const TWord open = x ^ (Ones * '{'), close = x ^ (Ones * '}');
  return (((x - Ones * 0x20) & ~x) | ((open - Ones) & ~open) | ((close - Ones) & ~close)) & Highs;
}

int LowestSetBit(TWord x) {
  if constexpr (sizeof(TWord) == 8)
    return __builtin_ctzll(x);
  else
    return __builtin_ctz(x);
}

void TParser::Run(const char* p, const char* end) {
  const uint8_t* classes = ByteClasses.Class;
  char* const out = Arena;
  size_t length = Length;  // a local, so that the byte stores cannot be taken to change it
  while (p < end) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Runs of ordinary bytes a word at a time. Writing never overtakes reading, and a
    // whole word is stored only when all of it is ordinary, so unread bytes stay intact.
    while (size_t(end - p) >= sizeof(TWord)) {
      TWord x;
      std::memcpy(&x, p, sizeof x);
      const TWord lanes = SpecialLanes(x);
      if (lanes == 0) {
        std::memcpy(out + length, &x, sizeof x);
        p += sizeof x;
        length += sizeof x;
        continue;
      }
      const size_t k = size_t(LowestSetBit(lanes)) / 8;
      // The whole word too when it lands on bytes already read or on themselves (or in an
      // arena of its own, which has a word to spare at its end): its bytes after the first
      // k fall beyond the text, which later bytes overwrite.
      const size_t behind = size_t(p - (out + length));
      if (behind >= sizeof x || behind == 0)
        std::memcpy(out + length, &x, sizeof x);
      else
        std::memmove(out + length, p, k);
      p += k;
      length += k;
      break;
    }
    if (p >= end) break;
#endif
    const uint8_t c = uint8_t(*p++);
    const uint8_t cls = classes[c];
    if (cls == 0) {
      out[length++] = char(c);
      continue;
    }
    if (cls == 1) {
      if (c == 0 && ZeroMark == SIZE_MAX) ZeroMark = length;
      continue;
    }
    Length = length;
    TFrame& frame = Stack.back();
    if (cls == 2) {
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
  Length = length;
}

TRef TParser::AddNode(TFrame& frame) {
  TRef t{uint32_t(frame.TextStart), uint32_t(Length - frame.TextStart)};
  if (t.Length > 0 && Arena[t.Offset + t.Length - 1] == ',') --t.Length;
  const TRef parent = frame.Parent;
  if (t.Length >= 2 && IsDigit(Arena[t.Offset + 1])) {
    if (frame.FirstComma == SIZE_MAX) {
      const void* hit = std::memchr(Arena + frame.CommaScanFrom, ',', Length - frame.CommaScanFrom);
      if (hit)
        frame.FirstComma = size_t(static_cast<const char*>(hit) - Arena);
      else
        frame.CommaScanFrom = Length;
    }
    const size_t comma = frame.FirstComma == SIZE_MAX ? SIZE_MAX : frame.FirstComma - frame.TextStart;
    if (comma < t.Length) {
      // A comma right at the start leaves the identifier empty.
      const TRef id{t.Offset + 1, uint32_t(comma >= 2 ? comma - 2 : 0)};
      Parsed.Texts.push_back({uint32_t(t.Offset + comma + 1), uint32_t(t.Length - comma - 1)});
      Parsed.Nodes.push_back({id, 0});
      Parsed.ParentNodes.push_back(frame.ParentNode);
      return id;
    }
  }
  char digits[16];
  const int n = Decimal(uint32_t(++Store.LastAutoId), digits);
  const TRef id{uint32_t(AutoIds.size()), uint32_t(n) | AutoBit};
  AutoIds.append(digits, size_t(n));
  const std::string_view parentId = (parent.Length & AutoBit)
      ? std::string_view(AutoIds.data() + parent.Offset, parent.Length & ~AutoBit)
      : std::string_view(Arena + parent.Offset, parent.Length);
  if (parentId == "32001") Parsed.SectionNodes.push_back(uint32_t(Parsed.Nodes.size()));
  Parsed.Texts.push_back(t);
  Parsed.Nodes.push_back({id, 0});
  Parsed.ParentNodes.push_back(frame.ParentNode);
  return id;
}

// Sort item for the index build: the key packed when it is a short digit string, which
// covers nearly every key, so the sort rarely has to call CompareKeys. Eight bytes: the items
// and their radix scratch are part of a load's peak of memory.
struct TSortItem {
  uint32_t Key = 0;
  uint32_t Tagged = 0;  // the index, and the top bit for Simple

  uint32_t Packed() const { return Key; }
  uint32_t Index() const { return Tagged & ~SimpleBit; }
  bool Simple() const { return (Tagged & SimpleBit) != 0; }
  static constexpr uint32_t SimpleBit = 0x80000000u;
};

// Stable LSD radix sort of packed keys below 2^bits: two passes of at most 14 bits when
// the keys are short enough, else three of 11; a pass where every key agrees is skipped.
void RadixSort(std::vector<TSortItem>& items, int bits) {
  // No bits: every key is the empty one, already in order.
  if (items.empty() || bits == 0) return;
  const int width = bits <= 28 ? (bits + 1) / 2 : (bits + 2) / 3;
  const int passes = (bits + width - 1) / width;
  const uint32_t buckets = 1u << width, mask = buckets - 1;
  // Every pass's histogram in one walk over the items.
  std::vector<uint32_t> counts(size_t(passes) * buckets);
  for (const TSortItem& item : items)
    for (int p = 0; p < passes; ++p) ++counts[p * buckets + ((item.Key >> (p * width)) & mask)];
  std::vector<TSortItem> scratch;
  for (int p = 0; p < passes; ++p) {
    const int shift = p * width;
    uint32_t* count = &counts[p * buckets];
    if (count[(items[0].Key >> shift) & mask] == items.size()) continue;
    if (scratch.empty()) scratch.resize(items.size());
    uint32_t at = 0;
    for (uint32_t c = 0; c < buckets; ++c) at += std::exchange(count[c], at);
    for (const TSortItem& item : items) scratch[count[(item.Key >> shift) & mask]++] = item;
    items.swap(scratch);
  }
}

// Items in key order; equal keys by index, ascending or (newerFirst) descending. The items
// come in index order.
template <class KeyOf>
void SortByKey(std::vector<TSortItem>& items, int bits, const KeyOf& keyOf, bool newerFirst) {
  auto less = [&](const TSortItem& a, const TSortItem& b) {
    int c;
    if (a.Simple() && b.Simple())
      c = a.Packed() < b.Packed() ? -1 : a.Packed() > b.Packed() ? 1 : 0;
    else
      c = KeyCompare(keyOf(a.Index()), keyOf(b.Index()));
    if (c != 0) return c < 0;
    return newerFirst ? a.Index() > b.Index() : a.Index() < b.Index();
  };
  if (newerFirst) std::reverse(items.begin(), items.end());
  // Digit keys by radix (stable, so the order of equal keys is kept), the rest by
  // comparison, then one merge.
  auto simple = [](const TSortItem& i) { return i.Simple(); };
  // Nearly always every key is: then no partition (and no buffer for it) is needed.
  if (std::all_of(items.begin(), items.end(), simple)) {
    RadixSort(items, bits);
    return;
  }
  const auto split = std::stable_partition(items.begin(), items.end(), simple);
  std::vector<TSortItem> digits(items.begin(), split), other(split, items.end());
  RadixSort(digits, bits);
  std::sort(other.begin(), other.end(), less);
  std::merge(digits.begin(), digits.end(), other.begin(), other.end(), items.begin(), less);
}

// The items in index order, and the bits their packed keys take: as many places as the
// longest short key has.
template <class KeyOf>
std::vector<TSortItem> SortItems(size_t count, const KeyOf& keyOf, int& bits) {
  size_t places = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t length = keyOf(uint32_t(i)).size();
    if (length <= MaxPackedPlaces) places = std::max(places, length);
  }
  bits = 0;
  while (bits < 32 && (uint64_t(1) << bits) < Pow11[places]) ++bits;
  std::vector<TSortItem> items(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t packed = 0;
    const bool simple = PackDigits(keyOf(uint32_t(i)), places, packed);
    items[i].Key = packed;
    items[i].Tagged = uint32_t(i) | (simple ? TSortItem::SimpleBit : 0);
  }
  return items;
}

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
        store.SectionIds[k] = std::string(impl.View(parsed.Nodes[node].Child).substr(0, 5));
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
  BuildIndexes(parsed.Texts, parsed.ParentNodes, parsed.Nodes);
}

void TMetaStore::TImpl::ReadAndParse(const WideString& fileName, TMetaStore& store) {
  TConfigurationStream open;
  OpenConfigurationStream(fileName, open);
  // Offsets and lengths are 32-bit, with one bit of a length taken.
  if (open.Size >= AutoBit) throw TStoreError(STG_E_INSUFFICIENTMEMORY, "the metadata stream is too large");
  const size_t size = size_t(open.Size);
  // The node texts are never longer than the stream; a word to spare for the parser's
  // whole-word stores, and a byte for the zero that ends the text for the conversion.
  TextBlock.reset(static_cast<char*>(std::malloc(size + sizeof(TWord) + 1)));
  if (!TextBlock) throw std::bad_alloc();
  char* arena = TextBlock.get();
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
    vote.Count(piece.get() + from, count - from);
    parser.Run(piece.get() + from, piece.get() + count);
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
  // Give back what the dropped bytes left unused; a block that shrinks keeps its place.
  if (char* shrunk = static_cast<char*>(std::realloc(arena, parser.Length + 1))) {
    (void)TextBlock.release();
    TextBlock.reset(shrunk);
    Text = shrunk;
  }
  TextBytes = parser.Length + 1;
  AutoIds.shrink_to_fit();
  NoteSections(*this, parsed, store);
  BuildIndexes(parsed.Texts, parsed.ParentNodes, parsed.Nodes);
}

void TMetaStore::TImpl::BuildIndexes(std::vector<TRef>& texts, std::vector<uint32_t>& parentNodes,
                                     std::vector<TNode>& nodes) {
  // A node's parent key is its parent's own identifier, spelt as that one is; the top level's
  // is empty.
  auto parentKeyOf = [&](uint32_t node) {
    const uint32_t parent = parentNodes[node];
    return parent == NoNode ? TRef{} : nodes[parent].Child;
  };
  // Same result as inserting one by one into sorted arrays: a repeated identifier keeps
  // its first key text and takes the last record; a parent's children come newest first.
  bool digitIds = true, allDigits = true;
  {
    auto idOf = [&](uint32_t i) { return View(nodes[i].Child); };
    int bits = 0;
    std::vector<TSortItem> items = SortItems(nodes.size(), idOf, bits);
    digitIds = std::all_of(items.begin(), items.end(), [](const TSortItem& i) { return i.Simple(); });
    allDigits = digitIds || std::all_of(nodes.begin(), nodes.end(), [&](const TNode& n) { return AllDigits(View(n.Child)); });
    SortByKey(items, bits, idOf, false);
    auto same = [&](const TSortItem& a, const TSortItem& b) {
      if (a.Simple() && b.Simple()) return a.Packed() == b.Packed();
      return KeyCompare(idOf(a.Index()), idOf(b.Index())) == 0;
    };
    // Every node's identifier is where a walk over its parent's children will look.
    uint32_t runs = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      if (i == 0 || !same(items[i - 1], items[i])) ++runs;
      nodes[items[i].Index()].ChildPosition = runs - 1;
    }
    // The items go before the index comes: they would add to the load's peak of memory.
    std::vector<TSortItem>().swap(items);
    // In text order: the first node of an identifier gives the key's spelling, the last one
    // the record.
    constexpr uint32_t Unset = UINT32_MAX;
    Ids.assign(runs, TIdEntry{{0, Unset}, {}, 0});
    if (!allDigits) Links.resize(runs);
    for (uint32_t node = 0; node < nodes.size(); ++node) {
      TIdEntry& entry = Ids[nodes[node].ChildPosition];
      if (entry.Key.Length == Unset) entry.Key = nodes[node].Child;
      entry.Text = texts[node];
      const uint32_t parent = parentNodes[node];
      entry.Parent = parent == NoNode ? 0 : nodes[parent].ChildPosition + 1;
      if (!allDigits) Links[nodes[node].ChildPosition] = parentKeyOf(node);
    }
    std::vector<TRef>().swap(texts);
  }
  {
    // A parent's identifier is a node's, already placed: counting the nodes under each
    // identifier position orders them as a sort by parent key would, and the empty key of
    // the top level comes first. Equal keys are equal positions; newest first within.
    auto bucketOf = [&](uint32_t node) {
      const uint32_t parent = parentNodes[node];
      return parent == NoNode ? 0 : nodes[parent].ChildPosition + 1;
    };
    std::vector<uint32_t> starts(Ids.size() + 2);
    for (uint32_t node = 0; node < nodes.size(); ++node) ++starts[bucketOf(node) + 1];
    for (size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
    Parents.resize(nodes.size());
    if (!allDigits) {
      ParentKeys.resize(nodes.size());
      ChildIds.resize(nodes.size());
    }
    for (uint32_t node = uint32_t(nodes.size()); node-- > 0;) {
      const uint32_t bucket = bucketOf(node), at = starts[bucket]++;
      Parents[at] = {bucket, nodes[node].ChildPosition};
      if (!allDigits) {
        ParentKeys[at] = parentKeyOf(node);
        ChildIds[at] = nodes[node].Child;
      }
    }
    std::vector<TNode>().swap(nodes);
    std::vector<uint32_t>().swap(parentNodes);
  }
  // Runs whose keys are equal but spelt differently. Digit strings are equal only when
  // spelt alike, so with nothing but those as identifiers there are none.
  size_t start = 0;
  for (size_t i = 1; !allDigits && i < Parents.size(); ++i) {
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

int32_t TMetaStore::IdCount() const { return int32_t(Impl->Ids.size()); }
int32_t TMetaStore::ParentCount() const { return int32_t(Impl->Parents.size()); }

TNodeData TMetaStore::IdRecordAt(int32_t position) const {
  if (position < 0 || position >= IdCount()) return {};
  const TIdEntry& entry = Impl->Ids[size_t(position)];
  return {Impl->Link(size_t(position)), Impl->View(entry.Text)};
}

std::string_view TMetaStore::ParentKeyAt(int32_t position) const {
  if (position < 0 || position >= ParentCount()) return {};
  return Impl->ParentKey(size_t(position));
}

size_t TMetaStore::MemoryUsed() const {
  size_t bytes = sizeof(*this) + sizeof(TImpl) + Impl->TextBytes + Impl->AutoIds.capacity() +
                 Impl->Ids.capacity() * sizeof(TIdEntry) +
                 Impl->Parents.capacity() * sizeof(TParentEntry) +
                 (Impl->ParentKeys.capacity() + Impl->ChildIds.capacity() + Impl->Links.capacity()) * sizeof(TRef) +
                 Impl->MixedRuns.capacity() * sizeof(uint32_t);
  for (const std::string& id : SectionIds) bytes += id.capacity() > 15 ? id.capacity() : 0;
  for (const auto& table : Impl->NameTables) bytes += table.second.Bytes;
  return bytes;
}

}  // namespace kalamos
