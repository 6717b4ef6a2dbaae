// ostrak: a command-line host for the kalamos component. It drives the component through
// IScriptAugment exactly as the host platform does.
#include <CLI/CLI.hpp>

#include <cstdio>

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
               "dumps a configuration as JSON, and packs a configuration text into a container."};
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
  callCmd->add_option("DIR", call.Directory, "Information-base directory holding vellum.md")->required();
  callCmd->add_option("FUNCTION", call.Function, "Script function name")->required();
  callCmd->add_option("ARG", call.Args, "Arguments of the function, from parameter 1 on");
  callCmd->add_option("--text", call.TextArgs, "Pass argument N (1-based) as text even when it is a number")
      ->type_name("N")
      ->allow_extra_args(false);

  std::string dumpDir;
  CLI::App* dumpCmd = app.add_subcommand(
      "dump", "Load DIR and print its configuration as JSON, read only through the script functions");
  dumpCmd->add_option("DIR", dumpDir, "Information-base directory holding vellum.md")->required();

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
  if (*callCmd) return RunCall(options, call);
  if (*dumpCmd) return RunDump(options, dumpDir);
  return RunPack(packText, packDir, oem, raw);
}
