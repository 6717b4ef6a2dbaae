// The protocol side of ostrak mcp: JSON-RPC 2.0 messages one a line, the lifecycle, the
// tools' listing and calls, and the configuration read again when its container changes.
#include <cstdio>
#include <iostream>
#include <new>

#include "host/tool/answers/Code.h"
#include "host/tool/component/Component.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/model/Source.h"
#include "host/tool/answers/JsonRpc.h"
#include "host/tool/mcp/Mcp.h"
#include "platform/Console.h"

namespace kalamos {

namespace fs = std::filesystem;

const char* const McpVersions[] = {"2025-11-25", "2025-06-18", "2025-03-26", "2024-11-05"};
const size_t McpVersionCount = sizeof McpVersions / sizeof McpVersions[0];

namespace {
using rpc::Failure;
using rpc::InternalError;
using rpc::InvalidParams;
using rpc::InvalidRequest;
using rpc::MethodNotFound;
using rpc::ParseError;
using rpc::Shown;
using rpc::Success;

// The most one message may weigh as written. The official TypeScript SDK's client drops the
// connection when what it holds of one unfinished line passes 10 MiB, a pipe's read of up to
// 64 KiB included; 8 MiB stays clear of that with room to spare. Lists come in pages far below
// it: this guards the answers that cannot be paged (an object of tens of thousands of
// attributes, modules with very long lines).
constexpr size_t MessageMost = size_t(8) << 20;
// What a tool's answer may weigh: the message less the envelope around it (jsonrpc, id).
constexpr size_t ToolAnswerMost = MessageMost - (size_t(64) << 10);

std::string Megabytes(size_t bytes) {
  const size_t tenths = (bytes * 10 + (size_t(1) << 19)) >> 20;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

const char* TypeName(const TJson& value) {
  switch (value.type()) {
    case TJson::value_t::null: return "null";
    case TJson::value_t::boolean: return "a boolean";
    case TJson::value_t::string: return "a string";
    case TJson::value_t::array: return "an array";
    case TJson::value_t::object: return "an object";
    case TJson::value_t::number_float: return "a fractional number";
    default: return "a whole number";
  }
}

bool HasType(const TJson& value, const std::string& type) {
  if (type == "string") return value.is_string();
  if (type == "integer") return value.is_number_integer();
  if (type == "array") return value.is_array();
  if (type == "object") return value.is_object();
  return true;
}

// "a string", "a string or a whole number": what a schema's type asks for.
std::string Wanted(const TJson& type) {
  auto one = [](const std::string& t) {
    return t == "integer" ? std::string("a whole number") : t == "array" ? std::string("an array") : "a " + t;
  };
  if (type.is_string()) return one(type.get<std::string>());
  std::string words;
  for (const TJson& t : type) words += (words.empty() ? "" : " or ") + one(t.get<std::string>());
  return words;
}

bool Fits(const TJson& value, const TJson& type) {
  if (type.is_string()) return HasType(value, type.get<std::string>());
  for (const TJson& t : type)
    if (HasType(value, t.get<std::string>())) return true;
  return false;
}
}  // namespace

std::string CheckArguments(const TJson& schema, const TJson& arguments) {
  const TJson& properties = schema["properties"];
  std::string names;
  for (auto it = properties.begin(); it != properties.end(); ++it) names += (names.empty() ? "" : ", ") + it.key();
  const std::string takes = names.empty() ? "it takes no arguments" : "it takes: " + names;
  for (auto it = arguments.begin(); it != arguments.end(); ++it)
    if (!properties.contains(it.key())) return "unknown argument \"" + Shown(it.key()) + "\"; " + takes;
  if (schema.contains("required"))
    for (const TJson& name : schema["required"])
      if (!arguments.contains(name.get<std::string>()))
        return "missing argument \"" + name.get<std::string>() + "\": " + properties[name.get<std::string>()]["description"].get<std::string>();
  // A text longer than the schema allows is refused before any query sees it: closest-name
  // searches on it would cost time for nothing.
  auto tooLong = [](const TJson& value, const TJson& schema) {
    return value.is_string() && schema.contains("maxLength") && value.get_ref<const std::string&>().size() > schema["maxLength"].get<size_t>();
  };
  for (auto it = arguments.begin(); it != arguments.end(); ++it) {
    const TJson& property = properties[it.key()];
    if (!Fits(it.value(), property["type"]))
      return "argument \"" + it.key() + "\" must be " + Wanted(property["type"]) + ", not " + TypeName(it.value());
    if (tooLong(it.value(), property))
      return "argument \"" + it.key() + "\" is longer than " + property["maxLength"].dump() + " bytes";
    if (it.value().is_number() && property.contains("minimum") && it.value().get<double>() < property["minimum"].get<double>())
      return "argument \"" + it.key() + "\" must be at least " + property["minimum"].dump();
    if (it.value().is_number() && property.contains("maximum") && it.value().get<double>() > property["maximum"].get<double>())
      return "argument \"" + it.key() + "\" must be at most " + property["maximum"].dump();
    if (it.value().is_array() && property.contains("items")) {
      const TJson& items = property["items"];
      if (property.contains("maxItems") && it.value().size() > property["maxItems"].get<size_t>())
        return "argument \"" + it.key() + "\" has more than " + property["maxItems"].dump() + " elements";
      for (size_t i = 0; i < it.value().size(); ++i) {
        if (!Fits(it.value()[i], items["type"]))
          return "argument \"" + it.key() + "\": element " + std::to_string(i + 1) + " must be " + Wanted(items["type"]) +
                 ", not " + TypeName(it.value()[i]);
        if (tooLong(it.value()[i], items))
          return "argument \"" + it.key() + "\": element " + std::to_string(i + 1) + " is longer than " +
                 items["maxLength"].dump() + " bytes";
      }
    }
  }
  return {};
}

// --- the configuration --------------------------------------------------------------------

TMcpConfiguration::TMcpConfiguration(std::string path, TSessionOptions options)
    : Path_(std::move(path)), Options(std::move(options)) {
  Stamp = Look();
}

TMcpConfiguration::~TMcpConfiguration() = default;

TMcpConfiguration::TStamp TMcpConfiguration::Look() const {
  TStamp stamp;
  TSource source;
  std::string ignored;
  if (!FindSource(Path_, source, ignored)) return stamp;
  std::error_code code;
  const fs::path file(std::u8string(source.File.begin(), source.File.end()));
  stamp.Time = fs::last_write_time(file, code);
  if (code) return TStamp{};
  stamp.Size = fs::file_size(file, code);
  if (code) return TStamp{};
  stamp.Exists = true;
  return stamp;
}

bool TMcpConfiguration::Refresh() {
  TStamp now = Look();
  if (now == Stamp) return false;
  Stamp = now;
  Code_.reset();
  Contents_.reset();
  ContentsRead = false;
  Session_.reset();
  SessionTried = false;
  return true;
}

const TModel* TMcpConfiguration::Model(std::string& error) {
  const TContents* contents = Contents(error);
  return contents ? contents->Model.get() : nullptr;
}

const TContents* TMcpConfiguration::Contents(std::string& error) {
  if (!ContentsRead) {
    ContentsRead = true;
    auto contents = std::make_unique<TContents>();
    if (LoadContents(Path_, *contents, ContentsError)) {
      Contents_ = std::move(contents);
      // Made now, with the load, so that no question waits for them.
      Contents_->Model->TextIndex();
      Contents_->Model->Uses();
    }
  }
  if (!Contents_) error = Say("the configuration cannot be read: ", "конфигурация не читается: ") + ContentsError;
  return Contents_.get();
}

const TCodeBase* TMcpConfiguration::Code(std::string& error) {
  const TContents* contents = Contents(error);
  if (!contents) return nullptr;
  if (!Code_) {
    Code_ = std::make_unique<TCodeBase>();
    BuildCode(*contents, *Code_);
    ReadFolderFiles(Path_, *Code_);
  }
  return Code_.get();
}

TSession* TMcpConfiguration::Session(std::string& error) {
  if (!SessionTried) {
    SessionTried = true;
    auto session = std::make_unique<TSession>(Options);
    if (StartAndLoad(*session, Path_, SessionError)) Session_ = std::move(session);
  }
  if (!Session_) error = Say("the component cannot load the configuration: ", "компонента не загружает конфигурацию: ") + SessionError;
  return Session_.get();
}

// --- the protocol -------------------------------------------------------------------------

TMcpServer::TMcpServer(TMcpConfiguration& configuration) : Configuration(configuration) {
  for (const TMcpTool& tool : McpTools()) {
    InputSchemas.push_back(TJson::parse(tool.InputSchema));
    OutputSchemas.push_back(TJson::parse(tool.OutputSchema));
  }
}

bool TMcpServer::AtLeast(const char* version) const { return Version >= version; }

std::string TMcpServer::Handle(std::string_view line) {
  if (rpc::NestingDepth(line) > rpc::NestingMost)
    return JsonText(Failure(nullptr, InvalidRequest, "a message nested deeper than " + std::to_string(rpc::NestingMost) + " levels"));
  TJson parsed;
  try {
    parsed = TJson::parse(line.begin(), line.end());
  } catch (const TJson::exception& e) {
    return JsonText(Failure(nullptr, ParseError, std::string("parse error: ") + e.what()));
  }
  TJson answer;
  try {
    if (parsed.is_array()) {
      // Only the protocol revision of 2025-03-26 has batches; initialize never stands in one.
      if (Version != "2025-03-26")
        return JsonText(Failure(nullptr, InvalidRequest,
                                Initialized() ? "batches are not part of protocol version " + Version
                                              : std::string("a batch cannot initialize; send initialize alone")));
      if (parsed.empty()) return JsonText(Failure(nullptr, InvalidRequest, "an empty batch"));
      // Each answer fits a message, several together need not: the one that would pass the
      // bound is refused, and the client can ask it alone.
      std::string batch;
      for (const TJson& message : parsed) {
        TJson one = message.is_object() && message.value("method", TJson()) == "initialize"
                        ? Failure(message.value("id", TJson()), InvalidRequest, "initialize cannot stand in a batch")
                        : Message(message);
        if (one.is_null()) continue;
        std::string text = JsonText(one);
        if (batch.size() + text.size() + 2 > MessageMost)
          text = JsonText(Failure(one["id"], InternalError,
                                  "the batch's answers together would pass " + Megabytes(MessageMost) +
                                      ", more than one message may carry; send this request alone"));
        if (batch.size() + text.size() + 2 > MessageMost) continue;  // not even that fits: ids of megabytes
        batch += (batch.empty() ? "[" : ",") + text;
      }
      return batch.empty() ? std::string() : batch + "]";
    }
    answer = Message(parsed);
  } catch (const std::bad_alloc&) {
    answer = Failure(nullptr, InternalError, "out of memory");
  } catch (const std::exception& e) {
    answer = Failure(nullptr, InternalError, std::string("internal error: ") + e.what());
  }
  if (answer.is_null()) return {};
  std::string text = JsonText(answer);
  // Only an id of megabytes can bring an answer here: tools keep within their bound.
  if (text.size() > MessageMost)
    text = JsonText(Failure(nullptr, InternalError, "the answer would pass " + Megabytes(MessageMost) +
                                                        ", more than one message may carry (is the id that long?)"));
  return text;
}

TJson TMcpServer::Message(const TJson& message) {
  if (!message.is_object()) return Failure(nullptr, InvalidRequest, "a message is a JSON object");
  const bool hasId = message.contains("id");
  TJson id = hasId ? message["id"] : TJson();
  const bool goodId = hasId && (id.is_string() || id.is_number());
  const TJson replyId = goodId ? id : TJson();
  if (!message.contains("method")) {
    // A response to a request of ours; the server sends none, so it is only read.
    if (goodId && (message.contains("result") || message.contains("error"))) return nullptr;
    return Failure(replyId, InvalidRequest, "no \"method\"");
  }
  if (message.value("jsonrpc", TJson()) != "2.0") return Failure(replyId, InvalidRequest, "\"jsonrpc\" must be \"2.0\"");
  if (!message["method"].is_string()) return Failure(replyId, InvalidRequest, "\"method\" must be a string");
  if (hasId && !goodId) return Failure(nullptr, InvalidRequest, "\"id\" must be a string or a number");
  const std::string method = message["method"].get<std::string>();
  const TJson params = message.contains("params") ? message["params"] : TJson::object();
  if (!hasId) {
    // Notifications are never answered, known or not; initialized, cancelled and the like
    // need nothing from a server that answers every request before it reads the next.
    if (method != "notifications/initialized" && method.rfind("notifications/", 0) != 0)
      std::cerr << "ostrak mcp: notification " << Shown(method) << " ignored\n";
    return nullptr;
  }
  try {
    return Request(id, method, params);
  } catch (const std::bad_alloc&) {
    return Failure(id, InternalError, "out of memory");
  } catch (const std::exception& e) {
    return Failure(id, InternalError, std::string("internal error: ") + e.what());
  }
}

TJson TMcpServer::Request(const TJson& id, const std::string& method, const TJson& params) {
  if (!params.is_object()) return Failure(id, InvalidParams, "\"params\" must be an object");
  if (method == "ping") return Success(id, TJson::object());
  if (method == "initialize") {
    if (Initialized()) return Failure(id, InvalidRequest, "already initialized");
    if (!params.contains("protocolVersion") || !params["protocolVersion"].is_string())
      return Failure(id, InvalidParams, "initialize: \"protocolVersion\" must be a string");
    return Success(id, Initialize(params));
  }
  if (!Initialized()) return Failure(id, InvalidRequest, "not initialized: the first request must be initialize");
  if (method == "tools/list") return Success(id, ListTools());
  if (method == "tools/call") {
    if (!params.contains("name") || !params["name"].is_string())
      return Failure(id, InvalidParams, "tools/call: \"name\" must be a string");
    const std::string name = params["name"].get<std::string>();
    std::string names;
    bool known = false;
    for (const TMcpTool& tool : McpTools()) {
      names += std::string(names.empty() ? "" : ", ") + tool.Name;
      known = known || name == tool.Name;
    }
    if (!known) return Failure(id, InvalidParams, "unknown tool \"" + Shown(name) + "\"; the tools: " + names);
    if (params.contains("arguments") && !params["arguments"].is_object())
      return Failure(id, InvalidParams, "tools/call: \"arguments\" must be an object");
    return Success(id, CallTool(params));
  }
  return Failure(id, MethodNotFound, "no method \"" + Shown(method) + "\"; this server has initialize, ping, tools/list and tools/call");
}

TJson TMcpServer::Initialize(const TJson& params) {
  const std::string asked = params["protocolVersion"].get<std::string>();
  Version = McpVersions[0];
  for (size_t i = 0; i < McpVersionCount; ++i)
    if (asked == McpVersions[i]) Version = asked;
  TJson info = TJson{{"name", "kalamos"}, {"version", ComponentFileVersion("")}};
  if (info["version"] == "") info["version"] = "unknown";
  if (AtLeast("2025-06-18")) info["title"] = "kalamos: the configuration, asked directly";
  return TJson{
      {"protocolVersion", Version},
      {"capabilities", TJson{{"tools", TJson{{"listChanged", false}}}}},
      {"serverInfo", std::move(info)},
      {"instructions",
       "Answers questions about one configuration of the business-application host platform (" +
           Configuration.Path() +
           "): its objects, their attributes and types, where an object is used, attribute paths, identifiers; "
           "and runs the component's script functions. Names are Russian as the configuration writes them. "
           "Отвечает на вопросы об одной конфигурации: объекты, реквизиты и их типы, где используется объект, "
           "пути реквизитов, идентификаторы; вызывает функции компоненты."}};
}

TJson TMcpServer::ListTools() const {
  TJson tools = TJson::array();
  for (size_t i = 0; i < McpTools().size(); ++i) {
    const TMcpTool& row = McpTools()[i];
    TJson tool = TJson{{"name", row.Name}};
    if (AtLeast("2025-06-18")) tool["title"] = row.Title;
    tool["description"] = row.Description;
    tool["inputSchema"] = InputSchemas[i];
    if (AtLeast("2025-06-18")) tool["outputSchema"] = OutputSchemas[i];
    if (AtLeast("2025-03-26"))
      tool["annotations"] = TJson{{"title", row.Title},
                                  {"readOnlyHint", true},
                                  {"destructiveHint", false},
                                  {"idempotentHint", true},
                                  {"openWorldHint", false}};
    tools.push_back(std::move(tool));
  }
  return TJson{{"tools", std::move(tools)}};
}

TJson TMcpServer::CallTool(const TJson& params) {
  const std::string name = params["name"].get<std::string>();
  size_t index = 0;
  while (McpTools()[index].Name != name) ++index;
  const TJson arguments = params.contains("arguments") ? params["arguments"] : TJson::object();
  TToolResult result;
  const std::string wrong = CheckArguments(InputSchemas[index], arguments);
  if (!wrong.empty()) {
    result.IsError = true;
    result.Text = name + ": " + wrong;
  } else {
    if (Configuration.Refresh())
      std::cerr << "ostrak mcp: " << Configuration.Path() << Say(" changed; read again\n", " изменился; прочитан заново\n");
    result = McpTools()[index].Run(Configuration, arguments);
  }
  auto answer = [&] {
    TJson out = TJson{{"content", TJson::array({TJson{{"type", "text"}, {"text", std::move(result.Text)}}})}};
    if (!result.IsError && AtLeast("2025-06-18")) out["structuredContent"] = std::move(result.Structured);
    out["isError"] = result.IsError;
    return out;
  };
  TJson out = answer();
  if (const size_t size = result.IsError ? 0 : JsonText(out).size(); size > ToolAnswerMost) {
    std::string names;
    for (auto it = InputSchemas[index]["properties"].begin(); it != InputSchemas[index]["properties"].end(); ++it)
      names += (names.empty() ? "" : ", ") + it.key();
    result = TToolResult{};
    result.IsError = true;
    result.Text = name + ": the answer is " + Megabytes(size) + ", more than one message may carry (" +
                  Megabytes(ToolAnswerMost) + "); ask for a part of it (its arguments: " + names +
                  "), or a narrower question: find, resolve_path, search_modules. / Ответ больше, чем вмещает одно "
                  "сообщение; запросите его часть или задайте вопрос уже.";
    out = answer();
  }
  return out;
}

// --- standard input and output ------------------------------------------------------------

int RunMcp(const TSessionOptions& options, const std::string& path) {
  // Standard output carries the protocol alone: whatever else would be printed there goes to
  // standard error, and the messages go through a descriptor of their own.
  std::fflush(stdout);
  std::FILE* out = TakeStandardOutput();
  if (!out) {
    Err("ostrak: mcp: cannot write to standard output\n");
    return ExitFailed;
  }

  TMcpConfiguration configuration(path, options);
  std::string error;
  if (const TModel* model = configuration.Model(error))
    std::cerr << "ostrak mcp: " << path << ": " << model->Objects().size()
              << Say(" objects; serving on standard input and output\n", " объектов; отвечаю на стандартных вводе и выводе\n");
  else
    std::cerr << "ostrak mcp: " << error
              << Say("; serving anyway, every tool call says so until it can be read\n",
                     "; отвечаю всё равно: каждый вызов инструмента скажет об этом, пока конфигурация не прочитается\n");

  TMcpServer server(configuration);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::string answer = server.Handle(line);
    if (answer.empty()) continue;
    answer += '\n';
    if (std::fwrite(answer.data(), 1, answer.size(), out) != answer.size() || std::fflush(out) != 0) break;
  }
  std::fclose(out);
  return ExitOk;
}

}  // namespace kalamos
