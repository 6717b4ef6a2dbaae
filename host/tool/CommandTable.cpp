// Every command of ostrak, one row each: its name, its help, its arguments and what runs it.
#include <CLI/CLI.hpp>

#include "host/tool/Commands.h"
#include "host/tool/Mcp.h"

namespace kalamos {

namespace {
const char* const BaseHelp = "Information-base directory holding vellum.md, or a container file";

void PathOption(CLI::App& command, TArguments& args) { command.add_option("DIR", args.Path, BaseHelp)->required(); }

void JsonFlag(CLI::App& command, TArguments& args, const char* shape) {
  command.add_flag("--json", args.Json, std::string("Print JSON: ") + shape);
}

const std::vector<TCommand> Table = {
    {"call",
     "Load DIR, then call FUNCTION (English or Russian name, any case, or a piece of one) with the "
     "arguments. Whole numbers travel as numbers, everything else as text; omitted trailing "
     "parameters get the component's defaults. Prints the result and the output parameters as "
     "\"name: value\"; a listing function is called until it returns 0, one line per item. "
     "Reports go to standard error as \"code: text\". Exit status 0 on success, 1 when the "
     "component fails, 2 on a usage error.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("FUNCTION", a.Function, "Script function name")->required();
       c.add_option("ARG", a.Args, "Arguments of the function, from parameter 1 on");
       c.add_option("--text", a.TextArgs, "Pass argument N (1-based) as text even when it is a number")
           ->type_name("N")
           ->allow_extra_args(false);
       JsonFlag(c, a, "{\"function\", \"result\", \"outputs\", \"items\" (a listing's, one per item), \"reports\"}");
     },
     [](const TArguments& a) { return RunCall(a.Session, {a.Path, a.Function, a.Args, a.TextArgs}, a.Json); }},
    {"dump", "Load DIR and print its configuration as JSON, read only through the script functions",
     PathOption, [](const TArguments& a) { return RunDump(a.Session, a.Path); }},
    {"text",
     "Print the configuration as UTF-8 lines for version control: each object with its "
     "identifier, comment, synonym and items (\"Документ Оплата: шапка: Сумма: Число 15.2\"), then "
     "its modules as text and its forms (each under a line naming the object and the place), then "
     "the global module; print layouts and other streams one line each with a digest. The "
     "containers' bookkeeping streams (Container.Contents, Container.Profile, GUIDData) only with "
     "--all. Made for diffs: git config diff.kalamos.textconv \"ostrak text\"",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_flag("--all", a.All, "Show the containers' bookkeeping streams too");
     },
     [](const TArguments& a) { return RunText(a.Path, a.All); }},
    {"diff",
     "Compare two configurations: objects and their items matched by identifier, then by name, so "
     "that a rename is one change (\"~ Документ Старое → Новое\") with the changes inside it; "
     "module and form texts as unified diffs; print layouts and other streams changed, added or "
     "removed. The containers' bookkeeping streams (Container.Contents, Container.Profile, "
     "GUIDData) only with --all. Exit status 0 when equal, 1 when different, 2 on trouble.",
     [](CLI::App& c, TArguments& a) {
       c.add_option("A", a.Path, std::string(BaseHelp) + ", the old side")->required();
       c.add_option("B", a.Other, std::string(BaseHelp) + ", the new side")->required();
       JsonFlag(c, a, "one array of {\"op\", \"path\", \"old\", \"new\"} (\"diff\" too for a module), sorted by path");
       c.add_flag("--stat", a.Stat, "One line per object: items added, removed, changed, module lines; and a total");
       c.add_flag("--full", a.Full, "Show the contents of added and removed objects");
       c.add_flag("--all", a.All, "Compare the containers' bookkeeping streams too");
       c.add_flag("-w,--ignore-all-space", a.IgnoreSpace,
                  "Take lines of modules and forms that differ only in blanks and tabs as equal");
     },
     [](const TArguments& a) { return RunDiff(a.Path, a.Other, {a.Json, a.Stat, a.Full, a.All, a.IgnoreSpace}); }},
    {"pack", "Write DIR/vellum.md holding the configuration text of TEXTFILE (UTF-8), in code page 1251",
     [](CLI::App& c, TArguments& a) {
       c.add_option("TEXTFILE", a.Path, "Configuration text, UTF-8")->required();
       c.add_option("DIR", a.Other, "Directory to write vellum.md into (made when missing)")->required();
       auto* oem = c.add_flag("--oem", a.Oem, "Write the text in code page 866 instead");
       c.add_flag("--raw", a.Raw, "Take the file's bytes as they are, unconverted")->excludes(oem);
       c.add_option("--stream", a.Streams,
                    "Write one more stream, PATH=FILE: FILE's bytes as they are at PATH, storages parted by \"/\" "
                    "(\"Document/Document_Number12/WorkBook/Dialog Stream=form.txt\"); may be repeated")
           ->type_name("PATH=FILE")
           ->allow_extra_args(false);
     },
     [](const TArguments& a) { return RunPack(a.Path, a.Other, a.Oem, a.Raw, a.Streams); }},
    {"unpack",
     "Write the whole container into FOLDER as files for git and editors: the description as one file "
     "per object, modules and forms as UTF-8 text named after their object and place, other streams "
     "byte for byte, and ostrak.manifest for what names cannot carry. build writes it back.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("FOLDER", a.Other, "Folder to write (empty, or an earlier unpack)")->required();
     },
     [](const TArguments& a) { return RunUnpack(a.Path, a.Other); }},
    {"build",
     "Write the container FOLDER (from unpack, edited or not) stands for: unchanged files give the "
     "same streams byte for byte. Every file is checked first; the container is written beside the "
     "target and renamed into place.",
     [](CLI::App& c, TArguments& a) {
       c.add_option("FOLDER", a.Path, "Folder written by unpack")->required();
       c.add_option("CONTAINER", a.Other, "Container file to write, or DIR for DIR/vellum.md")->required();
     },
     [](const TArguments& a) { return RunBuild(a.Path, a.Other); }},
    {"show",
     "Show one object with everything the configuration says of it: identifier, comment (field 2), "
     "synonym (field 3), type, owner and subordinate catalogues, its sub-sections with their items "
     "and types (\"Число 15.2\", \"Справочник.Контрагенты\"), its Refers lists. NAME is Name or "
     "Kind.Name, the kind in Russian or English as EnumObjects takes it, any letter case. Without "
     "NAME: how many objects of each kind there are.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, "Name or Kind.Name of the object");
       JsonFlag(c, a, "the object's members: kind, id, name, comment, synonym, fields, parts, refers ...");
     },
     [](const TArguments& a) { return RunShow(a.Path, a.Name, a.Json); }},
    {"list",
     "List the objects of KIND (Russian or English, as EnumObjects takes it, any letter case), or of "
     "every kind, in the configuration's order: name, identifier, synonym and comment. An object "
     "without a name is listed as \"(без имени)\"; show finds it by its kind (show DIR Бухгалтерия).",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("KIND", a.Name, "Kind of the objects");
       JsonFlag(c, a, "{\"objects\": [{\"kind\", \"id\", \"name\", \"comment\", \"synonym\"}]}");
     },
     [](const TArguments& a) { return RunList(a.Path, a.Name, a.Json); }},
    {"find",
     "Find objects and their items whose name, synonym or comment holds TEXT (letter case ignored, "
     "Cyrillic included); one line each, saying where. Exit status 1 when nothing is found.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("TEXT", a.Name, "Text to look for")->required();
       JsonFlag(c, a, "an array of {\"kind\", \"object\", \"part\", \"item\", \"field\", \"text\"}");
     },
     [](const TArguments& a) { return RunFind(a.Path, a.Name, a.Json); }},
    {"refs",
     "List every place that refers to the object NAME: attributes, dimensions, resources, "
     "constants, common attributes and analytic kinds of its type; catalogues it owns; Refers "
     "lists that hold it. A NAME several kinds use lists the uses of each; Kind.Name picks one.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, "Name or Kind.Name of the object")->required();
       JsonFlag(c, a, "a sorted array of {\"kind\", \"object\", \"part\", \"item\", \"how\", \"to\"}");
     },
     [](const TArguments& a) { return RunRefs(a.Path, a.Name, a.Json); }},
    {"path",
     "Follow Kind.Name.Attr[.Attr...] attribute by attribute through the references (a catalogue, "
     "document or enumeration at each step), printing each step's type. At the first name that is "
     "not there it says so, lists the closest names and exits with status 1. The platform's "
     "standard attributes (code, description, number, date and the like) are not in the "
     "configuration description, so they are not known here.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("PATH", a.Name, "Kind.Name.Attribute[.Attribute...]")->required();
       JsonFlag(c, a, "{\"found\", \"steps\", \"missing\", \"candidates\"}");
     },
     [](const TArguments& a) { return RunPath(a.Path, a.Name, a.Json); }},
    {"id",
     "Say what the identifier is: its kind, object, sub-section and item. Exit status 1 when no "
     "node has it.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("IDENTIFIER", a.Name, "Identifier, as the configuration text has it")->required();
       JsonFlag(c, a, "{\"found\", \"kind\", \"object\", \"part\", \"item\"}");
     },
     [](const TArguments& a) { return RunId(a.Path, a.Name, a.Json); }},
    {"module",
     "Print the module texts of the object NAME (Name or Kind.Name) with line numbers, each under a "
     "line naming its place as text does (\"модуль документа\", \"модуль формы\"...); without NAME the "
     "global module. At most 2000 lines of each module at a time; --from and --to pick others. Exit "
     "status 1 when there is no module.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("NAME", a.Name, "Name or Kind.Name of the object");
       c.add_option("--from", a.From, "First line to show (from 1)");
       c.add_option("--to", a.To, "Last line to show");
       JsonFlag(c, a, "{\"kind\", \"object\", \"modules\": [{\"place\", \"stream\", \"damaged\", \"total\", \"first\", \"lines\"}], \"truncated\"}");
     },
     [](const TArguments& a) { return RunModule(a.Path, a.Name, a.From, a.To, a.Json); }},
    {"grep",
     "Find the lines of every module that hold TEXT (letter case ignored, Cyrillic included), each "
     "with its object, module and line number and two lines around it; at most 200. Exit status 1 "
     "when nothing is found.",
     [](CLI::App& c, TArguments& a) {
       PathOption(c, a);
       c.add_option("TEXT", a.Name, "Text to look for")->required();
       JsonFlag(c, a, "{\"matches\": [{\"kind\", \"object\", \"place\", \"line\", \"text\", \"before\", \"after\"}], \"truncated\", \"damaged\"}");
     },
     [](const TArguments& a) { return RunGrep(a.Path, a.Name, a.Json); }},
    {"mcp",
     "Serve DIR to an AI assistant: a Model Context Protocol server on standard input and output "
     "(JSON-RPC messages one a line; diagnostics on standard error). Its tools answer as show, find, "
     "refs, path, id, module, grep and call do: summary, list_objects, show_object, find, where_used, "
     "resolve_path, lookup_id, get_module, search_modules, call_function. The configuration is read "
     "again when its container changes. Ends, with status 0, when its input ends.",
     PathOption, [](const TArguments& a) { return RunMcp(a.Session, a.Path); }},
};
}  // namespace

const std::vector<TCommand>& Commands() { return Table; }

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand& command : Table)
    if (name == command.Name) return &command;
  return nullptr;
}

}  // namespace kalamos
