#include "host/tool/model/Lookup.h"

#include <algorithm>
#include <map>
#include <utility>

#include "host/tool/ground/Ground.h"
#include "metadata/Kinds.h"
#include "platform/Text.h"

namespace kalamos {

namespace {
// Whole names of one object or section, ignoring letter case; the later of two alike wins,
// as the component's lookups have it.
int32_t FindItemIn(const std::vector<TItem>& items, const std::string& upperName) {
  int32_t found = -1;
  for (size_t i = 0; i < items.size(); ++i)
    if (AnsiUpper(items[i].Name) == upperName) found = int32_t(i);
  return found;
}

// Edit distance of two 8-bit texts, for "did you mean".
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}
}  // namespace

std::vector<std::string> ClosestNames(const std::vector<std::string_view>& names, std::string_view wanted, size_t most) {
  const std::string target = AnsiUpper(wanted);
  std::vector<std::pair<size_t, std::string>> scored;
  for (std::string_view name : names) {
    if (name.empty()) continue;
    const std::string upper = AnsiUpper(name);
    size_t distance = Distance(upper, target);
    // A name that holds what was asked for, or is held by it, is close whatever its length.
    if (!target.empty() && (upper.find(target) != std::string::npos || target.find(upper) != std::string::npos))
      distance = std::min<size_t>(distance, 1);
    if (distance <= std::max<size_t>(2, target.size() / 3)) scored.emplace_back(distance, U(name));
  }
  std::sort(scored.begin(), scored.end());
  scored.erase(std::unique(scored.begin(), scored.end(),
                           [](const auto& a, const auto& b) { return a.second == b.second; }),
               scored.end());
  std::vector<std::string> result;
  for (auto& [distance, name] : scored) {
    if (result.size() == most) break;
    if (std::find(result.begin(), result.end(), name) == result.end()) result.push_back(name);
  }
  return result;
}

TNameQuery ParseName(const std::string& utf8) {
  TNameQuery query;
  const std::string text = Utf8ToAnsi(utf8);
  size_t start = 0;
  for (;;) {
    const size_t dot = text.find('.', start);
    query.Segments.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (query.Segments.size() > 1) query.Kind = KindOfName(query.Segments[0]);
  if (query.Kind >= 0) query.Segments.erase(query.Segments.begin());
  return query;
}

std::vector<int32_t> ResolveObjects(const TModel& model, const TNameQuery& query, std::string& error) {
  const std::string& name = query.Segments.front();
  std::vector<int32_t> found = model.ObjectsNamed(name, query.Kind);
  if (!found.empty()) return found;
  std::vector<std::string_view> names;
  for (const TObject& object : model.Objects())
    if (query.Kind < 0 || object.Kind == query.Kind) names.push_back(object.Name);
  error = (query.Kind < 0 ? Say("no object named ", "нет объекта с именем ")
                          : Say("no ", "нет объекта вида ") + KindRussian(query.Kind) + Say(" named ", " с именем ")) + U(name);
  std::vector<std::string> closest = ClosestNames(names, name, 5);
  if (!closest.empty()) {
    error += Say("; closest:", "; ближайшие:");
    for (const std::string& c : closest) error += " " + c;
  }
  return found;
}

std::vector<TRefUse> FindUses(const TModel& model, int32_t target) {
  const std::vector<TRefUse>& all = model.Uses();
  auto range = std::equal_range(all.begin(), all.end(), TRefUse{-1, {}, {}, "", target},
                                [](const TRefUse& a, const TRefUse& b) { return a.Target < b.Target; });
  return std::vector<TRefUse>(range.first, range.second);
}

TPathResult ResolvePath(const TModel& model, const TNameQuery& query) {
  TPathResult result;
  std::string error;
  std::vector<int32_t> objects = ResolveObjects(model, query, error);
  if (objects.empty()) {
    result.Missing = U(query.Segments.front());
    std::vector<std::string_view> names;
    for (const TObject& object : model.Objects())
      if (query.Kind < 0 || object.Kind == query.Kind) names.push_back(object.Name);
    result.Candidates = ClosestNames(names, query.Segments.front(), 5);
    return result;
  }
  if (objects.size() > 1 && query.Kind < 0) {
    // Several kinds use the name: the path is ambiguous until the kind is written.
    result.Missing = U(query.Segments.front());
    for (int32_t o : objects) result.Candidates.push_back(KindRussian(model.Object(o).Kind) + "." + U(model.Object(o).Name));
    result.Ambiguous = true;
    return result;
  }
  int32_t current = objects.back();
  for (size_t s = 1; s < query.Segments.size(); ++s) {
    const std::string& wanted = query.Segments[s];
    if (current < 0) {
      // The previous step's type has no attributes to look into.
      result.Missing = U(wanted);
      result.Dead = true;
      return result;
    }
    const TObject& object = model.Object(current);
    if (object.Kind != KindReference && object.Kind != KindRegister && object.Kind != KindDocument) {
      // An enumeration's values and the like are no attributes.
      result.Missing = U(wanted);
      result.Dead = true;
      return result;
    }
    const std::string upper = AnsiUpper(wanted);
    // Only attributes: a catalogue's, a register's, a document's head and table (in the
    // component's order), then the common attributes every document has. Forms, values and
    // columns are no step of a path.
    std::vector<const TPart*> parts;
    for (const char* tag : SubSectionNames(object.Kind))
        for (const TPart& part : object.Parts)
          if (*tag && part.Tag == tag) parts.push_back(&part);
    const TPart* foundPart = nullptr;
    std::vector<TItem> items;
    int32_t foundItem = -1;
    for (const TPart* part : parts) {
      items = model.Items(*part);
      foundItem = FindItemIn(items, upper);
      if (foundItem >= 0) {
        foundPart = part;
        break;
      }
    }
    int32_t common = -1;
    if (!foundPart && object.Kind == KindDocument) {
      const std::vector<int32_t> named = model.ObjectsNamed(wanted, KindCommonAttr);
      if (!named.empty()) common = named.back();
    }
    if (!foundPart && common < 0) {
      result.Missing = U(wanted);
      std::vector<std::string_view> names;
      for (const TPart* part : parts)
        for (TItem& item : model.Items(*part)) names.push_back(item.Name);
      if (object.Kind == KindDocument)
        for (const TObject& o : model.Objects())
          if (o.Kind == KindCommonAttr) names.push_back(o.Name);
      result.Candidates = ClosestNames(names, wanted, 5);
      return result;
    }
    if (common >= 0) {
      // A common attribute stands as an item of no sub-section, typed as the object says.
      const TObject& attribute = model.Object(common);
      TItem item;
      static_cast<TNamed&>(item) = attribute;
      item.Type = attribute.Type;
      result.Steps.push_back({current, {}, item});
      current = item.Type.RefObject;
      continue;
    }
    const TItem item = items[size_t(foundItem)];
    result.Steps.push_back({current, foundPart->Tag, item});
    current = item.Type.RefObject;
  }
  result.Found = true;
  return result;
}

std::vector<TFindMatch> FindText(const TModel& model, std::string_view text) {
  std::vector<TFindMatch> matches;
  const TTextIndex& index = model.TextIndex();
  const std::string wanted = AnsiUpper(text);
  static const char* const Fields[] = {"name", "synonym", "comment"};
  auto match = [&](const TTextEntry& entry) {
    TNamed named;
    std::string_view part, item;
    if (model.Object(entry.Object).Node == entry.Node) {
      named = model.Object(entry.Object);
    } else {
      named = model.ItemAt(entry.Node);
      part = model.Tree().FirstField(model.Tree().Node(entry.Node).Parent);
      item = named.Name;
    }
    const std::string_view values[] = {named.Name, named.Synonym, named.Comment};
    matches.push_back({entry.Object, part, item, Fields[entry.Field], values[entry.Field]});
  };
  if (wanted.empty()) {
    for (const TTextEntry& entry : index.Entries) match(entry);
    return matches;
  }
  const std::boyer_moore_horspool_searcher searcher(wanted.begin(), wanted.end());
  auto at = index.Upper.begin();
  while (true) {
    const auto found = std::search(at, index.Upper.end(), searcher);
    if (found == index.Upper.end()) break;
    const uint32_t offset = uint32_t(found - index.Upper.begin());
    auto entry = std::upper_bound(index.Entries.begin(), index.Entries.end(), offset,
                                  [](uint32_t o, const TTextEntry& e) { return o < e.Offset; }) - 1;
    match(*entry);
    // Once per text, however often it holds what was asked for.
    at = index.Upper.begin() + std::ptrdiff_t(index.Upper.find('\0', offset)) + 1;
  }
  return matches;
}

}  // namespace kalamos
