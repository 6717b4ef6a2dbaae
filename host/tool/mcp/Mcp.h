// ostrak mcp: a Model Context Protocol server on standard input and output. Newline-delimited
// JSON-RPC 2.0; every tool answers from the configuration model or, for call_function, from
// the component in a session, as the commands do.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/tool/answers/Json.h"
#include "host/tool/answers/Contents.h"
#include "host/tool/model/Model.h"

namespace kalamos {

struct TCodeBase;

// The configuration a server answers about, read again when its container has changed.
class TMcpConfiguration {
public:
  TMcpConfiguration(std::string path, TSessionOptions options);
  ~TMcpConfiguration();
  const std::string& Path() const { return Path_; }
  // Looks at the container; when it is not what was read, what was read is dropped. True
  // when it had changed.
  bool Refresh();
  // The model of the container as it was at the last Refresh; null with a message for people
  // when it cannot be read. It is the contents' model: the container is read and parsed once.
  const TModel* Model(std::string& error);
  // The model with every stream of the container, for the module tools; null with a message.
  const TContents* Contents(std::string& error);
  // The modules' code, parsed once for every code tool; null with a message.
  const TCodeBase* Code(std::string& error);
  // A session that has loaded the container, for the script functions; null with a message.
  TSession* Session(std::string& error);

private:
  struct TStamp {
    bool Exists = false;
    std::filesystem::file_time_type Time{};
    uintmax_t Size = 0;
    bool operator==(const TStamp&) const = default;
  };
  TStamp Look() const;
  std::string Path_;
  TSessionOptions Options;
  TStamp Stamp;
  std::unique_ptr<TContents> Contents_;
  std::string ContentsError;
  bool ContentsRead = false;
  std::unique_ptr<TCodeBase> Code_;
  std::unique_ptr<TSession> Session_;
  std::string SessionError;
  bool SessionTried = false;
};

// What a tool answers: Structured (an object) and Text, or IsError with Text saying what went
// wrong and what would do instead.
struct TToolResult {
  bool IsError = false;
  TJson Structured;
  std::string Text;
};

// One row per tool. The schemas are JSON texts; the server checks the arguments against
// InputSchema (names, types, required) before Run sees them.
struct TMcpTool {
  const char* Name;
  const char* Title;
  const char* Description;  // English, then Russian
  std::string InputSchema;
  std::string OutputSchema;
  TToolResult (*Run)(TMcpConfiguration& configuration, const TJson& arguments);
};
const std::vector<TMcpTool>& McpTools();

// Protocol revisions the server speaks, newest first.
extern const char* const McpVersions[];
extern const size_t McpVersionCount;

// The protocol's state for one client: takes one line of input, gives the line to write back
// (empty when nothing is answered: notifications and responses).
class TMcpServer {
public:
  explicit TMcpServer(TMcpConfiguration& configuration);
  std::string Handle(std::string_view line);
  bool Initialized() const { return !Version.empty(); }
  const std::string& ProtocolVersion() const { return Version; }

private:
  TJson Message(const TJson& message);  // null when nothing is answered
  TJson Request(const TJson& id, const std::string& method, const TJson& params);
  TJson Initialize(const TJson& params);
  TJson ListTools() const;
  TJson CallTool(const TJson& params);
  bool AtLeast(const char* version) const;
  TMcpConfiguration& Configuration;
  std::string Version;  // negotiated; empty until initialize
  std::vector<TJson> InputSchemas, OutputSchemas;
};

// Checks arguments against a tool's input schema (an object of named members of the types
// "string", "integer" or "array", with maxLength, minimum, maximum and maxItems); empty when
// they fit, else what is wrong, for an assistant.
std::string CheckArguments(const TJson& schema, const TJson& arguments);

// Serves path on standard input and output until input ends; status 0 then.
int RunMcp(const TSessionOptions& options, const std::string& path);

}  // namespace kalamos
