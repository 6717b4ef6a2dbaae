// The protocol side of ostrak lsp: messages framed by Content-Length, the lifecycle, text
// synchronisation and the requests handed to the workspace.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>

#include "code/Letters.h"
#include "host/Session.h"
#include "host/tool/answers/JsonRpc.h"
#include "host/tool/ground/Ground.h"
#include "host/tool/lsp/Lsp.h"
#include "platform/Console.h"
#include "platform/Text.h"

namespace kalamos {

namespace fs = std::filesystem;

namespace {
using rpc::Failure;
using rpc::InternalError;
using rpc::InvalidParams;
using rpc::InvalidRequest;
using rpc::MethodNotFound;
using rpc::ParseError;
using rpc::Shown;
using rpc::Success;
constexpr int ServerNotInitialized = -32002;

std::string Framed(const TJson& message) {
  const std::string body = JsonText(message);
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TJson Notice(const std::string& method, TJson params) {
  return TJson{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

// A folder's URI, for a workspace the command line names.
std::string UriOfFolder(const std::string& folder) {
  std::error_code code;
  fs::path absolute = fs::absolute(PathOf(folder), code);
  if (code) absolute = PathOf(folder);
  const std::u8string generic = absolute.lexically_normal().generic_u8string();
  std::string path(generic.begin(), generic.end());
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (!path.empty() && path[0] != '/') path = "/" + path;  // C:/x
  return "file://" + UriEscaped(path);
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code code;
  return !a.empty() && !b.empty() && fs::equivalent(PathOf(a), PathOf(b), code);
}

std::string TextParam(const TJson& params, const char* object, const char* member) {
  if (!params.contains(object) || !params[object].is_object()) return {};
  const TJson& o = params[object];
  return o.contains(member) && o[member].is_string() ? o[member].get<std::string>() : std::string();
}
}  // namespace

TLspServer::TLspServer(std::string folder) : Folder(std::move(folder)) {}

std::string TLspServer::Refusal(int code, const std::string& message) { return Framed(Failure(nullptr, code, message)); }

std::vector<std::string> TLspServer::Handle(std::string_view body) {
  std::vector<TJson> out;
  TJson message;
  if (rpc::NestingDepth(body) > rpc::NestingMost) {
    out.push_back(Failure(nullptr, InvalidRequest, "a message nested deeper than " + std::to_string(rpc::NestingMost) + " levels"));
  } else {
    try {
      message = TJson::parse(body.begin(), body.end());
    } catch (const TJson::exception& e) {
      out.push_back(Failure(nullptr, ParseError, std::string("parse error: ") + e.what()));
    }
  }
  if (out.empty()) {
    if (!message.is_object()) {
      out.push_back(Failure(nullptr, InvalidRequest, "a message is a JSON object (batches are not part of this protocol)"));
    } else {
      const bool hasId = message.contains("id");
      const TJson id = hasId ? message["id"] : TJson();
      const bool goodId = hasId && (id.is_string() || id.is_number_integer());
      if (!message.contains("method")) {
        // An answer to a request of ours (client/registerCapability): only read.
        if (!(goodId && (message.contains("result") || message.contains("error"))))
          out.push_back(Failure(goodId ? id : TJson(), InvalidRequest, "no \"method\""));
      } else if (message.value("jsonrpc", TJson()) != "2.0" || !message["method"].is_string()) {
        out.push_back(Failure(goodId ? id : TJson(), InvalidRequest, "\"jsonrpc\" must be \"2.0\" and \"method\" a string"));
      } else if (hasId && !goodId) {
        out.push_back(Failure(nullptr, InvalidRequest, "\"id\" must be a string or a whole number"));
      } else {
        const std::string method = message["method"].get<std::string>();
        const TJson params = message.contains("params") ? message["params"] : TJson::object();
        try {
          if (hasId) {
            TJson answer = Request(id, method, params, out);
            out.insert(out.begin(), std::move(answer));
          } else {
            Notification(method, params, out);
          }
        } catch (const std::bad_alloc&) {
          if (hasId) out.insert(out.begin(), Failure(id, InternalError, "out of memory"));
        } catch (const std::exception& e) {
          if (hasId) out.insert(out.begin(), Failure(id, InternalError, std::string("internal error: ") + e.what()));
          else std::cerr << "ostrak lsp: " << method << ": " << e.what() << "\n";
        }
      }
    }
  }
  std::vector<std::string> framed;
  for (const TJson& m : out) framed.push_back(Framed(m));
  return framed;
}

TJson TLspServer::Request(const TJson& id, const std::string& method, const TJson& params, std::vector<TJson>& out) {
  if (method == "initialize") {
    if (Initialized) return Failure(id, InvalidRequest, "already initialized");
    if (!params.is_object()) return Failure(id, InvalidParams, "initialize: \"params\" must be an object");
    return Success(id, Initialize(params, out));
  }
  if (!Initialized) return Failure(id, ServerNotInitialized, "not initialized: the first request must be initialize");
  if (method == "shutdown") {
    ShutDown = true;
    return Success(id, nullptr);
  }
  if (ShutDown) return Failure(id, InvalidRequest, "the server is shut down; only exit is left");
  if (!params.is_object()) return Failure(id, InvalidParams, "\"params\" must be an object");
  const std::string uri = TextParam(params, "textDocument", "uri");
  const TJson position = params.contains("position") ? params["position"] : TJson();
  if (method == "textDocument/documentSymbol") return Success(id, Workspace.DocumentSymbols(uri));
  if (method == "textDocument/definition") return Success(id, Workspace.Definition(uri, position));
  if (method == "textDocument/references") {
    bool declaration = false;
    if (params.contains("context") && params["context"].is_object())
      declaration = params["context"].value("includeDeclaration", false);
    return Success(id, Workspace.References(uri, position, declaration));
  }
  if (method == "textDocument/hover") return Success(id, Workspace.Hover(uri, position));
  if (method == "textDocument/completion") return Success(id, Workspace.Completion(uri, position));
  if (method == "workspace/symbol") {
    const std::string query = params.contains("query") && params["query"].is_string() ? params["query"].get<std::string>() : "";
    return Success(id, Workspace.WorkspaceSymbols(query));
  }
  return Failure(id, MethodNotFound, "no method \"" + Shown(method) + "\"");
}

void TLspServer::Notification(const std::string& method, const TJson& params, std::vector<TJson>& out) {
  if (method == "exit") {
    Exited = true;
    return;
  }
  // Before initialize, and after shutdown, notifications are dropped.
  if (!Initialized || ShutDown || !params.is_object()) return;
  const std::string uri = TextParam(params, "textDocument", "uri");
  if (method == "initialized") {
    if (WatchFiles) {
      // Files changed on disk by other programs (git, ostrak unpack) come back to us.
      TJson watchers = TJson::array({TJson{{"globPattern", "**/*"}}});
      out.push_back(TJson{{"jsonrpc", "2.0"},
                          {"id", "watch-" + std::to_string(NextId++)},
                          {"method", "client/registerCapability"},
                          {"params", TJson{{"registrations", TJson::array({TJson{
                                                                 {"id", "ostrak-files"},
                                                                 {"method", "workspace/didChangeWatchedFiles"},
                                                                 {"registerOptions", TJson{{"watchers", watchers}}}}})}}}});
    }
  } else if (method == "textDocument/didOpen") {
    const TJson& document = params.value("textDocument", TJson::object());
    if (uri.empty() || !document.contains("text") || !document["text"].is_string()) return;
    const int64_t version = document.contains("version") && document["version"].is_number_integer() ? document["version"].get<int64_t>() : 0;
    Publish(Workspace.DidOpen(uri, document["text"].get<std::string>(), version), out);
  } else if (method == "textDocument/didChange") {
    if (uri.empty() || !params.contains("contentChanges") || !params["contentChanges"].is_array()) return;
    const TJson& document = params["textDocument"];
    const int64_t version = document.contains("version") && document["version"].is_number_integer() ? document["version"].get<int64_t>() : 0;
    Publish(Workspace.DidChange(uri, params["contentChanges"], version), out);
  } else if (method == "textDocument/didClose") {
    std::vector<std::string> uris = Workspace.DidClose(uri);
    // What was said about a closed document is taken back.
    out.push_back(Notice("textDocument/publishDiagnostics", TJson{{"uri", uri}, {"diagnostics", TJson::array()}}));
    Publish(uris, out);
  } else if (method == "workspace/didChangeWatchedFiles") {
    std::vector<std::string> uris;
    if (params.contains("changes") && params["changes"].is_array())
      for (const TJson& change : params["changes"])
        if (change.is_object() && change.contains("uri") && change["uri"].is_string()) uris.push_back(change["uri"].get<std::string>());
    Publish(Workspace.FilesChanged(uris), out);
  }
  // Others ($/cancelRequest, didSave, setTrace...) need nothing: every request is answered
  // before the next is read.
}

void TLspServer::Publish(const std::vector<std::string>& uris, std::vector<TJson>& out) {
  for (const std::string& uri : uris) out.push_back(Notice("textDocument/publishDiagnostics", Workspace.Diagnostics(uri)));
}

TJson TLspServer::Initialize(const TJson& params, std::vector<TJson>& out) {
  Initialized = true;
  // The workspace: the client's folder, or the command line's when the client names none or
  // another.
  std::string clientUri;
  if (params.contains("workspaceFolders") && params["workspaceFolders"].is_array() && !params["workspaceFolders"].empty() &&
      params["workspaceFolders"][0].is_object())
    clientUri = params["workspaceFolders"][0].value("uri", std::string());
  if (clientUri.empty() && params.contains("rootUri") && params["rootUri"].is_string()) clientUri = params["rootUri"].get<std::string>();
  if (clientUri.empty() && params.contains("rootPath") && params["rootPath"].is_string())
    clientUri = UriOfFolder(params["rootPath"].get<std::string>());
  std::string folder = Folder, rootUri = clientUri;
  if (folder.empty()) folder = PathOfUri(clientUri);
  else if (!SameFolder(folder, PathOfUri(clientUri))) rootUri = UriOfFolder(folder);
  if (folder.empty()) {
    std::cerr << Say("ostrak lsp: no workspace: the client named no folder and none was given; every answer is empty\n",
                     "ostrak lsp: нет рабочей папки: клиент ее не назвал, в командной строке ее нет; все ответы пустые\n");
  } else {
    std::string error;
    if (Workspace.Open(folder, rootUri, error))
      std::cerr << "ostrak lsp: " << folder << Say(": serving\n", ": готов\n");
    else
      std::cerr << "ostrak lsp: " << error << Say("; every answer is empty\n", "; все ответы пустые\n");
  }
  const TJson& capabilities = params.value("capabilities", TJson::object());
  if (capabilities.is_object() && capabilities.contains("workspace") && capabilities["workspace"].is_object()) {
    const TJson& workspace = capabilities["workspace"];
    WatchFiles = workspace.contains("didChangeWatchedFiles") && workspace["didChangeWatchedFiles"].is_object() &&
                 workspace["didChangeWatchedFiles"].value("dynamicRegistration", false);
  }
  std::string version = ComponentFileVersion("");
  return TJson{
      {"capabilities",
       TJson{{"positionEncoding", "utf-16"},
             {"textDocumentSync", TJson{{"openClose", true}, {"change", 2}}},
             {"documentSymbolProvider", true},
             {"definitionProvider", true},
             {"referencesProvider", true},
             {"hoverProvider", true},
             {"completionProvider", TJson{{"triggerCharacters", TJson::array({"."})}, {"resolveProvider", false}}},
             {"workspaceSymbolProvider", true}}},
      {"serverInfo", TJson{{"name", "ostrak"}, {"version", version.empty() ? "unknown" : version}}}};
}

// --- standard input and output ------------------------------------------------------------

namespace {
// Standard input: headers a character at a time, bodies by their length (never waiting for
// more than the message holds).
class TInput {
public:
  // One header line without its line end; false at the end of input or on a line longer than most.
  bool Line(std::string& line, size_t most, bool& tooLong) {
    line.clear();
    tooLong = false;
    for (int c; (c = std::getc(stdin)) != EOF;) {
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      if (line.size() >= most) {
        tooLong = true;
        return false;
      }
      line += char(c);
    }
    return false;
  }
  // length bytes into body (or, with keep false, read past them); false when the input ends first.
  // The length is 64-bit: a 32-bit build must read past a message of more than 4 GB too.
  bool Body(uint64_t length, std::string& body, bool keep) {
    body.clear();
    if (keep) {
      body.resize(size_t(length));
      return std::fread(body.data(), 1, body.size(), stdin) == body.size();
    }
    char chunk[1 << 16];
    while (length > 0) {
      const size_t n = size_t(std::min<uint64_t>(length, sizeof chunk));
      if (std::fread(chunk, 1, n, stdin) != n) return false;
      length -= n;
    }
    return true;
  }
};
}  // namespace

int RunLsp(const std::string& folder) {
  // Standard output carries the protocol alone.
  std::fflush(stdout);
  std::FILE* out = TakeStandardOutput();
  if (!out) {
    Err("ostrak: lsp: cannot write to standard output\n");
    return ExitFailed;
  }
  auto write = [&](const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
  };
  TLspServer server(folder);
  TInput input;
  std::string line, body;
  int status = 1;  // the input ended without exit
  for (bool going = true; going;) {
    // Headers up to an empty line; only Content-Length matters.
    int64_t length = -1;
    bool any = false, tooLong = false;
    for (;;) {
      if (!input.Line(line, 4096, tooLong)) {
        if (tooLong) {
          write(TLspServer::Refusal(InvalidRequest, "a header line longer than 4096 bytes: not this protocol; closing"));
          std::cerr << "ostrak lsp: a header line longer than 4096 bytes; closing\n";
        }
        going = false;
        break;
      }
      if (line.empty()) {
        if (any) break;
        continue;  // blank lines between messages
      }
      any = true;
      const size_t colon = line.find(':');
      if (colon != std::string::npos && code::SameName(line.substr(0, colon), "Content-Length")) {
        const std::string value = line.substr(colon + 1);
        const size_t first = value.find_first_not_of(" \t");
        length = 0;
        for (size_t i = first; i < value.size() && length >= 0; ++i) {
          if (value[i] == ' ' || value[i] == '\t') break;
          if (value[i] < '0' || value[i] > '9' || length > (int64_t(1) << 40)) length = -1;
          else length = length * 10 + (value[i] - '0');
        }
        if (first == std::string::npos) length = -1;
      }
    }
    if (!going) break;
    if (length < 0) {
      // Without a length the next message cannot be found.
      write(TLspServer::Refusal(InvalidRequest, "a message without a valid Content-Length header; closing"));
      std::cerr << "ostrak lsp: a message without a valid Content-Length; closing\n";
      break;
    }
    if (uint64_t(length) > LspMessageMost) {
      // Read past, never held: the client gets an error and the server goes on.
      const bool whole = input.Body(uint64_t(length), body, false);
      write(TLspServer::Refusal(InvalidRequest, "a message of " + std::to_string(length) + " bytes, more than the " +
                                                    std::to_string(LspMessageMost) + " this server takes; ignored"));
      if (!whole) break;
      continue;
    }
    if (!input.Body(uint64_t(length), body, true)) break;
    bool written = true;
    for (const std::string& message : server.Handle(body)) written = written && write(message);
    if (!written) break;
    if (server.Ended()) {
      status = server.Status();
      break;
    }
  }
  if (!server.Ended() && std::feof(stdin)) status = server.Status();
  std::fclose(out);
  return status;
}

}  // namespace kalamos
