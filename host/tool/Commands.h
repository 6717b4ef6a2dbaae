// The commands of the ostrak tool.
#pragma once

#include <string>
#include <vector>

#include "host/Session.h"

// Exit statuses: the call went through, the component reported a failure, the command line
// was wrong.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
// diff's statuses, as diff(1) has them: equal, different, trouble.
constexpr int ExitTrouble = 2;

struct TCallRequest {
  std::string Directory;
  std::string Function;
  std::vector<std::string> Args;  // UTF-8
  std::vector<int> TextArgs;      // 1-based argument numbers forced to text
};

int RunCall(const TSessionOptions& options, const TCallRequest& request);
// DIR may also be a container file of any name (see StartAndLoad).
int RunDump(const TSessionOptions& options, const std::string& path);
int RunText(const TSessionOptions& options, const std::string& path);
int RunDiff(const TSessionOptions& options, const std::string& left, const std::string& right, bool json);
int RunPack(const std::string& textFile, const std::string& directory, bool oem, bool raw);

// Shared by the commands: starts the session and loads the directory, or a container file of
// any name (through a temporary directory in which it is vellum.md); on failure prints the
// reports and what is wrong with the path, and gives the exit status.
bool StartAndLoad(TSession& session, const std::string& path, int& status);
// Prints the error log's reports to standard error as "code: text", and forgets them.
void PrintReports(TSession& session);
// Why a directory holds no loadable container, for people; empty when nothing is seen.
// shownFile names the container in the message (default DIR/vellum.md).
std::string DiagnoseDirectory(const std::string& directory, const std::string& shownFile = "");
// Writes UTF-8 text to standard output / standard error unchanged (no newline translation).
void Out(const std::string& text);
void Err(const std::string& text);
