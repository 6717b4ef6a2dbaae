// The store: parsing the configuration text into nodes and building the two indexes.
#include "metadata/MetaStore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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
  if (s.size() > 8 || !AllDigits(s)) return false;
  packed = 0;
  for (size_t i = 0; i < 8; ++i) packed = packed << 8 | (i < s.size() ? uint8_t(s[i]) : 0);
  return true;
}

}  // namespace

int KeyCompare(std::string_view a, std::string_view b) {
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
  TParser(char* arena, TIdArena& autoIds, std::vector<TIdEntry>& nodes,
          std::vector<TParentEntry>& parents, TMetaStore& store)
      : Arena(arena), AutoIds(autoIds), Nodes(nodes), Parents(parents), Store(store) {}

  void Run(const char* p, const char* end);

private:
  std::string_view AddNode(TFrame& frame);

  char* Arena;
  TIdArena& AutoIds;
  std::vector<TIdEntry>& Nodes;
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
  char* out = Arena;
  while (p < end) {
    const uint8_t c = uint8_t(*p++);
    const uint8_t cls = classes[c];
    if (cls == 0) {
      out[Length++] = char(c);
      continue;
    }
    if (cls == 1) continue;
    TFrame& frame = stack.back();
    if (cls == 2) {
      if (frame.ChildParent.empty()) frame.ChildParent = AddNode(frame);
      // A node without an identifier opens no level; its text keeps growing.
      if (!frame.ChildParent.empty()) {
        TFrame child;
        child.Parent = frame.ChildParent;
        child.Restart(Length);
        stack.push_back(child);
      }
    } else {
      if (Length > frame.TextStart) AddNode(frame);
      // A surplus "}" at the top level keeps the pending text.
      if (!frame.Parent.empty()) {
        stack.pop_back();
        stack.back().Restart(Length);
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
      Nodes.push_back({id, {parent, t.substr(comma + 1)}});
      Parents.push_back({parent, id});
      return id;
    }
  }
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", ++Store.LastAutoId);
  id = AutoIds.Add(std::string_view(digits, size_t(n)));
  Nodes.push_back({id, {parent, t}});
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

template <class Entry>
void SortByKey(std::vector<TSortItem>& items, const std::vector<Entry>& entries, bool newerFirst) {
  std::sort(items.begin(), items.end(), [&](const TSortItem& a, const TSortItem& b) {
    int c;
    if (a.Simple && b.Simple)
      c = a.Packed < b.Packed ? -1 : a.Packed > b.Packed ? 1 : 0;
    else
      c = KeyCompare(entries[a.Index].Key, entries[b.Index].Key);
    if (c != 0) return c < 0;
    return newerFirst ? a.Index > b.Index : a.Index < b.Index;
  });
}

template <class Entry>
std::vector<TSortItem> SortItems(const std::vector<Entry>& entries) {
  std::vector<TSortItem> items(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    items[i].Index = uint32_t(i);
    items[i].Simple = PackDigits(entries[i].Key, items[i].Packed);
  }
  return items;
}

}  // namespace

void TMetaStore::TImpl::Parse(const char* begin, const char* end, TMetaStore& store) {
  // Every text byte lands in the arena at most once, so its size is known up front.
  TextSize = size_t(end - begin);
  Text = std::make_unique<char[]>(TextSize ? TextSize : 1);
  std::vector<TIdEntry> nodes;
  const size_t lists = size_t(std::count(begin, end, '}')) + 1;
  nodes.reserve(lists);
  Parents.reserve(lists);
  TParser(Text.get(), AutoIds, nodes, Parents, store).Run(begin, end);
  BuildIndexes(nodes);
}

void TMetaStore::TImpl::BuildIndexes(std::vector<TIdEntry>& nodes) {
  // Same result as inserting one by one into sorted arrays: a repeated identifier keeps
  // its first key text and takes the last record; a parent's children come newest first.
  {
    std::vector<TSortItem> items = SortItems(nodes);
    SortByKey(items, nodes, false);
    size_t runs = 0;
    for (size_t i = 0; i < items.size(); ++i)
      if (i == 0 || KeyCompare(nodes[items[i - 1].Index].Key, nodes[items[i].Index].Key) != 0) ++runs;
    Ids.reserve(runs);
    for (size_t i = 0; i < items.size();) {
      size_t j = i + 1;
      while (j < items.size() && KeyCompare(nodes[items[i].Index].Key, nodes[items[j].Index].Key) == 0) ++j;
      Ids.push_back({nodes[items[i].Index].Key, nodes[items[j - 1].Index].Record});
      i = j;
    }
    std::vector<TIdEntry>().swap(nodes);
  }
  {
    std::vector<TSortItem> items = SortItems(Parents);
    SortByKey(items, Parents, true);
    std::vector<TParentEntry> sorted;
    sorted.reserve(items.size());
    for (const TSortItem& item : items) sorted.push_back(Parents[item.Index]);
    Parents.swap(sorted);
  }
}

TMetaStore::TMetaStore(const std::string& FileName) : TMetaStore(ReadConfigurationText(FileName)) {}

TMetaStore::TMetaStore(const TTextBuffer& buffer) : Impl(std::make_unique<TImpl>()) {
  const char* data = buffer.Bytes.data();
  const size_t size = buffer.Bytes.size();
  const size_t start = std::min(buffer.Position, size);
  Impl->Parse(data + start, data + size, *this);
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
  size_t bytes = sizeof(*this) + sizeof(TImpl) + Impl->TextSize + Impl->AutoIds.Bytes() +
                 Impl->Ids.capacity() * sizeof(TIdEntry) +
                 Impl->Parents.capacity() * sizeof(TParentEntry);
  for (const std::string& id : SectionIds) bytes += id.capacity() > 15 ? id.capacity() : 0;
  for (const auto& table : Impl->NameTables) bytes += table.second.Bytes;
  return bytes;
}
