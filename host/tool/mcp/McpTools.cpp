// The tools of ostrak mcp, one row each: what an assistant reads about it, its schemas and
// what runs it. Every tool answers through the same queries as the commands, with their JSON.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string_view>

#include "host/tool/answers/Code.h"
#include "host/tool/component/Component.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/mcp/Mcp.h"
#include "host/tool/answers/Queries.h"

namespace kalamos {

namespace {
// Pieces of the schemas: the answers' shapes come from where the answers are made.
using namespace schema;
// What an argument may hold: longer than any name or path of a configuration, short enough
// that a question about it costs nothing.
const std::string ArgumentText = R"({"type": "string", "maxLength": 4096})";
std::string Input(const std::string& members, const std::string& required) {
  return R"({"type": "object", "properties": {)" + members + R"(}, "required": [)" + required +
         R"(], "additionalProperties": false})";
}
std::string Argument(const char* name, const std::string& type, const char* description) {
  std::string schema = type;
  schema.pop_back();
  return std::string("\"") + name + "\": " + schema + ", \"description\": " + JsonString(description) + "}";
}
const std::string RefShape = RefSchema();
const std::string PlaceMembers = PlaceSchemaMembers();
const std::string NamedMembers = NamedSchemaMembers();
const std::string TypeMembers = TypeSchemaMembers();

std::string KindList() {
  std::string kinds;
  for (int k = 0; k < KindCount; ++k) kinds += std::string(k ? ", " : "") + KindRussian(k) + " (" + KindEnglish(k) + ")";
  return kinds;
}

const char* const NameHelp =
    "Name of the object, or Kind.Name when several kinds use the name (e.g. Контрагенты or "
    "Справочник.Контрагенты; the kind in Russian or English, any letter case). / Имя объекта или Вид.Имя.";

// A tool's answer from a query: its JSON (a list wrapped in an object under member) and its
// text; no answer is an error that says what exists instead.
TToolResult FromAnswer(TAnswer answer, const char* member = nullptr) {
  TToolResult result;
  if (!answer.Error.empty()) {
    result.IsError = true;
    result.Text = answer.Error;
    return result;
  }
  result.Structured = member ? TJson{{member, std::move(answer.Json)}} : std::move(answer.Json);
  // A text block is never empty: some clients take an empty one for no answer.
  result.Text = answer.Text.empty() ? std::string("nothing found / ничего не найдено\n") : std::move(answer.Text);
  return result;
}

TToolResult Failed(std::string text) {
  TToolResult result;
  result.IsError = true;
  result.Text = std::move(text);
  return result;
}

// Runs a query on the model of the configuration as it is on disk now.
template <typename Query>
TToolResult OnModel(TMcpConfiguration& configuration, Query query) {
  std::string error;
  const TModel* model = configuration.Model(error);
  if (!model) return Failed(error);
  return query(*model);
}

std::string Member(const TJson& arguments, const char* name) { return arguments[name].get<std::string>(); }

// A whole number given or not; the checker has seen to it that it is not negative.
size_t WholeArgument(const TJson& arguments, const char* name, size_t otherwise) {
  if (!arguments.contains(name)) return otherwise;
  const TJson& value = arguments[name];
  if (value.is_number_unsigned()) return size_t(std::min<uint64_t>(value.get<uint64_t>(), SIZE_MAX));
  return size_t(std::min<int64_t>(value.get<int64_t>(), int64_t(std::min<uint64_t>(SIZE_MAX, INT64_MAX))));
}

// Runs a query on the model and the streams of the container as it is on disk now.
template <typename Query>
TToolResult OnContents(TMcpConfiguration& configuration, Query query) {
  std::string error;
  const TContents* contents = configuration.Contents(error);
  if (!contents) return Failed(error);
  return query(*contents);
}

// Runs a query on the code of the container's modules as it is on disk now.
template <typename Query>
TToolResult OnCode(TMcpConfiguration& configuration, Query query) {
  std::string error;
  const TCodeBase* base = configuration.Code(error);
  if (!base) return Failed(error);
  std::string ignored;
  return query(*configuration.Contents(ignored), *base);
}

// Where a module stands: as get_module names it, with its stream.
const std::string Flag = R"({"type": "boolean"})";
const std::string CodePlace = R"("stream": )" + Text + R"(, "kind": )" + TextOrNull + R"(, "object": )" + TextOrNull +
                              R"(, "place": )" + Text;
const std::string CodePlaceRequired = R"("stream", "kind", "object", "place")";

// Lists come a page at a time: the official SDK's client drops the connection on a message
// past 10 MB (find of a synonym that 50,000 attributes share answered 13 MB), and an assistant
// reads a few hundred entries at once anyway. 200, as search_modules has it: a page of find or
// where_used is some 50 KB, with names of ordinary length.
constexpr size_t PageMost = 200;

const std::string PageArguments =
    Argument("offset", R"({"type": "integer", "minimum": 0})",
             "How many entries to skip: next_offset of the previous answer; 0 when omitted. / Сколько записей "
             "пропустить: next_offset прошлого ответа; без него 0.") +
    ", " +
    Argument("limit", R"({"type": "integer", "minimum": 1, "maximum": )" + std::to_string(PageMost) + "}",
             "At most this many entries, 1 to 200; 200 when omitted. / Не больше стольких записей, от 1 до 200; "
             "без него 200.");
const std::string PageMembers = R"(, "total": )" + Whole + R"(, "offset": )" + Whole +
                                R"(, "truncated": {"type": "boolean"}, "next_offset": {"type": ["integer", "null"]})";
const std::string PageRequired = R"(, "total", "offset", "truncated", "next_offset")";

// Cuts the list under member to the page the arguments ask for and says where the page
// stands: total, offset, truncated (more follow) and next_offset. The text keeps the page's
// own lines when it has one line an entry after heading lines; when an entry's text broke
// over lines (or a heading stands between entries) the page's entries are written as JSON,
// one a line, since those lines cannot be told apart. A list that fits one page keeps its
// text whole.
// known: the list holds that page alone already, of known entries in all.
void Paged(TToolResult& result, const char* member, size_t heading, const TJson& arguments, size_t known = SIZE_MAX) {
  if (result.IsError) return;
  const size_t offset = WholeArgument(arguments, "offset", 0), limit = WholeArgument(arguments, "limit", PageMost);
  const bool cut = known != SIZE_MAX;
  const size_t total = cut ? known : result.Structured[member].size();
  const size_t first = std::min(offset, total), end = first + std::min(limit, total - first);
  const bool truncated = end < total;
  // Members are added first: an ordered object keeps them in a vector, and a reference
  // taken into it before would not survive.
  result.Structured["total"] = total;
  result.Structured["offset"] = offset;
  result.Structured["truncated"] = truncated;
  result.Structured["next_offset"] = truncated ? TJson(end) : TJson();
  if (first == 0 && !truncated) return;
  TJson& list = result.Structured[member];

  TJson page = TJson::array();
  if (cut) page = std::move(list);
  else
    for (size_t i = first; i < end; ++i) page.push_back(std::move(list[i]));
  std::vector<std::string_view> lines;
  const std::string_view whole = result.Text;
  for (size_t at = 0; at < whole.size();) {
    const size_t cut = std::min(whole.find('\n', at), whole.size());
    lines.push_back(whole.substr(at, cut - at));
    at = cut + 1;
  }
  std::string text;
  if (cut && lines.size() == heading + (end - first)) {
    for (std::string_view line : lines) (text += line) += '\n';
  } else if (!cut && lines.size() == heading + total) {
    for (size_t i = 0; i < heading; ++i) (text += lines[i]) += '\n';
    for (size_t i = first; i < end; ++i) (text += lines[heading + i]) += '\n';
  } else {
    for (const TJson& entry : page) text += JsonText(entry) + "\n";
  }
  const std::string from = std::to_string(first + 1), to = std::to_string(end), all = std::to_string(total);
  if (first == end)
    text += "(no entries from offset " + std::to_string(offset) + ": there are " + all + " / с offset " +
            std::to_string(offset) + " записей нет: всего " + all + ")\n";
  else if (truncated)
    text += "(entries " + from + "-" + to + " of " + all + "; the rest from offset " + to + " / записи " + from + "-" +
            to + " из " + all + "; остальные — с offset " + to + ")\n";
  else
    text += "(entries " + from + "-" + to + " of " + all + ", the last / записи " + from + "-" + to + " из " + all +
            ", последние)\n";
  list = std::move(page);
  result.Text = std::move(text);
}

const std::string LineArgument = R"({"type": "integer", "minimum": 1})";
const std::string Lines = Texts;

TToolResult CallFunctionTool(TMcpConfiguration& configuration, const TJson& arguments) {
  TCallRequest request;
  request.Directory = configuration.Path();
  request.Function = Member(arguments, "function");
  if (arguments.contains("args"))
    for (const TJson& arg : arguments["args"]) {
      // A JSON string is text even when it reads as a number: call's --text.
      if (arg.is_string()) {
        request.Args.push_back(arg.get<std::string>());
        request.TextArgs.push_back(int(request.Args.size()));
      } else if (arg.get<int64_t>() >= INT32_MIN && arg.get<int64_t>() <= INT32_MAX) {
        request.Args.push_back(std::to_string(arg.get<int64_t>()));
      } else {
        return Failed("call_function: argument " + std::to_string(request.Args.size() + 1) +
                      " is too large for a script number (32 bits); give it as a string to pass it as text");
      }
    }
  std::string error;
  TSession* session = configuration.Session(error);
  if (!session) return Failed(error);
  TCallAnswer answer = CallFunction(*session, request);
  const std::string reports = ReportsText(answer.Reports);
  if (answer.Status == ExitUsage) return Failed(answer.Error);
  if (answer.Status != ExitOk)
    return Failed("the component reported a failure:\n" + reports +
                  "(the messages are the component's own, as the host platform would show them)");
  TToolResult result;
  result.Structured = std::move(answer.Json);
  result.Text = answer.Text.empty() ? "no items\n" : answer.Text;
  // A listing's text is one line an item; a single value's has no items to page.
  Paged(result, "items", 0, arguments);
  if (!reports.empty()) result.Text += "reports:\n" + reports;
  return result;
}

const std::vector<TMcpTool> ToolTable = {
    {"summary", "Configuration summary",
     "How many objects of each kind the configuration has, and its name. Use it first, to learn what the "
     "configuration holds before asking about single objects.\n"
     "Сводка конфигурации: сколько объектов каждого вида и имя конфигурации. Вызывайте первой, чтобы понять, "
     "что есть в конфигурации.",
     Input("", ""),
     Object(R"("name": )" + Text + R"(, "objects": )" + Whole + R"(, "kinds": )" +
                ArrayOf(Object(R"("kind": )" + Text + R"(, "count": )" + Whole, R"("kind", "count")")),
            R"("name", "objects", "kinds")"),
     [](TMcpConfiguration& c, const TJson&) { return OnModel(c, [](const TModel& m) { return FromAnswer(AnswerSummary(m)); }); }},
    {"list_objects", "List the objects of a kind",
     "Every object of one kind (all catalogues, all documents, ...) with its identifier, synonym and comment, in "
     "the order of the configuration; at most 200 a call (total says how many there are, and offset set to "
     "next_offset gives the next ones). Use it to see which objects exist before naming one.\n"
     "Все объекты одного вида (все справочники, все документы...) с идентификатором, синонимом и комментарием; "
     "не больше 200 за вызов (total говорит, сколько их всего, а offset, равный next_offset, дает следующие). "
     "Используйте, чтобы узнать, какие объекты есть, прежде чем называть один из них.",
     Input(Argument("kind", ArgumentText, "") + ", " + PageArguments, R"("kind")"),
     Object(R"("objects": )" + ArrayOf(Object(R"("kind": )" + Text + ", " + NamedMembers,
                                              R"("kind", "id", "name", "comment", "synonym")")) + PageMembers,
            R"("objects")" + PageRequired),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) {
         TToolResult result = FromAnswer(AnswerList(m, Member(a, "kind")), "objects");
         Paged(result, "objects", 1, a);
         return result;
       });
     }},
    {"show_object", "Show one object",
     "Everything the configuration says of one object: identifier, comment, synonym, its attributes (document "
     "head and table part, catalogue attributes, register dimensions and resources, enumeration values) with "
     "their types, owner and subordinate catalogues, Refers lists. Use it before writing code that reads an "
     "object's attributes, so that no attribute name is guessed. The platform's standard attributes (code, "
     "description, number, date) are not in the configuration description.\n"
     "Всё, что конфигурация говорит об объекте: идентификатор, комментарий, синоним, реквизиты шапки и табличной "
     "части, реквизиты справочника, измерения и ресурсы регистра, значения перечисления с типами, владелец и "
     "подчиненные справочники. Вызывайте перед тем, как писать код с реквизитами объекта, чтобы не выдумывать "
     "имена. Стандартных реквизитов платформы (код, наименование, номер, дата) в описании конфигурации нет.",
     Input(Argument("name", ArgumentText, NameHelp), R"("name")"),
     R"({"type": "object", "properties": {"kind": )" + Text + ", " + NamedMembers + R"(, "fields": )" + Texts + ", " +
         TypeMembers + R"(, "owner": )" + RefShape + R"(, "owned": )" + ArrayOf(RefShape) + R"(, "parts": )" +
         ArrayOf(Object(R"("part": )" + Text + R"(, "id": )" + Text + R"(, "items": )" +
                            ArrayOf(Object(NamedMembers + ", " + TypeMembers,
                                           R"("id", "name", "comment", "synonym", "type", "length", "precision", "ref")")),
                        R"("part", "id", "items")")) +
         R"(, "refers": )" +
         ArrayOf(Object(R"("part": )" + Text + R"(, "item": )" + Text + R"(, "objects": )" + ArrayOf(RefShape),
                        R"("part", "item", "objects")")) +
         R"(}, "required": ["kind", "id", "name", "comment", "synonym", "fields", "parts", "refers"]})",
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) { return FromAnswer(AnswerShow(m, Member(a, "name"))); });
     }},
    {"find", "Find by name, synonym or comment",
     "Objects and attributes whose name, synonym or comment contains the text (letter case ignored, Cyrillic "
     "included), each with where it stands; at most 200 matches a call (total says how many there are, and offset "
     "set to next_offset gives the next ones; a longer text finds fewer). Use it when you know a word of what you "
     "look for but not its exact name, e.g. which attribute holds the article number.\n"
     "Объекты и реквизиты, в имени, синониме или комментарии которых есть текст (регистр букв не важен); не "
     "больше 200 совпадений за вызов (total говорит, сколько их всего, а offset, равный next_offset, дает "
     "следующие; более длинный текст находит меньше). Используйте, когда известно слово, но не точное имя, "
     "например какой реквизит хранит артикул.",
     Input(Argument("text", ArgumentText, "A piece of a name, synonym or comment. / Часть имени, синонима или комментария.") +
               ", " + PageArguments,
           R"("text")"),
     Object(R"("matches": )" +
                ArrayOf(Object(PlaceMembers + R"(, "field": {"type": "string", "enum": ["name", "synonym", "comment"]}, "text": )" + Text,
                               R"("kind", "object", "part", "item", "field", "text")")) +
                PageMembers,
            R"("matches")" + PageRequired),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) {
         TToolResult result = FromAnswer(AnswerFind(m, Member(a, "text")), "matches");
         Paged(result, "matches", 0, a);
         return result;
       });
     }},
    {"where_used", "Where an object is used",
     "Every place that refers to an object: attributes, dimensions, resources, constants and common attributes "
     "of its type, the catalogues it owns, Refers lists that hold it; at most 200 places a call (total says how "
     "many there are, and offset set to next_offset gives the next ones). Use it before renaming or removing an "
     "object, or to find the documents that use a catalogue.\n"
     "Все места, которые ссылаются на объект: реквизиты, измерения, ресурсы, константы и общие реквизиты его "
     "типа, подчиненные справочники, списки Refers; не больше 200 мест за вызов (total говорит, сколько их "
     "всего, а offset, равный next_offset, дает следующие). Используйте перед переименованием или удалением "
     "объекта или чтобы найти документы, где используется справочник.",
     Input(Argument("name", ArgumentText, NameHelp) + ", " + PageArguments, R"("name")"),
     Object(R"("uses": )" +
                ArrayOf(Object(PlaceMembers + R"(, "how": {"type": "string", "enum": ["type", "owner", "journal", "refers"]}, "to": )" +
                                   RefShape,
                               R"("kind", "object", "part", "item", "how", "to")")) +
                PageMembers,
            R"("uses")" + PageRequired),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) {
         // Only the page asked for is made: an enumeration of a large configuration has tens
         // of thousands of uses.
         size_t total = 0;
         TToolResult result = FromAnswer(AnswerRefs(m, Member(a, "name"), WholeArgument(a, "offset", 0),
                                                    WholeArgument(a, "limit", PageMost), &total),
                                         "uses");
         // One object named: its heading line, then one line a place.
         Paged(result, "uses", 1, a, total);
         return result;
       });
     }},
    {"resolve_path", "Check an attribute path",
     "Follows Kind.Name.Attr[.Attr...] (e.g. Документ.РасходнаяНакладная.Товар.Артикул) attribute by attribute "
     "through the references, with each step's type; when a name is not there, says which and lists the closest "
     "names. Use it to check an attribute path before writing it in code. Standard attributes (code, "
     "description, number, date) are not known here.\n"
     "Проходит путь Вид.Имя.Реквизит[.Реквизит...] по ссылкам, с типом каждого шага; если имени нет, говорит "
     "какого и предлагает ближайшие. Используйте, чтобы проверить путь реквизита перед тем, как писать его в "
     "коде. Стандартные реквизиты (код, наименование, номер, дата) здесь неизвестны.",
     Input(Argument("path", ArgumentText, "Kind.Name.Attribute[.Attribute...], e.g. Документ.Приход.Склад.Район. / Путь реквизита."),
           R"("path")"),
     Object(R"("found": {"type": "boolean"}, "steps": )" +
                ArrayOf(Object(R"("name": )" + Text + R"(, "kind": )" + Text + R"(, "object": )" + Text +
                                   R"(, "part": )" + Text + ", " + TypeMembers,
                               R"("name", "kind", "object", "part", "type", "length", "precision", "ref")")) +
                R"(, "missing": )" + TextOrNull + R"(, "candidates": )" + Texts,
            R"("found", "steps", "missing", "candidates")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) { return FromAnswer(AnswerPath(m, Member(a, "path"))); });
     }},
    {"lookup_id", "What an identifier is",
     "What the identifier names: kind, object, sub-section and item (found false when no node has it). Use it when "
     "code, a log or the configuration text shows a bare number such as 1581.\n"
     "Что означает идентификатор: вид, объект, раздел и элемент (found false, если такого нет). Используйте, "
     "когда в коде, журнале или тексте конфигурации встречается голый номер, например 1581.",
     Input(Argument("id", ArgumentText, "The identifier as the configuration text writes it, e.g. \"1581\". / Идентификатор."),
           R"("id")"),
     Object(R"("found": {"type": "boolean"}, "kind": )" + TextOrNull + R"(, "object": )" + TextOrNull +
                R"(, "part": )" + TextOrNull + R"(, "item": )" + TextOrNull,
            R"("found", "kind", "object", "part", "item")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) { return FromAnswer(AnswerId(m, Member(a, "id"))); });
     }},
    {"get_module", "Read the module texts of an object",
     "The module texts of one object with line numbers: a document's module, form modules, list form modules "
     "of a catalogue, each named by its place (модуль документа, модуль формы, модуль формы списка ...); "
     "without object, the global module of the configuration. At most 2000 lines of each module per call "
     "(truncated says when there are more); from_line and to_line pick a range. Use it to read the code that "
     "handles an object before changing or explaining it; search_modules finds where something is written.\n"
     "Тексты модулей объекта с номерами строк: модуль документа, модули форм, модули форм списка справочника, "
     "каждый с названием места; без object — глобальный модуль конфигурации. Не больше 2000 строк каждого "
     "модуля за вызов (truncated говорит, что есть еще); from_line и to_line задают диапазон. Используйте, "
     "чтобы прочитать код объекта перед тем, как менять или объяснять его.",
     Input(Argument("object", ArgumentText,
                    "Name or Kind.Name of the object (e.g. РасходнаяНакладная or Документ.РасходнаяНакладная); "
                    "omit it for the global module. / Имя объекта или Вид.Имя; без него — глобальный модуль.") +
               ", " + Argument("from_line", LineArgument, "First line to show, from 1. / Первая строка.") + ", " +
               Argument("to_line", LineArgument, "Last line to show. / Последняя строка."),
           ""),
     Object(R"("kind": )" + TextOrNull + R"(, "object": )" + TextOrNull + R"(, "modules": )" +
                ArrayOf(Object(R"("place": )" + Text + R"(, "stream": )" + Text + R"(, "damaged": )" + TextOrNull +
                                   R"(, "total": )" + Whole + R"(, "first": )" + Whole + R"(, "lines": )" + Lines,
                               R"("place", "stream", "damaged", "total", "first", "lines")")) +
                R"(, "truncated": {"type": "boolean"})",
            R"("kind", "object", "modules", "truncated")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnContents(c, [&](const TContents& contents) {
         return FromAnswer(AnswerModule(contents, a.contains("object") ? Member(a, "object") : std::string(),
                                        WholeArgument(a, "from_line", 1), WholeArgument(a, "to_line", SIZE_MAX)));
       });
     }},
    {"search_modules", "Search the text of every module",
     "Every line of every module (object modules, form modules, the global module) that holds the text, "
     "letter case ignored (Cyrillic too), with its object, module place, line number and two lines before and "
     "after it; at most 200 matches (truncated says when there are more). Use it to find where a procedure, "
     "an attribute or a message is used in code, e.g. who writes to a register, before reading a whole module "
     "with get_module.\n"
     "Все строки всех модулей (модули объектов и форм, глобальный модуль), где есть текст, без учета регистра "
     "букв, с объектом, местом модуля, номером строки и двумя строками до и после; не больше 200 совпадений "
     "(truncated говорит, что есть еще). Используйте, чтобы найти, где в коде встречается процедура, "
     "реквизит или сообщение, например кто пишет в регистр.",
     Input(Argument("text", ArgumentText, "The text to look for, e.g. Движения.Остатки. / Искомый текст."), R"("text")"),
     Object(R"("matches": )" +
                ArrayOf(Object(R"("kind": )" + TextOrNull + R"(, "object": )" + TextOrNull + R"(, "place": )" + Text +
                                   R"(, "line": )" + Whole + R"(, "text": )" + Text + R"(, "before": )" + Lines +
                                   R"(, "after": )" + Lines,
                               R"("kind", "object", "place", "line", "text", "before", "after")")) +
                R"(, "truncated": {"type": "boolean"}, "damaged": )" + Texts,
            R"("matches", "truncated", "damaged")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnContents(c, [&](const TContents& contents) { return FromAnswer(AnswerGrep(contents, Member(a, "text"))); });
     }},
    {"list_procedures", "List the procedures of the modules",
     "The procedures and functions of an object's modules (or of every module without object): place, name, "
     "whether a function, exported, a forward declaration, parameters (by value, default), first and last line. "
     "Use it to see what a module offers before reading it with get_procedure or get_module.\n"
     "Процедуры и функции модулей объекта (без object — всех модулей): место, имя, функция ли, экспорт, "
     "объявление Далее, параметры (Знач, значение по умолчанию), первая и последняя строка. Используйте, чтобы "
     "увидеть, что есть в модуле, прежде чем читать его через get_procedure или get_module.",
     Input(Argument("object", ArgumentText, NameHelp), ""),
     Object(R"("procedures": )" + ArrayOf(Object(CodePlace + R"(, "name": )" + Text + R"(, "function": )" + Flag +
                                                   R"(, "export": )" + Flag + R"(, "forward": )" + Flag +
                                                   R"(, "params": )" +
                                                   ArrayOf(Object(R"("name": )" + Text + R"(, "by_value": )" + Flag +
                                                                      R"(, "default": )" + TextOrNull,
                                                                  R"("name", "by_value", "default")")) +
                                                   R"(, "line": )" + Whole + R"(, "end_line": )" + Whole,
                                               CodePlaceRequired + R"(, "name", "function", "export", "forward", "params", "line", "end_line")")),
            R"("procedures")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnCode(c, [&](const TContents& contents, const TCodeBase& base) {
         return FromAnswer(AnswerProcedures(contents, base, a.contains("object") ? Member(a, "object") : std::string()));
       });
     }},
    {"get_procedure", "Read one procedure",
     "One procedure or function with its header, the comment lines above it and its text with line numbers: of "
     "the global module, or of an object's modules with object. Use it to read exactly the code a call reaches.\n"
     "Одна процедура или функция: заголовок, комментарий над ней и текст с номерами строк — из глобального "
     "модуля или, с object, из модулей объекта. Используйте, чтобы прочитать ровно тот код, куда ведет вызов.",
     Input(Argument("name", ArgumentText, "The procedure's name. / Имя процедуры.") + ", " +
               Argument("object", ArgumentText, "Name or Kind.Name of the object whose modules hold it; omit it for "
                                                "the global module. / Объект; без него — глобальный модуль."),
           R"("name")"),
     Object(CodePlace + R"(, "signature": )" + Text + R"(, "comment": )" + Texts + R"(, "line": )" + Whole +
                R"(, "end_line": )" + Whole + R"(, "lines": )" + Texts,
            CodePlaceRequired + R"(, "signature", "comment", "line", "end_line", "lines")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnCode(c, [&](const TContents& contents, const TCodeBase& base) {
         return FromAnswer(AnswerProcedure(contents, base, Member(a, "name"),
                                           a.contains("object") ? Member(a, "object") : std::string()));
       });
     }},
    {"find_callers", "Where a procedure is called",
     "Every call that reaches a procedure: the global module's export NAME, or with Kind.Object.NAME that "
     "object's procedure; a module's own procedure of the same name takes its calls first, as the platform has "
     "it. Each with place, line, column and the enclosing procedure. Use it before renaming a procedure or "
     "changing its parameters.\n"
     "Все вызовы, которые попадают в процедуру: экспортную ИМЯ глобального модуля или, с Вид.Объект.ИМЯ, "
     "процедуру объекта; собственная процедура модуля с тем же именем важнее, как у платформы. С местом, "
     "строкой, колонкой и процедурой, где стоит вызов. Используйте перед переименованием процедуры или "
     "изменением ее параметров.",
     Input(Argument("name", ArgumentText, "Procedure, or Kind.Object.Procedure. / Процедура или Вид.Объект.Процедура."),
           R"("name")"),
     Object(R"("calls": )" + ArrayOf(Object(CodePlace + R"(, "line": )" + Whole + R"(, "column": )" + Whole +
                                                 R"(, "in": )" + TextOrNull,
                                             CodePlaceRequired + R"(, "line", "column", "in")")),
            R"("calls")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnCode(c, [&](const TContents& contents, const TCodeBase& base) {
         return FromAnswer(AnswerCallers(contents, base, Member(a, "name")));
       });
     }},
    {"check_code", "Check the modules",
     "Structure faults (errors: an unterminated string, a block closed that is not open or not closed, a "
     "procedure without its end or inside another) and warnings (an object named in a string or in code that "
     "the configuration does not have, a procedure declared twice, a forward declaration without a body, a call "
     "with more arguments than parameters) of an object's modules, or of every module without object. Use it "
     "after editing code, or to find code that still names a deleted object.\n"
     "Ошибки структуры (незакрытая строка, блок без открытия или без закрытия, процедура без конца или внутри "
     "другой) и предупреждения (объект в строке или коде, которого нет в конфигурации, процедура объявлена "
     "дважды, Далее без тела, лишние аргументы) модулей объекта или, без object, всех модулей. Используйте "
     "после правки кода или чтобы найти код, который еще называет удаленный объект.",
     Input(Argument("object", ArgumentText, NameHelp), ""),
     Object(R"("diagnostics": )" +
                ArrayOf(Object(CodePlace + R"(, "line": )" + Whole + R"(, "column": )" + Whole +
                                   R"(, "severity": {"type": "string", "enum": ["error", "warning"]}, "code": )" + Text +
                                   R"(, "message": )" + Text + R"(, "name": )" + TextOrNull,
                               CodePlaceRequired + R"(, "line", "column", "severity", "code", "message", "name")")),
            R"("diagnostics")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnCode(c, [&](const TContents& contents, const TCodeBase& base) {
         TToolResult result = FromAnswer(AnswerCheck(contents, base, a.contains("object") ? Member(a, "object") : std::string()));
         return result;
       });
     }},
    {"call_function", "Call a script function of the component",
     "Runs one of the component's nineteen script functions on this configuration exactly as `ostrak call` does "
     "and as a script of the host platform would (EnumObjects, EnumDocHead, ValueByNum, RefInfo, ...; English or "
     "Russian name, any letter case). A listing function is called until it ends, one entry of items per item; "
     "at most 200 items a call (total says how many there are, and offset set to next_offset gives the next "
     "ones). Use it to see what a script will get from the component. Functions about live host objects (HasAttr, "
     "GetAttr, SetAttr) need an object that only the host platform has.\n"
     "Вызывает одну из девятнадцати функций компоненты на этой конфигурации так же, как `ostrak call` и скрипт "
     "платформы (ПеречислитьОбъекты, РеквизитыШапки, ЗначениеПоНомеруСтр...). Перечисляющая функция вызывается до "
     "конца, по элементу items на каждый шаг; не больше 200 элементов за вызов (total говорит, сколько их всего, "
     "а offset, равный next_offset, дает следующие). Используйте, чтобы узнать, что получит скрипт.",
     Input(Argument("function", ArgumentText, "Function name, English or Russian, e.g. EnumDocHead or РеквизитыШапки. / Имя функции.") +
               ", " +
               Argument("args", R"({"type": "array", "maxItems": 7, "items": {"type": ["string", "integer"], "maxLength": 65536}})",
                        "Its parameters from parameter 1 on: a whole number travels as a number, a string as text; "
                        "omitted trailing parameters get the component's defaults. / Параметры функции.") +
               ", " + PageArguments,
           R"("function")"),
     Object(R"("function": )" + Text + R"(, "result": {"type": ["string", "number", "null"]}, "outputs": {"type": "object"}, "items": )" +
                ArrayOf(R"({"type": "object"})") + R"(, "reports": )" +
                ArrayOf(Object(R"("code": )" + Whole + R"(, "text": )" + Text, R"("code", "text")")) + PageMembers,
            R"("function", "result", "outputs", "items", "reports")" + PageRequired),
     CallFunctionTool},
};
}  // namespace

const std::vector<TMcpTool>& McpTools() {
  static const std::vector<TMcpTool> tools = [] {
    std::vector<TMcpTool> rows = ToolTable;
    for (TMcpTool& row : rows)
      if (row.Name == std::string("list_objects"))
        row.InputSchema = Input(Argument("kind", ArgumentText,
                                         ("The kind, in Russian or English, any letter case: " + KindList() +
                                          ". / Вид объектов.").c_str()) +
                                    ", " + PageArguments,
                                R"("kind")");
    return rows;
  }();
  return tools;
}

}  // namespace kalamos
