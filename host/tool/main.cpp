// ostrak: a command-line host for the kalamos component. It drives the component through
// IScriptAugment exactly as the host platform does.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "host/tool/Commands.h"
#include "platform/ComClient.h"
#include "platform/Console.h"

namespace kalamos {
namespace {
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(ArgumentToUtf8(argv[i]));
  return args;
}

// The command names, for messages that must say which there are.
std::string CommandList() {
  std::string list;
  for (const TCommand& command : Commands()) list += std::string(list.empty() ? "" : ", ") + command.Name;
  return "commands: " + list + " (ostrak --help, or ostrak help COMMAND, tells more)\n";
}

// Before CLI11 sees the line: an unknown command or option is named, with the commands;
// "help [COMMAND]" becomes "[COMMAND] --help". Returns -1 to go on, else the exit status.
int Screen(std::vector<std::string>& args) {
  size_t i = 1;
  while (i < args.size()) {
    const std::string& a = args[i];
    if (kComServers && a == "--dll") {
      i += 2;
      continue;
    }
    if (kComServers && a.rfind("--dll=", 0) == 0) {
      ++i;
      continue;
    }
    break;
  }
  if (i >= args.size()) {
    Err("ostrak: a command is required; " + CommandList());
    return ExitUsage;
  }
  const std::string word = args[i];
  if (word == "--help" || word == "-h" || word == "--version") return -1;
  if (word == "help") {
    args.erase(args.begin() + long(i));
    if (i < args.size() && FindCommand(args[i])) args.erase(args.begin() + long(i) + 1, args.end());
    else args.erase(args.begin() + long(i), args.end());
    args.push_back("--help");
    return -1;
  }
  if (!word.empty() && word[0] == '-') {
    Err("ostrak: unknown option " + word + "; " + CommandList());
    return ExitUsage;
  }
  if (!FindCommand(word)) {
    Err("ostrak: unknown command \"" + word + "\"; " + CommandList());
    return ExitUsage;
  }
  return -1;
}

// The whole run; main only hands over.
int RunOstrak(int argc, char** argv) {
  // Output is UTF-8 with bare line feeds, byte for byte the same as the native tool's.
  BinaryStandardStreams();
  std::vector<std::string> args = Utf8Arguments(argc, argv);
  if (int status = Screen(args); status >= 0) return status;

  CLI::App app{"ostrak: runs the kalamos component's script functions against an information base, "
               "dumps a configuration as JSON or as lines of text, compares two configurations, packs "
               "a configuration text into a container, and answers questions about a configuration: "
               "show, find, refs, path, id; mcp serves those questions to AI assistants. Wherever DIR stands, a container file of any name may "
               "stand instead (it is loaded as DIR/vellum.md would be). \"--\" ends the options, so "
               "that an argument may begin with \"-\"."};
  app.name("ostrak");
  app.require_subcommand(1);
  // Paths begin with "/" on Linux and under Wine; they are never options.
  app.allow_windows_style_options(false);
  TArguments arguments;
  if (kComServers)
    app.add_option("--dll", arguments.Session.DllPath,
                   "Load the component from this DLL instead of the registered AddIn.kalamos");
  app.set_version_flag("--version", [&arguments] {
    std::string version = ComponentFileVersion(arguments.Session.DllPath);
    return "kalamos " + (version.empty() ? std::string("(version unknown: component not found)") : version);
  }, "Print the component's file version and exit");

  std::vector<std::pair<CLI::App*, const TCommand*>> rows;
  for (const TCommand& command : Commands()) {
    CLI::App* sub = app.add_subcommand(command.Name, command.Help);
    command.Options(*sub, arguments);
    rows.emplace_back(sub, &command);
  }

  std::vector<const char*> argvUtf8;
  for (auto& a : args) argvUtf8.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argvUtf8.size()), argvUtf8.data());
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? ExitOk : ExitUsage;
  }

  if (!arguments.Session.DllPath.empty()) arguments.Session.Source = TComponentSource::Library;
  for (const auto& [sub, command] : rows) {
    if (!*sub) continue;
    try {
      return command->Run(arguments);
    } catch (const std::bad_alloc&) {
      // Said plainly rather than ended by the runtime without a word.
      Err("ostrak: out of memory\n");
      return std::string(command->Name) == "diff" ? ExitTrouble : ExitFailed;
    }
  }
  return ExitUsage;
}

}  // namespace
}  // namespace kalamos

int main(int argc, char** argv) { return kalamos::RunOstrak(argc, argv); }
