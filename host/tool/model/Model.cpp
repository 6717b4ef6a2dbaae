#include "host/tool/model/Model.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>

#include "host/tool/model/Source.h"
#include "host/tool/container/CompoundDirectory.h"
#include "metadata/getInfo.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
int32_t WholeNumber(std::string_view text) {
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// fields: a node's fields after its identifier; 1 the name, 2 the comment, 3 the synonym.
void ReadNamed(const std::vector<std::string_view>& all, int32_t node, TNamed& named) {
  named.Node = node;
  if (all.empty() || !IsIdentifier(all[0])) return;
  named.Id = all[0];
  if (all.size() > 1) named.Name = all[1];
  if (all.size() > 2) named.Comment = all[2];
  if (all.size() > 3) named.Synonym = all[3];
}

// Field 4 the type letter, 5 length, 6 precision, 7 the referenced identifier.
void ReadType(const std::vector<std::string_view>& all, TValueType& type) {
  if (all.empty() || !IsIdentifier(all[0])) return;
  if (all.size() > 4) type.Letter = all[4];
  if (all.size() > 5) type.Length = WholeNumber(all[5]);
  if (all.size() > 6) type.Precision = WholeNumber(all[6]);
  if (all.size() > 7) type.RefId = all[7];
}

template <class T>
void SortById(std::vector<std::pair<std::string_view, T>>& index) {
  // A repeated identifier names what stands later in the text, as the component has it.
  std::stable_sort(index.begin(), index.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  auto last = std::unique(index.rbegin(), index.rend(), [](const auto& a, const auto& b) { return a.first == b.first; });
  index.erase(index.begin(), last.base());
}

template <class T>
T FindById(const std::vector<std::pair<std::string_view, T>>& index, std::string_view id, T none) {
  auto at = std::lower_bound(index.begin(), index.end(), id, [](const auto& entry, std::string_view key) {
    return entry.first < key;
  });
  return at != index.end() && at->first == id ? at->second : none;
}
}  // namespace

bool IsRefersList(const TTree& tree, int32_t node) { return tree.FirstFieldIs(node, "Refers"); }

bool HoldsReferences(std::string_view tag) { return tag == "Refers" || tag == "AccSbCnts"; }

TTypedItems TypedItems(std::string_view tag) {
  for (std::string_view typed : {"Head Fields", "Table Fields", "Params", "Props", "Figures", "Flds", "SbKind"})
    if (tag == typed) return TTypedItems::Always;
  for (std::string_view untyped : {"Form", "EnumVal", "Plans", "Accounts"})
    if (tag == untyped) return TTypedItems::Never;
  return HoldsReferences(tag) ? TTypedItems::Never : TTypedItems::ByLetter;
}

int KindOfSectionTag(std::string_view tag) {
  if (tag.empty()) return -1;
  const std::string upper = AnsiUpper(tag);
  for (int kind = 0; kind < KindCount; ++kind) {
    if (upper == AnsiUpper(SectionTag(kind)) || (SectionAlias(kind) && upper == AnsiUpper(SectionAlias(kind))))
      return ModelKindOfSection(kind);
  }
  return -1;
}

int ModelKindOfSection(int sectionKind) {
  if (sectionKind == KindSelection) return KindCommonAttr;
  if (sectionKind == KindCommonAttr) return KindSelection;
  return sectionKind;
}

int KindOfName(std::string_view name) {
  const std::string upper = AnsiUpper(name);
  if (upper.empty()) return -1;
  for (int kind = 0; kind < KindCount; ++kind) {
    const std::string& entry = KindEntry(kind);
    const size_t colon = entry.find(':');
    if (upper == entry.substr(0, colon) || upper == entry.substr(colon + 1)) return kind;
    if (upper == AnsiUpper(Utf8ToAnsi(KindRows[kind].ToolLabel))) return kind;
  }
  return -1;
}

std::string KindEnglish(int kind) {
  if (kind < 0 || kind >= KindCount) return std::string();
  const std::string& entry = KindEntry(kind);
  return AnsiToUtf8(entry.substr(0, entry.find(':')));
}

std::string KindRussian(int kind) { return kind < 0 || kind >= KindCount ? std::string() : KindRows[kind].ToolLabel; }

TModel::TModel(TTextBuffer text) : Tree_(std::move(text.Bytes), text.Position) { Build(); }

TModel::TModel(TTextBlock text) : Tree_(std::move(text)) { Build(); }

TModel::TModel(TFileMapping file, size_t offset, size_t size) : Tree_(std::move(file), offset, size) { Build(); }

void TModel::Build() {
  for (int32_t child : Tree_.Children(TTree::Root)) {
    const int kind = KindOfSectionTag(Tree_.FirstField(child));
    if (kind >= 0) Sections.emplace_back(child, kind);
  }
  // Room for every object at once: a growing vector would copy them and touch twice the pages.
  size_t count = 0;
  for (auto [node, kind] : Sections)
    for (int32_t c = Tree_.Node(node).FirstChild; c >= 0; c = Tree_.Node(c).NextSibling) ++count;
  Objects_.reserve(count);
  // Objects in kind order, each kind in the order of the text.
  for (int kind = 0; kind < KindCount; ++kind)
    for (auto [node, k] : Sections)
      if (k == kind) ReadSection(kind, node);

  ById.reserve(Objects_.size());
  ByNode.reserve(Objects_.size());
  for (size_t i = 0; i < Objects_.size(); ++i) {
    if (!Objects_[i].Id.empty()) ById[Objects_[i].Id] = int32_t(i);
    ByNode.emplace_back(Objects_[i].Node, int32_t(i));
  }
  std::sort(ByNode.begin(), ByNode.end());
  std::sort(Sections.begin(), Sections.end());

  for (size_t i = 0; i < Objects_.size(); ++i) {
    TObject& object = Objects_[i];
    if (object.Typed) Resolve(object.Type);
    for (TRefersList& list : object.Refers)
      for (std::string_view id : list.Ids) list.Objects.push_back(ObjectById(id));
    if (object.Kind == KindReference && !object.OwnerId.empty() && object.OwnerId != "0") {
      object.Owner = ObjectById(object.OwnerId);
      if (object.Owner >= 0 && Objects_[size_t(object.Owner)].Kind == KindReference)
        Objects_[size_t(object.Owner)].Owned.push_back(int32_t(i));
      else
        object.Owner = -1;
    }
    // A document names its journal in field 8.
    if (object.Kind == KindDocument && object.Fields.size() > 4 && object.Fields[4] != "0") {
      object.Journal = ObjectById(object.Fields[4]);
      if (object.Journal >= 0 && Objects_[size_t(object.Journal)].Kind == KindDocJournal)
        Objects_[size_t(object.Journal)].Documents.push_back(int32_t(i));
      else
        object.Journal = -1;
    }
  }
}

void TModel::IndexNodes() const {
  // Every list that names itself, but by "0": several lists of one object use it, and it
  // names none of them. The lists of a "Refers" list, or of an account's analytic kinds,
  // name others ({"21"}), not themselves; so does a list that is its number alone.
  for (int32_t n = 1; n < int32_t(Tree_.Size()); ++n) {
    const std::string_view id = Tree_.FirstField(n);
    if (!IsIdentifier(id) || id == "0" || !Tree_.MoreThanFirstField(n)) continue;
    const int32_t parent = Tree_.Node(n).Parent;
    if (parent > 0 && HoldsReferences(Tree_.FirstField(parent))) continue;
    NodesById.emplace_back(id, n);
  }
  SortById(NodesById);
}

void TModel::ReadSection(int kind, int32_t section) {
  std::vector<std::string_view> all;
  for (int32_t node = Tree_.Node(section).FirstChild; node >= 0; node = Tree_.Node(node).NextSibling) {
    TObject object;
    object.Kind = kind;
    Tree_.Fields(node, all);
    ReadNamed(all, node, object);
    const size_t first = object.Id.empty() ? 0 : 4;
    if (all.size() > first) object.Fields.assign(all.begin() + std::ptrdiff_t(first), all.end());
    object.Typed = kind == KindConst || kind == KindCommonAttr;
    if (object.Typed) ReadType(all, object.Type);
    if (kind == KindReference && !object.Id.empty() && all.size() > 4) object.OwnerId = all[4];
    ReadObject(object);
    Objects_.push_back(std::move(object));
  }
}

void TModel::ReadObject(TObject& object) {
  const TTree& tree = Tree_;
  auto refers = [&](int32_t node, std::string_view part, std::string_view item) {
    object.Refers.push_back({part, item, RefersIds(node), {}});
  };
  auto next = [&](int32_t n) { return tree.Node(n).NextSibling; };
  for (int32_t child = tree.Node(object.Node).FirstChild; child >= 0; child = next(child)) {
    if (IsRefersList(tree, child)) {
      refers(child, {}, {});
      continue;
    }
    const TPart part = PartAt(child);
    // A list of an untagged node (a document's "0" node) is the object's own; one of a
    // sub-section or of its item is credited to them.
    const std::string_view credit = part.Tag;
    for (int32_t node = tree.Node(child).FirstChild; node >= 0; node = next(node)) {
      if (IsRefersList(tree, node)) {
        refers(node, credit, {});
      } else if (!part.Id.empty() || part.Tag.empty() || !tree.HasChildren(node)) {
        continue;
      } else {
        for (int32_t below = tree.Node(node).FirstChild; below >= 0; below = next(below))
          if (IsRefersList(tree, below)) {
            TNamed item;
            ReadNamed(tree.Fields(node), node, item);
            refers(below, credit, item.Name);
          }
      }
    }
    object.Parts.push_back(part);
  }
}

std::vector<std::string_view> TModel::RefersIds(int32_t node) const {
  std::vector<std::string_view> ids = Tree_.Fields(node);
  if (!ids.empty()) ids.erase(ids.begin());
  ids.erase(std::remove(ids.begin(), ids.end(), std::string_view()), ids.end());
  for (int32_t child = Tree_.Node(node).FirstChild; child >= 0; child = Tree_.Node(child).NextSibling) {
    const std::string_view id = Tree_.FirstField(child);
    if (!id.empty()) ids.push_back(id);
  }
  return ids;
}

TItem TModel::ItemAt(int32_t node) const { return ItemFrom(node, Tree_.Fields(node)); }

TItem TModel::ItemFrom(int32_t node, const std::vector<std::string_view>& all) const {
  const int32_t part = Tree_.Node(node).Parent;
  return ItemFrom(node, all, part > 0 ? TypedItems(Tree_.FirstField(part)) : TTypedItems::ByLetter);
}

TItem TModel::ItemFrom(int32_t node, const std::vector<std::string_view>& all, TTypedItems typed) const {
  TItem item;
  ReadNamed(all, node, item);
  if (typed == TTypedItems::Never) return item;
  ReadType(all, item.Type);
  if (typed == TTypedItems::ByLetter &&
      (item.Type.Letter.size() != 1 || std::string_view("NSDEBO").find(item.Type.Letter[0]) == std::string_view::npos))
    item.Type = TValueType();
  Resolve(item.Type);
  return item;
}

std::vector<TItem> TModel::Items(const TPart& part) const {
  std::vector<TItem> items;
  for (int32_t node : ItemNodes(part)) items.push_back(ItemAt(node));
  return items;
}

std::vector<int32_t> TModel::ItemNodes(const TPart& part) const {
  std::vector<int32_t> nodes;
  for (int32_t c = Tree_.Node(part.Node).FirstChild; c >= 0; c = Tree_.Node(c).NextSibling)
    if (!IsRefersList(Tree_, c)) nodes.push_back(c);
  return nodes;
}

std::vector<TPart> TModel::PartsOf(int32_t node) const {
  std::vector<TPart> parts;
  for (int32_t c = Tree_.Node(node).FirstChild; c >= 0; c = Tree_.Node(c).NextSibling) {
    if (!IsRefersList(Tree_, c)) parts.push_back(PartAt(c));
  }
  return parts;
}

TPart TModel::PartAt(int32_t node) const {
  TPart part;
  part.Node = node;
  const std::string_view first = Tree_.FirstField(node);
  (IsIdentifier(first) ? part.Id : part.Tag) = first;
  return part;
}

std::vector<std::string_view> TModel::FieldsOf(int32_t node) const {
  std::vector<std::string_view> all = Tree_.Fields(node);
  if (!all.empty() && IsIdentifier(all[0])) all.erase(all.begin());
  return all;
}

void TModel::Resolve(TValueType& type) const {
  if (type.Refers()) type.RefObject = ObjectById(type.RefId);
}

int32_t TModel::ObjectById(std::string_view id) const {
  const auto found = ById.find(id);
  return found == ById.end() ? -1 : found->second;
}

std::vector<int32_t> TModel::ObjectsNamed(std::string_view name, int kind) const {
  std::vector<int32_t> found;
  const std::string wanted = AnsiUpper(name);
  for (size_t i = 0; i < Objects_.size(); ++i) {
    const TObject& object = Objects_[i];
    if ((kind < 0 || object.Kind == kind) && object.Name.size() == wanted.size() && AnsiUpper(object.Name) == wanted)
      found.push_back(int32_t(i));
  }
  return found;
}

int32_t TModel::ObjectOfNode(int32_t node) const {
  for (int32_t n = node; n > 0; n = Tree_.Node(n).Parent) {
    auto at = std::lower_bound(ByNode.begin(), ByNode.end(), std::make_pair(n, INT32_MIN));
    if (at != ByNode.end() && at->first == n) return at->second;
  }
  return -1;
}

TLocation TModel::Locate(std::string_view id) const {
  TLocation location;
  if (id.empty() || id == "0") return location;
  std::call_once(NodesIndexed, [this] { IndexNodes(); });
  const int32_t node = FindById(NodesById, id, int32_t(-1));
  if (node < 0) return location;
  location.Found = true;
  location.Node = node;
  // Up the parents to an object or a section; the two lists below the object are the
  // sub-section and its item.
  std::vector<int32_t> chain;
  for (int32_t n = node; n > 0; n = Tree_.Node(n).Parent) {
    auto object = std::lower_bound(ByNode.begin(), ByNode.end(), std::make_pair(n, INT32_MIN));
    if (object != ByNode.end() && object->first == n) {
      location.Object = object->second;
      location.Kind = Objects_[size_t(object->second)].Kind;
      if (!chain.empty()) location.Part = Tree_.FirstField(chain.back());
      if (chain.size() > 1) location.Item = ItemAt(chain[chain.size() - 2]).Name;
      return location;
    }
    auto section = std::lower_bound(Sections.begin(), Sections.end(), std::make_pair(n, INT32_MIN));
    if (section != Sections.end() && section->first == n) {
      location.Kind = section->second;
      return location;
    }
    chain.push_back(n);
  }
  return location;
}

size_t TModel::MemoryUsed() const {
  size_t bytes = Tree_.MemoryUsed() + Objects_.capacity() * sizeof(TObject) + ById.size() * 48 +
                 NodesById.capacity() * sizeof(NodesById[0]) + ByNode.capacity() * sizeof(ByNode[0]);
  for (const TObject& object : Objects_) {
    bytes += object.Fields.capacity() * sizeof(std::string_view) + object.Parts.capacity() * sizeof(TPart) +
             object.Owned.capacity() * sizeof(int32_t) + object.Documents.capacity() * sizeof(int32_t);
    for (const TRefersList& list : object.Refers)
      bytes += sizeof(list) + list.Ids.capacity() * sizeof(std::string_view) + list.Objects.capacity() * sizeof(int32_t);
  }
  return bytes;
}

const TTextIndex& TModel::TextIndex() const {
  std::call_once(TextsIndexed, [this] {
    std::vector<std::string_view> all;
    auto add = [&](const TNamed& named, int32_t object) {
      const std::string_view texts[] = {named.Name, named.Synonym, named.Comment};
      for (uint8_t field = 0; field < 3; ++field) {
        if (texts[field].empty()) continue;
        Texts.Entries.push_back({uint32_t(Texts.Upper.size()), named.Node, object, field});
        Texts.Upper += texts[field];
        AnsiUpperInPlace(Texts.Upper.data() + Texts.Entries.back().Offset, texts[field].size());
        Texts.Upper += '\0';
      }
    };
    // Items at any depth: a plan's accounts are items of an item of the chart.
    std::function<void(int32_t, int32_t)> walk = [&](int32_t object, int32_t part) {
      if (HoldsReferences(Tree_.FirstField(part))) return;
      for (int32_t node : ItemNodes(TPart{{}, {}, part})) {
        Tree_.Fields(node, all);
        add(ItemFrom(node, all), object);
        for (const TPart& below : PartsOf(node)) walk(object, below.Node);
      }
    };
    for (size_t i = 0; i < Objects_.size(); ++i) {
      add(Objects_[i], int32_t(i));
      for (const TPart& part : Objects_[i].Parts) walk(int32_t(i), part.Node);
    }
  });
  return Texts;
}

const std::vector<TRefUse>& TModel::Uses() const {
  std::call_once(UsesIndexed, [this] { IndexUses(); });
  return UsesOf;
}

void TModel::IndexUses() const {
  std::vector<std::string_view> all;
  for (size_t i = 0; i < Objects_.size(); ++i) {
    const int32_t o = int32_t(i);
    const TObject& object = Objects_[i];
    if (object.Typed && object.Type.RefObject >= 0) UsesOf.push_back({o, {}, {}, "type", object.Type.RefObject});
    for (const TPart& part : object.Parts)
      for (int32_t node : ItemNodes(part)) {
        Tree_.Fields(node, all);
        const TItem item = ItemFrom(node, all);
        if (item.Type.RefObject >= 0) UsesOf.push_back({o, part.Tag, item.Name, "type", item.Type.RefObject});
      }
    if (object.Owner >= 0) UsesOf.push_back({o, {}, {}, "owner", object.Owner});
    if (object.Journal >= 0) UsesOf.push_back({o, {}, {}, "journal", object.Journal});
    // A list names an object, an attribute of one, or an attribute typed by one (a selection
    // column, a journal's column); each list counts once for each object it uses.
    for (const TRefersList& list : object.Refers) {
      std::vector<int32_t> targets;
      for (size_t k = 0; k < list.Ids.size(); ++k) {
        if (list.Objects[k] >= 0) {
          targets.push_back(list.Objects[k]);
          continue;
        }
        const TLocation where = Locate(list.Ids[k]);
        if (where.Object < 0) continue;
        targets.push_back(where.Object);
        const int32_t typed = ItemAt(where.Node).Type.RefObject;
        if (typed >= 0) targets.push_back(typed);
      }
      std::sort(targets.begin(), targets.end());
      targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
      for (int32_t target : targets) UsesOf.push_back({o, list.Part, list.Item, "refers", target});
    }
  }
  // By the object used, then as people read them: kind (English), object, part, item and how,
  // in the order their UTF-8 has, compared in place (an object used tens of thousands of
  // times would otherwise convert its names at every comparison).
  static const auto points = [] {
    std::array<char32_t, 256> table{};
    for (int b = 0; b < 256; ++b) DecodeUtf8(AnsiToUtf8(std::string(1, char(b))), 0, table[size_t(b)]);
    return table;
  }();
  static const auto kindRank = [] {
    std::array<int, KindCount> rank{};
    for (int k = 0; k < KindCount; ++k)
      for (int other = 0; other < KindCount; ++other) rank[size_t(k)] += KindEnglish(other) < KindEnglish(k);
    return rank;
  }();
  auto compare = [](std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return points[static_cast<unsigned char>(a[i])] < points[static_cast<unsigned char>(b[i])] ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
  };
  // The objects' order by kind and name, once, so that most comparisons below are of numbers.
  std::vector<int32_t> order(Objects_.size()), rank(Objects_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = int32_t(i);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    const TObject &oa = Objects_[size_t(a)], &ob = Objects_[size_t(b)];
    if (oa.Kind != ob.Kind) return kindRank[size_t(oa.Kind)] < kindRank[size_t(ob.Kind)];
    return compare(oa.Name, ob.Name) < 0;
  });
  for (size_t i = 0; i < order.size(); ++i) {
    const bool same = i > 0 && Objects_[size_t(order[i])].Kind == Objects_[size_t(order[i - 1])].Kind &&
                      Objects_[size_t(order[i])].Name == Objects_[size_t(order[i - 1])].Name;
    rank[size_t(order[i])] = same ? rank[size_t(order[i - 1])] : int32_t(i);
  }
  std::stable_sort(UsesOf.begin(), UsesOf.end(), [&](const TRefUse& x, const TRefUse& y) {
    if (x.Target != y.Target) return x.Target < y.Target;
    if (rank[size_t(x.Object)] != rank[size_t(y.Object)]) return rank[size_t(x.Object)] < rank[size_t(y.Object)];
    for (int c : {compare(x.Part, y.Part), compare(x.Item, y.Item)})
      if (c) return c < 0;
    return std::string_view(x.How) < std::string_view(y.How);
  });
}

namespace {
bool InPlace = false;
}

void ReadContainersInPlace(bool allowed) { InPlace = allowed; }

std::unique_ptr<TModel> LoadModel(const std::string& path, std::string& error) {
  TSource source;
  if (!FindSource(path, source, error)) return nullptr;
  try {
    // Read in place where the stream lies in one piece; through the storage library otherwise.
    TFileMapping file = InPlace ? TFileMapping(source.File) : TFileMapping();
    size_t offset = 0, size = 0;
    if (file.Data() && FindContiguousStream(file.Data(), file.Size(), "Metadata", "Main MetaData Stream", offset, size))
      return std::make_unique<TModel>(std::move(file), offset, size);
    return std::make_unique<TModel>(ReadConfigurationBlock(Utf8ToWide(source.File)));
  } catch (const TStoreError& trouble) {
    error = DiagnoseContainer(source.File, source.Shown, trouble.what());
  }
  return nullptr;
}

}  // namespace kalamos
