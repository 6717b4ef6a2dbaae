// The modules of one configuration together: which procedure a call reaches, who calls a
// procedure, and the checks that need more than one module (or the configuration's objects).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "code/Module.h"

namespace kalamos::code {

// A procedure of a set: which module, which of its procedures.
struct TProcedureRef {
  int Module = -1;
  int Procedure = -1;
  bool operator==(const TProcedureRef&) const = default;
};

// A call site of a set.
struct TCallRef {
  int Module = -1;
  int Call = -1;
};

// Whether the configuration has an object of that kind and name (UTF-8, as written).
using TObjectExists = std::function<bool(TObjectKind kind, std::string_view name)>;

// The configuration's objects as (kind, name) pairs; names compared ignoring letter case,
// Cyrillic too. Callable as a TObjectExists.
class TKnownObjects {
 public:
  void Add(TObjectKind kind, std::string_view name);
  bool operator()(TObjectKind kind, std::string_view name) const;

 private:
  std::unordered_set<std::string> Keys_;  // the kind's number, then the folded name
};

class TModuleSet {
 public:
  // Parses text and keeps it under name; returns the module's index.
  int Add(std::string name, std::string_view text);
  // Parses text anew for a module already added (an editor's unsaved text, a file changed on
  // disk); the other modules' calls resolve against it from then on.
  void Replace(int module, std::string_view text);
  // The global module, whose exported procedures every module may call; -1 for none.
  void SetGlobal(int module) { Global_ = module; }
  int Global() const { return Global_; }

  // The modules by index, from 0 in the order added; an index must be below Count().
  int Count() const { return static_cast<int>(Modules_.size()); }
  const TModule& Module(int module) const { return Modules_[module].Parsed; }
  const std::string& Name(int module) const { return Modules_[module].Name; }
  // The module added under name (compared exactly), -1 when none.
  int Find(std::string_view name) const;

  // The procedure a call of name from module reaches: the module's own first, then an
  // export of the global module. Nothing for built-in and unknown names.
  std::optional<TProcedureRef> Resolve(int module, std::string_view name) const;
  // The procedure named by the token at line:column of module (a call or a declaration).
  std::optional<TProcedureRef> DefinitionAt(int module, int line, int column) const;
  // Every call site, in every module, that reaches the procedure (a forward declaration
  // stands for the body it announces).
  std::vector<TCallRef> CallersOf(TProcedureRef procedure) const;

  // Structure faults and warnings of a module, by line and column. objectExists may be
  // empty: then object names are not checked.
  std::vector<TDiagnostic> Check(int module, const TObjectExists& objectExists = {}) const;

 private:
  struct TEntry {
    std::string Name;
    TModule Parsed;
    // Folded procedure name -> the procedure calls reach (the body, not a forward one).
    std::unordered_map<std::string, int> ByKey;
  };
  std::vector<TEntry> Modules_;
  int Global_ = -1;

  std::optional<TProcedureRef> Lookup(int module, const std::string& key) const;
};

// The diagnostics of one module checked on its own (no global module, no objects).
std::vector<TDiagnostic> CheckModule(std::string_view text);

}  // namespace kalamos::code
