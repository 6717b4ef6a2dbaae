// What ostrak lsp knows of its workspace: the configuration's model, its modules parsed once
// and each open document parsed again as it changes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "code/Letters.h"
#include "code/Navigation.h"
#include "host/tool/answers/Code.h"
#include "host/tool/ground/Ground.h"
#include "platform/Text.h"
#include "host/tool/folder/Folder.h"
#include "host/tool/lsp/Lsp.h"
#include "host/tool/lsp/LspComponent.h"
#include "host/tool/lsp/LspState.h"
#include "metadata/Kinds.h"
#include "methods/Functions.h"

namespace kalamos {

namespace fs = std::filesystem;

// --- positions and URIs ---------------------------------------------------------------------

size_t Utf16Units(std::string_view line, size_t bytes) {
  size_t units = 0;
  for (size_t i = 0; i < bytes && i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if ((c & 0xC0) == 0x80 && i > 0) continue;  // inside a letter
    units += c >= 0xF0 && c <= 0xF4 ? 2 : 1;  // past the basic plane: a surrogate pair
  }
  return units;
}

size_t ByteOfUnits(std::string_view line, size_t units) {
  size_t at = 0, counted = 0;
  while (at < line.size() && counted < units) {
    const unsigned char c = static_cast<unsigned char>(line[at]);
    counted += c >= 0xF0 && c <= 0xF4 ? 2 : 1;
    ++at;
    while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

std::string PathOfUri(std::string_view uri) {
  constexpr std::string_view scheme = "file://";
  if (uri.size() < scheme.size() || !code::SameName(uri.substr(0, scheme.size()), scheme)) return {};
  uri.remove_prefix(scheme.size());
  // file://host/path names a share; only the local host is ours.
  const size_t slash = uri.find('/');
  if (slash == std::string_view::npos) return {};
  const std::string_view host = uri.substr(0, slash);
  if (!host.empty() && host != "localhost") return {};
  uri.remove_prefix(slash);
  std::string path;
  for (size_t i = 0; i < uri.size(); ++i) {
    auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
    if (uri[i] == '%' && i + 2 < uri.size() + 0 && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
      path += char(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
      i += 2;
    } else if (uri[i] == '?' || uri[i] == '#') {
      break;
    } else {
      path += uri[i];
    }
  }
  // "/c:/x" is the drive C's folder x.
  if (path.size() >= 3 && path[0] == '/' && std::isalpha(static_cast<unsigned char>(path[1])) && path[2] == ':') {
    path.erase(0, 1);
    path[0] = char(std::toupper(static_cast<unsigned char>(path[0])));
  }
  while (path.size() > 1 && path.back() == '/' && path[path.size() - 2] != ':') path.pop_back();
  return path;
}

std::string UriEscaped(std::string_view path) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += char(c);
    } else {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}

namespace {
std::string ReadFile(const fs::path& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = bool(in);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TLspWorkspace::TLspWorkspace() = default;
TLspWorkspace::~TLspWorkspace() = default;

bool TLspWorkspace::Open(const std::string& path, const std::string& rootUri, std::string& error) {
  auto state = std::make_unique<TState>();
  state->Path = path;
  if (!LoadContents(path, state->Contents, error)) return false;
  BuildCode(state->Contents, state->Base);
  state->Unpacked = IsUnpackedFolder(path);
  state->FileOf.resize(size_t(state->Base.Set.Count()));
  if (state->Unpacked) {
    state->Folder = PathOf(path);
    ReadFolderFiles(path, state->Base);
    for (int m = 0; m < state->Base.Set.Count(); ++m) {
      const auto file = state->Base.Files.find(state->Base.Streams[size_t(m)]->Stream->Path);
      if (file == state->Base.Files.end()) continue;
      state->ModuleByFile[file->second] = m;
      // Its text came from the container built of the folder's files: the same lines and columns.
      state->FileOf[size_t(m)] = file->second;
    }
  }
  Root = rootUri;
  while (!Root.empty() && Root.back() == '/') Root.pop_back();
  State = std::move(state);
  // Documents already open are served from the configuration read now.
  for (auto& [uri, document] : Documents) {
    document.Module = -1;
    document.Module = ModuleOf(uri);
    if (document.Module >= 0) State->Replace(document.Module, document.Text);
  }
  return true;
}

int TLspWorkspace::ModuleOf(const std::string& uri) {
  if (!State) return -1;
  if (const auto open = Documents.find(uri); open != Documents.end() && open->second.Module >= 0) return open->second.Module;
  if (!State->Unpacked) {
    // A container has no files: an open document is a module of its own beside it.
    const auto open = Documents.find(uri);
    if (open == Documents.end()) return -1;
    open->second.Module = State->Add(uri, open->second.Text);
    return open->second.Module;
  }
  const std::string path = PathOfUri(uri), root = PathOfUri(Root);
  if (path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 || path[root.size()] != '/') return -1;
  const auto it = State->ModuleByFile.find(path.substr(root.size() + 1));
  return it == State->ModuleByFile.end() ? -1 : it->second;
}

std::string TLspWorkspace::UriOf(int module) const {
  if (!State || module < 0 || size_t(module) >= State->FileOf.size()) return {};
  if (!State->Unpacked) {
    for (const auto& [uri, document] : Documents)
      if (document.Module == module) return uri;
    return {};
  }
  const std::string& file = State->FileOf[size_t(module)];
  return file.empty() ? std::string() : Root + "/" + UriEscaped(file);
}

// --- text synchronisation -------------------------------------------------------------------

std::vector<std::string> TLspWorkspace::Republish(int module) {
  std::vector<std::string> uris;
  const bool global = State && module >= 0 && module == State->Base.Set.Global();
  for (const auto& [uri, document] : Documents)
    if (document.Module >= 0 && (global || document.Module == module)) uris.push_back(uri);
  return uris;
}

std::vector<std::string> TLspWorkspace::DidOpen(const std::string& uri, std::string text, int64_t version) {
  TLspDocument& document = Documents[uri];
  document.Text = std::move(text);
  document.Version = version;
  document.Module = -1;
  document.Module = ModuleOf(uri);
  if (document.Module < 0) return {uri};
  State->Replace(document.Module, document.Text);
  return Republish(document.Module);
}

std::vector<std::string> TLspWorkspace::DidChange(const std::string& uri, const TJson& changes, int64_t version) {
  const auto it = Documents.find(uri);
  if (it == Documents.end()) return {};
  TLspDocument& document = it->second;
  for (const TJson& change : changes) {
    if (!change.is_object() || !change.contains("text") || !change["text"].is_string()) continue;
    const std::string& text = change["text"].get_ref<const std::string&>();
    if (!change.contains("range")) {
      document.Text = text;
      continue;
    }
    // A position as a byte of the text: past the end of a line is its end, past the last line the text's end.
    auto offset = [&](const TJson& position) {
      const int64_t line = position.value("line", int64_t(0)), character = position.value("character", int64_t(0));
      size_t begin = 0;
      for (int64_t l = 0; l < line; ++l) {
        const size_t next = document.Text.find('\n', begin);
        if (next == std::string::npos) return document.Text.size();
        begin = next + 1;
      }
      size_t end = document.Text.find('\n', begin);
      if (end == std::string::npos) end = document.Text.size();
      if (end > begin && document.Text[end - 1] == '\r') --end;
      return begin + ByteOfUnits(std::string_view(document.Text).substr(begin, end - begin), size_t(std::max<int64_t>(character, 0)));
    };
    const TJson& range = change["range"];
    if (!range.is_object() || !range.contains("start") || !range.contains("end")) continue;
    const size_t from = offset(range["start"]), to = offset(range["end"]);
    document.Text.replace(std::min(from, to), (std::max(from, to) - std::min(from, to)), text);
  }
  document.Version = version;
  if (document.Module < 0) return {};
  State->Replace(document.Module, document.Text);
  return Republish(document.Module);
}

std::vector<std::string> TLspWorkspace::DidClose(const std::string& uri) {
  const auto it = Documents.find(uri);
  if (it == Documents.end()) return {};
  const int module = it->second.Module;
  Documents.erase(it);
  if (module < 0 || !State) return {};
  // Back to what the disk holds.
  std::string text;
  if (State->Unpacked) {
    bool ok = false;
    text = ReadFile(State->Folder / PathOf(State->FileOf[size_t(module)]), ok);
  }
  State->Replace(module, text);
  return Republish(module);
}

std::vector<std::string> TLspWorkspace::FilesChanged(const std::vector<std::string>& uris) {
  if (!State) return {};
  std::vector<std::string> affected;
  bool whole = false;
  for (const std::string& uri : uris) {
    const std::string path = PathOfUri(uri), root = PathOfUri(Root);
    if (path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0) continue;
    const std::string file = path.substr(root.size() + 1);
    const auto it = State->ModuleByFile.find(file);
    if (it == State->ModuleByFile.end()) {
      // An object's description or the manifest (a module added or removed): the configuration
      // read anew. Layouts, forms, an editor's own files change nothing we answer.
      const std::string_view description = "Метаданные.txt";
      if (file == FolderManifest ||
          (file.size() >= description.size() && file.compare(file.size() - description.size(), description.size(), description) == 0))
        whole = true;
      continue;
    }
    if (Documents.count(uri)) continue;  // the editor's text stands
    bool ok = false;
    const std::string text = ReadFile(State->Folder / PathOf(file), ok);
    State->Replace(it->second, ok ? text : std::string());
    for (const std::string& u : Republish(it->second)) affected.push_back(u);
  }
  if (whole) {
    std::string error;
    const std::string path = State->Path;
    if (!Open(path, Root, error)) {
      Err("ostrak lsp: " + error + "\n");
      return {};
    }
    affected.clear();
    for (const auto& [uri, document] : Documents) affected.push_back(uri);
  }
  return affected;
}
}  // namespace kalamos
