// The command table of the ostrak tool: what a command line can say, and the commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/Session.h"

namespace CLI {
class App;
}

namespace kalamos {

// Everything a command line can say; each command reads the members its options fill.
struct TArguments {
  TSessionOptions Session;
  std::string Path;                 // DIR or a container file
  std::string Other;                // diff's B, pack's DIR
  std::string Function;             // call
  std::vector<std::string> Args;    // call's arguments, UTF-8
  std::vector<int> TextArgs;        // call: 1-based argument numbers forced to text
  std::vector<std::string> Streams; // pack: PATH=FILE
  std::string Name;                 // show, refs, path, id, find, module, grep: what is asked about
  int64_t From = 1, To = INT64_MAX; // module: the lines shown
  bool Json = false, Oem = false, Raw = false, Stat = false, Full = false, All = false, IgnoreSpace = false;
};

// One row per command: git's commands[] table. Options declares the command's arguments on
// its CLI11 subcommand; Run returns the exit status and never exits.
struct TCommand {
  const char* Name;
  const char* Help;
  const char* HelpRu;  // the same in Russian
  void (*Options)(CLI::App& command, TArguments& args);
  int (*Run)(const TArguments& args);
};
const std::vector<TCommand>& Commands();
// The row of a command, or null.
const TCommand* FindCommand(const std::string& name);

}  // namespace kalamos
