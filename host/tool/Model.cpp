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

// A node whose first field is "Refers" holds a list of identifiers.
bool IsRefers(std::string_view text) {
  constexpr std::string_view Tag = "\"Refers\"";
  return text.substr(0, Tag.size()) == Tag && (text.size() == Tag.size() || text[Tag.size()] == ',');
}

void ReadNamed(const TMetaStore& store, int32_t position, TNamed& node, std::string_view* fields, int& count,
               int max) {
  node.Position = position;
  node.Id = store.IdAt(position);
  count = SplitFields(store.TextAt(position), fields, max);
  if (count > 0) node.Name = fields[0];
  if (count > 1) node.Comment = fields[1];
  if (count > 2) node.Synonym = fields[2];
}

void ReadType(const std::string_view* fields, int count, TValueType& type) {
  if (count > 3) type.Letter = fields[3];
  if (count > 4) type.Length = WholeNumber(fields[4]);
  if (count > 5) type.Precision = WholeNumber(fields[5]);
  if (count > 6) type.RefId = fields[6];
}

}  // namespace

int SplitFields(std::string_view text, std::string_view* out, int max) {
  // QuotedField's rule, every field in one pass: a field ends at a comma right after a
  // quote, and a missing final comma counts as present.
  if (text.empty() || max <= 0) return 0;
  const size_t length = text.size() + (text.back() != ',' ? 1 : 0);
  auto at = [&](size_t i) { return i < text.size() ? text[i] : ','; };
  int counter = 0;
  size_t previousEnd = 0;
  for (size_t j = 2; j <= length && counter < max; ++j) {
    if (at(j - 1) != ',' || at(j - 2) != '"') continue;
    out[counter++] = j < previousEnd + 3 ? std::string_view() : text.substr(previousEnd + 1, j - previousEnd - 3);
    previousEnd = j;
  }
  return counter;
}

std::vector<std::string_view> AllFields(std::string_view text) {
  std::vector<std::string_view> fields(text.size() / 3 + 1);
  fields.resize(size_t(SplitFields(text, fields.data(), int(fields.size()))));
  return fields;
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

TModel::TModel(std::shared_ptr<const TMetaStore> store) : Store_(std::move(store)) {
  IndexRuns();
  // Objects in kind order, each kind in the order of the text.
  for (int kind = 0; kind < KindCount; ++kind)
    ReadSection(kind, Store_->SectionIdOf(uint8_t(ModelKindOfSection(kind))));

  ById.reserve(Objects_.size());
  for (size_t i = 0; i < Objects_.size(); ++i) ById.emplace_back(Objects_[i].Id, int32_t(i));
  // A repeated identifier names the object that stands later, as the store's index keeps it.
  std::stable_sort(ById.begin(), ById.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  auto last = std::unique(ById.rbegin(), ById.rend(), [](const auto& a, const auto& b) { return a.first == b.first; });
  ById.erase(ById.begin(), last.base());

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
  }
}

void TModel::ReadSection(int kind, std::string_view sectionId) {
  if (sectionId.empty()) return;
  const TMetaStore& store = *Store_;
  std::string_view fields[8];
  int32_t sectionPosition = -1;
  if (!store.FindId(sectionId, sectionPosition)) return;
  for (int32_t position : ChildrenOf(sectionPosition)) {
    TObject object;
    object.Kind = kind;
    int count = 0;
    ReadNamed(store, position, object, fields, count, 3);
    std::vector<std::string_view> all = AllFields(store.TextAt(position));
    if (all.size() > 3) object.Fields.assign(all.begin() + 3, all.end());
    object.Typed = kind == KindConst || kind == KindCommonAttr;
    if (object.Typed) ReadType(all.data(), int(all.size()), object.Type);
    if (kind == KindReference && all.size() > 3) object.OwnerId = all[3];
    ReadObject(object);
    Objects_.push_back(std::move(object));
  }
}

void TModel::ReadObject(TObject& object) {
  const TMetaStore& store = *Store_;
  // A Refers list under an item is credited to the sub-section and the item.
  auto collect = [&](int32_t position, std::string_view part, std::string_view item) {
    for (int32_t child : ChildrenOf(position))
      if (IsRefers(store.TextAt(child))) {
        object.Refers.push_back({part, item, {}, {}});
        ReadRefers(child, object.Refers.back());
      }
  };
  for (int32_t child : ChildrenOf(object.Position)) {
    std::string_view text = store.TextAt(child);
    if (IsRefers(text)) {
      object.Refers.push_back({{}, {}, {}, {}});
      ReadRefers(child, object.Refers.back());
      continue;
    }
    TPart part;
    part.Id = store.IdAt(child);
    part.Tag = QuotedField(text, 1);
    part.Position = child;
    // Only the rare node below an item is looked at here; the items are read when asked for.
    for (int32_t node : ChildrenOf(child)) {
      if (IsRefers(store.TextAt(node))) {
        object.Refers.push_back({part.Tag, {}, {}, {}});
        ReadRefers(node, object.Refers.back());
      } else if (HasChildren(node)) {
        collect(node, part.Tag, QuotedField(store.TextAt(node), 1));
      }
    }
    object.Parts.push_back(std::move(part));
  }
}

// A list's identifiers: its own fields after "Refers", then its nested lists, each a quoted
// identifier ({"1109"}) or a numbered node.
void TModel::ReadRefers(int32_t position, TRefersList& list) const {
  const TMetaStore& store = *Store_;
  std::vector<std::string_view> own = AllFields(store.TextAt(position));
  for (size_t i = 1; i < own.size(); ++i)
    if (!own[i].empty()) list.Ids.push_back(own[i]);
  for (int32_t child : ChildrenOf(position)) {
    std::string_view text = store.TextAt(child);
    std::string_view id = text.find(',') == std::string_view::npos ? QuotedField(text, 1) : store.IdAt(child);
    if (!id.empty()) list.Ids.push_back(id);
  }
}

void TModel::IndexRuns() {
  // One pass over the parent index: each run of equal keys is one parent's children. Keys
  // are identifiers, digits only, so equal means byte for byte equal.
  const TMetaStore& store = *Store_;
  RunOf.assign(size_t(store.IdCount()), -1);
  const int32_t entries = store.ParentCount();
  int32_t first = 0;
  while (first < entries) {
    const std::string_view key = store.ParentKeyAt(first);
    int32_t end = first + 1;
    while (end < entries && store.ParentKeyAt(end) == key) ++end;
    int32_t position = -1;
    if (!key.empty() && store.FindId(key, position)) {
      RunOf[size_t(position)] = int32_t(Runs.size());
      Runs.push_back({first, end - first});
    }
    first = end;
  }
}

TModel::TChildren TModel::ChildrenOf(int32_t position) const {
  if (position < 0 || size_t(position) >= RunOf.size() || RunOf[size_t(position)] < 0) return {Store_.get(), 0, 0};
  const TRun& run = Runs[size_t(RunOf[size_t(position)])];
  return {Store_.get(), run.First, run.Count};
}

bool TModel::HasChildren(int32_t position) const {
  return position >= 0 && size_t(position) < RunOf.size() && RunOf[size_t(position)] >= 0;
}

TItem TModel::ItemAt(int32_t position) const {
  TItem item;
  std::string_view fields[7];
  int count = 0;
  ReadNamed(*Store_, position, item, fields, count, 7);
  ReadType(fields, count, item.Type);
  Resolve(item.Type);
  return item;
}

std::vector<TItem> TModel::Items(const TPart& part) const {
  std::vector<TItem> items;
  for (int32_t node : ItemPositions(part)) items.push_back(ItemAt(node));
  return items;
}

std::vector<int32_t> TModel::ItemPositions(const TPart& part) const {
  std::vector<int32_t> positions;
  const TChildren children = ChildrenOf(part.Position);
  positions.reserve(size_t(children.size()));
  for (int32_t node : children)
    if (!IsRefers(Store_->TextAt(node))) positions.push_back(node);
  return positions;
}

void TModel::Resolve(TValueType& type) const {
  if (type.Refers()) type.RefObject = ObjectById(type.RefId);
}

int32_t TModel::ObjectById(std::string_view id) const {
  auto at = std::lower_bound(ById.begin(), ById.end(), id, [](const auto& entry, std::string_view key) {
    return entry.first < key;
  });
  return at != ById.end() && at->first == id ? at->second : -1;
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

TLocation TModel::Locate(std::string_view id) const {
  TLocation location;
  const TMetaStore& store = *Store_;
  int32_t position = -1;
  if (id.empty() || !store.FindId(id, position)) return location;
  location.Found = true;
  // Up the parents to an object or a section; the last two steps below the object are the
  // sub-section and the item.
  std::vector<int32_t> chain{position};
  for (int guard = 0; guard < 64; ++guard) {
    const int32_t here = chain.back();
    const int32_t object = ObjectById(store.IdAt(here));
    if (object >= 0 && Objects_[size_t(object)].Position == here) {
      location.Object = object;
      location.Kind = Objects_[size_t(object)].Kind;
      chain.pop_back();
      if (!chain.empty()) location.Part = QuotedField(store.TextAt(chain.back()), 1);
      if (chain.size() > 1) location.Item = QuotedField(store.TextAt(chain[chain.size() - 2]), 1);
      return location;
    }
    const std::string_view id8 = store.IdAt(here);
    for (int section = 0; section < KindCount; ++section)
      if (!store.SectionIds[section].empty() && store.SectionIds[section] == id8) {
        location.Kind = ModelKindOfSection(section);
        return location;
      }
    int32_t parent = -1;
    const std::string_view link = store.IdRecordAt(here).Link;
    if (link.empty() || !store.FindId(link, parent)) return location;
    chain.push_back(parent);
  }
  return location;
}

TModelResult LoadModel(const std::string& path) {
  TModelResult result;
  TSource source;
  if (!FindSource(path, source, result.Error)) return result;
  try {
    auto store = std::make_shared<const TMetaStore>(ReadConfigurationText(Utf8ToWide(source.File)));
    result.Model = std::make_unique<TModel>(std::move(store));
  } catch (const TStoreError&) {
    result.Error = DiagnoseContainer(source.File, source.Shown);
  }
  return result;
}

}  // namespace kalamos
