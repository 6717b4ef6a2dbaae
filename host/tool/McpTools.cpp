// The tools of ostrak mcp, one row each: what an assistant reads about it, its schemas and
// what runs it. Every tool answers through the same queries as the commands, with their JSON.
#include <climits>
#include <cstdint>

#include "host/tool/Commands.h"
#include "host/tool/Mcp.h"
#include "host/tool/Queries.h"

namespace kalamos {

namespace {
// Pieces of the schemas.
const std::string Text = R"({"type": "string"})";
// What an argument may hold: longer than any name or path of a configuration, short enough
// that a question about it costs nothing.
const std::string ArgumentText = R"({"type": "string", "maxLength": 4096})";
const std::string Whole = R"({"type": "integer"})";
const std::string TextOrNull = R"({"type": ["string", "null"]})";
const std::string Texts = R"({"type": "array", "items": {"type": "string"}})";
std::string Object(const std::string& members, const std::string& required) {
  return R"({"type": "object", "properties": {)" + members + R"(}, "required": [)" + required + "]}";
}
std::string ArrayOf(const std::string& item) { return R"({"type": "array", "items": )" + item + "}"; }
std::string Nullable(const std::string& object) { return R"({"anyOf": [)" + object + R"(, {"type": "null"}]})"; }
std::string Input(const std::string& members, const std::string& required) {
  return R"({"type": "object", "properties": {)" + members + R"(}, "required": [)" + required +
         R"(], "additionalProperties": false})";
}
std::string Argument(const char* name, const std::string& type, const char* description) {
  std::string schema = type;
  schema.pop_back();
  return std::string("\"") + name + "\": " + schema + ", \"description\": " + JsonString(description) + "}";
}

const std::string RefSchema = Nullable(Object(R"("kind": )" + Text + R"(, "name": )" + Text + R"(, "id": )" + Text,
                                              R"("kind", "name")"));
const std::string PlaceMembers =
    R"("kind": )" + Text + R"(, "object": )" + Text + R"(, "part": )" + Text + R"(, "item": )" + Text;
const std::string NamedMembers =
    R"("id": )" + Text + R"(, "name": )" + Text + R"(, "comment": )" + Text + R"(, "synonym": )" + Text;
const std::string TypeMembers =
    R"("type": )" + Text + R"(, "length": )" + Whole + R"(, "precision": )" + Whole + R"(, "ref": )" + RefSchema;

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

// A line number given or not; the checker has seen to it that it is at least 1.
size_t LineNumber(const TJson& arguments, const char* name, size_t otherwise) {
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
  std::string reports;
  for (const TErrorReport& report : answer.Reports) reports += std::to_string(report.Code) + ": " + report.Description + "\n";
  if (answer.Status == ExitUsage) return Failed(answer.Error);
  if (answer.Status != ExitOk)
    return Failed("the component reported a failure:\n" + reports +
                  "(the messages are the component's own, as the host platform would show them)");
  TToolResult result;
  result.Structured = std::move(answer.Json);
  result.Text = answer.Text.empty() ? "no items\n" : answer.Text;
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
     "the order of the configuration. Use it to see which objects exist before naming one.\n"
     "Все объекты одного вида (все справочники, все документы...) с идентификатором, синонимом и комментарием. "
     "Используйте, чтобы узнать, какие объекты есть, прежде чем называть один из них.",
     Input(Argument("kind", ArgumentText, ""), R"("kind")"),
     Object(R"("objects": )" + ArrayOf(Object(R"("kind": )" + Text + ", " + NamedMembers,
                                              R"("kind", "id", "name", "comment", "synonym")")),
            R"("objects")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) { return FromAnswer(AnswerList(m, Member(a, "kind")), "objects"); });
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
         TypeMembers + R"(, "owner": )" + RefSchema + R"(, "owned": )" + ArrayOf(RefSchema) + R"(, "parts": )" +
         ArrayOf(Object(R"("part": )" + Text + R"(, "id": )" + Text + R"(, "items": )" +
                            ArrayOf(Object(NamedMembers + ", " + TypeMembers,
                                           R"("id", "name", "comment", "synonym", "type", "length", "precision", "ref")")),
                        R"("part", "id", "items")")) +
         R"(, "refers": )" +
         ArrayOf(Object(R"("part": )" + Text + R"(, "item": )" + Text + R"(, "objects": )" + ArrayOf(RefSchema),
                        R"("part", "item", "objects")")) +
         R"(}, "required": ["kind", "id", "name", "comment", "synonym", "fields", "parts", "refers"]})",
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) { return FromAnswer(AnswerShow(m, Member(a, "name"))); });
     }},
    {"find", "Find by name, synonym or comment",
     "Objects and attributes whose name, synonym or comment contains the text (letter case ignored, Cyrillic "
     "included), each with where it stands. Use it when you know a word of what you look for but not its exact "
     "name, e.g. which attribute holds the article number.\n"
     "Объекты и реквизиты, в имени, синониме или комментарии которых есть текст (регистр букв не важен). "
     "Используйте, когда известно слово, но не точное имя, например какой реквизит хранит артикул.",
     Input(Argument("text", ArgumentText, "A piece of a name, synonym or comment. / Часть имени, синонима или комментария."),
           R"("text")"),
     Object(R"("matches": )" +
                ArrayOf(Object(PlaceMembers + R"(, "field": {"type": "string", "enum": ["name", "synonym", "comment"]}, "text": )" + Text,
                               R"("kind", "object", "part", "item", "field", "text")")),
            R"("matches")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) { return FromAnswer(AnswerFind(m, Member(a, "text")), "matches"); });
     }},
    {"where_used", "Where an object is used",
     "Every place that refers to an object: attributes, dimensions, resources, constants and common attributes "
     "of its type, the catalogues it owns, Refers lists that hold it. Use it before renaming or removing an "
     "object, or to find the documents that use a catalogue.\n"
     "Все места, которые ссылаются на объект: реквизиты, измерения, ресурсы, константы и общие реквизиты его "
     "типа, подчиненные справочники, списки Refers. Используйте перед переименованием или удалением объекта или "
     "чтобы найти документы, где используется справочник.",
     Input(Argument("name", ArgumentText, NameHelp), R"("name")"),
     Object(R"("uses": )" +
                ArrayOf(Object(PlaceMembers + R"(, "how": {"type": "string", "enum": ["type", "owner", "refers"]}, "to": )" +
                                   Object(R"("kind": )" + Text + R"(, "name": )" + Text, R"("kind", "name")"),
                               R"("kind", "object", "part", "item", "how", "to")")),
            R"("uses")"),
     [](TMcpConfiguration& c, const TJson& a) {
       return OnModel(c, [&](const TModel& m) { return FromAnswer(AnswerRefs(m, Member(a, "name")), "uses"); });
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
                                        LineNumber(a, "from_line", 1), LineNumber(a, "to_line", SIZE_MAX)));
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
    {"call_function", "Call a script function of the component",
     "Runs one of the component's nineteen script functions on this configuration exactly as `ostrak call` does "
     "and as a script of the host platform would (EnumObjects, EnumDocHead, ValueByNum, RefInfo, ...; English or "
     "Russian name, any letter case). A listing function is called until it ends, one entry of items per item. "
     "Use it to see what a script will get from the component. Functions about live host objects (HasAttr, "
     "GetAttr, SetAttr) need an object that only the host platform has.\n"
     "Вызывает одну из девятнадцати функций компоненты на этой конфигурации так же, как `ostrak call` и скрипт "
     "платформы (ПеречислитьОбъекты, РеквизитыШапки, ЗначениеПоНомеруСтр...). Перечисляющая функция вызывается до "
     "конца, по элементу items на каждый шаг. Используйте, чтобы узнать, что получит скрипт.",
     Input(Argument("function", ArgumentText, "Function name, English or Russian, e.g. EnumDocHead or РеквизитыШапки. / Имя функции.") +
               ", " +
               Argument("args", R"({"type": "array", "maxItems": 7, "items": {"type": ["string", "integer"], "maxLength": 65536}})",
                        "Its parameters from parameter 1 on: a whole number travels as a number, a string as text; "
                        "omitted trailing parameters get the component's defaults. / Параметры функции."),
           R"("function")"),
     Object(R"("function": )" + Text + R"(, "result": {"type": ["string", "number", "null"]}, "outputs": {"type": "object"}, "items": )" +
                ArrayOf(R"({"type": "object"})") + R"(, "reports": )" +
                ArrayOf(Object(R"("code": )" + Whole + R"(, "text": )" + Text, R"("code", "text")")),
            R"("function", "result", "outputs", "items", "reports")"),
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
                                          ". / Вид объектов.").c_str()),
                                R"("kind")");
    return rows;
  }();
  return tools;
}

}  // namespace kalamos
