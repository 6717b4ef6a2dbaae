// What ostrak lsp knows of its workspace: the configuration's model, its modules parsed once
// and each open document parsed again as it changes; the answers to an editor's questions.
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

// --- the configuration's objects ------------------------------------------------------------

constexpr code::TObjectKind CodeKinds[] = {code::TObjectKind::Catalog, code::TObjectKind::Document, code::TObjectKind::Enum,
                                           code::TObjectKind::Register, code::TObjectKind::Report, code::TObjectKind::Processing,
                                           code::TObjectKind::Journal, code::TObjectKind::Constant};

int ModelKind(code::TObjectKind kind) {
  switch (kind) {
    case code::TObjectKind::Catalog: return KindReference;
    case code::TObjectKind::Document: return KindDocument;
    case code::TObjectKind::Enum: return KindEnum;
    case code::TObjectKind::Register: return KindRegister;
    case code::TObjectKind::Report: return KindReport;
    case code::TObjectKind::Processing: return KindProcessing;
    case code::TObjectKind::Journal: return KindDocJournal;
    case code::TObjectKind::Constant: return KindConst;
  }
  return -1;
}

// The kind a word of module text names ("справочник"), -1 for none.
int KindOfWord(std::string_view word) {
  for (code::TObjectKind kind : CodeKinds)
    if (code::SameName(word, code::KindWord(kind))) return ModelKind(kind);
  return -1;
}

// The identifier characters that end text, and where they begin.
size_t IdentStartBefore(std::string_view text, size_t end) {
  size_t at = end;
  while (at > 0) {
    const unsigned char c = static_cast<unsigned char>(text[at - 1]);
    if (c < 0x80 && code::IdentCharAt(text, at - 1)) --at;
    else if (at >= 2 && (c & 0xC0) == 0x80 && code::IdentCharAt(text, at - 2) == 2) at -= 2;
    else break;
  }
  return at;
}

const char* const Keywords[] = {"Процедура", "Функция", "КонецПроцедуры", "КонецФункции", "Экспорт", "Далее", "Знач",
                                "Перем", "Если", "Тогда", "ИначеЕсли", "Иначе", "КонецЕсли", "Пока", "Для", "По",
                                "Цикл", "КонецЦикла", "Попытка", "Исключение", "КонецПопытки", "Возврат",
                                "Продолжить", "Прервать", "Перейти", "И", "Или", "Не"};

// The protocol's kinds.
constexpr int SymbolClass = 5, SymbolEnum = 10, SymbolFunction = 12, SymbolVariable = 13, SymbolConstant = 14;
constexpr int CompletionMethod = 2, CompletionFunction = 3, CompletionVariable = 6, CompletionClass = 7,
              CompletionEnumMember = 20, CompletionKeyword = 14;

TJson Position(int line, size_t character) { return TJson{{"line", line}, {"character", character}}; }

std::string ReadFile(const fs::path& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = bool(in);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

struct TLspWorkspace::TState {
  std::string Path;      // the folder or container, as given
  fs::path Folder;       // the unpacked folder; empty for a container
  bool Unpacked = false;
  TContents Contents;
  TCodeBase Base;
  std::map<std::string, int> ModuleByFile;  // file relative to the folder -> module
  std::vector<std::string> FileOf;          // module -> file relative to the folder ("" none)
  std::vector<std::optional<TComponentUse>> Component;  // per module, found when first asked

  const TModel& Model() const { return *Contents.Model; }
  const code::TModule& Module(int m) const { return Base.Set.Module(m); }
  const TComponentUse& ComponentOf(int m) {
    if (size_t(m) >= Component.size()) Component.resize(size_t(Base.Set.Count()));
    if (!Component[size_t(m)]) Component[size_t(m)] = FindComponentUse(Module(m));
    return *Component[size_t(m)];
  }
  void Replace(int m, std::string_view text) {
    Base.Set.Replace(m, text);
    if (size_t(m) < Component.size()) Component[size_t(m)].reset();
  }
  int Add(const std::string& name, std::string_view text) {
    const int m = Base.Set.Add(name, text);
    Base.Streams.push_back(nullptr);
    Base.Objects.push_back(-1);
    FileOf.emplace_back();
    return m;
  }
  // The object's description file in the folder, relative to it; empty when there is none.
  std::string ObjectFile(int32_t object) const {
    if (!Unpacked) return {};
    const TObject& o = Model().Object(object);
    std::string name = "#";
    if (o.Name.empty()) name += o.Id;
    else name = U(o.Name);
    std::string file = KindFolder(o.Kind);
    file += '/';
    file += SafeFileName(name);
    file += "/Метаданные.txt";
    std::error_code code;
    return fs::exists(Folder / PathOf(file), code) ? file : std::string();
  }
};

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

// --- answers --------------------------------------------------------------------------------

namespace {
// A place of the code model (line from 1, column in characters from 1) in the protocol's terms.
TJson PositionOf(const code::TModule& module, int line, int column) {
  const std::string_view text = module.LineText(line);
  size_t at = 0;
  for (int c = 1; c < column && at < text.size(); ++c) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  }
  return Position(line - 1, Utf16Units(text, at));
}

// The range of the name (or the one character) at a place.
TJson RangeAt(const code::TModule& module, int line, int column) {
  const std::string_view text = module.LineText(line);
  TJson start = PositionOf(module, line, column);
  const size_t from = ByteOfUnits(text, start["character"].get<size_t>());
  size_t to = from;
  while (to < text.size()) {
    const size_t n = code::IdentCharAt(text, to);
    if (!n) break;
    to += n;
  }
  if (to == from && to < text.size()) to = ByteOfUnits(text, Utf16Units(text, from) + 1);
  return TJson{{"start", std::move(start)}, {"end", Position(line - 1, Utf16Units(text, to))}};
}

// The protocol's position as the code model's line and column; false outside the text.
bool PlaceOf(const code::TModule& module, const TJson& position, int& line, int& column, std::string_view& lineText,
             size_t& byte) {
  if (!position.is_object() || !position.contains("line") || !position["line"].is_number_integer() ||
      !position.contains("character") || !position["character"].is_number_integer())
    return false;
  const int64_t l = position["line"].get<int64_t>(), c = position["character"].get<int64_t>();
  if (l < 0 || l >= module.LineCount() || c < 0) return false;
  line = int(l) + 1;
  lineText = module.LineText(line);
  byte = ByteOfUnits(lineText, size_t(c));
  column = int(code::CharCount(lineText.substr(0, byte))) + 1;
  return true;
}

TJson Location(const std::string& uri, TJson range) { return TJson{{"uri", uri}, {"range", std::move(range)}}; }

TJson StartOfFile() { return TJson{{"start", Position(0, 0)}, {"end", Position(0, 0)}}; }

TJson Markdown(std::string text) { return TJson{{"kind", "markdown"}, {"value", std::move(text)}}; }

// An object's words for people: its kind and name, synonym, comment, then its parts' items with types.
std::string ObjectMarkdown(const TModel& model, int32_t index) {
  const TObject& object = model.Object(index);
  // Appended piece by piece: GCC 12 warns falsely of chains of + (its bug 105329).
  std::string out = "**";
  out += KindRussian(object.Kind);
  out += ' ';
  AppendU(out, object.Name);
  out += "**";
  if (!object.Synonym.empty()) out += " — ", AppendU(out, object.Synonym);
  out += '\n';
  if (!object.Comment.empty()) out += '\n', AppendU(out, object.Comment), out += '\n';
  size_t shown = 0;
  constexpr size_t Most = 200;
  for (const TPart& part : object.Parts) {
    const std::vector<TItem> items = model.Items(part);
    if (items.empty()) continue;
    out += '\n';
    out += PartWordsOf(part.Tag);
    out += ":\n";
    for (const TItem& item : items) {
      if (shown++ == Most) {
        out += "- …\n";
        return out;
      }
      out += "- `";
      AppendU(out, item.Name);
      out += '`';
      const std::string words = ItemWords(model, item, &item.Type);
      if (!words.empty()) out += ' ', out += words;
      out += "\n";
    }
  }
  return out;
}

// The object reference of the code model at a place, or null.
const code::TObjectRef* ObjectRefAt(const code::TModule& module, int line, int column) {
  for (const code::TObjectRef& ref : module.Objects) {
    if (ref.Line != line) continue;
    const int end = ref.Column + int(code::CharCount(ref.KindAsWritten) + 1 + code::CharCount(ref.Name) +
                                     (ref.Value.empty() ? 0 : 1 + code::CharCount(ref.Value)));
    if (column >= ref.Column && column <= end) return &ref;
  }
  return nullptr;
}

int32_t ObjectOf(const TModel& model, const code::TObjectRef& ref) {
  const std::vector<int32_t> found = model.ObjectsNamed(Utf8ToAnsi(ref.Name), ModelKind(ref.Kind));
  return found.empty() ? -1 : found.front();
}
}  // namespace

TJson TLspWorkspace::Diagnostics(const std::string& uri) {
  TJson list = TJson::array();
  const int m = ModuleOf(uri);
  const auto open = Documents.find(uri);
  TJson params{{"uri", uri}};
  if (open != Documents.end()) params["version"] = open->second.Version;
  if (m >= 0) {
    const code::TModule& module = State->Module(m);
    auto add = [&](int line, int column, bool error, const std::string& code, const std::string& message) {
      list.push_back(TJson{{"range", RangeAt(module, line, column)},
                           {"severity", error ? 1 : 2},
                           {"code", code},
                           {"source", "ostrak"},
                           {"message", message}});
    };
    for (const code::TDiagnostic& d : State->Base.Set.Check(m, State->Base.Known))
      add(d.Line, d.Column, d.Severity == code::TSeverity::Error, d.Code, d.Message);
    for (const TComponentCall& call : State->ComponentOf(m).Calls)
      if (call.Arguments > FunctionRows[call.Function].Params)
        add(call.Line, call.Column, false, "too-many-arguments",
            "Передано аргументов: " + std::to_string(call.Arguments) + ", а у " + FunctionRows[call.Function].Russian +
                " параметров: " + std::to_string(FunctionRows[call.Function].Params));
  }
  params["diagnostics"] = std::move(list);
  return params;
}

TJson TLspWorkspace::DocumentSymbols(const std::string& uri) {
  TJson list = TJson::array();
  const int m = ModuleOf(uri);
  if (m < 0) return list;
  const code::TModule& module = State->Module(m);
  for (size_t p = 0; p < module.Procedures.size(); ++p) {
    const code::TProcedure& procedure = module.Procedures[p];
    if (procedure.Name.empty()) continue;
    const TJson name = RangeAt(module, procedure.NameLine, procedure.NameColumn);
    const int last = std::max(procedure.LastLine, procedure.NameLine);
    TJson whole{{"start", Position(procedure.FirstLine - 1, 0)},
                {"end", Position(last - 1, Utf16Units(module.LineText(last), module.LineText(last).size()))}};
    list.push_back(TJson{{"name", procedure.Name},
                         {"detail", code::SignatureText(module, int(p))},
                         {"kind", SymbolFunction},
                         {"range", std::move(whole)},
                         {"selectionRange", name}});
  }
  for (const code::TVariable& variable : module.Variables) {
    const TJson range = RangeAt(module, variable.Line, variable.Column);
    list.push_back(TJson{{"name", variable.Name},
                         {"detail", variable.Exported ? "Перем Экспорт" : "Перем"},
                         {"kind", SymbolVariable},
                         {"range", range},
                         {"selectionRange", range}});
  }
  return list;
}

namespace {
// The procedure a name at a place names: the one declared there, or the one a call reaches.
std::optional<code::TProcedureRef> ProcedureAt(const code::TModuleSet& set, int m, int line, int column) {
  const std::optional<code::TTokenAt> at = code::TokenAt(set.Module(m), line, column);
  if (!at || at->Token.Kind != code::TTokenKind::Ident || at->Token.AfterDot) return std::nullopt;
  const code::TModule& module = set.Module(m);
  for (size_t p = 0; p < module.Procedures.size(); ++p)
    if (module.Procedures[p].NameLine == at->Line && module.Procedures[p].NameColumn == at->Column) {
      if (!module.Procedures[p].Forward) return code::TProcedureRef{m, int(p)};
      return set.Resolve(m, at->Text);
    }
  return set.Resolve(m, at->Text);
}
}  // namespace

TJson TLspWorkspace::Definition(const std::string& uri, const TJson& position) {
  const int m = ModuleOf(uri);
  if (m < 0) return nullptr;
  const code::TModule& module = State->Module(m);
  int line, column;
  std::string_view text;
  size_t byte;
  if (!PlaceOf(module, position, line, column, text, byte)) return nullptr;
  if (const code::TObjectRef* ref = ObjectRefAt(module, line, column)) {
    const int32_t object = ObjectOf(State->Model(), *ref);
    const std::string file = object >= 0 ? State->ObjectFile(object) : std::string();
    if (file.empty()) return nullptr;
    return Location(Root + "/" + UriEscaped(file), StartOfFile());
  }
  const std::optional<code::TProcedureRef> target = ProcedureAt(State->Base.Set, m, line, column);
  return target ? DeclarationOf(target->Module, target->Procedure) : TJson(nullptr);
}

TJson TLspWorkspace::DeclarationOf(int module, int procedure) const {
  const std::string to = UriOf(module);
  if (to.empty()) return nullptr;
  const code::TModule& home = State->Module(module);
  const code::TProcedure& p = home.Procedures[size_t(procedure)];
  return Location(to, RangeAt(home, p.NameLine, p.NameColumn));
}

TJson TLspWorkspace::References(const std::string& uri, const TJson& position, bool withDeclaration) {
  TJson list = TJson::array();
  const int m = ModuleOf(uri);
  if (m < 0) return list;
  int line, column;
  std::string_view text;
  size_t byte;
  if (!PlaceOf(State->Module(m), position, line, column, text, byte)) return list;
  const std::optional<code::TProcedureRef> target = ProcedureAt(State->Base.Set, m, line, column);
  if (!target) return list;
  if (withDeclaration)
    if (TJson declaration = DeclarationOf(target->Module, target->Procedure); !declaration.is_null())
      list.push_back(std::move(declaration));
  for (const code::TCallRef& ref : State->Base.Set.CallersOf(*target)) {
    const std::string to = UriOf(ref.Module);
    if (to.empty()) continue;
    const code::TModule& module = State->Module(ref.Module);
    const code::TCall& call = module.Calls[size_t(ref.Call)];
    list.push_back(Location(to, RangeAt(module, call.Line, call.Column)));
  }
  return list;
}

TJson TLspWorkspace::Hover(const std::string& uri, const TJson& position) {
  const int m = ModuleOf(uri);
  if (m < 0) return nullptr;
  const code::TModule& module = State->Module(m);
  int line, column;
  std::string_view text;
  size_t byte;
  if (!PlaceOf(module, position, line, column, text, byte)) return nullptr;
  if (const code::TObjectRef* ref = ObjectRefAt(module, line, column)) {
    const int32_t object = ObjectOf(State->Model(), *ref);
    if (object < 0) return nullptr;
    return TJson{{"contents", Markdown(ObjectMarkdown(State->Model(), object))}};
  }
  const std::optional<code::TTokenAt> at = code::TokenAt(module, line, column);
  if (!at || at->Token.Kind != code::TTokenKind::Ident) return nullptr;
  if (at->Token.AfterDot) {
    // Остр.Функция: our component's function.
    const size_t name = size_t(at->Token.Offset - (text.data() - module.Text.data()));
    if (at->Line != line || name > text.size()) return nullptr;
    size_t dot = name;
    while (dot > 0 && (text[dot - 1] == ' ' || text[dot - 1] == '\t')) --dot;
    if (dot == 0 || text[dot - 1] != '.') return nullptr;
    const size_t variableEnd = dot - 1;
    const size_t variable = IdentStartBefore(text, variableEnd);
    if (variable == variableEnd || !State->ComponentOf(m).IsVariable(text.substr(variable, variableEnd - variable))) return nullptr;
    const int f = ComponentFunction(at->Text);
    if (f < 0) return nullptr;
    return TJson{{"contents", Markdown(ComponentMarkdown(f))}};
  }
  const std::optional<code::TProcedureRef> target = ProcedureAt(State->Base.Set, m, line, column);
  if (!target) return nullptr;
  const code::TModule& home = State->Module(target->Module);
  std::string out = "```\n" + code::SignatureText(home, target->Procedure) + "\n```\n";
  const std::vector<std::string> comment = code::CommentAbove(home, target->Procedure);
  if (!comment.empty()) out += "\n";
  for (const std::string& l : comment) out += l + "  \n";
  return TJson{{"contents", Markdown(std::move(out))}};
}

TJson TLspWorkspace::Completion(const std::string& uri, const TJson& position) {
  TJson items = TJson::array();
  const int m = ModuleOf(uri);
  if (m < 0) return items;
  const code::TModule& module = State->Module(m);
  int line, column;
  std::string_view text;
  size_t byte;
  if (!PlaceOf(module, position, line, column, text, byte)) return items;
  const TModel& model = State->Model();
  const size_t partial = IdentStartBefore(text, byte);
  auto item = [&](std::string label, int kind, std::string detail = {}) {
    TJson entry{{"label", std::move(label)}, {"kind", kind}};
    if (!detail.empty()) entry["detail"] = std::move(detail);
    items.push_back(std::move(entry));
    return &items.back();
  };
  if (partial > 0 && text[partial - 1] == '.') {
    const size_t wordEnd = partial - 1, word = IdentStartBefore(text, wordEnd);
    const std::string_view name = text.substr(word, wordEnd - word);
    if (name.empty()) return items;
    // Перечисление.Имя. : the enumeration's values.
    if (word > 0 && text[word - 1] == '.') {
      const size_t kindStart = IdentStartBefore(text, word - 1);
      if (KindOfWord(text.substr(kindStart, word - 1 - kindStart)) == KindEnum) {
        for (int32_t e : model.ObjectsNamed(Utf8ToAnsi(name), KindEnum))
          for (const TPart& part : model.Object(e).Parts)
            if (code::SameName(part.Tag, "EnumVal"))
              for (const TItem& value : model.Items(part))
                item(U(value.Name), CompletionEnumMember, U(value.Synonym));
      }
      return items;
    }
    // Справочник. (and the other kinds): the objects of that kind, those that begin with what is
    // typed; a long list is cut, and the editor asks again as the name grows.
    if (const int kind = KindOfWord(name); kind >= 0) {
      constexpr size_t Most = 1000;
      const std::string typed = code::Folded(text.substr(partial, byte - partial));
      bool cut = false;
      for (const TObject& object : model.Objects()) {
        if (object.Kind != kind || object.Name.empty()) continue;
        const std::string objectName = U(object.Name);
        if (!typed.empty() && code::Folded(objectName).compare(0, typed.size(), typed) != 0) continue;
        if (items.size() == Most) {
          cut = true;
          break;
        }
        item(objectName, CompletionClass, U(object.Synonym));
      }
      if (cut) return TJson{{"isIncomplete", true}, {"items", std::move(items)}};
      return items;
    }
    // Остр. : our component's functions by both names.
    if (State->ComponentOf(m).IsVariable(name)) {
      for (int f = 0; f < MethodCount; ++f)
        for (bool russian : {true, false}) {
          TJson* entry = item(russian ? FunctionRows[f].Russian : FunctionRows[f].English, CompletionMethod, ComponentCall(f, russian));
          (*entry)["documentation"] = Markdown(ComponentMarkdown(f));
        }
    }
    return items;
  }
  // Anywhere else: the module's procedures and variables, the global exports, keywords.
  auto procedures = [&](int from, bool exportsOnly) {
    const code::TModule& source = State->Module(from);
    for (size_t p = 0; p < source.Procedures.size(); ++p) {
      const code::TProcedure& procedure = source.Procedures[p];
      if (procedure.Name.empty() || procedure.Forward || (exportsOnly && !procedure.Exported)) continue;
      TJson* entry = item(procedure.Name, CompletionFunction, code::SignatureText(source, int(p)));
      const std::vector<std::string> comment = code::CommentAbove(source, int(p));
      std::string doc;
      for (const std::string& l : comment) doc += l + "\n";
      if (!doc.empty()) (*entry)["documentation"] = doc;
    }
  };
  procedures(m, false);
  const int global = State->Base.Set.Global();
  if (global >= 0 && global != m) procedures(global, true);
  for (const code::TVariable& variable : module.Variables) item(variable.Name, CompletionVariable);
  if (global >= 0 && global != m)
    for (const code::TVariable& variable : State->Module(global).Variables)
      if (variable.Exported) item(variable.Name, CompletionVariable);
  for (const char* keyword : Keywords) item(keyword, CompletionKeyword);
  return items;
}

TJson TLspWorkspace::WorkspaceSymbols(const std::string& query) {
  TJson list = TJson::array();
  if (!State) return list;
  constexpr size_t Most = 500;
  const std::string key = code::Folded(query);
  const code::TModuleSet& set = State->Base.Set;
  for (int m = 0; m < set.Count() && list.size() < Most; ++m) {
    const std::string uri = UriOf(m);
    if (uri.empty()) continue;
    const code::TModule& module = set.Module(m);
    for (const code::TProcedure& p : module.Procedures) {
      if (p.Name.empty() || p.Forward || p.Key.find(key) == std::string::npos) continue;
      list.push_back(TJson{{"name", p.Name},
                           {"kind", SymbolFunction},
                           {"location", Location(uri, RangeAt(module, p.NameLine, p.NameColumn))},
                           {"containerName", State->FileOf[size_t(m)]}});
      if (list.size() >= Most) break;
    }
  }
  const TModel& model = State->Model();
  for (int32_t o = 0; o < int32_t(model.Objects().size()) && list.size() < Most; ++o) {
    const TObject& object = model.Object(o);
    if (object.Name.empty() || code::Folded(U(object.Name)).find(key) == std::string::npos) continue;
    const std::string file = State->ObjectFile(o);
    if (file.empty()) continue;
    list.push_back(TJson{{"name", U(object.Name)},
                         {"kind", object.Kind == KindEnum ? SymbolEnum : object.Kind == KindConst ? SymbolConstant : SymbolClass},
                         {"location", Location(Root + "/" + UriEscaped(file), StartOfFile())},
                         {"containerName", KindRussian(object.Kind)}});
  }
  return list;
}

}  // namespace kalamos
