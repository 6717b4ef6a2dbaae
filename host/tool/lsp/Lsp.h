// ostrak lsp: a Language Server Protocol server over an unpacked configuration. Messages are
// JSON-RPC 2.0 framed by Content-Length on standard input and output; the answers come from the
// code model (procedures, calls, checks) and the configuration model (objects, attributes).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/tool/answers/Json.h"

namespace kalamos {

// Positions: the protocol counts lines from 0 and characters in UTF-16 code units; the code
// model counts lines from 1 and columns in characters. In broken UTF-8 a byte that starts no
// letter is one character and one unit, the continuation bytes after it going with it.
// The UTF-16 units in the first `bytes` bytes of a line.
size_t Utf16Units(std::string_view line, size_t bytes);
// The byte of a line that `units` UTF-16 units reach: never inside a letter, the line's end at most.
size_t ByteOfUnits(std::string_view line, size_t units);
// A file URI as a path: UTF-8, parted by "/", "C:/..." for a drive (its letter in upper case);
// empty when it is no file URI.
std::string PathOfUri(std::string_view uri);
// A path as a URI's path: bytes other than letters, digits, "-._~/" percent-encoded.
std::string UriEscaped(std::string_view path);

// What the editor has of one open document.
struct TLspDocument {
  std::string Text;
  int64_t Version = 0;
  int Module = -1;  // in the workspace's module set; -1 when it is none of its modules
};

// The configuration the server answers about and the documents open on it. Every method
// answers with the protocol's result (null or an empty list when a document is not the
// workspace's).
class TLspWorkspace {
public:
  TLspWorkspace();
  ~TLspWorkspace();
  // Reads the configuration at path: an unpacked folder (its modules are its files, under
  // rootUri) or a container, read only (then every open document is a module of its own
  // beside the container's). False with a message for people.
  bool Open(const std::string& path, const std::string& rootUri, std::string& error);

  // Text synchronisation. Each gives the documents whose diagnostics may have changed.
  std::vector<std::string> DidOpen(const std::string& uri, std::string text, int64_t version);
  // changes: the protocol's contentChanges (a range and its new text, or the whole text).
  std::vector<std::string> DidChange(const std::string& uri, const TJson& changes, int64_t version);
  std::vector<std::string> DidClose(const std::string& uri);
  // Files changed on disk: a module's file is read again (unless open); an object's description
  // or the manifest reads the whole configuration again; other files change nothing.
  std::vector<std::string> FilesChanged(const std::vector<std::string>& uris);

  TJson Diagnostics(const std::string& uri);  // the publishDiagnostics params
  TJson DocumentSymbols(const std::string& uri);
  TJson Definition(const std::string& uri, const TJson& position);
  TJson References(const std::string& uri, const TJson& position, bool withDeclaration);
  TJson Hover(const std::string& uri, const TJson& position);
  TJson Completion(const std::string& uri, const TJson& position);
  TJson WorkspaceSymbols(const std::string& query);

  struct TState;

private:
  std::string Root;  // the URI every module's file is named under
  std::unique_ptr<TState> State;
  std::map<std::string, TLspDocument> Documents;
  int ModuleOf(const std::string& uri);
  std::string UriOf(int module) const;
  // Where a procedure's name stands in its module; null when the module has no file.
  TJson DeclarationOf(int module, int procedure) const;
  std::vector<std::string> Republish(int module);
};

// The protocol's state for one client: takes one message's body, gives the messages to write
// (answers, and notifications such as diagnostics). exit ends it.
class TLspServer {
public:
  // folder: FOLDER of the command line, empty when the client names the workspace.
  explicit TLspServer(std::string folder);
  std::vector<std::string> Handle(std::string_view body);
  // An error answer for a message that could not be read at all.
  static std::string Refusal(int code, const std::string& message);
  bool Ended() const { return Exited; }
  // exit's status: 0 after shutdown, 1 without.
  int Status() const { return ShutDown ? 0 : 1; }

private:
  TJson Request(const TJson& id, const std::string& method, const TJson& params, std::vector<TJson>& out);
  void Notification(const std::string& method, const TJson& params, std::vector<TJson>& out);
  TJson Initialize(const TJson& params, std::vector<TJson>& out);
  void Publish(const std::vector<std::string>& uris, std::vector<TJson>& out);
  std::string Folder;
  TLspWorkspace Workspace;
  bool Initialized = false, ShutDown = false, Exited = false;
  bool WatchFiles = false;  // the client lets the server register for file changes
  int64_t NextId = 1;
};

// The most one message's body may weigh: larger ones are read past and refused.
constexpr size_t LspMessageMost = size_t(32) << 20;

// Serves on standard input and output until exit (or the input ends); exit's status.
int RunLsp(const std::string& folder);

}  // namespace kalamos
