#include "code/ModuleSet.h"

#include <algorithm>

#include "code/Letters.h"
#include "code/Navigation.h"

namespace kalamos::code {

namespace {

std::string ObjectKey(TObjectKind kind, std::string_view name) {
  std::string key(1, static_cast<char>('A' + static_cast<int>(kind)));
  AppendFolded(name, key);
  return key;
}

TDiagnostic Warning(int line, int column, std::string code, std::string message, std::string name) {
  return {line, column, TSeverity::Warning, std::move(code), std::move(message), std::move(name)};
}

std::string_view What(const TProcedure& p) { return p.IsFunction ? "Функция" : "Процедура"; }

}  // namespace

void TKnownObjects::Add(TObjectKind kind, std::string_view name) { Keys_.insert(ObjectKey(kind, name)); }

bool TKnownObjects::operator()(TObjectKind kind, std::string_view name) const {
  return Keys_.count(ObjectKey(kind, name)) != 0;
}

namespace {
void Index(const TModule& module, std::unordered_map<std::string, int>& byKey) {
  byKey.clear();
  const std::vector<TProcedure>& list = module.Procedures;
  for (int i = 0; i < static_cast<int>(list.size()); ++i) {
    const auto [it, added] = byKey.emplace(list[i].Key, i);
    // A body takes the place of the forward declaration that announced it.
    if (!added && list[it->second].Forward && !list[i].Forward) it->second = i;
  }
}
}  // namespace

int TModuleSet::Add(std::string name, std::string_view text) {
  TEntry entry;
  entry.Name = std::move(name);
  entry.Parsed = ParseModule(text);
  Index(entry.Parsed, entry.ByKey);
  Modules_.push_back(std::move(entry));
  return Count() - 1;
}

void TModuleSet::Replace(int module, std::string_view text) {
  if (module < 0 || module >= Count()) return;
  TEntry& entry = Modules_[module];
  entry.Parsed = ParseModule(text);
  Index(entry.Parsed, entry.ByKey);
}

int TModuleSet::Find(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (Modules_[i].Name == name) return i;
  return -1;
}

std::optional<TProcedureRef> TModuleSet::Lookup(int module, const std::string& key) const {
  if (module < 0 || module >= Count()) return std::nullopt;
  const auto& own = Modules_[module].ByKey;
  if (const auto it = own.find(key); it != own.end()) return TProcedureRef{module, it->second};
  if (Global_ < 0 || Global_ >= Count() || Global_ == module) return std::nullopt;
  const TEntry& global = Modules_[Global_];
  if (const auto it = global.ByKey.find(key); it != global.ByKey.end() && global.Parsed.Procedures[it->second].Exported)
    return TProcedureRef{Global_, it->second};
  return std::nullopt;
}

std::optional<TProcedureRef> TModuleSet::Resolve(int module, std::string_view name) const {
  return Lookup(module, Folded(name));
}

std::optional<TProcedureRef> TModuleSet::DefinitionAt(int module, int line, int column) const {
  if (module < 0 || module >= Count()) return std::nullopt;
  const std::optional<TTokenAt> at = TokenAt(Module(module), line, column);
  if (!at || at->Token.Kind != TTokenKind::Ident || at->Token.AfterDot) return std::nullopt;
  return Resolve(module, at->Text);
}

std::vector<TCallRef> TModuleSet::CallersOf(TProcedureRef procedure) const {
  std::vector<TCallRef> out;
  if (procedure.Module < 0 || procedure.Module >= Count()) return out;
  const TModule& home = Module(procedure.Module);
  if (procedure.Procedure < 0 || procedure.Procedure >= static_cast<int>(home.Procedures.size())) return out;
  const std::string& key = home.Procedures[procedure.Procedure].Key;
  const std::optional<TProcedureRef> target = Lookup(procedure.Module, key);
  if (!target) return out;
  for (int m = 0; m < Count(); ++m) {
    if (Lookup(m, key) != target) continue;
    const std::vector<TCall>& calls = Module(m).Calls;
    for (int c = 0; c < static_cast<int>(calls.size()); ++c)
      if (calls[c].Key == key) out.push_back({m, c});
  }
  return out;
}

std::vector<TDiagnostic> TModuleSet::Check(int module, const TObjectExists& objectExists) const {
  std::vector<TDiagnostic> out;
  if (module < 0 || module >= Count()) return out;
  const TEntry& entry = Modules_[module];
  const TModule& m = entry.Parsed;
  out = m.Faults;

  std::unordered_map<std::string, int> bodies;
  for (const TProcedure& p : m.Procedures) {
    if (p.Forward || p.Name.empty()) continue;
    const auto [it, added] = bodies.emplace(p.Key, p.FirstLine);
    if (!added)
      out.push_back(Warning(p.NameLine, p.NameColumn, "duplicate-procedure",
                            std::string(What(p)) + " " + p.Name + " уже объявлена в строке " + std::to_string(it->second),
                            p.Name));
  }
  for (const TProcedure& p : m.Procedures)
    if (p.Forward && !p.Name.empty() && !bodies.count(p.Key))
      out.push_back(Warning(p.NameLine, p.NameColumn, "forward-without-body",
                            std::string(What(p)) + " " + p.Name + " объявлена заранее (Далее), но не описана", p.Name));

  for (const TCall& call : m.Calls) {
    const std::optional<TProcedureRef> target = Lookup(module, call.Key);
    if (!target) continue;
    const TProcedure& p = Module(target->Module).Procedures[target->Procedure];
    if (call.Arguments > static_cast<int>(p.Parameters.size()))
      out.push_back(Warning(call.Line, call.Column, "too-many-arguments",
                            "Передано аргументов: " + std::to_string(call.Arguments) + ", а у " + p.Name +
                                " параметров: " + std::to_string(p.Parameters.size()),
                            call.Name));
  }

  if (objectExists) {
    for (const TObjectRef& ref : m.Objects) {
      if (objectExists(ref.Kind, ref.Name)) continue;
      const std::string written = ref.KindAsWritten + "." + ref.Name;
      out.push_back(Warning(ref.Line, ref.Column, "unknown-object", "В конфигурации нет объекта " + written, written));
    }
  }

  std::stable_sort(out.begin(), out.end(), [](const TDiagnostic& a, const TDiagnostic& b) {
    return a.Line != b.Line ? a.Line < b.Line : a.Column < b.Column;
  });
  return out;
}

std::vector<TDiagnostic> CheckModule(std::string_view text) {
  TModuleSet set;
  set.Add(std::string(), text);
  return set.Check(0);
}

}  // namespace kalamos::code
