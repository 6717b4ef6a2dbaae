// show, find, refs, path and id: questions answered from the configuration model.
#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <map>
#include <tuple>

#include "host/tool/ground/Ground.h"
#include "host/tool/answers/Json.h"
#include "host/tool/model/Model.h"
#include "host/tool/answers/Queries.h"

#include "host/tool/ground/Out.h"
#include "platform/Text.h"

namespace kalamos {

using namespace std::literals;

namespace {
TJson RefJson(const TModel& model, const TValueType& type) {
  if (!type.Refers()) return nullptr;
  if (type.RefObject < 0) return TJson{{"kind", ""}, {"name", ""}, {"id", U(type.RefId)}};
  const TObject& target = model.Object(type.RefObject);
  return TJson{{"kind", KindEnglish(target.Kind)}, {"name", U(target.Name)}, {"id", U(type.RefId)}};
}

TJson ObjectRefJson(const TModel& model, int32_t index) {
  if (index < 0) return nullptr;
  const TObject& object = model.Object(index);
  return TJson{{"kind", KindEnglish(object.Kind)}, {"name", U(object.Name)}, {"id", U(object.Id)}};
}

void TypeJson(const TModel& model, const TValueType& type, TJson& out) {
  out["type"] = U(type.Letter);
  out["length"] = type.Length;
  out["precision"] = type.Precision;
  out["ref"] = RefJson(model, type);
}

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

TJson ShowJson(const TModel& model, int32_t index) {
  const TObject& object = model.Object(index);
  TJson out = TJson::object();
  out["kind"] = KindEnglish(object.Kind);
  out["id"] = U(object.Id);
  out["name"] = U(object.Name);
  out["comment"] = U(object.Comment);
  out["synonym"] = U(object.Synonym);
  TJson fields = TJson::array();
  for (std::string_view f : object.Fields) fields.push_back(U(f));
  out["fields"] = std::move(fields);
  if (object.Typed) TypeJson(model, object.Type, out);
  if (object.Kind == KindReference) {
    out["owner"] = ObjectRefJson(model, object.Owner);
    TJson owned = TJson::array();
    for (int32_t o : object.Owned) owned.push_back(ObjectRefJson(model, o));
    out["owned"] = std::move(owned);
  }
  TJson parts = TJson::array();
  for (const TPart& part : object.Parts) {
    TJson items = TJson::array();
    for (const TItem& item : model.Items(part)) {
      TJson i = TJson{{"id", U(item.Id)}, {"name", U(item.Name)}, {"comment", U(item.Comment)},
                      {"synonym", U(item.Synonym)}};
      TypeJson(model, item.Type, i);
      items.push_back(std::move(i));
    }
    parts.push_back(TJson{{"part", U(part.Tag)}, {"id", U(part.Id)}, {"items", std::move(items)}});
  }
  out["parts"] = std::move(parts);
  if (object.Kind == KindDocument) out["journal"] = ObjectRefJson(model, object.Journal);
  if (object.Kind == KindDocJournal) {
    TJson documents = TJson::array();
    for (int32_t d : object.Documents) documents.push_back(ObjectRefJson(model, d));
    out["documents"] = std::move(documents);
  }
  TJson refers = TJson::array();
  for (const TRefersList& list : object.Refers) {
    TJson objects = TJson::array();
    for (size_t i = 0; i < list.Ids.size(); ++i) {
      TJson entry = ObjectRefJson(model, list.Objects[i]);
      objects.push_back(entry.is_null() ? TJson{{"kind", ""}, {"name", ""}, {"id", U(list.Ids[i])}} : entry);
    }
    refers.push_back(TJson{{"part", U(list.Part)}, {"item", U(list.Item)}, {"objects", std::move(objects)}});
  }
  out["refers"] = std::move(refers);
  return out;
}

namespace {
template <class TText>
void TypeWordsTo(const TModel& model, const TValueType& type, TText& out) {
  const std::string_view letter = type.Letter;
  char digits[16];
  auto number = [&](int32_t value) {
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out += std::string_view(digits, size_t(end - digits));
  };
  auto referenced = [&](std::string_view word) {
    out += word;
    if (type.RefObject >= 0) out += '.', AppendU(out, model.Object(type.RefObject).Name);
    else if (type.Refers()) out += " (нет объекта с идентификатором " + U(type.RefId) + ")";
  };
  switch (letter.size() == 1 ? letter[0] : '\0') {
    case 'N':
      out += "Число "sv;
      number(type.Length);
      if (type.Precision != 0) out += '.', number(type.Precision);
      break;
    case 'S':
      out += "Строка"sv;
      if (type.Length) out += ' ', number(type.Length);
      break;
    case 'D': out += "Дата"sv; break;
    case 'E': referenced("Перечисление"); break;
    case 'B': referenced("Справочник"); break;
    case 'O': referenced("Документ"); break;
    default:
      // A letter the platform's type table does not have: as it stands, said to be a type.
      if (!letter.empty()) out += "тип ("sv, AppendU(out, letter), out += ')';
  }
}
}  // namespace

void AppendTypeWords(const TModel& model, const TValueType& type, std::string& out) {
  TypeWordsTo(model, type, out);
}

void AppendTypeWords(const TModel& model, const TValueType& type, TOut& out) { TypeWordsTo(model, type, out); }

std::string TypeWords(const TModel& model, const TValueType& type) {
  std::string text;
  AppendTypeWords(model, type, text);
  return text;
}

bool TypeSaysAll(const TModel& model, const TValueType& type, const std::string_view* fields, size_t count) {
  if (count < 4) return false;
  const std::string_view letter = fields[0], length = fields[1], precision = fields[2], ref = fields[3];
  // One letter: compared as a character, this runs for every attribute of a configuration.
  const char code = letter.size() == 1 ? letter[0] : '\0';
  const bool number = code == 'N', text = code == 'S';
  // Written as the number itself would be: no sign, no leading zero, nothing else.
  auto same = [](std::string_view written, int32_t value) {
    char digits[16];
    const size_t n = size_t(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    if (written.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
      if (written[i] != digits[i]) return false;
    return true;
  };
  if (!same(length, number || text ? type.Length : 0)) return false;
  if (!same(precision, number ? type.Precision : 0)) return false;
  const bool zero = ref.size() == 1 && ref[0] == '0';
  if (code == 'E' || code == 'B' || code == 'O') return zero || type.RefObject >= 0 || model.ObjectById(ref) >= 0;
  return (number || text || code == 'D') && zero;
}

std::string ObjectWords(const TModel& model, int32_t index) {
  const TObject& object = model.Object(index);
  return object.Name.empty() ? KindRussian(object.Kind) : KindRussian(object.Kind) + " " + AnsiToUtf8(object.Name);
}

std::string KnownPartWords(std::string_view tag) {
  static const std::pair<std::string_view, const char*> words[] = {
      {"Head Fields", "шапка"},  {"Table Fields", "табличная часть"}, {"Params", "реквизит"},
      {"Props", "измерение"},    {"Figures", "ресурс"},               {"Flds", "реквизит"},
      {"EnumVal", "значение"},   {"JournalFld", "графа"},             {"SbKind", "вид субконто"},
      {"Plans", "план счетов"},  {"Accounts", "счет"},                {"AccSbCnts", "субконто счета"},
      {"Form", "форма"},         {"Refers", "ссылки"},
  };
  for (const auto& [t, w] : words)
    if (t == tag) return w;
  return std::string();
}

std::string PartWordsOf(std::string_view tag) {
  std::string words = KnownPartWords(tag);
  return words.empty() ? "раздел (" + AnsiToUtf8(tag) + ")" : words;
}

std::string ItemWords(const TModel& model, const TNamed& node, const TValueType* type) {
  std::string text = type ? TypeWords(model, *type) : std::string();
  auto add = [&](const std::string& piece) { text += (text.empty() ? "" : ", ") + piece; };
  if (!node.Comment.empty()) add("комментарий " + JsonString(AnsiToUtf8(node.Comment)));
  if (!node.Synonym.empty()) add("синоним " + JsonString(AnsiToUtf8(node.Synonym)));
  return text;
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
