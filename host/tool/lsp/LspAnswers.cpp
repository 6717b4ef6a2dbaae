// The answers of ostrak lsp to an editor's questions: diagnostics, symbols, definitions,
// references, hover and completion, from the workspace's model and modules.
#include <algorithm>
#include <optional>

#include "code/Letters.h"
#include "code/Navigation.h"
#include "host/tool/lsp/LspState.h"
#include "metadata/Kinds.h"
#include "methods/Functions.h"
#include "platform/Text.h"

namespace kalamos {

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

}  // namespace


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
