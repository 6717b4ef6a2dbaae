// The store: parsing the configuration text into nodes and building the two indexes.
#include "metadata/MetaStore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "metadata/MetaStoreImpl.h"
#include "platform/Text.h"

const char* const SectionTags[KindCount] = {
    "TaskItem", "GenJrnlFldDef", "DocSelRefobj", "DocNumRef",     "Consts", "SbCnts",
    "Registers", "Documents",    "Journalisters", "EnumList",     "ReportList", "CJ",
    "Calendars", "Algorithms",   "Calcvars",      "Groups",       "Buh"};

const char* const SubSectionNames[KindCount][3] = {
    {"", "", ""},         {"", "", ""},
    {"", "", ""},         {"", "", ""},
    {"", "", ""},         {"Params", "", ""},
    {"Props", "Figures", "Flds"}, {"Head Fields", "Table Fields", ""},
    {"JournalFld", "", ""}, {"EnumVal", "", ""},
    {"", "", ""},         {"", "", ""},
    {"", "", ""},         {"", "", ""},
    {"", "", ""},         {"", "", ""},
    {"", "", ""}};

namespace {

// Real files name the numbering section this way too.
constexpr std::string_view DocNumAlias = "DocNumDef";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

// Short digit strings packed so that integer order is their byte order (a prefix first).
bool PackDigits(std::string_view s, uint64_t& packed) {
  if (s.size() > 8) return false;
  uint64_t value = 0;
  for (char c : s) {
    if (!IsDigit(c)) return false;
    value = value << 8 | uint8_t(c);
  }
  packed = s.empty() ? 0 : value << (8 * (8 - s.size()));
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

std::string_view TIdArena::Add(std::string_view text) {
  if (Size - Used < text.size()) {
    Size = std::max<size_t>(text.size(), Blocks.empty() ? 256 : std::min<size_t>(Size * 2, 65536));
    Blocks.push_back(std::make_unique<char[]>(Size));
    Total += Size;
    Used = 0;
  }
  char* at = Blocks.back().get() + Used;
  std::memcpy(at, text.data(), text.size());
  Used += text.size();
  return {at, text.size()};
}

namespace {

// One open list: where its pending text starts in the arena and which node its nested
// lists hang under. The first comma of the pending text is remembered, so that text that
// keeps growing after being recorded (top level) is not scanned again.
struct TFrame {
  std::string_view Parent;
  std::string_view ChildParent;
  size_t TextStart = 0;
  size_t CommaScanFrom = 0;
  size_t FirstComma = SIZE_MAX;

  void Restart(size_t at) {
    TextStart = CommaScanFrom = at;
    FirstComma = SIZE_MAX;
  }
};

class TParser {
public:
  TParser(char* arena, TIdArena& autoIds, std::vector<std::string_view>& texts,
          std::vector<TParentEntry>& parents, TMetaStore& store)
      : Arena(arena), AutoIds(autoIds), Texts(texts), Parents(parents), Store(store) {}

  void Run(const char* p, const char* end);

private:
  std::string_view AddNode(TFrame& frame);

  char* Arena;
  TIdArena& AutoIds;
  std::vector<std::string_view>& Texts;  // per node, in step with Parents
  std::vector<TParentEntry>& Parents;
  TMetaStore& Store;
  size_t Length = 0;
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
  // One frame per open list instead of one call per nesting level: deep nesting must not
  // exhaust the machine stack.
  std::vector<TFrame> stack(1);
  const uint8_t* classes = ByteClasses.Class;
  char* const out = Arena;
  size_t length = 0;  // a local, so that the byte stores cannot be taken to change it
  while (p < end) {
    const uint8_t c = uint8_t(*p++);
    const uint8_t cls = classes[c];
    if (cls == 0) {
      out[length++] = char(c);
      continue;
    }
    if (cls == 1) continue;
    Length = length;
    TFrame& frame = stack.back();
    if (cls == 2) {
      if (frame.ChildParent.empty()) frame.ChildParent = AddNode(frame);
      // A node without an identifier opens no level; its text keeps growing.
      if (!frame.ChildParent.empty()) {
        TFrame child;
        child.Parent = frame.ChildParent;
        child.Restart(length);
        stack.push_back(child);
      }
    } else {
      if (length > frame.TextStart) AddNode(frame);
      // A surplus "}" at the top level keeps the pending text.
      if (!frame.Parent.empty()) {
        stack.pop_back();
        stack.back().Restart(length);
      }
    }
  }
}

std::string_view TParser::AddNode(TFrame& frame) {
  std::string_view t(Arena + frame.TextStart, Length - frame.TextStart);
  if (!t.empty() && t.back() == ',') t.remove_suffix(1);
  const std::string_view parent = frame.Parent;
  std::string_view id;
  if (t.size() >= 2 && IsDigit(t[1])) {
    if (frame.FirstComma == SIZE_MAX) {
      const void* hit = std::memchr(Arena + frame.CommaScanFrom, ',', Length - frame.CommaScanFrom);
      if (hit)
        frame.FirstComma = size_t(static_cast<const char*>(hit) - Arena);
      else
        frame.CommaScanFrom = Length;
    }
    const size_t comma = frame.FirstComma == SIZE_MAX ? SIZE_MAX : frame.FirstComma - frame.TextStart;
    if (comma < t.size()) {
      // A comma right at the start leaves the identifier empty.
      id = t.substr(1, comma >= 2 ? comma - 2 : 0);
      Texts.push_back(t.substr(comma + 1));
      Parents.push_back({parent, id});
      return id;
    }
  }
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", ++Store.LastAutoId);
  id = AutoIds.Add(std::string_view(digits, size_t(n)));
  Texts.push_back(t);
  if (parent == "32001") {
    const std::string_view inner = t.size() >= 2 ? t.substr(1, t.size() - 2) : std::string_view();
    for (int k = 0; k < KindCount; ++k) {
      if (inner == SectionTags[k] || (k == 3 && inner == DocNumAlias)) {
        Store.SectionIds[k] = std::string(id.substr(0, 5));
        break;
      }
    }
  }
  Parents.push_back({parent, id});
  return id;
}

// Sort item for the index build: the key packed when it is a short digit string, which
// covers nearly every key, so the sort rarely has to call CompareKeys.
struct TSortItem {
  uint64_t Packed;
  uint32_t Index;
  bool Simple;
};

// Stable LSD radix sort of digit keys by their packed bytes; byte positions where every key
// agrees are skipped, which leaves about one pass per digit.
void RadixSort(std::vector<TSortItem>& items) {
  if (items.empty()) return;
  // All eight histograms in one pass over the items.
  std::vector<size_t> counts(8 * 256);
  for (const TSortItem& item : items)
    for (int b = 0; b < 8; ++b) ++counts[b * 256 + ((item.Packed >> (8 * b)) & 0xFF)];
  std::vector<TSortItem> scratch;
  for (int b = 0; b < 8; ++b) {
    size_t* count = &counts[b * 256];
    const int shift = 8 * b;
    if (count[(items[0].Packed >> shift) & 0xFF] == items.size()) continue;
    if (scratch.empty()) scratch.resize(items.size());
    size_t at = 0;
    for (int c = 0; c < 256; ++c) at += std::exchange(count[c], at);
    for (const TSortItem& item : items) scratch[count[(item.Packed >> shift) & 0xFF]++] = item;
    items.swap(scratch);
  }
}

// Items in key order; equal keys by index, ascending or (newerFirst) descending. The items
// come in index order.
template <class KeyOf>
void SortByKey(std::vector<TSortItem>& items, const KeyOf& keyOf, bool newerFirst) {
  auto less = [&](const TSortItem& a, const TSortItem& b) {
    int c;
    if (a.Simple && b.Simple)
      c = a.Packed < b.Packed ? -1 : a.Packed > b.Packed ? 1 : 0;
    else
      c = KeyCompare(keyOf(a.Index), keyOf(b.Index));
    if (c != 0) return c < 0;
    return newerFirst ? a.Index > b.Index : a.Index < b.Index;
  };
  if (newerFirst) std::reverse(items.begin(), items.end());
  // Digit keys by radix (stable, so the order of equal keys is kept), the rest by
  // comparison, then one merge.
  const auto split = std::stable_partition(items.begin(), items.end(), [](const TSortItem& i) { return i.Simple; });
  if (split == items.end()) {
    RadixSort(items);
    return;
  }
  std::vector<TSortItem> simple(items.begin(), split), other(split, items.end());
  RadixSort(simple);
  std::sort(other.begin(), other.end(), less);
  std::merge(simple.begin(), simple.end(), other.begin(), other.end(), items.begin(), less);
}

template <class KeyOf>
std::vector<TSortItem> SortItems(size_t count, const KeyOf& keyOf) {
  std::vector<TSortItem> items(count);
  for (size_t i = 0; i < count; ++i) {
    items[i].Index = uint32_t(i);
    items[i].Simple = PackDigits(keyOf(uint32_t(i)), items[i].Packed);
  }
  return items;
}

}  // namespace

void TMetaStore::TImpl::Parse(size_t start, TMetaStore& store) {
  // Writing never overtakes reading: every byte read yields at most one byte of node text.
  char* const arena = Text.data();
  const char* begin = arena + std::min(start, Text.size());
  const char* end = arena + Text.size();
  std::vector<std::string_view> texts;
  const size_t lists = size_t(std::count(begin, end, '}')) + 1;
  texts.reserve(lists);
  Parents.reserve(lists);
  TParser(arena, AutoIds, texts, Parents, store).Run(begin, end);
  BuildIndexes(texts);
}

void TMetaStore::TImpl::BuildIndexes(std::vector<std::string_view>& texts) {
  // Same result as inserting one by one into sorted arrays: a repeated identifier keeps
  // its first key text and takes the last record; a parent's children come newest first.
  {
    // Node i is Parents[i] before that index is sorted: its parent, its identifier.
    auto idOf = [&](uint32_t i) { return Parents[i].Child; };
    std::vector<TSortItem> items = SortItems(Parents.size(), idOf);
    SortByKey(items, idOf, false);
    auto same = [&](const TSortItem& a, const TSortItem& b) {
      if (a.Simple && b.Simple) return a.Packed == b.Packed;
      return KeyCompare(idOf(a.Index), idOf(b.Index)) == 0;
    };
    size_t runs = 0;
    for (size_t i = 0; i < items.size(); ++i)
      if (i == 0 || !same(items[i - 1], items[i])) ++runs;
    Ids.reserve(runs);
    for (size_t i = 0; i < items.size();) {
      size_t j = i + 1;
      while (j < items.size() && same(items[i], items[j])) ++j;
      const uint32_t last = items[j - 1].Index;
      Ids.push_back({idOf(items[i].Index), {Parents[last].Key, texts[last]}});
      i = j;
    }
    std::vector<std::string_view>().swap(texts);
  }
  {
    auto parentOf = [&](uint32_t i) { return Parents[i].Key; };
    std::vector<TSortItem> items = SortItems(Parents.size(), parentOf);
    SortByKey(items, parentOf, true);
    std::vector<TParentEntry> sorted;
    sorted.reserve(items.size());
    size_t start = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      sorted.push_back(Parents[items[i].Index]);
      // Digit keys are equal only when spelt alike; other runs are checked for spellings.
      if (i == 0 || (items[i - 1].Simple && items[i].Simple)) {
        if (i == 0 || items[i - 1].Packed != items[i].Packed) start = i;
      } else if (KeyCompare(sorted[i - 1].Key, sorted[i].Key) != 0) {
        start = i;
      } else if (sorted[i - 1].Key != sorted[i].Key && (MixedRuns.empty() || MixedRuns.back() != start)) {
        MixedRuns.push_back(uint32_t(start));
      }
    }
    Parents.swap(sorted);
  }
  MixedRuns.shrink_to_fit();
}

TMetaStore::TMetaStore(const std::string& FileName) : TMetaStore(ReadConfigurationText(FileName)) {}

TMetaStore::TMetaStore(const TTextBuffer& buffer) : TMetaStore(TTextBuffer(buffer)) {}

TMetaStore::TMetaStore(TTextBuffer&& buffer) : Impl(std::make_unique<TImpl>()) {
  Impl->Text = std::move(buffer.Bytes);
  Impl->Parse(buffer.Position, *this);
}

TMetaStore::~TMetaStore() = default;

int32_t TMetaStore::IdCount() const { return int32_t(Impl->Ids.size()); }
int32_t TMetaStore::ParentCount() const { return int32_t(Impl->Parents.size()); }

const TNodeData& TMetaStore::IdRecordAt(int32_t position) const {
  static const TNodeData none;
  if (position < 0 || position >= IdCount()) return none;
  return Impl->Ids[size_t(position)].Record;
}

std::string_view TMetaStore::ParentKeyAt(int32_t position) const {
  if (position < 0 || position >= ParentCount()) return {};
  return Impl->Parents[size_t(position)].Key;
}

size_t TMetaStore::MemoryUsed() const {
  size_t bytes = sizeof(*this) + sizeof(TImpl) + Impl->Text.capacity() + Impl->AutoIds.Bytes() +
                 Impl->Ids.capacity() * sizeof(TIdEntry) +
                 Impl->Parents.capacity() * sizeof(TParentEntry) +
                 Impl->MixedRuns.capacity() * sizeof(uint32_t);
  for (const std::string& id : SectionIds) bytes += id.capacity() > 15 ? id.capacity() : 0;
  for (const auto& table : Impl->NameTables) bytes += table.second.Bytes;
  return bytes;
}
