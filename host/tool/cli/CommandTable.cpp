// Every command of ostrak, one row each: its name, its help, its arguments and what runs it.
#include <CLI/CLI.hpp>

#include "host/tool/answers/Code.h"
#include "host/tool/cli/Commands.h"
#include "host/tool/answers/QueryCommands.h"
#include "host/tool/component/Component.h"
#include "host/tool/folder/Folder.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/vc/Vc.h"
#include "host/tool/mcp/Mcp.h"
#include "host/tool/lsp/Lsp.h"

namespace kalamos {

namespace {
std::string BaseHelp() {
  return Say("Information-base directory holding vellum.md, or a container file",
             "Каталог информационной базы с файлом vellum.md или файл контейнера");
}

void PathOption(CLI::App& command, TArguments& args) { command.add_option("DIR", args.Path, BaseHelp())->required(); }

void JsonFlag(CLI::App& command, TArguments& args, const char* shape) {
  command.add_flag("--json", args.Json, Say("Print JSON: ", "Вывести JSON: ") + shape);
}

const std::vector<TCommand> Table = {
    {"call",
     "Load DIR, then call FUNCTION (English or Russian name, any case, or a piece of one) with the "
     "arguments. Whole numbers travel as numbers, everything else as text; omitted trailing "
     "parameters get the component's defaults. Prints the result and the output parameters as "
     "\"name: value\"; a listing function is called until it returns 0, one line per item. "
     "Reports go to standard error as \"code: text\". Exit status 0 on success, 1 when the "
     "component fails, 2 on a usage error.",
     "Загрузить КАТАЛОГ и вызвать ФУНКЦИЮ (английское или русское имя в любом регистре или часть имени) "
     "с аргументами. Целые числа передаются числами, всё остальное — текстом; опущенные последние "
     "параметры получают значения компоненты по умолчанию. Выводит результат и выходные параметры как "
     "\"имя: значение\"; функция-перечисление вызывается, пока не вернет 0, по строке на элемент. "
     "Сообщения идут в стандартный поток ошибок как \"код: текст\". Код завершения 0 — успех, 1 — "
     "компонента сообщила об ошибке, 2 — ошибка в командной строке.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("FUNCTION", a.Function, Say("Script function name", "Имя функции"))->required();
       c.add_option("ARG", a.Args, Say("Arguments of the function, from parameter 1 on", "Аргументы функции, с первого параметра"));
       c.add_option("--text", a.TextArgs,
                    Say("Pass argument N (1-based) as text even when it is a number", "Передать аргумент N (с 1) текстом, даже если это число"))
           ->type_name("N")
           ->allow_extra_args(false);
       JsonFlag(c, a, "{\"function\", \"result\", \"outputs\", \"items\" (a listing's, one per item), \"reports\"}");
     },
     [](const TArguments& a) { return RunCall(a.Session, {a.Path, a.Function, a.Args, a.TextArgs}, a.Json); }},
    {"dump", "Load DIR and print its configuration as JSON, read only through the script functions",
     "Загрузить КАТАЛОГ и вывести его конфигурацию в JSON, прочитанную только через функции компоненты",
     PathOption, [](const TArguments& a) { return RunDump(a.Session, a.Path); }},
    {"text",
     "Print the configuration as UTF-8 lines for version control: each object with its "
     "identifier, comment, synonym and items (\"Документ Оплата: шапка: Сумма: Число 15.2\"), then "
     "its modules as text and its forms (each under a line naming the object and the place), then "
     "the global module; print layouts and other streams one line each with a digest. The "
     "containers' bookkeeping streams (Container.Contents, Container.Profile, GUIDData) only with "
     "--all. Made for diffs: git config diff.kalamos.textconv \"ostrak text\"",
     "Вывести конфигурацию строками UTF-8 для систем контроля версий: каждый объект с "
     "идентификатором, комментарием, синонимом и элементами (\"Документ Оплата: шапка: Сумма: Число 15.2\"), "
     "затем его модули текстом и формы (каждый под строкой, которая называет объект и место), затем "
     "глобальный модуль; печатные макеты и прочие потоки — по строке с контрольной суммой. Служебные "
     "потоки контейнера (Container.Contents, Container.Profile, GUIDData) — только с --all. Для "
     "сравнения версий: git config diff.kalamos.textconv \"ostrak text\"",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_flag("--all", a.All, Say("Show the containers' bookkeeping streams too", "Показать и служебные потоки контейнера"));
     },
     [](const TArguments& a) { return RunText(a.Path, a.All); }},
    {"diff",
     "Compare two configurations: objects and their items matched by identifier, then by name, so "
     "that a rename is one change (\"~ Документ Старое → Новое\") with the changes inside it; "
     "module and form texts as unified diffs; print layouts and other streams changed, added or "
     "removed. The containers' bookkeeping streams (Container.Contents, Container.Profile, "
     "GUIDData) only with --all. Exit status 0 when equal, 1 when different, 2 on trouble.",
     "Сравнить две конфигурации: объекты и их элементы сопоставляются по идентификатору, затем по "
     "имени, так что переименование — одно изменение (\"~ Документ Старое → Новое\") с изменениями "
     "внутри; тексты модулей и форм — унифицированным diff; печатные макеты и прочие потоки — "
     "изменены, добавлены или удалены. Служебные потоки контейнера (Container.Contents, "
     "Container.Profile, GUIDData) — только с --all. Код завершения 0 — одинаковы, 1 — различаются, "
     "2 — ошибка.",
     [](CLI::App& c, TArguments& a) {
       c.add_option("A", a.Path, BaseHelp() + Say(", the old side", ", старая сторона"))->required();
       c.add_option("B", a.Other, BaseHelp() + Say(", the new side", ", новая сторона"))->required();
       JsonFlag(c, a, "one array of {\"op\", \"path\", \"old\", \"new\"} (\"diff\" too for a module), sorted by path");
       c.add_flag("--stat", a.Stat,
                  Say("One line per object: items added, removed, changed, module lines; and a total",
                      "По строке на объект: элементы добавлены, удалены, изменены, строки модулей; и итог"));
       c.add_flag("--full", a.Full, Say("Show the contents of added and removed objects", "Показать содержимое добавленных и удаленных объектов"));
       c.add_flag("--all", a.All, Say("Compare the containers' bookkeeping streams too", "Сравнивать и служебные потоки контейнера"));
       c.add_flag("-w,--ignore-all-space", a.IgnoreSpace,
                  Say("Take lines of modules and forms that differ only in blanks and tabs as equal",
                      "Считать одинаковыми строки модулей и форм, которые различаются только пробелами и табуляциями"));
     },
     [](const TArguments& a) { return RunDiff(a.Path, a.Other, {a.Json, a.Stat, a.Full, a.All, a.IgnoreSpace}); }},
    {"pack", "Write DIR/vellum.md holding the configuration text of TEXTFILE (UTF-8), in code page 1251",
     "Записать КАТАЛОГ/vellum.md с текстом конфигурации из ФАЙЛА (UTF-8) в кодировке 1251",
     [](CLI::App& c, TArguments& a) {
       c.add_option("TEXTFILE", a.Path, Say("Configuration text, UTF-8", "Текст конфигурации в UTF-8"))->required();
       c.add_option("DIR", a.Other, Say("Directory to write vellum.md into (made when missing)", "Каталог для vellum.md (создается, если его нет)"))->required();
       auto* oem = c.add_flag("--oem", a.Oem, Say("Write the text in code page 866 instead", "Записать текст в кодировке 866"));
       c.add_flag("--raw", a.Raw, Say("Take the file's bytes as they are, unconverted", "Взять байты файла как есть, без перекодировки"))->excludes(oem);
       c.add_option("--stream", a.Streams,
                    Say("Write one more stream, PATH=FILE: FILE's bytes as they are at PATH, storages parted by \"/\" "
                        "(\"Document/Document_Number12/WorkBook/Dialog Stream=form.txt\"); may be repeated",
                        "Записать еще один поток, ПУТЬ=ФАЙЛ: байты ФАЙЛА как есть по ПУТИ, хранилища через \"/\" "
                        "(\"Document/Document_Number12/WorkBook/Dialog Stream=form.txt\"); можно повторять"))
           ->type_name("PATH=FILE")
           ->allow_extra_args(false);
     },
     [](const TArguments& a) { return RunPack(a.Path, a.Other, a.Oem, a.Raw, a.Streams); }},
    {"unpack",
     "Write the whole container into FOLDER as files for git and editors: the description as one file "
     "per object, modules and forms as UTF-8 text named after their object and place, other streams "
     "byte for byte, and ostrak.manifest for what names cannot carry. build writes it back.",
     "Записать весь контейнер в ПАПКУ файлами для git и редакторов: описание — по файлу на объект, "
     "модули и формы — текстом в UTF-8 с именами по объекту и месту, прочие потоки — байт в байт, и "
     "ostrak.manifest — для того, что не передать именами. build собирает обратно.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("FOLDER", a.Other, Say("Folder to write (empty, or an earlier unpack)", "Папка (пустая или от прежнего unpack)"))->required();
     },
     [](const TArguments& a) { return RunUnpack(a.Path, a.Other); }},
    {"build",
     "Write the container FOLDER (from unpack, edited or not) stands for: unchanged files give the "
     "same streams byte for byte. Every file is checked first; the container is written beside the "
     "target and renamed into place.",
     "Записать контейнер, который представляет ПАПКА (от unpack, правленая или нет): неизменённые файлы "
     "дают те же потоки байт в байт. Сначала проверяется каждый файл; контейнер пишется рядом с целью и "
     "переименовывается на её место.",
     [](CLI::App& c, TArguments& a) {
       c.add_option("FOLDER", a.Path, Say("Folder written by unpack", "Папка, записанная unpack"))->required();
       c.add_option("CONTAINER", a.Other,
                    Say("Container file to write, or DIR for DIR/vellum.md", "Файл контейнера или КАТАЛОГ для КАТАЛОГ/vellum.md"))->required();
     },
     [](const TArguments& a) { return RunBuild(a.Path, a.Other); }},
    {"show",
     "Show one object with everything the configuration says of it: identifier, comment (field 2), "
     "synonym (field 3), type, owner and subordinate catalogues, its sub-sections with their items "
     "and types (\"Число 15.2\", \"Справочник.Контрагенты\"), its Refers lists. NAME is Name or "
     "Kind.Name, the kind in Russian or English as EnumObjects takes it, any letter case. Without "
     "NAME: how many objects of each kind there are.",
     "Показать объект со всем, что о нем сказано в конфигурации: идентификатор, комментарий (поле 2), "
     "синоним (поле 3), тип, владелец и подчиненные справочники, разделы с элементами и их типами "
     "(\"Число 15.2\", \"Справочник.Контрагенты\"), ссылки. ИМЯ — Имя или Вид.Имя, вид по-русски или "
     "по-английски, как его принимает ПеречислитьОбъекты, в любом регистре; объект без имени — по виду. "
     "Без ИМЕНИ — сколько объектов каждого вида.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, Say("Name or Kind.Name of the object", "Имя или Вид.Имя объекта"));
       JsonFlag(c, a, "kind, id, name, comment, synonym, fields, parts, refers ...");
     },
     [](const TArguments& a) { return RunShow(a.Path, a.Name, a.Json); }},
    {"list",
     "List the objects of KIND (Russian or English, as EnumObjects takes it, any letter case), or of "
     "every kind, in the configuration's order: name, identifier, synonym and comment. An object "
     "without a name is listed as \"(без имени)\"; show finds it by its kind (show DIR Бухгалтерия).",
     "Перечислить объекты ВИДА (как его принимает ПеречислитьОбъекты, в любом регистре) или всех видов "
     "в порядке конфигурации: имя, идентификатор, синоним и комментарий. Объект без имени выводится как "
     "\"(без имени)\"; show находит его по виду (show КАТАЛОГ Бухгалтерия).",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("KIND", a.Name, Say("Kind of the objects", "Вид объектов"));
       JsonFlag(c, a, "{\"objects\": [{\"kind\", \"id\", \"name\", \"comment\", \"synonym\"}]}");
     },
     [](const TArguments& a) { return RunList(a.Path, a.Name, a.Json); }},
    {"find",
     "Find objects and their items whose name, synonym or comment holds TEXT (letter case ignored, "
     "Cyrillic included); one line each, saying where. Exit status 1 when nothing is found.",
     "Найти объекты и их элементы, у которых имя, синоним или комментарий содержит ТЕКСТ (без учета "
     "регистра, кириллица тоже); по строке на каждое, с указанием где. Код завершения 1 — ничего не найдено.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("TEXT", a.Name, Say("Text to look for", "Что искать"))->required();
       JsonFlag(c, a, "[{\"kind\", \"object\", \"part\", \"item\", \"field\", \"text\"}]");
     },
     [](const TArguments& a) { return RunFind(a.Path, a.Name, a.Json); }},
    {"refs",
     "List every place that refers to the object NAME: attributes, dimensions, resources, "
     "constants, common attributes and analytic kinds of its type; catalogues it owns; Refers "
     "lists that hold it. A NAME several kinds use lists the uses of each; Kind.Name picks one.",
     "Перечислить все места, которые ссылаются на объект ИМЯ: реквизиты, измерения, ресурсы, константы, "
     "общие реквизиты и виды субконто его типа; подчиненные ему справочники; списки ссылок, в которых он "
     "есть. Для ИМЕНИ нескольких видов — места каждого; Вид.Имя выбирает один.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, Say("Name or Kind.Name of the object", "Имя или Вид.Имя объекта"))->required();
       JsonFlag(c, a, "[{\"kind\", \"object\", \"part\", \"item\", \"how\", \"to\"}]");
     },
     [](const TArguments& a) { return RunRefs(a.Path, a.Name, a.Json); }},
    {"path",
     "Follow Kind.Name.Attr[.Attr...] attribute by attribute through the references (a catalogue, "
     "document or enumeration at each step), printing each step's type. At the first name that is "
     "not there it says so, lists the closest names and exits with status 1. The platform's "
     "standard attributes (code, description, number, date and the like) are not in the "
     "configuration description, so they are not known here.",
     "Пройти Вид.Имя.Реквизит[.Реквизит...] реквизит за реквизитом по ссылкам (справочник, документ или "
     "перечисление на каждом шаге), выводя тип каждого шага. На первом имени, которого нет, говорит об этом, "
     "перечисляет ближайшие имена и завершается с кодом 1. Стандартных реквизитов платформы (код, "
     "наименование, номер, дата и подобных) в описании конфигурации нет, поэтому они здесь не известны.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("PATH", a.Name, Say("Kind.Name.Attribute[.Attribute...]", "Вид.Имя.Реквизит[.Реквизит...]"))->required();
       JsonFlag(c, a, "{\"found\", \"steps\", \"missing\", \"candidates\"}");
     },
     [](const TArguments& a) { return RunPath(a.Path, a.Name, a.Json); }},
    {"id",
     "Say what the identifier is: its kind, object, sub-section and item. Exit status 1 when no "
     "node has it.",
     "Сказать, что это за идентификатор: вид, объект, раздел и элемент. Код завершения 1 — такого "
     "идентификатора нет.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("IDENTIFIER", a.Name, Say("Identifier, as the configuration text has it", "Идентификатор, как он записан в тексте конфигурации"))->required();
       JsonFlag(c, a, "{\"found\", \"kind\", \"object\", \"part\", \"item\"}");
     },
     [](const TArguments& a) { return RunId(a.Path, a.Name, a.Json); }},
    {"module",
     "Print the module texts of the object NAME (Name or Kind.Name) with line numbers, each under a "
     "line naming its place as text does (\"модуль документа\", \"модуль формы\"...); without NAME the "
     "global module. At most 2000 lines of each module at a time; --from and --to pick others. Exit "
     "status 1 when there is no module.",
     "Вывести тексты модулей объекта ИМЯ (Имя или Вид.Имя) с номерами строк, каждый под строкой, которая "
     "называет место, как в text (\"модуль документа\", \"модуль формы\"...); без ИМЕНИ — глобальный "
     "модуль. Не больше 2000 строк каждого модуля за раз; --from и --to выбирают другие. Код завершения "
     "1 — модуля нет.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, Say("Name or Kind.Name of the object", "Имя или Вид.Имя объекта"));
       c.add_option("--from", a.From, Say("First line to show (from 1)", "Первая строка (с 1)"));
       c.add_option("--to", a.To, Say("Last line to show", "Последняя строка"));
       JsonFlag(c, a, "{\"kind\", \"object\", \"modules\": [{\"place\", \"stream\", \"damaged\", \"total\", \"first\", \"lines\"}], \"truncated\"}");
     },
     [](const TArguments& a) { return RunModule(a.Path, a.Name, a.From, a.To, a.Json); }},
    {"grep",
     "Find the lines of every module that hold TEXT (letter case ignored, Cyrillic included), each "
     "with its object, module and line number and two lines around it; at most 200. Exit status 1 "
     "when nothing is found.",
     "Найти строки всех модулей, которые содержат ТЕКСТ (без учета регистра, кириллица тоже), каждую с "
     "объектом, модулем, номером строки и двумя строками вокруг; не больше 200. Код завершения 1 — ничего "
     "не найдено.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("TEXT", a.Name, Say("Text to look for", "Что искать"))->required();
       JsonFlag(c, a, "{\"matches\": [{\"kind\", \"object\", \"place\", \"line\", \"text\", \"before\", \"after\"}], \"truncated\", \"damaged\"}");
     },
     [](const TArguments& a) { return RunGrep(a.Path, a.Name, a.Json); }},
    {"procs",
     "List the procedures and functions of the modules of the object NAME (Name or Kind.Name), or of "
     "every module: place, lines, header (\"Функция Имя(Знач А, Б = 0) Экспорт\"). Exit status 1 when "
     "there is none.",
     "Перечислить процедуры и функции модулей объекта ИМЯ (Имя или Вид.Имя) или всех модулей: место, "
     "строки, заголовок (\"Функция Имя(Знач А, Б = 0) Экспорт\"). Код завершения 1 — ни одной нет.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, Say("Name or Kind.Name of the object", "Имя или Вид.Имя объекта"));
       JsonFlag(c, a,
                "{\"procedures\": [{\"stream\", \"kind\", \"object\", \"place\", \"name\", \"function\", \"export\", "
                "\"forward\", \"params\": [{\"name\", \"by_value\", \"default\"}], \"line\", \"end_line\"}]}");
     },
     [](const TArguments& a) { return RunProcedures(a.Path, a.Name, a.Json); }},
    {"callers",
     "List every call that reaches the global module's exported procedure NAME, or with "
     "Kind.Object.NAME that object's procedure (a module's own procedure of the name comes first, "
     "as the platform resolves calls), with place, line and column, like grep. Exit status 1 when "
     "there is none.",
     "Перечислить все вызовы, которые попадают в экспортную процедуру ИМЯ глобального модуля, а с "
     "Вид.Объект.ИМЯ — в процедуру этого объекта (собственная процедура модуля с таким именем важнее, "
     "как у платформы), с местом, строкой и колонкой, как grep. Код завершения 1 — вызовов нет.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, Say("Procedure, or Kind.Object.Procedure", "Процедура или Вид.Объект.Процедура"))->required();
       JsonFlag(c, a, "{\"calls\": [{\"stream\", \"kind\", \"object\", \"place\", \"line\", \"column\", \"in\"}]}");
     },
     [](const TArguments& a) { return RunCallers(a.Path, a.Name, a.Json); }},
    {"check",
     "Check the modules of the object NAME, or every module: unterminated strings, blocks closed that "
     "are not open or not closed, procedures without their end or inside another (errors); objects "
     "named in strings or code that the configuration does not have, procedures declared twice, "
     "forward declarations without a body, calls with more arguments than parameters (warnings). One "
     "line each, like a compiler's. Exit status 1 when there is anything to say.",
     "Проверить модули объекта ИМЯ или все модули: незакрытые строки, блоки, закрытые без открытия или "
     "не закрытые, процедуры без конца или внутри другой (ошибки); объекты, названные в строках или "
     "коде, которых нет в конфигурации, процедуры, объявленные дважды, объявления Далее без тела, вызовы "
     "с лишними аргументами (предупреждения). По строке на каждое, как у компилятора. Код завершения 1 — "
     "есть что сказать.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, Say("Name or Kind.Name of the object", "Имя или Вид.Имя объекта"));
       JsonFlag(c, a,
                "{\"diagnostics\": [{\"stream\", \"kind\", \"object\", \"place\", \"line\", \"column\", "
                "\"severity\", \"code\", \"message\", \"name\"}]}");
     },
     [](const TArguments& a) { return RunCheck(a.Path, a.Name, a.Json); }},
    {"mcp",
     "Serve DIR to an AI assistant: a Model Context Protocol server on standard input and output "
     "(JSON-RPC messages one a line; diagnostics on standard error). Its tools answer as show, find, "
     "refs, path, id, module, grep, procs, callers, check and call do: summary, list_objects, show_object, "
     "find, where_used, resolve_path, lookup_id, get_module, search_modules, list_procedures, get_procedure, "
     "find_callers, check_code, call_function. The configuration is read "
     "again when its container changes. Ends, with status 0, when its input ends.",
     "Отвечать ИИ-помощнику о КАТАЛОГЕ: сервер Model Context Protocol на стандартных вводе и выводе "
     "(сообщения JSON-RPC по одному в строке; диагностика — в поток ошибок). Его инструменты отвечают, как "
     "show, find, refs, path, id, module, grep, procs, callers, check и call: summary, list_objects, "
     "show_object, find, where_used, resolve_path, lookup_id, get_module, search_modules, list_procedures, "
     "get_procedure, find_callers, check_code, call_function. Конфигурация "
     "перечитывается, когда меняется ее контейнер. Завершается с кодом 0, когда заканчивается ввод.",
     PathOption, [](const TArguments& a) { return RunMcp(a.Session, a.Path); }},
    {"lsp",
     "Serve an editor: a Language Server Protocol server on standard input and output (messages "
     "framed by Content-Length; diagnostics of the server on standard error) for the modules of the "
     "folder that unpack wrote, FOLDER or else the one the editor opens (a container may stand "
     "instead, read only). Outline, go to definition (procedures, \"Справочник.Имя\"), references, "
     "hover, completion (objects after a kind's name, enumeration values, procedures, keywords, the "
     "component's functions after a variable assigned СоздатьОбъект(\"AddIn.Ostrak\")), the checks of "
     "check as the text changes, workspace symbols. Exit status 0 after shutdown and exit, else 1.",
     "Помогать редактору: сервер Language Server Protocol на стандартных вводе и выводе (сообщения с "
     "заголовком Content-Length; диагностика самого сервера — в поток ошибок) для модулей папки, которую "
     "записал unpack: ПАПКИ или той, что открыл редактор (можно указать и контейнер, только для чтения). "
     "Структура модуля, переход к определению (процедуры, \"Справочник.Имя\"), ссылки, подсказки при "
     "наведении, дополнение (объекты после имени вида, значения перечислений, процедуры, ключевые слова, "
     "функции компоненты после переменной, которой присвоено СоздатьОбъект(\"AddIn.Ostrak\")), проверки "
     "check по мере правки текста, поиск символов. Код завершения 0 после shutdown и exit, иначе 1.",
     [](CLI::App& c, TArguments& a) {
       c.add_option("FOLDER", a.Path,
                    Say("Folder written by ostrak unpack (or a container); default: the editor's workspace",
                        "Папка, записанная ostrak unpack (или контейнер); по умолчанию — рабочая папка редактора"));
     },
     [](const TArguments& a) { return RunLsp(a.Path); }},
};
}  // namespace

const std::vector<TCommand>& Commands() { return Table; }

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand& command : Table)
    if (name == command.Name) return &command;
  return nullptr;
}

}  // namespace kalamos
