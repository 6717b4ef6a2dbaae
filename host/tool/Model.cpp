#include "host/tool/Model.h"

#include <algorithm>
#include <charconv>

#include "host/tool/Commands.h"
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

bool IsRefersList(const TTree& tree, int32_t node) { return tree.FirstField(node) == "Refers"; }

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

TModel::TModel(TTextBuffer text) : Tree_(std::move(text.Bytes), text.Position) {
  for (int32_t child : Tree_.Children(TTree::Root)) {
    const int kind = KindOfSectionTag(Tree_.FirstField(child));
    if (kind >= 0) Sections.emplace_back(child, kind);
  }
  // Objects in kind order, each kind in the order of the text.
  for (int kind = 0; kind < KindCount; ++kind)
    for (auto [node, k] : Sections)
      if (k == kind) ReadSection(kind, node);

  ById.reserve(Objects_.size());
  ByNode.reserve(Objects_.size());
  for (size_t i = 0; i < Objects_.size(); ++i) {
    if (!Objects_[i].Id.empty()) ById.emplace_back(Objects_[i].Id, int32_t(i));
    ByNode.emplace_back(Objects_[i].Node, int32_t(i));
  }
  SortById(ById);
  std::sort(ByNode.begin(), ByNode.end());
  std::sort(Sections.begin(), Sections.end());

  // Every list that names itself, but by "0": several lists of one object use it, and it
  // names none of them. The lists of a "Refers" list name others ({"21"}), not themselves.
  std::vector<std::string_view> fields;
  for (int32_t n = 1; n < int32_t(Tree_.Size()); ++n) {
    const std::string_view id = Tree_.FirstField(n);
    if (!IsIdentifier(id) || id == "0") continue;
    const int32_t parent = Tree_.Node(n).Parent;
    if (parent > 0 && IsRefersList(Tree_, parent)) continue;
    if (!Tree_.HasChildren(n) && (Tree_.Fields(n, fields), fields.size() < 2)) continue;
    NodesById.emplace_back(id, n);
  }
  SortById(NodesById);

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

void TModel::ReadSection(int kind, int32_t section) {
  std::vector<std::string_view> all;
  for (int32_t node : Tree_.Children(section)) {
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
    object.Refers.push_back({part, item, {}, {}});
    ReadRefers(node, object.Refers.back());
  };
  for (int32_t child : tree.Children(object.Node)) {
    if (IsRefersList(tree, child)) {
      refers(child, {}, {});
      continue;
    }
    TPart part;
    part.Node = child;
    const std::string_view first = tree.FirstField(child);
    (IsIdentifier(first) ? part.Id : part.Tag) = first;
    // A list of an untagged node (a document's "0" node) is the object's own; one of a
    // sub-section or of its item is credited to them.
    const std::string_view credit = part.Tag;
    for (int32_t node : tree.Children(child)) {
      if (IsRefersList(tree, node)) {
        refers(node, credit, {});
      } else if (!part.Id.empty() || part.Tag.empty()) {
        continue;
      } else {
        for (int32_t below : tree.Children(node))
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

// A list's identifiers: its own fields after "Refers", then its nested lists, each a quoted
// identifier ({"1109"}) or a numbered node.
void TModel::ReadRefers(int32_t node, TRefersList& list) const {
  const std::vector<std::string_view> own = Tree_.Fields(node);
  for (size_t i = 1; i < own.size(); ++i)
    if (!own[i].empty()) list.Ids.push_back(own[i]);
  for (int32_t child : Tree_.Children(node)) {
    const std::string_view id = Tree_.FirstField(child);
    if (!id.empty()) list.Ids.push_back(id);
  }
}

TItem TModel::ItemAt(int32_t node) const {
  TItem item;
  const std::vector<std::string_view> all = Tree_.Fields(node);
  ReadNamed(all, node, item);
  ReadType(all, item.Type);
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
    if (IsRefersList(Tree_, c)) continue;
    TPart part;
    part.Node = c;
    const std::string_view first = Tree_.FirstField(c);
    (IsIdentifier(first) ? part.Id : part.Tag) = first;
    parts.push_back(part);
  }
  return parts;
}

std::vector<std::string_view> TModel::FieldsOf(int32_t node) const {
  std::vector<std::string_view> all = Tree_.Fields(node);
  if (!all.empty() && IsIdentifier(all[0])) all.erase(all.begin());
  return all;
}

void TModel::Resolve(TValueType& type) const {
  if (type.Refers()) type.RefObject = ObjectById(type.RefId);
}

int32_t TModel::ObjectById(std::string_view id) const { return FindById(ById, id, int32_t(-1)); }

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
  size_t bytes = Tree_.MemoryUsed() + Objects_.capacity() * sizeof(TObject) + ById.capacity() * sizeof(ById[0]) +
                 NodesById.capacity() * sizeof(NodesById[0]) + ByNode.capacity() * sizeof(ByNode[0]);
  for (const TObject& object : Objects_) {
    bytes += object.Fields.capacity() * sizeof(std::string_view) + object.Parts.capacity() * sizeof(TPart) +
             object.Owned.capacity() * sizeof(int32_t) + object.Documents.capacity() * sizeof(int32_t);
    for (const TRefersList& list : object.Refers)
      bytes += sizeof(list) + list.Ids.capacity() * sizeof(std::string_view) + list.Objects.capacity() * sizeof(int32_t);
  }
  return bytes;
}

TModelResult LoadModel(const std::string& path) {
  TModelResult result;
  TSource source;
  if (!FindSource(path, source, result.Error)) return result;
  try {
    result.Model = std::make_unique<TModel>(ReadConfigurationText(Utf8ToWide(source.File)));
  } catch (const TStoreError&) {
    result.Error = DiagnoseContainer(source.File, source.Shown);
  }
  return result;
}

}  // namespace kalamos
