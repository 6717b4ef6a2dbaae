// The commands of the ostrak tool, and what they share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/Session.h"
#include "platform/Text.h"

namespace CLI {
class App;
}

namespace kalamos {

// Exit statuses: the call went through, the component reported a failure (or nothing was
// found), the command line was wrong.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
// diff's statuses, as diff(1) has them: equal, different, trouble.
constexpr int ExitTrouble = 2;

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

struct TCallRequest {
  std::string Directory;
  std::string Function;
  std::vector<std::string> Args;  // UTF-8
  std::vector<int> TextArgs;      // 1-based argument numbers forced to text
};

// What call prints: the text lines, or with --json {"function", "result", "outputs",
// "items", "reports"}; a listing is walked to its end, one member of items per item.
// Status ExitFailed when the component failed (Reports say why), ExitUsage with Error for
// people when the call was misspelt.
struct TCallAnswer {
  int Status = ExitOk;
  std::string Error;
  std::vector<TErrorReport> Reports;
  nlohmann::ordered_json Json;
  std::string Text;
};
// Calls a function in a session whose directory is loaded, as call does.
TCallAnswer CallFunction(TSession& session, const TCallRequest& request);
int RunCall(const TSessionOptions& options, const TCallRequest& request, bool json);
// DIR may also be a container file of any name (see StartAndLoad).
int RunDump(const TSessionOptions& options, const std::string& path);
// The configuration's description, its modules and forms and the digests of its other
// streams as lines of text; written through write piece by piece. False with a message.
// all: the containers' bookkeeping streams too.
bool WriteConfigurationText(const std::string& path, const std::function<void(std::string_view)>& write,
                            std::string& error, bool all = false);
int RunText(const std::string& path, bool all);
struct TDiffOptions {
  bool Json = false, Stat = false, Full = false;
  bool All = false;          // the containers' bookkeeping streams too
  bool IgnoreSpace = false;  // lines of modules and forms that differ only in blanks are equal
};
// The differences between two configurations, as RunDiff prints them; false with a message.
bool DiffText(const std::string& left, const std::string& right, const TDiffOptions& options, std::string& out,
              bool& different, std::string& error);
int RunDiff(const std::string& left, const std::string& right, const TDiffOptions& options);
// streams: further streams to write, each PATH=FILE.
int RunPack(const std::string& textFile, const std::string& directory, bool oem, bool raw,
            const std::vector<std::string>& streams);
// A container (a file, or DIR holding vellum.md) as a folder of files, and the folder as a
// container again (a file, or DIR: its vellum.md).
int RunUnpack(const std::string& container, const std::string& folder);
int RunBuild(const std::string& folder, const std::string& container);
// The questions about the configuration model: one object or a summary; objects and items
// by a piece of a name, synonym or comment; where an object is used; an attribute path;
// an identifier.
int RunShow(const std::string& path, const std::string& name, bool json);
// The objects of one kind, or of every kind, in the configuration's order.
int RunList(const std::string& path, const std::string& kind, bool json);
int RunFind(const std::string& path, const std::string& text, bool json);
int RunRefs(const std::string& path, const std::string& name, bool json);
int RunPath(const std::string& path, const std::string& attributePath, bool json);
int RunId(const std::string& path, const std::string& id, bool json);
// The module texts of one object (empty: the global module), lines from..to; lines of every
// module holding a text.
int RunModule(const std::string& path, const std::string& object, int64_t from, int64_t to, bool json);
int RunGrep(const std::string& path, const std::string& text, bool json);

// Where a configuration is read from: DIR (File is DIR/vellum.md) or a container file of
// any name (Directory empty). Shown names the container in messages.
struct TSource {
  std::string Directory, File, Shown;
};
// False, with a message for people, when path is neither.
bool FindSource(const std::string& path, TSource& source, std::string& error);

// Shared by the commands that go through the component: starts the session and loads the
// directory, or a container file of any name (through a temporary directory in which it is
// vellum.md); on failure prints the reports and what is wrong with the path, and gives the
// exit status.
bool StartAndLoad(TSession& session, const std::string& path, int& status);
// The same, saying nothing: error gets the component's reports as "code: text" lines and,
// on failure, a last line without a newline saying what is wrong.
bool StartAndLoad(TSession& session, const std::string& path, std::string& error);
// Prints the error log's reports to standard error as "code: text", and forgets them.
void PrintReports(TSession& session);
// Why a directory holds no loadable container, for people; empty when nothing is seen.
// shownFile names the container in the message (default DIR/vellum.md).
std::string DiagnoseDirectory(const std::string& directory, const std::string& shownFile = "");
// Why a container file (UTF-8 path) cannot be loaded: missing, a directory, unreadable (the
// system's reason), not a compound file, or no configuration in it. shown names it.
std::string DiagnoseContainer(const std::string& file, const std::string& shown);
// The model and the component keep names in the ANSI code page; the tool speaks UTF-8.
// Through a table of each byte's UTF-8, made from AnsiToUtf8 itself.
std::string U(std::string_view ansi);
// U(ansi) appended to out, without a string of its own: for the lines of large outputs.
void AppendU(std::string& out, std::string_view ansi);
// A UTF-8 path as the file system's, on either system.
std::filesystem::path PathOf(const std::string& utf8);
// Runs both at once where the standard library has threads (the Windows tool is built without
// them and runs one after the other); an exception of either comes out here, after both ended.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second);
// Words for people in their language (UserReadsRussian): the English or the Russian.
std::string Say(std::string_view english, std::string_view russian);
// Writes UTF-8 text to standard output / standard error unchanged (no newline translation).
void Out(const std::string& text);
void Err(const std::string& text);

}  // namespace kalamos
