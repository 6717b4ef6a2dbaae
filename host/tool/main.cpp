// ostrak: a command-line host for the kalamos component. It drives the component through
// IScriptAugment exactly as the host platform does.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <new>

#include "host/tool/Commands.h"
#include "platform/Text.h"

#if KALAMOS_WINDOWS
#include <fcntl.h>
#include <io.h>
#endif

namespace {
// Arguments as UTF-8: Windows hands them over in the ANSI code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
#if KALAMOS_WINDOWS
    WideString wide = AnsiToWide(argv[i]);
    args.push_back(WideToUtf8(wide.data(), wide.size()));
#else
    args.push_back(argv[i]);
#endif
  }
  return args;
}
}  // namespace

int main(int argc, char** argv) {
#if KALAMOS_WINDOWS
  // Output is UTF-8 with bare line feeds, byte for byte the same as the native tool's.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::vector<std::string> args = Utf8Arguments(argc, argv);

  CLI::App app{"ostrak: runs the kalamos component's script functions against an information base, "
               "dumps a configuration as JSON or as lines of text, compares two configurations, and packs "
               "a configuration text into a container. Wherever DIR stands, a container file of any name "
               "may stand instead (it is loaded as DIR/vellum.md would be)."};
  app.name("ostrak");
  app.require_subcommand(1);
  // Paths begin with "/" on Linux and under Wine; they are never options.
  app.allow_windows_style_options(false);
  TSessionOptions options;
#if KALAMOS_WINDOWS
  app.add_option("--dll", options.DllPath,
                 "Load the component from this DLL instead of the registered AddIn.kalamos");
#endif
  app.set_version_flag("--version", [&options] {
    std::string version = ComponentFileVersion(options.DllPath);
    return "kalamos " + (version.empty() ? std::string("(version unknown: component not found)") : version);
  }, "Print the component's file version and exit");

  TCallRequest call;
  CLI::App* callCmd = app.add_subcommand(
      "call",
      "Load DIR, then call FUNCTION (English or Russian name, any case, or a piece of one) with the "
      "arguments. Whole numbers travel as numbers, everything else as text; omitted trailing "
      "parameters get the component's defaults. Prints the result and the output parameters as "
      "\"name: value\"; a listing function is called until it returns 0, one line per item. "
      "Reports go to standard error as \"code: text\". Exit status 0 on success, 1 when the "
      "component fails, 2 on a usage error.");
  const std::string baseHelp = "Information-base directory holding vellum.md, or a container file";
  callCmd->add_option("DIR", call.Directory, baseHelp)->required();
  callCmd->add_option("FUNCTION", call.Function, "Script function name")->required();
  callCmd->add_option("ARG", call.Args, "Arguments of the function, from parameter 1 on");
  callCmd->add_option("--text", call.TextArgs, "Pass argument N (1-based) as text even when it is a number")
      ->type_name("N")
      ->allow_extra_args(false);

  std::string dumpDir;
  CLI::App* dumpCmd = app.add_subcommand(
      "dump", "Load DIR and print its configuration as JSON, read only through the script functions");
  dumpCmd->add_option("DIR", dumpDir, baseHelp)->required();

  std::string textDir;
  CLI::App* textCmd = app.add_subcommand(
      "text",
      "Load DIR and print its configuration as UTF-8 text, one fact a line, each line naming its "
      "object (\"Документ Оплата: шапка: Сумма: тип 1, синоним \"Сумма\", длина 15, точность 2\"); the "
      "content and order of dump. Made for diffs: git config diff.kalamos.textconv \"ostrak text\"");
  textCmd->add_option("DIR", textDir, baseHelp)->required();

  std::string diffLeft, diffRight;
  bool diffJson = false;
  CLI::App* diffCmd = app.add_subcommand(
      "diff",
      "Compare two configurations: objects added and removed, and within objects on both sides "
      "the attributes, table parts, dimensions, resources, enumeration values, subordinate "
      "catalogues and settings added, removed or changed (items matched by name, a repeated name "
      "numbered NAME#2, NAME#3; order is no change). Exit status 0 when equal, 1 when different, "
      "2 on trouble.");
  diffCmd->add_option("A", diffLeft, baseHelp + ", the old side")->required();
  diffCmd->add_option("B", diffRight, baseHelp + ", the new side")->required();
  diffCmd->add_flag("--json", diffJson,
                    "Print one JSON array of {\"op\", \"path\", \"old\", \"new\"}, sorted by path");

  std::string packText, packDir;
  bool oem = false, raw = false;
  CLI::App* packCmd = app.add_subcommand(
      "pack", "Write DIR/vellum.md holding the configuration text of TEXTFILE (UTF-8), in code page 1251");
  packCmd->add_option("TEXTFILE", packText, "Configuration text, UTF-8")->required();
  packCmd->add_option("DIR", packDir, "Directory to write vellum.md into (made when missing)")->required();
  auto* oemFlag = packCmd->add_flag("--oem", oem, "Write the text in code page 866 instead");
  packCmd->add_flag("--raw", raw, "Take the file's bytes as they are, unconverted")->excludes(oemFlag);

  std::vector<const char*> argvUtf8;
  for (auto& a : args) argvUtf8.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argvUtf8.size()), argvUtf8.data());
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? ExitOk : ExitUsage;
  }

  if (!options.DllPath.empty()) options.Source = TComponentSource::Library;
  try {
    if (*callCmd) return RunCall(options, call);
    if (*dumpCmd) return RunDump(options, dumpDir);
    if (*textCmd) return RunText(options, textDir);
    if (*diffCmd) return RunDiff(options, diffLeft, diffRight, diffJson);
    return RunPack(packText, packDir, oem, raw);
  } catch (const std::bad_alloc&) {
    // Said plainly rather than ended by the runtime without a word.
    Err("ostrak: out of memory\n");
    return *diffCmd ? ExitTrouble : ExitFailed;
  }
}
