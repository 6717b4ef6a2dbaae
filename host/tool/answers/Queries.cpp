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

TJson TypeRefJson(const TModel& model, const TValueType& type) {
  if (!type.Refers()) return nullptr;
  if (type.RefObject < 0) return TJson{{"kind", ""}, {"name", ""}, {"id", U(type.RefId)}};
  return ObjectRefJson(model, type.RefObject);
}

TJson ObjectRefJson(const TModel& model, int32_t index) {
  if (index < 0) return nullptr;
  const TObject& object = model.Object(index);
  return TJson{{"kind", KindEnglish(object.Kind)}, {"name", U(object.Name)}, {"id", U(object.Id)}};
}

TJson PlaceJson(const TModel& model, int32_t object, std::string_view part, std::string_view item) {
  return TJson{{"kind", KindEnglish(model.Object(object).Kind)}, {"object", U(model.Object(object).Name)},
               {"part", U(part)}, {"item", U(item)}};
}

std::string RefSchema() {
  using namespace schema;
  return Nullable(Object(R"("kind": )" + Text + R"(, "name": )" + Text + R"(, "id": )" + Text, R"("kind", "name")"));
}
std::string PlaceSchemaMembers() {
  using schema::Text;
  return R"("kind": )" + Text + R"(, "object": )" + Text + R"(, "part": )" + Text + R"(, "item": )" + Text;
}
std::string NamedSchemaMembers() {
  using schema::Text;
  return R"("id": )" + Text + R"(, "name": )" + Text + R"(, "comment": )" + Text + R"(, "synonym": )" + Text;
}
std::string TypeSchemaMembers() {
  using namespace schema;
  return R"("type": )" + Text + R"(, "length": )" + Whole + R"(, "precision": )" + Whole + R"(, "ref": )" + RefSchema();
}

namespace {
void TypeJson(const TModel& model, const TValueType& type, TJson& out) {
  out["type"] = U(type.Letter);
  out["length"] = type.Length;
  out["precision"] = type.Precision;
  out["ref"] = TypeRefJson(model, type);
}

}  // namespace

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

}  // namespace kalamos
